// Reading and writing .ctb/.stb files: real tables from public sources, round trips, and
// damaged files that must give an error with a description.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "dxf/TestDxf.h"
#include "engine/plotstyle/PlotStyleFile.h"

using namespace vx::engine::plotstyle;
using vx::test::TempDir;

namespace {

std::filesystem::path RealTable(const char* name) {
    return std::filesystem::path(VORMEX_TESTDATA_DIR) / "ctb" / "ezdxf" / name;
}

#define REQUIRE_TESTDATA(file)                                 \
    if (!std::filesystem::exists(file)) {                      \
        GTEST_SKIP() << "test data not available: " << (file); \
    }

// Runs `f` and returns the description of the PlotStyleError it throws ("" if none).
template <class F>
std::string ErrorOf(F f) {
    try {
        f();
    } catch (const PlotStyleError& e) {
        return e.what();
    }
    return "";
}

bool Has(const std::string& s, const std::string& part) {
    return s.find(part) != std::string::npos;
}

void PutU32(std::string& bytes, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

std::uint32_t Adler(const std::string& s) {
    return static_cast<std::uint32_t>(adler32(adler32(0, Z_NULL, 0),
                                              reinterpret_cast<const Bytef*>(s.data()),
                                              static_cast<uInt>(s.size())));
}

constexpr std::size_t kHeaderSize = 60;  // header line, codec tag, three numbers

TEST(RealTables, ColorDependentTableFromPublicSource) {
    REQUIRE_TESTDATA(RealTable("ctbtest.ctb"));
    const PlotStyleTable t = ReadPlotStyleFile(RealTable("ctbtest.ctb"));
    ASSERT_EQ(std::tuple(t.kind, t.description, t.scaleFactor, t.applyFactor, t.styles.size(),
                         t.aciTable.size(), t.lineweights.size()),
              std::tuple(TableKind::ColorDependent, "Comment", 2.0, true, 255u, 255u, 27u));
    EXPECT_EQ(std::pair(t.aciTable[254], t.lineweights[26]),
              std::pair(std::string("Color_255"), 2.11));
    EXPECT_EQ(t.StyleForAci(0), nullptr);
}

TEST(RealTables, RoundTripKeepsEveryField) {
    for (const char* name : {"ctbtest.ctb", "stbtest.stb"}) {
        REQUIRE_TESTDATA(RealTable(name));
        const PlotStyleTable original = ReadPlotStyleFile(RealTable(name));
        EXPECT_EQ(DecodePlotStyleFile(EncodePlotStyleFile(original), name), original) << name;
        EXPECT_EQ(ParsePlotStyleText(PlotStyleText(original), original.kind), original) << name;
    }
}

TEST(WrittenTables, HeaderSizesAndChecksumAreThoseOfTheFormat) {
    const std::string bytes = EncodePlotStyleFile(NewNamedTable("written"));
    ASSERT_GT(bytes.size(), kHeaderSize);
    EXPECT_EQ(bytes.substr(0, 48), "PIAFILEVERSION_2.0,STBVER1,compress\r\npmzlibcodec");
    const auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (std::size_t i = 4; i-- > 0;) {
            v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        }
        return v;
    };
    const std::string packed = bytes.substr(kHeaderSize);
    EXPECT_EQ(std::pair(u32(56), u32(48)), std::pair(std::uint32_t(packed.size()), Adler(packed)));
    std::string text(u32(52), '\0');
    uLongf size = text.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(text.data()), &size,
                         reinterpret_cast<const Bytef*>(packed.data()), packed.size()),
              Z_OK);
    EXPECT_EQ(text.back(), '\0');
    EXPECT_EQ(text.rfind("description=\"written\naci_table_available=FALSE\n", 0), 0u);
    EXPECT_PRED2(Has, text, "plot_style{\n 0{\n  name=\"Normal\n");
}

TEST(WrittenTables, WriteReplacesAFileAndLeavesNoTemporary) {
    TempDir dir;
    const auto file = dir.Path() / "styles.ctb";
    vx::test::WriteBytes(file, "old");
    WritePlotStyleFile(file, NewColorDependentTable("new"));
    EXPECT_EQ(ReadPlotStyleFile(file).description, "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    // An invalid table is refused before anything is written.
    PlotStyleTable bad = NewColorDependentTable("bad");
    bad.styles.pop_back();
    EXPECT_THROW(WritePlotStyleFile(file, bad), PlotStyleError);
    EXPECT_EQ(ReadPlotStyleFile(file).description, "new");
}

TEST(DamagedFiles, EachDamageHasItsDescription) {
    const std::string good = EncodePlotStyleFile(NewColorDependentTable("good"));
    std::string flipped = good;
    flipped[kHeaderSize + 20] = static_cast<char>(flipped[kHeaderSize + 20] ^ 0x55);
    std::string reSummed = flipped;  // the same change with a matching checksum
    PutU32(reSummed, 48, Adler(reSummed.substr(kHeaderSize)));
    std::string noCodec = good, hugeText = good;
    noCodec.replace(37, 11, "xxxxxxxxxxx");
    PutU32(hugeText, 52, 0x7FFFFFFF);
    const std::pair<std::string, const char*> cases[] = {
        {good.substr(0, good.size() / 2), "cut short"},
        {"", "no plot style table"},
        {noCodec, "codec"},
        {flipped, "checksum"},
        {reSummed, "cannot be unpacked"},
        {hugeText, "announces"},
    };
    for (const auto& [bytes, expected] : cases) {
        const std::string error = ErrorOf([&] { DecodePlotStyleFile(bytes, "broken.ctb"); });
        EXPECT_PRED2(Has, error, expected);
        EXPECT_PRED2(Has, error, "broken.ctb");  // every description names the file
    }
}

TEST(DamagedText, StructureAndValuesAreChecked) {
    const std::string text = PlotStyleText(NewColorDependentTable("t"));
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = text;
        const auto at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return t.replace(at, from.size(), to);
    };
    // A colour-dependent table needs all 255 styles.
    std::string short254 = text;
    const auto cut = text.find(" 254{");
    short254.erase(cut, text.find(" }\n", cut) + 3 - cut);
    const std::pair<std::string, const char*> cases[] = {
        {replaced("screen=100", "screen=abc"), "screen"},
        {replaced("screen=100", "screen=101"), "screen 101"},
        {replaced(" 254{", " 253{"), "twice"},
        {replaced(" 200{", " 300{"), "lacks the style 200"},
        {text.substr(0, text.size() - 3), "never closed"},
        {text + "}\n", "never opened"},
        {replaced("  name=\"Color_3\n", "  this is not a field\n"), "not understood"},
        {short254, "254 colour styles"},
    };
    EXPECT_EQ(ErrorOf([&] { ParsePlotStyleText(text, TableKind::ColorDependent); }), "");
    for (const auto& [t, expected] : cases) {
        EXPECT_PRED2(Has, ErrorOf([&] { ParsePlotStyleText(t, TableKind::ColorDependent); }),
                     expected);
    }
}

TEST(DamagedText, UnknownFieldsAndBlankLinesAreHarmless) {
    std::string text = PlotStyleText(NewNamedTable("t"));
    text.insert(text.find("plot_style{"), "\nsome_future_field=7\n\n");
    text.insert(text.find("  color="), "  future_style_field=\"x\n");
    EXPECT_EQ(ParsePlotStyleText(text, TableKind::Named), NewNamedTable("t"));
}

TEST(ReadingFiles, MissingOrOversizedFiles) {
    TempDir dir;
    EXPECT_PRED2(Has, ErrorOf([&] { ReadPlotStyleFile(dir.Path() / "absent.ctb"); }),
                 "cannot be read");
    const auto huge = dir.Path() / "huge.ctb";
    {
        std::ofstream out(huge, std::ios::binary);
        out.seekp((17 << 20) - 1);
        out.put('x');
    }
    EXPECT_PRED2(Has, ErrorOf([&] { ReadPlotStyleFile(huge); }), "too large");
}

}  // namespace
