#include "engine/output/PaperGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/geom/Transform.h"

namespace vx::engine::output {

using geom::Affine;
using geom::Polygon;
using geom::Rect;
using geom::Vec2;

namespace {

// A turn by `degrees` counter-clockwise about the origin.
Affine Turn(double degrees) {
    if (std::fmod(degrees, 90.0) == 0.0) {
        return Affine::QuarterTurns(static_cast<int>(degrees / 90.0));
    }
    const double r = degrees * std::numbers::pi / 180.0;
    const double c = std::cos(r), s = std::sin(r);
    return {c, s, -s, c, 0, 0};
}

// The corners of a rectangle, mapped by `t`.
Polygon MappedRect(const Rect& r, const Affine& t) {
    return {t.Map({r.xmin, r.ymin}), t.Map({r.xmax, r.ymin}), t.Map({r.xmax, r.ymax}),
            t.Map({r.xmin, r.ymax})};
}

// Horizontal bars of `width` every `spacing` covering `cover`, turned by `degrees` about
// the paper origin (so that patterns of neighbouring areas line up).
std::vector<Polygon> Bars(const Rect& cover, double degrees, double spacing, double width) {
    const Affine turn = Turn(degrees);
    const Affine back = Turn(-degrees);
    const Rect local = back.MapRect(cover);
    std::vector<Polygon> bars;
    const double first = std::floor(local.ymin / spacing);
    const double count = std::floor((local.ymax + spacing) / spacing) - first;
    for (double k = 0; k <= count; ++k) {
        const double y = (first + k) * spacing;
        bars.push_back(MappedRect(
            {local.xmin - spacing, y - width / 2, local.xmax + spacing, y + width / 2}, turn));
    }
    return bars;
}

// Squares of side `side` on a grid of `spacing`, every other one when `checker`, turned by
// `degrees` about each square's centre.
std::vector<Polygon> Squares(const Rect& cover, double spacing, double side, bool checker,
                             double degrees) {
    std::vector<Polygon> squares;
    const Affine turn = Turn(degrees);
    const Rect square{-side / 2, -side / 2, side / 2, side / 2};
    const long i0 = static_cast<long>(std::floor(cover.xmin / spacing)) - 1;
    const long i1 = static_cast<long>(std::ceil(cover.xmax / spacing)) + 1;
    const long j0 = static_cast<long>(std::floor(cover.ymin / spacing)) - 1;
    const long j1 = static_cast<long>(std::ceil(cover.ymax / spacing)) + 1;
    for (long i = i0; i <= i1; ++i) {
        for (long j = j0; j <= j1; ++j) {
            if (checker && ((i + j) % 2 != 0)) {
                continue;
            }
            const Affine t =
                turn.Then(Affine::Translation((static_cast<double>(i) + 0.5) * spacing,
                                              (static_cast<double>(j) + 0.5) * spacing));
            squares.push_back(MappedRect(square, t));
        }
    }
    return squares;
}

}  // namespace

std::vector<std::vector<Polygon>> FillPatternShapes(const std::vector<Polygon>& rings,
                                                    plotstyle::FillStyle style,
                                                    const Rect& within) {
    using plotstyle::FillStyle;
    if (style == FillStyle::Solid) {
        return {rings};
    }
    Rect cover = Rect::Empty();
    for (const Polygon& ring : rings) {
        cover.Include(geom::BoundsOf(ring));
    }
    const double s = kPatternSpacingMm;
    const double w = kPatternBarMm;
    // Pattern pieces beyond what can show are not made (a bar or square more on each side
    // keeps the pieces at the edge whole).
    cover = {std::max(cover.xmin, within.xmin - 2 * s), std::max(cover.ymin, within.ymin - 2 * s),
             std::min(cover.xmax, within.xmax + 2 * s), std::min(cover.ymax, within.ymax + 2 * s)};
    if (cover.IsEmpty() || within.IsEmpty() || !cover.IsFinite()) {
        return {};
    }
    std::vector<std::vector<Polygon>> patterns;
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
    for (const std::vector<Polygon>& pattern : patterns) {
        auto shapes =
            geom::IntersectAreas(pattern, geom::FillRule::NonZero, rings, geom::FillRule::EvenOdd);
        if (!shapes.empty()) {
            sets.push_back(std::move(shapes));
        }
    }
    return sets;
}

}  // namespace vx::engine::output
