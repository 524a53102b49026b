#include <filesystem>

#include "PlotFixture.h"
#include "plot/PlotPaths.h"

using namespace vx::plot;

namespace {

// The plot file lies beside the drawing and never has the drawing's own name.
TEST(PlotFileNameTest, ReplacesOnlyTheFileNamesOwnExtension) {
    const struct {
        const char *drawing, *ext, *plot;
    } cases[] = {
        {"/jobs/A.DWG", ".plt", "/jobs/A.plt"},
        {"/jobs/site.dwg.old/a.dwg", ".plt", "/jobs/site.dwg.old/a.plt"},
        {"/jobs/v1.2/README", ".plt", "/jobs/v1.2/README.plt"},
        {"/jobs/x.PLT", ".plt", "/jobs/x.PLT.plt"},
        {"x.plt", ".Plt", "x.plt.Plt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlotFileName(c.drawing, c.ext), c.plot) << c.drawing;
    }
}

TEST(DrawingPathTest, ListedFilesAreOrdinaryVisibleFiles) {
    vx::testing::TempTree tree;
    const std::string file = tree.File("a.dwg");
    EXPECT_TRUE(IsListedFile(file));
    EXPECT_FALSE(IsListedFile(tree.File(".hidden.dwg")));
    EXPECT_FALSE(IsListedFile(tree.Folder("folder.dwg")));
    EXPECT_FALSE(IsListedFile(""));
    std::filesystem::create_symlink(file, tree.Path("link.dwg"));
    EXPECT_TRUE(IsListedFile(tree.Path("link.dwg")));
}

}  // namespace
