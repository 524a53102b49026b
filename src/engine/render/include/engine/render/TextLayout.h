// Text layout: TEXT (one line, its alignments, width factor, oblique angle, backwards and
// upside down) and MTEXT (paragraphs, wrapping at the reference width, inline heights,
// fonts, colours, stacked fractions, underline and overline) turned into glyphs placed in
// the entity's plane.
//
// Glyphs come from the font resolver (baseline at 0, capital height 1); the layout places
// each with an affine map into the entity's plane coordinates. The frontend maps those to
// paper and draws stroke glyphs as polylines and outline glyphs as filled paths.
#pragma once

#include <QPointF>
#include <QTransform>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/db/Database.h"
#include "engine/fonts/FontResolver.h"

namespace vx::engine::render {

// A glyph with the extent of its ink (glyph units).
struct CachedGlyph {
    fonts::GlyphShape shape;
    double inkLeft = 0, inkRight = 0, inkBottom = 0, inkTop = 0;
    bool hasInk = false;
};

// The text style a text is drawn in: its own, or the drawing's "Standard" style when it
// names none (or one the drawing lacks); null when the drawing has neither.
const db::TextStyle* TextStyleOf(const db::Database& d, db::StyleId style);

// Fonts and glyphs of one rendering: each font resolved once, each glyph asked once.
class GlyphCache {
public:
    explicit GlyphCache(fonts::FontResolver* resolver) : resolver_(resolver) {}
    bool HasFonts() const { return resolver_ != nullptr; }
    // The font of a text style (its font file, or the family a TrueType style names, with
    // its big font), of TextStyleOf's style.
    const fonts::ResolvedFont* StyleFont(const db::Database& d, db::StyleId style);
    const fonts::ResolvedFont* FontNamed(std::string_view name, std::string_view bigFont = {});
    const CachedGlyph& Glyph(const fonts::ResolvedFont* font, char32_t c);
    // How far the font's descenders reach below the baseline (positive, capital heights).
    double Descent(const fonts::ResolvedFont* font);
    // The fonts asked for so far (names as asked, big fonts too) and the fonts used for
    // them.
    std::vector<std::string> AskedNames() const;
    std::vector<std::string> UsedNames() const;

private:
    fonts::FontResolver* resolver_;
    std::unordered_map<std::string, const fonts::ResolvedFont*> byName_;
    std::unordered_map<const void*, const fonts::ResolvedFont*> byStyle_;
    std::unordered_map<const fonts::ResolvedFont*, double> descent_;
    struct GlyphKey {
        const fonts::ResolvedFont* font;
        char32_t c;
        friend bool operator==(const GlyphKey&, const GlyphKey&) = default;
    };
    struct GlyphKeyHash {
        std::size_t operator()(const GlyphKey& k) const {
            return std::hash<const void*>()(k.font) * 31 + k.c;
        }
    };
    std::unordered_map<GlyphKey, std::unique_ptr<CachedGlyph>, GlyphKeyHash> glyphs_;
    std::vector<std::shared_ptr<const fonts::ResolvedFont>> keep_;
};

// The laid-out text, in the entity's plane (OCS for TEXT, the text's own frame for MTEXT
// with x along its direction).
struct PlacedGlyph {
    const CachedGlyph* glyph = nullptr;
    QTransform toPlane;  // glyph units -> plane
    int color = -1;      // index into TextLayout::colors, -1 = the entity's colour
};
struct PlacedLine {
    QPointF a, b;
    int color = -1;
};
struct TextLayout {
    std::vector<PlacedGlyph> glyphs;
    std::vector<PlacedLine> lines;  // underlines, overlines, fraction bars
    std::vector<db::Color> colors;
    void Clear() {
        glyphs.clear();
        lines.clear();
        colors.clear();
    }
};

// Decodes UTF-8 (invalid bytes become U+FFFD).
std::u32string DecodeUtf8(std::string_view text);

// Lays out a TEXT, ATTRIB or ATTDEF: `text.text` with %%d, %%p, %%c, %%u, %%o drawn.
// `defaultHeight` stands in for a height of 0 (the style's fixed height wins over both).
void LayoutText(const db::Text& text, const db::TextStyle* style, const fonts::ResolvedFont* font,
                double defaultHeight, GlyphCache& cache, TextLayout& out);

// Lays out an MTEXT in its own frame: x along the text direction, y up, the insertion
// point at the origin (the attachment point already applied).
void LayoutMText(const db::MText& mtext, const db::TextStyle* style,
                 const fonts::ResolvedFont* font, GlyphCache& cache, TextLayout& out);

}  // namespace vx::engine::render
