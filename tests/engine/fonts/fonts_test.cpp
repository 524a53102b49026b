// Fonts for plotted text: stroke fonts from Debian's packages (LibreCAD's LFF fonts and the
// Hershey fonts), TrueType fonts through fontconfig, the special characters of drawings,
// and the report of every substitution.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>

#include "engine/fonts/FontResolver.h"

using namespace vx::engine::fonts;

namespace {

const std::filesystem::path kLff = "/usr/share/librecad/fonts";
const std::filesystem::path kHershey = "/usr/share/hershey-fonts";

#define REQUIRE_FONT_FOLDER(folder)                                                          \
    if (!std::filesystem::exists(folder)) {                                                  \
        GTEST_SKIP() << (folder) << " is not installed (librecad-data, hershey-fonts-data)"; \
    }

QRectF Bounds(const std::vector<QPolygonF>& strokes) {
    QRectF r;
    for (const QPolygonF& s : strokes) {
        r = r.isNull() ? s.boundingRect() : r.united(s.boundingRect());
    }
    return r;
}

bool Reported(const FontResolver& r, const std::string& asked, const std::string& used) {
    return std::any_of(r.Substitutions().begin(), r.Substitutions().end(),
                       [&](const Substitution& s) { return s.asked == asked && s.used == used; });
}

TEST(StrokeFonts, LibreCadAndHersheyFontsNormalisedToCapitalHeight) {
    REQUIRE_FONT_FOLDER(kLff);
    REQUIRE_FONT_FOLDER(kHershey);
    const auto lff = StrokeFont::LoadLff(kLff / "simplex.lff");
    const StrokeGlyph* a = lff->Glyph(U'A');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->strokes.size(), 3u);
    EXPECT_NEAR(Bounds(a->strokes).top(), 0.0, 1e-9);  // the baseline: QRectF's top is its least y
    EXPECT_NEAR(Bounds(a->strokes).bottom(), 1.0, 1e-9);
    // The advance: the glyph's width and the font's letter spacing (3 of 9 units).
    EXPECT_NEAR(a->advance, (6.85714 + 3) / 9, 1e-6);
    // The degree sign is a ring drawn with arcs (bulges): many points on one circle.
    const QRectF ring = Bounds(lff->Glyph(U'\u00B0')->strokes);
    EXPECT_GT(lff->Glyph(U'\u00B0')->strokes.front().size(), 10);
    EXPECT_NEAR(ring.width(), ring.height(), 0.02);

    const auto jhf = StrokeFont::LoadJhf(kHershey / "rowmans.jhf");
    EXPECT_EQ(jhf->GlyphCount(), 96u);  // ASCII 32..126 and the degree sign
    EXPECT_NEAR(Bounds(jhf->Glyph(U'A')->strokes).bottom(), 1.0, 1e-9);
    EXPECT_FALSE(jhf->Has(U'\u00B1'));
}

TEST(StrokeFonts, UnreadableFontsAreErrors) {
    QTemporaryDir dir;
    const std::filesystem::path empty = dir.filePath("empty.lff").toStdString();
    std::ofstream(empty) << "# Name: nothing\n";
    const std::filesystem::path junk = dir.filePath("junk.jhf").toStdString();
    std::ofstream(junk) << "this is no font\n\n\xff\xfe\n";
    const std::filesystem::path badHeader = dir.filePath("bad.lff").toStdString();
    std::ofstream(badHeader) << "[zz] ?\n1,2;3,4\n\n[0041] A\n0,0;x,y;1,1\n";
    EXPECT_THROW(StrokeFont::LoadLff(empty), FontError);
    EXPECT_THROW(StrokeFont::LoadJhf(junk), FontError);
    EXPECT_THROW(StrokeFont::Load(dir.filePath("font.shx").toStdString()), FontError);
    // Unreadable parts are skipped; what can be read is kept.
    const auto font = StrokeFont::LoadLff(badHeader);
    EXPECT_EQ(font->GlyphCount(), 1u);
    EXPECT_EQ(font->Glyph(U'A')->strokes.front().size(), 2);
}

TEST(SpecialCodes, DegreePlusMinusDiameterAndCharacterCodes) {
    const std::pair<const char*, const char*> cases[] = {
        {"%%P0.5 %%c20", "\u00B10.5 \u00D820"},
        {"100%%%", "100%"},
        {"%%128", "\u20AC"},
        {"%%129", "%%129"},  // no character of the code page
        {"5% and %% and %%", "5% and %% and %%"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(ExpandSpecialCodes(in), out) << in;
    }
}

TEST(Resolving, ShxFontsBecomeStrokeFontsAndAreReported) {
    REQUIRE_FONT_FOLDER(kLff);
    FontResolver resolver;
    const auto romans = resolver.Resolve("romans.shx");
    EXPECT_EQ(romans->kind(), ResolvedFont::Kind::Stroke);
    for (auto [asked, used] : {std::pair{"romans.shx", "romans.lff"},
                               {"txt", "standard.lff"},
                               {"C:\\Fonts\\ISOCP.SHX", "iso.lff"},
                               {"nosuchfont.shx", "simplex.lff"}}) {
        EXPECT_EQ(resolver.Resolve(asked)->UsedName(), used);
        EXPECT_TRUE(Reported(resolver, asked, used));
    }
    EXPECT_EQ(resolver.Resolve("romans.shx"), romans);  // the same font again
    // The same font in the next plot is reported again.
    resolver.ClearSubstitutions();
    resolver.Resolve("txt");
    EXPECT_TRUE(Reported(resolver, "txt", "standard.lff"));
    // An LFF font asked for by its own name is no substitution.
    resolver.ClearSubstitutions();
    EXPECT_EQ(resolver.Resolve("simplex.lff")->UsedName(), "simplex.lff");
    EXPECT_TRUE(resolver.Substitutions().empty());
}

// Texts in txt keep the length the CAD program gave them: ALIGNED texts it wrote fit "FOO"
// 0.75 high between points 2 apart and "xx" 280.7 high between points 467.8 apart.
TEST(Resolving, TxtStandInKeepsTheLengthOfTxtTexts) {
    REQUIRE_FONT_FOLDER(kLff);
    FontResolver resolver;
    const std::pair<const char32_t*, double> cases[] = {{U"FOO", 8.0 / 3}, {U"xx", 5.0 / 3}};
    for (const char* name : {"txt", "TXT.SHX", "monotxt.shx"}) {
        const auto font = resolver.Resolve(name);
        for (const auto& [text, inkWidth] : cases) {
            double x = 0;
            double right = 0;
            for (const char32_t* c = text; *c; ++c) {
                const GlyphShape g = font->Glyph(*c);
                right = x + Bounds(g.strokes).right();
                x += g.advance;
            }
            EXPECT_NEAR(right, inkWidth, 1e-6) << name;
        }
    }
}

TEST(Resolving, UnknownTrueTypeFamiliesAreSubstitutedAndReported) {
    FontResolver resolver;
    const auto unknown = resolver.Resolve("No Such Family Here");
    EXPECT_EQ(unknown->kind(), ResolvedFont::Kind::TrueType);
    EXPECT_TRUE(Reported(resolver, "No Such Family Here", unknown->UsedName()));
}

// %%d, %%p and %%c draw in every font a text style may name: from the font itself or,
// reported, from a fallback font; a character no font has is a question mark, reported.
TEST(Glyphs, SpecialCharactersInEveryKindOfFont) {
    REQUIRE_FONT_FOLDER(kLff);
    REQUIRE_FONT_FOLDER(kHershey);
    FontResolver resolver;
    for (const char* name : {"romans.shx", "rowmans.jhf", "times.ttf"}) {
        const auto font = resolver.Resolve(name);
        for (char32_t c : {U'\u00B0', U'\u00B1', U'\u00D8'}) {
            const GlyphShape g = font->Glyph(c);
            EXPECT_TRUE(!g.strokes.empty() || g.IsOutline()) << name << " " << unsigned(c);
        }
    }
    EXPECT_TRUE(Reported(resolver, "U+00B1 in rowmans.jhf", "simplex.lff"));
    const auto romans = resolver.Resolve("romans.shx");
    EXPECT_EQ(romans->Glyph(U'\U0010FFFD').strokes, romans->Glyph(U'?').strokes);
    EXPECT_TRUE(Reported(resolver, "U+10FFFD in romans.lff", "?"));
}

}  // namespace
