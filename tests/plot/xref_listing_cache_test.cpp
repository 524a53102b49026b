// The folder listings a run remembers for its reference searches: the same file found as
// without them, and nothing remembered from one run to the next.
#include <filesystem>

#include "PlotFixture.h"
#include "plot/XrefReload.h"

using namespace vx;
using ::testing::Contains;
using ::testing::Not;

namespace fs = std::filesystem;

namespace {

struct TreeCase {
    std::vector<std::string> files;
    std::vector<std::pair<std::string, std::string>> links;  // link -> target, both relative
    std::string found;                                       // relative; "" for none
};

const TreeCase kTrees[] = {
    {{"s/a/x/Base.dwg", "s/B/Base.dwg"}, {}, "s/a/x/Base.dwg"},  // a's whole tree before B
    {{"s/b/Base.dwg", "s/A/y/Base.dwg"}, {}, "s/A/y/Base.dwg"},  // letter case ignored
    {{"s/a/Base.dwg", "s/Base.dwg"}, {}, "s/Base.dwg"},          // files before subfolders
    {{"s/BASE.DWG", "s/a/base.dwg", "s/c/Base.dwg"}, {}, "s/c/Base.dwg"},
    {{"s/.h/Base.dwg", "s/.Base.dwg", "s/x.dwg"}, {}, ""},  // hidden entries
    {{"o/Base.dwg", "s/t/x.dwg"}, {{"s/link", "o"}}, ""},   // folder links not followed
    {{"o/Base.dwg", "s/t/x.dwg"}, {{"s/t/Base.dwg", "o/Base.dwg"}}, "s/t/Base.dwg"},
};

struct ListingCacheTest : vx::testing::PlotFixture {
    plot::XrefReload xrefs{connection};

    std::string Find(const std::string& folder) {
        xrefs.XrefGet = false;
        xrefs.FoundFile.clear();
        xrefs.FindXrefFile(folder, "Base.dwg");
        return xrefs.FoundFile;
    }
};

TEST_F(ListingCacheTest, ARunFindsWhatASearchWithoutRememberedListingsFinds) {
    for (const TreeCase& c : kTrees) {
        vx::testing::TempTree tree;
        for (const auto& f : c.files) {
            tree.File(f);
        }
        for (const auto& [link, target] : c.links) {
            fs::create_symlink(tree.Path(target), tree.Path(link));
        }
        const std::string expected = c.found.empty() ? "" : tree.Path(c.found);
        const std::string s = tree.Path("s");
        EXPECT_EQ(Find(s), expected) << c.files[0];
        xrefs.StartRun();
        EXPECT_EQ(Find(s), expected) << c.files[0];  // listing
        EXPECT_EQ(Find(s), expected) << c.files[0];  // remembered
        xrefs.EndRun();
    }
}

TEST_F(ListingCacheTest, AStopStillEndsASearchOfRememberedFolders) {
    vx::testing::TempTree tree;
    tree.File("s/a/b/c/Base.dwg");
    xrefs.StartRun();
    ASSERT_NE(Find(tree.Path("s")), "");
    int polls = 0;
    xrefs.Poll = [&] { return ++polls == 3; };
    EXPECT_EQ(Find(tree.Path("s")), "");
    EXPECT_EQ(polls, 3);
}

TEST_F(ListingCacheTest, AFileMovedBetweenTwoRunsIsFoundByTheSecond) {
    vx::testing::TempTree tree;
    // Deep enough that no climb leaves the tree.
    const std::string folder = tree.Folder("Job/Lv1/Lv2/Lv3/Lv4/Lv5/Lv6/Lv7/Dwg");
    tree.File("Job/Lv1/Lv2/Lv3/Lv4/Lv5/Lv6/Lv7/Dwg/d.dwg");
    cad.Drawing(folder + "/d.dwg").XRef("Base", "C:\\Old\\Base.dwg", false);
    window.rows = {{"d.dwg", folder + "/"}};
    Connect();
    Command2_Click();
    EXPECT_THAT(cad.Calls(), Not(Contains(::testing::HasSubstr("Block[Base].Path ="))));

    const std::string moved = tree.File("Job/Lv1/Lv2/Lv3/Lv4/Lv5/Lv6/Other/Base.dwg");
    cad.ClearCalls();
    Command2_Click();
    EXPECT_THAT(cad.Calls(), Contains("Block[Base].Path = \"" + moved + "\""));
}

}  // namespace
