#include "engine/automation/PlotPipeline.h"

#include <exception>
#include <functional>
#include <system_error>

#include "engine/automation/PlotFiles.h"
#include "engine/output/PageSink.h"
#include "engine/page/PagePlacement.h"
#include "engine/render/Render.h"

namespace vx::engine::automation {

namespace fs = std::filesystem;

namespace {

page::Rect Corners(const db::Vec3& a, const db::Vec3& b) {
    return page::Rect::FromCorners({a.x, a.y}, {b.x, b.y});
}

bool Usable(const page::Rect& r) {
    return !r.IsEmpty() && r.IsFinite() && (r.Width() > 0 || r.Height() > 0);
}

page::Rect Limits(const DocState& doc, std::uint32_t layout) {
    const db::Database& db = *doc.db;
    const db::Layout& l = db.layouts[layout];
    page::Rect r = Corners(l.limitsMin, l.limitsMax);
    if (Usable(r)) {
        return r;
    }
    return l.IsModel() ? Corners(db.header.limMin, db.header.limMax)
                       : Corners(db.header.pLimMin, db.header.pLimMax);
}

bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return a == b || fs::equivalent(a, b, ec);
}

}  // namespace

page::Rect PlotArea(const DocState& doc, std::uint32_t layout, const LayoutSettings& s,
                    const std::function<const render::LayoutBounds&()>& extents,
                    const render::LayoutBounds** usedExtents, std::vector<std::string>& notes) {
    *usedExtents = nullptr;
    const auto Extents = [&](const DocState&, std::uint32_t) {
        *usedExtents = &extents();
        return (*usedExtents)->box;
    };
    page::Rect area;
    switch (s.plotType) {
        case 2:
            area = Limits(doc, layout);
            if (!Usable(area)) {
                notes.emplace_back("The layout has no limits; its extents are plotted.");
                area = Extents(doc, layout);
            }
            break;
        case 3:
            notes.emplace_back("Named views are not plotted; the layout's extents are plotted.");
            area = Extents(doc, layout);
            break;
        case 4:
            area = s.window;
            if (!Usable(area)) {
                notes.emplace_back("The layout's plot window is empty; its extents are plotted.");
                area = Extents(doc, layout);
            }
            break;
        case 5:
            area = doc.db->layouts[layout].IsModel() ? Extents(doc, layout) : Limits(doc, layout);
            if (!Usable(area)) {
                area = Extents(doc, layout);
            }
            break;
        default:  // 0 display (the engine's display is the extents), 1 extents
            area = Extents(doc, layout);
            break;
    }
    if (!Usable(area)) {
        const page::Rect limits = Limits(doc, layout);
        if (Usable(limits)) {
            notes.emplace_back("The layout holds nothing to plot; its limits are plotted.");
            area = limits;
            *usedExtents = nullptr;
        }
    }
    return area;
}

PlotRecord RunPlot(EngineState& engine, DocState& doc, const PlotTarget& target) {
    PlotRecord r;
    const std::uint32_t index = doc.activeLayout;
    const LayoutSettings& s = doc.layouts[index];
    r.drawing = doc.FullPath();
    r.layout = doc.db->layouts[index].name;
    r.device = target.device;
    r.styleSheet = s.plotWithPlotStyles ? s.styleSheet : std::string();
    r.toFile = target.toFile;
    r.requestedFile = target.requestedFile;
    r.copies = doc.copies;
    try {
        const db::BlockId block = doc.db->layouts[index].block;
        if (block == db::kNone || block >= doc.db->blocks.size()) {
            throw device::DeviceError("The layout \"" + r.layout +
                                      "\" has lost its block; the drawing is damaged.");
        }
        const auto dev = engine.devices->Find(target.device);
        if (!dev) {
            throw device::DeviceError("There is no plot device named \"" + target.device + "\".");
        }
        r.device = dev->name;
        if (dev->kind == device::DeviceKind::None) {
            throw device::DeviceError(
                "The layout \"" + r.layout +
                "\" has no plot device (\"None\"): there is nothing to plot to.");
        }
        if (target.toFile && dev->kind != device::DeviceKind::PlotterFile) {
            throw device::DeviceError("\"" + dev->name +
                                      "\" is a printer; a plot file needs a plotter configuration "
                                      "(.pc3).");
        }

        page::Media paper;
        try {
            paper = engine.devices->Paper(dev->name, s.canonicalMediaName);
        } catch (const device::DeviceError&) {
            const std::string fallback = engine.devices->DefaultMediaName(dev->name);
            r.notes.push_back("The paper \"" + s.canonicalMediaName + "\" is not one of " +
                              dev->name + "; its paper \"" + fallback + "\" is used.");
            paper = engine.devices->Paper(dev->name, fallback);
        }
        r.media = paper.canonicalName;

        // The table comes first: it sets the widths lines are plotted with, and so the
        // extents; a problem with it is noted after the plot area's notes.
        std::optional<plotstyle::PlotStyleTable> table;
        std::string tableProblem;
        if (s.plotWithPlotStyles && !s.styleSheet.empty()) {
            table = engine.styles->LoadForPlot(s.styleSheet, tableProblem);
        }
        const plotstyle::PlotStyleTable* tablePtr = table ? &*table : nullptr;

        page::PlacementRequest request;
        const render::LayoutBounds* extents = nullptr;
        request.plotArea = PlotArea(
            doc, index, s,
            [&]() -> const render::LayoutBounds& {
                return ExtentsOf(engine, doc, index, tablePtr);
            },
            &extents, r.notes);
        if (!Usable(request.plotArea)) {
            // Nothing to plot and no limits: a blank sheet, as the layout is.
            r.notes.emplace_back("The layout holds nothing to plot; the page is blank.");
            request.plotArea = {0, 0, paper.widthMm, paper.heightMm};
            extents = nullptr;
        }
        request.media = paper;
        request.paperUnits = s.paperUnits;
        request.scale = ScaleOf(s);
        request.rotation = static_cast<page::Rotation>(s.rotation);
        request.center = s.center;
        const double perUnit = page::MmPerUnit(s.paperUnits);
        request.offset = {s.originMm.x / perUnit, s.originMm.y / perUnit};
        const page::Placement placed =
            extents ? render::PlaceBounds(*extents, request) : page::PlacePage(request);
        if (!tableProblem.empty()) {
            r.notes.push_back(tableProblem + " The plot uses the objects' own colours.");
        }

        fs::path file;
        if (dev->kind == device::DeviceKind::PlotterFile) {
            file = target.toFile ? PlotFilePath(target.requestedFile, doc.folder, dev->config)
                                 : DevicePlotFilePath(doc.name, doc.folder, dev->config);
            const auto owner = engine.plotFileOwners.find(file);
            if (owner != engine.plotFileOwners.end() && owner->second != doc.FullPath()) {
                file = PlotFileOfDrawing(file, doc.name);
            }
            file = DistinctPlotFile(file, r.layout, doc.written);
            if (!doc.file.empty() && SameFile(file, doc.file)) {
                throw device::DeviceError("The plot file " + file.string() +
                                          " is the drawing itself; it is not overwritten.");
            }
        } else {
            r.printer = dev->name;
        }

        engine.fonts->ClearSubstitutions();
        auto sink =
            device::OpenDevicePage(*dev, paper, file, doc.copies, doc.name + " - " + r.layout);
        render::RenderOptions options;
        options.plotStyles = tablePtr;
        options.plotLineweights = s.plotLineweights;
        options.scaleLineweights = s.scaleLineweights;
        options.fonts = engine.fonts.get();
        options.plotArea = placed.plotted;
        options.drawingFolder = doc.folder;
        const render::RenderReport report =
            render::RenderLayout(*doc.db, index, placed.drawingToPaper, options, *sink);
        r.entities = report.entities;
        r.drawn = report.drawn;
        r.visible = report.visible;
        for (const auto& w : report.warnings) {
            r.notes.push_back(w);
        }
        for (auto& note : render::NotDrawnNotes(report)) {
            r.notes.push_back(std::move(note));
        }
        for (const auto& sub : engine.fonts->Substitutions()) {
            r.notes.push_back("Font " + sub.asked + " drawn with " + sub.used + ": " + sub.reason);
            r.substitutedFonts.push_back(sub);
        }
        const output::PlotStats stats = sink->Finish({.requireInk = report.visible > 0});
        for (const auto& note : stats.notes) {
            r.notes.push_back(note.toStdString());
        }
        r.bytes = stats.bytesWritten;
        if (stats.inkedPrimitives == 0) {
            r.blank = true;
            r.notes.emplace_back(report.modelerNotDrawn > 0
                                     ? "The page is blank; " +
                                           std::to_string(report.modelerNotDrawn) +
                                           " solids, regions or bodies on it are not drawn."
                                     : "The page is blank: nothing in the plotted area left ink.");
        }
        if (!file.empty()) {
            r.outputFile = file.string();
            doc.written.insert(file);
            engine.plotFileOwners.emplace(file, doc.FullPath());
        }
        r.ok = true;
    } catch (const std::exception& e) {
        r.ok = false;
        r.error = e.what();
        r.outputFile.clear();
    }
    return r;
}

}  // namespace vx::engine::automation
