// Characters a text style's font lacks: East Asian ones from the big font's CJK face (or a
// CJK face of their script), others from any installed font that has them, each reported.
#include <gtest/gtest.h>

#include <QFontDatabase>

#include "engine/fonts/FontResolver.h"

using namespace vx::engine::fonts;

namespace {

#define REQUIRE_FONTS()                                                            \
    if (!std::filesystem::exists("/usr/share/librecad/fonts/romans.lff") ||        \
        QFontDatabase::families(QFontDatabase::Korean).isEmpty()) {                \
        GTEST_SKIP() << "needs librecad-data and a CJK font (fonts-wqy-microhei)"; \
    }

bool Reported(const FontResolver& r, const std::string& asked, const std::string& used) {
    return std::any_of(r.Substitutions().begin(), r.Substitutions().end(),
                       [&](const Substitution& s) { return s.asked == asked && s.used == used; });
}

TEST(GlyphFallback, BigFontsAndMissingCharactersFindAFaceThatHasThem) {
    REQUIRE_FONTS();
    using WS = QFontDatabase::WritingSystem;
    struct Case {
        const char *font, *bigFont;
        char32_t c;
        WS language;             // of the face expected; Any: the style's own stroke font
        const char* reportedAs;  // the substitution's "asked"; "@" stands for the used font
    };
    const Case cases[] = {
        // The big font draws the East Asian characters; the main font keeps the rest.
        {"romans.shx", "gbcbig.shx", U'\u4E2D', WS::SimplifiedChinese, "gbcbig.shx"},
        {"romans.shx", "gbcbig.shx", U'A', WS::Any, "romans.shx"},
        {"C:\\F\\ROMANS.SHX", "C:\\F\\CHINESET.SHX", U'\u570B', WS::TraditionalChinese,
         "C:\\F\\CHINESET.SHX"},
        {"txt", "whgtxt.shx", U'\uD55C', WS::Korean, "whgtxt.shx"},
        {"txt", "extfont.shx", U'\u3042', WS::Japanese, "extfont.shx"},
        {"gbcbig.shx", "", U'\u6587', WS::SimplifiedChinese, "gbcbig.shx"},  // as main font
        // No big font: a CJK face of the character's script, reported per character.
        {"simplex.shx", "", U'\u5B57', WS::SimplifiedChinese, "U+5B57 in @"},
        {"arial.ttf", "", U'\u4E2D', WS::SimplifiedChinese, "U+4E2D in @"},
    };
    for (const Case& k : cases) {
        FontResolver resolver;
        const auto font = resolver.Resolve(k.font, k.bigFont);
        const GlyphShape g = font->Glyph(k.c);
        const std::string where = std::string(k.font) + " " + k.bigFont;
        if (k.language == WS::Any) {
            EXPECT_EQ(g.font, font->UsedName()) << where;
        } else {
            EXPECT_TRUE(
                g.IsOutline() &&
                QFontDatabase::writingSystems(QString::fromStdString(g.font)).contains(k.language))
                << where << ": " << g.font;
        }
        std::string asked = k.reportedAs;
        if (asked.ends_with('@')) {
            asked.replace(asked.size() - 1, 1, font->UsedName());
        }
        EXPECT_TRUE(Reported(resolver, asked, k.language == WS::Any ? "romans.lff" : g.font))
            << where;
    }
    // In stroke text an ideograph stands on the baseline, as high as a capital.
    const auto ink =
        FontResolver().Resolve("romans.shx", "gbcbig.shx")->Glyph(U'\u4E2D').outline->ink;
    EXPECT_NEAR(ink.ymin, 0.0, 0.02);
    EXPECT_NEAR(ink.ymax, 1.0, 0.02);
}

// A text of many foreign characters names a few and counts the rest. A symbol no stroke font
// has comes from an installed TrueType font; only a character no font has is a question mark.
TEST(GlyphFallback, ManyCharactersAreCountedNotListed) {
    REQUIRE_FONTS();
    FontResolver resolver;
    const auto font = resolver.Resolve("romans.shx");
    std::string face;
    for (char32_t c : std::u32string(U"\u4E00\u4E8C\u4E09\u56DB\u4E94\u516D\u4E03\u516B\u4E03")) {
        face = font->Glyph(c).font;
    }
    EXPECT_EQ(resolver.Substitutions().size(), 1u + 5u + 1u);  // romans.shx, 5 named, the rest
    EXPECT_TRUE(Reported(resolver, "U+4E00 in romans.lff", face));
    EXPECT_TRUE(Reported(resolver, "3 more characters in romans.lff", face));
    EXPECT_TRUE(font->Glyph(U'\u2654').IsOutline());  // a chess king: DejaVu Sans has it
    EXPECT_EQ(font->Glyph(U'\U0010FFFD').font, "?");
}

}  // namespace
