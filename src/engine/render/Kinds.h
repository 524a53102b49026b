// Geometry of the entity kinds drawn from their own data rather than from a picture block:
// the boxes of feature-control frames (TOLERANCE) and the edges of subdivision meshes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/db/Database.h"

namespace vx::engine::render {

// A TOLERANCE's text as rows of boxes: rows end at "^J" (or "\P"), boxes at "%%v". The
// symbols written in the "gdt" font ("{\Fgdt;j}") become the Unicode characters they
// stand for, so that any stroke font with those glyphs draws them; the rest is MTEXT as
// written. Empty boxes are kept (the caller leaves them out).
std::vector<std::vector<std::string>> ToleranceRows(std::string_view text);

// The edges of a mesh's faces, each once (smaller index first), in the order the faces
// first use them.
std::vector<std::pair<std::uint32_t, std::uint32_t>> MeshEdges(const db::Mesh& mesh);

// A dimension size from the header ($DIMTXT, $DIMGAP, ...) times $DIMSCALE; `fallback`
// when the file stores none or no usable number.
double DimensionSize(const db::Header& h, const std::string& name, double fallback);

}  // namespace vx::engine::render
