// Geometry of the entity kinds drawn from their own data rather than from a picture block:
// the boxes of feature-control frames (TOLERANCE) and the edges of subdivision meshes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/db/Database.h"
#include "engine/geom/Vector.h"

namespace vx::engine::render {

// A piece of a TOLERANCE box: MTEXT as written, or one symbol of the "gdt" font.
struct TolerancePiece {
    std::string text{};
    char symbol = 0;  // the gdt font's letter ('j' position, 'n' diameter, ...), 0 for text
    friend bool operator==(const TolerancePiece&, const TolerancePiece&) = default;
};
using ToleranceBox = std::vector<TolerancePiece>;

// A TOLERANCE's text as rows of boxes: rows end at "^J", "\P" or a line break (as DWG files
// hold them), boxes at "%%v". The letters written in the "gdt" font ("{\Fgdt;j}") that
// are symbols become symbol pieces (the switch to that font is dropped); letters of it
// that are no symbol stay text. Empty boxes are kept (the caller leaves them out).
std::vector<std::vector<ToleranceBox>> ToleranceRows(std::string_view text);

// The strokes of a gdt symbol in glyph units (baseline at 0, capital height 1, within
// x 0..1); empty for a letter that is no symbol. Drawn by the program itself so that the
// symbols plot whatever fonts are installed.
std::vector<std::vector<geom::Vec2>> GdtSymbolStrokes(char letter);

// The edges of a mesh's faces, each once (smaller index first), in the order the faces
// first use them.
std::vector<std::pair<std::uint32_t, std::uint32_t>> MeshEdges(const db::Mesh& mesh);

// A dimension size from the header ($DIMTXT, $DIMGAP, ...) times $DIMSCALE; `fallback`
// when the file stores none or no usable number.
double DimensionSize(const db::Header& h, const std::string& name, double fallback);

}  // namespace vx::engine::render
