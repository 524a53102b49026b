#include "engine/render/PageWriter.h"

#include <algorithm>
#include <cmath>

namespace vx::engine::render {

namespace {

page::Rect Box(const QPointF* p, std::size_t n) {
    if (n == 0) {
        return page::Rect::Empty();
    }
    double x0 = p[0].x(), x1 = x0, y0 = p[0].y(), y1 = y0;
    for (std::size_t i = 1; i < n; ++i) {
        x0 = std::min(x0, p[i].x());
        x1 = std::max(x1, p[i].x());
        y0 = std::min(y0, p[i].y());
        y1 = std::max(y1, p[i].y());
    }
    return {x0, y0, x1, y1};
}

page::Rect Grown(page::Rect r, double by) {
    return {r.xmin - by, r.ymin - by, r.xmax + by, r.ymax + by};
}

}  // namespace

// Bytes a primitive of n points is counted for: its points and the pen and bookkeeping
// that go with it.
constexpr std::int64_t kPrimitiveBytes = 64;
constexpr std::int64_t kPointBytes = sizeof(QPointF);
// Output back ends spend their time by the size of what they draw, a raster most of all:
// what reaches the page counts once more per half millimetre of the visible part of its
// box (width plus height) for lines, per square millimetre for filled shapes.
constexpr double kLineUnitMm = 0.5;
constexpr double kAreaUnitMm2 = 1.0;

std::int64_t PageWriter::InkCost(const page::Rect& box, bool area) const {
    const double w =
        std::clamp(std::min(box.xmax, visible_.xmax) - std::max(box.xmin, visible_.xmin), 0.0,
                   visible_.Width());
    const double h =
        std::clamp(std::min(box.ymax, visible_.ymax) - std::max(box.ymin, visible_.ymin), 0.0,
                   visible_.Height());
    return static_cast<std::int64_t>(area ? w * h / kAreaUnitMm2 : (w + h) / kLineUnitMm);
}

PageWriter::PageWriter(output::PageSink& sink, db::ExpansionBudget& budget)
    : sink_(sink), budget_(budget), sheet_(sink.Sheet()), visible_(sink.Sheet()) {}

bool PageWriter::MayShow(const page::Rect& box) const {
    return !box.IsEmpty() && box.IsFinite() && box.Intersects(visible_);
}

bool PageWriter::Accept(const page::Rect& box, const plotstyle::Pen& pen) {
    if (!box.IsFinite() || !Grown(box, pen.lineweight / 2 + 1e-9).Intersects(visible_)) {
        return false;
    }
    ++sent_;
    if (!(pen.color == plotstyle::kWhite)) {
        ++inked_;
    }
    return true;
}

void PageWriter::Stroke(const QPointF* points, std::size_t n, bool closed,
                        const plotstyle::Pen& pen) {
    budget_.Spend();
    const page::Rect box = n ? Box(points, n) : page::Rect::Empty();
    if (n == 0 || !Accept(box, pen)) {
        return;
    }
    budget_.Spend(InkCost(box, false));
    budget_.SpendBytes(kPrimitiveBytes + static_cast<std::int64_t>(n) * kPointBytes);
    output::Polyline line;
    line.points = QPolygonF(static_cast<qsizetype>(n));
    std::copy(points, points + n, line.points.begin());
    line.closed = closed && n > 2;
    line.pen = pen;
    sink_.Draw(line);
}

void PageWriter::Fill(std::vector<QPolygonF> rings, const plotstyle::Pen& pen) {
    budget_.Spend(static_cast<std::int64_t>(rings.size()) + 1);
    page::Rect box = page::Rect::Empty();
    std::int64_t points = 0;
    for (const QPolygonF& r : rings) {
        box.Include(Box(r.constData(), static_cast<std::size_t>(r.size())));
        points += r.size();
    }
    plotstyle::Pen thin = pen;
    thin.lineweight = 0;
    if (rings.empty() || !Accept(box, thin)) {
        return;
    }
    budget_.Spend(InkCost(box, true));
    budget_.SpendBytes(kPrimitiveBytes + points * kPointBytes);
    output::FilledArea area;
    area.rings = std::move(rings);
    area.pen = pen;
    sink_.Draw(area);
}

void PageWriter::Glyphs(QPainterPath outline, const plotstyle::Pen& pen) {
    budget_.Spend();
    const QRectF r = outline.controlPointRect();
    const page::Rect box{r.left(), r.top(), r.right(), r.bottom()};
    if (outline.isEmpty() || !Accept(box, pen)) {
        return;
    }
    budget_.Spend(InkCost(box, true));
    // An element: a point and its type.
    budget_.SpendBytes(kPrimitiveBytes + outline.elementCount() * (kPointBytes + 8));
    output::GlyphRun run;
    run.outline = std::move(outline);
    run.pen = pen;
    sink_.Draw(run);
}

void PageWriter::Picture(const output::Image& image) {
    const QPointF c[4] = {image.origin, image.origin + image.width,
                          image.origin + image.width + image.height, image.origin + image.height};
    plotstyle::Pen pen;  // images count as ink
    budget_.Spend();
    const page::Rect box = Box(c, 4);
    if (image.image.isNull() || !Accept(box, pen)) {
        return;
    }
    budget_.Spend(InkCost(box, true));
    budget_.SpendBytes(kPrimitiveBytes + image.image.sizeInBytes());
    sink_.Draw(image);
}

}  // namespace vx::engine::render
