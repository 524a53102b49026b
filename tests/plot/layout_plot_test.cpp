#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

    void Open(const std::string& path) { OpenScripted(path); }

    static std::vector<std::string> OneLayout(const std::string& l) {
        const std::string on = "Layout[" + l + "].";
        return {"Layouts[l.dwg].Item(\"" + l + "\")",
                "Document[l.dwg].ActiveLayout = Layout[" + l + "]",
                "Document[l.dwg].PaperSpace",
                "Block[*Paper_Space].Layout",
                on + "ZoomExtents()",
                on + "RefreshPlotDeviceInfo()",
                on + "ConfigName = \"Office Printer\"",
                on + "RefreshPlotDeviceInfo()",
                on + "GetCanonicalMediaNames()",
                on + "CanonicalMediaName = \"ISO_A4_(210.00_x_297.00_MM)\"",
                on + "PlotWithPlotStyles = True",
                on + "StyleSheet",
                on + "StyleSheet = \"acad.ctb\"",
                on + "PlotType = 1",
                on + "StandardScale = 0",
                on + "UseStandardScale = True",
                on + "PlotRotation = 1",
                on + "CenterPlot = True",
                on + "RefreshPlotDeviceInfo()",
                on + "Plot",
                "Plot[l.dwg].QuietErrorMode = True",
                "Document[l.dwg].Name",
                "Document[l.dwg].Plot",
                "Plot[l.dwg].NumberOfCopies = 2",
                "Document[l.dwg].Plot",
                "Plot[l.dwg].PlotToDevice()"};
    }
};

TEST_F(LayoutPlotTest, GetLayoutsCountsTheLayoutsBesideModelSpace) {
    cad.Drawing("/jobs/l.dwg").Layouts({"Layout1", "Layout2"});
    Open("/jobs/l.dwg");
    EXPECT_EQ(runs.GetLayouts(), 2);
    cad.Drawing("/jobs/m.dwg");
    Open("/jobs/m.dwg");
    EXPECT_EQ(runs.GetLayouts(), 0);
    cad.FailOn("Layouts.Count", "Busy");
    EXPECT_THROW(runs.GetLayouts(), cad::CadError);
}

TEST_F(LayoutPlotTest, PlotsEachPaperSpaceLayoutInItsSteps) {
    cad.Drawing("/jobs/l.dwg").Layouts({"Layout1", "Layout2"});
    Open("/jobs/l.dwg");
    choices.NumOfCopies = 2;
    runs.SetLayoutsToPlot();

    std::vector<std::string> expected = {
        "Application.Application", "Application.ActiveDocument",
        "Document[l.dwg].GetVariable(\"BACKGROUNDPLOT\")",
        "Document[l.dwg].SetVariable(\"BACKGROUNDPLOT\", 0)",
        // the references (none here)
        "Application.Application", "Application.ActiveDocument", "Document[l.dwg].Path",
        "Document[l.dwg].Blocks", "Blocks[l.dwg].Count", "Blocks[l.dwg].Item(0)",
        "Block[*Model_Space].IsXRef", "Blocks[l.dwg].Item(1)", "Block[*Paper_Space].IsXRef",
        "Application.ZoomExtents()", "Document[l.dwg].Regen(1)", "Document[l.dwg].Regen(0)",
        // the layouts in collection order; the model layout is passed over
        "Document[l.dwg].Layouts", "Layouts[l.dwg].Count", "Layouts[l.dwg].Item(0)",
        "Layout[Model].Name", "Layouts[l.dwg].Item(1)", "Layout[Layout1].Name",
        "Layout[Layout1].Name"};
    auto first = OneLayout("Layout1");
    expected.insert(expected.end(), first.begin(), first.end());
    for (const char* more :
         {"Layouts[l.dwg].Item(2)", "Layout[Layout2].Name", "Layout[Layout2].Name"}) {
        expected.push_back(more);
    }
    auto second = OneLayout("Layout2");
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_THAT(cad.Calls(), ElementsAreArray(expected));
    EXPECT_THAT(cad.Plotted(&fake::PlotJob::layout), ElementsAre("Layout1", "Layout2"));
    EXPECT_EQ(cad.Plots()[0].config, "Office Printer");
    EXPECT_EQ(cad.Plots()[1].media, kA4);
}

TEST_F(LayoutPlotTest, SkipsOnlyLayoutsWhoseNameHoldsModelAsWritten) {
    cad.Drawing("/jobs/l.dwg").Layouts({"Sheet Model 2", "model view", "Layout1"});
    Open("/jobs/l.dwg");
    runs.SetLayoutsToPlot();
    EXPECT_THAT(cad.Plotted(&fake::PlotJob::layout), ElementsAre("model view", "Layout1"));
}

TEST_F(LayoutPlotTest, SwitchesBackgroundPlottingOffOnlyWhenItIsOn) {
    cad.Drawing("/jobs/l.dwg").Layouts({"Layout1"}).BackgroundPlot(2);
    Open("/jobs/l.dwg");
    runs.SetLayoutsToPlot();
    EXPECT_EQ(cad.Open("l.dwg")->backgroundPlot, 0);

    cad.Drawing("/jobs/q.dwg").Layouts({"Layout1"}).BackgroundPlot(0);
    Open("/jobs/q.dwg");
    runs.SetLayoutsToPlot();
    EXPECT_THAT(cad.CallsWith("BACKGROUNDPLOT"),
                ElementsAre("Document[q.dwg].GetVariable(\"BACKGROUNDPLOT\")"));
}

TEST_F(LayoutPlotTest, PlotterConfigurationsPlotEveryLayoutToTheDrawingsName) {
    cad.Drawing("/jobs/l.dwg").Layouts({"Layout1", "Layout2"});
    Open("/jobs/l.dwg");
    choices.StrPrinter = "DWG To PDF.pc3";
    runs.SetLayoutsToPlot();
    EXPECT_THAT(cad.CallsWith("PlotTo"),
                ElementsAre("Plot[l.dwg].PlotToFile(\"l.Plt\", \"DWG To PDF.pc3\")",
                            "Plot[l.dwg].PlotToFile(\"l.Plt\", \"DWG To PDF.pc3\")"));
}

TEST_F(LayoutPlotTest, OneFilePlotResultServesTheWholeCall) {
    cad.Drawing("/jobs/l.dwg").Layouts({"Layout1", "Layout2"});
    Open("/jobs/l.dwg");
    choices.StrPrinter = "DWG To PDF.pc3";
    // The first file plot succeeds, the second ends without a result: its layout gets
    // no device plot, since the result of the first one still stands.
    cad.FailOn("Plot.PlotToFile", "Plot failed", 1, 1);
    runs.SetLayoutsToPlot();
    const std::string toFile = "Plot[l.dwg].PlotToFile(\"l.Plt\", \"DWG To PDF.pc3\")";
    EXPECT_THAT(cad.CallsWith("PlotTo"), ElementsAre(toFile, toFile));

    // When the first one reports False, both layouts go to the device as well.
    cad.ClearCalls();
    cad.PlotToFileResult(false);
    cad.FailOn("Plot.PlotToFile", "Plot failed", 1, 1);
    runs.SetLayoutsToPlot();
    EXPECT_THAT(cad.CallsWith("PlotTo"), ElementsAre(toFile, "Plot[l.dwg].PlotToDevice()", toFile,
                                                     "Plot[l.dwg].PlotToDevice()"));
}

TEST_F(LayoutPlotTest, AFailedCheckTouchesNothing) {
    cad.Drawing("/jobs/l.dwg").Layouts({"Layout1"});
    Open("/jobs/l.dwg");
    choices.StrPaper = "";
    runs.SetLayoutsToPlot();
    EXPECT_THAT(cad.Calls(), ElementsAre("# Message: Paper Not Selected"));
}

TEST_F(LayoutPlotTest, AStopBeforeTheCallStillChecksAndReadiesButPlotsNothing) {
    cad.Drawing("/jobs/l.dwg").Layouts({"Layout1"}).BackgroundPlot(1);
    Open("/jobs/l.dwg");
    window.stop = true;
    runs.SetLayoutsToPlot();
    EXPECT_EQ(cad.CallsWith("SetVariable(\"BACKGROUNDPLOT\", 0)").size(), 1u);
    EXPECT_EQ(cad.CallsWith("Regen").size(), 2u);
    EXPECT_THAT(cad.CallsWith("Layout["), IsEmpty());
    EXPECT_TRUE(cad.Plots().empty());

    choices.StrPrinter = "None";
    runs.SetLayoutsToPlot();
    EXPECT_THAT(window.events, ElementsAre("Message: Printer Not Selected"));
}

TEST_F(LayoutPlotTest, AStopDuringTheCallEndsItBeforeTheNextLayout) {
    cad.Drawing("/jobs/l.dwg").Layouts({"Layout1", "Layout2", "Layout3"});
    Open("/jobs/l.dwg");
    window.onKeepAlive = [this] { window.stop = !cad.Plots().empty(); };
    runs.SetLayoutsToPlot();
    EXPECT_THAT(cad.Plotted(&fake::PlotJob::layout), ElementsAre("Layout1"));
}

TEST_F(LayoutPlotTest, ATestThatCannotBeMadeCountsAsHeld) {
    cad.Drawing("/jobs/l.dwg").Layouts({"Layout1"});
    Open("/jobs/l.dwg");
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
    cad.Drawing("/jobs/l.dwg").Layouts({"Layout1", "Layout2"});
    Open("/jobs/l.dwg");
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
        StepFailure{"Document.SetVariable", "Document[l.dwg].SetVariable(\"BACKGROUNDPLOT\", 0)",
                    "Application.Application"},
        StepFailure{"Document.Blocks", "Document[l.dwg].Blocks", "Document[l.dwg].Layouts"},
        StepFailure{"Document.ActiveLayout", "Document[l.dwg].ActiveLayout = Layout[Layout1]",
                    "Document[l.dwg].PaperSpace"},
        StepFailure{"Document.PaperSpace", "Document[l.dwg].PaperSpace", "Document[l.dwg].Name"},
        StepFailure{"Layout.ZoomExtents", "Layout[Layout1].ZoomExtents()",
                    "Layout[Layout1].RefreshPlotDeviceInfo()"},
        StepFailure{"Layout.RefreshPlotDeviceInfo", "Layout[Layout1].RefreshPlotDeviceInfo()",
                    "Layout[Layout1].ConfigName = \"Office Printer\""},
        StepFailure{"Layout.ConfigName", "Layout[Layout1].ConfigName = \"Office Printer\"",
                    "Layout[Layout1].RefreshPlotDeviceInfo()"},
        StepFailure{"Layout.GetCanonicalMediaNames", "Layout[Layout1].GetCanonicalMediaNames()",
                    "Layout[Layout1].PlotWithPlotStyles = True"},
        StepFailure{"Layout.CanonicalMediaName",
                    "Layout[Layout1].CanonicalMediaName = \"ISO_A4_(210.00_x_297.00_MM)\"",
                    "Layout[Layout1].PlotWithPlotStyles = True"},
        StepFailure{"Layout.PlotWithPlotStyles", "Layout[Layout1].PlotWithPlotStyles = True",
                    "Layout[Layout1].StyleSheet"},
        StepFailure{"Layout.PlotType", "Layout[Layout1].PlotType = 1",
                    "Layout[Layout1].StandardScale = 0"},
        StepFailure{"Layout.StandardScale", "Layout[Layout1].StandardScale = 0",
                    "Layout[Layout1].UseStandardScale = True"},
        StepFailure{"Layout.UseStandardScale", "Layout[Layout1].UseStandardScale = True",
                    "Layout[Layout1].PlotRotation = 1"},
        StepFailure{"Layout.PlotRotation", "Layout[Layout1].PlotRotation = 1",
                    "Layout[Layout1].CenterPlot = True"},
        StepFailure{"Layout.CenterPlot", "Layout[Layout1].CenterPlot = True",
                    "Layout[Layout1].RefreshPlotDeviceInfo()"},
        StepFailure{"Layout.Plot", "Layout[Layout1].Plot", "Document[l.dwg].Name"},
        StepFailure{"Plot.QuietErrorMode", "Plot[l.dwg].QuietErrorMode = True",
                    "Document[l.dwg].Name"},
        StepFailure{"Document.Name", "Document[l.dwg].Name", "Document[l.dwg].Plot"},
        StepFailure{"Plot.PlotToDevice", "Plot[l.dwg].PlotToDevice()", "Layouts[l.dwg].Item(2)"}));

}  // namespace
