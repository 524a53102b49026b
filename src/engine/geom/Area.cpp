#include "engine/geom/Area.h"

#include <clipper.hpp>

#include <algorithm>
#include <cmath>
#include <exception>

namespace vx::engine::geom {

namespace {

namespace cl = ClipperLib;

// Grid coordinates stay below this: exact in a double, and far inside the range within
// which the clipper's products of two coordinates are exact (about 4.6e18).
constexpr double kMaxGridUnits = 1e15;

bool Finite(Vec2 p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

Rect FiniteBounds(const std::vector<Polygon>& rings) {
    Rect box = Rect::Empty();
    for (const Polygon& ring : rings) {
        for (Vec2 p : ring) {
            if (Finite(p)) {
                box.Include(p);
            }
        }
    }
    return box;
}

// The ring cut to the half-plane where coordinate `axis` lies on the `above` side of
// `bound`. What lies beyond is replaced by runs along the boundary line, so every point
// strictly inside keeps the number of times the ring winds around it: both fill rules see
// the same area there.
void CutToHalfPlane(const Polygon& in, Polygon& out, int axis, double bound, bool above) {
    out.clear();
    const auto coord = [axis](Vec2 p) { return axis == 0 ? p.x : p.y; };
    const auto inside = [&](Vec2 p) { return above ? coord(p) >= bound : coord(p) <= bound; };
    for (std::size_t i = 0, n = in.size(); i < n; ++i) {
        const Vec2 prev = in[(i + n - 1) % n];
        const Vec2 cur = in[i];
        const bool curIn = inside(cur);
        if (curIn != inside(prev)) {
            const double t = (bound - coord(prev)) / (coord(cur) - coord(prev));
            Vec2 cut = prev + (cur - prev) * t;
            (axis == 0 ? cut.x : cut.y) = bound;
            out.push_back(cut);
        }
        if (curIn) {
            out.push_back(cur);
        }
    }
}

// The finite points of the ring, cut to `box` when it reaches beyond.
Polygon CutToBox(const Polygon& ring, const Rect& box) {
    Polygon a;
    a.reserve(ring.size());
    for (Vec2 p : ring) {
        if (Finite(p)) {
            a.push_back(p);
        }
    }
    if (a.size() < 3 || box.Contains(BoundsOf(a))) {
        return a;
    }
    Polygon b;
    CutToHalfPlane(a, b, 0, box.xmin, true);
    CutToHalfPlane(b, a, 0, box.xmax, false);
    CutToHalfPlane(a, b, 1, box.ymin, true);
    CutToHalfPlane(b, a, 1, box.ymax, false);
    return a;
}

// Paper millimetres to whole grid units about `origin` and back.
struct Grid {
    Vec2 origin;
    double perMm = 1.0 / kAreaGridMm;

    explicit Grid(const Rect& box) {
        const double half = std::max(box.Width(), box.Height()) / 2;
        if (half * perMm > kMaxGridUnits) {
            perMm = kMaxGridUnits / half;
        }
        // The origin on the grid, so that points on it (whole or round millimetres) stay
        // where they are.
        const Vec2 c = box.Center();
        origin = {std::round(c.x * perMm) / perMm, std::round(c.y * perMm) / perMm};
    }
    cl::IntPoint ToGrid(Vec2 p) const {
        return {static_cast<cl::cInt>(std::llround((p.x - origin.x) * perMm)),
                static_cast<cl::cInt>(std::llround((p.y - origin.y) * perMm))};
    }
    Vec2 FromGrid(cl::IntPoint p) const {
        return {origin.x + static_cast<double>(p.X) / perMm,
                origin.y + static_cast<double>(p.Y) / perMm};
    }
};

cl::Paths ToGrid(const std::vector<Polygon>& rings, const Rect& box, const Grid& grid) {
    cl::Paths paths;
    paths.reserve(rings.size());
    for (const Polygon& ring : rings) {
        const Polygon cut = CutToBox(ring, box);
        cl::Path path;
        path.reserve(cut.size());
        for (Vec2 p : cut) {
            const cl::IntPoint q = grid.ToGrid(p);
            if (path.empty() || !(q == path.back())) {
                path.push_back(q);
            }
        }
        while (path.size() > 1 && path.back() == path.front()) {
            path.pop_back();
        }
        if (path.size() >= 3) {
            paths.push_back(std::move(path));
        }
    }
    return paths;
}

cl::PolyFillType ToClipper(FillRule rule) {
    return rule == FillRule::EvenOdd ? cl::pftEvenOdd : cl::pftNonZero;
}

}  // namespace

std::vector<Polygon> IntersectAreas(const std::vector<Polygon>& subject, FillRule subjectRule,
                                    const std::vector<Polygon>& clip, FillRule clipRule) {
    // Only the overlap of the two boxes can hold the result: both sets are cut to it (a
    // little wider), which also bounds the coordinates that reach the grid.
    Rect box = FiniteBounds(subject).Intersected(FiniteBounds(clip));
    if (!(box.Width() > 0) || !(box.Height() > 0)) {
        return {};
    }
    const double margin = std::max(box.Width(), box.Height()) * 1e-3;
    box = {box.xmin - margin, box.ymin - margin, box.xmax + margin, box.ymax + margin};
    const Grid grid(box);
    cl::Paths solution;
    try {
        cl::Clipper clipper;
        clipper.AddPaths(ToGrid(subject, box, grid), cl::ptSubject, true);
        clipper.AddPaths(ToGrid(clip, box, grid), cl::ptClip, true);
        if (!clipper.Execute(cl::ctIntersection, solution, ToClipper(subjectRule),
                             ToClipper(clipRule))) {
            return {};
        }
    } catch (const std::exception&) {
        return {};  // coordinates out of its range: cannot happen within kMaxGridUnits
    }
    std::vector<Polygon> rings;
    rings.reserve(solution.size());
    for (const cl::Path& path : solution) {
        if (path.size() < 3 || !(std::abs(cl::Area(path)) >= 1.0)) {
            continue;  // less than one grid cell: no area
        }
        Polygon ring;
        ring.reserve(path.size());
        for (const cl::IntPoint& p : path) {
            ring.push_back(grid.FromGrid(p));
        }
        rings.push_back(std::move(ring));
    }
    return rings;
}

std::vector<Polygon> ClipArea(const std::vector<Polygon>& rings, const Polygon& clip) {
    if (clip.size() < 3) {
        return {};
    }
    bool inside = !rings.empty();
    for (const Polygon& ring : rings) {
        inside = std::all_of(ring.begin(), ring.end(),
                             [&](Vec2 p) { return PointInPolygon(p, clip); }) &&
                 ClipPolyline(ring, true, clip).size() == 1;
        if (!inside) {
            break;
        }
    }
    if (inside) {
        return rings;
    }
    return IntersectAreas(rings, FillRule::EvenOdd, {clip}, FillRule::EvenOdd);
}

}  // namespace vx::engine::geom
