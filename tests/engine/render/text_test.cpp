// Text: TEXT alignments, width factor, rotation, backwards and upside down, special
// characters and underline; MTEXT paragraphs, wrapping, inline heights, colours, fonts,
// stacked fractions and attachment; fonts and their substitutions in the report.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "RenderTools.h"
#include "engine/fonts/FontResolver.h"
#include "engine/render/TextLayout.h"

using namespace vx::engine;
using namespace vx::testing;

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180;

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
        return {.position = {x, y, 0}, .height = h, .style = romans, .text = std::move(s)};
    }
    Plot DrawAll() {
        render::RenderOptions o;
        o.fonts = &fonts;
        return Draw(w.d, 0, o);
    }
    // Bounds of one text drawn alone; `last` keeps its plot.
    page::Rect Alone(const db::Text& t) {
        w.d.blocks[w.model].entities.clear();
        w.Add(w.model, db::EntityType::Text, t);
        last = DrawAll();
        return last->Bounds();
    }
    Plot last;
};

}  // namespace

// One text of "HIH", 10 high at (100, 100), drawn alone: where a change of its alignment or
// form puts its box (NaN: not checked), in terms of the plain text's width w.
TEST_F(TextTest, AlignmentsWidthRotationObliqueAndGeneration) {
    REQUIRE_STROKE_FONTS();
    const auto plain = Alone(Make("HIH", 100, 100));
    const double w = plain.Width(), x = std::nan(""), slant = 10 * std::tan(30 * kDeg);
    EXPECT_GT(w, 15);
    const auto at = [](std::int16_t h, std::int16_t v) {
        return [h, v](db::Text& t) {
            t.alignPoint = {200, 100, 0};
            t.hasAlignPoint = true;
            t.halign = h;
            t.valign = v;
        };
    };
    const struct {
        const char* what;
        std::function<void(db::Text&)> change;
        page::Rect box;
        double tol = 0.05;
    } cases[] = {
        {"plain: capitals one height high", [](db::Text&) {}, {100, 100, 100 + w, 110}},
        {"right", at(2, 0), {200 - w, x, 200, x}},
        {"centre", at(1, 0), {200 - w / 2, 100, 200 + w / 2, x}},
        {"middle", at(4, 0), {x, 95, x, 105}},
        {"top", at(0, 3), {200, x, x, 100}},
        {"bottom: the baseline lifted by the descent", at(0, 1), {x, 103.5, x, x}, 1.5},
        {"width factor", [](db::Text& t) { t.widthFactor = 2; }, {100, x, 100 + 2 * w, x}},
        {"turned left about its point",
         [](db::Text& t) { t.rotation = 90; },
         {x, 100, 100, 100 + w}},
        {"oblique", [](db::Text& t) { t.oblique = 30; }, {x, x, plain.xmax + slant, x}},
        {"backwards", [](db::Text& t) { t.generation = 2; }, {100 - w, x, 100, x}},
        {"upside down", [](db::Text& t) { t.generation = 4; }, {x, 90, x, 100}},
    };
    for (const auto& c : cases) {
        auto t = Make("HIH", 100, 100);
        c.change(t);
        const auto box = Alone(t);
        const double got[] = {box.xmin, box.ymin, box.xmax, box.ymax};
        const double want[] = {c.box.xmin, c.box.ymin, c.box.xmax, c.box.ymax};
        for (int i = 0; i < 4; ++i) {
            if (!std::isnan(want[i])) {
                EXPECT_NEAR(got[i], want[i], c.tol) << c.what << ", side " << i;
            }
        }
    }
}

TEST_F(TextTest, AlignedAndFitBetweenTwoPoints) {
    REQUIRE_STROKE_FONTS();
    auto t = Make("HIH", 10, 20, 5);
    t.alignPoint = {110, 20, 0};
    t.hasAlignPoint = true;
    t.halign = 5;  // fit: the height stays
    EXPECT_TRUE(Near(Alone(t), {10, 20, 110, 25}, 0.05));
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

TEST_F(TextTest, SpecialCharactersAndUnderline) {
    REQUIRE_STROKE_FONTS();
    Alone(Make("%%d%%p%%c", 10, 10));
    const auto codes = last->strokes.size();
    Alone(Make("\xC2\xB0\xC2\xB1\xC3\x98", 10, 10));  // ° ± Ø
    EXPECT_EQ(last->strokes.size(), codes);
    EXPECT_GT(codes, 3u);
    const auto plain = Alone(Make("HIH", 10, 100));
    const auto plainStrokes = last->strokes.size();
    const auto under = Alone(Make("%%uHIH", 10, 100));
    EXPECT_EQ(last->strokes.size(), plainStrokes + 1);
    EXPECT_LT(under.ymin, plain.ymin - 1);
}

TEST_F(TextTest, TrueTypeTextIsFilledOutlinesAtCapitalHeight) {
    auto t = Make("HH", 50, 50);
    t.style = w.Style("ARIAL", "arial.ttf");
    const auto box = Alone(t);
    EXPECT_GE(last->glyphs.size(), 1u);
    EXPECT_EQ(last->strokes.size(), 0u);
    EXPECT_NEAR(box.ymin, 50, 0.1);
    EXPECT_NEAR(box.ymax, 60, 0.3);
}

TEST_F(TextTest, SubstitutionsAreReportedAndMissingFontsWarned) {
    REQUIRE_STROKE_FONTS();
    w.Add(w.model, db::EntityType::Text, Make("HI", 10, 10));
    EXPECT_TRUE(Mentions(DrawAll().report.substitutions, "romans.shx drawn with romans.lff"));
    // The same resolver again: the substitution still belongs to this plot's report.
    EXPECT_FALSE(DrawAll().report.substitutions.empty());
    const auto noFonts = Draw(w.d);
    EXPECT_TRUE(noFonts->strokes.empty());
    ASSERT_EQ(noFonts.report.warnings.size(), 1u);
    EXPECT_NE(noFonts.report.warnings[0].find("no fonts"), std::string::npos);
}

// MTEXT, laid out directly.
struct MTextTest : ::testing::Test {
    fonts::FontResolver fonts;
    render::GlyphCache cache{&fonts};
    render::TextLayout out;
    const fonts::ResolvedFont* font = cache.FontNamed("romans.shx");

    void Lay(const std::string& text, double height = 5, double width = 0, int attach = 1) {
        const db::MText m{.height = height,
                          .rectWidth = width,
                          .attachment = static_cast<std::int16_t>(attach),
                          .text = text};
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

TEST_F(TextTest, MTextDirectionAndColourOnThePage) {
    REQUIRE_STROKE_FONTS();
    // Reading upwards from its top-left attachment: the text hangs to the right.
    w.Add(w.model, db::EntityType::MText,
          db::MText{.position = {100, 100, 0},
                    .xAxis = {0, 1, 0},
                    .hasXAxis = true,
                    .height = 10,
                    .style = romans,
                    .text = "HIH"},
          Props(0, Aci(1)));
    const auto p = DrawAll();
    const auto box = p->Bounds();
    EXPECT_TRUE(Near(box, {100, 100, 110, box.ymax}, 0.05));
    EXPECT_GT(box.ymax, 115);
    EXPECT_EQ(p.report.visible, 1);
    EXPECT_EQ(p->strokes.front().pen.color, (plotstyle::Rgb{255, 0, 0}));
}

TEST_F(TextTest, ComplexLinetypesCarryTheirTexts) {
    REQUIRE_STROKE_FONTS();
    w.d.textStyles[romans].handle = 0x11;
    db::Linetype gas{.name = "GAS_LINE"};
    gas.elements = {{.length = 0.5},
                    {.length = -0.2,
                     .type = 2,
                     .style = 0x11,
                     .scale = 0.1,
                     .offsetX = -0.1,
                     .offsetY = -0.05,
                     .text = "GAS"},
                    {.length = -0.25}};
    const auto lt = w.Push(w.d.linetypes, gas);
    w.d.header.ltScale = 20;  // a 19 mm pattern, texts 2 mm high
    w.AddLine(w.model, {0, 100, 0}, {190, 100, 0}, Props(0, {}, db::kLineweightByLayer, lt));
    const auto p = DrawAll();
    std::size_t dashes = 0, letters = 0;
    for (const auto& s : p->strokes) {
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
    EXPECT_TRUE(p.report.warnings.empty());
    // A shape element cannot be drawn without its shape file: reported, the line still is.
    w.d.linetypes[lt].elements[1].type = 4;
    const auto shapes = DrawAll();
    EXPECT_EQ(shapes->strokes.size(), 10u);
    ASSERT_EQ(shapes.report.warnings.size(), 1u);
    EXPECT_NE(shapes.report.warnings[0].find("GAS_LINE"), std::string::npos);
}
