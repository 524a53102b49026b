// What the engine's reader tells of a drawing beyond the automation model: entity counts
// by type, the types it cannot draw, the fonts its text asks for. Shared by info and check.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/db/Database.h"
#include "engine/fonts/FontResolver.h"

namespace vx::cli {

// Entities by type name over model space and every paper-space layout (not block
// contents); those of types the engine does not know (and so does not draw) also under
// `unknown`.
struct EntityCounts {
    std::map<std::string, int> all;
    std::map<std::string, int> unknown;
};
EntityCounts CountEntities(const engine::db::Database& d);

// A font that text of the drawing asks for and that would be drawn with another.
struct FontUse {
    engine::fonts::Substitution substitution;
    // Drawn with the stand-in for fonts that are not installed at all (not with a
    // single-stroke font of the same name, nor with a font of the same widths).
    bool missing = false;
};

// The fonts of each text style used by a text, multiline text or attribute in any block,
// resolved as the plot resolves them, that would be drawn with others. Needs a
// QGuiApplication (TrueType fonts).
std::vector<FontUse> SubstitutedFonts(const engine::db::Database& d);

}  // namespace vx::cli
