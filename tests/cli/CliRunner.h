// Runs a vormex-cli command from the table with captured output.
#pragma once

#include <QBuffer>
#include <QTextStream>

#include "cli/Commands.h"

namespace vx::testing {

struct CliResult {
    int status = -1;
    QByteArray out;  // the bytes written to standard output
    QString err;
};

// Runs `command` with streams that capture what it writes; `errTerminal` makes standard
// error count as a terminal.
template <class F>
CliResult Capture(F&& command, bool errTerminal = false) {
    CliResult r;
    QBuffer outBuffer(&r.out);
    outBuffer.open(QIODevice::WriteOnly);
    QTextStream out(&outBuffer);
    QTextStream err(&r.err);
    cli::CommandIo io{out, err, false, errTerminal};
    r.status = command(io);
    out.flush();
    err.flush();
    return r;
}

inline CliResult RunCli(const char* name, const QStringList& args) {
    return Capture([&](cli::CommandIo& io) {
        for (const auto& c : cli::AllCommands()) {
            if (QByteArray(c.name) == name) {
                return c.run(args, io);
            }
        }
        return -1;
    });
}

}  // namespace vx::testing
