#include <filesystem>

#include "PlotFixture.h"
#include "plot/PlotPaths.h"
#include "plot/XrefReload.h"

using namespace vx::plot;
using ::testing::ElementsAre;

namespace {

TEST(PlotFileNameTest, ReplacesOnlyTheFileNamesOwnExtension) {
    EXPECT_EQ(PlotFileName("/jobs/a.dwg", ".plt"), "/jobs/a.plt");
    // Capital letters give the same name as lower-case ones.
    EXPECT_EQ(PlotFileName("/jobs/A.DWG", ".plt"), "/jobs/A.plt");
    EXPECT_EQ(PlotFileName("a.dwg", ".Plt"), "a.Plt");
    // A folder whose name holds ".dwg" keeps its name: the plot lies beside the drawing.
    EXPECT_EQ(PlotFileName("/jobs/site.dwg.old/a.dwg", ".plt"), "/jobs/site.dwg.old/a.plt");
    EXPECT_EQ(PlotFileName("/jobs/v1.2/a.b.dwg", ".plt"), "/jobs/v1.2/a.b.plt");
}

TEST(PlotFileNameTest, NeverNamesTheDrawingItself) {
    // Any listed file, not only .dwg ones, gets a plot file of its own.
    EXPECT_EQ(PlotFileName("/jobs/plan.dxf", ".plt"), "/jobs/plan.plt");
    EXPECT_EQ(PlotFileName("/jobs/v1.2/README", ".plt"), "/jobs/v1.2/README.plt");
    EXPECT_EQ(PlotFileName("/jobs/.plan", ".plt"), "/jobs/.plan.plt");
    // A drawing that already has the plot file's extension, in any letter case.
    EXPECT_EQ(PlotFileName("/jobs/x.plt", ".plt"), "/jobs/x.plt.plt");
    EXPECT_EQ(PlotFileName("/jobs/x.PLT", ".plt"), "/jobs/x.PLT.plt");
    EXPECT_EQ(PlotFileName("x.plt", ".Plt"), "x.plt.Plt");
    for (const char* drawing : {"/j/a.dwg", "/j/a.DXF", "/j/a", "/j/a.plt", "/j/a.Plt", "/j/.x"}) {
        EXPECT_NE(PlotFileName(drawing, ".plt"), drawing);
        EXPECT_NE(PlotFileName(drawing, ".Plt"), drawing);
    }
}

TEST(DrawingPathTest, TheNameIsTheLastComponentAndTheFolderMustMatch) {
    EXPECT_EQ(LastComponent("/jobs/data.dwg"), "data.dwg");
    EXPECT_EQ(LastComponent("data.dwg"), "data.dwg");
    EXPECT_EQ(LastComponent("/jobs/"), "");
    EXPECT_TRUE(IsPathOf("/jobs", "a.dwg", "/jobs/a.dwg"));
    EXPECT_TRUE(IsPathOf("/", "a.dwg", "/a.dwg"));
    EXPECT_FALSE(IsPathOf("/other", "a.dwg", "/jobs/a.dwg"));
    EXPECT_FALSE(IsPathOf("/jobs", "a.dwg", "/jobs/data.dwg"));
    EXPECT_FALSE(IsPathOf("/jo", "bs/a.dwg", "/jobs/a.dwg"));
}

TEST(DrawingPathTest, ListedFilesAreOrdinaryVisibleFiles) {
    vx::testing::TempTree tree;
    const std::string file = tree.File("a.dwg");
    EXPECT_TRUE(IsListedFile(file));
    EXPECT_FALSE(IsListedFile(tree.File(".hidden.dwg")));
    EXPECT_FALSE(IsListedFile(tree.Folder("folder.dwg")));
    EXPECT_FALSE(IsListedFile(tree.Path("missing.dwg")));
    EXPECT_FALSE(IsListedFile(""));
    std::filesystem::create_symlink(file, tree.Path("link.dwg"));
    EXPECT_TRUE(IsListedFile(tree.Path("link.dwg")));
    EXPECT_TRUE(FileExists(tree.Path(".hidden.dwg")));
}

TEST(StoredPathTest, FileNameIsTheTextAfterTheLastSeparator) {
    EXPECT_EQ(StoredFileName("C:\\Projects\\Xref\\Base.dwg"), "Base.dwg");
    EXPECT_EQ(StoredFileName("\\\\Server\\Share\\Base.dwg"), "Base.dwg");
    EXPECT_EQ(StoredFileName("..\\xref/base.dwg"), "base.dwg");
    // A bare file name is its own name; a path ending in a separator names no file.
    EXPECT_EQ(StoredFileName("Base.dwg"), "Base.dwg");
    EXPECT_EQ(StoredFileName("C:\\Xref\\"), "");
    EXPECT_EQ(NativePath("C:\\Projects\\Base.dwg"), "C:/Projects/Base.dwg");
}

TEST(StoredPathTest, ClimbNamesFollowThePathsKind) {
    EXPECT_THAT(ClimbNames("/home/u/jobs"), ElementsAre("home", "u", "jobs"));
    // The ":" of a drive path means nothing in a POSIX folder name.
    EXPECT_THAT(ClimbNames("/home/a:b/c"), ElementsAre("home", "a:b", "c"));
    EXPECT_THAT(ClimbNames("\\\\Server\\Share\\Jobs"), ElementsAre("", "Server", "Share", "Jobs"));
    EXPECT_THAT(ClimbNames("D:\\Projects\\Job1\\Dwg"), ElementsAre("", "Projects", "Job1", "Dwg"));
}

}  // namespace
