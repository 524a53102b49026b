// Plot style tables: .ctb/.stb files read, written and damaged; from an object's properties
// to its pen; index colours; the tables Vormex ships and the plot styles folders.
#include <gtest/gtest.h>

#include <zlib.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "dxf/TestDxf.h"
#include "engine/plotstyle/Aci.h"
#include "engine/plotstyle/PlotStyleCatalog.h"
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

ObjectProperties Object(int aci, double lineweight = 0.35, const char* styleName = "") {
    ObjectProperties o;
    o.aci = aci;
    o.lineweight = lineweight;
    o.cap = LineCap::Butt;
    o.join = LineJoin::Bevel;
    o.plotStyleName = styleName;
    return o;
}

std::string Text(Rgb c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

// "rgb lw L cap C join J fill F pen N dashes D..." (enums by their number).
std::string Text(const Pen& p) {
    std::ostringstream s;
    s << Text(p.color) << " lw " << p.lineweight << " cap " << int(p.cap) << " join " << int(p.join)
      << " fill " << int(p.fill) << " pen " << p.number << " dashes";
    for (double d : p.dashes) {
        s << " " << d;
    }
    return s.str() + (p.adaptiveDashes ? "" : " fixed");
}

TEST(IndexColours, PaletteAndNearestIndex) {
    const std::pair<int, Rgb> palette[] = {
        {1, {255, 0, 0}},    {7, kWhite}, {11, {255, 127, 127}}, {14, {127, 0, 0}},
        {250, {51, 51, 51}}, {0, kWhite}, {256, kWhite}};
    for (const auto& [aci, rgb] : palette) {
        EXPECT_EQ(AciToRgb(aci), rgb) << aci;
    }
    EXPECT_EQ(AciPaperColor(7), kBlack);
    EXPECT_EQ(AciPaperColor(1), AciToRgb(1));
    // Pure red is 1 and 10; the lower index wins.
    const std::pair<Rgb, int> cases[] = {{{255, 0, 0}, 1}, {{250, 5, 3}, 1}, {{52, 50, 51}, 250}};
    for (const auto& [rgb, aci] : cases) {
        EXPECT_EQ(NearestAci(rgb), aci) << Text(rgb);
    }
    for (int aci = 1; aci <= 255; ++aci) {
        EXPECT_EQ(AciToRgb(NearestAci(AciToRgb(aci))), AciToRgb(aci)) << aci;
    }
}

TEST(ObjectPens, WithoutATableTheObjectPlotsAsItIs) {
    EXPECT_EQ(Text(ObjectPen(Object(3, 0.5))), "0,255,0 lw 0.5 cap 0 join 1 fill 0 pen 3 dashes");
    EXPECT_EQ(ObjectPen(Object(7)).color, kBlack);
    ObjectProperties trueColour = Object(1);
    trueColour.trueColor = Rgb{1, 2, 3};
    EXPECT_EQ(ObjectPen(trueColour).color, (Rgb{1, 2, 3}));
    // A table whose styles keep everything maps like no table.
    const PlotStyleTable plain = NewColorDependentTable("plain");
    for (int aci : {1, 7, 42, 255}) {
        EXPECT_EQ(plain.PenFor(Object(aci)), ObjectPen(Object(aci))) << aci;
    }
    EXPECT_EQ(NewNamedTable("plain").PenFor(trueColour), ObjectPen(trueColour));
}

// A colour-dependent table with one style changed per test.
struct OneStyle : ::testing::Test {
    PlotStyleTable table = NewColorDependentTable("t");
    PlotStyle& style = table.styles[0];  // index colour 1
};

TEST_F(OneStyle, ObjectColourMarkers) {
    style.color = kObjectColorAci;
    style.modeColor = static_cast<std::int32_t>(0xC1000000u);
    EXPECT_FALSE(style.FixedColor());
    // White chosen on purpose is kept: the mode colour says so.
    style.modeColor = EncodeStyleColor(kWhite);
    EXPECT_EQ(style.FixedColor(), kWhite);
}

TEST_F(OneStyle, LineweightFromTheTableOrTheObject) {
    const auto lw = [&] { return table.PenFor(Object(1, 0.35)).lineweight; };
    EXPECT_DOUBLE_EQ(lw(), 0.35);
    style.lineweight = 17;  // 0.70 mm
    EXPECT_DOUBLE_EQ(lw(), 0.70);
    table.lineweights[17] = 1.5;  // a custom lineweight table
    EXPECT_DOUBLE_EQ(lw(), 1.5);
    table.lineweights[17] = 0.0;  // an entry of 0 means the object's
    EXPECT_DOUBLE_EQ(lw(), 0.35);
}

TEST_F(OneStyle, LinetypeOverrideScalesItsPattern) {
    const auto dashes = [&] { return table.PenFor(Object(1)).dashes; };
    style.linetype = 1;     // Dashed: 6 on, 3 off
    table.scaleFactor = 2;  // applies only when asked to
    EXPECT_EQ(dashes(), (std::vector<double>{6, 3}));
    table.applyFactor = true;
    EXPECT_EQ(dashes(), (std::vector<double>{12, 6}));
    // ISO types follow the pattern size: ISO dash dot = 12, 3, 0.5, 3 times 0.25.
    style.linetype = 25;
    style.linepatternSize = 0.25;
    style.adaptiveLinetype = false;
    EXPECT_EQ(Text(table.PenFor(Object(1))),
              "255,0,0 lw 0.35 cap 0 join 1 fill 0 pen 1 dashes 3 0.75 0.125 0.75 fixed");
}

TEST(NamedTables, StyleByNameWithNormalForUnknownNames) {
    PlotStyleTable t = NewNamedTable("n");
    PlotStyle red = t.styles[0];
    red.name = "Red Pen";
    red.color = EncodeStyleColor({255, 0, 0});
    t.styles.push_back(red);
    EXPECT_EQ(t.PenFor(Object(5, 0.35, "red pen")).color, (Rgb{255, 0, 0}));
    const ObjectProperties missing = Object(5, 0.35, "Missing");
    EXPECT_EQ(t.StyleFor(missing)->name, "Normal");
    EXPECT_EQ(t.PenFor(missing).color, (Rgb{0, 0, 255}));
    t.styles.erase(t.styles.begin());  // no Normal at all: the object's own pen
    EXPECT_EQ(t.StyleFor(missing), nullptr);
    EXPECT_EQ(t.PenFor(missing), ObjectPen(missing));
}

TEST(RealTableMapping, StylesFromPublicSource) {
    REQUIRE_TESTDATA(RealTable("ctbtest.ctb"));
    REQUIRE_TESTDATA(RealTable("stbtest.stb"));
    const PlotStyleTable c = ReadPlotStyleFile(RealTable("ctbtest.ctb"));
    const PlotStyleTable n = ReadPlotStyleFile(RealTable("stbtest.stb"));
    // ctb colour 1: fixed RGB(235,135,20), grayscale -> 151.79 -> 152, screen 95 ->
    // 255 - 103 * 0.95 = 157.15 -> 157; 0.8 mm; dashed scaled by 2; square ends, round
    // joins, physical pen 11. Colour 2: the object's yellow in grayscale (225.93 -> 226)
    // with its lineweight, caps and joins. stb "mozman": magenta at 90 % ink (25.5 -> 26),
    // 0.13 mm, short dash (3, 2) times 2, checkerboard fill, square ends, miter joins.
    const struct {
        const PlotStyleTable* table;
        int aci;
        const char* style;
        const char* expected;
    } cases[] = {
        {&c, 1, "", "157,157,157 lw 0.8 cap 1 join 2 fill 0 pen 11 dashes 12 6"},
        {&c, 2, "", "226,226,226 lw 0.25 cap 0 join 1 fill 0 pen 2 dashes"},
        {&c, 7, "", "0,0,0 lw 0.25 cap 0 join 1 fill 0 pen 7 dashes"},
        {&n, 5, "mozman", "255,26,255 lw 0.13 cap 1 join 0 fill 1 pen 5 dashes 6 4"},
        {&n, 5, "Normal", "0,0,255 lw 0.25 cap 0 join 1 fill 0 pen 5 dashes"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.style + std::to_string(k.aci));
        EXPECT_EQ(Text(k.table->PenFor(Object(k.aci, 0.25, k.style))), k.expected);
    }
}

const std::filesystem::path kShipped = std::filesystem::path(VORMEX_PROGRAM_DIR) / "plotstyles";

TEST(ShippedTables, GrayscalePlotsEachColourAsItsGrey) {
    const PlotStyleTable t = ReadPlotStyleFile(kShipped / "grayscale.ctb");
    EXPECT_EQ(t.PenFor(Object(1)).color, (Rgb{76, 76, 76}));  // red
    EXPECT_EQ(t.PenFor(Object(7)).color, kBlack);             // white on screen
    ObjectProperties trueColour = Object(1);
    trueColour.trueColor = Rgb{0, 255, 0};  // 0.587 * 255 = 149.7
    EXPECT_EQ(t.PenFor(trueColour).color, (Rgb{150, 150, 150}));
}

// An independent reader of the format (Debian's python3-ezdxf) reads the shipped tables.
TEST(ShippedTables, AnIndependentReaderReadsThem) {
    if (std::system("/usr/bin/python3 -c 'import ezdxf.addons.acadctb' >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "python3-ezdxf is not installed";
    }
    const std::string script =
        "from ezdxf.addons import acadctb\n"
        "import sys\n"
        "d = sys.argv[1]\n"
        "m = acadctb.load(d + '/monochrome.ctb')\n"
        "assert all(m[i].color == (0, 0, 0) for i in range(1, 256)), 'mono'\n"
        "g = acadctb.load(d + '/grayscale.ctb')\n"
        "assert all(g[i].grayscale and g[i].has_object_color() for i in range(1, 256)), 'gray'\n"
        "s = acadctb.load(d + '/monochrome.stb')\n"
        "assert list(s.keys())[0] == 'Normal', 'normal'\n"
        "assert all(s[k].color == (0, 0, 0) for k in s.keys()), 'named black'\n"
        "assert abs(s.lineweights[s['Thick'].lineweight] - 0.7) < 1e-6, 'thick'\n"
        "print('ok')\n";
    TempDir dir;
    vx::test::WriteBytes(dir.Path() / "check.py", script);
    const std::string command = "/usr/bin/python3 " + (dir.Path() / "check.py").string() + " '" +
                                kShipped.string() + "' > " + (dir.Path() / "out.txt").string() +
                                " 2>&1";
    const int rc = std::system(command.c_str());
    EXPECT_EQ(rc, 0) << vx::test::ReadBytes(dir.Path() / "out.txt");
    EXPECT_EQ(vx::test::ReadBytes(dir.Path() / "out.txt"), "ok\n");
}

TEST(Catalogue, NamesFromBothFoldersSortedWithTheUsersWinning) {
    TempDir dir;
    const auto program = dir.Path() / "program";
    const auto user = dir.Path() / "user";
    std::filesystem::create_directories(program);
    std::filesystem::create_directories(user);
    WritePlotStyleFile(program / "monochrome.ctb", NewColorDependentTable("program's"));
    WritePlotStyleFile(program / "Zebra.ctb", NewColorDependentTable("z"));
    WritePlotStyleFile(user / "MONOCHROME.CTB", NewColorDependentTable("user's"));
    WritePlotStyleFile(user / "office.stb", NewNamedTable("a"));
    vx::test::WriteBytes(user / "readme.txt", "not a table");
    vx::test::WriteBytes(user / ".ctb", "no name");
    std::filesystem::create_directories(user / "folder.ctb");

    const PlotStyleCatalog catalogue({program, user, dir.Path() / "absent"});
    EXPECT_EQ(catalogue.Names(),
              (std::vector<std::string>{"MONOCHROME.CTB", "office.stb", "Zebra.ctb"}));
    EXPECT_EQ(catalogue.Load("monochrome.ctb").description, "user's");
    EXPECT_EQ(catalogue.Load("zebra.CTB").description, "z");
    EXPECT_FALSE(catalogue.Find("readme.txt"));
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
