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

PageWriter::PageWriter(output::PageSink& sink)
    : sink_(sink), sheet_(sink.Sheet()), visible_(sink.Sheet()) {}

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
    if (n == 0 || !Accept(Box(points, n), pen)) {
        return;
    }
    output::Polyline line;
    line.points = QPolygonF(static_cast<qsizetype>(n));
    std::copy(points, points + n, line.points.begin());
    line.closed = closed && n > 2;
    line.pen = pen;
    sink_.Draw(line);
}

void PageWriter::Fill(std::vector<QPolygonF> rings, const plotstyle::Pen& pen) {
    page::Rect box = page::Rect::Empty();
    for (const QPolygonF& r : rings) {
        box.Include(Box(r.constData(), static_cast<std::size_t>(r.size())));
    }
    plotstyle::Pen thin = pen;
    thin.lineweight = 0;
    if (rings.empty() || !Accept(box, thin)) {
        return;
    }
    output::FilledArea area;
    area.rings = std::move(rings);
    area.pen = pen;
    sink_.Draw(area);
}

void PageWriter::Glyphs(QPainterPath outline, const plotstyle::Pen& pen) {
    const QRectF r = outline.controlPointRect();
    if (outline.isEmpty() || !Accept({r.left(), r.top(), r.right(), r.bottom()}, pen)) {
        return;
    }
    output::GlyphRun run;
    run.outline = std::move(outline);
    run.pen = pen;
    sink_.Draw(run);
}

void PageWriter::Picture(const output::Image& image) {
    const QPointF c[4] = {image.origin, image.origin + image.width,
                          image.origin + image.width + image.height, image.origin + image.height};
    plotstyle::Pen pen;  // images count as ink
    if (image.image.isNull() || !Accept(Box(c, 4), pen)) {
        return;
    }
    sink_.Draw(image);
}

}  // namespace vx::engine::render
