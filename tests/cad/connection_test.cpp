#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ConnectionFixture.h"
#include "cad/CadConnection.h"

using namespace vx;
using namespace vx::cad;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using ConnectionTest = vx::testing::ConnectionFixture;

TEST_F(ConnectionTest, AttachesToRunningInstanceAndLeavesMultipleDrawingModeAlone) {
    cad.OpenNow("/jobs/a.dwg").Sdi(2);
    connection.ConnectCad();
    EXPECT_TRUE(connection.CadApp);
    EXPECT_FALSE(connection.CadStartedHere);
    EXPECT_THAT(host.events, IsEmpty());
    EXPECT_THAT(cad.CallsWith("SDI"), ElementsAre("Document[a.dwg].GetVariable(\"SDI\")"));
    EXPECT_THAT(cad.CallsWith("Add"), IsEmpty());
}

TEST_F(ConnectionTest, SwitchesSingleDrawingModeOff) {
    cad.OpenNow("/jobs/a.dwg").Sdi(1);
    connection.ConnectCad();
    EXPECT_THAT(cad.CallsWith("SDI"), ElementsAre("Document[a.dwg].GetVariable(\"SDI\")",
                                                  "Document[a.dwg].SetVariable(\"SDI\", 0)"));
    EXPECT_EQ(cad.Open("a.dwg")->sdi, 0);
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
}

TEST_F(ConnectionTest, NoRegisteredClassCountsAsNotStartable) {
    registry.Unregister(kCadClassName);
    EXPECT_THROW(connection.ConnectCad(), ProgramEnded);
    EXPECT_EQ(messages.shown.size(), 1u);
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
    auto opened = connection.CadApp->Documents()->Open("/jobs/clean.dwg", true);
    (void)opened;
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

}  // namespace
