#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QSignalSpy>
#include <QTest>

#include "TempTree.h"
#include "UserInput.h"
#include "search/FileSystemPath.h"
#include "search/widgets/DirListBox.h"

using namespace vx::search;
using vx::testing::TempTree;

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

}  // namespace
