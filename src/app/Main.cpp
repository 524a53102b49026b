#include "app/Main.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSessionManager>
#include <QSettings>

#include "app/Form1.h"
#include "app/QtServices.h"
#include "app/Settings.h"
#include "common/UserSettings.h"
#include "search/FileSystemPath.h"
#include "search/widgets/FolderTree.h"

namespace vx::app {

QString StartFolderArgument(const QStringList& arguments) {
    if (arguments.size() < 2) {
        return {};
    }
    const QFileInfo folder(arguments.at(1));
    return folder.isDir() ? QDir::toNativeSeparators(folder.absoluteFilePath()) : QString();
}

bool Main(Form1& form, const QString& startFolder) {
    form.Form_Load();
    if (form.Ended()) {
        return false;
    }
    form.show();
    // The folder tree in its box, with the file system's root (or the folder the program
    // was started on) selected: the directory list follows it there and its drawings are
    // listed.
    form.PicBrowseTree->BrowseForFolder(startFolder.isEmpty() ? search::FileSystemRoot()
                                                              : startFolder);
    return !form.Ended();
}

int RunProgram(QApplication& app, const cad::ClassRegistry& classes) {
    QSettingsStore settings(OpenUserSettings());
    QtMessageService messages;
    QtPointerService pointer;
    QtBeepService beep;
    PlatformServiceSet platform = MakePlatformServices(messages);
    ShellServices services{messages,
                           pointer,
                           beep,
                           *platform.help,
                           *platform.registry,
                           *platform.launcher,
                           settings,
                           classes,
                           QApplication::applicationDirPath()};
    Form1 form(services);
    if (!Main(form, StartFolderArgument(QApplication::arguments()))) {
        return 0;
    }
    // The system's shutdown or log-off closes the window like its close box, so that the
    // drawings are closed and the settings saved.
#if QT_CONFIG(sessionmanager)
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.close(); });
#endif
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.close(); });
    return app.exec();
}

}  // namespace vx::app
