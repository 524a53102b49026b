// Damaged DXF files: errors that say what and where, warnings for damage the drawing
// survives, and no crash, hang or runaway allocation on truncated or bit-flipped copies.
#include <gtest/gtest.h>

#include <random>

#include "dxf/TestDxf.h"
#include "engine/dxf/DxfReader.h"

namespace vx::engine {
namespace {

using test::TestDxf;

TestDxf ThreeLines() {
    TestDxf t;
    t.Header("AC1015").Section("ENTITIES");
    for (int i = 0; i < 3; ++i) {
        t.G(0, "LINE").G(8, "0").Point(10, i, 0).Point(11, i, 1);
    }
    return t;
}

bool Contains(const std::string& s, const std::string& part) {
    return s.find(part) != std::string::npos;
}

std::string AllWarnings(const db::Database& d) {
    std::string s;
    for (const auto& w : d.warnings) {
        s += w.Text() + "\n";
    }
    return s;
}

TEST(ReaderErrors, NotADrawing) {
    auto empty = dxf::ReadDxf("");
    EXPECT_FALSE(empty.Ok());
    EXPECT_EQ(empty.error.what, "the file is empty");
    auto text = dxf::ReadDxf("Dear reader,\nthis is a letter.\n");
    EXPECT_FALSE(text.Ok());
    EXPECT_TRUE(Contains(text.error.what, "not a DXF file"));
    auto noSection = dxf::ReadDxf("0\nEOF\n");
    EXPECT_FALSE(noSection.Ok());
    EXPECT_TRUE(Contains(noSection.error.what, "no SECTION"));
}

TEST(ReaderErrors, BadGroupCodeInEntitiesNamesTheLine) {
    std::string s = ThreeLines().EndSection().Eof().Ascii();
    // Replace the group code of the second LINE's layer with garbage.
    auto at = s.find("0\nLINE\n8\n0\n", s.find("0\nLINE\n") + 1);
    ASSERT_NE(at, std::string::npos);
    s.replace(at + 7, 1, "x8");
    auto r = dxf::ReadDxf(s);
    ASSERT_FALSE(r.Ok());
    int line =
        1 + static_cast<int>(std::count(s.begin(), s.begin() + static_cast<long>(at) + 7, '\n'));
    EXPECT_EQ(r.error.where, "line " + std::to_string(line));
    EXPECT_TRUE(Contains(r.error.what, "expected a group code, found 'x8'")) << r.error.what;
}

TEST(ReaderErrors, TruncatedInsideEntitiesIsAnError) {
    std::string s = ThreeLines().EndSection().Eof().Ascii();
    auto cut = s.substr(0, s.find("ENDSEC", s.find("ENTITIES")) - 3);
    auto r = dxf::ReadDxf(cut);
    ASSERT_FALSE(r.Ok());
    EXPECT_TRUE(Contains(r.error.what, "ends inside the ENTITIES section that starts at line 15"))
        << r.error.Text();
}

TEST(ReaderErrors, TruncatedBinaryNamesTheOffset) {
    std::string b = ThreeLines().EndSection().Eof().Binary();
    auto r = dxf::ReadDxf(b.substr(0, b.size() - 30));
    ASSERT_FALSE(r.Ok());
    EXPECT_TRUE(Contains(r.error.where, "offset ")) << r.error.Text();
}

TEST(ReaderWarnings, BrokenEntityIsSkippedAndReported) {
    TestDxf t = ThreeLines();
    t.G(0, "CIRCLE").G(8, "0").G(10, "1.0").G(20, "one").G(30, "0").G(40, "2.0");
    std::string s = t.EndSection().Eof().Ascii();
    auto r = dxf::ReadDxf(s);
    ASSERT_TRUE(r.Ok()) << r.error.Text();
    const auto& d = *r.database;
    EXPECT_EQ(d.blocks[d.modelSpace].entities.size(), 3u);
    ASSERT_EQ(d.warnings.size(), 1u);
    EXPECT_TRUE(Contains(d.warnings[0].where, "group code 20"));
    EXPECT_TRUE(Contains(d.warnings[0].where, "line "));
    EXPECT_TRUE(Contains(d.warnings[0].what, "'one' is not a number"));
    EXPECT_TRUE(Contains(d.warnings[0].what, "CIRCLE skipped"));
}

TEST(ReaderWarnings, DamagedOptionalSectionsStillOpen) {
    TestDxf t;
    t.Header("AC1018")
        .Section("CLASSES")
        .Groups("0 CLASS|1 X|999999 bad")
        .EndSection()
        .Section("ENTITIES")
        .Groups("0 LINE|8 0|10 0,0|11 1,1")
        .EndSection()
        .Section("OBJECTS")
        .Groups("0 DICTIONARY|5 C|99999 broken")
        .EndSection()
        .Section("THUMBNAILIMAGE")
        .G(90, 3)
        .G(310, "ABCDEF")
        .EndSection()
        .Eof();
    std::string s = t.Ascii();
    auto r = dxf::ReadDxf(s);
    ASSERT_TRUE(r.Ok()) << r.error.Text();
    const auto& d = *r.database;
    EXPECT_EQ(d.blocks[d.modelSpace].entities.size(), 1u);
    std::string w = AllWarnings(d);
    EXPECT_TRUE(Contains(w, "optional section")) << w;
    EXPECT_TRUE(Contains(w, "OBJECTS section")) << w;
    EXPECT_EQ(d.layouts.size(), 2u);
}

TEST(ReaderWarnings, MissingEofAndMissingEndblk) {
    TestDxf t;
    t.Header("AC1009")
        .Section("BLOCKS")
        .Groups("0 BLOCK|2 B|70 0|10 0,0|0 LINE|8 0|10 0,0|11 1,1")
        .EndSection()
        .Section("ENTITIES")
        .Groups("0 INSERT|8 0|2 B|10 0,0")
        .EndSection();
    auto r = dxf::ReadDxf(t.Ascii());
    ASSERT_TRUE(r.Ok()) << r.error.Text();
    std::string w = AllWarnings(*r.database);
    EXPECT_TRUE(Contains(w, "missing ENDBLK")) << w;
    EXPECT_TRUE(Contains(w, "no EOF marker")) << w;
    auto b = r.database->FindBlock("B");
    ASSERT_NE(b, db::kNone);
    EXPECT_EQ(r.database->blocks[b].entities.size(), 1u);
}

TEST(ReaderWarnings, HeaderWithoutEndsec) {
    TestDxf t;
    t.Section("HEADER")
        .Groups("9 $ACADVER|1 AC1015|9 $INSUNITS|70 6")
        .Section("ENTITIES")
        .Groups("0 LINE|8 0|10 0,0|11 1,1")
        .EndSection()
        .Eof();
    auto r = dxf::ReadDxf(t.Ascii());
    ASSERT_TRUE(r.Ok()) << r.error.Text();
    EXPECT_EQ(r.database->header.insUnits, 6);
    EXPECT_EQ(r.database->blocks[r.database->modelSpace].entities.size(), 1u);
    ASSERT_EQ(r.database->warnings.size(), 1u);
    EXPECT_EQ(r.database->warnings[0].Text(),
              "line 13, group code 0: the HEADER section ends without ENDSEC");
}

TEST(ReaderWarnings, StrayVertexAndUndefinedBlockAreReported) {
    TestDxf t = ThreeLines();
    t.G(0, "VERTEX").G(8, "0").Point(10, 0, 0);
    t.G(0, "INSERT").G(8, "0").G(2, "NOWHERE").Point(10, 0, 0);
    auto r = dxf::ReadDxf(t.EndSection().Eof().Ascii());
    ASSERT_TRUE(r.Ok());
    std::string w = AllWarnings(*r.database);
    EXPECT_TRUE(Contains(w, "VERTEX outside of its POLYLINE")) << w;
    EXPECT_TRUE(Contains(w, "block 'NOWHERE' is referenced but not defined")) << w;
}

TEST(ReaderWarnings, ManyWarningsAreCapped) {
    TestDxf t;
    t.Header("AC1015").Section("ENTITIES");
    for (int i = 0; i < 500; ++i) {
        t.G(0, "POINT").G(8, "0").G(10, "x").G(20, "0");
    }
    dxf::DxfReadOptions o;
    o.maxWarnings = 10;
    auto r = dxf::ReadDxf(t.EndSection().Eof().Ascii(), o);
    ASSERT_TRUE(r.Ok());
    ASSERT_EQ(r.database->warnings.size(), 11u);
    EXPECT_EQ(r.database->warnings.back().what, "and 490 more warnings");
}

// Every prefix of a real file: an error or a drawing, never a crash (the sanitizer builds
// run this too).
TEST(ReaderRobustness, EveryTruncationOfARealFile) {
    VX_TESTDATA_OR_SKIP("dxf/ezdxf/bin_dxf_r2000.dxf", binary);
    VX_TESTDATA_OR_SKIP("dxf/ezdxf/small_r13.dxf", ascii);
    for (const std::string* bytes : {&binary, &ascii}) {
        int errors = 0, opened = 0;
        const std::size_t step = bytes == &binary ? 1 : 7;
        for (std::size_t n = 0; n < bytes->size(); n += step) {
            auto r = dxf::ReadDxf(std::string_view(*bytes).substr(0, n));
            if (r.Ok()) {
                ++opened;
                EXPECT_FALSE(r.database->warnings.empty()) << "cut at " << n << " gave no warning";
            } else {
                ++errors;
                EXPECT_FALSE(r.error.what.empty());
            }
        }
        EXPECT_GT(errors, 0);
    }
}

TEST(ReaderRobustness, BitFlippedCopies) {
    VX_TESTDATA_OR_SKIP("dxf/acadsharp/sample_AC1015_binary.dxf", binary);
    VX_TESTDATA_OR_SKIP("dxf/ezdxf/text.dxf", ascii);
    std::mt19937 rng(20261206);
    for (const std::string* original : {&binary, &ascii}) {
        for (int round = 0; round < 60; ++round) {
            std::string s = *original;
            std::uniform_int_distribution<std::size_t> pos(0, s.size() - 1);
            for (int k = 0; k < 1 + round % 8; ++k) {
                s[pos(rng)] ^= static_cast<char>(1 << (rng() % 8));
            }
            auto r = dxf::ReadDxf(s);
            if (!r.Ok()) {
                EXPECT_FALSE(r.error.where.empty()) << r.error.what;
            }
        }
    }
}

TEST(ReaderRobustness, HugeCountsDoNotAllocate) {
    // Counts in the file are hints only: a hatch that claims two billion paths, a
    // polyline that claims a huge vertex count.
    TestDxf t;
    t.Header("AC1015")
        .Section("ENTITIES")
        .Groups(
            "0 HATCH|8 0|2 SOLID|70 1|91 2000000000|92 2|93 2000000000|0 LWPOLYLINE|8 0|"
            "90 2000000000|10 0.0|20 0.0|0 INSERT|8 0|2 X|70 32767|71 32767|10 0,0")
        .EndSection()
        .Eof();
    auto r = dxf::ReadDxf(t.Ascii());
    ASSERT_TRUE(r.Ok()) << r.error.Text();
    const auto& e = r.database->blocks[r.database->modelSpace].entities;
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].As<db::Hatch>()->paths.size(), 1u);
    EXPECT_EQ(e[1].As<db::LwPolyline>()->vertices.size(), 1u);
}

}  // namespace
}  // namespace vx::engine
