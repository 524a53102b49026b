// Lines written for scripts: the file system's bytes exactly, and fields that cannot break
// the line or its columns.
#pragma once

#include <QString>
#include <QTextStream>

namespace vx::cli {

// Writes text as the file system's bytes, so that a name that is no valid text comes out
// byte for byte (a stream without a device gets the text itself).
void WriteExact(QTextStream& out, const QString& text);

// Sends what the stream and its device hold on to the terminal or file now.
void FlushNow(QTextStream& out);

// TAB, LF and CR written as \t, \n, \r.
QString Field(QString text);

}  // namespace vx::cli
