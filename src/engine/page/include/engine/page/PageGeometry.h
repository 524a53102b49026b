// The 2D geometry of the output side: points, rectangles and affine maps on the paper, in
// double precision. They are the geometry layer's, named here for the page arithmetic.
#pragma once

#include "engine/geom/Box.h"
#include "engine/geom/Transform.h"
#include "engine/geom/Vector.h"

namespace vx::engine::page {

using Point = geom::Vec2;
using geom::Affine;
using geom::Rect;

}  // namespace vx::engine::page
