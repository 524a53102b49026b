#include "engine/page/PagePlacement.h"

#include <cmath>
#include <limits>
#include <vector>

namespace vx::engine::page {

namespace {

struct ScaleEntry {
    double paper;
    double drawing;
    bool inches;  // a "x" = 1'-0" scale: paper inches per drawing inches
};

// x" = 1'-0": x inches of paper show 12 drawing units (inches).
constexpr ScaleEntry Feet(double inchesOfPaper) {
    return {inchesOfPaper, 12.0, true};
}
constexpr ScaleEntry Ratio(double paper, double drawing) {
    return {paper, drawing, false};
}

const std::vector<ScaleEntry>& AutomationScales() {
    // Index = code; code 0 (fit) is handled before the table is read.
    static const std::vector<ScaleEntry> table = {
        Ratio(1, 1),    Feet(1.0 / 128), Feet(1.0 / 64), Feet(1.0 / 32), Feet(1.0 / 16),
        Feet(3.0 / 32), Feet(1.0 / 8),   Feet(3.0 / 16), Feet(1.0 / 4),  Feet(3.0 / 8),
        Feet(1.0 / 2),  Feet(3.0 / 4),   Feet(1),        Feet(3),        Feet(6),
        Feet(12),       Ratio(1, 1),     Ratio(1, 2),    Ratio(1, 4),    Ratio(1, 8),
        Ratio(1, 10),   Ratio(1, 16),    Ratio(1, 20),   Ratio(1, 30),   Ratio(1, 40),
        Ratio(1, 50),   Ratio(1, 100),   Ratio(2, 1),    Ratio(4, 1),    Ratio(8, 1),
        Ratio(10, 1),   Ratio(100, 1),   Ratio(1000, 1)};
    return table;
}

const std::vector<ScaleEntry>& StoredScales() {
    static const std::vector<ScaleEntry> table = {
        Ratio(1, 1),    Feet(1.0 / 128), Feet(1.0 / 64), Feet(1.0 / 32), Feet(1.0 / 16),
        Feet(3.0 / 32), Feet(1.0 / 8),   Feet(3.0 / 16), Feet(1.0 / 4),  Feet(3.0 / 8),
        Feet(1.0 / 2),  Feet(3.0 / 4),   Feet(1),        Feet(3),        Feet(6),
        Feet(12),       Ratio(1, 1),     Ratio(1, 2),    Ratio(1, 4),    Ratio(1, 5),
        Ratio(1, 8),    Ratio(1, 10),    Ratio(1, 16),   Ratio(1, 20),   Ratio(1, 30),
        Ratio(1, 40),   Ratio(1, 50),    Ratio(1, 100),  Ratio(2, 1),    Ratio(4, 1),
        Ratio(8, 1),    Ratio(10, 1),    Ratio(100, 1),  Ratio(1000, 1), Feet(1.5)};
    return table;
}

std::optional<PlotScale> FromTable(const std::vector<ScaleEntry>& table, int code) {
    if (code == 0) {
        return PlotScale::Fit();
    }
    if (code < 0 || code >= static_cast<int>(table.size())) {
        return std::nullopt;
    }
    const ScaleEntry& e = table[static_cast<std::size_t>(code)];
    return PlotScale::Ratio(e.paper, e.drawing,
                            e.inches ? std::optional(PaperUnits::Inches) : std::nullopt);
}

constexpr double kInf = std::numeric_limits<double>::infinity();

bool Finite(Point p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

}  // namespace

std::optional<PlotScale> StandardScaleFromCode(int code) {
    return FromTable(AutomationScales(), code);
}

std::optional<PlotScale> StoredStandardScaleFromCode(int code) {
    return FromTable(StoredScales(), code);
}

Placement PlacePage(const PlacementRequest& r) {
    if (r.plotArea.IsEmpty() || !r.plotArea.IsFinite()) {
        throw PlacementError("The plot area is empty: there is nothing to plot.");
    }
    const Media& m = r.media;
    if (!(m.widthMm > 0 && m.heightMm > 0 && std::isfinite(m.widthMm) &&
          std::isfinite(m.heightMm))) {
        throw PlacementError("The paper " + m.canonicalName + " has no size.");
    }
    const Rect printable = m.PrintableArea();
    if (!(printable.Width() > 0 && printable.Height() > 0) || m.margins.left < 0 ||
        m.margins.bottom < 0 || m.margins.right < 0 || m.margins.top < 0) {
        throw PlacementError("The margins of the paper " + m.canonicalName +
                             " leave no printable area.");
    }
    if (!Finite(r.offset)) {
        throw PlacementError("The plot offset is not a number.");
    }

    const Affine turn = Affine::QuarterTurns(static_cast<int>(r.rotation));
    // The plot area turned as it will lie on the paper, still in drawing units.
    const Rect turned = turn.MapRect(r.plotArea);

    double mmPerUnit = 0.0;
    if (r.scale.fit) {
        const double w = turned.Width();
        const double h = turned.Height();
        if (w <= 0 && h <= 0) {
            throw PlacementError(
                "The plot area has no extent: it cannot be scaled to fit the paper.");
        }
        const double sx = w > 0 ? printable.Width() / w : kInf;
        const double sy = h > 0 ? printable.Height() / h : kInf;
        mmPerUnit = std::min(sx, sy);
    } else {
        const double ratio = r.scale.paperUnits / r.scale.drawingUnits;
        if (!(ratio > 0) || !std::isfinite(ratio)) {
            throw PlacementError("The plot scale is not a positive ratio.");
        }
        mmPerUnit = ratio * MmPerUnit(r.scale.units.value_or(r.paperUnits));
    }
    if (!(mmPerUnit > 0) || !std::isfinite(mmPerUnit)) {
        throw PlacementError("The plot area cannot be scaled to the paper.");
    }

    const Affine scaled = turn.Then(Affine::Scaling(mmPerUnit, mmPerUnit));
    const Rect placedAtZero = scaled.MapRect(r.plotArea);
    double dx = 0.0;
    double dy = 0.0;
    if (r.center) {
        const Point want = printable.Center();
        const Point have = placedAtZero.Center();
        dx = want.x - have.x;
        dy = want.y - have.y;
    } else {
        const double k = MmPerUnit(r.paperUnits);
        dx = printable.xmin + r.offset.x * k - placedAtZero.xmin;
        dy = printable.ymin + r.offset.y * k - placedAtZero.ymin;
    }

    Placement p;
    p.drawingToPaper = scaled.Then(Affine::Translation(dx, dy));
    p.plotted = p.drawingToPaper.MapRect(r.plotArea);
    p.printable = printable;
    p.mmPerDrawingUnit = mmPerUnit;
    p.paperUnitsPerDrawingUnit = mmPerUnit / MmPerUnit(r.paperUnits);
    // A thousandth of a millimetre absorbs rounding of a fitted plot.
    p.fitsPrintable = printable.Contains(p.plotted, 1e-3);
    return p;
}

}  // namespace vx::engine::page
