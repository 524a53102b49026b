#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "TempTree.h"
#include "UserInput.h"
#include "search/DirListBox.h"
#include "search/FileSystemPath.h"
#include "search/FolderListing.h"

using namespace vx::search;
using vx::testing::TempTree;

namespace {

QStringList Texts(const DirListBox& box) {
    QStringList out;
    for (int i = 0; i < box.count(); ++i) {
        out << box.item(i)->text();
    }
    return out;
}

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
    ASSERT_TRUE(box.SetPath(t.Path("Jobs")));
    const QStringList ancestors = t.Path("Jobs").split('/', Qt::SkipEmptyParts);
    EXPECT_EQ(Texts(box), QStringList("/") + ancestors +
                              QStringList({"Archive", "Linked", "site a", "Site B"}));
    // The folder itself is the current entry; each entry knows its folder.
    EXPECT_EQ(box.currentRow(), ancestors.size());
    EXPECT_EQ(box.EntryPath(0), "/");
    EXPECT_EQ(box.EntryPath(ancestors.size()), t.Path("Jobs"));
    EXPECT_EQ(box.EntryPath(ancestors.size() + 1), t.Path("Jobs/Archive"));
    EXPECT_EQ(box.Path(), t.Path("Jobs"));
}

TEST_F(DirListBoxTest, ChangingThePathRaisesChangeOnlyForAnotherFolder) {
    t.Dir("A").File("f.dwg");
    QSignalSpy change(&box, &DirListBox::Change);
    EXPECT_TRUE(box.SetPath(t.Path("A") + "/"));
    EXPECT_EQ(box.Path(), t.Path("A"));
    EXPECT_EQ(change.count(), 1);
    EXPECT_TRUE(box.SetPath(t.Path("A")));
    EXPECT_EQ(change.count(), 1);
    // No folder: nothing changes.
    for (const QString& path : {t.Path("f.dwg"), t.Path("missing"), QString()}) {
        EXPECT_FALSE(box.SetPath(path)) << path.toStdString();
    }
    EXPECT_EQ(box.Path(), t.Path("A"));
    EXPECT_EQ(change.count(), 1);
}

TEST_F(DirListBoxTest, DoubleClickOpensSingleClickOnlySelects) {
    t.Dir("Jobs/Site");
    box.SetPath(t.Path("Jobs"));
    QSignalSpy change(&box, &DirListBox::Change);
    QSignalSpy click(&box, &DirListBox::Click);
    const int site = box.count() - 1;
    QTest::mouseClick(box.viewport(), Qt::LeftButton, {}, Center(site));
    EXPECT_EQ(click.count(), 1);
    EXPECT_EQ(change.count(), 0);
    EXPECT_EQ(box.Path(), t.Path("Jobs"));
    EXPECT_EQ(box.currentRow(), site);

    DoubleClick(box.viewport(), Center(site));
    EXPECT_EQ(box.Path(), t.Path("Jobs/Site"));
    EXPECT_EQ(change.count(), 1);

    // Up again through an ancestor; Enter opens the current entry as well.
    const int jobs = box.count() - 2;
    ASSERT_EQ(box.item(jobs)->text(), "Jobs");
    DoubleClick(box.viewport(), Center(jobs));
    EXPECT_EQ(box.Path(), t.Path("Jobs"));
    box.setCurrentRow(box.count() - 1);
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_EQ(box.Path(), t.Path("Jobs/Site"));
    EXPECT_EQ(change.count(), 3);
}

TEST_F(DirListBoxTest, HorizontalExtentWidensTheScrollRange) {
    t.Dir("A");
    box.SetPath(t.Path("A"));
    EXPECT_EQ(box.horizontalScrollBar()->maximum(), 0);
    box.SetHorizontalExtent(1000);
    EXPECT_EQ(box.HorizontalExtent(), 1000);
    EXPECT_EQ(box.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_GE(box.horizontalScrollBar()->maximum(), 1000 - box.viewport()->width());
    // Refilling keeps it.
    t.Dir("A/B");
    box.SetPath(t.Path("A/B"));
    EXPECT_GE(box.horizontalScrollBar()->maximum(), 1000 - box.viewport()->width());
}

TEST_F(DirListBoxTest, SubfoldersWhoseNamesAreNoValidTextCanBeOpened) {
    t.Dir("A").RawDir("A", "Geb\xE4ude");
    box.SetPath(t.Path("A"));
    const QString entry = box.EntryPath(box.count() - 1);
    EXPECT_EQ(ToFileSystemPath(entry), t.Bytes("A/Geb\xE4ude"));
    EXPECT_TRUE(IsFolder(entry));
    EXPECT_TRUE(box.SetPath(entry));
    EXPECT_EQ(box.Path(), entry);
}

}  // namespace
