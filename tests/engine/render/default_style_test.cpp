// Text that names no text style is drawn in the drawing's "Standard" style and its font.
#include <gtest/gtest.h>

#include <filesystem>

#include "RenderTools.h"
#include "engine/fonts/FontResolver.h"

using namespace vx::engine;
using vx::testing::Drawing;

namespace {

db::StyleId Style(Drawing& w, const std::string& name, const std::string& font) {
    return w.Push(w.d.textStyles, db::TextStyle{.name = name, .fontFile = font});
}

struct StyleCase {
    const char* what;
    const char* standardFont;  // the Standard style's font, or nullptr for no such style
    bool ownStyle;             // the text names a style of its own (ROMANS)
    bool mtext;
    bool outlines;  // drawn as TrueType outlines, else as strokes
};

const StyleCase kCases[] = {
    {"TEXT without a style, Standard in Arial", "arial.ttf", false, false, true},
    {"MTEXT without a style, Standard in Arial", "arial.ttf", false, true, true},
    {"TEXT without a style, Standard in a stroke font", "txt.shx", false, false, false},
    {"TEXT without a style and no Standard", nullptr, false, false, false},
    {"TEXT in a style of its own beside an Arial Standard", "arial.ttf", true, false, false},
};

struct DefaultStyle : ::testing::TestWithParam<StyleCase> {};

TEST_P(DefaultStyle, DrawsInTheStandardStylesFont) {
    if (!std::filesystem::exists("/usr/share/librecad/fonts/romans.lff")) {
        GTEST_SKIP() << "LibreCAD's stroke fonts are not installed (librecad-data)";
    }
    const StyleCase& c = GetParam();
    Drawing w;
    const db::StyleId romans = Style(w, "ROMANS", "romans.shx");
    if (c.standardFont) {
        Style(w, "Standard", c.standardFont);
    }
    const db::StyleId style = c.ownStyle ? romans : db::kNone;
    if (c.mtext) {
        db::MText m;
        m.text = "HH";
        m.position = {50, 50, 0};
        m.height = 10;
        m.style = style;
        w.Add(w.model, db::EntityType::MText, m);
    } else {
        db::Text t;
        t.text = "HH";
        t.position = {50, 50, 0};
        t.height = 10;
        t.style = style;
        w.Add(w.model, db::EntityType::Text, t);
    }
    fonts::FontResolver fonts;
    render::RenderOptions o;
    o.fonts = &fonts;
    const auto p = vx::testing::Draw(w.d, 0, o);
    EXPECT_EQ(!p->glyphs.empty(), c.outlines) << c.what;
    EXPECT_EQ(p->strokes.empty(), c.outlines) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Texts, DefaultStyle, ::testing::ValuesIn(kCases));

}  // namespace
