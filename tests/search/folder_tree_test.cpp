#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QFileSystemModel>
#include <QFrame>
#include <QSignalSpy>
#include <QTest>

#include "TempTree.h"
#include "search/DirListBox.h"
#include "search/FileSystemPath.h"
#include "search/FolderTree.h"

using namespace vx::search;
using vx::testing::TempTree;

namespace {

struct FolderTreeTest : ::testing::Test {
    TempTree t;
    QWidget window;
    QFrame* picBrowse = new QFrame(&window);
    DirListBox* dir1 = new DirListBox(&window);
    FolderTree* tree = new FolderTree(picBrowse);
    int changes = 0;

    void SetUp() override {
        picBrowse->setFrameStyle(QFrame::Box | QFrame::Plain);
        picBrowse->setLineWidth(3);
        picBrowse->setGeometry(8, 8, 200, 150);
        dir1->setGeometry(220, 8, 150, 150);
        QObject::connect(tree, &FolderTree::PathChange,
                         [this] { PathChange(*dir1, tree->BrowsePath); });
        QObject::connect(dir1, &DirListBox::Change, [this] { ++changes; });
        window.resize(400, 200);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
};

TEST_F(FolderTreeTest, FillsItsHostWheneverTheHostIsResized) {
    tree->BrowseForFolder(FileSystemRoot());
    EXPECT_EQ(tree->geometry(), picBrowse->contentsRect());
    picBrowse->resize(321, 123);
    EXPECT_EQ(tree->geometry(), picBrowse->contentsRect());
    EXPECT_EQ(tree->geometry(), QRect(3, 3, 315, 117));
}

TEST_F(FolderTreeTest, EverySelectionSetsBrowsePathAndTheFolder) {
    t.Dir("Jobs/Site").Dir("Jobs/.hidden");
    tree->BrowseForFolder(FileSystemRoot());
    ASSERT_TRUE(tree->SelectFolder(t.Path("Jobs/Site")));
    EXPECT_EQ(tree->BrowsePath, t.Path("Jobs/Site"));
    EXPECT_EQ(dir1->Path(), t.Path("Jobs/Site"));
    EXPECT_EQ(changes, 2);
    // Hidden folders are not in the tree.
    const QModelIndex jobs = tree->Model().index(t.Path("Jobs"));
    QTRY_VERIFY(tree->Model().rowCount(jobs) == 1);
    EXPECT_EQ(tree->Model().fileName(tree->Model().index(0, 0, jobs)), "Site");
}

TEST_F(FolderTreeTest, AnItemWithoutAFileSystemPathLeavesTheListAlone) {
    tree->BrowseForFolder(t.Root());
    const QString before = dir1->Path();
    PathChange(*dir1, QString());
    PathChange(*dir1, "/no/such/folder");
    EXPECT_EQ(dir1->Path(), before);
    EXPECT_EQ(changes, 1);
}

TEST_F(FolderTreeTest, TheTreeDoesNotFollowTheDirectoryList) {
    t.Dir("A").Dir("B");
    tree->BrowseForFolder(t.Path("A"));
    dir1->SetPath(t.Path("B"));
    EXPECT_EQ(tree->Model().filePath(tree->currentIndex()), t.Path("A"));
    EXPECT_EQ(tree->BrowsePath, t.Path("A"));
}

TEST_F(FolderTreeTest, AfterReleaseNoSelectionReachesTheList) {
    t.Dir("A").Dir("B");
    tree->BrowseForFolder(t.Path("A"));
    QSignalSpy pathChange(tree, &FolderTree::PathChange);
    tree->ReleaseFolderTree();
    tree->SelectFolder(t.Path("B"));
    EXPECT_EQ(pathChange.count(), 0);
    EXPECT_EQ(dir1->Path(), t.Path("A"));
    picBrowse->resize(50, 50);  // no longer refitted, and no crash
}

}  // namespace
