// Helpers for drawing on output back ends, for checking plot files with the standard
// viewers (pdfinfo, pdftoppm, rsvg-convert, hp2xx) and for looking at the pixels they render.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <tuple>

#include "engine/output/PageSink.h"
#include "engine/output/PlotOutput.h"

namespace vx::testing {

inline engine::output::Pen MakePen(
    engine::plotstyle::Rgb color, double lineweight, int number = 7,
    engine::plotstyle::LineCap cap = engine::plotstyle::LineCap::Round,
    engine::plotstyle::LineJoin join = engine::plotstyle::LineJoin::Round) {
    engine::output::Pen p;
    std::tie(p.color, p.lineweight, p.number, p.cap, p.join) =
        std::tuple(color, lineweight, number, cap, join);
    return p;
}

inline engine::output::Polyline Line(std::initializer_list<QPointF> points,
                                     const engine::output::Pen& pen, bool closed = false) {
    return {QPolygonF(points), closed, pen};
}

inline bool HaveTool(const QString& name) {
    return !QStandardPaths::findExecutable(name).isEmpty();
}

struct ToolRun {
    int exitCode = -1;
    QString output;  // stdout and stderr together
};

inline ToolRun RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(program, args);
    const bool ran = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit;
    return {ran ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAll())};
}

// The bounding box of the pixels darker than `threshold` (any channel), or a null rect.
inline QRect InkBox(const QImage& image, int threshold = 200) {
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    int x0 = img.width(), y0 = img.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = row[x];
            if (qRed(c) < threshold || qGreen(c) < threshold || qBlue(c) < threshold) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
        }
    }
    return x1 < 0 ? QRect() : QRect(QPoint(x0, y0), QPoint(x1, y1));
}

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size())
        << path.toStdString();
}

// The description of the OutputError a call throws; "<no error>" when it succeeds.
template <class F>
std::string OutputErrorOf(F&& call) {
    try {
        call();
    } catch (const engine::output::OutputError& e) {
        return e.what();
    }
    return "<no error>";
}

// Entries of a folder, hidden ones included (temporary files must not remain).
inline QStringList FolderEntries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace vx::testing
