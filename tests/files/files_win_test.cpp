// The Windows file calls behind AtomicFile and AppendFile: a commit replaces the target
// whole, an abandoned write leaves it and no temporary behind, a journal keeps every
// record across reopening, and a folder is never taken for a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "files/AppendFile.h"
#include "files/AtomicFile.h"

namespace fs = std::filesystem;
using vx::files::AppendFile;
using vx::files::AtomicFile;

namespace {

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class FilesOnWindows : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("vormex-files-" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::size_t Entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }
    fs::path folder;
};

TEST_F(FilesOnWindows, ACommitReplacesTheTargetWholeAndAnAbandonedWriteLeavesIt) {
    const fs::path target = folder / "plan.pdf";
    std::string error;
    ASSERT_TRUE(vx::files::WriteFileAtomically(target, "first", error)) << error;
    {
        AtomicFile out(target);
        ASSERT_TRUE(out.Ok()) << out.Error();
        EXPECT_TRUE(out.Write("half of a second"));
    }  // never committed
    EXPECT_EQ(Read(target), "first");
    EXPECT_EQ(Entries(), 1u);  // no temporary file left
    AtomicFile out(target);
    EXPECT_TRUE(out.Write("second, "));
    EXPECT_TRUE(out.Write("whole"));
    ASSERT_TRUE(out.Commit()) << out.Error();
    EXPECT_EQ(Read(target), "second, whole");
    EXPECT_EQ(Entries(), 1u);
    // A folder at the name is refused, and stays a folder.
    fs::create_directories(folder / "sheet.pdf");
    EXPECT_FALSE(vx::files::WriteFileAtomically(folder / "sheet.pdf", "x", error));
    EXPECT_TRUE(fs::is_directory(folder / "sheet.pdf"));
}

TEST_F(FilesOnWindows, AJournalKeepsEveryRecordAcrossReopening) {
    const fs::path journal = folder / "run.jsonl";
    {
        AppendFile log(journal);
        ASSERT_TRUE(log.Ok()) << log.Error();
        EXPECT_TRUE(log.Append("one\n"));
        EXPECT_TRUE(log.Append("two\n"));
    }
    AppendFile log(journal);
    ASSERT_TRUE(log.Ok()) << log.Error();
    EXPECT_TRUE(log.Append("three\n"));
    EXPECT_EQ(Read(journal), "one\ntwo\nthree\n");
    EXPECT_FALSE(AppendFile(folder).Ok());
}

}  // namespace
