// Damaged and foreign input: what the DWG reader refuses, what it reads with warnings,
// and that no damage makes it crash, hang or read out of bounds (the sanitizer build of
// scripts/check-engine-reader runs these too).
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "dxf/TestDxf.h"
#include "engine/dwg/DwgReader.h"

namespace vx::engine::dwg {
namespace {

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

TEST(DwgLayoutDamage, R2004DataPageDamageNamesThePage) {
    VX_TESTDATA_OR_SKIP("dwg/libredwg/2004_Text.dwg", bytes);
    // Damage a run of bytes at one place after another: where it hits a data page of a
    // needed section, its checksum no longer matches or its data no longer decompress,
    // and the message names the page.
    int named = 0;
    for (std::size_t at = 0x100; at + 16 < bytes.size(); at += 509) {
        std::string b = bytes;
        for (std::size_t i = at; i < at + 16; ++i) {
            b[i] = static_cast<char>(b[i] ^ 0xA5);
        }
        auto r = ReadDwg(b);
        if (r.Ok()) {
            named += AnyWarning(*r.database, " page ") ? 1 : 0;
        } else {
            named += r.error.what.find(" page") != std::string::npos ? 1 : 0;
            EXPECT_FALSE(r.error.what.empty());
        }
    }
    EXPECT_GT(named, 3);
}

TEST(DwgObjectDamage, ABrokenObjectIsSkippedWithItsHandleAndType) {
    VX_TESTDATA_OR_SKIP("dwg/libredwg/2000_entities-2d.dwg", bytes);
    // The objects of this file lie between the classes (locator 1) and the object map
    // (locator 2): wreck a run of bytes there, at one place after another.
    std::size_t from = GetU32(bytes, 0x19 + 9 + 1) + GetU32(bytes, 0x19 + 9 + 5);
    std::size_t to = GetU32(bytes, 0x19 + 18 + 1);
    ASSERT_LT(from, to);
    bool seen = false;
    for (std::size_t at = from; at + 6 < to; at += 37) {
        std::string b = bytes;
        for (std::size_t i = at; i < at + 6; ++i) {
            b[i] = static_cast<char>(0xFF);
        }
        auto r = ReadDwg(b);
        if (!r.Ok()) {
            continue;
        }
        for (const auto& w : r.database->warnings) {
            if (w.where.rfind("object ", 0) == 0 &&
                w.where.find(" at offset ") != std::string::npos) {
                seen = true;
                EXPECT_NE(w.where.find("("), std::string::npos) << w.where;  // its type
            }
        }
    }
    EXPECT_TRUE(seen);
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
    int ok = 0;
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
            }
            EXPECT_LE(r.database->warnings.size(), 201u);
        } else {
            EXPECT_FALSE(r.error.what.empty());
        }
    }
    // most single flips hit object data, which costs one object, not the drawing
    EXPECT_GT(ok, 0);
}

INSTANTIATE_TEST_SUITE_P(Versions, DwgAnyDamage,
                         ::testing::Values("dwg/libredwg/2000_entities-2d.dwg",
                                           "dwg/libredwg/2004_Text.dwg",
                                           "dwg/libredwg/2007_Text.dwg"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                             return test::StemName(p.param);
                         });

}  // namespace
}  // namespace vx::engine::dwg
