// A subcommand of vormex-cli.
#pragma once

#include <QStringList>
#include <QTextStream>

namespace vx::cli {

struct CommandIo {
    QTextStream& out;
    QTextStream& err;
    // True when standard output is a terminal.
    bool terminal = false;
    // True when standard error is a terminal (progress lines are shown then).
    bool errTerminal = false;
};

struct Command {
    const char* name;
    const char* usage;    // one line: arguments and options
    const char* summary;  // one line: what it does
    bool needsGui;        // needs fonts and painting (a QGuiApplication)
    // `args` are the arguments after the command's name. Returns the exit status.
    int (*run)(const QStringList& args, CommandIo& io);
    // The rest of `vormex-cli <name> --help`: what it does in full, its options (indented
    // two spaces, the description after two or more spaces), its output. The manual page
    // is made from the same text.
    const char* help;
};

}  // namespace vx::cli
