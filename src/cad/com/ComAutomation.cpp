#include "cad/com/ComAutomation.h"

#include <limits>
#include <utility>

namespace vx::cad::com {

namespace {

// Common to every object: the dispatch object and the reading of object results.
class ComBase : public ComObject {
public:
    explicit ComBase(Dispatch d) : d_(std::move(d)) {}
    IDispatch* DispatchOf() const override { return d_.Object(); }

protected:
    std::string What(const std::string& member) const { return d_.Kind() + "." + member; }

    template <class Impl>
    std::shared_ptr<Impl> Object(const Variant& v, const std::string& member) const {
        return std::make_shared<Impl>(d_.Child(ObjectOf(*v.Get(), What(member)), Impl::kKind));
    }
    template <class Impl>
    std::shared_ptr<Impl> PropertyObject(const std::string& member) {
        return Object<Impl>(d_.Get(member), member);
    }
    std::string GetText(const std::string& member) {
        return TextOf(*d_.Get(member).Get(), What(member));
    }
    bool GetBool(const std::string& member) { return BoolOf(*d_.Get(member).Get(), What(member)); }
    std::int32_t GetInt(const std::string& member) {
        return Int32Of(*d_.Get(member).Get(), What(member));
    }

    Dispatch d_;
};

class ComApplication;
class ComDocuments;
class ComDocument;
class ComLayouts;
class ComLayout;
class ComPlot;
class ComBlocks;
class ComBlock;
class ComEntity;
class ComDatabase;

class ComPlot final : public AcadPlot, public ComBase {
public:
    static constexpr char kKind[] = "Plot";
    using ComBase::ComBase;

    void SetQuietErrorMode(bool quiet) override {
        d_.Put("QuietErrorMode", Variant::Boolean(quiet));
    }
    void SetNumberOfCopies(std::int32_t copies) override {
        d_.Put("NumberOfCopies", Variant::Int32(copies));
    }
    bool PlotToFile(const std::string& fileName, const std::string& configName) override {
        std::vector<Variant> args;
        args.push_back(Variant::Text(fileName));
        args.push_back(Variant::Text(configName));
        return BoolOf(*d_.Call("PlotToFile", std::move(args)).Get(), What("PlotToFile"));
    }
    bool PlotToDevice() override {
        return BoolOf(*d_.Call("PlotToDevice").Get(), What("PlotToDevice"));
    }
    // AutoCAD's automation gives no account of a plot beyond the calls' results.
    std::optional<PlotOutcome> LastOutcome() override { return std::nullopt; }
};

class ComLayout final : public AcadLayout, public ComBase {
public:
    static constexpr char kKind[] = "Layout";
    using ComBase::ComBase;

    std::string Name() override { return GetText("Name"); }
    void RefreshPlotDeviceInfo() override { d_.Call("RefreshPlotDeviceInfo"); }
    Strings GetPlotDeviceNames() override { return Texts("GetPlotDeviceNames"); }
    Strings GetCanonicalMediaNames() override { return Texts("GetCanonicalMediaNames"); }
    Strings GetPlotStyleTableNames() override { return Texts("GetPlotStyleTableNames"); }
    std::string GetLocaleMediaName(const std::string& canonicalName) override {
        std::vector<Variant> args;
        args.push_back(Variant::Text(canonicalName));
        return TextOf(*d_.Call("GetLocaleMediaName", std::move(args)).Get(),
                      What("GetLocaleMediaName"));
    }
    void SetConfigName(const std::string& device) override {
        d_.Put("ConfigName", Variant::Text(device));
    }
    void SetCanonicalMediaName(const std::string& name) override {
        d_.Put("CanonicalMediaName", Variant::Text(name));
    }
    void SetPlotWithPlotStyles(bool value) override {
        d_.Put("PlotWithPlotStyles", Variant::Boolean(value));
    }
    std::string StyleSheet() override { return GetText("StyleSheet"); }
    void SetStyleSheet(const std::string& name) override {
        d_.Put("StyleSheet", Variant::Text(name));
    }
    void SetPlotType(std::int32_t type) override { d_.Put("PlotType", Variant::Int32(type)); }
    void SetStandardScale(std::int32_t scale) override {
        d_.Put("StandardScale", Variant::Int32(scale));
    }
    void SetUseStandardScale(bool value) override {
        d_.Put("UseStandardScale", Variant::Boolean(value));
    }
    void SetPlotRotation(std::int32_t rotation) override {
        d_.Put("PlotRotation", Variant::Int32(rotation));
    }
    void SetCenterPlot(bool value) override { d_.Put("CenterPlot", Variant::Boolean(value)); }
    // AutoCAD's layout has neither member: the call fails with the reason, as intended.
    void ZoomExtents() override { d_.Call("ZoomExtents"); }
    Ref<AcadPlot> Plot() override { return PropertyObject<ComPlot>("Plot"); }
    Ref<AcadBlock> Block() override;

private:
    Strings Texts(const std::string& method) {
        return TextsOf(*d_.Call(method).Get(), What(method));
    }
};

class ComBlock final : public AcadBlock, public ComBase {
public:
    static constexpr char kKind[] = "Block";
    using ComBase::ComBase;

    std::string Name() override { return GetText("Name"); }
    bool IsXRef() override { return GetBool("IsXRef"); }
    Ref<AcadDatabase> XRefDatabase() override;
    std::string Path() override { return GetText("Path"); }
    void SetPath(const std::string& path) override { d_.Put("Path", Variant::Text(path)); }
    void Reload() override { d_.Call("Reload"); }
    std::int32_t Count() override { return GetInt("Count"); }
    Ref<AcadLayout> Layout() override { return PropertyObject<ComLayout>("Layout"); }
    Ref<AcadEntity> Item(std::int32_t index) override;
};

class ComEntity final : public AcadEntity, public ComBase {
public:
    static constexpr char kKind[] = "Entity";
    using ComBase::ComBase;

    std::string ObjectName() override { return GetText("ObjectName"); }
};

Ref<AcadBlock> ComLayout::Block() {
    return PropertyObject<ComBlock>("Block");
}

Ref<AcadEntity> ComBlock::Item(std::int32_t index) {
    std::vector<Variant> args;
    args.push_back(Variant::Int32(index));
    return Object<ComEntity>(d_.Call("Item", std::move(args)), "Item");
}

class ComDatabase final : public AcadDatabase, public ComBase {
public:
    static constexpr char kKind[] = "Database";
    using ComBase::ComBase;

    Ref<AcadBlock> ModelSpace() override { return PropertyObject<ComBlock>("ModelSpace"); }
};

Ref<AcadDatabase> ComBlock::XRefDatabase() {
    return PropertyObject<ComDatabase>("XRefDatabase");
}

// The collections: Count and Item by position (from 0) or by name.
template <class Item>
class ComCollection : public ComBase {
public:
    using ComBase::ComBase;

protected:
    std::int32_t CountOf() { return GetInt("Count"); }
    std::shared_ptr<Item> ItemAt(std::int32_t index) { return ItemBy(Variant::Int32(index)); }
    std::shared_ptr<Item> ItemNamed(const std::string& name) { return ItemBy(Variant::Text(name)); }

private:
    std::shared_ptr<Item> ItemBy(Variant key) {
        std::vector<Variant> args;
        args.push_back(std::move(key));
        return Object<Item>(d_.Call("Item", std::move(args)), "Item");
    }
};

class ComLayouts final : public AcadLayouts, public ComCollection<ComLayout> {
public:
    static constexpr char kKind[] = "Layouts";
    using ComCollection::ComCollection;

    std::int32_t Count() override { return CountOf(); }
    Ref<AcadLayout> Item(std::int32_t index) override { return ItemAt(index); }
    Ref<AcadLayout> Item(const std::string& name) override { return ItemNamed(name); }
};

class ComBlocks final : public AcadBlocks, public ComCollection<ComBlock> {
public:
    static constexpr char kKind[] = "Blocks";
    using ComCollection::ComCollection;

    std::int32_t Count() override { return CountOf(); }
    Ref<AcadBlock> Item(std::int32_t index) override { return ItemAt(index); }
    Ref<AcadBlock> Item(const std::string& name) override { return ItemNamed(name); }
};

class ComDocument final : public AcadDocument, public ComBase {
public:
    static constexpr char kKind[] = "Document";
    using ComBase::ComBase;

    std::int32_t GetVariable(const std::string& name) override {
        std::vector<Variant> args;
        args.push_back(Variant::Text(name));
        return Int32Of(*d_.Call("GetVariable", std::move(args)).Get(), "System variable " + name);
    }
    void SetVariable(const std::string& name, std::int32_t value) override {
        std::vector<Variant> args;
        args.push_back(Variant::Text(name));
        // AutoCAD's integer system variables are 16-bit and it refuses a value of another
        // type: a short whenever the value fits in one.
        if (value >= std::numeric_limits<std::int16_t>::min() &&
            value <= std::numeric_limits<std::int16_t>::max()) {
            args.push_back(Variant::Int16(static_cast<std::int16_t>(value)));
        } else {
            args.push_back(Variant::Int32(value));
        }
        d_.Call("SetVariable", std::move(args));
    }
    void Close(bool saveChanges) override {
        std::vector<Variant> args;
        args.push_back(Variant::Boolean(saveChanges));
        d_.Call("Close", std::move(args));
    }
    std::string Name() override { return GetText("Name"); }
    std::string Path() override { return GetText("Path"); }
    void Regen(std::int32_t which) override {
        std::vector<Variant> args;
        args.push_back(Variant::Int32(which));
        d_.Call("Regen", std::move(args));
    }
    void Activate() override { d_.Call("Activate"); }
    Ref<AcadLayout> ActiveLayout() override { return PropertyObject<ComLayout>("ActiveLayout"); }
    void SetActiveLayout(const Ref<AcadLayout>& layout) override {
        const auto* object = dynamic_cast<const ComObject*>(layout.get());
        if (!object) {
            throw CadError(What("ActiveLayout") +
                           ": the layout is not an object of this "
                           "CAD application");
        }
        d_.PutRef("ActiveLayout", Variant::Object(object->DispatchOf()));
    }
    Ref<AcadLayouts> Layouts() override { return PropertyObject<ComLayouts>("Layouts"); }
    Ref<AcadBlock> ModelSpace() override { return PropertyObject<ComBlock>("ModelSpace"); }
    Ref<AcadBlock> PaperSpace() override { return PropertyObject<ComBlock>("PaperSpace"); }
    Ref<AcadPlot> Plot() override { return PropertyObject<ComPlot>("Plot"); }
    Ref<AcadBlocks> Blocks() override { return PropertyObject<ComBlocks>("Blocks"); }
    // AutoCAD does not tell what it repaired while reading a drawing.
    Strings ReadWarnings() override { return {}; }
};

class ComDocuments final : public AcadDocuments, public ComCollection<ComDocument> {
public:
    static constexpr char kKind[] = "Documents";
    using ComCollection::ComCollection;

    std::int32_t Count() override { return CountOf(); }
    Ref<AcadDocument> Item(std::int32_t index) override { return ItemAt(index); }
    Ref<AcadDocument> Add() override { return Object<ComDocument>(d_.Call("Add"), "Add"); }
    Ref<AcadDocument> Open(const std::string& path, bool readOnly) override {
        std::vector<Variant> args;
        args.push_back(Variant::Text(path));
        args.push_back(Variant::Boolean(readOnly));
        return Object<ComDocument>(d_.Call("Open", std::move(args)), "Open");
    }
};

class ComApplication final : public AcadApplication, public ComBase {
public:
    static constexpr char kKind[] = "Application";
    using ComBase::ComBase;

    void SetVisible(bool visible) override { d_.Put("Visible", Variant::Boolean(visible)); }
    Ref<AcadApplication> Application() override {
        return PropertyObject<ComApplication>("Application");
    }
    Ref<AcadDocument> ActiveDocument() override {
        return PropertyObject<ComDocument>("ActiveDocument");
    }
    Ref<AcadDocuments> Documents() override { return PropertyObject<ComDocuments>("Documents"); }
    void ZoomExtents() override { d_.Call("ZoomExtents"); }
    void Quit() override { d_.Call("Quit"); }
};

}  // namespace

Ref<AcadApplication> WrapApplication(ComPtr<IDispatch> application,
                                     std::shared_ptr<Session> session) {
    return std::make_shared<ComApplication>(
        Dispatch(std::move(application), ComApplication::kKind, std::move(session)));
}

}  // namespace vx::cad::com
