#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QFileSystemModel>
#include <QFrame>
#include <QTest>

#include "TempTree.h"
#include "search/FileSystemPath.h"
#include "search/widgets/DirListBox.h"
#include "search/widgets/FolderTree.h"

using namespace vx::search;
using vx::testing::TempTree;

namespace {

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

}  // namespace
