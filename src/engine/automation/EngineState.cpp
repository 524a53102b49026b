#include "engine/automation/EngineState.h"

#include <system_error>

#include "engine/load/DrawingLoader.h"

namespace vx::engine::automation {

namespace fs = std::filesystem;
using cad::CadError;

namespace {

// A drawing without layouts (R12 and older files) gets its model layout, and a paper
// space layout when its paper space holds anything.
void EnsureLayouts(db::Database& db) {
    const bool hasModel = !db.layouts.empty() && db.layouts.front().IsModel();
    if (hasModel) {
        return;
    }
    if (db.modelSpace == db::kNone) {
        throw CadError("The drawing has no model space.");
    }
    db::Layout model;
    model.name = "Model";
    model.block = db.modelSpace;
    model.limitsMin = db.header.limMin;
    model.limitsMax = db.header.limMax;
    model.plot.flags = db::PlotSettings::kModelType | db::PlotSettings::kUseStandardScale |
                       db::PlotSettings::kPlotCentered;
    model.plot.plotType = 1;
    db.layouts.insert(db.layouts.begin(), model);
    const bool hasPaper = db.layouts.size() > 1;
    if (!hasPaper && db.activePaperSpace != db::kNone &&
        !db.blocks[db.activePaperSpace].entities.empty()) {
        db::Layout paper;
        paper.name = "Layout1";
        paper.block = db.activePaperSpace;
        paper.limitsMin = db.header.pLimMin;
        paper.limitsMax = db.header.pLimMax;
        paper.plot.flags = db::PlotSettings::kUseStandardScale | db::PlotSettings::kPlotCentered;
        paper.plot.plotType = 1;
        db.layouts.push_back(paper);
    }
}

std::uint32_t InitialLayout(const db::Database& db) {
    if (db.header.tileMode != 0) {
        return 0;
    }
    for (std::uint32_t i = 1; i < db.layouts.size(); ++i) {
        if (db.layouts[i].block == db.activePaperSpace) {
            return i;
        }
    }
    return db.layouts.size() > 1 ? 1 : 0;
}

void Settle(DocState& doc, const device::DeviceRegistry& devices) {
    EnsureLayouts(*doc.db);
    doc.layouts.clear();
    for (const auto& l : doc.db->layouts) {
        doc.layouts.push_back(SettingsFromStored(l, devices));
    }
    doc.activeLayout = InitialLayout(*doc.db);
}

}  // namespace

EngineState::EngineState(EngineOptions opts) : options(std::move(opts)) {
    folders = options.folders ? *options.folders : device::DefaultEngineFolders();
    auto printers = options.printers;
    if (!printers && !options.noPrinters) {
        printers = device::SystemPrinters();
    }
    devices = std::make_unique<device::DeviceRegistry>(folders.Plotters(), printers);
    styles = std::make_unique<plotstyle::PlotStyleCatalog>(folders.PlotStyles());
    fonts = std::make_unique<fonts::FontResolver>(options.fonts ? *options.fonts
                                                                : fonts::DefaultFontFolders());
    extentsFonts = std::make_unique<fonts::FontResolver>(
        options.fonts ? *options.fonts : fonts::DefaultFontFolders());
}

void EngineState::CheckRunning() const {
    if (!running) {
        throw CadError("The CAD application has quit.");
    }
}

std::shared_ptr<DocState> EngineState::Open(const fs::path& file) {
    CheckRunning();
    if (sdi == 1 && !docs.empty()) {
        throw CadError("Single-drawing mode (SDI = 1): another drawing is open already.");
    }
    std::error_code ec;
    fs::path abs = fs::absolute(file, ec);
    if (ec) {
        abs = file;
    }
    abs = abs.lexically_normal();
    load::LoadResult r = load::LoadDrawing(abs, options.load);
    if (!r.Ok()) {
        journal.AddOpen({abs.string(), false, r.error.Text(), {}});
        throw CadError("Cannot open " + abs.string() + ": " + r.error.Text());
    }
    OpenRecord opened{abs.string(), true, {}, {}};
    for (const auto& w : r.database->warnings) {
        opened.warnings.push_back(w.Text());
    }
    auto doc = std::make_shared<DocState>();
    doc->serial = nextSerial++;
    doc->file = abs;
    doc->name = abs.filename().string();
    doc->folder = abs.parent_path().string();
    doc->db = std::move(r.database);
    try {
        Settle(*doc, *devices);
    } catch (const CadError& e) {
        journal.AddOpen({abs.string(), false, e.Description(), std::move(opened.warnings)});
        throw;
    }
    doc->readWarnings = opened.warnings;
    journal.AddOpen(std::move(opened));
    docs.push_back(doc);
    active = doc;
    return doc;
}

std::shared_ptr<DocState> EngineState::AddEmpty() {
    CheckRunning();
    if (sdi == 1 && !docs.empty()) {
        throw CadError("Single-drawing mode (SDI = 1): another drawing is open already.");
    }
    auto db = std::make_shared<db::Database>();
    db::Block model;
    model.name = "*Model_Space";
    db::Block paper;
    paper.name = "*Paper_Space";
    db->blocks = {model, paper};
    db->modelSpace = 0;
    db->activePaperSpace = 1;
    db->header.limMax = {420, 297, 0};
    db->header.pLimMax = {420, 297, 0};
    db::Layout layout1;
    layout1.name = "Layout1";
    layout1.block = 1;
    layout1.limitsMax = {420, 297, 0};
    db->layouts.push_back(layout1);
    db->RebuildIndexes();

    auto doc = std::make_shared<DocState>();
    doc->serial = nextSerial++;
    doc->name = "Drawing" + std::to_string(++untitled) + ".dwg";
    doc->readOnly = false;
    doc->db = std::move(db);
    Settle(*doc, *devices);
    docs.push_back(doc);
    active = doc;
    return doc;
}

void EngineState::Close(std::shared_ptr<DocState> doc) {
    doc->closed = true;
    std::erase(docs, doc);
    if (active == doc) {
        active = docs.empty() ? nullptr : docs.back();
    }
    doc->db.reset();
    doc->extents.clear();
}

void EngineState::ReleaseAll() {
    while (!docs.empty()) {
        Close(docs.back());
    }
}

const render::LayoutBounds& ExtentsOf(EngineState& engine, DocState& doc, std::uint32_t layout,
                                      const plotstyle::PlotStyleTable* table) {
    const LayoutSettings& s = doc.layouts.at(layout);
    ExtentsKey key{layout, table ? s.styleSheet : std::string(), s.plotLineweights,
                   s.scaleLineweights};
    auto it = doc.extents.find(key);
    if (it == doc.extents.end()) {
        render::RenderOptions options;
        options.plotStyles = table;
        options.plotLineweights = s.plotLineweights;
        options.scaleLineweights = s.scaleLineweights;
        options.fonts = engine.extentsFonts.get();
        options.drawingFolder = doc.folder;
        it = doc.extents.emplace(std::move(key), render::MeasureLayout(*doc.db, layout, options))
                 .first;
    }
    return it->second;
}

const render::LayoutBounds& ExtentsOf(EngineState& engine, DocState& doc, std::uint32_t layout) {
    const LayoutSettings& s = doc.layouts.at(layout);
    std::optional<plotstyle::PlotStyleTable> table;
    if (s.plotWithPlotStyles && !s.styleSheet.empty()) {
        std::string problem;
        table = engine.styles->LoadForPlot(s.styleSheet, problem);
    }
    return ExtentsOf(engine, doc, layout, table ? &*table : nullptr);
}

std::optional<std::uint32_t> PaperLayoutOf(const DocState& doc) {
    const auto& layouts = doc.db->layouts;
    if (doc.activeLayout < layouts.size() && !layouts[doc.activeLayout].IsModel()) {
        return doc.activeLayout;
    }
    for (std::uint32_t i = 0; i < layouts.size(); ++i) {
        if (!layouts[i].IsModel()) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace vx::engine::automation
