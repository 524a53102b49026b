#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <sys/stat.h>
#include <unistd.h>

#include "SearchRecorder.h"
#include "TempTree.h"
#include "search/FileSearch.h"
#include "search/FileSystemPath.h"

using namespace vx::search;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;
using vx::testing::RecordingSearchHost;
using vx::testing::TempTree;

namespace {

std::string Searching(const QString& folder) {
    return "Status: Searching ... " + folder.toStdString() + "<CR>Press Cancel to stop search.";
}

struct SearchTest : ::testing::Test {
    TempTree t;
    RecordingSearchHost host;
    FileSearch search{host, QLocale(QLocale::English, QLocale::UnitedStates)};

    void SetUp() override {
        host.printerCount = 5;
        host.dirPath = t.Root();
    }
    void InJWithSubfolders() {
        host.dirPath = t.Path("J");
        host.includeSubfolders = true;
    }
    // A folder as the search names it, with its trailing separator.
    QString F(const QString& relative = QString()) const { return AddBackslash(t.Path(relative)); }
    // The log without the texts and rows.
    std::vector<std::string> Steps() const { return host.LogWithout({"Status", "Label1", "Row"}); }
};

TEST_F(SearchTest, DirChangeRunsItsStepsInOrder) {
    t.File("a.dwg", 100).File("B.DWG").File("c.txt").Dir("x.dwg").File(".h.dwg");
    host.printerCount = 1;
    search.Dir1_Change();
    EXPECT_THAT(
        host.log,
        ElementsAre(
            "Untick Check1", "Pointer Hourglass", "Clear", "FillPlotLists",
            "StopRequested := False", Searching(t.Root()), Searching(F()), "Row a.dwg", "Row B.DWG",
            "Status: ",
            "Label1: Found following files in " + t.Root().toStdString() +
                " Use shift key to select multiple files and right click to get more options",
            "Status: 2  Files Found  ", "Command2 enabled", "Pointer Default"));
}

TEST_F(SearchTest, KeyDownSearchesAndSortsOnEnterOnlyAndTheButtonStopsOnCancel) {
    t.File("a.dwg");
    search.Check1_KeyDown(65);
    EXPECT_TRUE(host.log.empty());
    search.Check1_KeyDown(kEnterKey);
    EXPECT_THAT(Steps(), ElementsAre("Pointer Hourglass", "Clear", "StopRequested := False",
                                     "Command2 enabled", "Sorted", "Pointer Default"));
    host.log.clear();
    search.cmdAction_Click(kCancelCaption);
    EXPECT_THAT(host.log, ElementsAre("StopRequested := True"));
}

TEST_F(SearchTest, DirClickAppendsOnlyWhenTheListDoesNotShowTheFolder) {
    t.File("a.dwg");
    host.rows.push_back(DrawingRow{"o.dwg", "/elsewhere/", "", "", ""});
    search.Dir1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("o.dwg", "a.dwg"));
    EXPECT_THAT(Steps(), ElementsAre("Pointer Hourglass", "Command2 enabled", "Pointer Default"));
    // The test is on the text: a first row from a subfolder also counts.
    host.rows = {DrawingRow{"s.dwg", F("Sub"), "", "", ""}};
    search.LastDirPath.clear();
    search.Dir1_Click();
    EXPECT_EQ(host.rows.size(), 1u);
}

TEST_F(SearchTest, RowsFollowListingOrderFolderByFolderDepthFirst) {
    t.File("J/a.dwg").File("J/S1/b.dwg").File("J/S1/T/c.dwg").File("J/S2/d.dwg");
    t.File("J/Rev.2/e.dwg").File("J/.hid/f.dwg").File("J/README").File("J/s10/g.dwg");
    InJWithSubfolders();
    search.Check1_Click();
    // Rev.2 (a dot) and the hidden folder are not entered.
    EXPECT_THAT(host.Names(), ElementsAre("a.dwg", "b.dwg", "c.dwg", "g.dwg", "d.dwg"));
}

TEST_F(SearchTest, FilesComeInListingOrderAndOnlyOrdinaryVisibleMatchingOnes) {
    t.File("b.dwg").File("_z.dwg").File("a.dwg").File("A.dwg").File("a2.DWG").File("plan.dwg.bak");
    t.Dir("folder.dwg").File(".secret.dwg").Link("link.dwg", t.Path("A.dwg"));
    t.Link("dangling.dwg", t.Path("none.dwg"));
    ASSERT_EQ(::mkfifo(t.Path("pipe.dwg").toStdString().c_str(), 0600), 0);
    search.Check1_Click();
    EXPECT_THAT(host.Names(),
                ElementsAre("A.dwg", "a.dwg", "a2.DWG", "b.dwg", "link.dwg", "_z.dwg"));
}

TEST_F(SearchTest, NothingFoundSaysSoInBothPlacesAndLeavesCommand2Alone) {
    t.Dir("Empty");
    host.dirPath = t.Path("Empty");
    search.Check1_Click();
    EXPECT_EQ(host.label, kNoFilesFound);
    EXPECT_EQ(host.status, kNoFilesFound);
    EXPECT_THAT(host.log, Not(Contains("Command2 enabled")));
}

TEST_F(SearchTest, LinksBackIntoTheTreeNeitherLoopNorListTwiceAndALinkOutsideIsSearchedOnce) {
    t.File("J/a.dwg").File("J/S/b.dwg").File("Outside/o.dwg").Link("J/Ext", t.Path("Outside"));
    t.Link("J/S/loop", t.Path("J")).Link("J/S/self", t.Path("J/S")).Link("J/T", t.Path("J/S"));
    InJWithSubfolders();
    search.Check1_Click();
    // A second search finds the same again: what was searched belongs to one search.
    search.Check1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("a.dwg", "o.dwg", "b.dwg"));
    EXPECT_EQ(host.rows[1].Path, F("J/Ext"));
}

TEST_F(SearchTest, AFolderWithoutPermissionContributesNothing) {
    t.File("J/A/a.dwg").File("J/B/b.dwg").File("J/C/c.dwg");
    ::chmod(t.Path("J/B").toStdString().c_str(), 0);
    // Permissions do not bind the superuser: as root, search as nobody.
    const bool root = ::geteuid() == 0;
    if (root) {
        ::chmod(t.Root().toStdString().c_str(), 0755);
        if (::setegid(65534) != 0 || ::seteuid(65534) != 0) {
            ::setegid(0);
            GTEST_SKIP() << "cannot search as another user";
        }
    }
    InJWithSubfolders();
    search.Check1_Click();
    if (root) {
        EXPECT_EQ(::seteuid(0), 0);
        EXPECT_EQ(::setegid(0), 0);
    }
    ::chmod(t.Path("J/B").toStdString().c_str(), 0755);
    EXPECT_THAT(host.Names(), ElementsAre("a.dwg", "c.dwg"));
    EXPECT_EQ(host.status, "2  Files Found  ");
}

TEST_F(SearchTest, NamesThatAreNoValidTextAreListedAndLeadBackToTheFile) {
    t.RawFile("", "Pl\xE4n.dwg").RawDir("", "Geb\xE4ude").RawFile("Geb\xE4ude", "x.dwg");
    host.includeSubfolders = true;
    search.Check1_Click();
    ASSERT_EQ(host.rows.size(), 2u);
    EXPECT_EQ(ToFileSystemPath(host.rows[0].FullPath()), t.Bytes("Pl\xE4n.dwg"));
    EXPECT_EQ(ToFileSystemPath(host.rows[1].FullPath()), t.Bytes("Geb\xE4ude/x.dwg"));
}

TEST_F(SearchTest, AStopLeavesTheCurrentLevelAfterItsFileAndTheCallerGoesOn) {
    t.File("a1.dwg").File("a2.dwg").File("S1/b1.dwg").File("S1/b2.dwg").File("S1/Deep/x.dwg");
    t.File("S2/c1.dwg").File("S2/c2.dwg");
    host.includeSubfolders = true;
    host.onKeepAlive = [this] {
        if (!host.rows.empty() && host.rows.back().FileName == "b1.dwg") {
            host.stop = true;  // as the action button does
        }
    };
    search.Check1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("a1.dwg", "a2.dwg", "b1.dwg", "c1.dwg"));
    // Each stopped level sets the default pointer; the starter's last step does not run.
    EXPECT_THAT(Steps(), ElementsAre("Pointer Hourglass", "Clear", "StopRequested := False",
                                     "Pointer Default", "Pointer Default", "Command2 enabled"));
}

TEST_F(SearchTest, DuringASearchTheActionButtonStopsAndOtherStartersWait) {
    t.File("a.dwg").File("b.dwg").File("c.dwg").File("d.dwg");
    host.onKeepAlive = [this] {
        if (host.rows.size() == 2) {
            search.Dir1_Change();
            search.Check1_KeyDown(kEnterKey);
            search.Dir1_Click();
            search.cmdAction_Click("S&top Search");
        }
    };
    search.Check1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("a.dwg", "b.dwg"));
    EXPECT_THAT(Steps(),
                ElementsAre("Pointer Hourglass", "Clear", "StopRequested := False",
                            "StopRequested := True", "Pointer Default", "Command2 enabled"));
    EXPECT_FALSE(search.Searching());
}

}  // namespace
