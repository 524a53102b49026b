// Point runs on the paper: polylines and the rings of areas, their boxes and areas, and
// clipping them against arbitrary simple polygons. Everything in paper millimetres.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/geom/Box.h"
#include "engine/geom/Vector.h"

namespace vx::engine::geom {

// A run of points: an open polyline, or a ring whose last point runs back to its first
// (which need not be repeated).
using Polygon = std::vector<Vec2>;

// Points closer than this (paper millimetres) are the same place.
inline constexpr double kSamePlaceMm = 1e-7;

// The box of `n` points; empty for none. A point with a coordinate that is not a number
// leaves the box as it was.
Rect BoundsOf(const Vec2* points, std::size_t n);
inline Rect BoundsOf(const Polygon& points) {
    return BoundsOf(points.data(), points.size());
}

// The outline of a rectangle as a closed run: its four corners counter-clockwise from the
// lower-left one, and that one again.
Polygon RectRing(const Rect& r);

// Even-odd inside test; a point on the polygon's boundary counts as inside.
bool PointInPolygon(Vec2 point, const Polygon& polygon);

// The parts of a polyline inside a simple polygon (convex or not, either orientation,
// first point not repeated). Each part is an open polyline; a closed input that lies wholly
// inside comes back as one part ending at its first point. A one-point polyline (a dot)
// comes back as itself when inside. Parts along the boundary count as inside.
std::vector<Polygon> ClipPolyline(const Polygon& line, bool closed, const Polygon& clip);

// The signed area of a ring, positive counter-clockwise.
double SignedArea(const Polygon& ring);

// Area enclosed by rings under the even-odd rule (rings that do not cross each other).
double EvenOddArea(const std::vector<Polygon>& rings);

}  // namespace vx::engine::geom
