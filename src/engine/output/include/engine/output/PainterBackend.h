// The QPainter back ends: PDF (QPdfWriter), SVG (QSvgGenerator), PNG (QImage) and system
// printers (QPrinter). One drawing code for all four; each owns its device and its file.
// The primitives' geometry becomes Qt's here and nowhere else on the way out.
#pragma once

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSvgGenerator>
#include <QTransform>
#include <filesystem>
#include <memory>

#include "engine/output/PageSink.h"
#include "files/AtomicFile.h"

namespace vx::engine::output {

class PainterSink : public PageSink {
protected:
    PainterSink(PageFormat format, std::int64_t maxBytes);
    // Starts painting on `device` with `dotsPerMm` device units per paper millimetre;
    // lines of lineweight 0 are drawn `thinnestMm` wide (0: one device pixel). The sheet's
    // lower-left corner lies `deviceHeight` device units below the device's top (by default
    // the sheet's height).
    void Begin(QPaintDevice* device, double dotsPerMm, double thinnestMm, double deviceHeight = -1);
    void EndPainting();

    void DrawPolyline(const Polyline& polyline) override;
    void DrawArea(const FilledArea& area) override;
    void DrawImage(const Image& image) override;
    void DrawGlyphs(const GlyphRun& glyphs) override;
    void BeginClip(const Polygon& polygon) override;
    void EndClip() override;

private:
    QPen MakePen(const Pen& pen) const;
    void InkWithin(const page::Rect& bounds, plotstyle::Rgb color);

    QPainter painter_;
    QTransform paperToDevice_;
    double thinnestMm_ = 0.0;
};

// A device for Qt's writers (QSvgGenerator, QImage) that writes a plot file whole or not
// at all. Those writers do not look at what a device's write returns; the file keeps the
// first failure, and CommitPlotFile() then refuses the page.
class AtomicFileDevice final : public QIODevice {
public:
    explicit AtomicFileDevice(const std::filesystem::path& target);
    files::AtomicFile& File() { return file_; }
    bool isSequential() const override { return true; }
    qint64 size() const override { return file_.Size(); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    files::AtomicFile file_;
};

// Throws OutputError when the plot file could not be created or a write to it failed.
void CheckPlotFile(const files::AtomicFile& file);
// Puts the plot file in place, or throws OutputError; the earlier file then stays.
void CommitPlotFile(files::AtomicFile& file);

class PdfSink final : public PainterSink {
public:
    PdfSink(const std::filesystem::path& path, PageFormat format, const QString& title,
            std::int64_t maxBytes);
    ~PdfSink() override;

    // Device units per inch: fine enough for the thinnest lineweights.
    static constexpr int kResolution = 1200;

protected:
    void EndPage() override;
    void Commit() override;
    void Discard() override;
    std::int64_t BytesWritten() const override;

private:
    files::AtomicFile file_;
    QBuffer buffer_;
    std::unique_ptr<QPdfWriter> writer_;
    bool ended_ = false;
};

// Qt writes the page size of a PDF in whole points; this puts the sheet's exact size in
// points into the page's MediaBox, in place and with the same number of bytes so that the
// file's cross-reference offsets stay right. Returns false (and changes nothing) when the
// box is not found as expected.
bool SetExactMediaBox(QByteArray& pdf, double widthPt, double heightPt);

class SvgSink final : public PainterSink {
public:
    SvgSink(const std::filesystem::path& path, PageFormat format, const QString& title,
            std::int64_t maxBytes);
    ~SvgSink() override;

    // Lineweight 0 as drawn in an SVG (viewers have no "thinnest line").
    static constexpr double kThinnestMm = 0.1;

protected:
    void EndPage() override;
    void Commit() override;
    void Discard() override;
    std::int64_t BytesWritten() const override;

private:
    AtomicFileDevice file_;
    QSvgGenerator generator_;
    bool ended_ = false;
};

class PngSink final : public PainterSink {
public:
    PngSink(const std::filesystem::path& path, PageFormat format, int dotsPerInch,
            std::int64_t maxBytes);
    ~PngSink() override;

    // Larger pages at their resolution are refused (about 1 GB of memory).
    static constexpr std::int64_t kMaxPixels = 250'000'000;

protected:
    void EndPage() override;
    void Commit() override;
    void Discard() override;
    std::int64_t BytesWritten() const override;

private:
    QImage image_;
    std::unique_ptr<AtomicFileDevice> file_;
    bool ended_ = false;
};

class PrinterSink final : public PainterSink {
public:
    // Prints on the system printer `printer` with the sheet `format` (in millimetres, named
    // `paperName` for the driver) and `copies` copies.
    PrinterSink(const QString& printer, PageFormat format, const QString& paperName, int copies,
                const QString& jobName);
    ~PrinterSink() override;

protected:
    void EndPage() override;
    void Commit() override;
    void Discard() override;
    std::int64_t BytesWritten() const override { return 0; }

private:
    QPrinter printer_;
    bool ended_ = false;
};

}  // namespace vx::engine::output
