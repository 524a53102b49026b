// Plot files are written whole or not at all, under exactly the name asked for: a full
// disk leaves the earlier file and says so, a link planted at the name is replaced rather
// than followed, names that are no valid text stay distinct, and what is no file is never
// written to.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "../../support/FullDisk.h"
#include "OutputTools.h"
#include "engine/output/PlotOutput.h"
#include "files/AtomicFile.h"

namespace {

namespace fs = std::filesystem;
using namespace vx::engine::output;

const OutputKind kKinds[] = {OutputKind::Pdf, OutputKind::Svg, OutputKind::Png, OutputKind::Hpgl};

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Put(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Plots a frame to `file`; the error's text when it failed, else empty.
std::string PlotFrame(OutputKind kind, const fs::path& file) {
    try {
        OutputTarget t;
        t.kind = kind;
        t.file = file;
        t.dotsPerInch = 50;
        auto sink = OpenPage(t, {210, 297});
        sink->Draw(vx::testing::Line({{20, 30}, {60, 30}, {60, 50}}, vx::testing::MakePen({}, 1)));
        sink->Finish({true});
        return {};
    } catch (const OutputError& e) {
        return e.what();
    }
}

struct Folder : ::testing::Test {
    QTemporaryDir temp;
    fs::path dir{temp.path().toStdString()};
    ~Folder() override { fs::remove_all(dir); }  // names Qt cannot spell
};

TEST_F(Folder, AFullDiskLeavesTheEarlierFileOfEveryKindAndSaysWhy) {
    const vx::testing::FullDisk disk;
    if (!disk.Usable()) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    const fs::path file = disk.Path() / "plan.plt";
    Put(file, "earlier plot");
    disk.Fill();
    for (OutputKind kind : kKinds) {
        const std::string error = PlotFrame(kind, file);
        EXPECT_NE(error.find("plan.plt"), std::string::npos) << static_cast<int>(kind) << error;
        EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
        EXPECT_EQ(Bytes(file), "earlier plot");
        EXPECT_EQ(Entries(disk.Path()), (std::vector<std::string>{".filler", "plan.plt"}));
    }
}

TEST_F(Folder, ALinkAtThePlotsNameIsReplacedAndWhatItPointsAtKept) {
    for (OutputKind kind : kKinds) {
        const fs::path victim = dir / "victim.txt";
        const fs::path file = dir / "plan.plt";
        Put(victim, "not a plot");
        fs::create_symlink(victim, file);
        EXPECT_EQ(PlotFrame(kind, file), "");
        EXPECT_EQ(Bytes(victim), "not a plot");
        EXPECT_FALSE(fs::is_symlink(fs::symlink_status(file)));
        EXPECT_GT(fs::file_size(file), 50u);
        fs::remove(file);
    }
}

TEST_F(Folder, NamesThatAreNoValidTextGiveOneFileEach) {
    const std::vector<std::string> names = {"plan-\xff.plt", "plan-\xfe.plt", "plan-\xc3.plt"};
    for (const auto& name : names) {
        EXPECT_EQ(PlotFrame(OutputKind::Hpgl, dir / name), "");
    }
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(Entries(dir), sorted);
}

TEST_F(Folder, WhatIsNoFileIsNeverWrittenTo) {
    fs::create_directory(dir / "folder");
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    const struct {
        fs::path target;
        const char* reason;
    } cases[] = {{dir / "folder", "it is a folder"},
                 {dir / "pipe", "it is not a regular file"},  // would block a writer
                 {dir / "missing" / "plan.plt", "No such file or directory"},
                 {dir / "", "no file name"}};
    for (const auto& c : cases) {
        vx::files::AtomicFile file(c.target);
        EXPECT_FALSE(file.Write("x") || file.Commit()) << c.target;
        EXPECT_EQ(file.Error(), c.reason) << c.target;
    }
    EXPECT_EQ(Entries(dir), (std::vector<std::string>{"folder", "pipe"}));
    EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
}

}  // namespace
