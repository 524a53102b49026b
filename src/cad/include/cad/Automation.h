// The CAD application's automation interface, as Vormex uses it.
//
// One interface per object of the automation model. Every back end (the built-in
// engine, COM on Windows, the test double) implements all of it, and nothing outside
// a back end knows which one it talks to. Standard C++ only: no Qt, no platform type.
//
// Strings are UTF-8. Every call that fails throws CadError with a description text.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vx::cad {

// The one error type of the automation interface. Callers rely on the description
// text where it matters ("No database" for an external reference that is not loaded).
class CadError : public std::runtime_error {
public:
    explicit CadError(const std::string& description) : std::runtime_error(description) {}
    std::string Description() const { return what(); }
};

// The CAD application itself failed during a call (it ended, stopped responding or ran
// out of memory): whatever the program was doing with its drawing cannot go on, so no step
// that may fail swallows it.
class CadFailure : public CadError {
public:
    using CadError::CadError;
};

// Runs one step that may fail without stopping what it is part of; false when it failed.
template <class F>
bool TryStep(F&& step) {
    try {
        step();
        return true;
    } catch (const CadFailure&) {
        throw;
    } catch (const CadError&) {
        return false;
    }
}

template <class T>
using Ref = std::shared_ptr<T>;
using Strings = std::vector<std::string>;

class AcadApplication;
class AcadDocuments;
class AcadDocument;
class AcadLayouts;
class AcadLayout;
class AcadPlot;
class AcadBlocks;
class AcadBlock;
class AcadEntity;
class AcadDatabase;

// What one plot call did, as far as the back end can tell: a back end that keeps no
// account of a field leaves it empty.
struct PlotOutcome {
    std::string layout;      // the layout plotted
    std::string device;      // the plot configuration used
    std::string paper;       // the canonical paper name
    std::string styleTable;  // the plot style table
    std::string outputFile;  // the file written; empty for a printer or a failure
    bool ok = false;
    std::string error;  // why nothing was plotted
    Strings notes;      // what the plot went on without (style tables, fonts, line types)
    struct Font {
        std::string asked, used, reason;
    };
    std::vector<Font> fonts;  // fonts drawn with another one (also among the notes)
    bool blank = false;       // the page was made, but nothing on it left ink
    // Entities the plot visited and drew, where the back end counts them.
    std::int64_t entities = 0;
    std::int64_t drawn = 0;
};

// Values of PlotType, StandardScale, PlotRotation and Regen that the program writes.
inline constexpr std::int32_t kPlotExtents = 1;
inline constexpr std::int32_t kScaleToFit = 0;
inline constexpr std::int32_t kRotation90 = 1;
inline constexpr std::int32_t kRegenAllViewports = 1;
inline constexpr std::int32_t kRegenActiveViewport = 0;

class AcadApplication {
public:
    virtual ~AcadApplication() = default;
    virtual void SetVisible(bool visible) = 0;
    // The application object itself; the program reaches everything else through it.
    virtual Ref<AcadApplication> Application() = 0;
    // Fails when no drawing is open.
    virtual Ref<AcadDocument> ActiveDocument() = 0;
    virtual Ref<AcadDocuments> Documents() = 0;
    virtual void ZoomExtents() = 0;
    virtual void Quit() = 0;
};

class AcadDocuments {
public:
    virtual ~AcadDocuments() = default;
    virtual std::int32_t Count() = 0;
    // Enumeration in collection order, index 0 to Count() - 1.
    virtual Ref<AcadDocument> Item(std::int32_t index) = 0;
    // A new empty drawing (no template); it becomes the active drawing.
    virtual Ref<AcadDocument> Add() = 0;
    // Opens a drawing file; the opened drawing becomes the active drawing.
    virtual Ref<AcadDocument> Open(const std::string& path, bool readOnly) = 0;
};

class AcadDocument {
public:
    virtual ~AcadDocument() = default;
    // System variables: "SDI", "DBMOD", "BACKGROUNDPLOT".
    virtual std::int32_t GetVariable(const std::string& name) = 0;
    virtual void SetVariable(const std::string& name, std::int32_t value) = 0;
    virtual void Close(bool saveChanges) = 0;
    // File name without folder.
    virtual std::string Name() = 0;
    // Folder of the drawing file, without a trailing separator.
    virtual std::string Path() = 0;
    virtual void Regen(std::int32_t which) = 0;
    virtual void Activate() = 0;
    virtual Ref<AcadLayout> ActiveLayout() = 0;
    virtual void SetActiveLayout(const Ref<AcadLayout>& layout) = 0;
    virtual Ref<AcadLayouts> Layouts() = 0;
    virtual Ref<AcadBlock> ModelSpace() = 0;
    virtual Ref<AcadBlock> PaperSpace() = 0;
    virtual Ref<AcadPlot> Plot() = 0;
    virtual Ref<AcadBlocks> Blocks() = 0;
    // The damage the back end worked around when it read the drawing file; empty when it
    // found none or does not tell.
    virtual Strings ReadWarnings() = 0;
};

class AcadLayouts {
public:
    virtual ~AcadLayouts() = default;
    virtual std::int32_t Count() = 0;
    virtual Ref<AcadLayout> Item(std::int32_t index) = 0;
    virtual Ref<AcadLayout> Item(const std::string& name) = 0;
};

// A layout and its plot configuration.
class AcadLayout {
public:
    virtual ~AcadLayout() = default;
    virtual std::string Name() = 0;
    virtual void RefreshPlotDeviceInfo() = 0;
    virtual Strings GetPlotDeviceNames() = 0;
    virtual Strings GetCanonicalMediaNames() = 0;
    virtual Strings GetPlotStyleTableNames() = 0;
    virtual std::string GetLocaleMediaName(const std::string& canonicalName) = 0;
    virtual void SetConfigName(const std::string& device) = 0;
    virtual void SetCanonicalMediaName(const std::string& name) = 0;
    virtual void SetPlotWithPlotStyles(bool value) = 0;
    virtual std::string StyleSheet() = 0;
    virtual void SetStyleSheet(const std::string& name) = 0;
    virtual void SetPlotType(std::int32_t type) = 0;
    virtual void SetStandardScale(std::int32_t scale) = 0;
    virtual void SetUseStandardScale(bool value) = 0;
    virtual void SetPlotRotation(std::int32_t rotation) = 0;
    virtual void SetCenterPlot(bool value) = 0;
    // Requested by member name on the layout of a paper space; a back end whose layout
    // object has no such member fails the call.
    virtual void ZoomExtents() = 0;
    virtual Ref<AcadPlot> Plot() = 0;
    // The block that holds the layout's entities: model space, or its paper space.
    virtual Ref<AcadBlock> Block() = 0;
};

class AcadPlot {
public:
    virtual ~AcadPlot() = default;
    virtual void SetQuietErrorMode(bool quiet) = 0;
    virtual void SetNumberOfCopies(std::int32_t copies) = 0;
    // Plots the active layout into a file with the given plot configuration.
    virtual bool PlotToFile(const std::string& fileName, const std::string& configName) = 0;
    // Plots the active layout to its configured device.
    virtual bool PlotToDevice() = 0;
    // What the application's last PlotToFile or PlotToDevice call did, also when it failed;
    // nothing when that call plotted nothing or the back end keeps no account of its plots.
    virtual std::optional<PlotOutcome> LastOutcome() = 0;
};

class AcadBlocks {
public:
    virtual ~AcadBlocks() = default;
    virtual std::int32_t Count() = 0;
    virtual Ref<AcadBlock> Item(std::int32_t index) = 0;
    virtual Ref<AcadBlock> Item(const std::string& name) = 0;
};

// A block definition; model space and paper space are blocks too.
class AcadBlock {
public:
    virtual ~AcadBlock() = default;
    virtual std::string Name() = 0;
    virtual bool IsXRef() = 0;
    // Fails for a block that is no external reference. Its ModelSpace() fails with
    // "No database" while the referenced drawing is not loaded.
    virtual Ref<AcadDatabase> XRefDatabase() = 0;
    // The stored path of an external reference.
    virtual std::string Path() = 0;
    virtual void SetPath(const std::string& path) = 0;
    virtual void Reload() = 0;
    // Number of entities in the block.
    virtual std::int32_t Count() = 0;
    // An entity of the block, index 0 to Count() - 1, in the block's order.
    virtual Ref<AcadEntity> Item(std::int32_t index) = 0;
    // The layout of model space or of a paper space.
    virtual Ref<AcadLayout> Layout() = 0;
};

// An entity of a block.
class AcadEntity {
public:
    virtual ~AcadEntity() = default;
    // The class name of the entity, e.g. "AcDbLine", "AcDbViewport".
    virtual std::string ObjectName() = 0;
};

inline constexpr char kViewportObject[] = "AcDbViewport";

// The drawing database of an external reference.
class AcadDatabase {
public:
    virtual ~AcadDatabase() = default;
    virtual Ref<AcadBlock> ModelSpace() = 0;
};

// The description a back end gives when an external reference's drawing is not loaded.
inline constexpr char kNoDatabase[] = "No database";

}  // namespace vx::cad
