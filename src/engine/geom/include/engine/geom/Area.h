// Filled areas on the paper: sets of rings filled by a rule, cut by other areas. Everything
// in paper millimetres.
#pragma once

#include <vector>

#include "engine/geom/Polygon.h"

namespace vx::engine::geom {

// Which points the rings of an area enclose: those with an odd number of crossings, or
// those the rings wind around a non-zero number of times.
enum class FillRule { EvenOdd, NonZero };

// The area is cut on a grid of this size about the middle of the part that matters (the
// grid grows for parts wider than about 10^11 mm). A vertex moves by at most half of it.
inline constexpr double kAreaGridMm = 1e-4;

// The part of the area `subject` (rings filled by `subjectRule`) that also lies inside the
// area `clip` (rings filled by `clipRule`), as rings to fill by the even-odd rule: outer
// rings counter-clockwise, holes clockwise inside them, no two crossing. Rings of fewer than
// three points, points that are not finite numbers and pieces of no area are dropped; so a
// degenerate clip leaves nothing.
std::vector<Polygon> IntersectAreas(const std::vector<Polygon>& subject, FillRule subjectRule,
                                    const std::vector<Polygon>& clip, FillRule clipRule);

// The rings of an area (even-odd) cut to a simple polygon, as rings to fill by the even-odd
// rule. An area wholly inside that crosses none of the polygon's edges comes back as it was
// (the usual case, and exact).
std::vector<Polygon> ClipArea(const std::vector<Polygon>& rings, const Polygon& clip);

}  // namespace vx::engine::geom
