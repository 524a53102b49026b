#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ConnectionFixture.h"
#include "cad/PlotLists.h"

using namespace vx;
using namespace vx::cad;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

struct PlotListsTest : vx::testing::ConnectionFixture {
    PlotChoices choices{"0", "0", "0"};
    PlotLists lists{connection, choices};
    vx::testing::FakeChoiceList printers, papers, styles;

    void SetUp() override {
        ConnectionFixture::SetUp();
        // The window's change events.
        printers.onChange = [this] { lists.PrinterListEvent(printers, papers); };
        papers.onChange = [this] { lists.PaperListEvent(papers); };
        styles.onChange = [this] { lists.StyleListEvent(styles); };
    }
};

TEST_F(PlotListsTest, FirstFillConnectsListsEverythingAndSetsThePlaceholders) {
    cad.Devices({"None", "DWG To PDF.pc3", "Office Printer"})
        .Media(
            {"ISO_A4_(210.00_x_297.00_MM)", "A3", "A2", "letter", "ANSI_A_(8.50_x_11.00_Inches)"})
        .Styles({"acad.ctb", "monochrome.ctb"});
    lists.FillPlotLists(printers, papers, styles);

    EXPECT_TRUE(connection.CadApp);
    EXPECT_THAT(printers.items, ElementsAre("None", "DWG To PDF.pc3", "Office Printer"));
    EXPECT_THAT(papers.items, ElementsAre("A0", "A1", "A3", "A4", "ISO_A4_(210.00_x_297.00_MM)",
                                          "A2", "ANSI_A_(8.50_x_11.00_Inches)"));
    EXPECT_THAT(styles.items, ElementsAre("acad.ctb", "monochrome.ctb"));
    EXPECT_EQ(printers.text, kSelectPrinter);
    EXPECT_EQ(choices.StrPrinter, "Select a Printer");
    EXPECT_EQ(choices.StrPaper, "Select a Paper");
    EXPECT_EQ(choices.StrCTB, "Select Plot Style Table");
    EXPECT_EQ(lists.PaperExclusions, "A0  , A1  , A3  , A4");
    // The placeholder of the device list does not refill the paper list.
    EXPECT_EQ(cad.CallsWith("GetCanonicalMediaNames").size(), 1u);
    // Every examined paper name is asked for its local name.
    EXPECT_EQ(cad.CallsWith("GetLocaleMediaName").size(), 5u);
}

TEST_F(PlotListsTest, PaperFilterLooksAtThirtyPositionsOnly) {
    std::vector<std::string> media;
    for (int i = 0; i < 40; ++i) {
        media.push_back("A_" + std::to_string(i));
    }
    cad.Media(media);
    lists.FillPlotLists(printers, papers, styles);
    std::vector<std::string> expected{"A0", "A1", "A3", "A4"};
    for (int i = 0; i < 30; ++i) {
        expected.push_back("A_" + std::to_string(i));
    }
    EXPECT_THAT(papers.items, ElementsAreArray(expected));
    // Each position is asked for its local name before the bound test: 0 to 31, where the
    // position above 30 ends the loop.
    EXPECT_EQ(cad.CallsWith("GetLocaleMediaName").size(), 32u);
}

TEST_F(PlotListsTest, PiecesOfTheExclusionsAndNamesWithoutCapitalAAreLeftOut) {
    cad.Media({"A", "A1  , A3", "a4", "Letter", "xA4x", "A4", "USER_A4"});
    lists.FillPlotLists(printers, papers, styles);
    EXPECT_THAT(papers.items, ElementsAre("A0", "A1", "A3", "A4", "xA4x", "USER_A4"));
}

TEST_F(PlotListsTest, ChoosingADeviceRefillsPapersInTheOtherOrder) {
    cad.Devices({"None", "Plotter.pc3"}).Media({"ISO_A1_(594.00_x_841.00_MM)"});
    lists.FillPlotLists(printers, papers, styles);
    cad.ClearCalls();

    printers.SetText("Plotter.pc3");
    EXPECT_EQ(choices.StrPrinter, "Plotter.pc3");
    EXPECT_THAT(papers.items, ElementsAre("A0", "A1", "A4", "A3", "ISO_A1_(594.00_x_841.00_MM)"));
    EXPECT_EQ(lists.PaperExclusions, "A0  , A1  , A4  , A3");
    EXPECT_EQ(choices.StrPaper, "Select a Paper");
    // The device is not given to the layout before its papers are read.
    EXPECT_TRUE(cad.CallsWith("ConfigName").empty());

    cad.ClearCalls();
    printers.SetText("Select a Printer");
    EXPECT_EQ(choices.StrPrinter, "Select a Printer");
    EXPECT_TRUE(cad.CallsWith("GetCanonicalMediaNames").empty());
}

TEST_F(PlotListsTest, PaperAndStyleEventsCopyTheText) {
    papers.SetText("A4");
    styles.SetText("");
    EXPECT_EQ(choices.StrPaper, "A4");
    EXPECT_EQ(choices.StrCTB, "");
}

TEST_F(PlotListsTest, FailingCadCallReachesTheCaller) {
    cad.FailOn("Layout.GetPlotDeviceNames", "Device list unavailable");
    EXPECT_THROW(lists.FillPlotLists(printers, papers, styles), CadError);
}

}  // namespace
