// Text: TEXT alignments, width factor, rotation, backwards, special characters and
// underline; MTEXT paragraphs, wrapping, inline changes and attachment; complex linetypes;
// fonts and their substitutions in the report.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "RenderTools.h"
#include "engine/fonts/FontResolver.h"
#include "engine/render/TextLayout.h"

using namespace vx::engine;
using namespace vx::testing;

namespace {

#define REQUIRE_STROKE_FONTS()                                                       \
    if (!std::filesystem::exists("/usr/share/librecad/fonts/romans.lff")) {          \
        GTEST_SKIP() << "LibreCAD's stroke fonts are not installed (librecad-data)"; \
    }

struct TextTest : ::testing::Test {
    Drawing w;
    fonts::FontResolver fonts;
    db::StyleId romans =
        w.Push(w.d.textStyles, db::TextStyle{.name = "R", .fontFile = "romans.shx"});

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

// One text of "HIH", 10 high at (100, 100): where a change of its alignment or form puts its
// box (NaN: not checked), in terms of the plain text's width w.
TEST_F(TextTest, AlignmentsWidthRotationAndGeneration) {
    REQUIRE_STROKE_FONTS();
    const double w = Alone(Make("HIH", 100, 100)).Width(), x = std::nan("");
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
    } cases[] = {
        {"plain: capitals one height high", [](db::Text&) {}, {100, 100, 100 + w, 110}},
        {"right", at(2, 0), {200 - w, x, 200, x}},
        {"middle", at(4, 0), {x, 95, x, 105}},
        {"turned left", [](db::Text& t) { t.rotation = 90; }, {x, 100, 100, 100 + w}},
        {"backwards", [](db::Text& t) { t.generation = 2; }, {100 - w, x, 100, x}},
    };
    for (const auto& c : cases) {
        auto t = Make("HIH", 100, 100);
        c.change(t);
        const auto box = Alone(t);
        const double got[] = {box.xmin, box.ymin, box.xmax, box.ymax};
        const double want[] = {c.box.xmin, c.box.ymin, c.box.xmax, c.box.ymax};
        for (int i = 0; i < 4; ++i) {
            if (!std::isnan(want[i])) {
                EXPECT_NEAR(got[i], want[i], 0.05) << c.what << ", side " << i;
            }
        }
    }
}

TEST_F(TextTest, SpecialCharactersAndUnderline) {
    REQUIRE_STROKE_FONTS();
    Alone(Make("%%d%%p%%c", 10, 10));
    const auto codes = last->strokes.size();
    Alone(Make("\xC2\xB0\xC2\xB1\xC3\x98", 10, 10));  // ° ± Ø
    EXPECT_EQ(last->strokes.size(), codes);
    const auto plain = Alone(Make("HIH", 10, 100));
    const auto plainStrokes = last->strokes.size();
    const auto under = Alone(Make("%%uHIH", 10, 100));
    EXPECT_EQ(last->strokes.size(), plainStrokes + 1);
    EXPECT_LT(under.ymin, plain.ymin - 1);
}

TEST_F(TextTest, TrueTypeTextIsFilledOutlinesAtCapitalHeight) {
    auto t = Make("HH", 50, 50);
    t.style = w.Push(w.d.textStyles, db::TextStyle{.name = "A", .fontFile = "arial.ttf"});
    const auto box = Alone(t);
    EXPECT_TRUE(!last->glyphs.empty() && last->strokes.empty());
    EXPECT_NEAR(box.ymin, 50, 0.1);
    EXPECT_NEAR(box.ymax, 60, 0.3);
}

TEST_F(TextTest, SubstitutionsAreReportedAndMissingFontsWarned) {
    REQUIRE_STROKE_FONTS();
    w.Add(w.model, db::EntityType::Text, Make("HI", 10, 10));
    EXPECT_TRUE(Has(DrawAll().report.substitutions.at(0), "romans.shx drawn with romans.lff"));
    const auto noFonts = Draw(w.d);
    EXPECT_TRUE(noFonts->strokes.empty());
    EXPECT_TRUE(Has(noFonts.report.warnings.at(0), "no fonts"));
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
    std::size_t dashes = 0, letters = 0;
    const auto p = DrawAll();
    for (const auto& s : p->strokes) {
        const auto box = output::BoundsOf(s.points);
        if (box.Height() < 1e-9 && box.Width() > 9) {
            ++dashes;  // a 10 mm dash on the line
            continue;
        }
        ++letters;
        EXPECT_TRUE(box.ymin >= 98.95 && box.ymax <= 101.05);  // centred on the line
    }
    EXPECT_EQ(dashes, 10u);
    EXPECT_GE(letters, 10u * 4u);  // G, A, S: at least four strokes each time
    // A shape element cannot be drawn without its shape file: reported, the line still is.
    w.d.linetypes[lt].elements[1].type = 4;
    const auto shapes = DrawAll();
    EXPECT_EQ(shapes->strokes.size(), 10u);
    EXPECT_TRUE(Has(shapes.report.warnings.at(0), "GAS_LINE"));
}

// MTEXT, laid out directly.
struct MTextTest : ::testing::Test {
    fonts::FontResolver fonts;
    render::GlyphCache cache{&fonts};
    render::TextLayout out;

    void Lay(const std::string& text, double width = 0, int attach = 1) {
        const db::MText m{.height = 5,
                          .rectWidth = width,
                          .attachment = static_cast<std::int16_t>(attach),
                          .text = text};
        render::LayoutMText(m, nullptr, cache.FontNamed("romans.shx"), cache, out);
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

TEST_F(MTextTest, ParagraphsAttachmentAndWrapping) {
    REQUIRE_STROKE_FONTS();
    Lay("A\\PB\\PC");
    // Top attachment: the capitals hang from the insertion; paragraphs 5/3 heights apart.
    const auto ys = Baselines();
    ASSERT_EQ(ys.size(), 3u);
    EXPECT_NEAR(ys[0], -5, 1e-9);
    EXPECT_NEAR(ys[0] - ys[2], 2 * 5 * 5.0 / 3, 1e-9);
    Lay("HIH", 0, 9);  // bottom right: the descent below the last baseline
    EXPECT_NEAR(MaxX(), 0, 0.05);
    EXPECT_NEAR(Baselines().at(0), 5.0 / 3, 1e-9);
    Lay("alpha beta gamma delta epsilon zeta eta theta", 40);
    EXPECT_GE(Baselines().size(), 3u);
    EXPECT_LE(MaxX(), 40.001);
}

TEST_F(MTextTest, InlineHeightAndColour) {
    REQUIRE_STROKE_FONTS();
    Lay("A{\\H2x;B}C");
    ASSERT_EQ(out.glyphs.size(), 3u);
    EXPECT_NEAR(out.glyphs[1].toPlane.m22(), 10, 1e-9);
    EXPECT_NEAR(out.glyphs[2].toPlane.m22(), 5, 1e-9);  // the group ends the change
    Lay("A\\C1;B\\c16711680;C");
    ASSERT_EQ(out.glyphs.size(), 3u);
    EXPECT_EQ(out.glyphs[0].color, -1);
    EXPECT_EQ(out.colors.at(static_cast<std::size_t>(out.glyphs[1].color)),
              db::Color::FromIndex(1));
    // \c holds blue, green, red from the high byte down: 0xFF0000 is blue.
    EXPECT_EQ(out.colors.at(static_cast<std::size_t>(out.glyphs[2].color)).rgb, 0x0000FFu);
}
