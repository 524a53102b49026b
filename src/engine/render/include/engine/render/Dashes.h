// Linetype patterns on the paper: a drawing's linetype (dash, gap and dot lengths in
// drawing units) scaled to paper millimetres, to be laid along point runs by
// geom::CutDashes.
#pragma once

#include "engine/db/Database.h"
#include "engine/geom/Dashes.h"

namespace vx::engine::render {

using geom::CutDashes;
using geom::DashMark;
using geom::DashPattern;
using geom::DashPieces;

// The linetype's pattern with every length times `mmPerUnit`. Continuous linetypes, and
// patterns too fine to show on paper (under 0.1 mm in all), come back solid.
DashPattern ScaledPattern(const db::Linetype* linetype, double mmPerUnit);

}  // namespace vx::engine::render
