// Page placement: where a plot area of a drawing lands on the paper.
//
// One module serves every output back end. Inputs: the plot area in drawing units (the
// extents, the display, the limits or a window — the caller picks the rectangle), the paper
// with its unprintable margins, the paper units, the scale (fit, or paper units per drawing
// units), the plot rotation and either centring or an origin offset. Output: the map from
// drawing units to paper millimetres and the plotted rectangle.
//
// Paper coordinates: millimetres, origin at the lower-left corner of the sheet as the device
// takes it (Media::widthMm across, heightMm along the feed), x to the right, y up.
//
// Conventions of the field:
// - a plot rotation of 90 degrees turns the drawing counter-clockwise on the paper (the
//   drawing's +x then points up the sheet);
// - a fitted plot fills the printable area (the sheet less its margins), not the sheet;
// - centring centres the plotted rectangle within the printable area;
// - without centring, the origin offset (in paper units) places the lower-left corner of
//   the plotted rectangle (after rotation) relative to the lower-left corner of the
//   printable area.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "engine/page/Media.h"
#include "engine/page/PageGeometry.h"

namespace vx::engine::page {

class PlacementError : public std::runtime_error {
public:
    explicit PlacementError(const std::string& description) : std::runtime_error(description) {}
};

// Counter-clockwise on the paper; the values are those of a layout's PlotRotation.
enum class Rotation { R0 = 0, R90 = 1, R180 = 2, R270 = 3 };

struct PlotScale {
    bool fit = true;
    // Otherwise `paperUnits` on paper show `drawingUnits` of the drawing (1 mm = 100 units:
    // paperUnits 1, drawingUnits 100).
    double paperUnits = 1.0;
    double drawingUnits = 1.0;
    // Scales defined in inches (1/4" = 1'-0") apply in inches whatever the layout's paper
    // units; nullopt means the layout's paper units.
    std::optional<PaperUnits> units;

    static PlotScale Fit() { return {}; }
    static PlotScale Ratio(double paper, double drawing,
                           std::optional<PaperUnits> in = std::nullopt) {
        return {false, paper, drawing, in};
    }
};

// The standard scales of a layout's StandardScale property (0 = scale to fit, 1 = 1/128" =
// 1'-0", ..., 16 = 1:1, ..., 32 = 1000:1). nullopt for an unknown code.
std::optional<PlotScale> StandardScaleFromCode(int code);

// The standard scales as drawing files store them (plot settings): the same list with 1:5
// after 1:4 and 1 1/2" = 1'-0" at the end (0 ... 34).
std::optional<PlotScale> StoredStandardScaleFromCode(int code);

struct PlacementRequest {
    Rect plotArea;  // drawing units
    Media media;    // sheet size and unprintable margins, mm
    PaperUnits paperUnits = PaperUnits::Millimeters;
    PlotScale scale;
    Rotation rotation = Rotation::R0;
    bool center = true;
    Point offset;  // paper units; used when not centring
};

struct Placement {
    Affine drawingToPaper;                  // drawing units -> paper mm
    Rect plotted;                           // the plot area on the paper, mm
    Rect printable;                         // the printable area, mm
    double mmPerDrawingUnit = 0.0;          // the effective scale
    double paperUnitsPerDrawingUnit = 0.0;  // the same in the layout's paper units
    bool fitsPrintable = false;             // the plotted rectangle lies within the printable area
};

// Throws PlacementError (with a description) for an empty or non-finite plot area, a
// plot area of no extent that is to be fitted, a sheet whose margins leave nothing to print
// on, or a scale that is not a positive finite ratio.
Placement PlacePage(const PlacementRequest& request);

}  // namespace vx::engine::page
