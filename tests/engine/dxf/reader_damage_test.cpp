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

TEST(ReaderErrors, NotADrawingOrCutShort) {
    const std::string three = ThreeLines().EndSection().Eof().Ascii();
    const std::string binary = ThreeLines().EndSection().Eof().Binary();
    std::string badCode = three;  // the second LINE's layer code, on line 37, is garbage
    badCode.replace(badCode.find("0\nLINE\n8\n0\n", badCode.find("0\nLINE\n") + 1) + 7, 1, "x8");
    const struct {
        std::string bytes;
        const char* where;
        const char* what;
    } cases[] = {
        {"", "", "the file is empty"},
        {"Dear reader,\nthis is a letter.\n", "", "not a DXF file"},
        {"0\nEOF\n", "", "no SECTION"},
        {three.substr(0, three.find("ENDSEC", three.find("ENTITIES")) - 3), "",
         "ends inside the ENTITIES section that starts at line 15"},
        {binary.substr(0, binary.size() - 30), "offset ", ""},
        {badCode, "line 37", "expected a group code, found 'x8'"},
    };
    for (const auto& c : cases) {
        const auto r = dxf::ReadDxf(c.bytes);
        ASSERT_FALSE(r.Ok()) << c.what;
        EXPECT_PRED2(Contains, r.error.where, c.where);
        EXPECT_PRED2(Contains, r.error.what, c.what);
    }
}

// Damage the drawing survives: each is reported, the rest is read.
TEST(ReaderWarnings, DamageTheDrawingSurvives) {
    TestDxf brokenCircle = ThreeLines();
    brokenCircle.Groups("0 CIRCLE|8 0|10 1.0|20 one|30 0|40 2.0").EndSection().Eof();
    TestDxf optional;
    optional.Header("AC1018")
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
        .Groups("90 3|310 ABCDEF")
        .EndSection()
        .Eof();
    TestDxf noEnds;
    noEnds.Header("AC1009")
        .Section("BLOCKS")
        .Groups("0 BLOCK|2 B|70 0|10 0,0|0 LINE|8 0|10 0,0|11 1,1")
        .EndSection()
        .Section("ENTITIES")
        .Groups("0 INSERT|8 0|2 B|10 0,0")
        .EndSection();
    TestDxf header;
    header.Section("HEADER")
        .Groups("9 $ACADVER|1 AC1015|9 $INSUNITS|70 6")
        .Section("ENTITIES")
        .Groups("0 LINE|8 0|10 0,0|11 1,1")
        .EndSection()
        .Eof();
    TestDxf stray = ThreeLines();
    stray.Groups("0 VERTEX|8 0|10 0,0|0 INSERT|8 0|2 NOWHERE|10 0,0").EndSection().Eof();
    // The model space's entity count, block B's, the layout count and $INSUNITS after.
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::string> warnings;
        std::string counts;
    } cases[] = {
        {"broken entity",
         brokenCircle.Ascii(),
         {"line 73, group code 20: 'one' is not a number; CIRCLE skipped"},
         "3 - 2 0"},
        {"optional sections", optional.Ascii(), {"optional section", "OBJECTS section"}, "1 - 2 0"},
        {"no ENDBLK, no EOF", noEnds.Ascii(), {"missing ENDBLK", "no EOF marker"}, "1 1 2 0"},
        {"header without ENDSEC",
         header.Ascii(),
         {"line 13, group code 0: the HEADER section ends without ENDSEC"},
         "1 - 2 6"},
        {"stray vertex",
         stray.Ascii(),
         {"VERTEX outside of its POLYLINE", "block 'NOWHERE' is referenced but not defined"},
         "4 - 2 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = dxf::ReadDxf(c.bytes);
        ASSERT_TRUE(r.Ok()) << r.error.Text();
        const auto& d = *r.database;
        const std::string w = AllWarnings(d);
        EXPECT_EQ(d.warnings.size(), c.warnings.size()) << w;
        for (const auto& part : c.warnings) {
            EXPECT_PRED2(Contains, w, part);
        }
        const auto b = d.FindBlock("B");
        EXPECT_EQ(std::to_string(d.blocks[d.modelSpace].entities.size()) + " " +
                      (b == db::kNone ? "-" : std::to_string(d.blocks[b].entities.size())) + " " +
                      std::to_string(d.layouts.size()) + " " + std::to_string(d.header.insUnits),
                  c.counts);
    }
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

// Prefixes of a real file: an error or a drawing, never a crash (the sanitizer builds
// run this too).
TEST(ReaderRobustness, EveryTruncationOfARealFile) {
    VX_TESTDATA_OR_SKIP("dxf/ezdxf/bin_dxf_r2000.dxf", binary);
    VX_TESTDATA_OR_SKIP("dxf/ezdxf/small_r13.dxf", ascii);
    for (const std::string* bytes : {&binary, &ascii}) {
        int errors = 0, opened = 0;
        for (std::size_t n = 0; n < bytes->size(); n += 13) {
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
