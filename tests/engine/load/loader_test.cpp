// Loading drawings from files: format by signature, read-only access, external
// references by absolute, relative and Windows paths, nesting, cycles and reload.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "dxf/TestDxf.h"
#include "engine/db/Extents.h"
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
    EXPECT_EQ(DetectFormat("AC1009xyz"), FileFormat::Dwg);
    EXPECT_EQ(DetectFormat(std::string(dxf::kBinaryDxfSentinel) + "\0\0"), FileFormat::BinaryDxf);
    EXPECT_EQ(DetectFormat("  0\r\nSECTION\r\n"), FileFormat::AsciiDxf);
    EXPECT_EQ(DetectFormat("999\ncomment\n0\nSECTION\n"), FileFormat::AsciiDxf);
    EXPECT_EQ(DetectFormat("\x89PNG\r\n"), FileFormat::Unknown);
    EXPECT_EQ(DetectFormat(""), FileFormat::Unknown);
}

TEST(ReadDrawingFile, FailuresSayWhy) {
    test::TempDir dir;
    test::WriteBytes(dir.Path() / "a.dwg", std::string("AC1027") + std::string(400, '\0'));
    test::WriteBytes(dir.Path() / "old.dwg", std::string("AC1009") + std::string(200, '\0'));
    test::WriteBytes(dir.Path() / "p.png", "\x89PNG\r\n\x1a\n");
    for (const auto& [file, what] :
         {std::pair("none.dxf", "no such file"),
          {"", "is a folder, not a drawing file"},
          {"a.dwg", "the file header is damaged: its identification text is missing"},
          {"old.dwg", "DWG version AC1009 (R11/R12) is older than R13 and cannot be read"},
          {"p.png", "not a drawing file (neither DXF nor DWG)"}}) {
        const auto r = ReadDrawingFile(dir.Path() / file);
        EXPECT_EQ(std::pair(r.Ok(), r.error.what), std::pair(false, std::string(what))) << file;
    }
    LoadOptions small;
    small.maxFileSize = 10;
    test::WriteBytes(dir.Path() / "big.dxf", Drawing({0, 0}, {1, 1}));
    EXPECT_NE(ReadDrawingFile(dir.Path() / "big.dxf", small).error.what.find("too large"),
              std::string::npos);
}

TEST(ReadDrawingFile, ReadOnlyFilesReadAndLeftUnchanged) {
    test::TempDir dir;
    auto p = dir.Path() / "ro.dxf";
    const std::string bytes = Drawing({0, 0}, {3, 4});
    test::WriteBytes(p, bytes);
    fs::permissions(p, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    auto before = fs::last_write_time(p);
    auto r = LoadDrawing(p);
    ASSERT_TRUE(r.Ok()) << r.error.Text();
    EXPECT_EQ(test::ReadBytes(p), bytes);
    EXPECT_EQ(fs::last_write_time(p), before);
    EXPECT_EQ(fs::status(p).permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST(XrefPaths, WindowsFormsMappedOntoNativePaths) {
#ifndef _WIN32
    fs::path host = "/jobs/site/dwg";
    EXPECT_EQ(ResolveXrefPath("C:\\Projects\\Job1\\Xref\\Base.dwg", host),
              "/Projects/Job1/Xref/Base.dwg");
    EXPECT_EQ(ResolveXrefPath("..\\xref\\a.dxf", host), "/jobs/site/xref/a.dxf");
    EXPECT_EQ(ResolveXrefPath(".\\a.dxf", host), "/jobs/site/dwg/a.dxf");
    EXPECT_EQ(ResolveXrefPath("a.dxf", host), "/jobs/site/dwg/a.dxf");
    EXPECT_EQ(ResolveXrefPath("sub/b.dxf", host), "/jobs/site/dwg/sub/b.dxf");
    EXPECT_EQ(ResolveXrefPath("\\Shared\\c.dxf", host), "/Shared/c.dxf");
    EXPECT_EQ(ResolveXrefPath("\\\\Server\\Share\\d.dxf", host), "//Server/Share/d.dxf");
    EXPECT_EQ(ResolveXrefPath("/abs/e.dxf", host), "/abs/e.dxf");
    EXPECT_EQ(ResolveXrefPath("d:/x/f.dxf", host), "/x/f.dxf");
#else
    GTEST_SKIP() << "Windows paths are native here";
#endif
}

TEST(Xrefs, LoadedByRelativeAbsoluteAndWindowsPaths) {
    test::TempDir dir;
    auto root = dir.Path();
    test::WriteBytes(root / "xref" / "base.dxf", Drawing({100, 100}, {110, 120}));
    test::WriteBytes(root / "dwg" / "local.dxf", Drawing({-5, -5}, {-4, -4}));
    std::string absolute = (root / "xref" / "base.dxf").string();
    test::WriteBytes(root / "dwg" / "host.dxf", Drawing({0, 0}, {1, 1},
                                                        {{"REL", "..\\xref\\base.dxf", false},
                                                         {"ABS", absolute, false},
                                                         {"BARE", "local.dxf", false},
                                                         {"GONE", "C:\\nowhere\\gone.dwg", false},
                                                         {"EMPTY", "", false}}));
    auto r = LoadDrawing(root / "dwg" / "host.dxf");
    ASSERT_TRUE(r.Ok()) << r.error.Text();
    const auto& d = *r.database;
    for (const auto& [name, status, reason] :
         {std::tuple("REL", XrefStatus::Loaded, ""),
          {"ABS", XrefStatus::Loaded, ""},
          {"BARE", XrefStatus::Loaded, ""},
          {"GONE", XrefStatus::NotFound, "no drawing at /nowhere/gone.dwg"},
          {"EMPTY", XrefStatus::NotFound, "the reference has no path"}}) {
        EXPECT_EQ(std::pair(Ref(d, name).xref->status, Ref(d, name).xref->reason),
                  std::pair(status, std::string(reason)))
            << name;
    }
    EXPECT_EQ(Ref(d, "REL").xref->path, "..\\xref\\base.dxf");  // stored form kept
    // The same file twice: read once, shared.
    EXPECT_EQ(Ref(d, "REL").xref->database, Ref(d, "ABS").xref->database);
    // Loaded references count in the drawing's extents.
    db::Box3 b = db::ModelExtents(d);
    EXPECT_DOUBLE_EQ(b.min.x, -5);
    EXPECT_DOUBLE_EQ(b.max.y, 120);
}

TEST(Xrefs, UnreadableAndDwgReferencesKeepTheirReason) {
    test::TempDir dir;
    test::WriteBytes(dir.Path() / "bad.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\nzz\n");
    test::WriteBytes(dir.Path() / "plan.dwg", std::string("AC1032") + std::string(256, '\0'));
    test::WriteBytes(dir.Path() / "old.dwg", std::string("AC1009") + std::string(256, '\0'));
    test::WriteBytes(dir.Path() / "host.dxf", Drawing({0, 0}, {1, 1},
                                                      {{"BAD", "bad.dxf", false},
                                                       {"DWG", "plan.dwg", false},
                                                       {"OLD", "old.dwg", false}}));
    auto r = LoadDrawing(dir.Path() / "host.dxf");
    ASSERT_TRUE(r.Ok());
    for (const auto& [name, status, reason] :
         {std::tuple("BAD", XrefStatus::Unreadable, "expected a group code"),
          {"DWG", XrefStatus::Unreadable, "identification text is missing"},
          {"OLD", XrefStatus::Unsupported, "older than R13"}}) {
        const auto& x = *Ref(*r.database, name).xref;
        EXPECT_EQ(x.status, status) << name;
        EXPECT_NE(x.reason.find(reason), std::string::npos) << x.reason;
        EXPECT_EQ(x.database, nullptr);
    }
}

TEST(Xrefs, DwgReferencesLoad) {
    auto source = test::TestData() / "dwg" / "libredwg" / "2000_entities-2d.dwg";
    if (!fs::exists(source)) {
        GTEST_SKIP() << "testdata absent";
    }
    test::TempDir dir;
    fs::copy_file(source, dir.Path() / "base.dwg");
    test::WriteBytes(dir.Path() / "host.dxf",
                     Drawing({0, 0}, {1, 1}, {{"BASE", "base.dwg", false}}));
    auto r = LoadDrawing(dir.Path() / "host.dxf");
    ASSERT_TRUE(r.Ok());
    const auto& base = *Ref(*r.database, "BASE").xref;
    ASSERT_EQ(base.status, XrefStatus::Loaded) << base.reason;
    ASSERT_NE(base.database, nullptr);
    EXPECT_EQ(base.database->header.acadVersion, "AC1015");
    EXPECT_FALSE(base.database->ModelSpace()->entities.empty());
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
    ASSERT_EQ(b.status, XrefStatus::Loaded);
    const auto& back = *Ref(*b.database, "A").xref;
    EXPECT_EQ(back.status, XrefStatus::Circular);
    EXPECT_NE(back.reason.find("a.dxf"), std::string::npos);
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
    ASSERT_EQ(mid.status, XrefStatus::Loaded);
    EXPECT_EQ(Ref(*mid.database, "OV").xref->status, XrefStatus::NotLoaded);
}

TEST(Xrefs, ReloadReadsFromTheCurrentPath) {
    test::TempDir dir;
    test::WriteBytes(dir.Path() / "host.dxf",
                     Drawing({0, 0}, {1, 1}, {{"BASE", "C:\\old\\base.dxf", false}}));
    auto r = LoadDrawing(dir.Path() / "host.dxf");
    ASSERT_TRUE(r.Ok());
    auto id = r.database->FindBlock("BASE");
    ASSERT_EQ(r.database->blocks[id].xref->status, XrefStatus::NotFound);
    // The file appears where the path points after it is changed.
    test::WriteBytes(dir.Path() / "new" / "base.dxf", Drawing({7, 7}, {8, 9}));
    r.database->blocks[id].xref->path = "new\\base.dxf";
    EXPECT_EQ(ReloadXref(*r.database, dir.Path() / "host.dxf", id), XrefStatus::Loaded);
    EXPECT_DOUBLE_EQ(db::ModelExtents(*r.database).max.y, 9);
    // Pointed somewhere empty again: unloaded, its drawing dropped.
    r.database->blocks[id].xref->path = "missing.dxf";
    EXPECT_EQ(ReloadXref(*r.database, dir.Path() / "host.dxf", id), XrefStatus::NotFound);
    EXPECT_EQ(r.database->blocks[id].xref->database, nullptr);
    // Not a reference: nothing happens.
    EXPECT_EQ(ReloadXref(*r.database, dir.Path() / "host.dxf", r.database->modelSpace),
              XrefStatus::NotLoaded);
    EXPECT_EQ(ReloadXref(*r.database, dir.Path() / "host.dxf", db::kNone), XrefStatus::NotLoaded);
}

}  // namespace
}  // namespace vx::engine::load
