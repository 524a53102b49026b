// Characters a text style's font lacks: East Asian ones from the big font's CJK face (or a
// CJK face of their script), others from any installed font that has them, each reported.
#include <gtest/gtest.h>

#include <QFontDatabase>

#include "engine/fonts/FontResolver.h"

using namespace vx::engine::fonts;

namespace {

bool HasCjkFace() {
    return QFontDatabase::families(QFontDatabase::SimplifiedChinese).size() > 0 &&
           QFontDatabase::families(QFontDatabase::Korean).size() > 0;
}

bool Reported(const FontResolver& r, const std::string& asked, const std::string& used) {
    return std::any_of(r.Substitutions().begin(), r.Substitutions().end(),
                       [&](const Substitution& s) { return s.asked == asked && s.used == used; });
}

TEST(GlyphFallback, BigFontsAndMissingCharactersFindAFaceThatHasThem) {
    if (!std::filesystem::exists("/usr/share/librecad/fonts/romans.lff") || !HasCjkFace()) {
        GTEST_SKIP() << "needs librecad-data and a CJK font (fonts-wqy-microhei)";
    }
    using WS = QFontDatabase::WritingSystem;
    constexpr WS kNone = QFontDatabase::Any;
    struct Case {
        const char* font;
        const char* bigFont;
        char32_t c;
        const char* face;  // the face expected, or "" for one of `language`
        WS language;
        const char* reportedAs;  // the substitution's "asked" ("" for none)
    };
    const Case cases[] = {
        // The big font draws the East Asian characters; the main font keeps the rest.
        {"romans.shx", "gbcbig.shx", U'\u4E2D', "", QFontDatabase::SimplifiedChinese,
         "gbcbig.shx"},
        {"romans.shx", "gbcbig.shx", U'A', "romans.lff", kNone, ""},
        {"C:\\Fonts\\ROMANS.SHX", "C:\\Fonts\\CHINESET.SHX", U'\u570B', "",
         QFontDatabase::TraditionalChinese, "C:\\Fonts\\CHINESET.SHX"},
        {"txt.shx", "whgtxt.shx", U'\uD55C', "", QFontDatabase::Korean, "whgtxt.shx"},
        {"txt.shx", "extfont.shx", U'\u3042', "", QFontDatabase::Japanese, "extfont.shx"},
        // A big font named as the style's font.
        {"gbcbig.shx", "", U'\u6587', "", QFontDatabase::SimplifiedChinese, "gbcbig.shx"},
        // No big font: a CJK face of the character's script, per character.
        {"simplex.shx", "", U'\u5B57', "", QFontDatabase::SimplifiedChinese,
         "U+5B57 in simplex.lff"},
        {"arial.ttf", "", U'\u4E2D', "", QFontDatabase::SimplifiedChinese, "U+4E2D in "},
    };
    for (const Case& k : cases) {
        FontResolver resolver;
        const auto font = resolver.Resolve(k.font, k.bigFont);
        const GlyphShape g = font->Glyph(k.c);
        const std::string where = std::string(k.font) + " + " + k.bigFont;
        EXPECT_TRUE(!g.strokes.empty() || g.IsOutline()) << where;
        if (*k.face) {
            EXPECT_EQ(g.font, k.face) << where;
        } else {
            EXPECT_TRUE(g.IsOutline()) << where;
            EXPECT_TRUE(QFontDatabase::writingSystems(QString::fromStdString(g.font))
                            .contains(k.language))
                << where << ": " << g.font;
        }
        if (std::string(k.reportedAs).ends_with(" in ")) {
            EXPECT_TRUE(Reported(resolver, k.reportedAs + font->UsedName(), g.font)) << where;
        } else if (*k.reportedAs) {
            EXPECT_TRUE(Reported(resolver, k.reportedAs, g.font)) << where;
        } else {
            EXPECT_TRUE(resolver.Substitutions().size() <= 1) << where;  // the SHX font only
        }
    }
}

// An ideograph in a stroke text stands on the baseline and is about a capital high.
TEST(GlyphFallback, IdeographsFillTheCharacterCell) {
    if (!std::filesystem::exists("/usr/share/librecad/fonts/romans.lff") || !HasCjkFace()) {
        GTEST_SKIP() << "needs librecad-data and a CJK font (fonts-wqy-microhei)";
    }
    FontResolver resolver;
    const QRectF ink = resolver.Resolve("romans.shx", "gbcbig.shx")->Glyph(U'\u4E2D')
                           .outline.boundingRect();
    EXPECT_NEAR(ink.top(), 0.0, 0.02);  // QRectF's top is its least y
    EXPECT_NEAR(ink.bottom(), 1.0, 0.02);
}

// A text of many foreign characters names a few and counts the rest; a character no font
// has is still a question mark.
TEST(GlyphFallback, ManyCharactersAreCountedNotListed) {
    if (!std::filesystem::exists("/usr/share/librecad/fonts/romans.lff") || !HasCjkFace()) {
        GTEST_SKIP() << "needs librecad-data and a CJK font (fonts-wqy-microhei)";
    }
    FontResolver resolver;
    const auto font = resolver.Resolve("romans.shx");
    const std::u32string text = U"\u4E00\u4E8C\u4E09\u56DB\u4E94\u516D\u4E03\u516B\u4E03";
    std::string face;
    for (char32_t c : text) {
        face = font->Glyph(c).font;
    }
    EXPECT_EQ(resolver.Substitutions().size(), 1u + 5u + 1u);  // romans.shx, 5 named, the rest
    EXPECT_TRUE(Reported(resolver, "U+4E00 in romans.lff", face));
    EXPECT_TRUE(Reported(resolver, "3 more characters in romans.lff", face));
    EXPECT_EQ(font->Glyph(U'\U0010FFFD').font, "?");
}

}  // namespace
