// The search's widgets on the offscreen platform: the directory list, the folder tree, the
// list of drawings and the preview.
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QFileSystemModel>
#include <QFrame>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "PreviewTestData.h"
#include "TempTree.h"
#include "UserInput.h"
#include "search/FileSystemPath.h"
#include "search/widgets/DirListBox.h"
#include "search/widgets/DrawingListView.h"
#include "search/widgets/DwgThumbnail.h"
#include "search/widgets/FolderTree.h"

using namespace vx::search;
using namespace vx::testing;

namespace {

struct DirListBoxTest : ::testing::Test {
    TempTree t;
    DirListBox box;
    QPoint Center(int row) { return box.visualItemRect(box.item(row)).center(); }
    void SetUp() override {
        box.resize(200, 300);
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    }
};

TEST_F(DirListBoxTest, ShowsAncestorsTheFolderAndItsVisibleSubfolders) {
    t.Dir("Jobs/Site B").Dir("Jobs/site a").Dir("Jobs/.cache").Dir("Jobs/Archive");
    t.File("Jobs/plan.dwg").Link("Jobs/Linked", t.Path("Jobs/Archive"));
    t.Link("Jobs/Dangling", t.Path("none"));
    ASSERT_TRUE(box.SetPath(t.Path("Jobs") + "/"));
    QStringList texts;
    for (int i = 0; i < box.count(); ++i) {
        texts << box.item(i)->text();
    }
    const QStringList ancestors = t.Path("Jobs").split('/', Qt::SkipEmptyParts);
    EXPECT_EQ(texts, QStringList("/") + ancestors +
                         QStringList({"Archive", "Linked", "site a", "Site B"}));
    // The folder itself is the current entry; each entry knows its folder.
    EXPECT_EQ(box.currentRow(), ancestors.size());
    EXPECT_EQ(box.EntryPath(ancestors.size() + 1), t.Path("Jobs/Archive"));
    // No folder: nothing changes.
    EXPECT_FALSE(box.SetPath(t.Path("Jobs/plan.dwg")));
    EXPECT_FALSE(box.SetPath(t.Path("missing")));
    EXPECT_EQ(box.Path(), t.Path("Jobs"));
}

TEST_F(DirListBoxTest, DoubleClickOrEnterOpensSingleClickOnlySelects) {
    t.Dir("Jobs/Site");
    box.SetPath(t.Path("Jobs"));
    QSignalSpy change(&box, &DirListBox::Change);
    QSignalSpy click(&box, &DirListBox::Click);
    const int site = box.count() - 1;
    QTest::mouseClick(box.viewport(), Qt::LeftButton, {}, Center(site));
    EXPECT_EQ(click.count(), 1);
    EXPECT_EQ(box.Path(), t.Path("Jobs"));
    DoubleClick(box.viewport(), Center(site));
    EXPECT_EQ(box.Path(), t.Path("Jobs/Site"));
    box.setCurrentRow(box.count() - 2);
    QTest::keyClick(&box, Qt::Key_Return);
    box.SetPath(t.Path("Jobs"));  // the same folder: no change
    EXPECT_EQ(box.Path(), t.Path("Jobs"));
    EXPECT_EQ(change.count(), 2);
}

TEST_F(DirListBoxTest, SubfoldersWhoseNamesAreNoValidTextCanBeOpened) {
    t.Dir("A").RawDir("A", "Geb\xE4ude");
    box.SetPath(t.Path("A"));
    const QString entry = box.EntryPath(box.count() - 1);
    EXPECT_EQ(ToFileSystemPath(entry), t.Bytes("A/Geb\xE4ude"));
    EXPECT_TRUE(box.SetPath(entry));
    EXPECT_EQ(box.Path(), entry);
}

TEST(FolderTree, EverySelectionSetsBrowsePathAndTheFolder) {
    TempTree t;
    t.Dir("Jobs/Site").Dir("Jobs/.hidden");
    QWidget window;
    auto* picBrowse = new QFrame(&window);
    auto* dir1 = new DirListBox(&window);
    auto* tree = new FolderTree(picBrowse);
    picBrowse->setFrameStyle(QFrame::Box | QFrame::Plain);
    picBrowse->setLineWidth(3);
    picBrowse->setGeometry(8, 8, 200, 150);
    int changes = 0;
    QObject::connect(tree, &FolderTree::PathChange, [&] { PathChange(*dir1, tree->BrowsePath); });
    QObject::connect(dir1, &DirListBox::Change, [&] { ++changes; });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    tree->BrowseForFolder(FileSystemRoot());
    ASSERT_TRUE(tree->SelectFolder(t.Path("Jobs/Site")));
    EXPECT_EQ(tree->BrowsePath, t.Path("Jobs/Site"));
    EXPECT_EQ(dir1->Path(), t.Path("Jobs/Site"));
    EXPECT_EQ(changes, 2);
    // Hidden folders are not in the tree.
    const QModelIndex jobs = tree->Model().index(t.Path("Jobs"));
    QTRY_VERIFY(tree->Model().rowCount(jobs) == 1);
    EXPECT_EQ(tree->Model().fileName(tree->Model().index(0, 0, jobs)), "Site");
    // It fills its host whenever the host is resized.
    picBrowse->resize(321, 123);
    EXPECT_EQ(tree->geometry(), QRect(3, 3, 315, 117));
}

struct ListViewTest : ::testing::Test {
    DrawingListView list;
    void SetUp() override {
        list.resize(700, 300);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }
    QPoint RowCenter(int row) { return list.visualRect(list.Model().index(row, 0)).center(); }
};

TEST_F(ListViewTest, ClickingAHeaderSortsByThatColumn) {
    list.Model().AddRow(DrawingRow{"a", "/b/", "", "9 KB", ""});
    list.Model().AddRow(DrawingRow{"b", "/a/", "", "10 KB", ""});
    QHeaderView* h = list.header();
    const QPoint path(h->sectionViewportPosition(1) + 10, h->height() / 2);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, path);
    EXPECT_EQ(list.Model().Row(0).Path, "/a/");
    EXPECT_EQ(h->sortIndicatorSection(), 1);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, path);
    EXPECT_EQ(list.Model().Row(0).Path, "/b/");
    EXPECT_EQ(h->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST_F(ListViewTest, TheRightButtonAloneAsksForThePrintPopup) {
    list.Model().AddRow(DrawingRow{"a", "/a/", "", "", ""});
    list.Model().AddRow(DrawingRow{"b", "/b/", "", "", ""});
    QSignalSpy popup(&list, &DrawingListView::PrintPopupRequested);
    QTest::mousePress(list.viewport(), Qt::RightButton, {}, RowCenter(1));
    QTest::mouseRelease(list.viewport(), Qt::RightButton, {}, RowCenter(1));
    ASSERT_EQ(popup.count(), 1);
    EXPECT_EQ(popup.at(0).at(0).toPoint(), list.viewport()->mapToGlobal(RowCenter(1)));
    // With the left button held, the right one is not alone.
    QMouseEvent both(QEvent::MouseButtonPress, RowCenter(0),
                     list.viewport()->mapToGlobal(RowCenter(0)), Qt::RightButton,
                     Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.viewport(), &both);
    EXPECT_EQ(popup.count(), 1);
}

bool ShowsSomething(QWidget& w) {
    const QImage shot = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect inner = shot.rect().adjusted(4, 4, -4, -4);
    const QRgb first = shot.pixel(inner.center());
    for (int y = inner.top(); y < inner.bottom(); ++y) {
        for (int x = inner.left(); x < inner.right(); ++x) {
            if (shot.pixel(x, y) != first) {
                return true;
            }
        }
    }
    return false;
}

TEST(DwgThumbnail, ShowsTheStoredPreviewAndNothingOtherwise) {
    SKIP_WITHOUT_TESTDATA();
    DwgThumbnail thumb;
    thumb.resize(193, 105);
    thumb.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&thumb));
    EXPECT_FALSE(ShowsSomething(thumb));
    // a picture; none stored; a folder
    const std::tuple<QString, PreviewOutcome, bool> rows[] = {
        {"/dwg/libredwg/example_2000.dwg", PreviewOutcome::Image, true},
        {"/dwg/libredwg/2018_Text.dwg", PreviewOutcome::NoPreview, false},
        {"/", PreviewOutcome::Unreadable, false},
    };
    for (const auto& [file, outcome, shows] : rows) {
        thumb.SetDwgFileName(TestData() + file);
        EXPECT_EQ(thumb.Outcome(), outcome) << file.toStdString();
        EXPECT_EQ(ShowsSomething(thumb), shows) << file.toStdString();
    }
}

}  // namespace
