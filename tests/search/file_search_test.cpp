#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>

#include "SearchRecorder.h"
#include "TempTree.h"
#include "search/FileSearch.h"
#include "search/FileSystemPath.h"

using namespace vx::search;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Not;
using vx::testing::RecordingSearchHost;
using vx::testing::TempTree;

namespace {

std::string Searching(const QString& folder) {
    return "Status: Searching ... " + folder.toStdString() + "<CR>Press Cancel to stop search.";
}

std::string Found(const QString& dir) {
    return "Label1: Found following files in " + dir.toStdString() +
           " Use shift key to select multiple files and right click to get more options";
}

struct SearchTest : ::testing::Test {
    TempTree t;
    RecordingSearchHost host;
    FileSearch search{host, QLocale(QLocale::English, QLocale::UnitedStates)};

    void SetUp() override {
        host.onCheck1Click = [this] { search.Check1_Click(); };
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
    std::vector<std::string> Statuses() const {
        std::vector<std::string> out;
        for (const auto& l : host.log) {
            if (l.rfind("Status: Searching", 0) == 0) {
                out.push_back(l);
            }
        }
        return out;
    }
};

TEST_F(SearchTest, DirChangeRunsItsStepsInOrder) {
    t.File("a.dwg", 100).File("B.DWG").File("c.txt").Dir("x.dwg").File(".h.dwg");
    host.printerCount = 1;
    search.Dir1_Change();
    EXPECT_THAT(host.log,
                ElementsAre("Untick Check1", "Pointer Hourglass", "Clear", "FillPlotLists",
                            "StopRequested := False", Searching(t.Root()), Searching(F()),
                            "Row a.dwg", "Row B.DWG", "Status: ", Found(t.Root()),
                            "Status: 2  Files Found  ", "Command2 enabled", "Pointer Default"));
    // The starter names the folder as Dir1 has it, the search with its separator.
    EXPECT_EQ(host.rows.at(0).FullPath(), F() + "a.dwg");
}

TEST_F(SearchTest, DirChangeWithSubfoldersTickedUnticksWhichSearchesFirst) {
    t.File("a.dwg").File("Sub/b.dwg");
    host.includeSubfolders = true;
    search.Dir1_Change();
    EXPECT_FALSE(host.includeSubfolders);
    EXPECT_THAT(host.Names(), ElementsAre("a.dwg"));
    // Check1_Click's complete search comes between the untick and Dir1_Change's own steps.
    EXPECT_THAT(Steps(),
                ElementsAre("Untick Check1", "Pointer Hourglass", "Clear", "StopRequested := False",
                            "Command2 enabled", "Pointer Default", "Pointer Hourglass", "Clear",
                            "StopRequested := False", "Command2 enabled", "Pointer Default"));
}

TEST_F(SearchTest, CheckClickFillsThePlotListsAfterResettingTheStop) {
    t.File("a.dwg");
    host.printerCount = 0;
    search.Check1_Click();
    EXPECT_THAT(Steps(), ElementsAre("Pointer Hourglass", "Clear", "StopRequested := False",
                                     "FillPlotLists", "Command2 enabled", "Pointer Default"));
    // Filled once, the lists are not filled again.
    host.log.clear();
    search.Check1_Click();
    EXPECT_THAT(host.log, Not(Contains("FillPlotLists")));
}

TEST_F(SearchTest, CheckKeyDownSearchesOnEnterOnlyAndSortsTheListAndOtherCaptionsDoNothing) {
    t.File("a.dwg");
    search.Check1_KeyDown(65);
    search.Check1_KeyDown(32);
    search.cmdAction_Click("S&top Search");
    EXPECT_TRUE(host.log.empty());
    host.printerCount = 1;
    search.Check1_KeyDown(kEnterKey);
    EXPECT_THAT(Steps(),
                ElementsAre("Pointer Hourglass", "FillPlotLists", "Clear", "StopRequested := False",
                            "Command2 enabled", "Sorted", "Pointer Default"));
}

TEST_F(SearchTest, ActionButtonStopsOnCancelAndSearchesOnFindFiles) {
    t.File("a.dwg");
    search.cmdAction_Click(kCancelCaption);
    EXPECT_THAT(host.log, ElementsAre("StopRequested := True"));
    host.log.clear();
    host.printerCount = 0;
    search.cmdAction_Click(kFindFilesCaption);
    // No plot lists and no Command2 for this starter.
    EXPECT_THAT(Steps(), ElementsAre("Pointer Hourglass", "Clear", "StopRequested := False",
                                     "Pointer Default"));
    EXPECT_EQ(host.status, "1  Files Found  ");
}

TEST_F(SearchTest, DirClickAppendsOnlyWhenTheListDoesNotShowTheFolder) {
    t.File("a.dwg");
    host.rows.push_back(DrawingRow{"o.dwg", "/elsewhere/", "", "", ""});
    search.Dir1_Click();
    // Not cleared, no stop reset, no starter status: the rows are appended.
    EXPECT_THAT(host.Names(), ElementsAre("o.dwg", "a.dwg"));
    EXPECT_THAT(Steps(), ElementsAre("Pointer Hourglass", "Command2 enabled", "Pointer Default"));
    EXPECT_EQ(search.LastDirPath, t.Root());

    // The list's first row lies in the folder: nothing is searched.
    host.log.clear();
    host.rows = {DrawingRow{"a.dwg", F(), "", "", ""}};
    search.LastDirPath.clear();
    search.Dir1_Click();
    EXPECT_EQ(host.rows.size(), 1u);
    EXPECT_EQ(search.LastDirPath, t.Root());
    EXPECT_THAT(host.log, ElementsAre("Pointer Hourglass", "Command2 enabled", "Pointer Default"));

    // The test is on the text: a first row from a subfolder also counts.
    host.rows = {DrawingRow{"s.dwg", F("Sub"), "", "", ""}};
    search.LastDirPath.clear();
    search.Dir1_Click();
    EXPECT_EQ(host.rows.size(), 1u);
}

TEST_F(SearchTest, DirClickSearchesAFolderWithoutDrawingsEveryTimeAndKeepsAStandingStop) {
    t.File("a.dwg").File("b.dwg").Dir("Empty");
    host.dirPath = t.Path("Empty");
    host.printerCount = 0;
    search.Dir1_Click();
    EXPECT_THAT(host.log, Contains(Searching(F("Empty"))));
    EXPECT_THAT(host.log, Contains("FillPlotLists"));
    host.log.clear();
    search.Dir1_Click();
    EXPECT_THAT(host.log, ElementsAre("Pointer Hourglass", "Pointer Default"));
    host.dirPath = t.Root();
    host.stop = true;
    search.Dir1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("a.dwg"));
}

TEST_F(SearchTest, RowsFollowListingOrderFolderByFolderDepthFirst) {
    t.File("J/a.dwg").File("J/S1/b.dwg").File("J/S1/T/c.dwg").File("J/S2/d.dwg");
    t.File("J/Rev.2/e.dwg").File("J/.hid/f.dwg").File("J/README").File("J/s10/g.dwg");
    InJWithSubfolders();
    search.Check1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("a.dwg", "b.dwg", "c.dwg", "g.dwg", "d.dwg"));
    // Rev.2 (a dot), the hidden folder and the file without extension are not entered.
    EXPECT_THAT(Statuses(),
                ElementsAre(Searching(t.Path("J")), Searching(F("J")), Searching(F("J/S1")),
                            Searching(F("J/S1/T")), Searching(F("J/s10")), Searching(F("J/S2"))));
    EXPECT_EQ(host.rows[2].Path, F("J/S1/T"));
}

TEST_F(SearchTest, FilesComeInListingOrderAndOnlyOrdinaryVisibleMatchingOnes) {
    t.File("b.dwg").File("_z.dwg").File("A.dwg").File("a2.DWG").File("plan.dwg.bak");
    t.Dir("folder.dwg").File(".secret.dwg").Link("link.dwg", t.Path("A.dwg"));
    t.Link("dangling.dwg", t.Path("none.dwg"));
    ASSERT_EQ(::mkfifo(t.Path("pipe.dwg").toStdString().c_str(), 0600), 0);
    search.Check1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("A.dwg", "a2.DWG", "b.dwg", "link.dwg", "_z.dwg"));
}

TEST_F(SearchTest, ThePatternIsTakenAsTyped) {
    t.File("a.dwg").File("b.dxf").File("c1.dwg").File("NOEXT");
    host.pattern = "*.DXF";
    search.Check1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("b.dxf"));
    host.pattern = "?1.*";
    search.Check1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("c1.dwg"));
    host.pattern = "";
    search.Check1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("a.dwg", "b.dxf", "c1.dwg", "NOEXT"));
}

TEST_F(SearchTest, SubfolderBoxIsReadAfreshInEveryFolder) {
    t.File("J/a.dwg").File("J/S1/b.dwg").File("J/S1/T/c.dwg").File("J/S1/T/U/e.dwg");
    t.File("J/S2/d.dwg");
    InJWithSubfolders();
    // Unticked while the search is in S1: T is still entered (S1 collected it), but T no
    // longer collects U; S2 was collected at the top.
    host.onKeepAlive = [this] {
        if (host.status.contains("S1")) {
            host.includeSubfolders = false;
        }
    };
    search.vFileSearch(host.dirPath, host.pattern);
    EXPECT_THAT(host.Names(), ElementsAre("a.dwg", "b.dwg", "c.dwg", "d.dwg"));
}

TEST_F(SearchTest, RowsCarrySizeDateAndTypeTexts) {
    const QDateTime midnight(QDate(2021, 6, 15), QTime(0, 0));
    const QDateTime afternoon(QDate(2021, 6, 15), QTime(13, 4, 5));
    t.File("s.dwg", 1536, midnight).File("t.dwg", 256, afternoon).File("u.dwg", 0, afternoon);
    search.Check1_Click();
    QStringList texts;
    for (const DrawingRow& r : host.rows) {
        texts << QStringList{r.FileName, r.Path, r.FileType, r.Size, r.LastModified}.join('|');
    }
    const QString dir = F() + "|" + FileTypeNames().Describe("s.dwg") + "|";
    EXPECT_EQ(texts, QStringList({"s.dwg|" + dir + "1.5 KB|6/15/21",
                                  "t.dwg|" + dir + "0.2 KB|6/15/21 1:04:05 PM",
                                  "u.dwg|" + dir + "0 KB|6/15/21 1:04:05 PM"}));
}

TEST_F(SearchTest, AFolderPathWithItsSeparatorIsNotDoubled) {
    t.File("a.dwg");
    host.dirPath = F();
    search.Check1_Click();
    EXPECT_EQ(host.rows.at(0).Path, F());
    EXPECT_THAT(Statuses(), ElementsAre(Searching(F()), Searching(F())));
}

TEST_F(SearchTest, NothingFoundSaysSoInBothPlacesAndLeavesCommand2Alone) {
    t.File("a.dwg").Dir("Empty");
    search.Check1_Click();
    EXPECT_TRUE(host.printAllEnabled);
    host.log.clear();
    host.dirPath = t.Path("Empty");
    search.Check1_Click();
    EXPECT_EQ(host.label, kNoFilesFound);
    EXPECT_EQ(host.status, kNoFilesFound);
    EXPECT_THAT(host.log, Not(Contains("Command2 enabled")));
    EXPECT_TRUE(host.printAllEnabled);
}

TEST_F(SearchTest, AMatchDeepDownIsReportedAtTheEnd) {
    t.File("J/S1/T/c.dwg").Dir("J/S2");
    InJWithSubfolders();
    search.Check1_Click();
    EXPECT_EQ(host.status, "1  Files Found  ");
    EXPECT_EQ(host.label.toStdString(), Found(t.Path("J")).substr(8));
    // S2, after T, found nothing of its own but reports the row listed before.
    EXPECT_THAT(host.log, Not(Contains("Label1: No Files Found. Try Again")));
}

TEST_F(SearchTest, DirExtentIsSetAtTheEndOfEveryLevelFromItsFolder) {
    t.File("J/S/a.dwg");
    InJWithSubfolders();
    host.logExtent = true;
    host.charWidth = 85;  // W = text width / 85 * 7 = 7 per character
    search.vFileSearch(host.dirPath, host.pattern);
    EXPECT_THAT(Steps(), ElementsAre("Extent " + std::to_string(7 * F("J/S").size()),
                                     "Extent " + std::to_string(7 * F("J").size())));
    host.log.clear();
    host.charWidth = 10;  // 10 * n / 85 * 7 rounded
    search.vFileSearch(host.dirPath, host.pattern);
    EXPECT_EQ(host.extent, static_cast<int>(std::lround(70.0 * F("J").size() / 85)));
    host.log.clear();
    host.charWidth = 0;  // no width: the extent is not touched
    search.vFileSearch(host.dirPath, host.pattern);
    EXPECT_THAT(host.log, Not(Contains(::testing::StartsWith("Extent"))));
}

TEST_F(SearchTest, LinksBackIntoTheTreeNeitherLoopNorListTwiceAndALinkOutsideIsSearchedOnce) {
    t.File("J/a.dwg").File("J/S/b.dwg").File("Outside/o.dwg").Link("J/Ext", t.Path("Outside"));
    t.Link("J/S/loop", t.Path("J")).Link("J/S/self", t.Path("J/S")).Link("J/T", t.Path("J/S"));
    InJWithSubfolders();
    search.Check1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("a.dwg", "o.dwg", "b.dwg"));
    EXPECT_EQ(host.rows[1].Path, F("J/Ext"));
    EXPECT_EQ(host.status, "3  Files Found  ");
    // A second search finds the same again: what was searched belongs to one search.
    search.Check1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("a.dwg", "o.dwg", "b.dwg"));
}

TEST_F(SearchTest, AFolderThatCannotBeReadContributesNothingAndTheSearchGoesOn) {
    t.File("J/A/a.dwg").File("J/B/b.dwg").File("J/C/c.dwg");
    InJWithSubfolders();
    // B disappears while A is searched: its listing fails.
    host.onKeepAlive = [this] {
        if (host.status.contains("/A/")) {
            QDir(t.Path("J/B")).removeRecursively();
        }
    };
    search.Check1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("a.dwg", "c.dwg"));
    EXPECT_EQ(host.status, "2  Files Found  ");
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
}

TEST_F(SearchTest, NamesThatAreNoValidTextAreListedAndLeadBackToTheFile) {
    t.RawFile("", "Pl\xE4n.dwg").RawDir("", "Geb\xE4ude").RawFile("Geb\xE4ude", "x.dwg");
    host.includeSubfolders = true;
    search.Check1_Click();
    ASSERT_EQ(host.rows.size(), 2u);
    for (const auto& row : host.rows) {
        const std::string bytes = ToFileSystemPath(row.FullPath());
        EXPECT_EQ(::access(bytes.c_str(), R_OK), 0) << bytes;
    }
    // The folder's own file first, then the subfolder's.
    EXPECT_EQ(ToFileSystemPath(host.rows[0].FileName), "Pl\xE4n.dwg");
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
    EXPECT_THAT(Statuses(), Not(Contains(Searching(F("S1/Deep")))));
    // Each stopped level sets the default pointer; the starter's last step does not run.
    EXPECT_THAT(Steps(), ElementsAre("Pointer Hourglass", "Clear", "StopRequested := False",
                                     "Pointer Default", "Pointer Default", "Command2 enabled"));
    EXPECT_EQ(host.status, "4  Files Found  ");
}

TEST_F(SearchTest, DuringASearchTheActionButtonStopsAndOtherStartersWait) {
    t.File("a.dwg").File("b.dwg").File("c.dwg").File("d.dwg");
    host.onKeepAlive = [this] {
        if (host.rows.size() == 2) {
            search.Dir1_Change();
            search.Check1_Click();
            search.Check1_KeyDown(kEnterKey);
            search.Dir1_Click();
            EXPECT_TRUE(search.Searching());
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
