// The shapes of the plot style fill patterns on the paper, in millimetres. (Areas are cut
// to polygons, and polylines clipped and dashed, by the geometry layer, engine/geom.)
#pragma once

#include <vector>

#include "engine/geom/Area.h"
#include "engine/geom/Polygon.h"
#include "engine/plotstyle/Pen.h"

namespace vx::engine::output {

// The solid shapes of a fill pattern inside an area (even-odd rings), anchored to the
// paper's origin so that neighbouring areas line up, made only as far as `within` (what can
// show) and a little beyond. Each inner vector is one set of rings to fill by the even-odd
// rule on its own (cross-hatching is two sets). Solid gives the area itself.
std::vector<std::vector<geom::Polygon>> FillPatternShapes(const std::vector<geom::Polygon>& rings,
                                                          plotstyle::FillStyle style,
                                                          const geom::Rect& within);

// Spacing of the fill patterns and width of their bars, in millimetres.
inline constexpr double kPatternSpacingMm = 3.0;
inline constexpr double kPatternBarMm = 0.5;

}  // namespace vx::engine::output
