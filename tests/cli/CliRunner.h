// Runs a vormex-cli command from the table with captured output.
#pragma once

#include <QBuffer>
#include <QTextStream>

#include "Commands.h"

namespace vx::testing {

struct CliResult {
    int status = -1;
    QByteArray out;  // the bytes written to standard output
    QString err;
};

inline CliResult RunCli(const char* name, const QStringList& args) {
    CliResult r;
    QBuffer outBuffer(&r.out);
    outBuffer.open(QIODevice::WriteOnly);
    QTextStream out(&outBuffer);
    QTextStream err(&r.err);
    cli::CommandIo io{out, err, false};
    for (const auto& c : cli::AllCommands()) {
        if (QByteArray(c.name) == name) {
            r.status = c.run(args, io);
        }
    }
    out.flush();
    err.flush();
    return r;
}

}  // namespace vx::testing
