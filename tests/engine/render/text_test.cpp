// Text: TEXT alignments, rotation, backwards and underline; MTEXT
// paragraphs and wrapping; complex linetypes; fonts (the Standard style's for text naming no
// style) and their substitutions in the report.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "RenderTools.h"
#include "engine/fonts/FontResolver.h"

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

TEST_F(TextTest, UnderlineIsOneStrokeBelowTheText) {
    REQUIRE_STROKE_FONTS();
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
    const auto p = DrawAll();
    EXPECT_GE(p->strokes.size(), 10u + 10u * 4u);  // ten dashes; G, A, S: four strokes or more
    const auto box = p->Bounds();                  // the texts centred on the line
    EXPECT_TRUE(box.ymin >= 98.95 && box.ymax <= 101.05 && box.xmax <= 190.001);
    // A shape element cannot be drawn without its shape file: reported, the line still is.
    w.d.linetypes[lt].elements[1].type = 4;
    const auto shapes = DrawAll();
    EXPECT_EQ(shapes->strokes.size(), 10u);
    EXPECT_TRUE(Has(shapes.report.warnings.at(0), "GAS_LINE"));
}

// MTEXT on the page, attached at its top left: the capitals hang from the insertion and
// paragraphs are five thirds of the height apart; words wrap at the reference width.
TEST_F(TextTest, MTextParagraphsAndWrapping) {
    REQUIRE_STROKE_FONTS();
    db::MText m;
    m.position = {100, 100, 0};
    m.height = 10;
    m.attachment = 1;
    m.style = romans;
    m.text = "H\\PH";
    w.Add(w.model, db::EntityType::MText, m);
    auto box = DrawAll()->Bounds();
    EXPECT_NEAR(box.ymax, 100, 0.05);
    EXPECT_NEAR(box.ymin, 100 - 10 - 10 * 5.0 / 3, 0.05);
    m.text = "alpha beta gamma delta epsilon zeta eta theta";
    m.height = 5;
    m.rectWidth = 40;
    w.d.blocks[w.model].entities.clear();
    w.Add(w.model, db::EntityType::MText, m);
    box = DrawAll()->Bounds();
    EXPECT_LE(box.xmax, 140.001);
    EXPECT_LT(box.ymin, 100 - 5 - 2 * 5 * 5.0 / 3);  // three lines or more
}

// Text that names no text style is drawn in the drawing's "Standard" style and its font:
// TrueType outlines or strokes.
TEST_F(TextTest, WithoutAStyleInTheStandardStylesFont) {
    REQUIRE_STROKE_FONTS();
    const struct {
        const char* what;
        const char* standardFont;  // the Standard style's font, or nullptr for no such style
        bool ownStyle;             // the text names a style of its own (romans)
        bool mtext;
        bool outlines;
    } cases[] = {
        {"TEXT without a style, Standard in Arial", "arial.ttf", false, false, true},
        {"MTEXT without a style, Standard in Arial", "arial.ttf", false, true, true},
        {"TEXT without a style, Standard in a stroke font", "txt.shx", false, false, false},
        {"TEXT without a style and no Standard", nullptr, false, false, false},
        {"TEXT in a style of its own beside an Arial Standard", "arial.ttf", true, false, false},
    };
    for (const auto& c : cases) {
        w = Drawing();
        romans = w.Push(w.d.textStyles, db::TextStyle{.name = "R", .fontFile = "romans.shx"});
        if (c.standardFont) {
            w.Push(w.d.textStyles, db::TextStyle{.name = "Standard", .fontFile = c.standardFont});
        }
        db::Text text = Make("HH", 50, 50);
        text.style = c.ownStyle ? romans : db::kNone;
        if (c.mtext) {
            w.Add(w.model, db::EntityType::MText,
                  db::MText{.position = text.position, .height = 10, .text = "HH"});
        } else {
            w.Add(w.model, db::EntityType::Text, text);
        }
        const auto p = DrawAll();
        EXPECT_EQ(!p->glyphs.empty(), c.outlines) << c.what;
        EXPECT_EQ(p->strokes.empty(), c.outlines) << c.what;
    }
}
