// The DWG reader: the same drawings as their DXF twins; damaged and foreign input refused
// or read with warnings, never a crash, hang or read out of bounds (the sanitizer build of
// scripts/check-engine-reader runs these too); bit codes, checksums and decompressors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "db/TestBitWriter.h"
#include "dwg/EntityReading.h"
#include "dxf/TestDxf.h"
#include "engine/db/Database.h"
#include "engine/dwg/BitReader.h"
#include "engine/dwg/Compression.h"
#include "engine/dwg/DwgReader.h"
#include "engine/dxf/DxfReader.h"

namespace vx::engine::dwg {
namespace {

using vx::test::BitWriter;

bool AnyWarning(const db::Database& d, const std::string& part) {
    for (const auto& w : d.warnings) {
        if (w.Text().find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

void PutU32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

std::uint32_t GetU32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | static_cast<std::uint8_t>(s[at + i]);
    }
    return v;
}

TEST(DwgRefusals, EmptyForeignOldAndUnknownVersions) {
    const std::string pad(100, '\0');
    const std::pair<std::string, const char*> cases[] = {
        {"", "the file is empty"},
        {"0\nSECTION\n", "not a DWG file: it does not begin with a version code"},
        {"AC1009" + pad, "DWG version AC1009 (R11/R12) is older than R13 and cannot be read"},
        {"AC1016" + pad, "DWG version 'AC1016' is not a version that can be read"},
        {"AC1040" + pad, "DWG version AC1040 is newer than 2018 and cannot be read"},
    };
    for (const auto& [bytes, what] : cases) {
        const auto r = ReadDwg(bytes);
        EXPECT_EQ(std::tuple(r.Ok(), r.error.what), std::tuple(false, what));
    }
}

// The R2004 header is masked from 0x80: the mask of its byte `at`.
std::uint8_t R2004Mask(std::size_t at) {
    std::uint32_t seed = 1;
    for (std::size_t i = 0; i <= at; ++i) {
        seed = seed * 0x343FDu + 0x269EC3u;
    }
    return static_cast<std::uint8_t>(seed >> 16);
}

// Damage to the file's layout: refused naming what is broken, or read with a warning.
TEST(DwgLayoutDamage, EachDamageSaysWhat) {
    const struct {
        const char* name;
        const char* file;
        std::function<void(std::string&)> damage;
        bool opens;
        const char* where;
        const char* what;
    } cases[] = {
        {"locator outside", "2000_entities-2d.dwg",
         [](std::string& b) { PutU32(b, 0x19 + 1, 0x7FFFFFF0u); },  // record 0: the header
         false, "file layout", "section locator 0 points outside the file"},
        {"too many locators", "2000_entities-2d.dwg",
         [](std::string& b) { PutU32(b, 0x15, 1000000); }, false, "", "1000000 section locators"},
        {"header size", "2000_entities-2d.dwg",  // defaults stay, the drawing opens
         [](std::string& b) { PutU32(b, GetU32(b, 0x19 + 1) + 16, 0x7FFFFFF0u); }, true, "",
         "header section"},
        {"R2004 identification", "2004_Text.dwg",
         [](std::string& b) { b[0x80] = static_cast<char>(b[0x80] ^ 0xFF); }, false, "",
         "the file header is damaged: its identification text is missing"},
        {"R2004 page map far away", "2004_Text.dwg",  // its address: 0x54 of the header
         [](std::string& b) {
             for (std::size_t i = 0; i < 4; ++i) {
                 b[0x80 + 0x54 + i] = static_cast<char>((i == 3 ? 0x7F : 0) ^ R2004Mask(0x54 + i));
             }
         },
         false, "", "page map address"},
        {"R2007 pages cut", "2007_Text.dwg", [](std::string& b) { b.resize(0x480 + 100); }, false,
         "file layout", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VX_TESTDATA_OR_SKIP(std::string("dwg/libredwg/") + c.file, bytes);
        std::string b = bytes;
        c.damage(b);
        const auto r = ReadDwg(b);
        ASSERT_EQ(r.Ok(), c.opens) << r.error.Text();
        if (c.opens) {
            EXPECT_TRUE(AnyWarning(*r.database, c.what)) << r.database->warnings.size();
            EXPECT_FALSE(r.database->ModelSpace()->entities.empty());
        } else {
            EXPECT_EQ(r.error.where.find(c.where), 0u) << r.error.where;
            EXPECT_NE(r.error.what.find(c.what), std::string::npos) << r.error.what;
            EXPECT_FALSE(r.error.what.empty());
        }
    }
}

// Any bytes give a result or an error with a description: never a crash or a hang.
class DwgAnyDamage : public ::testing::TestWithParam<const char*> {};

TEST_P(DwgAnyDamage, TruncatedAndFlippedCopies) {
    VX_TESTDATA_OR_SKIP(GetParam(), bytes);
    for (int k = 1; k < 24; ++k) {
        auto r = ReadDwg(bytes.substr(0, bytes.size() * static_cast<std::size_t>(k) / 24));
        EXPECT_TRUE(r.Ok() || !r.error.what.empty()) << k;
    }
    std::mt19937_64 next(0x9E3779B97F4A7C15ull);
    int ok = 0, skipped = 0;
    for (int trial = 0; trial < 60; ++trial) {
        std::string b = bytes;
        for (auto f = 1 + next() % 4; f > 0; --f) {
            std::size_t at = 0x19 + next() % (b.size() - 0x19);
            b[at] = static_cast<char>(b[at] ^ static_cast<char>(1 + next() % 255));
        }
        auto r = ReadDwg(b);
        if (r.Ok()) {
            ++ok;
            for (const auto& w : r.database->warnings) {
                EXPECT_FALSE(w.what.empty());
                // A skipped object is named by its handle, place and type.
                if (w.where.rfind("object ", 0) == 0 &&
                    w.where.find(" at offset ") != std::string::npos) {
                    ++skipped;
                    EXPECT_NE(w.where.find("("), std::string::npos) << w.where;
                }
            }
            EXPECT_LE(r.database->warnings.size(), 201u);
        } else {
            EXPECT_FALSE(r.error.what.empty());
        }
    }
    // Most flips hit object data, which costs the objects hit, not the drawing.
    EXPECT_GT(std::min(ok, skipped), 0);
}

INSTANTIATE_TEST_SUITE_P(Versions, DwgAnyDamage,
                         ::testing::Values("dwg/libredwg/2000_entities-2d.dwg",
                                           "dwg/libredwg/2004_Text.dwg",
                                           "dwg/libredwg/2007_Text.dwg"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                             return test::StemName(p.param);
                         });

BitReader Reader(const BitWriter& w, int version = 1015) {
    return BitReader(w.Data().data(), w.Data().size(), version);
}

TEST(BitCodes, EachCodeReadsItsValue) {
    const struct {
        const char* name;
        int version;
        std::function<void(BitWriter&)> write;
        std::function<double(BitReader&)> read;
        double value;
    } cases[] = {
        {"BS full", 1015, [](BitWriter& w) { w.Code(0).RS(0xFFFE); },
         [](BitReader& r) { return r.BS(); }, -2},
        {"BS 256", 1015, [](BitWriter& w) { w.Code(3); }, [](BitReader& r) { return r.BS(); }, 256},
        {"BL full", 1015, [](BitWriter& w) { w.Code(0).RL(0x80000001u); },
         [](BitReader& r) { return double(static_cast<std::uint32_t>(r.BL())); }, 0x80000001u},
        {"DD six bytes", 1015,
         [](BitWriter& w) { w.Code(2).RC(0).RC(0x80).RC(0).RC(0).RC(0).RC(0); },
         [](BitReader& r) { return r.DD(1.0); },
         1.03125},  // 0x3FF0800000000000: two high bytes first
        {"MC negative", 1015, [](BitWriter& w) { w.RC(0xC5).RC(0x42); },
         [](BitReader& r) { return double(r.MCSigned()); }, -(0x45 | (2 << 7))},
        {"MS", 1015, [](BitWriter& w) { w.RS(0x8001).RS(0x0002); },
         [](BitReader& r) { return double(r.MS()); }, 1 | (2 << 15)},
        {"H owner - 0x10", 1015, [](BitWriter& w) { w.Handle(0xC, {0x10}); },
         [](BitReader& r) { return double(r.H(0x100).value); }, 0xF0},
        {"BT short zero", 1015, [](BitWriter& w) { w.Bit(true); },
         [](BitReader& r) { return r.BT(); }, 0},
        {"BE of R14 is a 3BD", 1014, [](BitWriter& w) { w.Code(1).Code(2).Code(1); },
         [](BitReader& r) { return r.BE().x; }, 1},
        {"OT of R2010", 1024, [](BitWriter& w) { w.Code(1).RC(0x10); },
         [](BitReader& r) { return double(r.OT()); }, 0x200},
    };
    for (const auto& c : cases) {
        BitWriter w;
        c.write(w);
        auto r = Reader(w, c.version);
        EXPECT_EQ(c.read(r), c.value) << c.name;
        EXPECT_EQ(r.Pos(), w.BitCount()) << c.name;
    }
}

TEST(BitCodes, TextInTheCodePageBeforeR2007AndUtf16After) {
    BitWriter w;
    w.Code(1).RC(4).RC('A').RC(0xE4).RC('b').RC(0);  // trailing zero dropped
    EXPECT_EQ(Reader(w, 1018).T(), std::string("A\xE4"
                                               "b"));
    BitWriter u;  // "Ä€" and a surrogate pair
    u.Code(1).RC(4).RS(0x00C4).RS(0x20AC).RS(0xD83D).RS(0xDE00);
    EXPECT_EQ(Reader(u, 1021).T(), "\xC3\x84\xE2\x82\xAC\xF0\x9F\x98\x80");
}

TEST(BitCodes, InvalidCodesAndReadingPastTheEndAreErrors) {
    BitWriter w;
    w.Code(3).Code(3).RC(0x49);
    for (int i = 0; i < 9; ++i) {
        w.RC(1);
    }
    auto r = Reader(w);
    EXPECT_THROW(r.BD(), DwgError);
    EXPECT_THROW(r.BL(), DwgError);
    EXPECT_THROW(r.H(), DwgError);  // longer than eight bytes
    BitWriter one;
    one.RC(1);
    auto r1 = Reader(one);
    r1.Bits(3);
    try {
        r1.RC();
        FAIL() << "no error";
    } catch (const DwgError& e) {
        EXPECT_NE(std::string(e.what()).find("at bit 3 of 8"), std::string::npos) << e.what();
    }
    // A text whose length passes the end is refused before anything is allocated.
    BitWriter t;
    t.Code(0).RS(0x7FFF).RC('x');
    auto rt = Reader(t);
    EXPECT_THROW(rt.T(), DwgError);
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> v) {
    return std::vector<std::uint8_t>(v.begin(), v.end());
}

// Decompressing damaged pages: an error, never a read or write out of bounds.
TEST(Decompress, DamageIsAnErrorNotAnOverrun) {
    auto in = Bytes({0x02, 'A', 'B', 'C', 'D', 'E', 0x24, 0x10, 0x00, 0x11});
    EXPECT_THROW(DecompressR2004(in.data(), in.size(), 8), DwgError);  // more than announced
    auto far = Bytes({0x02, 'A', 'B', 'C', 'D', 'E', 0x24, 0x40, 0x00, 0x11});  // before start
    EXPECT_THROW(DecompressR2004(far.data(), far.size(), 100), DwgError);
    auto cut = Bytes({0x05, 'A', 'B'});
    EXPECT_THROW(DecompressR2004(cut.data(), cut.size(), 100), DwgError);
    auto in7 = Bytes({0x01, '1', '2', '3', '4', '5', '6', '7', '8', '9', 0x14, 0x02, 0x00});
    EXPECT_THROW(DecompressR2007(in7.data(), in7.size(), 12), DwgError);
    auto far7 = Bytes({0x01, '1', '2', '3', '4', '5', '6', '7', '8', '9', 0x14, 0x40, 0x00});
    EXPECT_THROW(DecompressR2007(far7.data(), far7.size(), 16), DwgError);
}

TEST(ReedSolomon, TooMuchDamageIsReportedAndLeftAlone) {
    std::uint8_t word[255] = {};
    for (int e = 0; e < 40; ++e) {
        word[6 * e] = static_cast<std::uint8_t>(e + 1);
    }
    std::uint8_t before[255];
    std::memcpy(before, word, 255);
    EXPECT_EQ(CorrectReedSolomon(word, 16), -1);
    EXPECT_EQ(std::memcmp(word, before, 255), 0);
}

TEST(ReedSolomon, TheR2007FileHeaderIsMended) {
    VX_TESTDATA_OR_SKIP("dwg/libredwg/2007_Text.dwg", bytes);
    auto clean = ReadDwg(bytes);
    ASSERT_TRUE(clean.Ok()) << clean.error.Text();
    EXPECT_TRUE(clean.database->warnings.empty());
    // The header's words are interleaved three ways from 0x80: damage five bytes of the
    // first word and three of the second.
    std::string b = bytes;
    for (int j : {0, 10, 20, 100, 200}) {
        b[0x80 + 3 * j] = static_cast<char>(b[0x80 + 3 * j] ^ 0x77);
    }
    for (int j : {1, 2, 3}) {
        b[0x80 + 1 + 3 * j] = static_cast<char>(b[0x80 + 1 + 3 * j] ^ 0x11);
    }
    auto r = ReadDwg(b);
    ASSERT_TRUE(r.Ok()) << r.error.Text();
    ASSERT_EQ(r.database->warnings.size(), 1u);
    EXPECT_EQ(r.database->warnings[0].Text(),
              "file header: 2 damaged Reed-Solomon words were mended");
    EXPECT_EQ(r.database->ModelSpace()->entities.size(),
              clean.database->ModelSpace()->entities.size());
}

// The DWG reader against the DXF reader: the test data hold the same drawings as DWG and
// as DXF, and what the DWG reader reads must match what the DXF reader reads from the twin:
// layouts with their plot settings, entity counts by type in each layout, and the
// geometry and text of the entities (matched by handle, which both files share).
using db::Database;
using db::Entity;
using db::EntityType;
using test::Anonymous;
using test::CountsByLayout;

struct Twin {
    enum Kind {
        Exact,       // the DXF export of this very file: everything matches
        Resaved,     // the drawing saved again in another version: handles, table
                     // details and header variables of newer versions differ
        Downgraded,  // an R13/R14 DXF: no layouts, custom objects turned into blocks
    };
    const char* dwg;  // under dwg/, without ".dwg"
    const char* dxf;  // under dxf/, without ".dxf"
    Kind kind = Exact;
};

// The drawing a reader makes of the file, its tables drawn from their cells.
template <class Reader>
std::unique_ptr<Database> ReadFile(Reader read, const std::filesystem::path& file) {
    db::ReadOptions options;
    options.tablesFromCells = true;
    auto r = read(test::ReadBytes(file), options);
    EXPECT_TRUE(r.Ok()) << r.error.Text();
    return std::move(r.database);
}

// Colours as the drawing means them: by layer and by block carry no index.
std::string ColorText(const db::Color& c) {
    using K = db::Color::Kind;
    return c.kind == K::ByLayer   ? "bylayer"
           : c.kind == K::ByBlock ? "byblock"
           : c.kind == K::Index   ? "aci " + std::to_string(c.index)
                                  : "rgb " + std::to_string(c.rgb);
}

// A number to nine decimals, so that the two readings compare as equal.
double R(double x) {
    return std::round(x * 1e9) / 1e9;
}

class DwgTwins : public ::testing::TestWithParam<Twin> {
protected:
    void SetUp() override {
        const auto dwgPath = test::TestData() / "dwg" / (GetParam().dwg + std::string(".dwg"));
        const auto dxfPath = test::TestData() / "dxf" / (GetParam().dxf + std::string(".dxf"));
        if (!std::filesystem::exists(dwgPath) || !std::filesystem::exists(dxfPath)) {
            GTEST_SKIP() << "testdata absent: " << dwgPath;
        }
        dwg_ = ReadFile(dwg::ReadDwg, dwgPath);
        dxf_ = ReadFile(dxf::ReadDxf, dxfPath);
        ASSERT_TRUE(dwg_ && dxf_);
        for (const auto& w : dwg_->warnings) {
            ADD_FAILURE() << w.Text();
        }
    }
    std::unique_ptr<Database> dwg_, dxf_;
};

TEST_P(DwgTwins, SameDrawingAsTheDxfTwin) {
    auto a = CountsByLayout(*dwg_);
    auto b = CountsByLayout(*dxf_);
    if (GetParam().kind == Twin::Downgraded) {
        // Model space: the entities an R13/R14 DXF file holds as they are.
        for (const char* type : {"LINE", "ARC", "CIRCLE", "TEXT", "MTEXT", "POLYLINE", "SPLINE",
                                 "ELLIPSE", "SOLID", "3DFACE", "DIMENSION", "POINT", "ATTDEF"}) {
            EXPECT_EQ(a["Model"][type], b["Model"][type]) << type;
        }
        EXPECT_EQ(a["Layout1"], b["Layout1"]);
    } else {
        EXPECT_EQ(a, b);
        ASSERT_EQ(dwg_->layouts.size(), dxf_->layouts.size());
        for (std::size_t i = 0; i < dxf_->layouts.size(); ++i) {
            const auto key = [](const db::Layout& l) {
                const auto& p = l.plot;
                return std::tuple(l.name, l.tabOrder, p.configName, p.canonicalMediaName,
                                  p.styleSheet, R(p.paperWidth), R(p.marginLeft),
                                  p.flags & ~db::PlotSettings::kModelType, p.plotType, p.rotation,
                                  p.standardScaleType, R(p.customScaleDenominator),
                                  R(p.plotOrigin.x), R(p.windowMin.y), R(p.windowMax.x));
            };
            EXPECT_EQ(key(dwg_->layouts[i]), key(dxf_->layouts[i]));
        }
    }
    if (GetParam().kind == Twin::Resaved) {
        return;  // another save of the drawing: handles differ
    }
    auto other = test::ByHandle(*dxf_);
    int compared = 0;
    for (const auto& blk : dwg_->blocks) {
        if (Anonymous(blk.name) && !blk.IsModelSpace() && !blk.IsPaperSpace()) {
            continue;  // made again by the program that exported the DXF file
        }
        for (const auto& e : blk.entities) {
            auto it = other.find(e.props.handle);
            if (e.type == EntityType::Unknown &&
                (it == other.end() || it->second->type != EntityType::Table)) {
                continue;  // (some exports turn custom objects into blocks)
            }
            if (it == other.end() && GetParam().kind == Twin::Downgraded && blk.IsPaperSpace() &&
                &blk != &dwg_->blocks[dwg_->activePaperSpace]) {
                continue;  // a layout the R13/R14 file has no room for
            }
            ASSERT_NE(it, other.end()) << "handle " << std::hex << e.props.handle << " ("
                                       << e.TypeName() << ") is not in the DXF file";
            const Entity& x = *it->second;
            std::string what = std::string(e.TypeName()) + " " + std::to_string(e.props.handle);
            // an R13/R14 export keeps a table or an arc-length dimension as a reference to
            // its block, a multileader as a proxy
            if ((x.type == EntityType::Unknown ||
                 (e.type == EntityType::Dimension && x.type == EntityType::Insert)) &&
                GetParam().kind == Twin::Downgraded) {
                continue;
            }
            if (!(e.type == EntityType::Table && x.type == EntityType::Insert)) {
                ASSERT_EQ(e.TypeName(), x.TypeName()) << what;
            }
            if (const auto* t = e.As<db::Insert>();
                t && e.type == EntityType::Table && x.type == EntityType::Table) {
                // the table drawn from its cells
                const auto* u = x.As<db::Insert>();
                ASSERT_TRUE(t->block < dwg_->blocks.size() && u->block < dxf_->blocks.size())
                    << what;
                const auto &cells = dwg_->blocks[t->block].entities,
                           &twin = dxf_->blocks[u->block].entities;
                ASSERT_EQ(test::CountsOf(dwg_->blocks[t->block]),
                          test::CountsOf(dxf_->blocks[u->block]))
                    << what;
                for (std::size_t k = 0; k < cells.size(); ++k) {
                    test::ExpectSameReading(test::ReadingOf(*dwg_, cells[k]),
                                            test::ReadingOf(*dxf_, twin[k]),
                                            what + " cell picture " + std::to_string(k));
                    EXPECT_EQ(ColorText(cells[k].props.color) + " " +
                                  std::to_string(cells[k].props.lineweight),
                              ColorText(twin[k].props.color) + " " +
                                  std::to_string(twin[k].props.lineweight))
                        << what << " cell picture " << k;
                }
            }
            const auto props = [](const Database& d, const Entity& y) {
                const auto& p = y.props;
                return std::tuple(d.layers[p.layer].name, ColorText(p.color), p.lineweight,
                                  p.invisible, R(p.linetypeScale), R(p.extrusion.x),
                                  R(p.extrusion.y), R(p.extrusion.z));
            };
            EXPECT_EQ(props(*dwg_, e), props(*dxf_, x)) << what;
            ++compared;
            if (const auto* ld = e.As<db::Leader>()) {
                // a DXF export adds the end of the hook line as a vertex
                const std::size_t n = x.As<db::Leader>()->vertices.size();
                EXPECT_TRUE(n == ld->vertices.size() || n == ld->vertices.size() + 1) << what;
            }
            if (const auto* sp = e.As<db::Spline>(); sp && sp->controlPoints.empty()) {
                // Stored by its fit points only; a DXF export may list the control points it
                // computed instead, and may keep the fit points too.
                const auto& fit = x.As<db::Spline>()->fitPoints;
                ASSERT_FALSE(sp->fitPoints.empty()) << what;
                if (!fit.empty()) {
                    ASSERT_EQ(sp->fitPoints.size(), fit.size()) << what;
                    const auto p = sp->fitPoints.back(), q = fit.back();
                    EXPECT_NEAR(std::hypot(p.x - q.x, p.y - q.y, p.z - q.z), 0,
                                1e-9 * (1 + std::abs(q.x) + std::abs(q.y)))
                        << what;
                }
                continue;
            }
            if (const auto* vp = e.As<db::Viewport>(); vp && x.As<db::Viewport>()->id != 0) {
                EXPECT_EQ(vp->id, x.As<db::Viewport>()->id) << what;  // (some writers leave it out)
                EXPECT_EQ(vp->On(), x.As<db::Viewport>()->On()) << what;
            }
            if (const auto* im = e.As<db::Image>()) {
                // (a DXF export may repeat the first vertex at the end)
                EXPECT_LE(x.As<db::Image>()->clipBoundary.size() - im->clipBoundary.size(), 1u)
                    << what;
            }
            test::ExpectSameReading(test::ReadingOf(*dwg_, e), test::ReadingOf(*dxf_, x), what);
        }
    }
    EXPECT_GT(compared, 0);
    EXPECT_EQ(dwg_->header.wipeoutFrame, dxf_->header.wipeoutFrame);
    if (GetParam().kind == Twin::Exact) {  // (an R13 DXF file has no $MEASUREMENT)
        EXPECT_EQ(test::ArrowSizing(dwg_->header), test::ArrowSizing(dxf_->header));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Testdata, DwgTwins,
    ::testing::Values(Twin{"libredwg/example_r13", "libredwg/example_r13", Twin::Downgraded},
                      Twin{"libredwg/example_2000", "libredwg/example_2000"},
                      Twin{"acadsharp/sample_AC1018", "acadsharp/sample_AC1018_ascii"},
                      Twin{"acadsharp/sample_AC1021", "acadsharp/sample_AC1021_ascii"},
                      Twin{"acadsharp/sample_AC1024", "acadsharp/sample_AC1024_ascii"},
                      Twin{"acadsharp/sample_AC1027", "acadsharp/sample_AC1027_ascii"},
                      Twin{"acadsharp/sample_AC1032", "acadsharp/sample_AC1032_ascii"},
                      Twin{"acadsharp/sample_AC1014", "acadsharp/sample_AC1015_ascii",
                           Twin::Resaved},
                      Twin{"libredwg/example_2018", "libredwg/example_2000", Twin::Resaved}),
    [](const ::testing::TestParamInfo<Twin>& p) { return test::StemName(p.param.dwg); });

}  // namespace
}  // namespace vx::engine::dwg
