// The drawing search inside the main window: the start-up order with the folder tree,
// the tree's selection reaching the list, the preview, the print popup, selecting every
// row, and the window's boundary around a starter that fails.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "../search/PreviewTestData.h"
#include "WindowHarness.h"
#include "search/DirListBox.h"
#include "search/DwgThumbnail.h"
#include "search/FileSearch.h"

using namespace vx;
using namespace vx::app;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

struct SearchWiringTest : ::testing::Test {
    vx::testing::WindowHarness h;

    QPoint RowCenter(Form1& f, int row) {
        return f.ListView1->visualRect(f.ListView1->Model().index(row, 0)).center();
    }
};

TEST_F(SearchWiringTest, LoadListsTheProgramsFolderAndTheTreesRootSelectionMovesTheListThere) {
    h.tree.File("bin/p1.dwg").File("bin/P2.DWG").File("bin/notes.txt");
    h.programFolder = h.tree.Path("bin");
    Form1& f = h.MakeForm();
    f.Form_Load();
    // The first search ran inside the load; the load's later steps came after it.
    EXPECT_EQ(f.Dir1->Path(), h.tree.Path("bin"));
    EXPECT_EQ(vx::testing::WindowHarness::Names(f), QStringList({"p1.dwg", "P2.DWG"}));
    EXPECT_EQ(f.ListView1->Model().Row(0).Path, h.tree.Path("bin") + QDir::separator());
    EXPECT_FALSE(f.Command2->isEnabled());
    EXPECT_TRUE(f.Status->text().startsWith("\nClick \"Select a Folder\""));
    EXPECT_EQ(f.Label1->text(), search::FoundLabelText(h.tree.Path("bin")));
    EXPECT_FALSE(f.PicBrowseTree->isVisible());

    ASSERT_TRUE(Main(f));
    // The tree fills its box with the root selected; the list followed it there.
    EXPECT_TRUE(f.PicBrowseTree->isVisible());
    EXPECT_EQ(f.PicBrowseTree->geometry(), f.PicBrowse->contentsRect());
    EXPECT_EQ(f.PicBrowseTree->BrowsePath, search::FileSystemRoot());
    EXPECT_EQ(f.Dir1->Path(), search::FileSystemRoot());
    const int rows = f.ListView1->Model().Count();
    for (int i = 0; i < rows; ++i) {
        EXPECT_EQ(f.ListView1->Model().Row(i).Path, search::FileSystemRoot());
    }
    EXPECT_EQ(f.Status->text(),
              rows > 0 ? search::FilesFoundText(rows) : QString(search::kNoFilesFound));
    EXPECT_THAT(h.messages.shown, IsEmpty());
    EXPECT_EQ(h.pointer.pointers.back(), Pointer::Default);
}

TEST_F(SearchWiringTest, AFolderChosenInTheTreeIsSearchedOnceAndEnablesPrinting) {
    h.tree.File("jobs/a.dwg").File("jobs/b.DWG").File("jobs/sub/c.dwg").File("jobs/x.txt");
    Form1& f = h.Start();
    // Each starter searches once: the hourglass once, then the default pointer.
    auto searchedOnce = [&](const std::function<void()>& starter) {
        h.pointer.pointers.clear();
        starter();
        EXPECT_THAT(h.pointer.pointers, ElementsAre(Pointer::Hourglass, Pointer::Default));
    };
    searchedOnce([&] { h.Select(f, h.tree.Path("jobs")); });
    EXPECT_EQ(f.Dir1->Path(), h.tree.Path("jobs"));
    EXPECT_EQ(vx::testing::WindowHarness::Names(f), QStringList({"a.dwg", "b.DWG"}));
    EXPECT_EQ(f.Status->text(), "2  Files Found  ");
    EXPECT_TRUE(f.Command2->isEnabled());
    searchedOnce([&] {
        QTest::mouseClick(f.Check1, Qt::LeftButton, {}, QPoint(6, f.Check1->height() / 2));
    });
    ASSERT_TRUE(f.Check1->isChecked());
    EXPECT_EQ(vx::testing::WindowHarness::Names(f), QStringList({"a.dwg", "b.DWG", "c.dwg"}));
    // Enter on the box searches again and leaves the list sorted.
    f.Check1->setFocus();
    searchedOnce([&] { QTest::keyClick(f.Check1, Qt::Key_Return); });
    EXPECT_TRUE(f.ListView1->Model().Sorted());
}

TEST_F(SearchWiringTest, AClickOnARowPreviewsItsDrawingAndTheArrowKeysPreviewTheRowLeft) {
    h.tree.File("jobs/a.dwg").File("jobs/b.dwg").File("jobs/c.dwg");
    Form1& f = h.Start();
    h.Select(f, h.tree.Path("jobs"));
    ASSERT_EQ(f.ListView1->Model().Count(), 3);
    QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, RowCenter(f, 1));
    const QString b = h.tree.Path("jobs/b.dwg");
    EXPECT_EQ(f.DwgThumbnail1->DwgFileName(), b);
    EXPECT_EQ(f.DwgThumbnail1->toolTip(), b);
    QTest::keyClick(f.ListView1, Qt::Key_Down);
    EXPECT_EQ(f.DwgThumbnail1->DwgFileName(), b);
    QTest::keyClick(f.ListView1, Qt::Key_Up);
    EXPECT_EQ(f.DwgThumbnail1->DwgFileName(), h.tree.Path("jobs/c.dwg"));

    // A new search keeps the picture until the next click.
    h.Select(f, h.tree.Root());
    EXPECT_EQ(f.ListView1->Model().Count(), 0);
    EXPECT_EQ(f.DwgThumbnail1->DwgFileName(), h.tree.Path("jobs/c.dwg"));
}

TEST_F(SearchWiringTest, TheListsRightButtonOpensThePrintPopupAndCtrlASelectsEveryRow) {
    h.tree.File("jobs/a.dwg").File("jobs/b.dwg").File("jobs/c.dwg");
    Form1& f = h.Start();
    h.Select(f, h.tree.Path("jobs"));
    // (Which buttons ask for the popup: the list view's own test.)
    QTest::mousePress(f.ListView1->viewport(), Qt::RightButton, {}, RowCenter(f, 2));
    EXPECT_TRUE(f.mnuPrint->isVisible());
    f.mnuPrint->close();

    QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, RowCenter(f, 0));
    ASSERT_EQ(f.ListView1->selectionModel()->selectedRows().size(), 1);
    QTest::keyClick(f.ListView1, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(f.ListView1->selectionModel()->selectedRows().size(), 3);
    EXPECT_EQ(f.ListView1->SelectedItem(), 0);
}

TEST_F(SearchWiringTest, AStarterWhoseListFillingFailsIsReportedAndLeavesTheDefaultPointer) {
    h.tree.File("jobs/a.dwg");
    // The program in the current folder: no search at load, the lists stay unfilled.
    h.programFolder = QDir::currentPath();
    Form1& f = h.MakeForm();
    f.Form_Load();
    ASSERT_EQ(f.cmbPrinter->count(), 0);
    h.cad.FailOn("Layout.GetPlotDeviceNames", "Automation error", 1);
    h.pointer.pointers.clear();
    ASSERT_TRUE(Main(f));
    EXPECT_EQ(vx::testing::Shown(h.messages), QStringList({"Vormex|Critical|Automation error"}));
    EXPECT_EQ(h.pointer.pointers.front(), Pointer::Hourglass);
    EXPECT_EQ(h.pointer.pointers.back(), Pointer::Default);

    // The window goes on: the next starter fills the lists and searches.
    h.pointer.pointers.clear();
    h.Select(f, h.tree.Path("jobs"));
    EXPECT_EQ(f.cmbPrinter->count(), 3);
    EXPECT_EQ(vx::testing::WindowHarness::Names(f), QStringList({"a.dwg"}));
    EXPECT_THAT(h.pointer.pointers, ElementsAre(Pointer::Hourglass, Pointer::Default));
    EXPECT_EQ(h.messages.shown.size(), 1u);
}

TEST_F(SearchWiringTest, TheActionButtonStopsTheSearchItInterruptsAndIdleStopsNothing) {
    for (int i = 0; i < 30; ++i) {
        h.tree.File(QString("jobs/f%1.dwg").arg(i, 2, 10, QChar('0')));
    }
    Form1& f = h.Start();
    h.Select(f, h.tree.Path("jobs"));
    ASSERT_EQ(f.ListView1->Model().Count(), 30);
    f.Search().Pump().SetInterval(0);
    PostClick(f.cmdAction);
    f.Check1->setChecked(true);  // searches again, letting the click through
    EXPECT_TRUE(f.StopRequested);
    EXPECT_LT(f.ListView1->Model().Count(), 30);
    f.StopRequested = false;
    QTest::mouseClick(f.cmdAction, Qt::LeftButton);
    EXPECT_FALSE(f.StopRequested);
}

TEST_F(SearchWiringTest, RealDrawingsAreListedWithTheirPreviewAndTheWindowShowsThem) {
    SKIP_WITHOUT_TESTDATA();
    Form1& f = h.Start();
    const QString folder = QDir::toNativeSeparators(vx::testing::TestData() + "/dwg/libredwg");
    h.Select(f, folder);
    const QStringList names = vx::testing::WindowHarness::Names(f);
    ASSERT_TRUE(names.contains("example_2000.dwg"));
    const int row = static_cast<int>(names.indexOf("example_2000.dwg"));
    f.ListView1->scrollTo(f.ListView1->Model().index(row, 0));
    QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, RowCenter(f, row));
    EXPECT_EQ(f.DwgThumbnail1->DwgFileName(), folder + "/example_2000.dwg");
    ASSERT_FALSE(f.DwgThumbnail1->Image().isNull());

    // What the user sees: the preview's area holds a picture, not the empty frame.
    const QImage shot = f.grab().toImage();
    const QRect area(f.DwgThumbnail1->mapTo(&f, f.DwgThumbnail1->contentsRect().topLeft()),
                     f.DwgThumbnail1->contentsRect().size());
    QSet<QRgb> colours;
    for (int y = area.top(); y <= area.bottom(); y += 2) {
        for (int x = area.left(); x <= area.right(); x += 2) {
            colours.insert(shot.pixel(x, y));
        }
    }
    EXPECT_GT(colours.size(), 2);
    if (const QString dir = qEnvironmentVariable("VORMEX_SCREENSHOT_DIR"); !dir.isEmpty()) {
        shot.save(dir + "/form1.png");
    }
}

}  // namespace
