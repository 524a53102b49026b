// Only regular files are read as drawings, the drawing itself and its references alike:
// pipes, devices and folders named like drawings, and files over the size limit, are
// refused at once with the reason, before a byte is read and without waiting on a pipe.
#include <gtest/gtest.h>

#include <QString>
#include <QTextStream>
#include <functional>

#include "Commands.h"
#include "dxf/TestDxf.h"
#include "engine/load/DrawingLoader.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace vx::engine::load {
namespace {

namespace fs = std::filesystem;
using test::TestDxf;

std::string Drawing(const std::string& xrefPath = {}) {
    TestDxf t;
    t.Header("AC1015").Section("BLOCKS");
    if (!xrefPath.empty()) {
        t.Groups("0 BLOCK|2 REF|70 4|10 0,0").G(1, xrefPath).G(0, "ENDBLK");
    }
    t.EndSection().Section("ENTITIES").Groups("0 LINE|8 0|10 0,0|11 1,1");
    if (!xrefPath.empty()) {
        t.Groups("0 INSERT|8 0|2 REF|10 0,0");
    }
    return t.EndSection().Eof().Ascii();
}

// `vormex-cli info` run in this process: its status and what it wrote to stderr.
std::pair<int, std::string> Info(const fs::path& file) {
    for (const auto& c : cli::AllCommands()) {
        if (QString(c.name) == "info") {
            QString out, err;
            QTextStream o(&out), e(&err);
            cli::CommandIo io{o, e, false};
            const int status = c.run({QString::fromStdString(file.string())}, io);
            e.flush();
            return {status, err.toStdString()};
        }
    }
    ADD_FAILURE() << "no info command";
    return {};
}

struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;
    std::string reason;      // of the drawing opened by that name; empty: it opens
    std::string xrefReason;  // of a reference by that name; empty: it loads
    bool info = true;        // `info` (with the default limit) gives the same reason
};

TEST(InputType, OnlyRegularFilesAreReadAndTheReasonIsGiven) {
    const Case cases[] = {
        {"a folder", [](const fs::path& p) { fs::create_directory(p); },
         "is a folder, not a drawing file", "no drawing at"},
#ifndef _WIN32
        {"a pipe", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         "is a pipe (FIFO), not a drawing file", "is a pipe (FIFO), not a drawing file"},
        {"a link to a device", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); },
         "is a device, not a drawing file", "is a device, not a drawing file"},
        {"a dangling link",
         [](const fs::path& p) { fs::create_symlink(p.parent_path() / "gone.dxf", p); },
         "no such file", "no drawing at"},
        {"a link to a drawing",
         [](const fs::path& p) {
             test::WriteBytes(p.parent_path() / "real.dxf", Drawing());
             fs::create_symlink(p.parent_path() / "real.dxf", p);
         },
         "", ""},
#endif
        {"a file over the limit",
         [](const fs::path& p) { test::WriteBytes(p, Drawing() + std::string(5000, '\n')); },
         "the file is too large (", "the file is too large (", false},
    };
    LoadOptions options;
    options.maxFileSize = 4096;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const fs::path input = dir.Path() / "input.dxf";
        c.make(input);
        const LoadResult self = LoadDrawing(input, options);
        EXPECT_EQ(self.Ok(), c.reason.empty());
        EXPECT_EQ(self.error.what.substr(0, c.reason.size()), c.reason);

        test::WriteBytes(dir.Path() / "host.dxf", Drawing("input.dxf"));
        const LoadResult host = LoadDrawing(dir.Path() / "host.dxf", options);
        ASSERT_TRUE(host.Ok()) << host.error.Text();
        const db::Block& ref = host.database->blocks.at(host.database->FindBlock("REF"));
        EXPECT_EQ(ref.xref->status == db::XrefStatus::Loaded, c.xrefReason.empty());
        EXPECT_NE(ref.xref->reason.find(c.xrefReason), std::string::npos) << ref.xref->reason;

        if (c.info) {
            const auto [status, err] = Info(input);
            EXPECT_EQ(status, c.reason.empty() ? 0 : 1) << err;
            EXPECT_NE(err.find(c.reason), std::string::npos) << err;
        }
    }
}

#ifndef _WIN32
// A reference to a device by its own absolute name, as a drawing stores it.
TEST(InputType, AReferenceToADeviceIsNotRead) {
    test::TempDir dir;
    test::WriteBytes(dir.Path() / "host.dxf", Drawing("/dev/zero"));
    const LoadResult host = LoadDrawing(dir.Path() / "host.dxf");
    ASSERT_TRUE(host.Ok()) << host.error.Text();
    const db::Xref& x = *host.database->blocks.at(host.database->FindBlock("REF")).xref;
    EXPECT_EQ(x.status, db::XrefStatus::Unreadable);
    EXPECT_NE(x.reason.find("is a device, not a drawing file"), std::string::npos) << x.reason;
}
#endif

}  // namespace
}  // namespace vx::engine::load
