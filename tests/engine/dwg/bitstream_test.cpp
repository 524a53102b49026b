// The bit stream codes of DWG data, the checksums and the decompressors, each fed with
// bytes made by hand for the case.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "dwg/BitWriter.h"
#include "dxf/TestDxf.h"
#include "engine/dwg/BitReader.h"
#include "engine/dwg/Compression.h"
#include "engine/dwg/DwgReader.h"

namespace vx::engine::dwg {
namespace {

using test::BitWriter;

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

}  // namespace
}  // namespace vx::engine::dwg
