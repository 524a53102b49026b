// The geometry types of the drawing database: those of the geometry layer, named here so
// that the database, its readers and its users keep saying db::Vec3, db::Box3 and
// db::Transform.
#pragma once

#include "engine/geom/Box.h"
#include "engine/geom/Transform.h"
#include "engine/geom/Vector.h"

namespace vx::engine::db {

using geom::Box3;
using geom::Cross;
using geom::Dot;
using geom::IsDefaultExtrusion;
using geom::Length;
using geom::Normalized;
using geom::OcsToWorld;
using geom::Transform;
using geom::Vec3;

}  // namespace vx::engine::db
