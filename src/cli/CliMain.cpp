// vormex-cli: the command-line front end over the same search, plot runs and engine as
// the window program.
#include <unistd.h>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>
#include <memory>

#include "cli/Command.h"
#include "cli/Commands.h"
#include "search/FileSystemPath.h"

#ifdef _WIN32
#include <shellapi.h>
#include <windows.h>
#endif

namespace {

// The arguments after the command's name, as given. Qt never sees them: it would take
// some of them for itself (--style, -platform, ...). File names keep their bytes.
QStringList CommandArguments(int argc, char** argv) {
    QStringList args;
#ifdef _WIN32
    (void)argc;
    (void)argv;
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 2; i < count; ++i) {
            args << QString::fromWCharArray(wide[i]);
        }
        LocalFree(wide);
    }
#else
    for (int i = 2; i < argc; ++i) {
        args << vx::search::FromFileSystemPath(argv[i]);
    }
#endif
    return args;
}

#ifndef VORMEX_VERSION_TEXT
#error "the build gives the program's version"
#endif

constexpr char kUsage[] =
    "usage: vormex-cli COMMAND [ARGUMENTS]\n"
    "       vormex-cli COMMAND --help\n"
    "       vormex-cli --help | --version\n";

// `vormex-cli --help` is kUsage, kDescription, the commands and kHelp; the manual page is
// made from the same text.
constexpr char kDescription[] = R"(
Plots many CAD drawings (DWG, DXF) in one run from a terminal or a script, with the same
drawing search, plot runs and plot choices as the window program vormex, on the same CAD
application: AutoCAD through its automation interface on Windows, the built-in CAD engine
elsewhere. Drawings are opened read-only and never written.
)";

void Commands(QTextStream& s) {
    s << "\nCommands:\n";
    for (const auto& c : vx::cli::AllCommands()) {
        s << "  " << c.name << (*c.usage ? " " : "") << c.usage << "\n      " << c.summary << '\n';
    }
}

constexpr char kHelp[] = R"(
Options:
  -h, --help         print this help; after a command, the command's own help
  --version          print the program's name and version

Exit status:
  0                  the command did all it was asked
  1                  it did not: a drawing not plotted or not read, no drawing found,
                     a file not written
  2                  bad usage: an unknown command or option, a missing argument, a
                     device or plot style table not in the window's lists
  3                  no CAD application could be reached or started

Files:
  ../share/vormex/
                     the data shipped with the program, found from the program's own
                     folder (/usr/bin/vormex-cli reads /usr/share/vormex); in a build
                     folder and on Windows the same files lie beside the program
  ../share/vormex/plotters/*.pc3
                     the plot devices shipped: PDF, PNG, SVG and HP-GL/2 plot files
  ../share/vormex/plotstyles/*.ctb, *.stb
                     the plot style tables shipped
  ../share/vormex/fonts/
                     stroke fonts for SHX text shipped with the program, if any
  ~/.local/share/vormex/plotters/, plotstyles/, fonts/
                     the user's own plot devices, plot style tables and stroke fonts;
                     a file there replaces the shipped one of the same name
  /usr/share/librecad/fonts/, /usr/share/hershey-fonts/
                     the stroke fonts drawn for SHX fonts (*.lff, *.jhf)

Examples:
  vormex-cli devices
                     the plot devices to choose from
  vormex-cli papers PDF.pc3
                     the papers of the PDF plot device
  vormex-cli list drawings --recursive --pattern '*.dxf'
                     the DXF drawings in drawings/ and its subfolders
  vormex-cli plot drawings --device PDF.pc3 --paper A3 --style monochrome.ctb --layouts
                     every DWG drawing in drawings/ plotted to PDF files beside it, one
                     page per paper-space layout
  vormex-cli info drawing.dwg --json
                     what the engine reads from a drawing, as JSON
)";

// `vormex-cli COMMAND --help`: "--help" or "-h" among the arguments before a "--".
bool WantsHelp(int argc, char** argv) {
    for (int i = 2; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--") {
            return false;
        }
        if (a == "--help" || a == "-h") {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (argc < 2) {
        err << kUsage;
        Commands(err);
        return 2;
    }
    if (QByteArray(argv[1]) == "--help" || QByteArray(argv[1]) == "-h") {
        out << kUsage << kDescription;
        Commands(out);
        out << kHelp;
        return 0;
    }
    if (QByteArray(argv[1]) == "--version") {
        out << "vormex-cli " << VORMEX_VERSION_TEXT << '\n';
        return 0;
    }
    const vx::cli::Command* command = nullptr;
    for (const auto& c : vx::cli::AllCommands()) {
        if (QByteArray(argv[1]) == c.name) {
            command = &c;
        }
    }
    if (!command) {
        err << "vormex-cli: unknown command '" << argv[1] << "'\n" << kUsage;
        Commands(err);
        return 2;
    }
    if (WantsHelp(argc, argv)) {
        out << "usage: vormex-cli " << command->name << (*command->usage ? " " : "")
            << command->usage << "\n\n"
            << command->help;
        return 0;
    }
    // The command line never shows a window.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const QStringList args = CommandArguments(argc, argv);
    int qtArgc = 1;
    std::unique_ptr<QCoreApplication> app;
    if (command->needsGui) {
        app = std::make_unique<QGuiApplication>(qtArgc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(qtArgc, argv);
    }
    // The window program's name: the engine's folders for the user's plotters, plot style
    // tables and fonts are the window's.
    QCoreApplication::setApplicationName(QStringLiteral("vormex"));
    vx::cli::CommandIo io{out, err, isatty(fileno(stdout)) != 0, isatty(fileno(stderr)) != 0};
    int status = command->run(args, io);
    out.flush();
    err.flush();
    return status;
}
