// Geometry on the paper that back ends share: clipping against arbitrary simple polygons,
// dashing by a plot style linetype, and the shapes of the plot style fill patterns.
// Everything in paper millimetres.
#pragma once

#include <QPainterPath>
#include <QPolygonF>
#include <vector>

#include "engine/plotstyle/Pen.h"

namespace vx::engine::output {

// Even-odd inside test; a point on the polygon's boundary counts as inside.
bool PointInPolygon(QPointF point, const QPolygonF& polygon);

// The parts of a polyline inside a simple polygon (convex or not, either orientation,
// first point not repeated). Each part is an open polyline; a closed input that lies wholly
// inside comes back as one part ending at its first point. A one-point polyline (a dot)
// comes back as itself when inside. Parts along the boundary count as inside.
std::vector<QPolygonF> ClipPolyline(const QPolygonF& line, bool closed, const QPolygonF& clip);

// The rings of an area (even-odd) intersected with a simple polygon, as rings to fill by the
// even-odd rule. Curves do not occur: the result is polygonal.
std::vector<QPolygonF> ClipArea(const std::vector<QPolygonF>& rings, const QPolygonF& clip);

// An even-odd path of rings.
QPainterPath AreaPath(const std::vector<QPolygonF>& rings);

// Splits a polyline into its dashes by a pattern of dash and gap lengths (beginning with a
// dash; a dash of 0 is a dot, returned as a one-point polyline). With `adaptive`, the
// pattern is stretched or squeezed so that the line holds whole patterns and ends with a
// dash; a line shorter than one pattern is drawn whole. An empty pattern or one without
// length returns the line as it is.
std::vector<QPolygonF> ApplyDashes(const QPolygonF& line, bool closed,
                                   const std::vector<double>& pattern, bool adaptive);

// The solid shapes of a fill pattern inside an area (even-odd rings), anchored to the
// paper's origin so that neighbouring areas line up. Each inner vector is one set of rings
// to fill by the even-odd rule on its own (cross-hatching is two sets). Solid gives the
// area itself.
std::vector<std::vector<QPolygonF>> FillPatternShapes(const std::vector<QPolygonF>& rings,
                                                      plotstyle::FillStyle style);

// Spacing of the fill patterns and width of their bars, in millimetres.
inline constexpr double kPatternSpacingMm = 3.0;
inline constexpr double kPatternBarMm = 0.5;

// Area enclosed by rings under the even-odd rule (for checks).
double EvenOddArea(const std::vector<QPolygonF>& rings);

}  // namespace vx::engine::output
