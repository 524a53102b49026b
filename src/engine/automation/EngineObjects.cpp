// The automation objects of the engine application.
#include <algorithm>
#include <iterator>
#include <system_error>
#include <utility>

#include "engine/Strings.h"
#include "engine/automation/EngineObjects.h"
#include "engine/automation/PlotPipeline.h"
#include "engine/load/DrawingLoader.h"

namespace vx::engine::automation {

namespace fs = std::filesystem;
using cad::CadError;
using cad::Ref;

namespace {

using StatePtr = std::shared_ptr<EngineState>;
using DocPtr = std::shared_ptr<DocState>;

// Every call fails with CadError only: what the layers below throw carries its description.
template <class F>
auto Guarded(F&& call) -> decltype(call()) {
    try {
        return call();
    } catch (const CadError&) {
        throw;
    } catch (const std::exception& e) {
        throw CadError(e.what());
    }
}

void CheckOpen(const EngineState& engine, const DocState& doc) {
    engine.CheckRunning();
    if (doc.closed) {
        throw CadError("The drawing " + doc.name + " has been closed.");
    }
}

// The block of a layout; a damaged drawing may have lost it.
db::BlockId LayoutBlock(const DocState& doc, std::uint32_t layout) {
    const db::Layout& l = doc.db->layouts.at(layout);
    if (l.block == db::kNone || l.block >= doc.db->blocks.size()) {
        throw CadError("The layout " + l.name + " has lost its block; the drawing is damaged.");
    }
    return l.block;
}

// The class names the automation model gives the drawing's entities, in EntityType order.
constexpr const char* kObjectNames[] = {"AcDbLine",
                                        "AcDbPoint",
                                        "AcDbCircle",
                                        "AcDbArc",
                                        "AcDbEllipse",
                                        "AcDbPolyline",
                                        "AcDb2dPolyline",
                                        "AcDbSpline",
                                        "AcDbSolid",
                                        "AcDbTrace",
                                        "AcDbFace",
                                        "AcDbText",
                                        "AcDbMText",
                                        "AcDbAttributeDefinition",
                                        "AcDbBlockReference",
                                        "AcDbDimension",
                                        "AcDbLeader",
                                        "AcDbHatch",
                                        "AcDbRasterImage",
                                        cad::kViewportObject,
                                        "AcDbXline",
                                        "AcDbRay",
                                        "AcDbMline",
                                        "AcDbMLeader",
                                        "AcDbTable",
                                        "AcDbWipeout",
                                        "AcDbFcf",
                                        "AcDbSubDMesh",
                                        "AcDbPdfReference",
                                        "AcDbEntity"};
static_assert(std::size(kObjectNames) == static_cast<std::size_t>(db::EntityType::Unknown) + 1);

std::string ObjectNameOf(const db::Entity& e) {
    if (const auto* p = e.As<db::Polyline>()) {
        if ((p->flags & db::Polyline::kPolyfaceMesh) != 0) {
            return "AcDbPolyFaceMesh";
        }
        if ((p->flags & db::Polyline::kPolygonMesh) != 0) {
            return "AcDbPolygonMesh";
        }
        if ((p->flags & db::Polyline::kPolyline3d) != 0) {
            return "AcDb3dPolyline";
        }
    }
    if (const auto* u = e.As<db::Underlay>()) {
        return u->format == db::Underlay::Format::Dwf   ? "AcDbDwfReference"
               : u->format == db::Underlay::Format::Dgn ? "AcDbDgnReference"
                                                        : "AcDbPdfReference";
    }
    return kObjectNames[static_cast<std::size_t>(e.type)];
}

// One entity of a block, as it was when the block was asked for it.
class EntityObj : public cad::AcadEntity {
public:
    explicit EntityObj(std::string objectName) : objectName_(std::move(objectName)) {}
    std::string ObjectName() override { return objectName_; }

private:
    std::string objectName_;
};

Ref<cad::AcadEntity> EntityAt(const db::Block& block, std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= block.entities.size()) {
        throw CadError("Invalid index " + std::to_string(index) + ".");
    }
    return std::make_shared<EntityObj>(
        ObjectNameOf(block.entities[static_cast<std::size_t>(index)]));
}

// ----------------------------------------------------------------------------------------

class PlotObj : public cad::AcadPlot {
public:
    PlotObj(StatePtr e, DocPtr d) : e_(std::move(e)), d_(std::move(d)) {}

    void SetQuietErrorMode(bool quiet) override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            d_->quietErrorMode = quiet;
        });
    }
    void SetNumberOfCopies(std::int32_t copies) override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            if (copies < 1 || copies > 32767) {
                throw CadError("The number of copies must lie between 1 and 32767, not " +
                               std::to_string(copies) + ".");
            }
            d_->copies = copies;
        });
    }
    bool PlotToFile(const std::string& fileName, const std::string& configName) override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            PlotTarget t;
            t.device = configName.empty() ? d_->layouts[d_->activeLayout].configName : configName;
            t.toFile = true;
            t.requestedFile = fileName;
            e_->lastPlot.reset();
            PlotRecord r = RunPlot(*e_, *d_, t);
            const bool ok = r.ok;
            e_->lastPlot = r;
            d_->failedFilePlot.reset();
            if (!ok) {
                d_->failedFilePlot = DocState::FailedFilePlot{
                    d_->activeLayout, t.device, d_->layouts[d_->activeLayout], d_->copies, r.error};
            }
            e_->journal.Add(std::move(r));
            return ok;
        });
    }
    bool PlotToDevice() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            PlotTarget t;
            t.device = d_->layouts[d_->activeLayout].configName;
            e_->lastPlot.reset();
            // A program that falls back to the device after a failed file plot (as the
            // plot procedures do) gets the same failure without a second plot: it would
            // fail the same way, at the same cost.
            auto failed = std::exchange(d_->failedFilePlot, std::nullopt);
            if (failed && failed->layout == d_->activeLayout && failed->device == t.device &&
                failed->settings == d_->layouts[d_->activeLayout] && failed->copies == d_->copies) {
                throw CadError(failed->error);
            }
            PlotRecord r = RunPlot(*e_, *d_, t);
            const bool ok = r.ok;
            const std::string error = r.error;
            e_->lastPlot = r;
            e_->journal.Add(std::move(r));
            if (!ok) {
                throw CadError(error);
            }
            return true;
        });
    }
    std::optional<cad::PlotOutcome> LastOutcome() override {
        return Guarded([&]() -> std::optional<cad::PlotOutcome> {
            if (!e_->lastPlot) {
                return std::nullopt;
            }
            return OutcomeOf(*e_->lastPlot);
        });
    }

private:
    StatePtr e_;
    DocPtr d_;
};

// ----------------------------------------------------------------------------------------

class LayoutObj : public cad::AcadLayout {
public:
    LayoutObj(StatePtr e, DocPtr d, std::uint32_t index)
        : e_(std::move(e)), d_(std::move(d)), index_(index) {}

    const DocPtr& Doc() const { return d_; }
    std::uint32_t Index() const { return index_; }

    std::string Name() override {
        return Guarded([&] { return Layout().name; });
    }
    void RefreshPlotDeviceInfo() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            e_->devices->Refresh();
        });
    }
    cad::Strings GetPlotDeviceNames() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            return e_->devices->DeviceNames();
        });
    }
    cad::Strings GetCanonicalMediaNames() override {
        return Guarded([&] {
            try {
                return e_->devices->CanonicalMediaNames(Settings().configName);
            } catch (const device::DeviceError& err) {
                throw CadError(err.what());
            }
        });
    }
    cad::Strings GetPlotStyleTableNames() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            return e_->styles->Names();
        });
    }
    std::string GetLocaleMediaName(const std::string& canonicalName) override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            return device::LocaleMediaName(canonicalName);
        });
    }

    void SetConfigName(const std::string& name) override {
        return Guarded([&] {
            LayoutSettings& s = Settings();
            const auto dev = e_->devices->Find(name);
            if (!dev) {
                throw CadError("Invalid input: there is no plot device named \"" + name + "\".");
            }
            if (dev->name != s.configName) {
                s.configName = dev->name;
                // The paper stays when the new device has it, else the device's own paper.
                const auto papers = e_->devices->CanonicalMediaNames(dev->name);
                if (std::find(papers.begin(), papers.end(), s.canonicalMediaName) == papers.end()) {
                    s.canonicalMediaName = e_->devices->DefaultMediaName(dev->name);
                }
            }
            s.missingDevice.clear();
            d_->Modified();
        });
    }
    void SetCanonicalMediaName(const std::string& name) override {
        return Guarded([&] {
            LayoutSettings& s = Settings();
            const auto papers = e_->devices->CanonicalMediaNames(s.configName);
            if (std::find(papers.begin(), papers.end(), name) == papers.end()) {
                throw CadError("Invalid input: \"" + name + "\" is not a paper of " + s.configName +
                               ".");
            }
            s.canonicalMediaName = name;
            d_->Modified();
        });
    }
    void SetPlotWithPlotStyles(bool value) override {
        return Guarded([&] {
            Settings().plotWithPlotStyles = value;
            d_->Modified();
        });
    }
    std::string StyleSheet() override {
        return Guarded([&] { return Settings().styleSheet; });
    }
    void SetStyleSheet(const std::string& name) override {
        return Guarded([&] {
            LayoutSettings& s = Settings();
            if (name.empty()) {
                s.styleSheet.clear();
            } else {
                const auto file = e_->styles->Find(name);
                if (!file) {
                    throw CadError("Invalid input: there is no plot style table named \"" + name +
                                   "\".");
                }
                s.styleSheet = file->filename().string();
            }
            d_->Modified();
        });
    }
    void SetPlotType(std::int32_t type) override {
        return Guarded([&] {
            LayoutSettings& s = Settings();
            if (type < 0 || type > 5) {
                throw CadError("Invalid plot type " + std::to_string(type) + ".");
            }
            if (type == 5 && Layout().IsModel()) {
                throw CadError("Model space has no layout to plot (plot type 5).");
            }
            s.plotType = type;
            d_->Modified();
        });
    }
    void SetStandardScale(std::int32_t scale) override {
        return Guarded([&] {
            LayoutSettings& s = Settings();
            if (!page::StandardScaleFromCode(scale)) {
                throw CadError("Invalid standard scale " + std::to_string(scale) + ".");
            }
            s.standardScale = scale;
            s.storedScaleCode = false;
            d_->Modified();
        });
    }
    void SetUseStandardScale(bool value) override {
        return Guarded([&] {
            Settings().useStandardScale = value;
            d_->Modified();
        });
    }
    void SetPlotRotation(std::int32_t rotation) override {
        return Guarded([&] {
            LayoutSettings& s = Settings();
            if (rotation < 0 || rotation > 3) {
                throw CadError("Invalid plot rotation " + std::to_string(rotation) + ".");
            }
            s.rotation = rotation;
            d_->Modified();
        });
    }
    void SetCenterPlot(bool value) override {
        return Guarded([&] {
            Settings().center = value;
            d_->Modified();
        });
    }
    void ZoomExtents() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            ExtentsOf(*e_, *d_, index_);
        });
    }
    Ref<cad::AcadPlot> Plot() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            return std::make_shared<PlotObj>(e_, d_);
        });
    }
    Ref<cad::AcadBlock> Block() override;

private:
    const db::Layout& Layout() {
        CheckOpen(*e_, *d_);
        return d_->db->layouts.at(index_);
    }
    LayoutSettings& Settings() {
        CheckOpen(*e_, *d_);
        return d_->layouts.at(index_);
    }

    StatePtr e_;
    DocPtr d_;
    std::uint32_t index_;
};

class LayoutsObj : public cad::AcadLayouts {
public:
    LayoutsObj(StatePtr e, DocPtr d) : e_(std::move(e)), d_(std::move(d)) {}
    std::int32_t Count() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            return static_cast<std::int32_t>(d_->db->layouts.size());
        });
    }
    Ref<cad::AcadLayout> Item(std::int32_t index) override {
        return Guarded([&] {
            if (index < 0 || index >= Count()) {
                throw CadError("Invalid index " + std::to_string(index) + ".");
            }
            return std::make_shared<LayoutObj>(e_, d_, static_cast<std::uint32_t>(index));
        });
    }
    Ref<cad::AcadLayout> Item(const std::string& name) override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            const auto& layouts = d_->db->layouts;
            for (std::uint32_t i = 0; i < layouts.size(); ++i) {
                if (db::FoldName(layouts[i].name) == db::FoldName(name)) {
                    return std::make_shared<LayoutObj>(e_, d_, i);
                }
            }
            throw CadError("Key not found: there is no layout named \"" + name + "\".");
        });
    }

private:
    StatePtr e_;
    DocPtr d_;
};

// ----------------------------------------------------------------------------------------

// A block that is no external reference: the reference members fail, naming it.
class PlainBlockObj : public cad::AcadBlock {
public:
    explicit PlainBlockObj(std::string name) : name_(std::move(name)) {}
    std::string Name() override { return name_; }
    bool IsXRef() override { return false; }
    Ref<cad::AcadDatabase> XRefDatabase() override { throw NotAReference(); }
    std::string Path() override { throw NotAReference(); }
    void SetPath(const std::string&) override { throw NotAReference(); }
    void Reload() override { throw NotAReference(); }

private:
    CadError NotAReference() const {
        return CadError("The block " + name_ + " is not an external reference.");
    }
    std::string name_;
};

// Model space of a referenced drawing: read-only, it counts its entities.
class XrefSpaceObj : public PlainBlockObj {
public:
    XrefSpaceObj(StatePtr e, std::shared_ptr<const db::Database> db, std::string name)
        : PlainBlockObj(std::move(name)), e_(std::move(e)), db_(std::move(db)) {}
    std::int32_t Count() override {
        return Guarded([&] {
            e_->CheckRunning();
            const db::Block* ms = db_->ModelSpace();
            return ms ? static_cast<std::int32_t>(ms->entities.size()) : 0;
        });
    }
    Ref<cad::AcadEntity> Item(std::int32_t index) override {
        return Guarded([&] {
            e_->CheckRunning();
            const db::Block* ms = db_->ModelSpace();
            if (!ms) {
                throw CadError("Invalid index " + std::to_string(index) + ".");
            }
            return EntityAt(*ms, index);
        });
    }
    Ref<cad::AcadLayout> Layout() override {
        throw CadError("The model space of a referenced drawing has no layout here.");
    }

private:
    StatePtr e_;
    std::shared_ptr<const db::Database> db_;
};

class XrefDatabaseObj : public cad::AcadDatabase {
public:
    XrefDatabaseObj(StatePtr e, DocPtr d, db::BlockId block)
        : e_(std::move(e)), d_(std::move(d)), block_(block) {}
    Ref<cad::AcadBlock> ModelSpace() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            const db::Block& b = d_->db->blocks.at(block_);
            if (!b.xref || b.xref->status != db::XrefStatus::Loaded || !b.xref->database) {
                throw CadError(cad::kNoDatabase);
            }
            return std::make_shared<XrefSpaceObj>(e_, b.xref->database, b.name + "|*Model_Space");
        });
    }

private:
    StatePtr e_;
    DocPtr d_;
    db::BlockId block_;
};

class BlockObj : public cad::AcadBlock {
public:
    BlockObj(StatePtr e, DocPtr d, db::BlockId block)
        : e_(std::move(e)), d_(std::move(d)), block_(block) {}

    std::string Name() override {
        return Guarded([&] { return Block().name; });
    }
    bool IsXRef() override {
        return Guarded([&] { return Block().IsXref(); });
    }
    Ref<cad::AcadDatabase> XRefDatabase() override {
        return Guarded([&] {
            Reference();
            return std::make_shared<XrefDatabaseObj>(e_, d_, block_);
        });
    }
    std::string Path() override {
        return Guarded([&] { return Reference().path; });
    }
    void SetPath(const std::string& path) override {
        return Guarded([&] {
            Reference().path = path;
            d_->Modified();
        });
    }
    void Reload() override {
        return Guarded([&] {
            const bool hadDrawing = Reference().database != nullptr;
            try {
                load::ReloadXref(*d_->db, d_->file, block_, e_->options.load);
            } catch (...) {
                d_->extents.clear();
                throw;
            }
            // A reference that neither had nor has a drawing added nothing to the extents.
            if (hadDrawing || Reference().database) {
                d_->extents.clear();
            }
            d_->Modified();
        });
    }
    std::int32_t Count() override {
        return Guarded([&] { return static_cast<std::int32_t>(Block().entities.size()); });
    }
    Ref<cad::AcadEntity> Item(std::int32_t index) override {
        return Guarded([&] { return EntityAt(Block(), index); });
    }
    Ref<cad::AcadLayout> Layout() override {
        return Guarded([&] {
            const db::Block& b = Block();
            const auto& layouts = d_->db->layouts;
            for (std::uint32_t i = 0; i < layouts.size(); ++i) {
                if (layouts[i].block == block_) {
                    return std::make_shared<LayoutObj>(e_, d_, i);
                }
            }
            throw CadError("The block " + b.name + " is not the block of a layout.");
        });
    }

private:
    db::Block& Block() {
        CheckOpen(*e_, *d_);
        return d_->db->blocks.at(block_);
    }
    db::Xref& Reference() {
        db::Block& b = Block();
        if (!b.IsXref() || !b.xref) {
            throw CadError("The block " + b.name + " is not an external reference.");
        }
        return *b.xref;
    }

    StatePtr e_;
    DocPtr d_;
    db::BlockId block_;
};

// The block of a paper-space layout that has none (a drawing without paper space, whose
// "Layout1" was made up when it was read): it holds nothing.
class NoSheetObj : public PlainBlockObj {
public:
    NoSheetObj(Ref<cad::AcadLayout> layout, std::string name)
        : PlainBlockObj(std::move(name)), layout_(std::move(layout)) {}
    std::int32_t Count() override { return 0; }
    Ref<cad::AcadEntity> Item(std::int32_t index) override {
        throw CadError("Invalid index " + std::to_string(index) + ".");
    }
    Ref<cad::AcadLayout> Layout() override { return layout_; }

private:
    Ref<cad::AcadLayout> layout_;
};

Ref<cad::AcadBlock> LayoutObj::Block() {
    return Guarded([&]() -> Ref<cad::AcadBlock> {
        CheckOpen(*e_, *d_);
        const db::Layout& l = Layout();
        if (l.block == db::kNone && !l.IsModel()) {
            return std::make_shared<NoSheetObj>(std::make_shared<LayoutObj>(e_, d_, index_),
                                                "*Paper_Space");
        }
        return std::make_shared<BlockObj>(e_, d_, LayoutBlock(*d_, index_));
    });
}

class BlocksObj : public cad::AcadBlocks {
public:
    BlocksObj(StatePtr e, DocPtr d) : e_(std::move(e)), d_(std::move(d)) {}
    std::int32_t Count() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            return static_cast<std::int32_t>(d_->db->blocks.size());
        });
    }
    Ref<cad::AcadBlock> Item(std::int32_t index) override {
        return Guarded([&] {
            if (index < 0 || index >= Count()) {
                throw CadError("Invalid index " + std::to_string(index) + ".");
            }
            return std::make_shared<BlockObj>(e_, d_, static_cast<db::BlockId>(index));
        });
    }
    Ref<cad::AcadBlock> Item(const std::string& name) override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            const db::BlockId id = d_->db->FindBlock(name);
            if (id == db::kNone) {
                throw CadError("Key not found: there is no block named \"" + name + "\".");
            }
            return std::make_shared<BlockObj>(e_, d_, id);
        });
    }

private:
    StatePtr e_;
    DocPtr d_;
};

// ----------------------------------------------------------------------------------------

class DocumentObj : public cad::AcadDocument {
public:
    DocumentObj(StatePtr e, DocPtr d) : e_(std::move(e)), d_(std::move(d)) {}

    std::int32_t GetVariable(const std::string& name) override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            const std::string n = Upper(name);
            if (n == "SDI") {
                return e_->sdi;
            }
            if (n == "DBMOD") {
                return d_->dbmod;
            }
            if (n == "BACKGROUNDPLOT") {
                return e_->backgroundPlot;
            }
            throw CadError("Unknown system variable " + name + ".");
        });
    }
    void SetVariable(const std::string& name, std::int32_t value) override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            const std::string n = Upper(name);
            if (n == "SDI") {
                if (value < 0 || value > 3) {
                    throw CadError("SDI takes 0 to 3, not " + std::to_string(value) + ".");
                }
                if (value == 1 && e_->docs.size() > 1) {
                    throw CadError("SDI cannot be set to 1 while more than one drawing is open.");
                }
                e_->sdi = value;
                return;
            }
            if (n == "BACKGROUNDPLOT") {
                if (value < 0 || value > 3) {
                    throw CadError("BACKGROUNDPLOT takes 0 to 3, not " + std::to_string(value) +
                                   ".");
                }
                e_->backgroundPlot = value;
                return;
            }
            if (n == "DBMOD") {
                throw CadError("DBMOD is read-only.");
            }
            throw CadError("Unknown system variable " + name + ".");
        });
    }
    void Close(bool saveChanges) override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            if (saveChanges && d_->readOnly) {
                throw CadError("The drawing " + d_->name +
                               " was opened read-only; it is not saved. Close it without saving.");
            }
            if (saveChanges) {
                throw CadError("The built-in engine saves no drawing; close " + d_->name +
                               " without saving.");
            }
            e_->Close(d_);
        });
    }
    std::string Name() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            return d_->name;
        });
    }
    std::string Path() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            return d_->folder;
        });
    }
    void Regen(std::int32_t which) override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            if (which != cad::kRegenAllViewports && which != cad::kRegenActiveViewport) {
                throw CadError("Invalid argument to Regen: " + std::to_string(which) + ".");
            }
            // The drawing's own data change only with the changes that forget its extents.
            ExtentsOf(*e_, *d_, d_->activeLayout);
        });
    }
    void Activate() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            e_->active = d_;
        });
    }
    Ref<cad::AcadLayout> ActiveLayout() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            return std::make_shared<LayoutObj>(e_, d_, d_->activeLayout);
        });
    }
    void SetActiveLayout(const Ref<cad::AcadLayout>& layout) override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            auto l = std::dynamic_pointer_cast<LayoutObj>(layout);
            if (!l || l->Doc() != d_) {
                throw CadError("The layout does not belong to the drawing " + d_->name + ".");
            }
            if (l->Index() != d_->activeLayout) {
                d_->activeLayout = l->Index();
                d_->Modified();
            }
        });
    }
    Ref<cad::AcadLayouts> Layouts() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            return std::make_shared<LayoutsObj>(e_, d_);
        });
    }
    Ref<cad::AcadBlock> ModelSpace() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            return std::make_shared<BlockObj>(e_, d_, LayoutBlock(*d_, 0));
        });
    }
    Ref<cad::AcadBlock> PaperSpace() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            const auto layout = PaperLayoutOf(*d_);
            if (!layout) {
                throw CadError("The drawing " + d_->name + " has no paper space layout.");
            }
            return std::make_shared<BlockObj>(e_, d_, LayoutBlock(*d_, *layout));
        });
    }
    Ref<cad::AcadPlot> Plot() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            return std::make_shared<PlotObj>(e_, d_);
        });
    }
    Ref<cad::AcadBlocks> Blocks() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            return std::make_shared<BlocksObj>(e_, d_);
        });
    }
    cad::Strings ReadWarnings() override {
        return Guarded([&] {
            CheckOpen(*e_, *d_);
            return d_->readWarnings;
        });
    }

    const DocPtr& Doc() const { return d_; }

private:
    StatePtr e_;
    DocPtr d_;
};

class DocumentsObj : public cad::AcadDocuments {
public:
    explicit DocumentsObj(StatePtr e) : e_(std::move(e)) {}
    std::int32_t Count() override {
        return Guarded([&] {
            e_->CheckRunning();
            return static_cast<std::int32_t>(e_->docs.size());
        });
    }
    Ref<cad::AcadDocument> Item(std::int32_t index) override {
        return Guarded([&] {
            if (index < 0 || index >= Count()) {
                throw CadError("Invalid index " + std::to_string(index) + ".");
            }
            return std::make_shared<DocumentObj>(e_, e_->docs[static_cast<std::size_t>(index)]);
        });
    }
    Ref<cad::AcadDocument> Add() override {
        return Guarded([&] {
            e_->CheckRunning();
            return std::make_shared<DocumentObj>(e_, e_->AddEmpty());
        });
    }
    Ref<cad::AcadDocument> Open(const std::string& path, bool /*readOnly*/) override {
        return Guarded([&] {
            // Whatever is asked, the engine opens drawings read-only.
            e_->CheckRunning();
            return std::make_shared<DocumentObj>(e_, e_->Open(fs::path(path)));
        });
    }

private:
    StatePtr e_;
};

}  // namespace

// ----------------------------------------------------------------------------------------

EngineApplication::EngineApplication(std::shared_ptr<EngineState> state)
    : state_(std::move(state)) {}

void EngineApplication::SetVisible(bool visible) {
    return Guarded([&] {
        state_->CheckRunning();
        state_->visible = visible;
    });
}

Ref<cad::AcadApplication> EngineApplication::Application() {
    return Guarded([&] {
        state_->CheckRunning();
        return shared_from_this();
    });
}

Ref<cad::AcadDocument> EngineApplication::ActiveDocument() {
    return Guarded([&] {
        state_->CheckRunning();
        if (!state_->active) {
            throw CadError("No drawing is open.");
        }
        return std::make_shared<DocumentObj>(state_, state_->active);
    });
}

Ref<cad::AcadDocuments> EngineApplication::Documents() {
    return Guarded([&] {
        state_->CheckRunning();
        return std::make_shared<DocumentsObj>(state_);
    });
}

void EngineApplication::ZoomExtents() {
    return Guarded([&] {
        state_->CheckRunning();
        if (!state_->active) {
            throw CadError("No drawing is open.");
        }
        DocState& doc = *state_->active;
        ExtentsOf(*state_, doc, doc.activeLayout);
    });
}

void EngineApplication::Quit() {
    return Guarded([&] {
        state_->CheckRunning();
        state_->ReleaseAll();
        state_->running = false;
    });
}

bool EngineApplication::Running() const {
    return state_->running;
}

const PlotJournal& EngineApplication::Journal() const {
    return state_->journal;
}

}  // namespace vx::engine::automation
