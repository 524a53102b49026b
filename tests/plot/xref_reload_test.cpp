#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "PlotFixture.h"
#include "plot/PlotPaths.h"
#include "plot/XrefReload.h"

using namespace vx;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace fs = std::filesystem;

namespace {

// Records the folders that the search is called with: `top` those of the climb steps.
class RecordingXrefReload : public plot::XrefReload {
public:
    using XrefReload::XrefReload;
    void FindXrefFile(const std::string& folder, const std::string& fileName) override {
        if (depth == 0) {
            top.push_back(folder);
        }
        all.push_back(folder);
        ++depth;
        XrefReload::FindXrefFile(folder, fileName);
        --depth;
    }
    std::vector<std::string> top;
    std::vector<std::string> all;
    int depth = 0;
};

struct XrefTest : vx::testing::PlotFixture {
    vx::testing::TempTree tree;
    std::string t;  // the tree's root
    RecordingXrefReload xrefs{connection};

    // Nine folder names inside the tree, so that a climb that finds nothing spends its
    // whole budget there and never searches above the tree.
    static constexpr char kDeep[] = "Lv1/Lv2/Lv3/Lv4/Lv5/Lv6/Lv7/Lv8/Dwg";

    void SetUp() override {
        PlotFixture::SetUp();
        ASSERT_TRUE(tree.dir.isValid());
        t = tree.Root();
        Connect();
    }

    // A drawing d.dwg in `folder`, scripted; Open() makes it the active drawing.
    fake::DrawingSpec& Drawing(const std::string& folder) {
        path = folder + (folder.find('\\') != std::string::npos ? "\\" : "/") + "d.dwg";
        return cad.Drawing(path);
    }
    void Open() {
        connection.CadApp->Documents()->Open(path, true);
        cad.ClearCalls();
    }
    const fake::XRefSpec& Ref(std::size_t i) const { return cad.Open("d.dwg")->xrefs.at(i); }

    std::string path;
};

TEST_F(XrefTest, LoadedReferencesAreLeftAloneAndTheDrawingIsRegenerated) {
    Drawing(tree.Folder("Job")).XRef("Base", "C:\\Job\\Base.dwg", true);
    Open();
    xrefs.ReloadXrefs();
    EXPECT_THAT(
        cad.Calls(),
        ElementsAre("Application.Application", "Application.ActiveDocument", "Document[d.dwg].Path",
                    "Document[d.dwg].Blocks", "Blocks[d.dwg].Count", "Blocks[d.dwg].Item(0)",
                    "Block[*Model_Space].IsXRef", "Blocks[d.dwg].Item(1)",
                    "Block[*Paper_Space].IsXRef", "Blocks[d.dwg].Item(2)", "Block[Base].IsXRef",
                    "Block[Base].XRefDatabase", "XRefDatabase[Base].ModelSpace",
                    "Block[Base|*Model_Space].Count", "Application.ZoomExtents()",
                    "Document[d.dwg].Regen(1)", "Document[d.dwg].Regen(0)"));
}

TEST_F(XrefTest, AReferenceFailingForAnotherReasonIsLeftAlone) {
    Drawing(tree.Folder("Job")).XRef({"Base", "C:\\Job\\Base.dwg", false, "File not found"});
    tree.File("Job/Base.dwg");
    Open();
    xrefs.ReloadXrefs();
    EXPECT_THAT(cad.CallsWith("Block[Base].Path"), IsEmpty());
    EXPECT_THAT(cad.CallsWith("Reload"), IsEmpty());
}

TEST_F(XrefTest, ReRootsTheStoredPathUnderTheDrawingsFolder) {
    // Drawing folder D:\Projects\Job1, reference C:\Projects\Job1\Xref\Base.dwg; and
    // one stored as a network path.
    const std::string base = tree.File("Projects/Job1/Xref/Base.dwg");
    const std::string net = tree.File("Projects/Job1/Xref/Net.dwg");
    Drawing(tree.Path("Projects/Job1"))
        .XRef("Base", "C:\\Projects\\Job1\\Xref\\Base.dwg", false)
        .XRef("Net", "\\\\OldServer\\Projects\\Job1\\Xref\\Net.dwg", false);
    Open();
    xrefs.ReloadXrefs();
    // Found without a climb, reloaded, and reloaded once more by name.
    EXPECT_THAT(xrefs.top, IsEmpty());
    EXPECT_EQ(Ref(0).path, base);
    EXPECT_TRUE(Ref(0).loaded);
    EXPECT_EQ(cad.CallsWith("Block[Base].Reload()").size(), 2u);
    EXPECT_EQ(Ref(1).path, net);
    EXPECT_TRUE(Ref(1).loaded);
}

TEST_F(XrefTest, ClimbsOneFolderHigherEachStepAndTakesTheFileInItsExactCase) {
    tree.File("Projects/BASE.DWG");  // not the referenced name
    const std::string base = tree.File("Base.dwg");
    Drawing(tree.Folder("Projects/Job1/Dwg")).XRef("Base", "C:\\Old\\Base.dwg", false);
    Open();
    xrefs.ReloadXrefs();
    EXPECT_THAT(xrefs.top, ElementsAre(t + "/Projects/Job1/", t + "/Projects/", t + "/"));
    EXPECT_EQ(Ref(0).path, base);
    EXPECT_TRUE(Ref(0).loaded);
    EXPECT_EQ(cad.CallsWith("Block[Base].Reload()").size(), 2u);
}

TEST_F(XrefTest, AReferenceThatIsNotFoundIsReloadedOnceWithItsStoredPath) {
    Drawing(tree.Folder(kDeep)).XRef("Base", "C:\\Old\\Base.dwg", false);
    Open();
    xrefs.ReloadXrefs();
    EXPECT_THAT(cad.CallsWith("Reload()"), ElementsAre("Block[Base].Reload()"));
    EXPECT_THAT(cad.CallsWith("Path ="), IsEmpty());
    EXPECT_EQ(xrefs.top.size(), 8u);
    EXPECT_EQ(xrefs.top.back(), t + "/Lv1/");
}

TEST_F(XrefTest, ANetworkDrawingFolderClimbsThroughItsShareAndServer) {
    tree.Folder("Server/Share/Jobs");
    const std::string base = tree.File("Server/Base.dwg");
    // The tree written as a network path: \\<root>\Server\Share\Jobs.
    std::string unc = "\\" + t;
    std::replace(unc.begin(), unc.end(), '/', '\\');
    Drawing(unc + "\\Server\\Share\\Jobs").XRef("Base", "C:\\Old\\Base.dwg", false);
    Open();
    xrefs.ReloadXrefs();
    EXPECT_THAT(xrefs.top, ElementsAre(unc + "\\Server\\Share\\", unc + "\\Server\\"));
    // Found and written as a native path.
    EXPECT_EQ(Ref(0).path, "/" + base);
    EXPECT_TRUE(Ref(0).loaded);
}

TEST_F(XrefTest, FailuresFromTheFirstReferenceOnAreSkipped) {
    Drawing(tree.Folder(kDeep)).XRef("Base", "C:\\Old\\Base.dwg", false).Block("Door");
    Open();
    cad.FailOn("Block.Path", "Busy");
    cad.FailOn("Block[Door].IsXRef", "Busy");
    cad.FailOn("Document.Regen", "Busy");
    cad.FailOn("Application.ZoomExtents", "Busy");
    EXPECT_NO_THROW(xrefs.ReloadXrefs());
    // A block whose reference test failed is probed like a reference, and left alone.
    EXPECT_THAT(cad.Calls(), Contains("Block[Door].XRefDatabase"));
    EXPECT_THAT(cad.CallsWith("Reload()"), ElementsAre("Block[Base].Reload()"));
    EXPECT_EQ(cad.CallsWith("Regen(").size(), 2u);
}

TEST_F(XrefTest, FailuresBeforeTheFirstReferenceReachTheCaller) {
    Drawing(tree.Folder("Job")).XRef("Base", "C:\\Job\\Base.dwg", true);
    Open();
    cad.FailOn("Document.Path", "Busy", 1);
    EXPECT_THROW(xrefs.ReloadXrefs(), cad::CadError);
}

TEST_F(XrefTest, TheEightNameBudgetIsSharedByAllReferencesOfOneCall) {
    tree.File("Lv1/Lv2/Lv3/Lv4/Lv5/Lv6/One.dwg");  // the first reference's third step
    tree.File("Lv1/Lv2/Two.dwg");                  // the second one's seventh
    Drawing(tree.Folder(kDeep))
        .XRef("One", "C:\\Old\\One.dwg", false)
        .XRef("Two", "C:\\Old\\Two.dwg", false);
    Open();
    xrefs.ReloadXrefs();
    EXPECT_TRUE(Ref(0).loaded);
    EXPECT_EQ(Ref(1).path, "C:\\Old\\Two.dwg");
    // Three steps for the first reference, five for the second: eight names in all.
    EXPECT_EQ(xrefs.top.size(), 8u);
    EXPECT_EQ(xrefs.top.back(), t + "/Lv1/Lv2/Lv3/Lv4/");
}

// --- the folder search ---

struct FolderSearchTest : XrefTest {
    bool Find(const std::string& folder, const std::string& name) {
        xrefs.XrefGet = false;
        xrefs.FoundFile.clear();
        xrefs.all.clear();
        xrefs.FindXrefFile(folder, name);
        return xrefs.XrefGet;
    }
};

TEST_F(FolderSearchTest, FilesComeBeforeSubfoldersAndEachSubtreeIsFinishedFirst) {
    // Folders in name order ignoring case: a before B, and a's whole tree first.
    const std::string deep = tree.File("s2/a/x/Base.dwg");
    tree.File("s2/B/Base.dwg");
    EXPECT_TRUE(Find(t + "/s2/", "Base.dwg"));
    EXPECT_EQ(xrefs.FoundFile, deep);
    EXPECT_THAT(xrefs.all, ElementsAre(t + "/s2/", t + "/s2/a/", t + "/s2/a/x/"));
}

TEST_F(FolderSearchTest, StaysOnTheFileSystemItStartsOn) {
    // /dev/shm is a file system of its own below /dev on most Linux systems.
    struct stat dev {
    }, shm{};
    if (stat("/dev", &dev) != 0 || stat("/dev/shm", &shm) != 0 || dev.st_dev == shm.st_dev) {
        GTEST_SKIP() << "no separate file system below /dev";
    }
    QTemporaryDir mount("/dev/shm/vormex-XXXXXX");
    if (!mount.isValid()) {
        GTEST_SKIP() << "/dev/shm is not writable";
    }
    const std::string name = "Only-" + QFileInfo(mount.path()).fileName().toStdString() + ".dwg";
    QFile(mount.filePath(QString::fromStdString(name))).open(QIODevice::WriteOnly);
    EXPECT_FALSE(Find("/dev", name));
    EXPECT_TRUE(Find("/dev/shm", name));
}

TEST_F(FolderSearchTest, SkipsHiddenEntriesAndFollowsNoFolderLinks) {
    tree.File("s/.hidden/Base.dwg");
    tree.File("s/.Base.dwg");
    const std::string other = tree.File("other/Base.dwg");
    tree.Folder("s/sub");
    fs::create_directory_symlink(tree.Path("other"), tree.Path("s/link"));
    fs::create_directory_symlink(tree.Path("s"), tree.Path("s/sub/loop"));  // a loop
    EXPECT_FALSE(Find(t + "/s", "Base.dwg"));
    EXPECT_THAT(xrefs.all, ElementsAre(t + "/s", t + "/s/sub/"));
    EXPECT_FALSE(Find(t + "/s", ".Base.dwg"));

    // A link to a file is that file.
    fs::create_symlink(other, tree.Path("s/sub/Base.dwg"));
    EXPECT_TRUE(Find(t + "/s", "Base.dwg"));
    EXPECT_EQ(xrefs.FoundFile, t + "/s/sub/Base.dwg");
}

// Runs the enclosed code under another effective user (the super-user is bound by no
// permission, so a folder it cannot read needs someone else).
class RunAs {
public:
    explicit RunAs(uid_t user) : was_(geteuid()), ok_(seteuid(user) == 0) {}
    ~RunAs() {
        if (ok_ && seteuid(was_) != 0) {
            std::abort();
        }
    }
    RunAs(const RunAs&) = delete;
    RunAs& operator=(const RunAs&) = delete;
    bool ok() const { return ok_; }

private:
    uid_t was_;
    bool ok_;
};

TEST_F(FolderSearchTest, AnUnreadableFolderDoesNotEndTheSearch) {
    tree.File("s/a/locked/x.dwg");
    const std::string base = tree.File("s/b/Base.dwg");
    const auto open = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                      fs::perms::others_read | fs::perms::others_exec;
    for (const char* folder : {"", "s", "s/a", "s/b"}) {
        fs::permissions(tree.Path(folder), open);
    }
    fs::permissions(tree.Path("s/a/locked"), fs::perms::none);
    bool found = false;
    {
        std::optional<RunAs> nobody;
        if (geteuid() == 0) {
            nobody.emplace(65534);
        }
        if (nobody && !nobody->ok()) {
            fs::permissions(tree.Path("s/a/locked"), fs::perms::owner_all);
            GTEST_SKIP() << "cannot take another user's rights";
        }
        found = Find(t + "/s", "Base.dwg");
    }
    fs::permissions(tree.Path("s/a/locked"), fs::perms::owner_all);
    EXPECT_TRUE(found);
    EXPECT_EQ(xrefs.FoundFile, base);
    EXPECT_THAT(xrefs.all, Contains(t + "/s/a/locked/"));

    EXPECT_FALSE(Find(t + "/missing", "Base.dwg"));
}

TEST_F(FolderSearchTest, PollingCanEndALongSearch) {
    tree.File("s/a/b/c/Base.dwg");
    int polls = 0;
    xrefs.Poll = [&] { return ++polls == 3; };
    EXPECT_FALSE(Find(t + "/s", "Base.dwg"));
    EXPECT_EQ(polls, 3);
    // The next search starts afresh.
    xrefs.Poll = [&] { return false; };
    EXPECT_TRUE(Find(t + "/s", "Base.dwg"));
}

}  // namespace
