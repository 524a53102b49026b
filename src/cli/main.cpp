// vormex-cli: the command-line front end over the same search, plot runs and engine as
// the window program.
#include <unistd.h>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>
#include <memory>

#include "Command.h"
#include "Commands.h"
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

void Usage(QTextStream& s) {
    s << "usage: vormex-cli <command> [arguments]\n\ncommands:\n";
    for (const auto& c : vx::cli::AllCommands()) {
        s << "  " << c.name << ' ' << c.usage << "\n      " << c.summary << '\n';
    }
}

}  // namespace

int main(int argc, char** argv) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (argc < 2 || QByteArray(argv[1]) == "--help" || QByteArray(argv[1]) == "-h") {
        Usage(argc < 2 ? err : out);
        return argc < 2 ? 2 : 0;
    }
    const vx::cli::Command* command = nullptr;
    for (const auto& c : vx::cli::AllCommands()) {
        if (QByteArray(argv[1]) == c.name) {
            command = &c;
        }
    }
    if (!command) {
        err << "vormex-cli: unknown command '" << argv[1] << "'\n";
        Usage(err);
        return 2;
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
