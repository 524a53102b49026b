// The connection to the CAD application and the plot-choice lists it fills, on the
// recording test double.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeCad.h"
#include "Recorders.h"
#include "cad/CadConnection.h"
#include "plot/PlotLists.h"

using namespace vx;
using namespace vx::cad;
using namespace vx::plot;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

// A connection to the CAD test double, which serves the registry.
struct ConnectionTest : ::testing::Test {
    cad::ClassRegistry registry;
    fake::FakeCad cad;
    vx::testing::RecordingConnectionHost host;
    vx::testing::RecordingMessages messages;
    cad::CadConnection connection{host, messages, registry};

    void SetUp() override { cad.RegisterIn(registry); }
};

// Attaching to a running instance shows nothing and adds no drawing; single drawing mode
// (SDI 1) is switched off, any other value is left alone.
TEST_F(ConnectionTest, AttachesToRunningInstanceAndSwitchesSingleDrawingModeOff) {
    for (std::int32_t sdi : {2, 1}) {
        cad.ClearCalls();
        const std::string name = "a" + std::to_string(sdi) + ".dwg";
        cad.OpenNow("/jobs/" + name).Sdi(sdi);
        connection.ConnectCad();
        EXPECT_TRUE(connection.CadApp);
        EXPECT_FALSE(connection.CadStartedHere);
        EXPECT_THAT(host.events, IsEmpty());
        EXPECT_THAT(cad.CallsWith("Add"), IsEmpty());
        std::vector<std::string> sdiCalls{"Document[" + name + "].GetVariable(\"SDI\")"};
        if (sdi == 1) {
            sdiCalls.push_back("Document[" + name + "].SetVariable(\"SDI\", 0)");
        }
        EXPECT_EQ(cad.CallsWith("SDI"), sdiCalls);
        EXPECT_EQ(cad.Open(name)->sdi, sdi == 1 ? 0 : sdi);
    }
}

TEST_F(ConnectionTest, AddsADrawingWhenNoneIsOpen) {
    connection.ConnectCad();
    std::vector<std::string> head(cad.Calls().begin(), cad.Calls().begin() + 7);
    EXPECT_THAT(head, ElementsAre("GetObject(AutoCAD.Application)", "Application.Application",
                                  "Application.ActiveDocument", "Application.Application",
                                  "Application.Documents", "Documents.Count", "Documents.Add()"));
    EXPECT_THAT(cad.OpenDrawings(), ElementsAre("Drawing1.dwg"));
}

TEST_F(ConnectionTest, StartsTheApplicationWhenNoneRuns) {
    cad.Running(false);
    connection.ConnectCad();
    EXPECT_TRUE(connection.CadStartedHere);
    EXPECT_EQ(cad.StartCount(), 1);
    EXPECT_THAT(
        host.events,
        ElementsAre("Status: \r\nOpening Autocad in Background. Please Wait... ", "Hide", "Show"));
    EXPECT_THAT(cad.CallsWith("Visible"), ElementsAre("Application.Visible = True"));

    // A second connect re-attaches and changes nothing of the window or the start state.
    host.events.clear();
    connection.ConnectCad();
    EXPECT_TRUE(connection.CadStartedHere);
    EXPECT_EQ(cad.StartCount(), 1);
    EXPECT_THAT(host.events, IsEmpty());
}

TEST_F(ConnectionTest, EndsTheProgramWithOneMessageWhenNothingCanBeStarted) {
    cad.Running(false).CreateFails();
    EXPECT_THROW(connection.ConnectCad(), ProgramEnded);
    ASSERT_EQ(messages.shown.size(), 1u);
    const Message& m = messages.shown[0];
    EXPECT_EQ(m.icon, MsgIcon::Information);
    EXPECT_EQ(m.buttons, MsgButtons::Ok);
    EXPECT_EQ(m.title, "Coult not start AutoCAD");
    EXPECT_EQ(m.text,
              "Could not start autocad application. \r\n"
              "Start Autocad application and then retry Sheafrun\r\nExiting Sheafrun now");
    EXPECT_THAT(
        host.events,
        ElementsAre("Status: \r\nOpening Autocad in Background. Please Wait... ", "Hide", "End"));
    EXPECT_FALSE(connection.CadApp);
    EXPECT_FALSE(connection.CadStartedHere);

    // No registered class counts as nothing that can be started.
    registry.Unregister(kCadClassName);
    EXPECT_THROW(connection.ConnectCad(), ProgramEnded);
    EXPECT_EQ(messages.shown.size(), 2u);
}

TEST_F(ConnectionTest, FailingSdiAndAddAreSkipped) {
    cad.FailOn("Documents.Add", "Cannot add");
    connection.ConnectCad();
    EXPECT_TRUE(connection.CadApp);
    cad.OpenNow("/jobs/a.dwg").Sdi(1);
    cad.FailOn("Document.SetVariable", "Refused");
    EXPECT_NO_THROW(connection.ConnectCad());
    EXPECT_THAT(messages.shown, IsEmpty());
}

TEST_F(ConnectionTest, QuitCadQuitsOnceAndReleases) {
    connection.ConnectCad();
    cad.FailOn("Application.Quit", "Busy");
    connection.QuitCad();
    EXPECT_FALSE(connection.CadApp);
    EXPECT_THAT(cad.CallsWith("Quit"), ElementsAre("Application.Quit()"));
    connection.QuitCad();  // absent: nothing
    EXPECT_EQ(cad.CallsWith("Quit").size(), 1u);
}

TEST_F(ConnectionTest, ClosingDrawingsKeepsTheUsersUnsavedWork) {
    cad.OpenNow("/jobs/clean.dwg");
    cad.OpenNow("/jobs/changed.dwg").Modified(3);
    connection.ConnectCad();
    cad.Drawing("/jobs/clean.dwg");
    connection.CadApp->Documents()->Open("/jobs/clean.dwg", true);
    cad.Drawing("/jobs/mine.dwg");
    auto mine = connection.CadApp->Documents()->Open("/jobs/mine.dwg", true);
    connection.NoteOpenedHere(*mine);
    cad.ClearCalls();

    connection.CloseOpenDrawings();
    EXPECT_THAT(cad.OpenDrawings(), ElementsAre("changed.dwg"));
    EXPECT_THAT(cad.CallsWith("Close"),
                ElementsAre("Document[clean.dwg].Close(False)", "Document[clean.dwg].Close(False)",
                            "Document[mine.dwg].Close(False)"));
}

TEST_F(ConnectionTest, DrawingWithUnreadableStateIsKept) {
    cad.OpenNow("/jobs/odd.dwg");
    connection.ConnectCad();
    cad.FailOn("Document.GetVariable", "Busy");
    connection.CloseOpenDrawings();
    EXPECT_THAT(cad.OpenDrawings(), ElementsAre("odd.dwg"));
}

TEST_F(ConnectionTest, ADrawingClosedByTheProgramIsNoLongerItsOwn) {
    connection.ConnectCad();
    cad.Drawing("/jobs/a.dwg");
    auto first = connection.CadApp->Documents()->Open("/jobs/a.dwg", true);
    connection.NoteOpenedHere(*first);
    auto second = connection.CadApp->Documents()->Open("/jobs/a.dwg", true);
    connection.NoteOpenedHere(*second);
    EXPECT_TRUE(connection.CloseWithoutSaving(*first));
    // The other copy of the same path is still the program's own.
    EXPECT_TRUE(connection.OpenedHere(*second));
    EXPECT_TRUE(connection.CloseWithoutSaving(*second));

    // The user opens the same file later and changes it: that is the user's work.
    cad.OpenNow("/jobs/a.dwg").Modified(1);
    connection.CloseOpenDrawings();
    EXPECT_THAT(cad.OpenDrawings(), ElementsAre("a.dwg"));
}

struct PlotListsTest : ConnectionTest {
    PlotChoices choices{"0", "0", "0"};
    PlotLists lists{connection, choices};
    vx::testing::FakeChoiceList printers, papers, styles;

    void SetUp() override {
        ConnectionTest::SetUp();
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

TEST_F(PlotListsTest, FailuresReachTheCaller) {
    cad.FailOn("Layout.GetPlotDeviceNames", "Device list unavailable");
    EXPECT_THROW(lists.FillPlotLists(printers, papers, styles), CadError);
}

}  // namespace
