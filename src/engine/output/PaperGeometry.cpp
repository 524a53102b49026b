#include "engine/output/PaperGeometry.h"

#include <QPainterPath>
#include <QTransform>
#include <cmath>

#include "engine/output/QtGeometry.h"

namespace vx::engine::output {

using geom::Polygon;

namespace {

bool Same(QPointF a, QPointF b) {
    return std::hypot(a.x() - b.x(), a.y() - b.y()) <= geom::kSamePlaceMm;
}

// Horizontal bars of `width` every `spacing` covering `cover`, turned by `degrees` about
// the paper origin (so that patterns of neighbouring areas line up).
QPainterPath Bars(const QRectF& cover, double degrees, double spacing, double width) {
    QTransform turn;
    turn.rotate(degrees);
    const QTransform back = turn.inverted();
    const QRectF local = back.mapRect(cover);
    QPainterPath bars;
    const double first = std::floor(local.top() / spacing) * spacing;
    for (double y = first; y <= local.bottom() + spacing; y += spacing) {
        bars.addRect(
            QRectF(local.left() - spacing, y - width / 2, local.width() + 2 * spacing, width));
    }
    return turn.map(bars);
}

// Squares of side `side` on a grid of `spacing`, every other one when `checker`, turned by
// `degrees` about each square's centre.
QPainterPath Squares(const QRectF& cover, double spacing, double side, bool checker,
                     double degrees) {
    QPainterPath squares;
    const long i0 = static_cast<long>(std::floor(cover.left() / spacing)) - 1;
    const long i1 = static_cast<long>(std::ceil(cover.right() / spacing)) + 1;
    const long j0 = static_cast<long>(std::floor(cover.top() / spacing)) - 1;
    const long j1 = static_cast<long>(std::ceil(cover.bottom() / spacing)) + 1;
    for (long i = i0; i <= i1; ++i) {
        for (long j = j0; j <= j1; ++j) {
            if (checker && ((i + j) % 2 != 0)) {
                continue;
            }
            const QPointF centre((i + 0.5) * spacing, (j + 0.5) * spacing);
            QPolygonF square(QRectF(-side / 2, -side / 2, side, side));
            QTransform t;
            t.translate(centre.x(), centre.y());
            t.rotate(degrees);
            squares.addPolygon(t.map(square));
            squares.closeSubpath();
        }
    }
    return squares;
}

std::vector<Polygon> Rings(const QPainterPath& path) {
    std::vector<Polygon> rings;
    for (const QPolygonF& p : path.toSubpathPolygons()) {
        QPolygonF ring = p;
        if (ring.size() > 1 && Same(ring.front(), ring.back())) {
            ring.removeLast();
        }
        Polygon r = FromQt(ring);
        if (r.size() >= 3 &&
            std::abs(geom::SignedArea(r)) > geom::kSamePlaceMm * geom::kSamePlaceMm) {
            rings.push_back(std::move(r));
        }
    }
    return rings;
}

}  // namespace

std::vector<Polygon> ClipArea(const std::vector<Polygon>& rings, const Polygon& clip) {
    if (clip.size() < 3) {
        return {};
    }
    QPainterPath clipPath;
    clipPath.setFillRule(Qt::OddEvenFill);
    clipPath.addPolygon(ToQt(clip));
    clipPath.closeSubpath();
    const QPainterPath area = AreaPath(rings);
    // Whole areas inside the clip pass unchanged (the usual case, and exact).
    bool inside = !rings.empty();
    for (const Polygon& ring : rings) {
        for (geom::Vec2 p : ring) {
            if (!geom::PointInPolygon(p, clip)) {
                inside = false;
                break;
            }
        }
        if (!inside) {
            break;
        }
    }
    if (inside) {
        bool crossing = false;
        for (const Polygon& ring : rings) {
            if (geom::ClipPolyline(ring, true, clip).size() != 1) {
                crossing = true;
                break;
            }
        }
        if (!crossing) {
            return rings;
        }
    }
    return Rings(area.intersected(clipPath));
}

std::vector<std::vector<Polygon>> FillPatternShapes(const std::vector<Polygon>& rings,
                                                    plotstyle::FillStyle style) {
    using plotstyle::FillStyle;
    const QPainterPath area = AreaPath(rings);
    if (style == FillStyle::Solid) {
        return {rings};
    }
    const QRectF cover = area.boundingRect();
    std::vector<QPainterPath> patterns;
    const double s = kPatternSpacingMm;
    const double w = kPatternBarMm;
    switch (style) {
        case FillStyle::HorizontalBars:
            patterns.push_back(Bars(cover, 0, s, w));
            break;
        case FillStyle::VerticalBars:
            patterns.push_back(Bars(cover, 90, s, w));
            break;
        case FillStyle::SlantRight:
            patterns.push_back(Bars(cover, 45, s, w));
            break;
        case FillStyle::SlantLeft:
            patterns.push_back(Bars(cover, -45, s, w));
            break;
        case FillStyle::Crosshatch:
            patterns.push_back(Bars(cover, 45, s, w));
            patterns.push_back(Bars(cover, -45, s, w));
            break;
        case FillStyle::Checkerboard:
            patterns.push_back(Squares(cover, s / 2, s / 2, true, 0));
            break;
        case FillStyle::Diamonds:
            patterns.push_back(Squares(cover, s, s / 2, false, 45));
            break;
        case FillStyle::SquareDots:
            patterns.push_back(Squares(cover, s, w, false, 0));
            break;
        case FillStyle::Solid:
            break;
    }
    std::vector<std::vector<Polygon>> sets;
    for (QPainterPath& pattern : patterns) {
        pattern.setFillRule(Qt::WindingFill);
        auto shapes = Rings(pattern.intersected(area));
        if (!shapes.empty()) {
            sets.push_back(std::move(shapes));
        }
    }
    return sets;
}

}  // namespace vx::engine::output
