// A recording test double of the CAD application: every automation interface, each call
// recorded in order as readable text, scripted in a few lines. Calls are recorded as
// Kind[id].Member  for reads,  Kind[id].Member = value  for writes and  Kind[id].Member(args)  for
// methods; ids are a document's name, a layout's name, a block's name. A failure rule matches
// "Kind.Member" or "Kind[id].Member".
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cad/Automation.h"
#include "cad/ClassRegistry.h"

namespace vx::fake {

using cad::Ref;
using cad::Strings;

struct LayoutSpec {
    LayoutSpec() = default;
    LayoutSpec(std::string layoutName) : name(std::move(layoutName)) {}  // NOLINT: implicit
    std::string name;
    std::string configName = "None";
    std::string canonicalMedia;
    std::string styleSheet = "acad.ctb";
    // What the layout's block holds, as the entities' object names.
    Strings entities{"AcDbLine"};
};

struct XRefSpec {
    std::string name;
    std::string path;
    bool loaded = false;
    // The description the probe fails with while the reference is not loaded; Reload
    // loads it when a file exists at the path (separators made native).
    std::string probeError = cad::kNoDatabase;
};

// One plot job that the double received.
struct PlotJob {
    std::string document;  // the drawing's name
    std::string layout;    // the layout plotted
    bool toFile = false;
    std::string fileName;  // PlotToFile's file name
    std::string config;    // PlotToFile's configuration, else the layout's device
    std::string media;
    std::string styleSheet;
    std::int32_t copies = 1;
};

class FakeCad;

// The script of one drawing.
class DrawingSpec {
public:
    // Paper-space layouts after "Model", in tab order.
    DrawingSpec& Layouts(const std::vector<std::string>& names) {
        return Set([&] { layouts.insert(layouts.end(), names.begin(), names.end()); });
    }
    DrawingSpec& XRef(const std::string& name, const std::string& path, bool loaded) {
        return XRef(XRefSpec{name, path, loaded});
    }
    DrawingSpec& XRef(const XRefSpec& x) {
        return Set([&] { xrefs.push_back(x); });
    }
    DrawingSpec& Block(const std::string& n) {
        return Set([&] { blocks.push_back(n); });
    }
    // What the named layout's block holds ("Model" for model space).
    DrawingSpec& Holding(const std::string& layout, const Strings& entities) {
        return Set([&] {
            for (auto& l : layouts) {
                if (l.name == layout) {
                    l.entities = entities;
                }
            }
        });
    }
    DrawingSpec& Modified(std::int32_t v = 1) {
        return Set([&] { dbmod = v; });
    }
    DrawingSpec& Sdi(std::int32_t v) {
        return Set([&] { sdi = v; });
    }
    DrawingSpec& BackgroundPlot(std::int32_t v) {
        return Set([&] { backgroundPlot = v; });
    }
    DrawingSpec& ActiveLayout(const std::string& n) {
        return Set([&] { activeLayout = n; });
    }
    DrawingSpec& StyleSheet(const std::string& name) {
        return Set([&] {
            for (auto& l : layouts) {
                l.styleSheet = name;
            }
        });
    }
    // The damage the double says it worked around when it opened the drawing.
    DrawingSpec& ReadWarnings(const Strings& warnings) {
        return Set([&] { readWarnings = warnings; });
    }
    // Documents.Open fails for this drawing (the CAD application refuses the file).
    DrawingSpec& Unopenable(const std::string& description = "Drawing file is not valid") {
        return Set([&] { openError = description; });
    }

    std::string path, name, folder;
    std::int32_t dbmod = 0, sdi = 0, backgroundPlot = 1;
    std::vector<LayoutSpec> layouts{LayoutSpec{"Model"}};
    std::vector<XRefSpec> xrefs;
    std::vector<std::string> blocks;
    std::string activeLayout = "Model";
    std::optional<std::string> openError;
    Strings readWarnings;

private:
    template <class F>
    DrawingSpec& Set(F&& change) {
        change();
        return *this;
    }
};

class FakeCad {
public:
    FakeCad();
    ~FakeCad();
    FakeCad(const FakeCad&) = delete;
    FakeCad& operator=(const FakeCad&) = delete;

    FakeCad& Running(bool running);
    FakeCad& CreateFails(bool fails = true);
    FakeCad& Devices(const Strings& names);
    // Canonical media names of every device, or of one device.
    FakeCad& Media(const Strings& names);
    FakeCad& Media(const std::string& device, const Strings& names);
    FakeCad& Styles(const Strings& names);
    FakeCad& PlotToFileResult(bool result);
    // Changes what LastOutcome tells of each plot job (by default its layout, device,
    // paper, style table and, for a file plot that succeeded, the file name it was given).
    // A device plot whose outcome is not ok fails with the outcome's error.
    FakeCad& Outcomes(std::function<void(const PlotJob&, cad::PlotOutcome&)> script);
    // A drawing file that Documents.Open can open (by exact path).
    DrawingSpec& Drawing(const std::string& path);
    // A drawing open in the CAD application now; the last one opened is active.
    DrawingSpec& OpenNow(const std::string& path);
    // Makes matching calls fail with `description`; `times` < 0 means always. The first
    // `after` matching calls succeed.
    FakeCad& FailOn(const std::string& call, const std::string& description, int times = -1,
                    int after = 0);

    // Serves "AutoCAD.Application" in `registry` (and stops doing so when destroyed).
    void RegisterIn(cad::ClassRegistry& registry);

    // Writes `text` into the call log, so that a test can see where the code under
    // test did something else between two calls (a status text, a pointer change).
    void Mark(const std::string& text);

    const std::vector<std::string>& Calls() const;
    // The calls that contain `part`, in order.
    std::vector<std::string> CallsWith(const std::string& part) const;
    void ClearCalls();
    const std::vector<PlotJob>& Plots() const;
    // One field of every plot job, in order; by default the drawings' names.
    Strings Plotted(std::string PlotJob::*field = &PlotJob::document) const;
    bool IsRunning() const;
    int StartCount() const;
    // Names of the drawings open now, in collection order.
    Strings OpenDrawings() const;
    std::string ActiveDrawing() const;
    // The state of an open drawing (by name), for checks after the fact.
    const DrawingSpec* Open(const std::string& name) const;
    Ref<cad::AcadApplication> App();

    struct State;

private:
    std::shared_ptr<State> state_;
    cad::ClassRegistry* registry_ = nullptr;
};

// Text of a value as the log writes it.
std::string Quote(const std::string& s);

}  // namespace vx::fake
