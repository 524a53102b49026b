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
};

TEST_F(ModelSpaceTest, PlotsInTheTwentyFourSteps) {
    choices.NumOfCopies = 2;
    runs.PlotModelSpace();
    EXPECT_THAT(cad.Calls(), ElementsAreArray(vx::testing::Transcript(R"calls(
        Application.Application
        Application.ZoomExtents()
        Application.Application
        Application.ActiveDocument
        Document[a.dwg].Path
        Document[a.dwg].Blocks
        Blocks[a.dwg].Count
        Blocks[a.dwg].Item(0)
        Block[*Model_Space].IsXRef
        Blocks[a.dwg].Item(1)
        Block[*Paper_Space].IsXRef
        Application.ZoomExtents()
        Document[a.dwg].Regen(1)
        Document[a.dwg].Regen(0)
        Application.Application
        Application.ActiveDocument
        Document[a.dwg].ActiveLayout
        Layout[Model].RefreshPlotDeviceInfo()
        Document[a.dwg].Regen(0)
        Document[a.dwg].ActiveLayout
        Layout[Model].ConfigName = "Office Printer"
        Document[a.dwg].ActiveLayout
        Layout[Model].GetCanonicalMediaNames()
        Document[a.dwg].ActiveLayout
        Layout[Model].CanonicalMediaName = "ISO_A4_(210.00_x_297.00_MM)"
        Document[a.dwg].ActiveLayout
        Layout[Model].PlotWithPlotStyles = True
        Document[a.dwg].ActiveLayout
        Layout[Model].StyleSheet
        Document[a.dwg].ActiveLayout
        Layout[Model].StyleSheet = "acad.ctb"
        Document[a.dwg].ActiveLayout
        Layout[Model].PlotType = 1
        Document[a.dwg].ActiveLayout
        Layout[Model].StandardScale = 0
        Document[a.dwg].ActiveLayout
        Layout[Model].UseStandardScale = True
        Document[a.dwg].Plot
        Plot[a.dwg].NumberOfCopies = 2
        Document[a.dwg].ActiveLayout
        Layout[Model].PlotRotation = 1
        Document[a.dwg].ActiveLayout
        Layout[Model].CenterPlot = True
        Document[a.dwg].ActiveLayout
        Layout[Model].RefreshPlotDeviceInfo()
        Document[a.dwg].Plot
        Plot[a.dwg].QuietErrorMode = True
        Document[a.dwg].Plot
        Plot[a.dwg].PlotToDevice()
    )calls")));
}

TEST_F(ModelSpaceTest, AStopRequestOrAFailedCheckCallsNothing) {
    window.stop = true;
    choices.StrPrinter = "";
    runs.PlotModelSpace();
    EXPECT_THAT(cad.Calls(), IsEmpty());  // not even the check's message
    window.stop = false;
    choices.StrPrinter = "Office Printer";
    choices.StrCTB = "Select Plot Style Table";
    runs.PlotModelSpace();
    EXPECT_THAT(cad.Calls(), ElementsAre("# Message: Plot Style Table Not Selected"));
}

// The paper: the first name equal to the choice ignoring case, else the first that contains
// it; none, and the paper is left alone. The plot goes ahead either way.
TEST_F(ModelSpaceTest, PaperRule) {
    const struct {
        fake::Strings names;
        std::string choice, chosen;
    } cases[] = {{{"Letter", "iso_a4", "A4"}, "ISO_A4", "iso_a4"},
                 {{"ISO_A4_x", "iso_a4_y"}, "a4", "iso_a4_y"},
                 {{"Letter", "Legal"}, "A4", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.choice + " -> " + c.chosen);
        cad.ClearCalls();
        const std::size_t plots = cad.Plots().size();
        cad.Media("Office Printer", c.names);
        choices.StrPaper = c.choice;
        runs.PlotModelSpace();
        const auto set = cad.CallsWith("CanonicalMediaName =");
        if (c.chosen.empty()) {
            EXPECT_THAT(set, IsEmpty());
        } else {
            EXPECT_THAT(set,
                        ElementsAre("Layout[Model].CanonicalMediaName = \"" + c.chosen + "\""));
        }
        EXPECT_EQ(cad.Plots().size(), plots + 1);
    }
}

// Drawings with named plot styles (an .stb table, ending in lower case) get the choice as .stb.
TEST_F(ModelSpaceTest, NamedStyleDrawingsGetTheStbTable) {
    const struct {
        std::string layoutTable, choice, written;
    } cases[] = {{"monochrome.stb", "acad.ctb", "acad.stb"},
                 {"monochrome.stb", "ctb.ctb", "stb.stb"},
                 {"monochrome.STB", "acad.ctb", "acad.ctb"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layoutTable + " " + c.choice);
        cad.Drawing("/jobs/s.dwg").StyleSheet(c.layoutTable);
        OpenScripted("/jobs/s.dwg");
        choices.StrCTB = c.choice;
        runs.PlotModelSpace();
        EXPECT_THAT(cad.CallsWith("StyleSheet ="),
                    ElementsAre("Layout[Model].StyleSheet = \"" + c.written + "\""));
    }
}

TEST_F(ModelSpaceTest, PlotterConfigurationsPlotToAFileBesideTheDrawing) {
    choices.StrPrinter = "DWG To PDF.pc3";
    runs.PlotModelSpace();
    cad.PlotToFileResult(false);  // a failed file plot is followed by a device plot
    runs.PlotModelSpace();
    choices.StrPrinter = "Plotter.PC3";  // only the lower-case ending means a file
    runs.PlotModelSpace();
    const std::string toPdf = "Plot[a.dwg].PlotToFile(\"/jobs/a.plt\", \"DWG To PDF.pc3\")";
    EXPECT_THAT(cad.CallsWith("PlotTo"), ElementsAre(toPdf, toPdf, "Plot[a.dwg].PlotToDevice()",
                                                     "Plot[a.dwg].PlotToDevice()"));
}

TEST_F(ModelSpaceTest, AFailingCallEndsThePlotAndReachesTheCaller) {
    cad.FailOn("Layout.ConfigName", "Invalid input");
    EXPECT_THROW(runs.PlotModelSpace(), cad::CadError);
    EXPECT_EQ(cad.Calls().back(), "Layout[Model].ConfigName = \"Office Printer\"");
    EXPECT_TRUE(cad.Plots().empty());
}

}  // namespace
