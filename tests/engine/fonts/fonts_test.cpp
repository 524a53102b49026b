// Fonts for plotted text: stroke fonts from Debian's packages (LibreCAD's LFF fonts and the
// Hershey fonts), TrueType fonts through fontconfig, the special characters of drawings,
// and the report of every substitution.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QTemporaryDir>
#include <cmath>
#include <fstream>
#include <numbers>

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
    for (const Substitution& s : r.Substitutions()) {
        if (s.asked == asked && s.used == used) {
            return true;
        }
    }
    return false;
}

std::string Utf8(const std::u32string& s) {
    QString q = QString::fromUcs4(s.data(), static_cast<qsizetype>(s.size()));
    return q.toStdString();
}

TEST(BulgeArcs, HalfAndQuarterCircles) {
    // Bulge 1: a half circle counter-clockwise, through (0, 1).
    auto points = BulgeArc({1, 0}, {-1, 0}, 1.0);
    EXPECT_EQ(points.back(), QPointF(-1, 0));
    bool top = false;
    for (QPointF p : points) {
        EXPECT_NEAR(std::hypot(p.x(), p.y()), 1.0, 1e-9);
        EXPECT_GE(p.y(), -1e-9);
        top = top || (std::abs(p.x()) < 1e-9 && std::abs(p.y() - 1) < 1e-9);
    }
    EXPECT_TRUE(top);
    // Bulge -1 bends the other way.
    for (QPointF p : BulgeArc({1, 0}, {-1, 0}, -1.0)) {
        EXPECT_LE(p.y(), 1e-9);
    }
    // tan(pi/8): a quarter circle from (1,0) to (0,1) about the origin.
    for (QPointF p : BulgeArc({1, 0}, {0, 1}, std::tan(std::numbers::pi / 8))) {
        EXPECT_NEAR(std::hypot(p.x(), p.y()), 1.0, 1e-9);
        EXPECT_GE(p.x(), -1e-9);
        EXPECT_GE(p.y(), -1e-9);
    }
    EXPECT_EQ(BulgeArc({0, 0}, {2, 0}, 0.0), std::vector<QPointF>{QPointF(2, 0)});
}

TEST(StrokeFonts, LibreCadFontNormalisedToCapitalHeight) {
    REQUIRE_FONT_FOLDER(kLff);
    const auto font = StrokeFont::LoadLff(kLff / "simplex.lff");
    EXPECT_EQ(font->Name(), "simplex.lff");
    EXPECT_GT(font->GlyphCount(), 100u);
    const StrokeGlyph* a = font->Glyph(U'A');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->strokes.size(), 3u);
    const QRectF box = Bounds(a->strokes);
    EXPECT_NEAR(box.top(), 0.0, 1e-9);     // the baseline (QRectF's top is its smallest y)
    EXPECT_NEAR(box.bottom(), 1.0, 1e-9);  // capital height
    // The advance: the glyph's width and the font's letter spacing (3 of 9 units).
    EXPECT_NEAR(a->advance, (6.85714 + 3) / 9, 1e-6);
    EXPECT_NEAR(font->SpaceAdvance(), 6.75 / 9, 1e-9);
    // The degree sign is a ring drawn with arcs (bulges): many points on one circle.
    const StrokeGlyph* degree = font->Glyph(U'\u00B0');
    ASSERT_NE(degree, nullptr);
    ASSERT_FALSE(degree->strokes.empty());
    EXPECT_GT(degree->strokes.front().size(), 10);
    const QRectF ring = Bounds(degree->strokes);
    EXPECT_NEAR(ring.width(), ring.height(), 0.02);
    // A glyph made of another: À holds the strokes of A and its accent.
    const StrokeGlyph* aGrave = font->Glyph(U'\u00C0');
    ASSERT_NE(aGrave, nullptr);
    EXPECT_EQ(aGrave->strokes.size(), a->strokes.size() + 1);
    EXPECT_EQ(font->Glyph(U'\uE000'), nullptr);
}

TEST(StrokeFonts, HersheyFontNormalisedToCapitalHeight) {
    REQUIRE_FONT_FOLDER(kHershey);
    const auto font = StrokeFont::LoadJhf(kHershey / "rowmans.jhf");
    EXPECT_EQ(font->GlyphCount(), 96u);  // ASCII 32..126 and the degree sign
    const QRectF box = Bounds(font->Glyph(U'A')->strokes);
    EXPECT_NEAR(box.top(), 0.0, 1e-9);
    EXPECT_NEAR(box.bottom(), 1.0, 1e-9);
    EXPECT_GT(font->Glyph(U'A')->advance, box.width());
    EXPECT_TRUE(font->Has(U'\u00B0'));
    EXPECT_FALSE(font->Has(U'\u00B1'));
    EXPECT_TRUE(font->Glyph(U' ')->strokes.empty());
    EXPECT_GT(font->SpaceAdvance(), 0.3);
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
    EXPECT_THROW(StrokeFont::LoadLff(dir.filePath("absent.lff").toStdString()), FontError);
    EXPECT_THROW(StrokeFont::Load(dir.filePath("font.shx").toStdString()), FontError);
    // Unreadable parts are skipped; what can be read is kept.
    const auto font = StrokeFont::LoadLff(badHeader);
    EXPECT_EQ(font->GlyphCount(), 1u);
    EXPECT_EQ(font->Glyph(U'A')->strokes.front().size(), 2);
}

TEST(SpecialCodes, DegreePlusMinusDiameterAndCharacterCodes) {
    EXPECT_EQ(ExpandSpecialCodes("45%%d"), Utf8(U"45\u00B0"));
    EXPECT_EQ(ExpandSpecialCodes("%%P0.5 %%c20"), Utf8(U"\u00B10.5 \u00D820"));
    EXPECT_EQ(ExpandSpecialCodes("100%%%"), "100%");
    EXPECT_EQ(ExpandSpecialCodes("%%176C"), Utf8(U"\u00B0C"));
    EXPECT_EQ(ExpandSpecialCodes("%%128"), Utf8(U"\u20AC"));
    EXPECT_EQ(ExpandSpecialCodes("%%129"), "%%129");  // no character of the code page
    EXPECT_EQ(ExpandSpecialCodes("%%uunderlined%%u"), "%%uunderlined%%u");
    EXPECT_EQ(ExpandSpecialCodes("5% and %% and %%"), "5% and %% and %%");
    EXPECT_EQ(ExpandSpecialCodes("%%12x"), "%%12x");
    EXPECT_EQ(ExpandSpecialCodes(""), "");
}

TEST(Resolving, ShxFontsBecomeStrokeFontsAndAreReported) {
    REQUIRE_FONT_FOLDER(kLff);
    FontResolver resolver;
    const auto romans = resolver.Resolve("romans.shx");
    EXPECT_EQ(romans->kind(), ResolvedFont::Kind::Stroke);
    EXPECT_EQ(romans->UsedName(), "romans.lff");
    EXPECT_TRUE(Reported(resolver, "romans.shx", "romans.lff"));

    EXPECT_EQ(resolver.Resolve("txt")->UsedName(), "standard.lff");
    EXPECT_TRUE(Reported(resolver, "txt", "standard.lff"));
    EXPECT_EQ(resolver.Resolve("C:\\Fonts\\ISOCP.SHX")->UsedName(), "iso.lff");
    EXPECT_EQ(resolver.Resolve("nosuchfont.shx")->UsedName(), "simplex.lff");
    EXPECT_TRUE(Reported(resolver, "nosuchfont.shx", "simplex.lff"));
    // Asking again gives the same font and no second report.
    const std::size_t reports = resolver.Substitutions().size();
    EXPECT_EQ(resolver.Resolve("romans.shx"), romans);
    EXPECT_EQ(resolver.Substitutions().size(), reports);
    // An LFF font asked for by its own name is no substitution.
    resolver.ClearSubstitutions();
    EXPECT_EQ(resolver.Resolve("simplex.lff")->UsedName(), "simplex.lff");
    EXPECT_TRUE(resolver.Substitutions().empty());
}

TEST(Resolving, TrueTypeThroughFontconfigWithSubstitutionsReported) {
    FontResolver resolver;
    const auto arial = resolver.Resolve("arial.ttf");
    EXPECT_EQ(arial->kind(), ResolvedFont::Kind::TrueType);
    const QString family = QFontInfo(arial->Font()).family();
    EXPECT_EQ(arial->UsedName(), family.toStdString());
    if (family != "Arial") {
        EXPECT_TRUE(Reported(resolver, "arial.ttf", family.toStdString()));
    }
    if (family == "Liberation Sans") {
        EXPECT_NE(resolver.Substitutions().back().reason.find("same character widths"),
                  std::string::npos);
    }
    const auto unknown = resolver.Resolve("No Such Family Here");
    EXPECT_EQ(unknown->kind(), ResolvedFont::Kind::TrueType);
    EXPECT_TRUE(Reported(resolver, "No Such Family Here", unknown->UsedName()));
    // A family that is installed is no substitution.
    resolver.ClearSubstitutions();
    const auto dejavu = resolver.Resolve("DejaVu Sans");
    if (dejavu->UsedName() == "DejaVu Sans") {
        EXPECT_TRUE(resolver.Substitutions().empty());
    }
}

TEST(Glyphs, TrueTypeOutlinesAtCapitalHeight) {
    FontResolver resolver;
    const auto font = resolver.Resolve("DejaVu Sans");
    const GlyphShape h = font->Glyph(U'H');
    ASSERT_TRUE(h.IsOutline());
    const QRectF box = h.outline.boundingRect();
    EXPECT_NEAR(box.top(), 0.0, 0.02);
    EXPECT_NEAR(box.bottom(), 1.0, 0.02);
    EXPECT_GT(h.advance, box.right());
    EXPECT_GT(font->SpaceAdvance(), 0.1);
}

// %%d, %%p and %%c draw in every font a text style may name: from the font itself or,
// reported, from a fallback font; never as a question mark.
TEST(Glyphs, SpecialCharactersInEveryKindOfFont) {
    REQUIRE_FONT_FOLDER(kLff);
    REQUIRE_FONT_FOLDER(kHershey);
    FontResolver resolver;
    for (const char* name : {"txt", "romans.shx", "simplex", "isocp.shx", "gothice.shx",
                             "rowmans.jhf", "Arial", "times.ttf"}) {
        const auto font = resolver.Resolve(name);
        for (char32_t c : {U'\u00B0', U'\u00B1', U'\u00D8'}) {
            const GlyphShape g = font->Glyph(c);
            EXPECT_TRUE(!g.strokes.empty() || g.IsOutline())
                << name << " " << static_cast<unsigned>(c);
            EXPECT_GT(g.advance, 0.0);
        }
    }
    for (const Substitution& s : resolver.Substitutions()) {
        EXPECT_NE(s.used, "?") << s.asked;
    }
    // Hershey has no plus-minus: simplex draws it, and that is reported.
    EXPECT_TRUE(Reported(resolver, "U+00B1 in rowmans.jhf", "simplex.lff"));
    // simplex draws the diameter sign itself (as U+2300): no other font is needed.
    for (const Substitution& s : resolver.Substitutions()) {
        EXPECT_NE(s.asked, "U+00D8 in simplex.lff");
    }
}

TEST(Glyphs, ACharacterNoFontHasIsAQuestionMarkAndReported) {
    REQUIRE_FONT_FOLDER(kLff);
    FontResolver resolver;
    const auto font = resolver.Resolve("romans.shx");
    const GlyphShape missing = font->Glyph(U'\U0010FFFD');
    const GlyphShape question = font->Glyph(U'?');
    EXPECT_EQ(missing.strokes, question.strokes);
    EXPECT_TRUE(Reported(resolver, "U+10FFFD in romans.lff", "?"));
}

TEST(Resolving, WithoutStrokeFontsTrueTypeStandsInAndIsReported) {
    QTemporaryDir dir;
    FontResolver resolver(FontFolders{{dir.path().toStdString()}});
    const auto font = resolver.Resolve("romans.shx");
    EXPECT_EQ(font->kind(), ResolvedFont::Kind::TrueType);
    EXPECT_TRUE(Reported(resolver, "romans.shx", font->UsedName()));
    EXPECT_TRUE(font->Glyph(U'A').IsOutline());
}

}  // namespace
