// One plot of a drawing's active layout: its settings → device → paper → page placement →
// plot style table → the device's page → the renderer → the page finished (committed
// atomically, or the print job sent).
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "engine/automation/EngineState.h"

namespace vx::engine::automation {

struct PlotTarget {
    std::string device;  // the plot configuration to plot with
    bool toFile = false;
    std::string requestedFile;  // PlotToFile's name; empty for a device plot
};

// Plots and returns what happened; never throws. A plot that wrote nothing has ok false
// and the reason in `error`; nothing of it is left on disk.
PlotRecord RunPlot(EngineState& engine, DocState& doc, const PlotTarget& target);

// The rectangle of the drawing a layout's plot type covers, in drawing units (paper units
// for a paper-space layout). Adds a note where it had to use something else. `extents`
// gives the layout's extents when they are needed; `usedExtents` is set to them when the
// rectangle is theirs (their paper widths are then added at the plot's scale), else null.
page::Rect PlotArea(const DocState& doc, std::uint32_t layout, const LayoutSettings& settings,
                    const std::function<const render::LayoutBounds&()>& extents,
                    const render::LayoutBounds** usedExtents, std::vector<std::string>& notes);

}  // namespace vx::engine::automation
