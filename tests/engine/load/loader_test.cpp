// Loading drawings from files: format by signature, read-only access, external
// references by absolute, relative and Windows paths, nesting and cycles (reload is driven
// through the automation model).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

#include "dxf/TestDxf.h"
#include "engine/load/DrawingLoader.h"

namespace vx::engine::load {
namespace {

namespace fs = std::filesystem;
using db::XrefStatus;
using test::TestDxf;

// A drawing with one line from `from` to `to` and a reference block for each
// (name, stored path, overlay) given, each inserted at the origin.
std::string Drawing(db::Vec3 from, db::Vec3 to,
                    std::vector<std::tuple<std::string, std::string, bool>> refs = {}) {
    TestDxf t;
    t.Header("AC1015").Section("BLOCKS");
    for (const auto& [name, path, overlay] : refs) {
        t.G(0, "BLOCK")
            .G(2, name)
            .G(70, overlay ? 12 : 4)
            .Point(10, 0, 0)
            .G(1, path)
            .G(0, "ENDBLK");
    }
    t.EndSection().Section("ENTITIES");
    t.G(0, "LINE").G(8, "0").Point(10, from.x, from.y).Point(11, to.x, to.y);
    for (const auto& [name, path, overlay] : refs) {
        t.G(0, "INSERT").G(8, "0").G(2, name).Point(10, 0, 0);
    }
    t.EndSection().Eof();
    return t.Ascii();
}

const db::Block& Ref(const db::Database& d, const std::string& name) {
    auto id = d.FindBlock(name);
    EXPECT_NE(id, db::kNone) << name;
    return d.blocks.at(id);
}

TEST(FileFormat, ChosenBySignature) {
    EXPECT_EQ(DetectFormat("AC1032\0\0\0"), FileFormat::Dwg);
    EXPECT_EQ(DetectFormat(std::string(dxf::kBinaryDxfSentinel) + "\0\0"), FileFormat::BinaryDxf);
    EXPECT_EQ(DetectFormat("999\ncomment\n0\nSECTION\n"), FileFormat::AsciiDxf);
    EXPECT_EQ(DetectFormat("\x89PNG\r\n"), FileFormat::Unknown);
}

// (Folders, missing and oversized files: see the input types below; damaged and old DWG
// files: the DWG reader's tests.)
TEST(ReadDrawingFile, AFileOfNeitherFormatSaysSo) {
    test::TempDir dir;
    test::WriteBytes(dir.Path() / "p.png", "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(ReadDrawingFile(dir.Path() / "p.png").error.what,
              "not a drawing file (neither DXF nor DWG)");
}

TEST(ReadDrawingFile, ReadOnlyFilesReadAndLeftUnchanged) {
    test::TempDir dir;
    auto p = dir.Path() / "ro.dxf";
    const std::string bytes = Drawing({0, 0}, {3, 4});
    test::WriteBytes(p, bytes);
    fs::permissions(p, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    auto r = LoadDrawing(p);
    ASSERT_TRUE(r.Ok()) << r.error.Text();
    EXPECT_EQ(test::ReadBytes(p), bytes);
}

TEST(Xrefs, LoadedByRelativeAbsoluteAndWindowsPathsOrUnloadedWithTheReason) {
    test::TempDir dir;
    auto root = dir.Path();
    test::WriteBytes(root / "xref" / "base.dxf", Drawing({100, 100}, {110, 120}));
    test::WriteBytes(root / "dwg" / "bad.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\nzz\n");
    test::WriteBytes(root / "dwg" / "old.dwg", std::string("AC1009") + std::string(256, '\0'));
    test::WriteBytes(root / "dwg" / "host.dxf",
                     Drawing({0, 0}, {1, 1},
                             {{"REL", "..\\xref\\base.dxf", false},
                              {"ABS", (root / "xref" / "base.dxf").string(), false},
                              {"GONE", "C:\\nowhere\\gone.dwg", false},
                              {"EMPTY", "", false},
                              {"BAD", "bad.dxf", false},
                              {"OLD", "old.dwg", false}}));
    auto r = LoadDrawing(root / "dwg" / "host.dxf");
    ASSERT_TRUE(r.Ok()) << r.error.Text();
    const auto& d = *r.database;
    for (const auto& [name, status, reason] :
         {std::tuple("REL", XrefStatus::Loaded, ""),
          {"ABS", XrefStatus::Loaded, ""},
          {"GONE", XrefStatus::NotFound, "no drawing at /nowhere/gone.dwg"},
          {"EMPTY", XrefStatus::NotFound, "the reference has no path"},
          {"BAD", XrefStatus::Unreadable, "expected a group code"},
          {"OLD", XrefStatus::Unsupported, "older than R13"}}) {
        const auto& x = *Ref(d, name).xref;
        EXPECT_EQ(x.status, status) << name;
        EXPECT_NE(x.reason.find(reason), std::string::npos) << x.reason;
        EXPECT_EQ(x.database == nullptr, status != XrefStatus::Loaded) << name;
    }
    EXPECT_EQ(Ref(d, "REL").xref->path, "..\\xref\\base.dxf");  // stored form kept
    // The same file twice: read once, shared.
    EXPECT_EQ(Ref(d, "REL").xref->database, Ref(d, "ABS").xref->database);
}

TEST(Xrefs, CyclesEndUnloadedAndNestingIsBounded) {
    test::TempDir dir;
    // a → b → a, and a → a.
    test::WriteBytes(dir.Path() / "a.dxf",
                     Drawing({0, 0}, {1, 1}, {{"B", "b.dxf", false}, {"SELF", "a.dxf", false}}));
    test::WriteBytes(dir.Path() / "b.dxf", Drawing({0, 0}, {2, 2}, {{"A", "a.dxf", false}}));
    auto r = LoadDrawing(dir.Path() / "a.dxf");
    ASSERT_TRUE(r.Ok());
    const auto& b = *Ref(*r.database, "B").xref;
    EXPECT_EQ(Ref(*b.database, "A").xref->status, XrefStatus::Circular);
    EXPECT_EQ(Ref(*r.database, "SELF").xref->status, XrefStatus::Circular);

    // A chain c0 → c1 → ... → c9 with a depth of 3 allowed.
    for (int i = 0; i < 10; ++i) {
        std::vector<std::tuple<std::string, std::string, bool>> refs;
        if (i < 9) {
            refs.emplace_back("NEXT", "c" + std::to_string(i + 1) + ".dxf", false);
        }
        test::WriteBytes(dir.Path() / ("c" + std::to_string(i) + ".dxf"),
                         Drawing({0, 0}, {1, 1}, refs));
    }
    LoadOptions o;
    o.maxXrefDepth = 3;
    auto c = LoadDrawing(dir.Path() / "c0.dxf", o);
    ASSERT_TRUE(c.Ok());
    const db::Database* level = c.database.get();
    for (int depth = 1; depth <= 3; ++depth) {
        const auto& x = *Ref(*level, "NEXT").xref;
        ASSERT_EQ(x.status, XrefStatus::Loaded) << depth;
        level = x.database.get();
    }
    EXPECT_EQ(Ref(*level, "NEXT").xref->status, XrefStatus::TooDeep);
}

TEST(Xrefs, OverlaysDoNotNest) {
    test::TempDir dir;
    test::WriteBytes(dir.Path() / "leaf.dxf", Drawing({0, 0}, {1, 1}));
    test::WriteBytes(dir.Path() / "mid.dxf", Drawing({0, 0}, {1, 1}, {{"OV", "leaf.dxf", true}}));
    test::WriteBytes(
        dir.Path() / "top.dxf",
        Drawing({0, 0}, {1, 1}, {{"MID", "mid.dxf", false}, {"OV2", "leaf.dxf", true}}));
    auto r = LoadDrawing(dir.Path() / "top.dxf");
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(Ref(*r.database, "OV2").xref->status, XrefStatus::Loaded);  // own overlay
    const auto& mid = *Ref(*r.database, "MID").xref;
    EXPECT_EQ(Ref(*mid.database, "OV").xref->status, XrefStatus::NotLoaded);
}

// Only regular files are read as drawings, the drawing itself and its references alike:
// pipes, devices and folders named like drawings, and files over the size limit, are
// refused at once with the reason, before a byte is read and without waiting on a pipe.
struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;
    std::string reason;      // of the drawing opened by that name; empty: it opens
    std::string xrefReason;  // of a reference by that name; empty: it loads
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
             test::WriteBytes(p.parent_path() / "real.dxf", Drawing({0, 0}, {1, 1}));
             fs::create_symlink(p.parent_path() / "real.dxf", p);
         },
         "", ""},
#endif
        {"a file over the limit",
         [](const fs::path& p) {
             test::WriteBytes(p, Drawing({0, 0}, {1, 1}) + std::string(5000, '\n'));
         },
         "the file is too large (", "the file is too large ("},
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

        test::WriteBytes(dir.Path() / "host.dxf",
                         Drawing({0, 0}, {1, 1}, {{"REF", "input.dxf", false}}));
        const LoadResult host = LoadDrawing(dir.Path() / "host.dxf", options);
        ASSERT_TRUE(host.Ok()) << host.error.Text();
        const db::Block& ref = host.database->blocks.at(host.database->FindBlock("REF"));
        EXPECT_EQ(ref.xref->status == db::XrefStatus::Loaded, c.xrefReason.empty());
        EXPECT_NE(ref.xref->reason.find(c.xrefReason), std::string::npos) << ref.xref->reason;
    }
}

#ifndef _WIN32
// A reference to a device by its own absolute name, as a drawing stores it.
TEST(InputType, AReferenceToADeviceIsNotRead) {
    test::TempDir dir;
    test::WriteBytes(dir.Path() / "host.dxf",
                     Drawing({0, 0}, {1, 1}, {{"REF", "/dev/zero", false}}));
    const LoadResult host = LoadDrawing(dir.Path() / "host.dxf");
    ASSERT_TRUE(host.Ok()) << host.error.Text();
    const db::Xref& x = *host.database->blocks.at(host.database->FindBlock("REF")).xref;
    EXPECT_EQ(x.status, db::XrefStatus::Unreadable);
    EXPECT_NE(x.reason.find("is a device, not a drawing file"), std::string::npos) << x.reason;
}
#endif

}  // namespace
}  // namespace vx::engine::load
