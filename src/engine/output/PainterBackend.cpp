#include "engine/output/PainterBackend.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrinterInfo>
#include <cmath>

#include "engine/output/QtGeometry.h"

namespace vx::engine::output {

namespace {

QColor ToColor(plotstyle::Rgb c) {
    return QColor(c.r, c.g, c.b);
}

std::string Text(const QString& s) {
    return s.toStdString();
}

// A page layout of exactly the sheet: QPageSize keeps sizes portrait, the orientation
// says which way the sheet lies.
QPageLayout SheetLayout(PageFormat f, const QString& name = {}) {
    const bool landscape = f.widthMm > f.heightMm;
    const QSizeF portrait =
        landscape ? QSizeF(f.heightMm, f.widthMm) : QSizeF(f.widthMm, f.heightMm);
    return QPageLayout(QPageSize(portrait, QPageSize::Millimeter, name, QPageSize::ExactMatch),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

page::Rect BoundsOf(const QRectF& rect) {
    if (rect.isNull() && rect.isEmpty()) {
        return page::Rect::Empty();
    }
    const QRectF n = rect.normalized();
    return {n.left(), n.top(), n.right(), n.bottom()};
}

page::Rect Grown(page::Rect r, double by) {
    if (r.IsEmpty()) {
        return r;
    }
    return {r.xmin - by, r.ymin - by, r.xmax + by, r.ymax + by};
}

}  // namespace

AtomicFileDevice::AtomicFileDevice(const std::filesystem::path& target) : file_(target) {
    if (file_.Ok()) {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
}

qint64 AtomicFileDevice::writeData(const char* data, qint64 size) {
    if (!file_.Write(std::string_view(data, static_cast<std::size_t>(size)))) {
        setErrorString(QString::fromStdString(file_.Error()));
        return -1;
    }
    return size;
}

void CheckPlotFile(const files::AtomicFile& file) {
    if (!file.Ok()) {
        throw OutputError("The plot file \"" + file.Target().string() +
                          "\" cannot be written: " + file.Error() + ".");
    }
}

void CommitPlotFile(files::AtomicFile& file) {
    CheckPlotFile(file);
    if (!file.Commit()) {
        throw OutputError("The plot file \"" + file.Target().string() +
                          "\" could not be saved: " + file.Error() + ".");
    }
}

// ---- drawing -----------------------------------------------------------------------

PainterSink::PainterSink(PageFormat format, std::int64_t maxBytes) : PageSink(format, maxBytes) {}

void PainterSink::Begin(QPaintDevice* device, double dotsPerMm, double thinnestMm,
                        double deviceHeight) {
    if (!painter_.begin(device)) {
        throw OutputError("The plot cannot be drawn: the output device does not open.");
    }
    painter_.setRenderHint(QPainter::Antialiasing, true);
    thinnestMm_ = thinnestMm;
    // Paper mm, y up from the lower-left corner -> device units, y down from the top.
    paperToDevice_ = QTransform(dotsPerMm, 0, 0, -dotsPerMm, 0,
                                deviceHeight >= 0 ? deviceHeight : Format().heightMm * dotsPerMm);
    painter_.setWorldTransform(paperToDevice_);
}

void PainterSink::EndPainting() {
    if (painter_.isActive()) {
        painter_.end();
    }
}

QPen PainterSink::MakePen(const Pen& pen) const {
    QPen p(ToColor(pen.color));
    const double width = pen.lineweight > 0 ? pen.lineweight : thinnestMm_;
    if (width > 0) {
        p.setCosmetic(false);
        p.setWidthF(width);
    } else {
        p.setCosmetic(true);
        p.setWidthF(0);
    }
    switch (pen.cap) {
        case plotstyle::LineCap::Butt:
            p.setCapStyle(Qt::FlatCap);
            break;
        case plotstyle::LineCap::Square:
        case plotstyle::LineCap::Diamond:
            p.setCapStyle(Qt::SquareCap);
            break;
        case plotstyle::LineCap::Round:
            p.setCapStyle(Qt::RoundCap);
            break;
    }
    switch (pen.join) {
        case plotstyle::LineJoin::Miter:
        case plotstyle::LineJoin::Diamond:
            p.setJoinStyle(Qt::MiterJoin);
            break;
        case plotstyle::LineJoin::Bevel:
            p.setJoinStyle(Qt::BevelJoin);
            break;
        case plotstyle::LineJoin::Round:
            p.setJoinStyle(Qt::RoundJoin);
            break;
    }
    return p;
}

void PainterSink::InkWithin(const page::Rect& bounds, plotstyle::Rgb color) {
    const page::Rect visible = VisibleBounds();
    if (visible.IsEmpty() || bounds.IsEmpty()) {
        return;
    }
    NoteInk({std::max(bounds.xmin, visible.xmin), std::max(bounds.ymin, visible.ymin),
             std::min(bounds.xmax, visible.xmax), std::min(bounds.ymax, visible.ymax)},
            color);
}

void PainterSink::DrawPolyline(const Polyline& line) {
    const QPen pen = MakePen(line.pen);
    painter_.setPen(pen);
    painter_.setBrush(Qt::NoBrush);
    if (line.points.size() == 1) {
        painter_.drawPoint(ToQt(line.points.front()));
    } else if (line.closed) {
        painter_.drawPolygon(ToQt(line.points));
    } else {
        painter_.drawPolyline(ToQt(line.points));
    }
    InkWithin(Grown(geom::BoundsOf(line.points), pen.isCosmetic() ? 0.0 : pen.widthF() / 2),
              line.pen.color);
}

void PainterSink::DrawArea(const FilledArea& area) {
    const QPainterPath path = AreaPath(area.rings);
    painter_.fillPath(path, ToColor(area.pen.color));
    InkWithin(BoundsOf(path.boundingRect()), area.pen.color);
}

void PainterSink::DrawImage(const Image& image) {
    const double w = image.image.width();
    const double h = image.image.height();
    // Pixel (x, y), y down from the top -> paper mm.
    const QTransform imageToPaper(image.width.x / w, image.width.y / w, -image.height.x / h,
                                  -image.height.y / h, image.origin.x + image.height.x,
                                  image.origin.y + image.height.y);
    painter_.save();
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter_.setWorldTransform(imageToPaper * paperToDevice_);
    painter_.drawImage(QPointF(0, 0), image.image);
    painter_.restore();
    InkWithin(geom::BoundsOf(image.Corners()), plotstyle::kBlack);
}

void PainterSink::DrawGlyphs(const GlyphRun& glyphs) {
    const QPainterPath outline = ToQt(glyphs.outline);
    painter_.fillPath(outline, ToColor(glyphs.pen.color));
    InkWithin(BoundsOf(outline.boundingRect()), glyphs.pen.color);
}

void PainterSink::BeginClip(const Polygon& polygon) {
    painter_.save();
    QPainterPath path;
    path.addPolygon(ToQt(polygon));
    path.closeSubpath();
    painter_.setClipPath(path, painter_.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
}

void PainterSink::EndClip() {
    painter_.restore();
}

// ---- PDF ---------------------------------------------------------------------------

bool SetExactMediaBox(QByteArray& pdf, double widthPt, double heightPt) {
    static const QByteArray key = "/MediaBox [0 0 ";
    const qsizetype at = pdf.indexOf(key);
    if (at < 0 || pdf.indexOf(key, at + 1) >= 0) {
        return false;
    }
    const qsizetype start = at + key.size();
    const qsizetype end = pdf.indexOf(']', start);
    if (end < 0) {
        return false;
    }
    const QList<QByteArray> old = pdf.mid(start, end - start).split(' ');
    if (old.size() != 2) {
        return false;
    }
    // The exact number written in as many bytes as Qt's rounded one took.
    const auto same = [](double v, qsizetype length) -> QByteArray {
        for (int decimals = 0; decimals <= 12; ++decimals) {
            const QByteArray text = QByteArray::number(v, 'f', decimals);
            if (text.size() == length) {
                return text;
            }
        }
        return {};
    };
    const QByteArray w = same(widthPt, old[0].size());
    const QByteArray h = same(heightPt, old[1].size());
    if (w.isEmpty() || h.isEmpty()) {
        return false;
    }
    pdf.replace(start, end - start, w + ' ' + h);
    return true;
}

PdfSink::PdfSink(const std::filesystem::path& path, PageFormat format, const QString& title,
                 std::int64_t maxBytes)
    : PainterSink(format, maxBytes), file_(path) {
    CheckPlotFile(file_);
    buffer_.open(QIODevice::WriteOnly);
    writer_ = std::make_unique<QPdfWriter>(&buffer_);
    writer_->setResolution(kResolution);
    writer_->setPageLayout(SheetLayout(format));
    writer_->setTitle(title);
    writer_->setCreator("Vormex");
    // Qt anchors the page at its top with a height in whole points; anchoring the sheet's
    // lower-left corner there keeps every coordinate exact once the box is exact.
    const double pageHeightPt = writer_->pageLayout().fullRectPoints().height();
    Begin(writer_.get(), kResolution / 25.4, 0.0, pageHeightPt * kResolution / 72.0);
}

PdfSink::~PdfSink() {
    if (IsOpen()) {
        Abort();
    }
    EndPainting();
}

void PdfSink::EndPage() {
    if (!ended_) {
        ended_ = true;
        EndPainting();
        QByteArray pdf = buffer_.data();
        buffer_.close();
        buffer_.setData(QByteArray());
        SetExactMediaBox(pdf, Format().widthMm * 72 / 25.4, Format().heightMm * 72 / 25.4);
        file_.Write(std::string_view(pdf.constData(), static_cast<std::size_t>(pdf.size())));
        CheckPlotFile(file_);
    }
}

void PdfSink::Commit() {
    CommitPlotFile(file_);
}

void PdfSink::Discard() {
    EndPainting();
    file_.Discard();
}

std::int64_t PdfSink::BytesWritten() const {
    return ended_ ? file_.Size() : buffer_.size();
}

// ---- SVG ---------------------------------------------------------------------------

SvgSink::SvgSink(const std::filesystem::path& path, PageFormat format, const QString& title,
                 std::int64_t maxBytes)
    : PainterSink(format, maxBytes), file_(path) {
    CheckPlotFile(file_.File());
    // Ten units per millimetre for the width and height attributes; drawing units are
    // the view box's millimetres.
    generator_.setResolution(254);
    generator_.setSize(QSize(static_cast<int>(std::lround(format.widthMm * 10)),
                             static_cast<int>(std::lround(format.heightMm * 10))));
    generator_.setViewBox(QRectF(0, 0, format.widthMm, format.heightMm));
    generator_.setTitle(title);
    generator_.setDescription("Plotted by Vormex");
    generator_.setOutputDevice(&file_);
    Begin(&generator_, 1.0, kThinnestMm);
}

SvgSink::~SvgSink() {
    if (IsOpen()) {
        Abort();
    }
    EndPainting();
}

void SvgSink::EndPage() {
    if (!ended_) {
        ended_ = true;
        EndPainting();  // the generator writes out what it holds
        CheckPlotFile(file_.File());
    }
}

void SvgSink::Commit() {
    CommitPlotFile(file_.File());
}

void SvgSink::Discard() {
    EndPainting();
    file_.File().Discard();
}

std::int64_t SvgSink::BytesWritten() const {
    return file_.size();
}

// ---- PNG ---------------------------------------------------------------------------

PngSink::PngSink(const std::filesystem::path& path, PageFormat format, int dotsPerInch,
                 std::int64_t maxBytes)
    : PainterSink(format, maxBytes) {
    if (dotsPerInch < 10 || dotsPerInch > 9600) {
        throw OutputError("The image resolution of " + std::to_string(dotsPerInch) +
                          " dots per inch is not usable.");
    }
    const std::int64_t w = std::llround(format.widthMm / 25.4 * dotsPerInch);
    const std::int64_t h = std::llround(format.heightMm / 25.4 * dotsPerInch);
    if (w < 1 || h < 1 || w * h > kMaxPixels) {
        throw OutputError("The page is too large for an image at " + std::to_string(dotsPerInch) +
                          " dots per inch (" + std::to_string(w) + " x " + std::to_string(h) +
                          " pixels); choose a lower resolution.");
    }
    image_ = QImage(static_cast<int>(w), static_cast<int>(h), QImage::Format_RGB32);
    if (image_.isNull()) {
        throw OutputError("There is not enough memory for an image of " + std::to_string(w) +
                          " x " + std::to_string(h) + " pixels.");
    }
    image_.fill(Qt::white);
    const int dotsPerMetre = static_cast<int>(std::lround(dotsPerInch / 0.0254));
    image_.setDotsPerMeterX(dotsPerMetre);
    image_.setDotsPerMeterY(dotsPerMetre);
    file_ = std::make_unique<AtomicFileDevice>(path);
    CheckPlotFile(file_->File());
    Begin(&image_, dotsPerInch / 25.4, 0.0);
}

PngSink::~PngSink() {
    if (IsOpen()) {
        Abort();
    }
    EndPainting();
}

void PngSink::EndPage() {
    if (!ended_) {
        EndPainting();
        ended_ = true;
        const bool saved = image_.save(file_.get(), "PNG");
        image_ = QImage();
        CheckPlotFile(file_->File());
        if (!saved) {
            throw OutputError("The image \"" + file_->File().Target().string() +
                              "\" could not be encoded.");
        }
    }
}

void PngSink::Commit() {
    CommitPlotFile(file_->File());
}

void PngSink::Discard() {
    EndPainting();
    if (file_) {
        file_->File().Discard();
    }
}

std::int64_t PngSink::BytesWritten() const {
    return ended_ ? file_->size() : 0;
}

// ---- printers ----------------------------------------------------------------------

PrinterSink::PrinterSink(const QString& printer, PageFormat format, const QString& paperName,
                         int copies, const QString& jobName)
    : PainterSink(format, kMaxVectorPageBytes), printer_(QPrinter::HighResolution) {
    if (QPrinterInfo::printerInfo(printer).isNull()) {
        throw OutputError("The printer \"" + Text(printer) + "\" is not available.");
    }
    printer_.setPrinterName(printer);
    printer_.setOutputFormat(QPrinter::NativeFormat);
    printer_.setFullPage(true);
    printer_.setCopyCount(std::max(1, copies));
    printer_.setDocName(jobName);
    if (!printer_.setPageLayout(SheetLayout(format, paperName))) {
        throw OutputError("The printer \"" + Text(printer) + "\" does not take the paper " +
                          Text(paperName) + ".");
    }
    Begin(&printer_, printer_.resolution() / 25.4, 0.0);
}

PrinterSink::~PrinterSink() {
    if (IsOpen()) {
        Abort();
    }
    EndPainting();
}

void PrinterSink::EndPage() {}

void PrinterSink::Commit() {
    if (!ended_) {
        ended_ = true;
        EndPainting();
        if (printer_.printerState() == QPrinter::Error) {
            throw OutputError("The printer \"" + Text(printer_.printerName()) +
                              "\" did not take the job.");
        }
    }
}

void PrinterSink::Discard() {
    if (!ended_) {
        ended_ = true;
        printer_.abort();
        EndPainting();
    }
}

}  // namespace vx::engine::output
