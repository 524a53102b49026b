#include "FakeCad.h"

#include <algorithm>
#include <filesystem>

namespace vx::fake {

using namespace vx::cad;

std::string Quote(const std::string& s) {
    return "\"" + s + "\"";
}

namespace {

std::string Bool(bool b) {
    return b ? "True" : "False";
}

std::string NativePath(std::string path) {
#ifndef _WIN32
    std::replace(path.begin(), path.end(), '\\', '/');
#endif
    return path;
}

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    auto pos = path.find_last_of("/\\");
    if (pos == std::string::npos) {
        folder.clear();
        name = path;
    } else {
        folder = path.substr(0, pos);
        name = path.substr(pos + 1);
    }
}

struct Rule {
    std::string call;
    std::string description;
    int times;
    int after = 0;
};

class AppObj;
class DocObj;

}  // namespace

struct FakeCad::State : std::enable_shared_from_this<FakeCad::State> {
    bool running = true;
    bool createFails = false;
    int starts = 0;
    Strings devices{"None"};
    Strings styles;
    Strings defaultMedia;
    std::map<std::string, Strings> media;
    bool plotToFileResult = true;
    std::map<std::string, DrawingSpec> files;
    std::vector<std::shared_ptr<DocObj>> docs;
    std::shared_ptr<DocObj> active;
    std::vector<Rule> rules;
    std::vector<std::string> calls;
    std::vector<PlotJob> plots;
    std::shared_ptr<AppObj> app;
    int untitled = 0;

    // Records a call and throws when a failure rule matches it.
    void Call(const std::string& kind, const std::string& id, const std::string& member,
              const std::string& rest = {}) {
        std::string text = kind + (id.empty() ? "" : "[" + id + "]") + "." + member + rest;
        calls.push_back(text);
        const std::string plain = kind + "." + member;
        const std::string withId = kind + "[" + id + "]." + member;
        for (auto& r : rules) {
            if (r.times != 0 && (r.call == plain || r.call == withId)) {
                if (r.after > 0) {
                    --r.after;
                    continue;
                }
                if (r.times > 0) {
                    --r.times;
                }
                throw CadError(r.description);
            }
        }
    }

    const Strings& MediaOf(const std::string& device) const {
        auto it = media.find(device);
        return it == media.end() ? defaultMedia : it->second;
    }

    std::shared_ptr<DocObj> OpenDoc(const DrawingSpec& spec);
    void CloseDoc(const DocObj* doc);
};

namespace {

using StatePtr = std::shared_ptr<FakeCad::State>;

class PlotObj;
class LayoutObj;
class BlockObj;

class PlotObj : public AcadPlot {
public:
    PlotObj(StatePtr s, DocObj* doc) : s_(std::move(s)), doc_(doc) {}
    void SetQuietErrorMode(bool quiet) override;
    void SetNumberOfCopies(std::int32_t copies) override;
    bool PlotToFile(const std::string& fileName, const std::string& configName) override;
    bool PlotToDevice() override;

    bool quiet = false;
    std::int32_t copies = 1;

private:
    std::string Id() const;
    void Record(bool toFile, const std::string& fileName, const std::string& config);
    StatePtr s_;
    DocObj* doc_;
};

class LayoutObj : public AcadLayout {
public:
    LayoutObj(StatePtr s, DocObj* doc, LayoutSpec spec)
        : s_(std::move(s)), doc_(doc), spec(std::move(spec)) {}
    std::string Name() override { return Answer("Name", spec.name); }
    void RefreshPlotDeviceInfo() override { Call("RefreshPlotDeviceInfo()"); }
    Strings GetPlotDeviceNames() override { return Answer("GetPlotDeviceNames()", s_->devices); }
    Strings GetCanonicalMediaNames() override {
        return Answer("GetCanonicalMediaNames()", s_->MediaOf(spec.configName));
    }
    Strings GetPlotStyleTableNames() override {
        return Answer("GetPlotStyleTableNames()", s_->styles);
    }
    std::string GetLocaleMediaName(const std::string& name) override {
        Call("GetLocaleMediaName(" + Quote(name) + ")");
        std::string local = name;
        std::replace(local.begin(), local.end(), '_', ' ');
        return local;
    }
    void SetConfigName(const std::string& v) override {
        Store("ConfigName = ", spec.configName, v);
    }
    void SetCanonicalMediaName(const std::string& v) override {
        Store("CanonicalMediaName = ", spec.canonicalMedia, v);
    }
    void SetPlotWithPlotStyles(bool v) override { Call("PlotWithPlotStyles = " + Bool(v)); }
    std::string StyleSheet() override { return Answer("StyleSheet", spec.styleSheet); }
    void SetStyleSheet(const std::string& v) override {
        Store("StyleSheet = ", spec.styleSheet, v);
    }
    void SetPlotType(std::int32_t v) override { Call("PlotType = " + std::to_string(v)); }
    void SetStandardScale(std::int32_t v) override { Call("StandardScale = " + std::to_string(v)); }
    void SetUseStandardScale(bool v) override { Call("UseStandardScale = " + Bool(v)); }
    void SetPlotRotation(std::int32_t v) override { Call("PlotRotation = " + std::to_string(v)); }
    void SetCenterPlot(bool v) override { Call("CenterPlot = " + Bool(v)); }
    void ZoomExtents() override { Call("ZoomExtents()"); }
    Ref<AcadPlot> Plot() override;
    Ref<AcadBlock> Block() override;

    StatePtr s_;
    DocObj* doc_;
    LayoutSpec spec;

private:
    void Call(const std::string& member) {
        auto pos = member.find_first_of(" (");
        std::string name = member.substr(0, pos);
        s_->Call("Layout", spec.name, name, pos == std::string::npos ? "" : member.substr(pos));
    }
    template <class T>
    T Answer(const std::string& member, T value) {
        Call(member);
        return value;
    }
    void Store(const std::string& member, std::string& field, const std::string& value) {
        Call(member + Quote(value));
        field = value;
    }
};

class DbObj;

class EntityObj : public AcadEntity {
public:
    EntityObj(StatePtr s, std::string id, std::string objectName)
        : s_(std::move(s)), id_(std::move(id)), objectName_(std::move(objectName)) {}
    std::string ObjectName() override {
        s_->Call("Entity", id_, "ObjectName");
        return objectName_;
    }

private:
    StatePtr s_;
    std::string id_;
    std::string objectName_;
};

class BlockObj : public AcadBlock {
public:
    // Sheet: the block of one paper-space layout, reached through the layout.
    enum class Kind { Model, Paper, Sheet, XRef, Plain };
    BlockObj(StatePtr s, DocObj* doc, Kind kind, std::string name)
        : s_(std::move(s)), doc_(doc), kind_(kind), name_(std::move(name)) {}

    std::string Name() override { return Answer("Name", name_); }
    bool IsXRef() override { return Answer("IsXRef", kind_ == Kind::XRef); }
    Ref<AcadDatabase> XRefDatabase() override;
    std::string Path() override { return Answer("Path", xref ? xref->path : std::string()); }
    void SetPath(const std::string& path) override {
        Call("Path", " = " + Quote(path));
        if (!xref) {
            throw CadError("Not an external reference");
        }
        xref->path = path;
    }
    void Reload() override {
        Call("Reload()");
        if (xref) {
            xref->loaded = std::filesystem::exists(NativePath(xref->path));
        }
    }
    std::int32_t Count() override {
        return Answer("Count", static_cast<std::int32_t>(Entities().size()));
    }
    Ref<AcadEntity> Item(std::int32_t index) override {
        Call("Item", "(" + std::to_string(index) + ")");
        const Strings entities = Entities();
        if (index < 0 || static_cast<std::size_t>(index) >= entities.size()) {
            throw CadError("Invalid index");
        }
        return std::make_shared<EntityObj>(s_, name_ + ":" + std::to_string(index),
                                           entities[static_cast<std::size_t>(index)]);
    }
    Ref<AcadLayout> Layout() override;

    const std::string& BlockName() const { return name_; }
    XRefSpec* xref = nullptr;
    const LayoutSpec* sheet = nullptr;  // the layout whose entities a Model or Sheet holds

private:
    Strings Entities() const {
        if (kind_ == Kind::XRef) {
            return {"AcDbLine"};
        }
        return sheet ? sheet->entities : Strings{};
    }
    void Call(const std::string& member, const std::string& rest = {}) {
        s_->Call("Block", name_, member, rest);
    }
    template <class T>
    T Answer(const std::string& member, T value) {
        Call(member);
        return value;
    }
    StatePtr s_;
    DocObj* doc_;
    Kind kind_;
    std::string name_;
};

class DbObj : public AcadDatabase {
public:
    DbObj(StatePtr s, BlockObj* block, std::string name)
        : s_(std::move(s)), block_(block), name_(std::move(name)) {}
    Ref<AcadBlock> ModelSpace() override {
        s_->Call("XRefDatabase", name_, "ModelSpace");
        if (!block_->xref || !block_->xref->loaded) {
            throw CadError(block_->xref ? block_->xref->probeError : kNoDatabase);
        }
        return std::make_shared<BlockObj>(s_, nullptr, BlockObj::Kind::Model,
                                          name_ + "|*Model_Space");
    }

private:
    StatePtr s_;
    BlockObj* block_;
    std::string name_;
};

class DocObj : public AcadDocument, public std::enable_shared_from_this<DocObj> {
public:
    DocObj(StatePtr s, DrawingSpec spec) : s_(std::move(s)), spec(std::move(spec)) {}

    void Build() {
        for (auto& l : spec.layouts) {
            layouts.push_back(std::make_shared<LayoutObj>(s_, this, l));
        }
        model = std::make_shared<BlockObj>(s_, this, BlockObj::Kind::Model, "*Model_Space");
        model->sheet = &layouts[0]->spec;
        // Paper-space layouts hold their entities in *Paper_Space0, *Paper_Space1, ...
        for (std::size_t i = 1; i < layouts.size(); ++i) {
            sheets.push_back(std::make_shared<BlockObj>(s_, this, BlockObj::Kind::Sheet,
                                                        "*Paper_Space" + std::to_string(i - 1)));
            sheets.back()->sheet = &layouts[i]->spec;
        }
        paper = std::make_shared<BlockObj>(s_, this, BlockObj::Kind::Paper, "*Paper_Space");
        blocks.push_back(model);
        blocks.push_back(paper);
        for (auto& x : spec.xrefs) {
            auto b = std::make_shared<BlockObj>(s_, this, BlockObj::Kind::XRef, x.name);
            b->xref = &x;
            blocks.push_back(b);
        }
        for (auto& n : spec.blocks) {
            blocks.push_back(std::make_shared<BlockObj>(s_, this, BlockObj::Kind::Plain, n));
        }
        plot = std::make_shared<PlotObj>(s_, this);
    }

    std::int32_t GetVariable(const std::string& name) override {
        Call("GetVariable(" + Quote(name) + ")");
        if (name == "SDI") {
            return spec.sdi;
        }
        if (name == "DBMOD") {
            return spec.dbmod;
        }
        if (name == "BACKGROUNDPLOT") {
            return spec.backgroundPlot;
        }
        throw CadError("Error getting system variable");
    }
    void SetVariable(const std::string& name, std::int32_t value) override {
        Call("SetVariable(" + Quote(name) + ", " + std::to_string(value) + ")");
        if (name == "SDI") {
            spec.sdi = value;
        } else if (name == "BACKGROUNDPLOT") {
            spec.backgroundPlot = value;
        } else {
            throw CadError("Error setting system variable");
        }
    }
    void Close(bool save) override {
        Call("Close(" + Bool(save) + ")");
        closed = true;
        s_->CloseDoc(this);
    }
    std::string Name() override { return Answer("Name", spec.name); }
    std::string Path() override { return Answer("Path", spec.folder); }
    void Regen(std::int32_t which) override { Call("Regen(" + std::to_string(which) + ")"); }
    void Activate() override {
        Call("Activate()");
        s_->active = shared_from_this();
    }
    Ref<AcadLayout> ActiveLayout() override {
        Call("ActiveLayout");
        return FindLayout(spec.activeLayout);
    }
    void SetActiveLayout(const Ref<AcadLayout>& layout) override {
        auto* l = dynamic_cast<LayoutObj*>(layout.get());
        Call("ActiveLayout = " + (l ? "Layout[" + l->spec.name + "]" : std::string("?")));
        if (!l || l->doc_ != this) {
            throw CadError("Invalid layout");
        }
        spec.activeLayout = l->spec.name;
    }
    Ref<AcadLayouts> Layouts() override;
    Ref<AcadBlock> ModelSpace() override { return Answer("ModelSpace", model); }
    Ref<AcadBlock> PaperSpace() override { return Answer("PaperSpace", paper); }
    Ref<AcadPlot> Plot() override { return Answer("Plot", plot); }
    Ref<AcadBlocks> Blocks() override;

    std::shared_ptr<LayoutObj> FindLayout(const std::string& name) {
        for (auto& l : layouts) {
            if (l->spec.name == name) {
                return l;
            }
        }
        throw CadError("Key not found");
    }
    // The layout a paper space block stands for: the active paper layout, else the first.
    std::shared_ptr<LayoutObj> PaperLayout() {
        if (spec.activeLayout != "Model") {
            return FindLayout(spec.activeLayout);
        }
        return layouts.size() > 1 ? layouts[1] : layouts[0];
    }

    StatePtr s_;
    DrawingSpec spec;
    bool closed = false;
    std::vector<std::shared_ptr<LayoutObj>> layouts;
    std::shared_ptr<BlockObj> model;
    std::shared_ptr<BlockObj> paper;
    std::vector<std::shared_ptr<BlockObj>> sheets;
    std::vector<std::shared_ptr<BlockObj>> blocks;
    std::shared_ptr<PlotObj> plot;

private:
    void Call(const std::string& member) {
        if (closed) {
            s_->Call("Document", spec.name, member);
            throw CadError("Object was closed");
        }
        auto pos = member.find_first_of(" (");
        s_->Call("Document", spec.name, member.substr(0, pos),
                 pos == std::string::npos ? "" : member.substr(pos));
    }
    template <class T>
    T Answer(const std::string& member, T value) {
        Call(member);
        return value;
    }
};

// Layouts and Blocks: a document's list, by position or by name.
template <class Base, class Interface, class T>
class CollectionObj : public Base {
public:
    using Items = std::vector<std::shared_ptr<T>> DocObj::*;
    CollectionObj(StatePtr s, std::shared_ptr<DocObj> doc, std::string kind, Items items)
        : s_(std::move(s)), doc_(std::move(doc)), kind_(std::move(kind)), items_(items) {}
    std::int32_t Count() override {
        s_->Call(kind_, doc_->spec.name, "Count");
        return static_cast<std::int32_t>(List().size());
    }
    Ref<Interface> Item(std::int32_t index) override {
        s_->Call(kind_, doc_->spec.name, "Item", "(" + std::to_string(index) + ")");
        if (index < 0 || index >= static_cast<std::int32_t>(List().size())) {
            throw CadError("Invalid index");
        }
        return List()[static_cast<std::size_t>(index)];
    }
    Ref<Interface> Item(const std::string& name) override {
        s_->Call(kind_, doc_->spec.name, "Item", "(" + Quote(name) + ")");
        for (auto& item : List()) {
            if (NameOf(*item) == name) {
                return item;
            }
        }
        throw CadError("Key not found");
    }

private:
    std::vector<std::shared_ptr<T>>& List() { return (*doc_).*items_; }
    static const std::string& NameOf(const LayoutObj& l) { return l.spec.name; }
    static const std::string& NameOf(const BlockObj& b) { return b.BlockName(); }
    StatePtr s_;
    std::shared_ptr<DocObj> doc_;
    std::string kind_;
    Items items_;
};

Ref<AcadLayouts> DocObj::Layouts() {
    Call("Layouts");
    return std::make_shared<CollectionObj<AcadLayouts, AcadLayout, LayoutObj>>(
        s_, shared_from_this(), "Layouts", &DocObj::layouts);
}

Ref<AcadBlocks> DocObj::Blocks() {
    Call("Blocks");
    return std::make_shared<CollectionObj<AcadBlocks, AcadBlock, BlockObj>>(
        s_, shared_from_this(), "Blocks", &DocObj::blocks);
}

Ref<AcadDatabase> BlockObj::XRefDatabase() {
    Call("XRefDatabase");
    if (kind_ != Kind::XRef) {
        throw CadError("Not an external reference");
    }
    return std::make_shared<DbObj>(s_, this, name_);
}

Ref<AcadLayout> BlockObj::Layout() {
    Call("Layout");
    if (!doc_ || (kind_ != Kind::Model && kind_ != Kind::Paper)) {
        throw CadError("Block is not a layout");
    }
    return kind_ == Kind::Model ? doc_->layouts[0] : doc_->PaperLayout();
}

Ref<AcadPlot> LayoutObj::Plot() {
    Call("Plot");
    return doc_->plot;
}

Ref<AcadBlock> LayoutObj::Block() {
    Call("Block");
    for (auto& sheet : doc_->sheets) {
        if (sheet->sheet == &spec) {
            return sheet;
        }
    }
    return doc_->model;
}

std::string PlotObj::Id() const {
    return doc_->spec.name;
}

void PlotObj::SetQuietErrorMode(bool q) {
    s_->Call("Plot", Id(), "QuietErrorMode", " = " + Bool(q));
    quiet = q;
}

void PlotObj::SetNumberOfCopies(std::int32_t n) {
    s_->Call("Plot", Id(), "NumberOfCopies", " = " + std::to_string(n));
    copies = n;
}

bool PlotObj::PlotToFile(const std::string& fileName, const std::string& configName) {
    s_->Call("Plot", Id(), "PlotToFile", "(" + Quote(fileName) + ", " + Quote(configName) + ")");
    Record(true, fileName, configName);
    return s_->plotToFileResult;
}

bool PlotObj::PlotToDevice() {
    s_->Call("Plot", Id(), "PlotToDevice()");
    Record(false, {}, {});
    return true;
}

void PlotObj::Record(bool toFile, const std::string& fileName, const std::string& config) {
    auto layout = doc_->FindLayout(doc_->spec.activeLayout);
    const LayoutSpec& l = layout->spec;
    s_->plots.push_back(PlotJob{doc_->spec.name, l.name, toFile, fileName,
                                toFile ? config : l.configName, l.canonicalMedia, l.styleSheet,
                                copies});
}

class DocsObj : public AcadDocuments {
public:
    explicit DocsObj(StatePtr s) : s_(std::move(s)) {}
    std::int32_t Count() override {
        s_->Call("Documents", "", "Count");
        return static_cast<std::int32_t>(s_->docs.size());
    }
    Ref<AcadDocument> Item(std::int32_t index) override {
        s_->Call("Documents", "", "Item", "(" + std::to_string(index) + ")");
        if (index < 0 || index >= static_cast<std::int32_t>(s_->docs.size())) {
            throw CadError("Invalid index");
        }
        return s_->docs[static_cast<std::size_t>(index)];
    }
    Ref<AcadDocument> Add() override {
        s_->Call("Documents", "", "Add()");
        DrawingSpec spec;
        spec.name = "Drawing" + std::to_string(++s_->untitled) + ".dwg";
        spec.path = spec.name;
        return s_->OpenDoc(spec);
    }
    Ref<AcadDocument> Open(const std::string& path, bool readOnly) override {
        s_->Call("Documents", "", "Open", "(" + Quote(path) + ", " + Bool(readOnly) + ")");
        auto it = s_->files.find(path);
        DrawingSpec spec;
        if (it != s_->files.end()) {
            spec = it->second;
        } else if (std::filesystem::is_regular_file(NativePath(path))) {
            spec.path = path;
            SplitPath(path, spec.folder, spec.name);
        } else {
            throw CadError("File not found: " + path);
        }
        if (spec.openError) {
            throw CadError(*spec.openError);
        }
        return s_->OpenDoc(spec);
    }

private:
    StatePtr s_;
};

class AppObj : public AcadApplication, public std::enable_shared_from_this<AppObj> {
public:
    explicit AppObj(StatePtr s) : s_(std::move(s)) {}
    void SetVisible(bool v) override { s_->Call("Application", "", "Visible", " = " + Bool(v)); }
    Ref<AcadApplication> Application() override {
        s_->Call("Application", "", "Application");
        return shared_from_this();
    }
    Ref<AcadDocument> ActiveDocument() override {
        s_->Call("Application", "", "ActiveDocument");
        if (!s_->active) {
            throw CadError("No active document");
        }
        return s_->active;
    }
    Ref<AcadDocuments> Documents() override {
        s_->Call("Application", "", "Documents");
        return std::make_shared<DocsObj>(s_);
    }
    void ZoomExtents() override { s_->Call("Application", "", "ZoomExtents()"); }
    void Quit() override {
        s_->Call("Application", "", "Quit()");
        s_->running = false;
        s_->docs.clear();
        s_->active.reset();
    }

private:
    StatePtr s_;
};

class FakeClass : public AutomationClass {
public:
    explicit FakeClass(StatePtr s) : s_(std::move(s)) {}
    Ref<AcadApplication> GetActiveObject() override {
        s_->calls.push_back("GetObject(AutoCAD.Application)");
        if (!s_->running) {
            throw CadError("ActiveX component can't create object");
        }
        return s_->app;
    }
    Ref<AcadApplication> CreateObject() override {
        s_->calls.push_back("CreateObject(AutoCAD.Application)");
        if (s_->createFails) {
            throw CadError("ActiveX component can't create object");
        }
        s_->running = true;
        ++s_->starts;
        return s_->app;
    }

private:
    StatePtr s_;
};

}  // namespace

std::shared_ptr<DocObj> FakeCad::State::OpenDoc(const DrawingSpec& spec) {
    auto doc = std::make_shared<DocObj>(shared_from_this(), spec);
    doc->Build();
    docs.push_back(doc);
    active = doc;
    return doc;
}

void FakeCad::State::CloseDoc(const DocObj* doc) {
    auto it = std::find_if(docs.begin(), docs.end(), [&](auto& d) { return d.get() == doc; });
    if (it == docs.end()) {
        return;
    }
    docs.erase(it);
    if (active.get() == doc) {
        active = docs.empty() ? nullptr : docs.back();
    }
}

// --- FakeCad ---

FakeCad::FakeCad() : state_(std::make_shared<State>()) {
    state_->app = std::make_shared<AppObj>(state_);
}

FakeCad::~FakeCad() {
    if (registry_) {
        registry_->Unregister(kCadClassName);
    }
    // Break the cycles between the state and its objects.
    state_->docs.clear();
    state_->active.reset();
    state_->app.reset();
}

FakeCad& FakeCad::Running(bool running) {
    state_->running = running;
    return *this;
}

FakeCad& FakeCad::CreateFails(bool fails) {
    state_->createFails = fails;
    return *this;
}

FakeCad& FakeCad::Devices(const Strings& names) {
    state_->devices = names;
    return *this;
}

FakeCad& FakeCad::Media(const Strings& names) {
    state_->defaultMedia = names;
    return *this;
}

FakeCad& FakeCad::Media(const std::string& device, const Strings& names) {
    state_->media[device] = names;
    return *this;
}

FakeCad& FakeCad::Styles(const Strings& names) {
    state_->styles = names;
    return *this;
}

FakeCad& FakeCad::PlotToFileResult(bool result) {
    state_->plotToFileResult = result;
    return *this;
}

DrawingSpec& FakeCad::Drawing(const std::string& path) {
    auto& spec = state_->files[path];
    spec.path = path;
    SplitPath(path, spec.folder, spec.name);
    return spec;
}

DrawingSpec& FakeCad::OpenNow(const std::string& path) {
    DrawingSpec spec;
    spec.path = path;
    SplitPath(path, spec.folder, spec.name);
    auto doc = state_->OpenDoc(spec);
    return doc->spec;
}

FakeCad& FakeCad::FailOn(const std::string& call, const std::string& description, int times,
                         int after) {
    state_->rules.push_back(Rule{call, description, times, after});
    return *this;
}

void FakeCad::RegisterIn(cad::ClassRegistry& registry) {
    registry.Register(kCadClassName, std::make_shared<FakeClass>(state_));
    registry_ = &registry;
}

void FakeCad::Mark(const std::string& text) {
    state_->calls.push_back(text);
}

const std::vector<std::string>& FakeCad::Calls() const {
    return state_->calls;
}

std::vector<std::string> FakeCad::CallsWith(const std::string& part) const {
    std::vector<std::string> out;
    for (const auto& c : state_->calls) {
        if (c.find(part) != std::string::npos) {
            out.push_back(c);
        }
    }
    return out;
}

void FakeCad::ClearCalls() {
    state_->calls.clear();
}

const std::vector<PlotJob>& FakeCad::Plots() const {
    return state_->plots;
}

Strings FakeCad::Plotted(std::string PlotJob::*field) const {
    Strings out;
    for (const auto& job : state_->plots) {
        out.push_back(job.*field);
    }
    return out;
}

bool FakeCad::IsRunning() const {
    return state_->running;
}

int FakeCad::StartCount() const {
    return state_->starts;
}

Strings FakeCad::OpenDrawings() const {
    Strings names;
    for (auto& d : state_->docs) {
        names.push_back(d->spec.name);
    }
    return names;
}

std::string FakeCad::ActiveDrawing() const {
    return state_->active ? state_->active->spec.name : std::string();
}

const DrawingSpec* FakeCad::Open(const std::string& name) const {
    for (auto& d : state_->docs) {
        if (d->spec.name == name) {
            return &d->spec;
        }
    }
    return nullptr;
}

Ref<cad::AcadApplication> FakeCad::App() {
    return state_->app;
}

}  // namespace vx::fake
