// The bit stream codes of DWG data, the checksums and the decompressors, each fed with
// bytes made by hand for the case.
#include <gtest/gtest.h>

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

TEST(BitCodes, ShortsAndLongsByTheirTwoBitCode) {
    BitWriter w;
    w.Code(0).RS(0xFFFE);  // a full short
    w.Code(1).RC(200);     // an unsigned char
    w.Code(2);             // zero
    w.Code(3);             // 256
    w.Code(0).RL(0x80000001u);
    w.Code(1).RC(7);
    w.Code(2);
    auto r = Reader(w);  // (a braced list reads in order)
    EXPECT_EQ((std::vector<int>{r.BS(), r.BS(), r.BS(), r.BS()}),
              (std::vector<int>{-2, 200, 0, 256}));
    EXPECT_EQ((std::vector<std::uint32_t>{static_cast<std::uint32_t>(r.BL()),
                                          static_cast<std::uint32_t>(r.BL()),
                                          static_cast<std::uint32_t>(r.BL())}),
              (std::vector<std::uint32_t>{0x80000001u, 7, 0}));
    EXPECT_EQ(r.Pos(), w.BitCount());
}

TEST(BitCodes, DoublesAndDefaultPatchedDoubles) {
    BitWriter w;
    w.Code(0).RD(-2.5).Code(1).Code(2);
    // DD: 00 keeps the default, 01 patches its low four bytes, 10 patches six bytes
    // (two high ones first), 11 is a whole double.
    w.Code(0);
    w.Code(1).RC(0x11).RC(0x22).RC(0x33).RC(0x44);
    w.Code(2).RC(0x55).RC(0x66).RC(0x11).RC(0x22).RC(0x33).RC(0x44);
    w.Code(3).RD(42.0);
    auto r = Reader(w);
    EXPECT_EQ((std::vector<double>{r.BD(), r.BD(), r.BD()}), (std::vector<double>{-2.5, 1, 0}));
    const double def = 1.0;  // 0x3FF0000000000000
    const std::vector<double> dd{r.DD(def), r.DD(def), r.DD(def), r.DD(def)};
    std::uint64_t bits[2];
    std::memcpy(&bits[0], &dd[1], 8);
    std::memcpy(&bits[1], &dd[2], 8);
    EXPECT_EQ(dd[0], def);
    EXPECT_EQ(bits[0], 0x3FF0000044332211ull);
    EXPECT_EQ(bits[1], 0x3FF0665544332211ull);
    EXPECT_EQ(dd[3], 42.0);
}

TEST(BitCodes, AnInvalidDoubleOrLongCodeIsAnError) {
    BitWriter w;
    w.Code(3).Code(3).RC(0);
    auto r = Reader(w);
    EXPECT_THROW(r.BD(), DwgError);
    EXPECT_THROW(r.BL(), DwgError);
}

TEST(BitCodes, ModularCharsAndShorts) {
    BitWriter w;
    // 0x45 0x82: high bit set on the first byte continues; 0x82 & 0x7F = 2 → 2 << 7 | 0x45.
    // Here the second byte's 0x40 is clear, so the signed reading is positive.
    w.RC(0xC5).RC(0x02);
    // A negative one: last byte 0x41 → -(1).
    w.RC(0x41);
    // Unsigned: 0x81 0x41 → 1 | (0x41 << 7)
    w.RC(0x81).RC(0x41);
    // Modular short: 0x8001 (continue, 1), 0x0002 → 1 | 2 << 15
    w.RS(0x8001).RS(0x0002);
    auto r = Reader(w);
    EXPECT_EQ((std::vector<long long>{r.MCSigned(), r.MCSigned(), static_cast<long long>(r.MC()),
                                      r.MS()}),
              (std::vector<long long>{0x45 | (2 << 7), -1, 1 | (0x41 << 7), 1 | (2 << 15)}));
}

TEST(BitCodes, HandleReferencesRelativeToTheirObject) {
    BitWriter w;
    w.Handle(5, {0x01, 0x2C});  // absolute 0x12C
    w.Handle(6, {});            // owner + 1
    w.Handle(8, {});            // owner - 1
    w.Handle(0xA, {0x10});      // owner + 0x10
    w.Handle(0xC, {0x10});      // owner - 0x10
    auto r = Reader(w);
    std::vector<std::uint64_t> values;
    HandleRef h;
    for (int i = 0; i < 5; ++i) {
        values.push_back((h = r.H(0x100)).value);
    }
    EXPECT_EQ(values, (std::vector<std::uint64_t>{0x12C, 0x101, 0xFF, 0x110, 0xF0}));
    EXPECT_EQ(h.code, 0xC);
}

TEST(BitCodes, AHandleLongerThanEightBytesIsAnError) {
    BitWriter w;
    w.RC(0x49);
    for (int i = 0; i < 9; ++i) {
        w.RC(1);
    }
    auto r = Reader(w);
    EXPECT_THROW(r.H(), DwgError);
}

TEST(BitCodes, TextInTheCodePageBeforeR2007AndUtf16After) {
    BitWriter w;
    w.Code(1).RC(4).RC('A').RC(0xE4).RC('b').RC(0);  // trailing zero dropped
    auto r = Reader(w, 1018);
    EXPECT_EQ(r.T(), std::string("A\xE4"
                                 "b"));
    BitWriter u;
    // "Ä€" and a character outside the basic plane (a surrogate pair)
    u.Code(1).RC(4).RS(0x00C4).RS(0x20AC).RS(0xD83D).RS(0xDE00);
    auto r2 = Reader(u, 1021);
    EXPECT_EQ(r2.T(), "\xC3\x84\xE2\x82\xAC\xF0\x9F\x98\x80");
}

TEST(BitCodes, ExtrusionAndThicknessShortFormsFromR2000) {
    BitWriter w;
    w.Bit(true);                           // BE default
    w.Bit(false).Code(2).Code(2).Code(1);  // BE (0, 0, 1) spelled out
    w.Bit(true);                           // BT zero
    w.Bit(false).Code(0).RD(2.5);          // BT 2.5
    auto r = Reader(w, 1015);
    EXPECT_EQ((std::tuple{r.BE(), r.BE(), r.BT(), r.BT()}),
              std::tuple(db::Vec3{0, 0, 1}, db::Vec3{0, 0, 1}, 0.0, 2.5));
    // R14 has no short forms: the same first bit belongs to a 3BD.
    BitWriter w14;
    w14.Code(1).Code(2).Code(1);
    EXPECT_EQ(Reader(w14, 1014).BE(), (db::Vec3{1, 0, 1}));
}

TEST(BitCodes, ObjectTypesOfR2010) {
    BitWriter w;
    w.Code(0).RC(19);    // LINE
    w.Code(1).RC(0x10);  // 0x1F0 + 0x10 = 0x200
    w.Code(2).RS(0x1234);
    auto r = Reader(w, 1024);
    EXPECT_EQ((std::vector<std::uint32_t>{r.OT(), r.OT(), r.OT()}),
              (std::vector<std::uint32_t>{19, 0x200, 0x1234}));
}

TEST(BitCodes, ReadingPastTheEndThrowsAndSaysWhere) {
    BitWriter w;
    w.RC(1);
    auto r = Reader(w);
    r.Bits(3);
    try {
        r.RC();
        FAIL() << "no error";
    } catch (const DwgError& e) {
        EXPECT_NE(std::string(e.what()).find("at bit 3 of 8"), std::string::npos) << e.what();
    }
    EXPECT_THROW(r.Seek(9), DwgError);
    // A text whose length passes the end is refused before anything is allocated.
    BitWriter t;
    t.Code(0).RS(0x7FFF).RC('x');
    auto rt = Reader(t);
    EXPECT_THROW(rt.T(), DwgError);
}

TEST(Checksums, KnownValues) {
    const std::string s = "123456789";
    const auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
    EXPECT_EQ(Crc16(0, p, s.size()), 0xBB3D);
    // eight bytes at a time give what one byte at a time gives, at every length and seed
    std::vector<std::uint8_t> data(300);
    std::uint32_t lcg = 12345;
    for (auto& d : data) {
        lcg = lcg * 1103515245u + 12345u;
        d = static_cast<std::uint8_t>(lcg >> 16);
    }
    for (std::size_t n : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 255u, 300u}) {
        std::uint16_t slow = 0xC0C1;
        for (std::size_t i = 0; i < n; ++i) {
            std::uint16_t c = static_cast<std::uint16_t>((slow ^ data[i]) & 0xFF);
            for (int k = 0; k < 8; ++k) {
                c = static_cast<std::uint16_t>((c & 1) ? (c >> 1) ^ 0xA001 : c >> 1);
            }
            slow = static_cast<std::uint16_t>((slow >> 8) ^ c);
        }
        EXPECT_EQ(Crc16(0xC0C1, data.data(), n), slow) << n;
    }
    const std::string wiki = "Wikipedia";
    EXPECT_EQ(PageChecksum(1, reinterpret_cast<const std::uint8_t*>(wiki.data()), wiki.size()),
              0x11E60398u);
    // long input: the sums are reduced in chunks, the result must still be the modular one
    std::vector<std::uint8_t> big(100000, 0xFF);
    std::uint64_t a = 1, b = 0;
    for (auto x : big) {
        a = (a + x) % 65521;
        b = (b + a) % 65521;
    }
    EXPECT_EQ(PageChecksum(1, big.data(), big.size()), static_cast<std::uint32_t>((b << 16) | a));
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> v) {
    return std::vector<std::uint8_t>(v.begin(), v.end());
}

std::vector<std::uint8_t> Bytes(const std::string& s) {
    return std::vector<std::uint8_t>(s.begin(), s.end());
}

std::string AsString(const std::vector<std::uint8_t>& v) {
    return std::string(v.begin(), v.end());
}

TEST(DecompressR2004, LiteralsAndOverlappingBackReferences) {
    // 0x02: five literal bytes; 0x24: copy 6 bytes from 5 back (overlapping), no literal
    // after it; 0x11: the end.
    auto in = Bytes({0x02, 'A', 'B', 'C', 'D', 'E', 0x24, 0x10, 0x00, 0x11});
    EXPECT_EQ(AsString(DecompressR2004(in.data(), in.size(), 11)), "ABCDEABCDEA");
    // 18 literals (opcode 0x0F: 15 + 3); a back reference of 4 bytes from 3 back with two
    // literal bytes after it (the low bits of its first offset byte); the short form
    // 0x40..0xFF: (op >> 4) - 1 bytes from 1 back.
    std::string literals;
    for (char i = 1; i <= 18; ++i) {
        literals += i;
    }
    const auto in2 = Bytes("\x0F" + literals + std::string("\x22\x0A\x00xy\x50\x00\x11", 8));
    EXPECT_EQ(AsString(DecompressR2004(in2.data(), in2.size(), 28)),
              literals + "\x10\x11\x12\x10xyyyyy");
}

TEST(DecompressR2004, DamageIsAnErrorNotAnOverrun) {
    // a back reference before the start
    auto far = Bytes({0x02, 'A', 'B', 'C', 'D', 'E', 0x24, 0x40, 0x00, 0x11});
    EXPECT_THROW(DecompressR2004(far.data(), far.size(), 100), DwgError);
    // more output than announced
    auto in = Bytes({0x02, 'A', 'B', 'C', 'D', 'E', 0x24, 0x10, 0x00, 0x11});
    EXPECT_THROW(DecompressR2004(in.data(), in.size(), 8), DwgError);
    // input that ends inside a literal run and without its end code
    auto cut = Bytes({0x05, 'A', 'B'});
    EXPECT_THROW(DecompressR2004(cut.data(), cut.size(), 100), DwgError);
    auto open = Bytes({0x02, 'A', 'B', 'C', 'D', 'E'});
    EXPECT_THROW(DecompressR2004(open.data(), open.size(), 100), DwgError);
    // too little output leaves zeros (the page is as large as announced)
    auto shortIn = Bytes({0x02, 'A', 'B', 'C', 'D', 'E', 0x11});
    auto out = DecompressR2004(shortIn.data(), shortIn.size(), 8);
    EXPECT_EQ(out.size(), 8u);
    EXPECT_EQ(out[7], 0);
}

TEST(DecompressR2007, LiteralRunsAreStoredShuffled) {
    // A run of 9 (opcode 1: 1 + 8): its last byte first, then the first eight.
    auto in = Bytes({0x01, '1', '2', '3', '4', '5', '6', '7', '8', '9'});
    EXPECT_EQ(AsString(DecompressR2007(in.data(), in.size(), 9)), "912345678");
    // A whole block of 32: eight groups of four in the order 6 7 4 5 2 3 0 1.
    std::vector<std::uint8_t> block{24};  // 24 + 8 = 32
    for (int i = 0; i < 32; ++i) {
        block.push_back(static_cast<std::uint8_t>(i));
    }
    std::vector<std::uint8_t> expected;
    for (int group : {6, 7, 4, 5, 2, 3, 0, 1}) {
        for (int i = 0; i < 4; ++i) {
            expected.push_back(static_cast<std::uint8_t>(4 * group + i));
        }
    }
    EXPECT_EQ(DecompressR2007(block.data(), block.size(), 32), expected);
    // Three bytes go reversed.
    auto three = Bytes({0x20, 0, 0, 3, 'a', 'b', 'c'});
    EXPECT_EQ(AsString(DecompressR2007(three.data(), three.size(), 3)), "cba");
}

TEST(DecompressR2007, BackReferencesAndTheirBounds) {
    // 9 literals, then opcode 0x14 (high nibble 1: length (4) + 3 = 7, offset from the next
    // two bytes: 0x02 + ((0x00 & 0xF8) << 5) + 1 = 3), whose low three bits (0) ask for
    // the next opcode; the input ends there.
    auto in = Bytes({0x01, '1', '2', '3', '4', '5', '6', '7', '8', '9', 0x14, 0x02, 0x00});
    EXPECT_EQ(AsString(DecompressR2007(in.data(), in.size(), 16)), "9123456786786786");
    auto far = Bytes({0x01, '1', '2', '3', '4', '5', '6', '7', '8', '9', 0x14, 0x40, 0x00});
    EXPECT_THROW(DecompressR2007(far.data(), far.size(), 16), DwgError);
    EXPECT_THROW(DecompressR2007(in.data(), in.size(), 12), DwgError);
    auto cut = Bytes({0x05, '1', '2'});
    EXPECT_THROW(DecompressR2007(cut.data(), cut.size(), 100), DwgError);
}

TEST(ReedSolomon, MendsUpToHalfTheCheckBytes) {
    // The zero word is a code word of every such code.
    for (int parity : {16, 4}) {
        for (int errors = 1; errors <= parity / 2; ++errors) {
            std::uint8_t word[255] = {};
            for (int e = 0; e < errors; ++e) {
                word[(37 * e + 11) % 255] = static_cast<std::uint8_t>(0x5A + e);
            }
            EXPECT_EQ(CorrectReedSolomon(word, parity), errors) << parity << " " << errors;
            for (auto b : word) {
                ASSERT_EQ(b, 0);
            }
        }
        std::uint8_t clean[255] = {};
        EXPECT_EQ(CorrectReedSolomon(clean, parity), 0);
    }
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

TEST(Deinterleave, TakesEveryFactorthByteOfEachWord) {
    // factor 3, words of k = 2 data bytes: word i is bytes i, i + 3
    auto in = Bytes({'a', 'c', 'e', 'b', 'd', 'f'});
    EXPECT_EQ(AsString(Deinterleave(in.data(), in.size(), 3, 2, 6)), "abcdef");
    EXPECT_EQ(AsString(Deinterleave(in.data(), in.size(), 3, 2, 3)), "abc");
    EXPECT_THROW(Deinterleave(in.data(), 4, 3, 2, 6), DwgError);
    EXPECT_THROW(Deinterleave(in.data(), in.size(), 3, 2, 7), DwgError);
}

}  // namespace
}  // namespace vx::engine::dwg
