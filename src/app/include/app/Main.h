// The program's entry: the services of this platform, the main window's start-up, the
// event loop.
#pragma once

#include <QString>
#include <QStringList>

class QApplication;

namespace vx::cad {
class ClassRegistry;
}

namespace vx::app {

class Form1;

// Loads the main window, shows it and embeds the folder tree, with the file system's root
// selected, or `startFolder` when that names an existing folder (`vormex FOLDER`). False
// when the program ended during start-up (no CAD application could be reached or
// started): then the window has been closed and its settings written, and the event loop
// must not run.
bool Main(Form1& form, const QString& startFolder = QString());

// The folder named on the command line (the first argument after the program), or empty.
QString StartFolderArgument(const QStringList& arguments);

// Runs the window program with the CAD back ends registered in `classes`: the user's
// settings, the services of this platform, the main window and the event loop.
int RunProgram(QApplication& app, const cad::ClassRegistry& classes);

}  // namespace vx::app
