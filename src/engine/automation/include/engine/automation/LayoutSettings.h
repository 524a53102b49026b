// The plot settings a layout object holds: they start from the layout's stored plot
// settings and change only through the automation setters, which check every value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/db/Database.h"
#include "engine/device/DeviceRegistry.h"
#include "engine/page/PagePlacement.h"

namespace vx::engine::automation {

struct LayoutSettings {
    std::string configName = device::kNoDevice;
    std::string canonicalMediaName;
    std::string styleSheet;
    bool plotWithPlotStyles = true;
    std::int32_t plotType = 1;  // 0 display, 1 extents, 2 limits, 3 view, 4 window, 5 layout
    bool useStandardScale = true;
    // The standard scale as the automation interface numbers it (0 = scale to fit), or,
    // until a program sets one, the code the drawing stored (its own numbering).
    std::int32_t standardScale = 0;
    bool storedScaleCode = false;
    double customPaperUnits = 1.0;  // a custom scale: paper units per drawing units
    double customDrawingUnits = 1.0;
    std::int32_t rotation = 0;  // quarter turns counter-clockwise
    bool center = false;
    page::PaperUnits paperUnits = page::PaperUnits::Millimeters;
    page::Point originMm;  // plot offset from the printable area's corner, mm
    page::Rect window;     // plot window, drawing units
    bool plotLineweights = true;
    bool scaleLineweights = false;
    // A stored device the engine does not have, replaced by "None".
    std::string missingDevice;

    friend bool operator==(const LayoutSettings&, const LayoutSettings&) = default;
};

// The settings of a stored layout, checked against the devices: a device the engine does
// not know becomes "None" (remembered in missingDevice); a paper is kept when it gives a
// size, else the device's default paper is used.
LayoutSettings SettingsFromStored(const db::Layout& layout, const device::DeviceRegistry& devices);

// The plot scale the settings ask for; throws page::PlacementError for an unknown code.
page::PlotScale ScaleOf(const LayoutSettings& settings);

}  // namespace vx::engine::automation
