// Curves as point runs: arcs, ellipses, polyline bulges and splines, tessellated so that no
// chord strays from the curve by more than a tolerance given in paper millimetres.
//
// The functions work in the curve's own coordinates; `mmPerUnit` says how many paper
// millimetres one of those units becomes, so that a curve plotted large gets more points
// than one plotted small.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/geom/Vector.h"

namespace vx::engine::geom {

// Chords needed for an arc of `radiusMm` on paper sweeping `sweep` radians.
int ArcSegments(double radiusMm, double sweep, double toleranceMm);

// Points of p(t) = centre + u cos t + v sin t for t = t0 .. t0 + sweep in `segments` steps,
// both ends included (the first point is left out when `skipFirst`).
void AppendEllipse(std::vector<Vec3>& out, Vec3 centre, Vec3 u, Vec3 v, double t0, double sweep,
                   int segments, bool skipFirst = false);

// The arc of a polyline segment from `a` to `b` with `bulge` (tan of a quarter of the
// included angle, positive counter-clockwise), without `a`, ending exactly at `b`. A bulge
// of 0 gives `b` alone.
void AppendBulge(std::vector<Vec3>& out, Vec3 a, Vec3 b, double bulge, double mmPerUnit,
                 double toleranceMm);

// The centre, radius and start angle of a bulge segment; false for a straight one.
struct BulgeArc {
    double cx = 0, cy = 0, radius = 0, start = 0, sweep = 0;
};
bool BulgeGeometry(double ax, double ay, double bx, double by, double bulge, BulgeArc& arc);

// A NURBS curve as stored: degree, knots, control points, weights (empty = 1).
struct SplineData {
    int degree = 3;
    const std::vector<double>* knots = nullptr;
    const std::vector<Vec3>* control = nullptr;
    const std::vector<double>* weights = nullptr;
};

// True when knots, control points and weights fit together.
bool ValidSpline(const SplineData& s);

// The point of the curve at parameter u (de Boor on homogeneous points).
Vec3 EvaluateSpline(const SplineData& s, double u);

// Tessellates a valid spline from its first to its last parameter.
void AppendSpline(std::vector<Vec3>& out, const SplineData& s, double mmPerUnit,
                  double toleranceMm);

// A smooth curve through fit points (cubic, chord-length parameters), with the end
// tangents when given (non-zero), natural ends otherwise; closed curves wrap around.
void AppendFitSpline(std::vector<Vec3>& out, const std::vector<Vec3>& fit, Vec3 startTangent,
                     Vec3 endTangent, bool closed, double mmPerUnit, double toleranceMm);

}  // namespace vx::engine::geom
