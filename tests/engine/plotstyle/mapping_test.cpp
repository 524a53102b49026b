// From an object's properties to its pen: colour policy, screening, lineweight, linetype,
// end, join and fill styles, pen numbers; index colours.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "engine/plotstyle/Aci.h"
#include "engine/plotstyle/PlotStyleFile.h"

using namespace vx::engine::plotstyle;

namespace {

const std::filesystem::path kTestdata = VORMEX_TESTDATA_DIR;

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
    for (const char* name : {"ctbtest.ctb", "stbtest.stb"}) {
        if (!std::filesystem::exists(kTestdata / "ctb" / "ezdxf" / name)) {
            GTEST_SKIP() << "test data not available";
        }
    }
    const PlotStyleTable c = ReadPlotStyleFile(kTestdata / "ctb" / "ezdxf" / "ctbtest.ctb");
    const PlotStyleTable n = ReadPlotStyleFile(kTestdata / "ctb" / "ezdxf" / "stbtest.stb");
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

}  // namespace
