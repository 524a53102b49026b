#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "PlotFixture.h"

using namespace vx;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

constexpr const char* kA4 = vx::testing::PlotFixture::kA4;

struct ModelSpaceTest : vx::testing::PlotFixture {
    void SetUp() override {
        PlotFixture::SetUp();
        Papers({"Letter", kA4, "A4"});
        cad.Drawing("/jobs/a.dwg");
        Connect();
        OpenScripted("/jobs/a.dwg");
        runs.StrFileName = "/jobs/a.dwg";
    }

    // The calls that one step makes on the layout, read again for the step.
    static std::vector<std::string> OnLayout(std::initializer_list<std::string> members) {
        std::vector<std::string> calls;
        for (const auto& m : members) {
            calls.push_back("Document[a.dwg].ActiveLayout");
            calls.push_back("Layout[Model]." + m);
        }
        return calls;
    }
};

TEST_F(ModelSpaceTest, PlotsInTheTwentyFourSteps) {
    choices.NumOfCopies = 2;
    runs.PlotModelSpace();

    std::vector<std::string> expected = {
        // 4: zoom, 5: references (none here), 6: the drawing
        "Application.Application",    "Application.ZoomExtents()",  "Application.Application",
        "Application.ActiveDocument", "Document[a.dwg].Path",       "Document[a.dwg].Blocks",
        "Blocks[a.dwg].Count",        "Blocks[a.dwg].Item(0)",      "Block[*Model_Space].IsXRef",
        "Blocks[a.dwg].Item(1)",      "Block[*Paper_Space].IsXRef", "Application.ZoomExtents()",
        "Document[a.dwg].Regen(1)",   "Document[a.dwg].Regen(0)",   "Application.Application",
        "Application.ActiveDocument"};
    auto add = [&](std::vector<std::string> more) {
        expected.insert(expected.end(), more.begin(), more.end());
    };
    add(OnLayout({"RefreshPlotDeviceInfo()"}));                                   // 7
    add({"Document[a.dwg].Regen(0)"});                                            // 8
    add(OnLayout({"ConfigName = \"Office Printer\"", "GetCanonicalMediaNames()",  // 9, 10
                  "CanonicalMediaName = \"ISO_A4_(210.00_x_297.00_MM)\"",
                  "PlotWithPlotStyles = True", "StyleSheet",  // 11, 12
                  "StyleSheet = \"acad.ctb\"", "PlotType = 1", "StandardScale = 0",
                  "UseStandardScale = True"}));                       // 13 to 15
    add({"Document[a.dwg].Plot", "Plot[a.dwg].NumberOfCopies = 2"});  // 16
    add(OnLayout({"PlotRotation = 1", "CenterPlot = True", "RefreshPlotDeviceInfo()"}));
    add({"Document[a.dwg].Plot", "Plot[a.dwg].QuietErrorMode = True",  // 20
         "Document[a.dwg].Plot", "Plot[a.dwg].PlotToDevice()"});       // 23
    EXPECT_THAT(cad.Calls(), ElementsAreArray(expected));

    ASSERT_EQ(cad.Plots().size(), 1u);
    const fake::PlotJob& job = cad.Plots()[0];
    EXPECT_FALSE(job.toFile);
    EXPECT_EQ(job.config, "Office Printer");
    EXPECT_EQ(job.media, kA4);
    EXPECT_EQ(job.styleSheet, "acad.ctb");
    EXPECT_EQ(job.copies, 2);
}

TEST_F(ModelSpaceTest, AStopRequestEndsItBeforeTheCheckAndAnyCall) {
    window.stop = true;
    choices.StrPrinter = "";
    runs.PlotModelSpace();
    EXPECT_THAT(cad.Calls(), IsEmpty());
    EXPECT_THAT(window.shown, IsEmpty());
}

TEST_F(ModelSpaceTest, AFailedCheckShowsItsMessageAndCallsNothing) {
    choices.StrCTB = "Select Plot Style Table";
    runs.PlotModelSpace();
    EXPECT_THAT(cad.Calls(), ElementsAre("# Message: Plot Style Table Not Selected"));
}

struct PaperCase {
    std::vector<std::string> names;
    std::string choice;
    std::string chosen;  // empty: the paper is left alone
};

class PaperRuleTest : public ModelSpaceTest, public ::testing::WithParamInterface<PaperCase> {};

TEST_P(PaperRuleTest, TakesTheFirstNameEqualIgnoringCaseOrContainingTheChoice) {
    const PaperCase& c = GetParam();
    cad.Media("Office Printer", c.names);
    choices.StrPaper = c.choice;
    runs.PlotModelSpace();
    if (c.chosen.empty()) {
        EXPECT_THAT(cad.CallsWith("CanonicalMediaName ="), IsEmpty());
    } else {
        EXPECT_THAT(cad.CallsWith("CanonicalMediaName ="),
                    ElementsAre("Layout[Model].CanonicalMediaName = \"" + c.chosen + "\""));
    }
    // The plot goes ahead either way.
    EXPECT_EQ(cad.Plots().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PaperRuleTest,
    ::testing::Values(PaperCase{{"Letter", "iso_a4", "A4"}, "ISO_A4", "iso_a4"},
                      PaperCase{{"Letter", kA4, "A4"}, "A4", kA4},
                      PaperCase{{"ISO_A4_x", "A4", "a4_small"}, "a4", "A4"},
                      PaperCase{{"ISO_A4_x", "iso_a4_y"}, "a4", "iso_a4_y"},
                      PaperCase{{"Letter", "Legal"}, "A4", ""}, PaperCase{{}, "A4", ""}));

struct StyleCase {
    std::string layoutTable;
    std::string choice;
    std::string written;
};

class StyleRuleTest : public ModelSpaceTest, public ::testing::WithParamInterface<StyleCase> {};

TEST_P(StyleRuleTest, NamedStyleDrawingsGetTheStbTable) {
    const StyleCase& c = GetParam();
    cad.Drawing("/jobs/s.dwg").StyleSheet(c.layoutTable);
    OpenScripted("/jobs/s.dwg");
    choices.StrCTB = c.choice;
    runs.PlotModelSpace();
    EXPECT_THAT(cad.CallsWith("StyleSheet ="),
                ElementsAre("Layout[Model].StyleSheet = \"" + c.written + "\""));
}

INSTANTIATE_TEST_SUITE_P(Tables, StyleRuleTest,
                         ::testing::Values(StyleCase{"monochrome.stb", "acad.ctb", "acad.stb"},
                                           StyleCase{"monochrome.stb", "ctb.ctb", "stb.stb"},
                                           StyleCase{"monochrome.STB", "acad.ctb", "acad.ctb"},
                                           StyleCase{"monochrome.ctb", "acad.ctb", "acad.ctb"},
                                           StyleCase{"", "acad.ctb", "acad.ctb"}));

TEST_F(ModelSpaceTest, SetsCopiesOnlyAboveOne) {
    for (std::int16_t copies : {0, 1}) {
        choices.NumOfCopies = copies;
        runs.PlotModelSpace();
    }
    EXPECT_THAT(cad.CallsWith("NumberOfCopies"), IsEmpty());
}

TEST_F(ModelSpaceTest, PlotterConfigurationsPlotToAFileBesideTheDrawing) {
    choices.StrPrinter = "DWG To PDF.pc3";
    runs.PlotModelSpace();
    cad.PlotToFileResult(false);  // a failed file plot is followed by a device plot
    runs.PlotModelSpace();
    choices.StrPrinter = "Plotter.PC3";  // only the lower-case ending means a file
    runs.PlotModelSpace();
    EXPECT_THAT(cad.CallsWith("PlotTo"),
                ElementsAre("Plot[a.dwg].PlotToFile(\"/jobs/a.plt\", \"DWG To PDF.pc3\")",
                            "Plot[a.dwg].PlotToFile(\"/jobs/a.plt\", \"DWG To PDF.pc3\")",
                            "Plot[a.dwg].PlotToDevice()", "Plot[a.dwg].PlotToDevice()"));
}

TEST_F(ModelSpaceTest, ADrawingWithAnotherExtensionIsNotPlottedOntoItself) {
    cad.Drawing("/jobs/site.dwg.d/plan.dxf");
    OpenScripted("/jobs/site.dwg.d/plan.dxf");
    runs.StrFileName = "/jobs/site.dwg.d/plan.dxf";
    choices.StrPrinter = "DWG To PDF.pc3";
    runs.PlotModelSpace();
    EXPECT_THAT(cad.CallsWith("PlotToFile"),
                ElementsAre("Plot[plan.dxf].PlotToFile(\"/jobs/site.dwg.d/plan.plt\", "
                            "\"DWG To PDF.pc3\")"));
}

TEST_F(ModelSpaceTest, AFailingCallEndsThePlotAndReachesTheCaller) {
    cad.FailOn("Layout.ConfigName", "Invalid input");
    EXPECT_THROW(runs.PlotModelSpace(), cad::CadError);
    EXPECT_EQ(cad.Calls().back(), "Layout[Model].ConfigName = \"Office Printer\"");
    EXPECT_TRUE(cad.Plots().empty());
}

}  // namespace
