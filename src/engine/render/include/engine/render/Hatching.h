// Hatches: boundary loops of every edge type tessellated in the hatch's plane, and pattern
// lines cut to the area the loops enclose by the even-odd rule, with their dashes.
//
// Pattern definitions come from the HATCH entity itself when it carries them (already
// scaled and turned by the hatch's scale and angle, offsets in the plane's axes), else from
// our table of standard patterns (the .pat format: offsets along and across each line, in
// inches; metric drawings scale them by 25.4).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/db/Database.h"

namespace vx::engine::render {

// The loops of a hatch in its plane (OCS x, y; z = elevation). Loops of no area are left
// out; `style` 1 (outer) and 2 (ignore) keep only the loops marked outermost/external
// when the hatch marks any.
void HatchLoops(const db::Hatch& hatch, double mmPerUnit, double toleranceMm,
                std::vector<std::vector<db::Vec3>>& loops);

// A standard pattern by name (letter case ignored) as the .pat file defines it, offsets
// turned into the plane's axes; null when the table has no such pattern.
const std::vector<db::HatchPatternLine>* StandardPattern(std::string_view name);
// True when the standard pattern of that name is given in millimetres.
bool StandardPatternInMillimetres(std::string_view name);
// The names of the table, in file order.
std::vector<std::string> StandardPatternNames();
// Parses .pat text into named patterns (offsets turned into the plane's axes); lines that
// cannot be read are skipped.
std::vector<std::pair<std::string, std::vector<db::HatchPatternLine>>> ParsePatFile(
    std::string_view text);

// The pattern lines a hatch is drawn with: its own, or the table's scaled by the hatch's
// scale (and 25.4 for metric drawings) and turned by its angle; a user-defined pattern is
// lines at the hatch angle, `patternScale` apart (crossed when double). Empty for solid
// fills or unknown patterns (then `unknown` is set).
std::vector<db::HatchPatternLine> EffectivePattern(const db::Hatch& hatch, bool metric,
                                                   bool& unknown);

// A piece of a pattern line inside the loops, in the plane; a dot when a == b.
struct PatternSegment {
    double ax, ay, bx, by;
};

// Cuts every line of `pattern` to the loops (even-odd) and into its dashes. Returns false
// without output when there would be more than `maxSegments` pieces (a pattern too dense
// for the area) or the pattern has no spacing.
bool PatternSegments(const std::vector<db::HatchPatternLine>& pattern,
                     const std::vector<std::vector<db::Vec3>>& loops, std::size_t maxSegments,
                     std::vector<PatternSegment>& out);

}  // namespace vx::engine::render
