// Linetype patterns on the paper: a drawing's linetype (dash, gap and dot lengths in
// drawing units) scaled to paper millimetres and laid along point runs.
//
// As CAD programs draw them: the pattern begins afresh at the start of each run; a run
// shorter than one whole pattern is drawn solid; dots are one-point pieces.
#pragma once

#include <QPointF>
#include <cstdint>
#include <vector>

#include "engine/db/Database.h"

namespace vx::engine::render {

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

// The linetype's pattern with every length times `mmPerUnit`. Continuous linetypes, and
// patterns too fine to show on paper (under 0.1 mm in all), come back solid.
DashPattern ScaledPattern(const db::Linetype* linetype, double mmPerUnit);

// Pieces of a run cut by a pattern: piece i holds points [starts[i], starts[i + 1]).
// Where a marked element begins along a run: the point, the run's direction there
// (radians) and the element's index.
struct DashMark {
    QPointF at;
    double angle = 0;
    std::size_t element = 0;
};

struct DashPieces {
    std::vector<QPointF> points;
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
bool CutDashes(const QPointF* points, std::size_t n, bool closed, const DashPattern& pattern,
               DashPieces& out);

}  // namespace vx::engine::render
