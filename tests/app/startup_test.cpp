// Start-up with no CAD application that can be reached or started: one message, the
// window closed without being shown, the settings written, the event loop never entered.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QComboBox>
#include <QLabel>

#include "ShellHarness.h"
#include "app/Main.h"

using namespace vx;
using namespace vx::app;
using ::testing::ElementsAre;

namespace {

TEST(NoBackEnd, StartUpShowsOneMessageAndEndsWithTheSettingsWritten) {
    // From another folder the load's folder change connects first; from the program's own
    // folder there is no folder change and the connect step itself finds nothing to start.
    for (bool ownFolder : {false, true}) {
        SCOPED_TRACE(ownFolder ? "own folder" : "other folder");
        vx::testing::ShellHarness h;
        if (ownFolder) {
            h.programFolder = QDir::currentPath();
        }
        Form1& f = h.MakeForm(/*noBackEnd=*/true);
        vx::testing::ShowCount events(f);
        EXPECT_FALSE(Main(f));
        ASSERT_EQ(h.messages.shown.size(), 1u);
        EXPECT_EQ(h.messages.shown[0].title, "Coult not start AutoCAD");
        EXPECT_EQ(events.shows, 0);
        // The unload ran: help windows closed, settings written as at any close.
        EXPECT_THAT(h.help.calls, ElementsAre("CloseAll()"));
        EXPECT_EQ(h.settings.Stored({"MainLeft", "MainTop", "CadPaper", "CadPrinter", "CadCTB"}),
                  "MainLeft=1000|MainTop=1000|CadPaper=0|CadPrinter=0|CadCTB=0");
        // Nothing after the end: no status text of the load's later steps, no hourglass.
        EXPECT_EQ(f.Status->text(), "\nOpening Autocad in Background. Please Wait... ");
        EXPECT_EQ(h.pointer.pointers.back(), Pointer::Default);
        // Later events do nothing once the program has ended.
        f.Dir1_Click();
        f.cmbPrinter->setEditText("x");
        EXPECT_EQ(h.messages.shown.size(), 1u);
    }
}

TEST(NoBackEnd, ABackEndThatCannotStartEndsTheSameWay) {
    vx::testing::ShellHarness h;
    h.cad.Running(false).CreateFails();
    Form1& f = h.MakeForm();
    vx::testing::ShowCount events(f);
    EXPECT_FALSE(Main(f));
    EXPECT_EQ(h.messages.shown.size(), 1u);
    EXPECT_THAT(h.cad.CallsWith("CreateObject"), ElementsAre("CreateObject(AutoCAD.Application)"));
    EXPECT_EQ(events.shows, 0);
}

}  // namespace
