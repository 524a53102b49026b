#include <algorithm>

#include "PlotFixture.h"

using namespace vx;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

struct LayoutPlotTest : vx::testing::PlotFixture {
    void SetUp() override {
        PlotFixture::SetUp();
        Papers({"Letter", kA4});
        Connect();
    }
    // Opens a drawing with these paper-space layouts.
    fake::DrawingSpec& Open(const std::string& path, const fake::Strings& layouts) {
        fake::DrawingSpec& spec = cad.Drawing(path).Layouts(layouts);
        OpenScripted(path);
        return spec;
    }
};

TEST_F(LayoutPlotTest, PlotsEachPaperSpaceLayoutInItsSteps) {
    Open("/jobs/l.dwg", {"Layout1"});
    choices.NumOfCopies = 2;
    runs.SetLayoutsToPlot();
    EXPECT_THAT(cad.Calls(), ElementsAreArray(vx::testing::Transcript(R"calls(
        Application.Application
        Application.ActiveDocument
        Document[l.dwg].GetVariable("BACKGROUNDPLOT")
        Document[l.dwg].SetVariable("BACKGROUNDPLOT", 0)
        Application.Application
        Application.ActiveDocument
        Document[l.dwg].Path
        Document[l.dwg].Blocks
        Blocks[l.dwg].Count
        Blocks[l.dwg].Item(0)
        Block[*Model_Space].IsXRef
        Blocks[l.dwg].Item(1)
        Block[*Paper_Space].IsXRef
        Application.ZoomExtents()
        Document[l.dwg].Regen(1)
        Document[l.dwg].Regen(0)
        Document[l.dwg].Layouts
        Layouts[l.dwg].Count
        Layouts[l.dwg].Item(0)
        Layout[Model].Name
        Layouts[l.dwg].Item(1)
        Layout[Layout1].Name
        Layout[Layout1].Block
        Block[*Paper_Space0].Count
        Block[*Paper_Space0].Item(0)
        Entity[*Paper_Space0:0].ObjectName
        Layout[Layout1].Name
        Layouts[l.dwg].Item("Layout1")
        Document[l.dwg].ActiveLayout = Layout[Layout1]
        Document[l.dwg].PaperSpace
        Block[*Paper_Space].Layout
        Layout[Layout1].ZoomExtents()
        Layout[Layout1].RefreshPlotDeviceInfo()
        Layout[Layout1].ConfigName = "Office Printer"
        Layout[Layout1].RefreshPlotDeviceInfo()
        Layout[Layout1].GetCanonicalMediaNames()
        Layout[Layout1].CanonicalMediaName = "ISO_A4_(210.00_x_297.00_MM)"
        Layout[Layout1].PlotWithPlotStyles = True
        Layout[Layout1].StyleSheet
        Layout[Layout1].StyleSheet = "acad.ctb"
        Layout[Layout1].PlotType = 1
        Layout[Layout1].StandardScale = 0
        Layout[Layout1].UseStandardScale = True
        Layout[Layout1].PlotRotation = 1
        Layout[Layout1].CenterPlot = True
        Layout[Layout1].RefreshPlotDeviceInfo()
        Layout[Layout1].Plot
        Plot[l.dwg].QuietErrorMode = True
        Document[l.dwg].Name
        Document[l.dwg].Plot
        Plot[l.dwg].NumberOfCopies = 2
        Document[l.dwg].Plot
        Plot[l.dwg].PlotToDevice()
    )calls")));
}

TEST_F(LayoutPlotTest, SkipsOnlyLayoutsWhoseNameHoldsModelAsWritten) {
    Open("/jobs/l.dwg", {"Sheet Model 2", "model view", "Layout1"});
    runs.SetLayoutsToPlot();
    EXPECT_THAT(cad.Plotted(&fake::PlotJob::layout), ElementsAre("model view", "Layout1"));
}

TEST_F(LayoutPlotTest, SwitchesBackgroundPlottingOffOnlyWhenItIsOn) {
    Open("/jobs/l.dwg", {"Layout1"}).BackgroundPlot(2);
    runs.SetLayoutsToPlot();
    EXPECT_EQ(cad.Open("l.dwg")->backgroundPlot, 0);

    cad.Drawing("/jobs/q.dwg").Layouts({"Layout1"}).BackgroundPlot(0);
    OpenScripted("/jobs/q.dwg");
    runs.SetLayoutsToPlot();
    EXPECT_THAT(cad.CallsWith("BACKGROUNDPLOT"),
                ElementsAre("Document[q.dwg].GetVariable(\"BACKGROUNDPLOT\")"));
}

// Every layout goes to a file named after the drawing; one file plot result serves the whole
// call: after a first True, a later failed file plot gets no device plot; after a first False,
// every layout goes to the device as well.
TEST_F(LayoutPlotTest, PlotterConfigurationsPlotEveryLayoutToTheDrawingsName) {
    Open("/jobs/l.dwg", {"Layout1", "Layout2"});
    choices.StrPrinter = "DWG To PDF.pc3";
    const std::string toFile = "Plot[l.dwg].PlotToFile(\"l.Plt\", \"DWG To PDF.pc3\")";
    const std::string toDevice = "Plot[l.dwg].PlotToDevice()";
    for (bool result : {true, false}) {
        cad.ClearCalls();
        cad.PlotToFileResult(result);
        cad.FailOn("Plot.PlotToFile", "Plot failed", 1, 1);
        runs.SetLayoutsToPlot();
        const fake::Strings once{toFile, toFile}, both{toFile, toDevice, toFile, toDevice};
        EXPECT_EQ(cad.CallsWith("PlotTo"), result ? once : both);
    }
}

TEST_F(LayoutPlotTest, AStopDuringTheCallEndsItBeforeTheNextLayout) {
    Open("/jobs/l.dwg", {"Layout1", "Layout2", "Layout3"});
    window.onKeepAlive = [this] { window.stop = !cad.Plots().empty(); };
    runs.SetLayoutsToPlot();
    EXPECT_THAT(cad.Plotted(&fake::PlotJob::layout), ElementsAre("Layout1"));
}

TEST_F(LayoutPlotTest, ATestThatCannotBeMadeCountsAsHeld) {
    Open("/jobs/l.dwg", {"Layout1"});
    // A style table name that cannot be read counts as a named one.
    cad.FailOn("Layout.StyleSheet", "Busy", 1);
    runs.SetLayoutsToPlot();
    EXPECT_THAT(cad.CallsWith("StyleSheet ="),
                ElementsAre("Layout[Layout1].StyleSheet = \"acad.stb\""));
    // A layout whose name cannot be read is plotted like a paper-space layout.
    cad.FailOn("Layout[Model].Name", "Busy", 1);
    runs.SetLayoutsToPlot();
    EXPECT_EQ(cad.Plots().size(), 3u);
}

// Every step after the check is tried, whatever failed before it.
struct StepFailure {
    const char* rule;    // the failing call
    const char* failed;  // as it is recorded
    const char* next;    // the next step's call, which must still come
};

class LayoutStepFailureTest : public LayoutPlotTest,
                              public ::testing::WithParamInterface<StepFailure> {};

TEST_P(LayoutStepFailureTest, TheNextStepStillRunsAndEveryLayoutIsPlotted) {
    const StepFailure& f = GetParam();
    Open("/jobs/l.dwg", {"Layout1", "Layout2"});
    cad.FailOn(f.rule, "Refused");
    EXPECT_NO_THROW(runs.SetLayoutsToPlot());

    const auto& calls = cad.Calls();
    auto failed = std::find(calls.begin(), calls.end(), f.failed);
    ASSERT_NE(failed, calls.end());
    EXPECT_EQ(*(failed + 1), f.next);
    // Both layouts are sent, to the device that the failing step may have left.
    EXPECT_EQ(cad.CallsWith("PlotToDevice()").size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, LayoutStepFailureTest,
    ::testing::Values(
        StepFailure{"Document.GetVariable", "Document[l.dwg].GetVariable(\"BACKGROUNDPLOT\")",
                    "Application.Application"},
        StepFailure{"Document.Blocks", "Document[l.dwg].Blocks", "Document[l.dwg].Layouts"},
        StepFailure{"Layout.ConfigName", "Layout[Layout1].ConfigName = \"Office Printer\"",
                    "Layout[Layout1].RefreshPlotDeviceInfo()"},
        StepFailure{"Plot.PlotToDevice", "Plot[l.dwg].PlotToDevice()", "Layouts[l.dwg].Item(2)"}));

}  // namespace
