// The writer every file goes through never writes to what is no file: a folder, a pipe (a
// writer would block on it) or a name in a missing folder is refused with the reason, and
// nothing is left behind. (Full disks, planted links and names that are no valid text are
// checked through vormex-cli, for every kind of output.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>

#include "files/AtomicFile.h"

namespace {

namespace fs = std::filesystem;

TEST(AtomicFile, WhatIsNoFileIsNeverWrittenTo) {
    QTemporaryDir temp;
    const fs::path dir(temp.path().toStdString());
    fs::create_directory(dir / "folder");
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    const struct {
        fs::path target;
        const char* reason;
    } cases[] = {{dir / "folder", "it is a folder"},
                 {dir / "pipe", "it is not a regular file"},
                 {dir / "missing" / "plan.plt", "No such file or directory"},
                 {dir / "", "no file name"}};
    for (const auto& c : cases) {
        vx::files::AtomicFile file(c.target);
        EXPECT_FALSE(file.Write("x") || file.Commit()) << c.target;
        EXPECT_EQ(file.Error(), c.reason) << c.target;
    }
    std::vector<fs::path> left(fs::directory_iterator(dir), {});
    EXPECT_EQ(left.size(), 2u);
    EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
}

}  // namespace
