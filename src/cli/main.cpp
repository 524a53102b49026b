// vormex-cli: the command-line front end over the same search, plot runs and engine as
// the window program.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>
#include <memory>
#include <unistd.h>

#include "Command.h"
#include "Commands.h"

namespace {

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
    std::unique_ptr<QCoreApplication> app;
    if (command->needsGui) {
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QStringList args = QCoreApplication::arguments().mid(2);
    vx::cli::CommandIo io{out, err, isatty(fileno(stdout)) != 0};
    int status = command->run(args, io);
    out.flush();
    err.flush();
    return status;
}
