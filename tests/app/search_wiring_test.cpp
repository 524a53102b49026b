// The drawing search inside the main window: the start-up order with the folder tree,
// the tree's selection reaching the list, the preview, selecting every row, and the
// window's boundary around a starter that fails.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "../search/PreviewTestData.h"
#include "WindowHarness.h"
#include "search/FileSearch.h"
#include "search/widgets/DirListBox.h"
#include "search/widgets/DwgThumbnail.h"

using namespace vx;
using namespace vx::app;
using ::testing::ElementsAre;

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
    EXPECT_EQ(h.Names(f), QStringList({"p1.dwg", "P2.DWG"}));
    EXPECT_FALSE(f.Command2->isEnabled());
    EXPECT_TRUE(f.Status->text().startsWith("\nClick \"Select a Folder\""));
    EXPECT_EQ(f.Label1->text(), search::FoundLabelText(h.tree.Path("bin")));

    ASSERT_TRUE(Main(f));
    // The tree fills its box with the root selected; the list followed it there.
    EXPECT_EQ(f.PicBrowseTree->geometry(), f.PicBrowse->contentsRect());
    EXPECT_EQ(f.Dir1->Path(), search::FileSystemRoot());
    EXPECT_EQ(h.pointer.pointers.back(), Pointer::Default);
}

TEST_F(SearchWiringTest, AFolderChosenInTheTreeIsSearchedOnceAndEnablesPrinting) {
    h.tree.File("jobs/a.dwg").File("jobs/b.DWG").File("jobs/sub/c.dwg").File("jobs/x.txt");
    Form1& f = h.Start();
    h.pointer.pointers.clear();
    h.Select(f, h.tree.Path("jobs"));
    EXPECT_THAT(h.pointer.pointers, ElementsAre(Pointer::Hourglass, Pointer::Default));
    EXPECT_EQ(h.Names(f), QStringList({"a.dwg", "b.DWG"}));
    EXPECT_EQ(f.Status->text(), "2  Files Found  ");
    EXPECT_TRUE(f.Command2->isEnabled());
    QTest::mouseClick(f.Check1, Qt::LeftButton, {}, QPoint(6, f.Check1->height() / 2));
    EXPECT_EQ(h.Names(f), QStringList({"a.dwg", "b.DWG", "c.dwg"}));
}

TEST_F(SearchWiringTest, AClickOnARowPreviewsItsDrawingAndCtrlASelectsEveryRow) {
    h.tree.File("jobs/a.dwg").File("jobs/b.dwg").File("jobs/c.dwg");
    Form1& f = h.Start();
    h.Select(f, h.tree.Path("jobs"));
    QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, RowCenter(f, 1));
    const QString b = h.tree.Path("jobs/b.dwg");
    EXPECT_EQ(f.DwgThumbnail1->DwgFileName(), b);
    EXPECT_EQ(f.DwgThumbnail1->toolTip(), b);
    // The arrow keys preview the row left.
    QTest::keyClick(f.ListView1, Qt::Key_Down);
    QTest::keyClick(f.ListView1, Qt::Key_Up);
    EXPECT_EQ(f.DwgThumbnail1->DwgFileName(), h.tree.Path("jobs/c.dwg"));
    QTest::keyClick(f.ListView1, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(f.ListView1->selectionModel()->selectedRows().size(), 3);
}

TEST_F(SearchWiringTest, AStarterWhoseListFillingFailsIsReportedAndLeavesTheDefaultPointer) {
    h.tree.File("jobs/a.dwg");
    // The program in the current folder: no search at load, the lists stay unfilled.
    h.programFolder = QDir::currentPath();
    Form1& f = h.MakeForm();
    f.Form_Load();
    h.cad.FailOn("Layout.GetPlotDeviceNames", "Automation error", 1);
    ASSERT_TRUE(Main(f));
    EXPECT_EQ(vx::testing::Shown(h.messages), QStringList({"Vormex|Critical|Automation error"}));
    EXPECT_EQ(h.pointer.pointers.back(), Pointer::Default);

    // The window goes on: the next starter fills the lists and searches.
    h.Select(f, h.tree.Path("jobs"));
    EXPECT_EQ(f.cmbPrinter->count(), 3);
    EXPECT_EQ(h.Names(f), QStringList({"a.dwg"}));
}

TEST_F(SearchWiringTest, TheActionButtonStopsTheSearchItInterrupts) {
    for (int i = 0; i < 30; ++i) {
        h.tree.File(QString("jobs/f%1.dwg").arg(i, 2, 10, QChar('0')));
    }
    Form1& f = h.Start();
    h.Select(f, h.tree.Path("jobs"));
    f.Search().Pump().SetInterval(0);
    PostClick(f.cmdAction);
    f.Check1->setChecked(true);  // searches again, letting the click through
    EXPECT_LT(f.ListView1->Model().Count(), 30);
}

TEST_F(SearchWiringTest, RealDrawingsAreListedWithTheirPreviewAndTheWindowShowsThem) {
    SKIP_WITHOUT_TESTDATA();
    Form1& f = h.Start();
    const QString folder = QDir::toNativeSeparators(vx::testing::TestData() + "/dwg/libredwg");
    h.Select(f, folder);
    const int row = static_cast<int>(h.Names(f).indexOf("example_2000.dwg"));
    ASSERT_GE(row, 0);
    f.ListView1->scrollTo(f.ListView1->Model().index(row, 0));
    QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, RowCenter(f, row));

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
}

}  // namespace
