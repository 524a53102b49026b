#include "engine/render/PageWriter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vx::engine::render {

namespace {

using geom::Vec2;

// The box of the points; one whose first point is not a number is not finite.
page::Rect Box(const Vec2* p, std::size_t n) {
    if (n == 0) {
        return page::Rect::Empty();
    }
    double x0 = p[0].x, x1 = x0, y0 = p[0].y, y1 = y0;
    for (std::size_t i = 1; i < n; ++i) {
        x0 = std::min(x0, p[i].x);
        x1 = std::max(x1, p[i].x);
        y0 = std::min(y0, p[i].y);
        y1 = std::max(y1, p[i].y);
    }
    return {x0, y0, x1, y1};
}

page::Rect Grown(page::Rect r, double by) {
    return {r.xmin - by, r.ymin - by, r.xmax + by, r.ymax + by};
}

// A mitred corner reaches at most this many half widths from its vertex: the back ends
// clip a miter at twice the pen's width.
constexpr double kMiterReach = 4.0;

// How many half widths a stroke's square caps reach past its end points.
double CapReach(const plotstyle::Pen& pen) {
    return pen.cap == plotstyle::LineCap::Square || pen.cap == plotstyle::LineCap::Diamond
               ? std::sqrt(2.0)
               : 1.0;
}

// The corners where a mitred stroke turns: calls `corner(vertex, outward unit vector,
// half widths the miter reaches)` for each.
template <typename F>
void ForEachMiter(const Vec2* p, std::size_t n, bool closed, const plotstyle::Pen& pen,
                  F&& corner) {
    if (n < 3 ||
        (pen.join != plotstyle::LineJoin::Miter && pen.join != plotstyle::LineJoin::Diamond)) {
        return;
    }
    const auto unit = [](Vec2 v) {
        const double l = geom::Length(v);
        return l > 0 ? v / l : Vec2{};
    };
    const std::size_t first = closed ? 0 : 1, last = closed ? n : n - 1;
    for (std::size_t i = first; i < last; ++i) {
        const Vec2& v = p[i];
        const Vec2 in = unit(v - p[(i + n - 1) % n]), out = unit(p[(i + 1) % n] - v);
        const double c = std::sqrt(std::max(0.0, (1 + geom::Dot(in, out)) / 2));
        const Vec2 dir = unit(in - out);
        if (dir.x == 0 && dir.y == 0) {
            continue;  // straight on, or a point repeated
        }
        corner(v, dir, c > 1 / kMiterReach ? 1 / c : kMiterReach);
    }
}

}  // namespace

// Bytes a primitive of n points is counted for: its points and the pen and bookkeeping
// that go with it.
constexpr std::int64_t kPrimitiveBytes = 64;
constexpr std::int64_t kPointBytes = sizeof(Vec2);
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
    : sink_(&sink), budget_(budget), sheet_(sink.Sheet()), visible_(sink.Sheet()) {}

PageWriter::PageWriter(LayoutBounds& bounds, db::ExpansionBudget& budget, bool paperWidths)
    : bounds_(&bounds), paperWidths_(paperWidths), budget_(budget) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    sheet_ = visible_ = {-inf, -inf, inf, inf};
}

void PageWriter::Measure(const page::Rect& box, const plotstyle::Pen& pen, double reach) {
    ++sent_;
    if (!(pen.color == plotstyle::kWhite)) {
        ++inked_;
    }
    const double half =
        pen.lineweight > 0 && std::isfinite(pen.lineweight) ? pen.lineweight / 2 : 0;
    if (half > 0 && paperWidths_ && !shapeWidths_) {
        bounds_->IncludeLines(Grown(box, slack_), half * reach);
    } else {
        bounds_->Include(Grown(box, slack_ + half * reach));
    }
}

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

void PageWriter::Stroke(const Vec2* points, std::size_t n, bool closed, const plotstyle::Pen& pen) {
    budget_.Spend();
    const page::Rect box = n ? Box(points, n) : page::Rect::Empty();
    if (bounds_) {
        if (n == 0 || !box.IsFinite()) {
            return;
        }
        double reach = CapReach(pen);
        const bool shape = shapeWidths_ || !paperWidths_;
        ForEachMiter(points, n, closed, pen, [&](Vec2 v, Vec2 dir, double halves) {
            if (!shape) {
                reach = std::max(reach, halves);
            } else if (pen.lineweight > 0 && std::isfinite(pen.lineweight)) {
                // The tip of a wide corner, where it is.
                const Vec2 tip = v + dir * (pen.lineweight / 2 * halves);
                bounds_->Include(Grown({tip.x, tip.y, tip.x, tip.y}, slack_));
            }
        });
        Measure(box, pen, reach);
        return;
    }
    if (n == 0 || !Accept(box, pen)) {
        return;
    }
    budget_.Spend(InkCost(box, false));
    budget_.SpendBytes(kPrimitiveBytes + static_cast<std::int64_t>(n) * kPointBytes);
    output::Polyline line;
    line.points.assign(points, points + n);
    line.closed = closed && n > 2;
    line.pen = pen;
    sink_->Draw(line);
}

void PageWriter::Fill(std::vector<geom::Polygon> rings, const plotstyle::Pen& pen) {
    budget_.Spend(static_cast<std::int64_t>(rings.size()) + 1);
    page::Rect box = page::Rect::Empty();
    std::int64_t points = 0;
    for (const geom::Polygon& r : rings) {
        box.Include(Box(r.data(), r.size()));
        points += static_cast<std::int64_t>(r.size());
    }
    plotstyle::Pen thin = pen;
    thin.lineweight = 0;
    if (bounds_) {
        if (!rings.empty() && box.IsFinite()) {
            Measure(box, thin, 1);
        }
        return;
    }
    if (rings.empty() || !Accept(box, thin)) {
        return;
    }
    budget_.Spend(InkCost(box, true));
    budget_.SpendBytes(kPrimitiveBytes + points * kPointBytes);
    output::FilledArea area;
    area.rings = std::move(rings);
    area.pen = pen;
    sink_->Draw(area);
}

void PageWriter::Glyphs(geom::Path outline, const plotstyle::Pen& pen) {
    budget_.Spend();
    const page::Rect box = Box(outline.Points().data(), outline.Points().size());
    if (bounds_) {
        // Outlines are filled, not stroked: the pen adds no width.
        plotstyle::Pen fill = pen;
        fill.lineweight = 0;
        if (!outline.Empty() && box.IsFinite()) {
            Measure(box, fill, 1);
        }
        return;
    }
    if (outline.Empty() || !Accept(box, pen)) {
        return;
    }
    budget_.Spend(InkCost(box, true));
    // An element: a point and its type.
    budget_.SpendBytes(kPrimitiveBytes +
                       static_cast<std::int64_t>(outline.Points().size()) * (kPointBytes + 8));
    output::GlyphRun run;
    run.outline = std::move(outline);
    run.pen = pen;
    sink_->Draw(run);
}

void PageWriter::Picture(const output::Image& image) {
    plotstyle::Pen pen;  // images count as ink
    budget_.Spend();
    const geom::Polygon corners = image.Corners();
    const page::Rect box = Box(corners.data(), corners.size());
    if (bounds_) {
        if (!image.image.isNull() && box.IsFinite()) {
            Measure(box, pen, 1);
        }
        return;
    }
    if (image.image.isNull() || !Accept(box, pen)) {
        return;
    }
    budget_.Spend(InkCost(box, true));
    budget_.SpendBytes(kPrimitiveBytes + image.image.sizeInBytes());
    sink_->Draw(image);
}

}  // namespace vx::engine::render
