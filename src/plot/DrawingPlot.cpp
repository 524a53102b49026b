// Plotting the active drawing: its current layout, or each of its paper-space layouts.
#include <optional>

#include "plot/PlotPaths.h"
#include "plot/PlotService.h"

namespace vx::plot {

using cad::AcadLayout;
using cad::CadError;
using cad::Ref;
using cad::TryStep;

namespace {

// The first paper name that equals the choice ignoring case or contains it as typed.
std::optional<std::string> ChoosePaper(const cad::Strings& names, const std::string& paper) {
    for (const auto& name : names) {
        if (EqualsIgnoringCase(name, paper) || Contains(name, paper)) {
            return name;
        }
    }
    return std::nullopt;
}

// A drawing set up for named plot styles gets the ".stb" table of the chosen name.
std::string StyleTableFor(bool namedStyles, const std::string& chosen) {
    return namedStyles ? ReplaceAll(chosen, "ctb", "stb") : chosen;
}

bool IsPlotterConfiguration(const std::string& device) {
    return EndsWith(device, "pc3");
}

}  // namespace

// More viewports than this on one sheet: it is a sheet in use, whatever they show.
constexpr std::int32_t kMaxViewportsLooked = 64;

// A paper-space layout with nothing to plot: its block holds no entity but viewports, and
// either only one (its own paper-space view) or the model space they look at is empty.
// Writers often leave such a "Layout1" behind. Whatever cannot be asked counts as
// something to plot, and so does model space itself.
bool IsBlankSheet(cad::AcadDocument& doc, AcadLayout& layout) {
    try {
        auto block = layout.Block();
        const std::int32_t count = block->Count();
        if (count > kMaxViewportsLooked) {
            return false;
        }
        for (std::int32_t i = 0; i < count; ++i) {
            if (block->Item(i)->ObjectName() != cad::kViewportObject) {
                return false;
            }
        }
        if (EqualsIgnoringCase(block->Name(), "*Model_Space")) {
            return false;
        }
        return count <= 1 || doc.ModelSpace()->Count() == 0;
    } catch (const CadError&) {
        return false;
    }
}

void PlotService::PlotModelSpace() {
    connection_.EnsureConnected();
    if (Stop()) {
        return;
    }
    if (!CheckPlotChoices()) {
        return;
    }
    App()->ZoomExtents();
    ReloadXrefs();
    auto doc = App()->ActiveDocument();
    doc->ActiveLayout()->RefreshPlotDeviceInfo();
    doc->Regen(cad::kRegenActiveViewport);
    doc->ActiveLayout()->SetConfigName(choices.StrPrinter);
    if (auto paper = ChoosePaper(doc->ActiveLayout()->GetCanonicalMediaNames(), choices.StrPaper)) {
        doc->ActiveLayout()->SetCanonicalMediaName(*paper);
    }
    doc->ActiveLayout()->SetPlotWithPlotStyles(true);
    const bool named = EndsWith(doc->ActiveLayout()->StyleSheet(), "stb");
    doc->ActiveLayout()->SetStyleSheet(StyleTableFor(named, choices.StrCTB));
    doc->ActiveLayout()->SetPlotType(cad::kPlotExtents);
    doc->ActiveLayout()->SetStandardScale(cad::kScaleToFit);
    doc->ActiveLayout()->SetUseStandardScale(true);
    if (choices.NumOfCopies > 1) {
        doc->Plot()->SetNumberOfCopies(choices.NumOfCopies);
    }
    doc->ActiveLayout()->SetPlotRotation(cad::kRotation90);
    doc->ActiveLayout()->SetCenterPlot(true);
    doc->ActiveLayout()->RefreshPlotDeviceInfo();
    doc->Plot()->SetQuietErrorMode(true);

    const bool toFile = IsPlotterConfiguration(choices.StrPrinter);
    bool plotted = false;
    if (toFile) {
        const auto plotFile = NamedPlotFile({}, PlotFileName(StrFileName, ".plt"));
        if (!plotFile) {
            return;
        }
        plotted = Plotted(*doc, true, {}, *plotFile);
    }
    // A device plot of a plotter configuration writes beside the drawing: not where a
    // namer puts the files.
    if (!plotted && !(toFile && plotFileName)) {
        Plotted(*doc, false, {}, {});
    }
}

std::optional<std::string> PlotService::NamedPlotFile(const std::string& layout,
                                                      const std::string& defaultName) {
    if (!plotFileName) {
        return defaultName;
    }
    try {
        return plotFileName(StrFileName, layout);
    } catch (const PlotFileRefused& e) {
        cad::PlotOutcome refused;
        refused.layout = layout.empty() ? "Model" : layout;
        refused.device = choices.StrPrinter;
        refused.error = e.what();
        events_->LayoutPlotted(StrFileName, refused);
        return std::nullopt;
    }
}

// One plot call on the drawing's plot object, told to the sink with what the CAD
// application says of it. A call that returns is told without that account too, with what
// was asked and its result; one that fails (its error goes on to the caller) only as the
// application tells it: it may have plotted nothing.
bool PlotService::Plotted(cad::AcadDocument& doc, bool toFile, const std::string& layout,
                          const std::string& file) {
    auto plot = doc.Plot();
    std::optional<cad::PlotOutcome> outcome;
    bool ok = false;
    try {
        ok = toFile ? plot->PlotToFile(file, choices.StrPrinter) : plot->PlotToDevice();
    } catch (const cad::CadFailure&) {
        throw;
    } catch (const CadError&) {
        TryStep([&] { outcome = plot->LastOutcome(); });
        if (outcome) {
            events_->LayoutPlotted(StrFileName, *outcome);
        }
        throw;
    }
    TryStep([&] { outcome = plot->LastOutcome(); });
    if (!outcome) {
        outcome.emplace();
        outcome->layout = layout;
        outcome->device = choices.StrPrinter;
        outcome->ok = ok;
        outcome->outputFile = toFile && ok ? file : std::string();
    }
    events_->LayoutPlotted(StrFileName, *outcome);
    return ok;
}

std::int32_t PlotService::GetLayouts() {
    connection_.EnsureConnected();
    auto doc = App()->ActiveDocument();
    auto layouts = doc->Layouts();
    const std::int32_t count = layouts->Count();
    // The layouts besides model space, less those with nothing on them.
    std::int32_t sheets = count - 1;
    for (std::int32_t i = 0; i < count; ++i) {
        Ref<AcadLayout> layout;
        if (TryStep([&] { layout = layouts->Item(i); }) && IsBlankSheet(*doc, *layout)) {
            --sheets;
        }
    }
    return sheets;
}

void PlotService::SetLayoutsToPlot() {
    connection_.EnsureConnected();
    if (!CheckPlotChoices()) {
        return;
    }
    // From here on every step is tried, whatever failed before it.
    Ref<cad::AcadDocument> doc;
    TryStep([&] { doc = App()->ActiveDocument(); });
    auto onDoc = [&](auto&& step) {
        TryStep([&] {
            if (!doc) {
                throw CadError("No active document");
            }
            step();
        });
    };

    // Background plotting off, so that each layout's plot ends before the next begins.
    std::optional<std::int32_t> background;
    onDoc([&] { background = doc->GetVariable("BACKGROUNDPLOT"); });
    if (background && *background > 0) {
        onDoc([&] { doc->SetVariable("BACKGROUNDPLOT", 0); });
    }
    TryStep([&] { ReloadXrefs(); });

    Ref<cad::AcadLayouts> layouts;
    std::int32_t count = 0;
    onDoc([&] {
        layouts = doc->Layouts();
        count = layouts->Count();
    });
    // One result for all layouts: a file plot that gives none keeps the one before.
    std::optional<bool> filePlotted;
    std::string plotFile;
    for (std::int32_t i = 0; i < count; ++i) {
        Ref<AcadLayout> layout;
        TryStep([&] { layout = layouts->Item(i); });
        if (!layout) {
            continue;
        }
        if (Stop()) {
            return;
        }
        // A name that cannot be read counts as a paper-space layout's.
        bool model = false;
        std::string name;
        TryStep([&] {
            name = layout->Name();
            model = Contains(name, "Model");
        });
        if (model || (doc && IsBlankSheet(*doc, *layout))) {
            continue;
        }
        onDoc([&] { doc->SetActiveLayout(layouts->Item(layout->Name())); });

        Ref<AcadLayout> p;
        onDoc([&] { p = doc->PaperSpace()->Layout(); });
        auto onP = [&](auto&& step) {
            TryStep([&] {
                if (!p) {
                    throw CadError("No paper space layout");
                }
                step();
            });
        };
        onP([&] { p->ZoomExtents(); });
        onP([&] { p->RefreshPlotDeviceInfo(); });
        onP([&] { p->SetConfigName(choices.StrPrinter); });
        onP([&] { p->RefreshPlotDeviceInfo(); });
        onP([&] {
            if (auto paper = ChoosePaper(p->GetCanonicalMediaNames(), choices.StrPaper)) {
                p->SetCanonicalMediaName(*paper);
            }
        });
        onP([&] { p->SetPlotWithPlotStyles(true); });
        // A style table name that cannot be read counts as a named one.
        bool named = true;
        onP([&] { named = EndsWith(p->StyleSheet(), "stb"); });
        onP([&] { p->SetStyleSheet(StyleTableFor(named, choices.StrCTB)); });
        onP([&] { p->SetPlotType(cad::kPlotExtents); });
        onP([&] { p->SetStandardScale(cad::kScaleToFit); });
        onP([&] { p->SetUseStandardScale(true); });
        onP([&] { p->SetPlotRotation(cad::kRotation90); });
        onP([&] { p->SetCenterPlot(true); });
        onP([&] { p->RefreshPlotDeviceInfo(); });
        onP([&] { p->Plot()->SetQuietErrorMode(true); });

        onDoc([&] { plotFile = PlotFileName(doc->Name(), ".Plt"); });
        const bool toFile = IsPlotterConfiguration(choices.StrPrinter);
        std::optional<std::string> file = plotFile;
        if (toFile && plotFileName) {
            file = NamedPlotFile(name, plotFile);
        }
        if (choices.NumOfCopies > 1) {
            onDoc([&] { doc->Plot()->SetNumberOfCopies(choices.NumOfCopies); });
        }
        if (toFile && file && !file->empty()) {
            onDoc([&] { filePlotted = Plotted(*doc, true, name, *file); });
        }
        if (!filePlotted.value_or(false) && !(toFile && plotFileName)) {
            onDoc([&] { Plotted(*doc, false, name, {}); });
        }
    }
}

}  // namespace vx::plot
