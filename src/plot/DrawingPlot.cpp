// Plotting the active drawing: its current layout, or each of its paper-space layouts.
#include <optional>

#include "PlotPaths.h"
#include "PlotRuns.h"

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

void PlotRuns::PlotModelSpace() {
    connection_.EnsureConnected();
    if (host_.StopRequested()) {
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
    doc->ActiveLayout()->SetConfigName(choices_.StrPrinter);
    if (auto paper =
            ChoosePaper(doc->ActiveLayout()->GetCanonicalMediaNames(), choices_.StrPaper)) {
        doc->ActiveLayout()->SetCanonicalMediaName(*paper);
    }
    doc->ActiveLayout()->SetPlotWithPlotStyles(true);
    const bool named = EndsWith(doc->ActiveLayout()->StyleSheet(), "stb");
    doc->ActiveLayout()->SetStyleSheet(StyleTableFor(named, choices_.StrCTB));
    doc->ActiveLayout()->SetPlotType(cad::kPlotExtents);
    doc->ActiveLayout()->SetStandardScale(cad::kScaleToFit);
    doc->ActiveLayout()->SetUseStandardScale(true);
    if (choices_.NumOfCopies > 1) {
        doc->Plot()->SetNumberOfCopies(choices_.NumOfCopies);
    }
    doc->ActiveLayout()->SetPlotRotation(cad::kRotation90);
    doc->ActiveLayout()->SetCenterPlot(true);
    doc->ActiveLayout()->RefreshPlotDeviceInfo();
    doc->Plot()->SetQuietErrorMode(true);

    const std::string plotFile = PlotFileName(StrFileName, ".plt");
    bool plotted = false;
    if (IsPlotterConfiguration(choices_.StrPrinter)) {
        plotted = doc->Plot()->PlotToFile(plotFile, choices_.StrPrinter);
    }
    if (!plotted) {
        doc->Plot()->PlotToDevice();
    }
}

std::int32_t PlotRuns::GetLayouts() {
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

void PlotRuns::SetLayoutsToPlot() {
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
        host_.KeepAlive();
        if (host_.StopRequested()) {
            return;
        }
        // A name that cannot be read counts as a paper-space layout's.
        bool model = false;
        TryStep([&] { model = Contains(layout->Name(), "Model"); });
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
        onP([&] { p->SetConfigName(choices_.StrPrinter); });
        onP([&] { p->RefreshPlotDeviceInfo(); });
        onP([&] {
            if (auto paper = ChoosePaper(p->GetCanonicalMediaNames(), choices_.StrPaper)) {
                p->SetCanonicalMediaName(*paper);
            }
        });
        onP([&] { p->SetPlotWithPlotStyles(true); });
        // A style table name that cannot be read counts as a named one.
        bool named = true;
        onP([&] { named = EndsWith(p->StyleSheet(), "stb"); });
        onP([&] { p->SetStyleSheet(StyleTableFor(named, choices_.StrCTB)); });
        onP([&] { p->SetPlotType(cad::kPlotExtents); });
        onP([&] { p->SetStandardScale(cad::kScaleToFit); });
        onP([&] { p->SetUseStandardScale(true); });
        onP([&] { p->SetPlotRotation(cad::kRotation90); });
        onP([&] { p->SetCenterPlot(true); });
        onP([&] { p->RefreshPlotDeviceInfo(); });
        onP([&] { p->Plot()->SetQuietErrorMode(true); });

        onDoc([&] { plotFile = PlotFileName(doc->Name(), ".Plt"); });
        if (choices_.NumOfCopies > 1) {
            onDoc([&] { doc->Plot()->SetNumberOfCopies(choices_.NumOfCopies); });
        }
        if (IsPlotterConfiguration(choices_.StrPrinter) && !plotFile.empty()) {
            onDoc([&] { filePlotted = doc->Plot()->PlotToFile(plotFile, choices_.StrPrinter); });
        }
        if (!filePlotted.value_or(false)) {
            onDoc([&] { doc->Plot()->PlotToDevice(); });
        }
    }
}

}  // namespace vx::plot
