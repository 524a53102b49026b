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

std::string Int(std::int32_t v) {
    return std::to_string(v);
}

std::string NativePath(std::string path) {
#ifndef _WIN32
    std::replace(path.begin(), path.end(), '\\', '/');
#endif
    return path;
}

DrawingSpec SpecOf(const std::string& path) {
    DrawingSpec spec;
    spec.path = path;
    const auto pos = path.find_last_of("/\\");
    spec.folder = pos == std::string::npos ? "" : path.substr(0, pos);
    spec.name = pos == std::string::npos ? path : path.substr(pos + 1);
    return spec;
}

struct Rule {
    std::string call, description;
    int times, after;
};

class AppObj;
class DocObj;

}  // namespace

struct FakeCad::State : std::enable_shared_from_this<FakeCad::State> {
    bool running = true, createFails = false, plotToFileResult = true;
    int starts = 0, untitled = 0;
    Strings devices{"None"}, styles, defaultMedia;
    std::map<std::string, Strings> media;
    std::map<std::string, DrawingSpec> files;
    std::vector<std::shared_ptr<DocObj>> docs;
    std::shared_ptr<DocObj> active;
    std::vector<Rule> rules;
    std::vector<std::string> calls;
    std::vector<PlotJob> plots;
    std::optional<cad::PlotOutcome> lastOutcome;
    std::function<void(const PlotJob&, cad::PlotOutcome&)> outcomes;
    std::shared_ptr<AppObj> app;

    // Records "Kind[id].Member rest" and throws when a failure rule matches Kind.Member.
    void Call(const std::string& kind, const std::string& id, const std::string& text) {
        calls.push_back(kind + (id.empty() ? "" : "[" + id + "]") + "." + text);
        const std::string member = text.substr(0, text.find_first_of(" ("));
        for (auto& r : rules) {
            if (r.times == 0 ||
                (r.call != kind + "." + member && r.call != kind + "[" + id + "]." + member)) {
                continue;
            }
            if (r.after > 0) {
                --r.after;
                continue;
            }
            r.times -= r.times > 0 ? 1 : 0;
            throw CadError(r.description);
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

// What every object of the double shares: its place in the log.
struct Obj {
    StatePtr s;
    std::string kind, id;
    void Call(const std::string& text) { s->Call(kind, id, text); }
    template <class T>
    T Ret(const std::string& text, T value) {
        Call(text);
        return value;
    }
};

#define FAKE_PUT(Member, Type, Show)    \
    void Set##Member(Type v) override { \
        Call(#Member " = " + Show(v));  \
    }

class PlotObj : public AcadPlot, Obj {
public:
    PlotObj(StatePtr s, DocObj* doc, const std::string& name)
        : Obj{std::move(s), "Plot", name}, doc_(doc) {}
    void SetQuietErrorMode(bool q) override { Call("QuietErrorMode = " + Bool(q)); }
    void SetNumberOfCopies(std::int32_t n) override {
        Call("NumberOfCopies = " + Int(n));
        copies_ = n;
    }
    bool PlotToFile(const std::string& fileName, const std::string& configName) override {
        s->lastOutcome.reset();
        Call("PlotToFile(" + Quote(fileName) + ", " + Quote(configName) + ")");
        return Record(true, fileName, configName, s->plotToFileResult);
    }
    bool PlotToDevice() override {
        s->lastOutcome.reset();
        Call("PlotToDevice()");
        return Record(false, {}, {}, true);
    }
    // Not a call of the CAD application's: not logged.
    std::optional<cad::PlotOutcome> LastOutcome() override { return s->lastOutcome; }

private:
    bool Record(bool toFile, const std::string& fileName, const std::string& config, bool ok);
    DocObj* doc_;
    std::int32_t copies_ = 1;
};

class LayoutObj : public AcadLayout, Obj {
public:
    LayoutObj(StatePtr s, DocObj* doc, LayoutSpec l)
        : Obj{std::move(s), "Layout", l.name}, doc(doc), spec(std::move(l)) {}
    std::string Name() override { return Ret("Name", spec.name); }
    void RefreshPlotDeviceInfo() override { Call("RefreshPlotDeviceInfo()"); }
    Strings GetPlotDeviceNames() override { return Ret("GetPlotDeviceNames()", s->devices); }
    Strings GetCanonicalMediaNames() override {
        return Ret("GetCanonicalMediaNames()", s->MediaOf(spec.configName));
    }
    Strings GetPlotStyleTableNames() override { return Ret("GetPlotStyleTableNames()", s->styles); }
    std::string GetLocaleMediaName(const std::string& name) override {
        std::string local = Ret("GetLocaleMediaName(" + Quote(name) + ")", name);
        std::replace(local.begin(), local.end(), '_', ' ');
        return local;
    }
    void SetConfigName(const std::string& v) override { Put("ConfigName", spec.configName, v); }
    void SetCanonicalMediaName(const std::string& v) override {
        Put("CanonicalMediaName", spec.canonicalMedia, v);
    }
    std::string StyleSheet() override { return Ret("StyleSheet", spec.styleSheet); }
    void SetStyleSheet(const std::string& v) override { Put("StyleSheet", spec.styleSheet, v); }
    FAKE_PUT(PlotWithPlotStyles, bool, Bool)
    FAKE_PUT(PlotType, std::int32_t, Int)
    FAKE_PUT(StandardScale, std::int32_t, Int)
    FAKE_PUT(UseStandardScale, bool, Bool)
    FAKE_PUT(PlotRotation, std::int32_t, Int)
    FAKE_PUT(CenterPlot, bool, Bool)
    void ZoomExtents() override { Call("ZoomExtents()"); }
    Ref<AcadPlot> Plot() override;
    Ref<AcadBlock> Block() override;

    DocObj* doc;
    LayoutSpec spec;

private:
    void Put(const std::string& member, std::string& field, const std::string& value) {
        Call(member + " = " + Quote(value));
        field = value;
    }
};

class EntityObj : public AcadEntity, Obj {
public:
    EntityObj(StatePtr s, const std::string& id, std::string objectName)
        : Obj{std::move(s), "Entity", id}, objectName_(std::move(objectName)) {}
    std::string ObjectName() override { return Ret("ObjectName", objectName_); }

private:
    std::string objectName_;
};

class BlockObj : public AcadBlock, Obj {
public:
    // Sheet: the block of one paper-space layout, reached through the layout.
    enum class Kind { Model, Paper, Sheet, XRef, Plain };
    BlockObj(StatePtr s, DocObj* doc, Kind kind, const std::string& name, XRefSpec* xref = nullptr)
        : Obj{std::move(s), "Block", name}, doc_(doc), kind_(kind), xref_(xref) {}
    std::string Name() override { return Ret("Name", id); }
    bool IsXRef() override { return Ret("IsXRef", kind_ == Kind::XRef); }
    Ref<AcadDatabase> XRefDatabase() override;
    std::string Path() override { return Ret("Path", xref_ ? xref_->path : std::string()); }
    void SetPath(const std::string& path) override {
        Call("Path = " + Quote(path));
        if (!xref_) {
            throw CadError("Not an external reference");
        }
        xref_->path = path;
    }
    void Reload() override {
        Call("Reload()");
        if (xref_) {
            xref_->loaded = std::filesystem::exists(NativePath(xref_->path));
        }
    }
    std::int32_t Count() override {
        return Ret("Count", static_cast<std::int32_t>(Entities().size()));
    }
    Ref<AcadEntity> Item(std::int32_t index) override {
        Call("Item(" + std::to_string(index) + ")");
        const Strings entities = Entities();
        if (index < 0 || static_cast<std::size_t>(index) >= entities.size()) {
            throw CadError("Invalid index");
        }
        return std::make_shared<EntityObj>(s, id + ":" + std::to_string(index),
                                           entities[static_cast<std::size_t>(index)]);
    }
    Ref<AcadLayout> Layout() override;
    const std::string& BlockName() const { return id; }
    const LayoutSpec* sheet = nullptr;  // the layout whose entities a Model or Sheet holds

private:
    Strings Entities() const {
        if (kind_ == Kind::XRef) {
            return {"AcDbLine"};
        }
        return sheet ? sheet->entities : Strings{};
    }
    DocObj* doc_;
    Kind kind_;
    XRefSpec* xref_;
};

// An external reference's database: it has a model space only while the reference is loaded.
class DbObj : public AcadDatabase, Obj {
public:
    DbObj(StatePtr s, const std::string& name, XRefSpec* xref)
        : Obj{std::move(s), "XRefDatabase", name}, xref_(xref) {}
    Ref<AcadBlock> ModelSpace() override {
        Call("ModelSpace");
        if (!xref_->loaded) {
            throw CadError(xref_->probeError);
        }
        return std::make_shared<BlockObj>(s, nullptr, BlockObj::Kind::Model, id + "|*Model_Space");
    }

private:
    XRefSpec* xref_;
};

class DocObj : public AcadDocument, Obj, public std::enable_shared_from_this<DocObj> {
public:
    DocObj(StatePtr state, DrawingSpec drawing)
        : Obj{std::move(state), "Document", drawing.name}, spec(std::move(drawing)) {
        for (auto& l : spec.layouts) {
            layouts.push_back(std::make_shared<LayoutObj>(s, this, l));
        }
        model = std::make_shared<BlockObj>(s, this, BlockObj::Kind::Model, "*Model_Space");
        model->sheet = &layouts[0]->spec;
        // Paper-space layouts hold their entities in *Paper_Space0, *Paper_Space1, ...
        for (std::size_t i = 1; i < layouts.size(); ++i) {
            sheets.push_back(std::make_shared<BlockObj>(s, this, BlockObj::Kind::Sheet,
                                                        "*Paper_Space" + std::to_string(i - 1)));
            sheets.back()->sheet = &layouts[i]->spec;
        }
        paper = std::make_shared<BlockObj>(s, this, BlockObj::Kind::Paper, "*Paper_Space");
        blocks = {model, paper};
        for (auto& x : spec.xrefs) {
            blocks.push_back(std::make_shared<BlockObj>(s, this, BlockObj::Kind::XRef, x.name, &x));
        }
        for (auto& n : spec.blocks) {
            blocks.push_back(std::make_shared<BlockObj>(s, this, BlockObj::Kind::Plain, n));
        }
        plot = std::make_shared<PlotObj>(s, this, spec.name);
    }

    std::int32_t GetVariable(const std::string& name) override {
        Do("GetVariable(" + Quote(name) + ")");
        if (auto* v = Variable(name, true)) {
            return *v;
        }
        throw CadError("Error getting system variable");
    }
    void SetVariable(const std::string& name, std::int32_t value) override {
        Do("SetVariable(" + Quote(name) + ", " + Int(value) + ")");
        auto* v = Variable(name, false);
        if (!v) {
            throw CadError("Error setting system variable");
        }
        *v = value;
    }
    void Close(bool save) override {
        Do("Close(" + Bool(save) + ")");
        closed = true;
        s->CloseDoc(this);
    }
    std::string Name() override { return Answer("Name", spec.name); }
    std::string Path() override { return Answer("Path", spec.folder); }
    void Regen(std::int32_t which) override { Do("Regen(" + Int(which) + ")"); }
    void Activate() override {
        Do("Activate()");
        s->active = shared_from_this();
    }
    Ref<AcadLayout> ActiveLayout() override {
        Do("ActiveLayout");
        return FindLayout(spec.activeLayout);
    }
    void SetActiveLayout(const Ref<AcadLayout>& layout) override {
        auto* l = dynamic_cast<LayoutObj*>(layout.get());
        Do("ActiveLayout = " + (l ? "Layout[" + l->spec.name + "]" : std::string("?")));
        if (!l || l->doc != this) {
            throw CadError("Invalid layout");
        }
        spec.activeLayout = l->spec.name;
    }
    Ref<AcadLayouts> Layouts() override;
    Ref<AcadBlock> ModelSpace() override { return Answer("ModelSpace", model); }
    Ref<AcadBlock> PaperSpace() override { return Answer("PaperSpace", paper); }
    Ref<AcadPlot> Plot() override { return Answer("Plot", plot); }
    Ref<AcadBlocks> Blocks() override;
    Strings ReadWarnings() override { return spec.readWarnings; }

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

    DrawingSpec spec;
    bool closed = false;
    std::vector<std::shared_ptr<LayoutObj>> layouts;
    std::shared_ptr<BlockObj> model, paper;
    std::vector<std::shared_ptr<BlockObj>> sheets;
    std::vector<std::shared_ptr<BlockObj>> blocks;
    std::shared_ptr<PlotObj> plot;

private:
    std::int32_t* Variable(const std::string& name, bool reading) {
        if (name == "SDI") {
            return &spec.sdi;
        }
        if (name == "BACKGROUNDPLOT") {
            return &spec.backgroundPlot;
        }
        return name == "DBMOD" && reading ? &spec.dbmod : nullptr;
    }
    void Do(const std::string& text) {
        Call(text);
        if (closed) {
            throw CadError("Object was closed");
        }
    }
    template <class T>
    T Answer(const std::string& text, T value) {
        Do(text);
        return value;
    }
};

// Layouts and Blocks: a document's list, by position or by name.
template <class Base, class Interface, class T>
class CollectionObj : public Base, Obj {
public:
    using Items = std::vector<std::shared_ptr<T>> DocObj::*;
    CollectionObj(std::shared_ptr<DocObj> doc, StatePtr s, const char* kind, Items items)
        : Obj{std::move(s), kind, doc->spec.name}, doc_(std::move(doc)), items_(items) {}
    std::int32_t Count() override { return Ret("Count", static_cast<std::int32_t>(List().size())); }
    Ref<Interface> Item(std::int32_t index) override {
        Call("Item(" + Int(index) + ")");
        if (index < 0 || index >= static_cast<std::int32_t>(List().size())) {
            throw CadError("Invalid index");
        }
        return List()[static_cast<std::size_t>(index)];
    }
    Ref<Interface> Item(const std::string& name) override {
        Call("Item(" + Quote(name) + ")");
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
    std::shared_ptr<DocObj> doc_;
    Items items_;
};

Ref<AcadLayouts> DocObj::Layouts() {
    Do("Layouts");
    return std::make_shared<CollectionObj<AcadLayouts, AcadLayout, LayoutObj>>(
        shared_from_this(), s, "Layouts", &DocObj::layouts);
}

Ref<AcadBlocks> DocObj::Blocks() {
    Do("Blocks");
    return std::make_shared<CollectionObj<AcadBlocks, AcadBlock, BlockObj>>(
        shared_from_this(), s, "Blocks", &DocObj::blocks);
}

Ref<AcadDatabase> BlockObj::XRefDatabase() {
    Call("XRefDatabase");
    if (kind_ != Kind::XRef) {
        throw CadError("Not an external reference");
    }
    return std::make_shared<DbObj>(s, id, xref_);
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
    return doc->plot;
}

Ref<AcadBlock> LayoutObj::Block() {
    Call("Block");
    for (auto& sheet : doc->sheets) {
        if (sheet->sheet == &spec) {
            return sheet;
        }
    }
    return doc->model;
}

bool PlotObj::Record(bool toFile, const std::string& fileName, const std::string& config, bool ok) {
    const LayoutSpec& l = doc_->FindLayout(doc_->spec.activeLayout)->spec;
    s->plots.push_back(PlotJob{doc_->spec.name, l.name, toFile, fileName,
                               toFile ? config : l.configName, l.canonicalMedia, l.styleSheet,
                               copies_});
    const PlotJob& job = s->plots.back();
    cad::PlotOutcome o;
    o.layout = job.layout;
    o.device = job.config;
    o.paper = job.media;
    o.styleTable = job.styleSheet;
    o.ok = ok;
    o.outputFile = toFile && ok ? fileName : std::string();
    if (s->outcomes) {
        s->outcomes(job, o);
    }
    s->lastOutcome = o;
    if (!toFile && !o.ok) {
        throw CadError(o.error);
    }
    return o.ok;
}

class DocsObj : public AcadDocuments, Obj {
public:
    explicit DocsObj(StatePtr s) : Obj{std::move(s), "Documents", ""} {}
    std::int32_t Count() override {
        return Ret("Count", static_cast<std::int32_t>(s->docs.size()));
    }
    Ref<AcadDocument> Item(std::int32_t index) override {
        Call("Item(" + Int(index) + ")");
        if (index < 0 || index >= static_cast<std::int32_t>(s->docs.size())) {
            throw CadError("Invalid index");
        }
        return s->docs[static_cast<std::size_t>(index)];
    }
    Ref<AcadDocument> Add() override {
        Call("Add()");
        return s->OpenDoc(SpecOf("Drawing" + Int(++s->untitled) + ".dwg"));
    }
    Ref<AcadDocument> Open(const std::string& path, bool readOnly) override {
        Call("Open(" + Quote(path) + ", " + Bool(readOnly) + ")");
        auto it = s->files.find(path);
        if (it == s->files.end() && !std::filesystem::is_regular_file(NativePath(path))) {
            throw CadError("File not found: " + path);
        }
        const DrawingSpec spec = it != s->files.end() ? it->second : SpecOf(path);
        if (spec.openError) {
            throw CadError(*spec.openError);
        }
        return s->OpenDoc(spec);
    }
};

class AppObj : public AcadApplication, Obj, public std::enable_shared_from_this<AppObj> {
public:
    explicit AppObj(StatePtr s) : Obj{std::move(s), "Application", ""} {}
    FAKE_PUT(Visible, bool, Bool)
    Ref<AcadApplication> Application() override { return Ret("Application", shared_from_this()); }
    Ref<AcadDocument> ActiveDocument() override {
        Call("ActiveDocument");
        if (!s->active) {
            throw CadError("No active document");
        }
        return s->active;
    }
    Ref<AcadDocuments> Documents() override {
        return Ret<Ref<AcadDocuments>>("Documents", std::make_shared<DocsObj>(s));
    }
    void ZoomExtents() override { Call("ZoomExtents()"); }
    void Quit() override {
        Call("Quit()");
        s->running = false;
        s->docs.clear();
        s->active.reset();
    }
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
    docs.push_back(std::make_shared<DocObj>(shared_from_this(), spec));
    return active = docs.back();
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

#define FAKE_SCRIPT(Setter, Type, field)   \
    FakeCad& FakeCad::Setter(Type value) { \
        state_->field = value;             \
        return *this;                      \
    }
FAKE_SCRIPT(Running, bool, running)
FAKE_SCRIPT(CreateFails, bool, createFails)
FAKE_SCRIPT(Devices, const Strings&, devices)
FAKE_SCRIPT(Media, const Strings&, defaultMedia)
FAKE_SCRIPT(Styles, const Strings&, styles)
FAKE_SCRIPT(PlotToFileResult, bool, plotToFileResult)

FakeCad& FakeCad::Outcomes(std::function<void(const PlotJob&, cad::PlotOutcome&)> script) {
    state_->outcomes = std::move(script);
    return *this;
}

FakeCad& FakeCad::Media(const std::string& device, const Strings& names) {
    state_->media[device] = names;
    return *this;
}

// A path scripted again keeps its script.
DrawingSpec& FakeCad::Drawing(const std::string& path) {
    return state_->files.try_emplace(path, SpecOf(path)).first->second;
}

DrawingSpec& FakeCad::OpenNow(const std::string& path) {
    return state_->OpenDoc(SpecOf(path))->spec;
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
    std::copy_if(state_->calls.begin(), state_->calls.end(), std::back_inserter(out),
                 [&](const std::string& c) { return c.find(part) != std::string::npos; });
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
