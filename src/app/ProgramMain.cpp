// vormex: the window program.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/Main.h"
#include "backends/BackEnds.h"
#include "engine/automation/Engine.h"

#ifndef VORMEX_VERSION_TEXT
#error "the build gives the program's version"
#endif

namespace {

// `vormex --help`; the manual page is made from the same text.
constexpr char kHelp[] = R"(usage: vormex [QT-OPTIONS] [FOLDER]
       vormex --help | --version

Plots many CAD drawings (DWG, DXF) in one run. The window lists the drawings of a folder
(file pattern, by default *.DWG, optionally through all subfolders) and shows the preview
stored in the clicked drawing; then it plots every listed drawing, or the selected ones,
to the chosen plot device, paper and plot style table, on AutoCAD through its automation
interface on Windows and on the built-in CAD engine elsewhere. Each drawing is opened
read-only and closed without saving. vormex-cli does the same from a terminal.

Options:
  FOLDER             the folder the window starts on; without one (or when it is not a
                     folder) the window starts on the file system's root
  -h, --help         print this help
  --version          print the program's name and version
  QT-OPTIONS         Qt's own options, such as -platform NAME or -display DISPLAY

Exit status:
  0                  the window was closed, or the program ended after telling that no
                     CAD application could be reached or started

Files:
  ../share/vormex/help.chm
                     the help file shown by the Help menu, found from the program's own
                     folder (/usr/bin/vormex reads /usr/share/vormex); in a build folder
                     and on Windows it lies beside the program
  ../share/vormex/plotters/, plotstyles/, fonts/
                     the plot devices, plot style tables and stroke fonts shipped with
                     the program
  ~/.local/share/vormex/plotters/, plotstyles/, fonts/
                     the user's own plot devices, plot style tables and stroke fonts;
                     a file there replaces the shipped one of the same name
  ~/.config/Vormex/Vormex.conf
                     the window's position and the last plot choices

Examples:
  vormex ~/drawings  starts on the folder drawings in the home folder
)";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("vormex " VORMEX_VERSION_TEXT "\n", stdout);
        return 0;
    }
    QApplication app(argc, argv);
    return vx::app::RunProgram(app, vx::backends::ProgramBackEnds([](vx::cad::ClassRegistry& r) {
                                   vx::engine::automation::RegisterEngine(r);
                               }));
}
