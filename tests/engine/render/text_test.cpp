// Text: TEXT alignments, width factor, rotation, backwards and upside down, special
// characters and underline; MTEXT paragraphs, wrapping, inline heights, colours, fonts,
// stacked fractions and attachment; fonts and their substitutions in the report.
#include <gtest/gtest.h>

#include <filesystem>

#include "RenderTools.h"
#include "engine/fonts/FontResolver.h"
#include "engine/render/TextLayout.h"

using namespace vx::engine;
using vx::testing::Drawing;
using vx::testing::Props;
using vx::testing::RecordingSink;
using vx::testing::Render;

namespace {

bool HaveStrokeFonts() {
    return std::filesystem::exists("/usr/share/librecad/fonts/romans.lff");
}

#define REQUIRE_STROKE_FONTS()                                                       \
    if (!HaveStrokeFonts()) {                                                        \
        GTEST_SKIP() << "LibreCAD's stroke fonts are not installed (librecad-data)"; \
    }

struct TextTest : ::testing::Test {
    Drawing w;
    fonts::FontResolver fonts;
    db::StyleId romans = w.Style("ROMANS", "romans.shx");

    db::Text Make(std::string s, double x, double y, double h = 10) {
        db::Text t;
        t.text = std::move(s);
        t.position = {x, y, 0};
        t.height = h;
        t.style = romans;
        return t;
    }
    void Add(const db::Text& t) { w.Add(w.model, db::EntityType::Text, t); }
    page::Rect Draw(render::RenderReport* report = nullptr) {
        RecordingSink sink;
        render::RenderOptions o;
        o.fonts = &fonts;
        auto r = Render(w.d, sink, 0, o);
        if (report) {
            *report = r;
        }
        last = sink.strokes.size();
        lastGlyphs = sink.glyphs.size();
        return sink.Bounds();
    }
    // Bounds of one text drawn alone.
    page::Rect Alone(const db::Text& t) {
        w.d.blocks[w.model].entities.clear();
        Add(t);
        return Draw();
    }
    std::size_t last = 0, lastGlyphs = 0;
};

}  // namespace

TEST_F(TextTest, LeftCentreRightMiddleAndTopAlignments) {
    REQUIRE_STROKE_FONTS();
    const auto left = Alone(Make("HIH", 100, 100));
    EXPECT_NEAR(left.xmin, 100, 0.05);
    EXPECT_NEAR(left.ymin, 100, 0.05);
    EXPECT_NEAR(left.ymax, 110, 0.05);  // capitals one height high
    const double width = left.Width();
    EXPECT_GT(width, 15);

    auto t = Make("HIH", 0, 0);
    t.alignPoint = {200, 100, 0};
    t.hasAlignPoint = true;
    t.halign = 2;
    const auto right = Alone(t);
    EXPECT_NEAR(right.xmax, 200, 0.05);
    EXPECT_NEAR(right.Width(), width, 1e-6);
    t.halign = 1;
    const auto centre = Alone(t);
    EXPECT_NEAR((centre.xmin + centre.xmax) / 2, 200, 0.05);
    EXPECT_NEAR(centre.ymin, 100, 0.05);
    t.halign = 4;
    const auto middle = Alone(t);
    EXPECT_NEAR((middle.ymin + middle.ymax) / 2, 100, 0.05);
    t.halign = 0;
    t.valign = 3;
    const auto top = Alone(t);
    EXPECT_NEAR(top.ymax, 100, 0.05);
    EXPECT_NEAR(top.xmin, 200, 0.05);
    t.valign = 1;
    const auto bottom = Alone(t);
    EXPECT_GT(bottom.ymin, 102);  // the baseline lifted by the descent
    EXPECT_LT(bottom.ymin, 105);
}

TEST_F(TextTest, AlignedAndFitBetweenTwoPoints) {
    REQUIRE_STROKE_FONTS();
    auto t = Make("HIH", 10, 20, 5);
    t.alignPoint = {110, 20, 0};
    t.hasAlignPoint = true;
    t.halign = 5;  // fit: the height stays
    const auto fit = Alone(t);
    EXPECT_NEAR(fit.xmin, 10, 0.05);
    EXPECT_NEAR(fit.xmax, 110, 0.05);
    EXPECT_NEAR(fit.Height(), 5, 0.05);
    t.halign = 3;  // aligned: the height follows the width
    const auto aligned = Alone(t);
    EXPECT_NEAR(aligned.xmax, 110, 0.05);
    EXPECT_GT(aligned.Height(), 20);
    // Sloped: the text turns with the line between the points.
    t.alignPoint = {10, 120, 0};
    const auto up = Alone(t);
    EXPECT_NEAR(up.ymax, 120, 0.05);
    EXPECT_LT(up.xmax, 10.05);
}

TEST_F(TextTest, WidthFactorRotationObliqueBackwardsUpsideDown) {
    REQUIRE_STROKE_FONTS();
    const auto plain = Alone(Make("HIH", 100, 100));
    auto t = Make("HIH", 100, 100);
    t.widthFactor = 2;
    EXPECT_NEAR(Alone(t).Width(), 2 * plain.Width(), 1e-6);
    t.widthFactor = 1;
    t.rotation = 90;
    const auto turned = Alone(t);
    EXPECT_NEAR(turned.Height(), plain.Width(), 1e-6);
    EXPECT_NEAR(turned.xmax, 100, 0.05);  // turned left about the insertion point
    t.rotation = 0;
    t.oblique = 30;
    const auto slanted = Alone(t);
    EXPECT_NEAR(slanted.xmax - plain.xmax, 10 * std::tan(30 * 3.14159265358979 / 180), 0.05);
    t.oblique = 0;
    t.generation = 2;
    const auto backwards = Alone(t);
    EXPECT_NEAR(backwards.xmax, 100, 0.05);
    EXPECT_NEAR(backwards.Width(), plain.Width(), 1e-6);
    t.generation = 4;
    const auto upside = Alone(t);
    EXPECT_NEAR(upside.ymax, 100, 0.05);
    EXPECT_NEAR(upside.ymin, 90, 0.05);
}

TEST_F(TextTest, SpecialCharactersAndUnderline) {
    REQUIRE_STROKE_FONTS();
    Alone(Make("%%d%%p%%c", 10, 10));
    const auto codes = last;
    Alone(Make("\xC2\xB0\xC2\xB1\xC3\x98", 10, 10));  // ° ± Ø
    EXPECT_EQ(last, codes);
    EXPECT_GT(codes, 3u);
    const auto plain = Alone(Make("HIH", 10, 100));
    const auto plainStrokes = last;
    const auto under = Alone(Make("%%uHIH", 10, 100));
    EXPECT_EQ(last, plainStrokes + 1);
    EXPECT_LT(under.ymin, plain.ymin - 1);
}

TEST_F(TextTest, TrueTypeTextIsFilledOutlinesAtCapitalHeight) {
    const auto arial = w.Style("ARIAL", "arial.ttf");
    auto t = Make("HH", 50, 50);
    t.style = arial;
    const auto box = Alone(t);
    EXPECT_GE(lastGlyphs, 1u);
    EXPECT_EQ(last, 0u);
    EXPECT_NEAR(box.ymin, 50, 0.1);
    EXPECT_NEAR(box.ymax, 60, 0.3);
}

TEST_F(TextTest, SubstitutionsAreReportedAndMissingFontsWarned) {
    REQUIRE_STROKE_FONTS();
    Add(Make("HI", 10, 10));
    render::RenderReport report;
    Draw(&report);
    ASSERT_FALSE(report.substitutions.empty());
    EXPECT_NE(report.substitutions[0].find("romans.shx drawn with romans.lff"), std::string::npos);
    // The same resolver again: the substitution still belongs to this plot's report.
    Draw(&report);
    EXPECT_FALSE(report.substitutions.empty());
    RecordingSink sink;
    const auto noFonts = Render(w.d, sink);
    EXPECT_TRUE(sink.strokes.empty());
    ASSERT_EQ(noFonts.warnings.size(), 1u);
    EXPECT_NE(noFonts.warnings[0].find("no fonts"), std::string::npos);
}

// MTEXT, laid out directly.
struct MTextTest : ::testing::Test {
    fonts::FontResolver fonts;
    render::GlyphCache cache{&fonts};
    render::TextLayout out;
    const fonts::ResolvedFont* font = cache.FontNamed("romans.shx");

    void Lay(const std::string& text, double height = 5, double width = 0, int attach = 1) {
        db::MText m;
        m.text = text;
        m.height = height;
        m.rectWidth = width;
        m.attachment = static_cast<std::int16_t>(attach);
        render::LayoutMText(m, nullptr, font, cache, out);
    }
    std::vector<double> Baselines() const {
        std::vector<double> ys;
        for (const auto& g : out.glyphs) {
            const double y = g.toPlane.dy();
            if (std::none_of(ys.begin(), ys.end(),
                             [&](double v) { return std::abs(v - y) < 1e-9; })) {
                ys.push_back(y);
            }
        }
        return ys;
    }
    double MaxX() const {
        double x = -1e300;
        for (const auto& g : out.glyphs) {
            x = std::max(x, g.toPlane.map(QPointF(g.glyph->inkRight, 0)).x());
        }
        return x;
    }
};

TEST_F(MTextTest, ParagraphsAreFiveThirdsOfTheHeightApart) {
    REQUIRE_STROKE_FONTS();
    Lay("A\\PB\\PC");
    const auto ys = Baselines();
    ASSERT_EQ(ys.size(), 3u);
    EXPECT_NEAR(ys[0], -5, 1e-9);  // top attachment: the capitals hang from the insertion
    EXPECT_NEAR(ys[0] - ys[1], 5 * 5.0 / 3.0, 1e-9);
    EXPECT_NEAR(ys[1] - ys[2], 5 * 5.0 / 3.0, 1e-9);
}

TEST_F(MTextTest, WrapsAtTheReferenceWidth) {
    REQUIRE_STROKE_FONTS();
    Lay("alpha beta gamma delta epsilon zeta eta theta", 5, 40);
    const auto ys = Baselines();
    EXPECT_GE(ys.size(), 3u);
    EXPECT_LE(MaxX(), 40.001);
    Lay("alpha beta gamma delta epsilon zeta eta theta", 5, 0);
    EXPECT_EQ(Baselines().size(), 1u);
    EXPECT_GT(MaxX(), 80);
}

TEST_F(MTextTest, InlineHeightColourFontAndStack) {
    REQUIRE_STROKE_FONTS();
    Lay("A{\\H2x;B}C");
    ASSERT_EQ(out.glyphs.size(), 3u);
    EXPECT_NEAR(out.glyphs[0].toPlane.m22(), 5, 1e-9);
    EXPECT_NEAR(out.glyphs[1].toPlane.m22(), 10, 1e-9);
    EXPECT_NEAR(out.glyphs[2].toPlane.m22(), 5, 1e-9);  // the group ends the change
    Lay("A\\C1;B\\c16711680;C");
    ASSERT_EQ(out.glyphs.size(), 3u);
    EXPECT_EQ(out.glyphs[0].color, -1);
    ASSERT_GE(out.glyphs[1].color, 0);
    EXPECT_EQ(out.colors[static_cast<std::size_t>(out.glyphs[1].color)], db::Color::FromIndex(1));
    // \c holds blue, green, red from the high byte down: 0xFF0000 is blue.
    EXPECT_EQ(out.colors[static_cast<std::size_t>(out.glyphs[2].color)].rgb, 0x0000FFu);
    Lay("x\\S1/2;");
    ASSERT_EQ(out.lines.size(), 1u);  // the fraction bar
    ASSERT_EQ(out.glyphs.size(), 3u);
    EXPECT_NEAR(out.glyphs[1].toPlane.m22(), 5 * 0.7, 1e-9);
    EXPECT_GT(out.glyphs[1].toPlane.dy(), out.glyphs[2].toPlane.dy());
    Lay("A\\fArial|b1|i0;B");
    ASSERT_EQ(out.glyphs.size(), 2u);
    EXPECT_FALSE(out.glyphs[0].glyph->shape.IsOutline());
    EXPECT_TRUE(out.glyphs[1].glyph->shape.IsOutline());
    Lay("50\\L%%d\\l and 1\\~2");
    EXPECT_FALSE(out.lines.empty());
    EXPECT_EQ(out.glyphs.size(), 2u + 1u + 3u + 2u);
}

TEST_F(MTextTest, AttachmentPointsPlaceTheBox) {
    REQUIRE_STROKE_FONTS();
    Lay("HIH", 5, 0, 9);  // bottom right
    EXPECT_NEAR(MaxX(), 0, 0.05);
    const auto ys = Baselines();
    ASSERT_EQ(ys.size(), 1u);
    EXPECT_NEAR(ys[0], 5.0 / 3.0, 1e-9);  // the descent below the last baseline
    Lay("HIH", 5, 0, 5);                  // middle centre
    const double right = MaxX();
    EXPECT_GT(right, 0);
    EXPECT_NEAR(Baselines()[0], -5 + (5 + 5.0 / 3.0) / 2, 1e-9);
}

TEST(MTextEntity, DirectionAndPlaneOnThePage) {
    if (!HaveStrokeFonts()) {
        GTEST_SKIP();
    }
    Drawing w;
    const auto style = w.Style("S", "romans.shx");
    db::MText m;
    m.text = "HIH";
    m.height = 10;
    m.position = {100, 100, 0};
    m.hasXAxis = true;
    m.xAxis = {0, 1, 0};  // reading upwards
    m.style = style;
    w.Add(w.model, db::EntityType::MText, m, Props(0, db::Color::FromIndex(1)));
    fonts::FontResolver fonts;
    render::RenderOptions o;
    o.fonts = &fonts;
    RecordingSink sink;
    const auto report = Render(w.d, sink, 0, o);
    const auto box = sink.Bounds();
    EXPECT_NEAR(box.xmin, 100, 0.05);  // top-left attachment: the text hangs to the right
    EXPECT_NEAR(box.xmax, 110, 0.05);
    EXPECT_NEAR(box.ymin, 100, 0.05);
    EXPECT_GT(box.ymax, 115);
    EXPECT_EQ(report.visible, 1);
    EXPECT_EQ(sink.strokes.front().pen.color, (plotstyle::Rgb{255, 0, 0}));
}

TEST_F(TextTest, ComplexLinetypesCarryTheirTexts) {
    REQUIRE_STROKE_FONTS();
    w.d.textStyles[romans].handle = 0x11;
    db::Linetype gas;
    gas.name = "GAS_LINE";
    gas.elements.resize(3);
    gas.elements[0].length = 0.5;
    auto& label = gas.elements[1];
    label.length = -0.2;
    label.type = 2;
    label.style = 0x11;
    label.scale = 0.1;
    label.offsetX = -0.1;
    label.offsetY = -0.05;
    label.text = "GAS";
    gas.elements[2].length = -0.25;
    w.d.linetypes.push_back(gas);
    const auto lt = static_cast<db::LinetypeId>(w.d.linetypes.size() - 1);
    w.d.header.ltScale = 20;  // a 19 mm pattern, texts 2 mm high
    w.AddLine(w.model, {0, 100, 0}, {190, 100, 0}, Props(0, {}, db::kLineweightByLayer, lt));
    RecordingSink sink;
    render::RenderOptions o;
    o.fonts = &fonts;
    const auto report = Render(w.d, sink, 0, o);
    std::size_t dashes = 0, letters = 0;
    for (const auto& s : sink.strokes) {
        const auto box = output::BoundsOf(s.points);
        if (box.Height() < 1e-9 && box.Width() > 9) {
            ++dashes;  // a 10 mm dash on the line
            continue;
        }
        ++letters;
        EXPECT_GE(box.ymin, 99 - 0.05);  // centred on the line: 99 .. 101
        EXPECT_LE(box.ymax, 101 + 0.05);
    }
    EXPECT_EQ(dashes, 10u);
    EXPECT_GE(letters, 10u * 4u);  // G, A, S: at least four strokes each time
    EXPECT_TRUE(report.warnings.empty());
    // A shape element cannot be drawn without its shape file: reported, the line still is.
    w.d.linetypes[lt].elements[1].type = 4;
    RecordingSink shapes;
    const auto shapeReport = Render(w.d, shapes, 0, o);
    EXPECT_EQ(shapes.strokes.size(), 10u);
    ASSERT_EQ(shapeReport.warnings.size(), 1u);
    EXPECT_NE(shapeReport.warnings[0].find("GAS_LINE"), std::string::npos);
}
