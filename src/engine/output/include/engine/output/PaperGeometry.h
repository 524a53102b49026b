// Areas on the paper that back ends share: areas cut to arbitrary simple polygons and the
// shapes of the plot style fill patterns. Everything in paper millimetres. (Polylines are
// clipped and dashed by the geometry layer, engine/geom.)
#pragma once

#include <vector>

#include "engine/geom/Polygon.h"
#include "engine/plotstyle/Pen.h"

namespace vx::engine::output {

// The rings of an area (even-odd) intersected with a simple polygon, as rings to fill by the
// even-odd rule. Curves do not occur: the result is polygonal.
std::vector<geom::Polygon> ClipArea(const std::vector<geom::Polygon>& rings,
                                    const geom::Polygon& clip);

// The solid shapes of a fill pattern inside an area (even-odd rings), anchored to the
// paper's origin so that neighbouring areas line up. Each inner vector is one set of rings
// to fill by the even-odd rule on its own (cross-hatching is two sets). Solid gives the
// area itself.
std::vector<std::vector<geom::Polygon>> FillPatternShapes(const std::vector<geom::Polygon>& rings,
                                                          plotstyle::FillStyle style);

// Spacing of the fill patterns and width of their bars, in millimetres.
inline constexpr double kPatternSpacingMm = 3.0;
inline constexpr double kPatternBarMm = 0.5;

}  // namespace vx::engine::output
