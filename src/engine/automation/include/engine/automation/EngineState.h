// The engine application's state behind the automation objects. The objects handed to a
// program are light views onto it: a layout object is (document, layout index), so two
// objects of the same layout see the same settings, and an object of a closed drawing
// fails every call.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/automation/Engine.h"
#include "engine/automation/LayoutSettings.h"
#include "engine/db/Database.h"
#include "engine/device/DeviceRegistry.h"
#include "engine/fonts/FontResolver.h"
#include "engine/plotstyle/PlotStyleCatalog.h"
#include "engine/render/Render.h"

namespace vx::engine::automation {

// What kept extents depend on besides the drawing: the layout, and what sets how wide lines
// are plotted.
struct ExtentsKey {
    std::uint32_t layout = 0;
    std::string styleSheet;  // the plot style table applied; empty for none
    bool plotLineweights = true;
    bool scaleLineweights = false;
    friend auto operator<=>(const ExtentsKey&, const ExtentsKey&) = default;
};

struct DocState {
    std::uint64_t serial = 0;
    std::filesystem::path file;  // empty for a drawing never saved
    std::string name;            // "a.dxf", "Drawing1.dwg"
    std::string folder;          // native, without a trailing separator
    std::shared_ptr<db::Database> db;
    bool readOnly = true;
    bool closed = false;
    std::int32_t dbmod = 0;
    std::uint32_t activeLayout = 0;       // index into db->layouts
    std::vector<LayoutSettings> layouts;  // one per db->layouts entry
    // Extents by layout (and lineweight settings), measured once by ZoomExtents, Regen or a
    // plot and kept until a change that can move them (a reference re-pointed or reloaded
    // with another result).
    std::map<ExtentsKey, render::LayoutBounds> extents;
    // The plot object.
    bool quietErrorMode = false;
    std::int32_t copies = 1;
    // Plot files this drawing has written, so that no plot overwrites another of it.
    std::set<std::filesystem::path> written;
    // The last file plot, when it failed: a device plot right after it with the same
    // layout, device and settings fails the same way at once instead of plotting again.
    struct FailedFilePlot {
        std::uint32_t layout = 0;
        std::string device;
        LayoutSettings settings;
        std::int32_t copies = 1;
        std::string error;
    };
    std::optional<FailedFilePlot> failedFilePlot;
    // The damage the reader worked around.
    std::vector<std::string> readWarnings;

    std::string FullPath() const { return file.empty() ? name : file.string(); }
    void Modified() { dbmod |= 1; }
};

struct EngineState {
    EngineOptions options;
    device::EngineFolders folders;
    std::unique_ptr<device::DeviceRegistry> devices;
    std::unique_ptr<plotstyle::PlotStyleCatalog> styles;
    std::unique_ptr<fonts::FontResolver> fonts;
    // Fonts for measuring extents: a resolver of their own, so that a plot's report still
    // names the substitutions of the fonts it draws.
    std::unique_ptr<fonts::FontResolver> extentsFonts;
    PlotJournal journal;
    // The last plot call's record; empty when that call plotted nothing.
    std::optional<PlotRecord> lastPlot;

    bool running = true;
    bool visible = false;
    std::int32_t sdi = 0;
    std::int32_t backgroundPlot = 2;
    std::uint64_t nextSerial = 1;
    int untitled = 0;
    // The drawing (full path) whose plot wrote each plot file this session: a plot of
    // another drawing never replaces it.
    std::map<std::filesystem::path, std::string> plotFileOwners;
    std::vector<std::shared_ptr<DocState>> docs;
    std::shared_ptr<DocState> active;

    explicit EngineState(EngineOptions opts);
    void CheckRunning() const;
    std::shared_ptr<DocState> Open(const std::filesystem::path& file);
    std::shared_ptr<DocState> AddEmpty();
    // By value: the caller's pointer may be one that closing removes (an element of docs).
    void Close(std::shared_ptr<DocState> doc);
    void ReleaseAll();
};

// The extents a plot or a zoom covers for one layout of a drawing (model space, or the
// paper-space layout's own entities with its viewports' outlines), measured by drawing it
// with the layout's lineweight settings and plot style table `table` (null: none). Taken
// from the drawing's kept extents, measured and kept when there are none. Throws
// db::ExpansionError for a drawing that expands past a page's budget.
const render::LayoutBounds& ExtentsOf(EngineState& engine, DocState& doc, std::uint32_t layout,
                                      const plotstyle::PlotStyleTable* table);
// The same with the layout's own plot style table, when it plots with one that loads.
const render::LayoutBounds& ExtentsOf(EngineState& engine, DocState& doc, std::uint32_t layout);

// The layout a paper space block stands for: the active paper layout, else the first.
std::optional<std::uint32_t> PaperLayoutOf(const DocState& doc);

}  // namespace vx::engine::automation
