// Dashes on the paper: point runs cut into their dashes, by a drawing's linetype pattern
// (already scaled to paper millimetres) or by a plot style's dash pattern.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/geom/Polygon.h"
#include "engine/geom/Vector.h"

namespace vx::engine::geom {

// A linetype's pattern in paper millimetres, as CAD programs draw it: the pattern begins
// afresh at the start of each run; a run shorter than one whole pattern is drawn solid;
// dots are one-point pieces.
struct DashPattern {
    // Paper millimetres: > 0 a dash, < 0 a gap, 0 a dot.
    std::vector<double> elements;
    double length = 0;  // sum of the absolute lengths
    // Elements that carry a text or a shape where they begin (complex linetypes): their
    // indexes into the linetype's elements, with the scale from pattern units to mm.
    std::vector<std::size_t> marked;
    double mmPerUnit = 1;
    bool Solid() const { return elements.empty() || !(length > 0); }
};

// Where a marked element begins along a run: the point, the run's direction there
// (radians) and the element's index.
struct DashMark {
    Vec2 at;
    double angle = 0;
    std::size_t element = 0;
};

// Pieces of a run cut by a pattern: piece i holds points [starts[i], starts[i + 1]).
struct DashPieces {
    std::vector<Vec2> points;
    std::vector<std::uint32_t> starts;
    std::vector<DashMark> marks;
    void Clear() {
        points.clear();
        starts.clear();
        marks.clear();
    }
    std::size_t Count() const { return starts.size(); }
    std::uint32_t Begin(std::size_t i) const { return starts[i]; }
    std::uint32_t End(std::size_t i) const {
        return i + 1 < starts.size() ? starts[i + 1] : static_cast<std::uint32_t>(points.size());
    }
};

// Cuts the run `points[0..n)` (closed: back to its first point) by `pattern` into `out`
// (cleared first). Returns false when the run is to be drawn solid as it is: a solid
// pattern, a run shorter than the pattern, or a pattern so fine against the run that the
// dashes would run into the hundreds of thousands.
bool CutDashes(const Vec2* points, std::size_t n, bool closed, const DashPattern& pattern,
               DashPieces& out);

// Splits a polyline into its dashes by a plot style's pattern of dash and gap lengths
// (beginning with a dash; a dash of 0 is a dot, returned as a one-point polyline). With
// `adaptive`, the pattern is stretched or squeezed so that the line holds whole patterns
// and ends with a dash; a line shorter than one pattern is drawn whole. An empty pattern or
// one without length returns the line as it is.
std::vector<Polygon> ApplyDashes(const Polygon& line, bool closed,
                                 const std::vector<double>& pattern, bool adaptive);

}  // namespace vx::engine::geom
