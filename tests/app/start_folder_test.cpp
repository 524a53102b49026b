// `vormex FOLDER`: the window starts with that folder chosen in the tree and its drawings
// listed; anything that is not a folder leaves the usual start on the file system's root.
#include <gtest/gtest.h>

#include <QPushButton>

#include "WindowHarness.h"
#include "search/widgets/DirListBox.h"

using namespace vx;
using namespace vx::app;

namespace {

TEST(StartFolder, OnlyAnExistingFolderCountsAndTheListShowsItsDrawings) {
    vx::testing::WindowHarness h;
    h.tree.File("jobs/a.dwg").File("jobs/B.DWG").File("jobs/notes.txt");
    EXPECT_EQ(StartFolderArgument({"vormex", h.tree.Path("jobs/a.dwg")}), QString());
    EXPECT_EQ(StartFolderArgument({"vormex", h.tree.Path("missing")}), QString());
    // A relative name is taken from the current folder, as a shell user means it.
    const QString current = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(h.tree.Root()));
    EXPECT_EQ(StartFolderArgument({"vormex", "jobs"}), h.tree.Path("jobs"));
    QDir::setCurrent(current);

    Form1& f = h.MakeForm();
    ASSERT_TRUE(Main(f, h.tree.Path("jobs")));
    EXPECT_EQ(f.PicBrowseTree->BrowsePath, h.tree.Path("jobs"));
    EXPECT_EQ(vx::testing::WindowHarness::Names(f), QStringList({"a.dwg", "B.DWG"}));
    EXPECT_TRUE(f.Command2->isEnabled());
}

}  // namespace
