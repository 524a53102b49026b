// The drawing database's layouts and their plot settings.
#pragma once

#include <cstdint>
#include <string>

#include "engine/db/Entities.h"

namespace vx::engine::db {

struct PlotSettings {
    enum Flags : std::int16_t {
        kPlotViewportBorders = 1,
        kShowPlotStyles = 2,
        kPlotCentered = 4,
        kPlotHidden = 8,
        kUseStandardScale = 16,
        kPlotPlotStyles = 32,
        kScaleLineweights = 64,
        kPrintLineweights = 128,
        kDrawViewportsFirst = 512,
        kModelType = 1024,
    };
    std::string pageSetupName{};       // 1
    std::string configName{};          // 2: device or plotter configuration file
    std::string canonicalMediaName{};  // 4: paper
    std::string plotViewName{};        // 6
    std::string styleSheet{};          // 7: plot style table
    double marginLeft = 0, marginBottom = 0, marginRight = 0, marginTop = 0;  // mm
    double paperWidth = 0, paperHeight = 0;                                   // mm
    Vec3 plotOrigin{};                                                        // 46, 47 (mm)
    Vec3 windowMin{}, windowMax{};                                            // 48/49, 140/141
    double customScaleNumerator = 1;                                          // 142: paper units
    double customScaleDenominator = 1;                                        // 143: drawing units
    std::int16_t flags = 0;                                                   // 70
    std::int16_t paperUnits = 0;         // 72: 0 inches, 1 mm, 2 pixels
    std::int16_t rotation = 0;           // 73: 0, 1 = 90°, 2 = 180°, 3 = 270°
    std::int16_t plotType = 5;           // 74: 0 display, 1 extents, 2 limits, 3 view,
                                         //     4 window, 5 layout
    std::int16_t standardScaleType = 0;  // 75: 0 = scaled to fit
    double standardScale = 1;            // 147
    Vec3 paperImageOrigin{};             // 148, 149

    bool Centered() const { return (flags & kPlotCentered) != 0; }
    bool UseStandardScale() const { return (flags & kUseStandardScale) != 0; }
};

struct Layout {
    std::string name{};
    Handle handle = 0;
    std::int16_t tabOrder = 0;
    std::int16_t flags = 0;
    BlockId block = kNone;  // model space or its paper space block
    Handle blockRecordHandle = 0;
    Vec3 limitsMin{}, limitsMax{};
    Vec3 extentsMin{}, extentsMax{};  // as stored
    Vec3 insertionBase{};
    PlotSettings plot{};
    Handle lastActiveViewport = 0;

    bool IsModel() const;
};

}  // namespace vx::engine::db
