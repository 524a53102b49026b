// Clipping against a rectangle on the paper.
#pragma once

#include "engine/geom/Box.h"
#include "engine/geom/Vector.h"

namespace vx::engine::geom {

// Cuts the line p + t·d, t in [t0, t1], to `box` (Liang–Barsky): narrows t0 and t1 to the
// part inside, edges included. False when that part is empty, a single parameter or
// endless (t0 and t1 then say nothing). t0 and t1 may start infinite: a ray, an endless line.
bool ClipLine(Vec2 p, Vec2 d, const Rect& box, double& t0, double& t1);

}  // namespace vx::engine::geom
