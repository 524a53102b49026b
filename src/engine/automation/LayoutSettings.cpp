#include "engine/automation/LayoutSettings.h"

#include <cmath>

namespace vx::engine::automation {

namespace {

bool Positive(double v) {
    return std::isfinite(v) && v > 0;
}

}  // namespace

LayoutSettings SettingsFromStored(const db::Layout& layout, const device::DeviceRegistry& devices) {
    const db::PlotSettings& p = layout.plot;
    LayoutSettings s;
    if (!p.configName.empty() && devices.Find(p.configName)) {
        s.configName = devices.Find(p.configName)->name;
    } else {
        s.configName = device::kNoDevice;
        if (!p.configName.empty() && p.configName != device::kNoDevice &&
            p.configName != "none_device") {
            s.missingDevice = p.configName;
        }
    }
    // The stored paper stays when it gives a size; the device's margins apply to it.
    s.canonicalMediaName = devices.DefaultMediaName(s.configName);
    if (!p.canonicalMediaName.empty()) {
        try {
            devices.Paper(s.configName, p.canonicalMediaName);
            s.canonicalMediaName = p.canonicalMediaName;
        } catch (const device::DeviceError&) {
        }
    }
    s.styleSheet = p.styleSheet;
    s.plotWithPlotStyles =
        (p.flags & db::PlotSettings::kPlotPlotStyles) != 0 || !p.styleSheet.empty();
    s.plotType = (p.plotType >= 0 && p.plotType <= 5) ? p.plotType : 1;
    s.useStandardScale = p.UseStandardScale();
    s.standardScale = p.standardScaleType;
    s.storedScaleCode = true;
    if (Positive(p.customScaleNumerator) && Positive(p.customScaleDenominator)) {
        s.customPaperUnits = p.customScaleNumerator;
        s.customDrawingUnits = p.customScaleDenominator;
    }
    s.rotation = (p.rotation >= 0 && p.rotation <= 3) ? p.rotation : 0;
    s.center = p.Centered();
    s.paperUnits = p.paperUnits == 0 ? page::PaperUnits::Inches : page::PaperUnits::Millimeters;
    s.originMm = {p.plotOrigin.x, p.plotOrigin.y};
    s.window =
        page::Rect::FromCorners({p.windowMin.x, p.windowMin.y}, {p.windowMax.x, p.windowMax.y});
    s.plotLineweights = (p.flags & db::PlotSettings::kPrintLineweights) != 0 || p.flags == 0;
    s.scaleLineweights = (p.flags & db::PlotSettings::kScaleLineweights) != 0;
    return s;
}

page::PlotScale ScaleOf(const LayoutSettings& s) {
    if (!s.useStandardScale) {
        return page::PlotScale::Ratio(s.customPaperUnits, s.customDrawingUnits);
    }
    const auto scale = s.storedScaleCode ? page::StoredStandardScaleFromCode(s.standardScale)
                                         : page::StandardScaleFromCode(s.standardScale);
    if (!scale) {
        throw page::PlacementError("The layout's standard scale " +
                                   std::to_string(s.standardScale) + " is unknown.");
    }
    return *scale;
}

}  // namespace vx::engine::automation
