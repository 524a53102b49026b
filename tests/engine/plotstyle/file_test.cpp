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

const std::filesystem::path kTestdata = VORMEX_TESTDATA_DIR;

std::filesystem::path RealTable(const char* name) {
    return kTestdata / "ctb" / "ezdxf" / name;
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

void PutU32(std::string& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

constexpr std::size_t kHeaderSize = 60;  // header line, codec tag, three numbers

TEST(RealTables, ColorDependentTableFromPublicSource) {
    const auto file = RealTable("ctbtest.ctb");
    REQUIRE_TESTDATA(file);
    const PlotStyleTable t = ReadPlotStyleFile(file);
    EXPECT_EQ(t.kind, TableKind::ColorDependent);
    EXPECT_EQ(t.description, "Comment");
    EXPECT_DOUBLE_EQ(t.scaleFactor, 2.0);
    EXPECT_TRUE(t.applyFactor);
    ASSERT_EQ(t.styles.size(), 255u);
    ASSERT_EQ(t.aciTable.size(), 255u);
    EXPECT_EQ(t.aciTable[254], "Color_255");
    ASSERT_EQ(t.lineweights.size(), 27u);
    EXPECT_DOUBLE_EQ(t.lineweights[26], 2.11);

    const PlotStyle& red = *t.StyleForAci(1);
    EXPECT_EQ(red.name, "Color_1");
    EXPECT_EQ(static_cast<std::uint32_t>(red.color), 0xC3FF7F00u);
    EXPECT_EQ(static_cast<std::uint32_t>(*red.modeColor), 0xC2EB8714u);
    EXPECT_EQ(red.colorPolicy, 3);
    EXPECT_EQ(red.physicalPenNumber, 11);
    EXPECT_EQ(red.virtualPenNumber, 5);
    EXPECT_EQ(red.screen, 95);
    EXPECT_EQ(red.linetype, 1);
    EXPECT_EQ(red.lineweight, 18);
    EXPECT_EQ(red.fillStyle, 64);
    EXPECT_EQ(red.endStyle, 1);
    EXPECT_EQ(red.joinStyle, 2);
    // The mode colour is the one that plots.
    EXPECT_EQ(red.FixedColor(), (Rgb{235, 135, 20}));
    EXPECT_FALSE(t.StyleForAci(3)->FixedColor());
    EXPECT_EQ(t.StyleForAci(255)->name, "Color_255");
    EXPECT_EQ(t.StyleForAci(0), nullptr);
    EXPECT_EQ(t.StyleForAci(256), nullptr);
}

TEST(RealTables, NamedTableFromPublicSource) {
    const auto file = RealTable("stbtest.stb");
    REQUIRE_TESTDATA(file);
    const PlotStyleTable t = ReadPlotStyleFile(file);
    EXPECT_EQ(t.kind, TableKind::Named);
    ASSERT_EQ(t.styles.size(), 3u);
    EXPECT_EQ(t.styles[0].name, "Normal");
    EXPECT_EQ(t.StyleNamed("style_1")->localizedName, "Style 1");
    EXPECT_EQ(t.StyleNamed("MOZMAN")->colorPolicy, 5);
    EXPECT_EQ(t.StyleNamed("nothing"), nullptr);
    EXPECT_EQ(t.StyleForAci(1), nullptr);
}

TEST(RealTables, RoundTripKeepsEveryField) {
    for (const char* name : {"ctbtest.ctb", "stbtest.stb"}) {
        const auto file = RealTable(name);
        REQUIRE_TESTDATA(file);
        const PlotStyleTable original = ReadPlotStyleFile(file);
        const std::string bytes = EncodePlotStyleFile(original);
        EXPECT_EQ(DecodePlotStyleFile(bytes, name), original) << name;
        EXPECT_EQ(ParsePlotStyleText(PlotStyleText(original), original.kind), original) << name;
    }
}

TEST(WrittenTables, HeaderSizesAndChecksumAreThoseOfTheFormat) {
    const PlotStyleTable t = NewNamedTable("written");
    const std::string bytes = EncodePlotStyleFile(t);
    ASSERT_GT(bytes.size(), kHeaderSize);
    EXPECT_EQ(bytes.substr(0, 48),
              std::string("PIAFILEVERSION_2.0,STBVER1,compress\r\npmzlibcodec"));
    const auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) {
            v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
        }
        return v;
    };
    const std::string packed = bytes.substr(kHeaderSize);
    EXPECT_EQ(u32(56), packed.size());
    EXPECT_EQ(u32(48), adler32(adler32(0, Z_NULL, 0), reinterpret_cast<const Bytef*>(packed.data()),
                               static_cast<uInt>(packed.size())));
    std::string text(u32(52), '\0');
    uLongf size = text.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(text.data()), &size,
                         reinterpret_cast<const Bytef*>(packed.data()), packed.size()),
              Z_OK);
    EXPECT_EQ(text.back(), '\0');
    EXPECT_EQ(text.rfind("description=\"written\naci_table_available=FALSE\n", 0), 0u);
    EXPECT_NE(text.find("plot_style{\n 0{\n  name=\"Normal\n"), std::string::npos);
}

TEST(WrittenTables, WriteReplacesAFileAndLeavesNoTemporary) {
    TempDir dir;
    const auto file = dir.Path() / "styles.ctb";
    vx::test::WriteBytes(file, "old");
    WritePlotStyleFile(file, NewColorDependentTable("new"));
    EXPECT_EQ(ReadPlotStyleFile(file).description, "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
    // An invalid table is refused before anything is written.
    PlotStyleTable bad = NewColorDependentTable("bad");
    bad.styles.pop_back();
    EXPECT_THROW(WritePlotStyleFile(file, bad), PlotStyleError);
    EXPECT_EQ(ReadPlotStyleFile(file).description, "new");
}

struct DamagedFiles : ::testing::Test {
    std::string good = EncodePlotStyleFile(NewColorDependentTable("good"));
    std::string Error(const std::string& bytes) {
        return ErrorOf([&] { DecodePlotStyleFile(bytes, "broken.ctb"); });
    }
};

TEST_F(DamagedFiles, CutShortEmptyOrForeignFiles) {
    EXPECT_NE(Error(good.substr(0, good.size() / 2)).find("cut short"), std::string::npos);
    EXPECT_NE(Error(good.substr(0, 50)).find("cut short"), std::string::npos);
    EXPECT_NE(Error("").find("no plot style table"), std::string::npos);
    EXPECT_NE(Error("PIAFILEVERSION_2.0,PC3VER1,compress\r\npmzlibcodec").find("no plot style"),
              std::string::npos);
    std::string noCodec = good;
    noCodec.replace(37, 11, "xxxxxxxxxxx");
    EXPECT_NE(Error(noCodec).find("codec"), std::string::npos);
    // Every description names the file.
    EXPECT_NE(Error("").find("broken.ctb"), std::string::npos);
}

TEST_F(DamagedFiles, ChangedBytesBreakTheChecksumOrTheStream) {
    std::string flipped = good;
    flipped[kHeaderSize + 20] = static_cast<char>(flipped[kHeaderSize + 20] ^ 0x55);
    EXPECT_NE(Error(flipped).find("checksum"), std::string::npos);

    // The same change with a matching checksum: the zlib stream itself is refused.
    const std::string packed = flipped.substr(kHeaderSize);
    PutU32(flipped, 48,
           static_cast<std::uint32_t>(adler32(adler32(0, Z_NULL, 0),
                                              reinterpret_cast<const Bytef*>(packed.data()),
                                              static_cast<uInt>(packed.size()))));
    EXPECT_NE(Error(flipped).find("cannot be unpacked"), std::string::npos) << Error(flipped);

    std::string wrongSize = good;
    PutU32(wrongSize, 52, 100);  // less text announced than the stream holds
    EXPECT_NE(Error(wrongSize).find("cannot be unpacked"), std::string::npos);
    PutU32(wrongSize, 52, 0x7FFFFFFF);
    EXPECT_NE(Error(wrongSize).find("announces"), std::string::npos);
}

TEST(DamagedText, StructureAndValuesAreChecked) {
    const std::string text = PlotStyleText(NewColorDependentTable("t"));
    const auto error = [](std::string t) {
        return ErrorOf([&] { ParsePlotStyleText(t, TableKind::ColorDependent); });
    };
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = text;
        const auto at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return t.replace(at, from.size(), to);
    };
    EXPECT_EQ(error(text), "");
    EXPECT_NE(error(replaced("screen=100", "screen=abc")).find("screen"), std::string::npos);
    EXPECT_NE(error(replaced("screen=100", "screen=101")).find("screen 101"), std::string::npos);
    EXPECT_NE(error(replaced("fill_style=73", "fill_style=80")).find("fill_style"),
              std::string::npos);
    EXPECT_NE(error(replaced("join_style=5", "join_style=4")).find("join_style"),
              std::string::npos);
    EXPECT_NE(error(replaced("lineweight=0", "lineweight=27")).find("lineweight"),
              std::string::npos);
    EXPECT_NE(error(replaced("adaptive_linetype=TRUE", "adaptive_linetype=YES"))
                  .find("adaptive_linetype"),
              std::string::npos);
    EXPECT_NE(error(replaced(" 254{", " 253{")).find("twice"), std::string::npos);
    EXPECT_NE(error(replaced(" 200{", " 300{")).find("lacks the style 200"), std::string::npos);
    EXPECT_NE(error(text.substr(0, text.size() - 3)).find("never closed"), std::string::npos);
    EXPECT_NE(error(text + "}\n").find("never opened"), std::string::npos);
    EXPECT_NE(error(replaced("plot_style{", "plot_styles{")).find("no plot_style"),
              std::string::npos);
    EXPECT_NE(
        error(replaced("  name=\"Color_3\n", "  this is not a field\n")).find("not understood"),
        std::string::npos);
    // A colour-dependent table needs all 255 styles.
    const auto cut = text.find(" 254{");
    const auto end = text.find(" }\n", cut) + 3;
    std::string short254 = text;
    short254.erase(cut, end - cut);
    EXPECT_NE(error(short254).find("254 colour styles"), std::string::npos);
}

TEST(DamagedText, UnknownFieldsAndBlankLinesAreHarmless) {
    std::string text = PlotStyleText(NewNamedTable("t"));
    text.insert(text.find("plot_style{"), "\nsome_future_field=7\n\n");
    text.insert(text.find("  color="), "  future_style_field=\"x\n");
    EXPECT_EQ(ParsePlotStyleText(text, TableKind::Named), NewNamedTable("t"));
}

TEST(ReadingFiles, MissingOrOversizedFiles) {
    TempDir dir;
    EXPECT_NE(ErrorOf([&] { ReadPlotStyleFile(dir.Path() / "absent.ctb"); }).find("cannot be read"),
              std::string::npos);
    const auto huge = dir.Path() / "huge.ctb";
    {
        std::ofstream out(huge, std::ios::binary);
        out.seekp((17 << 20) - 1);
        out.put('x');
    }
    EXPECT_NE(ErrorOf([&] { ReadPlotStyleFile(huge); }).find("too large"), std::string::npos);
}

}  // namespace
