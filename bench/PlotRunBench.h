// What the benchmarks of vormex-cli plot share: a folder of copies of a small drawing, the
// arguments that plot it to PDF, and a run of the command with its output kept in memory.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <filesystem>
#include <string>

#include "cad/ClassRegistry.h"
#include "cli/PlotCommand.h"

namespace vx::bench {

// `count` copies of the example bracket-r12.dxf in `folder` (made when missing).
inline void CopySmallDrawing(const std::filesystem::path& folder, int count) {
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        std::filesystem::copy_file(
            std::filesystem::path(VORMEX_SOURCE_DIR) / "examples/bracket-r12.dxf",
            folder / ("d" + std::to_string(10000 + i) + ".dxf"));
    }
}

// The DXF files of `folder` to PDF on A4 with monochrome.ctb.
inline QStringList PlotFolderToPdf(const std::filesystem::path& folder) {
    return {QString::fromStdString(folder.string()),
            "--pattern",
            "*.dxf",
            "--device",
            "PDF.pc3",
            "--paper",
            "A4",
            "--style",
            "monochrome.ctb"};
}

// vormex-cli plot with `arguments`; its exit status, what it wrote to standard error in
// `errText`.
inline int RunPlot(const QStringList& arguments, const cad::ClassRegistry& registry,
                   QString& errText) {
    QByteArray outBytes;
    QBuffer outBuffer(&outBytes);
    outBuffer.open(QIODevice::WriteOnly);
    QTextStream out(&outBuffer);
    QTextStream err(&errText);
    cli::CommandIo io{out, err, false, false};
    return cli::RunPlot(arguments, io, registry);
}

}  // namespace vx::bench
