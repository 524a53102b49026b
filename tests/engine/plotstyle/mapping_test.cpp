// From an object's properties to its pen: colour policy, screening, lineweight, linetype,
// end, join and fill styles, pen numbers; index colours.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/plotstyle/Aci.h"
#include "engine/plotstyle/PlotStyleFile.h"

using namespace vx::engine::plotstyle;

namespace {

const std::filesystem::path kTestdata = VORMEX_TESTDATA_DIR;

ObjectProperties Object(int aci, double lineweight = 0.35) {
    ObjectProperties o;
    o.aci = aci;
    o.lineweight = lineweight;
    o.cap = LineCap::Butt;
    o.join = LineJoin::Bevel;
    return o;
}

TEST(IndexColours, PaletteAndPaperColour) {
    const std::pair<int, Rgb> palette[] = {
        {1, {255, 0, 0}},    {5, {0, 0, 255}},      {7, kWhite},        {8, {128, 128, 128}},
        {10, {255, 0, 0}},   {11, {255, 127, 127}}, {14, {127, 0, 0}},  {30, {255, 127, 0}},
        {50, {255, 255, 0}}, {90, {0, 255, 0}},     {170, {0, 0, 255}}, {250, {51, 51, 51}},
        {255, kWhite},       {0, kWhite},           {256, kWhite}};
    for (const auto& [aci, rgb] : palette) {
        EXPECT_EQ(AciToRgb(aci), rgb) << aci;
    }
    EXPECT_EQ(AciPaperColor(7), kBlack);
    EXPECT_EQ(AciPaperColor(1), AciToRgb(1));
}

TEST(IndexColours, NearestIndexOfATrueColour) {
    EXPECT_EQ(NearestAci({255, 0, 0}), 1);  // 10 is the same red; the lower index wins
    EXPECT_EQ(NearestAci({250, 5, 3}), 1);
    EXPECT_EQ(NearestAci({0, 0, 250}), 5);
    EXPECT_EQ(NearestAci({128, 128, 128}), 8);
    EXPECT_EQ(NearestAci({52, 50, 51}), 250);
    for (int aci = 1; aci <= 255; ++aci) {
        EXPECT_EQ(AciToRgb(NearestAci(AciToRgb(aci))), AciToRgb(aci)) << aci;
    }
}

TEST(ObjectPens, WithoutATableTheObjectPlotsAsItIs) {
    const Pen pen = ObjectPen(Object(3, 0.5));
    EXPECT_EQ(pen.color, (Rgb{0, 255, 0}));
    EXPECT_DOUBLE_EQ(pen.lineweight, 0.5);
    EXPECT_EQ(pen.cap, LineCap::Butt);
    EXPECT_EQ(pen.join, LineJoin::Bevel);
    EXPECT_EQ(pen.fill, FillStyle::Solid);
    EXPECT_EQ(pen.number, 3);
    EXPECT_TRUE(pen.dashes.empty());
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

TEST_F(OneStyle, FixedColourGrayscaleAndScreening) {
    style.color = EncodeStyleColor({200, 100, 0});
    EXPECT_EQ(table.PenFor(Object(1)).color, (Rgb{200, 100, 0}));
    // Half the ink: halfway to paper white.
    style.screen = 50;
    EXPECT_EQ(table.PenFor(Object(1)).color, (Rgb{228, 178, 128}));
    style.screen = 0;
    EXPECT_EQ(table.PenFor(Object(1)).color, kWhite);
    // Grayscale before screening: 0.299*200 + 0.587*100 = 118.5 -> 119.
    style.screen = 100;
    style.colorPolicy = kColorPolicyGrayscale | kColorPolicyDithering;
    EXPECT_EQ(table.PenFor(Object(1)).color, (Rgb{119, 119, 119}));
    // Object colour through grayscale: red 0.299*255 = 76.2 -> 76.
    style.color = kObjectColorAci;
    style.modeColor.reset();
    EXPECT_EQ(table.PenFor(Object(1)).color, (Rgb{76, 76, 76}));
    // Other colours keep their own style.
    EXPECT_EQ(table.PenFor(Object(2)).color, (Rgb{255, 255, 0}));
}

TEST_F(OneStyle, ObjectColourMarkers) {
    for (std::int32_t marker :
         {kObjectColor, kObjectColorAci, static_cast<std::int32_t>(0xC0000000u),
          static_cast<std::int32_t>(0xC1000000u)}) {
        style.color = marker;
        style.modeColor = marker;
        EXPECT_FALSE(style.FixedColor()) << std::hex << marker;
    }
    // White chosen on purpose is kept: the mode colour says so.
    style.color = kObjectColorAci;
    style.modeColor = EncodeStyleColor(kWhite);
    EXPECT_EQ(style.FixedColor(), kWhite);
}

TEST_F(OneStyle, LineweightFromTheTableOrTheObject) {
    EXPECT_DOUBLE_EQ(table.PenFor(Object(1, 0.35)).lineweight, 0.35);
    style.lineweight = 17;  // 0.70 mm
    EXPECT_DOUBLE_EQ(table.PenFor(Object(1, 0.35)).lineweight, 0.70);
    table.lineweights[17] = 1.5;  // a custom lineweight table
    EXPECT_DOUBLE_EQ(table.PenFor(Object(1, 0.35)).lineweight, 1.5);
    table.lineweights[17] = 0.0;  // an entry of 0 means the object's
    EXPECT_DOUBLE_EQ(table.PenFor(Object(1, 0.35)).lineweight, 0.35);
}

TEST_F(OneStyle, LinetypeOverrideScalesItsPattern) {
    EXPECT_TRUE(table.PenFor(Object(1)).dashes.empty());
    style.linetype = 1;  // Dashed: 6 on, 3 off
    EXPECT_EQ(table.PenFor(Object(1)).dashes, (std::vector<double>{6, 3}));
    table.scaleFactor = 2;  // applies only when asked to
    EXPECT_EQ(table.PenFor(Object(1)).dashes, (std::vector<double>{6, 3}));
    table.applyFactor = true;
    EXPECT_EQ(table.PenFor(Object(1)).dashes, (std::vector<double>{12, 6}));
    // ISO types follow the pattern size: ISO dash dot = 12, 3, 0.5, 3 times 0.25.
    style.linetype = 25;
    style.linepatternSize = 0.25;
    style.adaptiveLinetype = false;
    const Pen pen = table.PenFor(Object(1));
    EXPECT_EQ(pen.dashes, (std::vector<double>{3, 0.75, 0.125, 0.75}));
    EXPECT_FALSE(pen.adaptiveDashes);
    EXPECT_STREQ(PlotStyleLinetypeName(25), "ISO Dash Dot");
    EXPECT_STREQ(PlotStyleLinetypeName(0), "Solid");
    style.linetype = 0;  // Solid replaces the object's linetype by a solid line
    EXPECT_TRUE(table.PenFor(Object(1)).dashes.empty());
    for (int lt = 1; lt <= 30; ++lt) {
        const auto p = PlotStyleLinetypePattern(lt, 0.5, 1.0);
        EXPECT_TRUE(!p.empty() && p.size() % 2 == 0) << lt;
    }
}

TEST_F(OneStyle, EndJoinFillAndPenNumber) {
    const struct {
        int end;
        LineCap cap;
    } ends[] = {{0, LineCap::Butt},
                {1, LineCap::Square},
                {2, LineCap::Round},
                {3, LineCap::Diamond},
                {4, LineCap::Butt /* the object's */}};
    for (const auto& e : ends) {
        style.endStyle = e.end;
        EXPECT_EQ(table.PenFor(Object(1)).cap, e.cap) << e.end;
    }
    const struct {
        int join;
        LineJoin value;
    } joins[] = {{0, LineJoin::Miter},
                 {1, LineJoin::Bevel},
                 {2, LineJoin::Round},
                 {3, LineJoin::Diamond},
                 {5, LineJoin::Bevel /* the object's */}};
    for (const auto& j : joins) {
        style.joinStyle = j.join;
        EXPECT_EQ(table.PenFor(Object(1)).join, j.value) << j.join;
    }
    style.fillStyle = 64;
    EXPECT_EQ(table.PenFor(Object(1)).fill, FillStyle::Solid);
    style.fillStyle = 66;
    EXPECT_EQ(table.PenFor(Object(1)).fill, FillStyle::Crosshatch);
    style.fillStyle = 72;
    EXPECT_EQ(table.PenFor(Object(1)).fill, FillStyle::VerticalBars);
    EXPECT_EQ(table.PenFor(Object(1)).number, 1);
    style.physicalPenNumber = 12;
    EXPECT_EQ(table.PenFor(Object(1)).number, 12);
}

TEST(NamedTables, StyleByNameWithNormalForUnknownNames) {
    PlotStyleTable t = NewNamedTable("n");
    PlotStyle red = t.styles[0];
    red.name = "Red Pen";
    red.color = EncodeStyleColor({255, 0, 0});
    t.styles.push_back(red);
    ObjectProperties o = Object(5);
    o.plotStyleName = "red pen";
    EXPECT_EQ(t.PenFor(o).color, (Rgb{255, 0, 0}));
    o.plotStyleName = "Missing";
    EXPECT_EQ(t.StyleFor(o)->name, "Normal");
    EXPECT_EQ(t.PenFor(o).color, (Rgb{0, 0, 255}));
    t.styles.erase(t.styles.begin());  // no Normal at all: the object's own pen
    EXPECT_EQ(t.StyleFor(o), nullptr);
    EXPECT_EQ(t.PenFor(o), ObjectPen(o));
}

TEST(RealTableMapping, ColourDependentStylesFromPublicSource) {
    const auto file = kTestdata / "ctb" / "ezdxf" / "ctbtest.ctb";
    if (!std::filesystem::exists(file)) {
        GTEST_SKIP() << "test data not available";
    }
    const PlotStyleTable t = ReadPlotStyleFile(file);
    // Colour 1: fixed RGB(235,135,20), grayscale -> 151.79 -> 152, screen 95 ->
    // 255 - 103 * 0.95 = 157.15 -> 157; lineweight 0.8; dashed scaled by 2; square ends,
    // round joins, solid fill, physical pen 11.
    const Pen one = t.PenFor(Object(1, 0.25));
    EXPECT_EQ(one.color, (Rgb{157, 157, 157}));
    EXPECT_DOUBLE_EQ(one.lineweight, 0.8);
    EXPECT_EQ(one.dashes, (std::vector<double>{12, 6}));
    EXPECT_EQ(one.cap, LineCap::Square);
    EXPECT_EQ(one.join, LineJoin::Round);
    EXPECT_EQ(one.fill, FillStyle::Solid);
    EXPECT_EQ(one.number, 11);
    // Colour 2: the object's yellow in grayscale (225.93 -> 226), the object's lineweight,
    // caps and joins.
    const Pen two = t.PenFor(Object(2, 0.25));
    EXPECT_EQ(two.color, (Rgb{226, 226, 226}));
    EXPECT_DOUBLE_EQ(two.lineweight, 0.25);
    EXPECT_EQ(two.cap, LineCap::Butt);
    EXPECT_EQ(two.join, LineJoin::Bevel);
    EXPECT_EQ(two.number, 2);
    // Colour 3 onwards: the object as it is.
    EXPECT_EQ(t.PenFor(Object(3)), ObjectPen(Object(3)));
    EXPECT_EQ(t.PenFor(Object(7)).color, kBlack);
}

TEST(RealTableMapping, NamedStylesFromPublicSource) {
    const auto file = kTestdata / "ctb" / "ezdxf" / "stbtest.stb";
    if (!std::filesystem::exists(file)) {
        GTEST_SKIP() << "test data not available";
    }
    const PlotStyleTable t = ReadPlotStyleFile(file);
    ObjectProperties o = Object(5, 0.3);
    o.plotStyleName = "mozman";
    // Magenta, 90 % ink: 255 - 255 * 0.9 = 25.5 -> 26 for the empty channel; 0.13 mm;
    // short dash (3, 2) times 2; checkerboard fill; square ends, miter joins.
    const Pen m = t.PenFor(o);
    EXPECT_EQ(m.color, (Rgb{255, 26, 255}));
    EXPECT_DOUBLE_EQ(m.lineweight, 0.13);
    EXPECT_EQ(m.dashes, (std::vector<double>{6, 4}));
    EXPECT_EQ(m.fill, FillStyle::Checkerboard);
    EXPECT_EQ(m.cap, LineCap::Square);
    EXPECT_EQ(m.join, LineJoin::Miter);
    o.plotStyleName = "Style_1";
    EXPECT_EQ(t.PenFor(o).color, (Rgb{157, 157, 157}));
    EXPECT_EQ(t.PenFor(o).number, 11);
    o.plotStyleName = "Normal";
    EXPECT_EQ(t.PenFor(o), ObjectPen(o));
}

}  // namespace
