// Fonts for plotted text: from the font a text style names to the glyph geometry the
// frontend places on paper.
//
// - SHX fonts ("romans.shx", "txt", "simplex") are drawn with single-stroke fonts read at
//   run time: LibreCAD's LFF fonts by the same or a similar name, else the Hershey fonts.
//   txt and monotxt, drawn with the proportional standard.lff, are set at txt's pitch.
// - TrueType fonts ("arial.ttf", "Arial", "Times New Roman") come through Qt and
//   fontconfig; when fontconfig gives another family than the one asked for, that is a
//   substitution too.
// - A style's big font (the SHX font of its Chinese, Japanese or Korean characters:
//   "gbcbig.shx", "chineset.shx", "bigfont.shx", "whgtxt.shx") is drawn with an installed
//   CJK TrueType face of its language.
// - A glyph the chosen font lacks is taken from a fallback font: East Asian characters
//   from the big font's face, else a CJK face of their script; the others from simplex.lff,
//   then unicode.lff for stroke fonts, DejaVu Sans for TrueType fonts; at last any font
//   installed that has it, as Qt's font fallback (fontconfig on Linux) finds one. Only a
//   character no installed font has is drawn as '?'.
// Every substitution is reported, each once: what was asked for and what is used (glyph
// fallbacks name a few characters each, then how many more).
//
// Glyph geometry: baseline at y = 0, y up, capital letters 1 high, the origin at x = 0, the
// advance to the next glyph's origin. Text layout (lines, alignment, MTEXT) is the
// frontend's; it scales glyphs by the text height.
#pragma once

#include <QFont>
#include <QPainterPath>
#include <QRawFont>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/fonts/StrokeFont.h"
#include "engine/geom/Path.h"

namespace vx::engine::fonts {

struct Substitution {
    std::string asked;   // "romans.shx", "Arial", "U+2300 in romans.lff"
    std::string used;    // "romans.lff", "Liberation Sans", "simplex.lff"
    std::string reason;  // a sentence for the user
    friend bool operator==(const Substitution&, const Substitution&) = default;
};

// A TrueType glyph as it is filled: its outline in glyph units (baseline y = 0, capital
// height 1, y up), the exact box of its ink (curves by their extremes; empty for none) and
// its advance.
struct OutlineGlyph {
    geom::Path outline;
    geom::Rect ink;
    double advance = 0.0;
};

struct GlyphShape {
    // Stroke fonts: polylines drawn with the pen. TrueType fonts: a filled outline, shared
    // with the face that made it (placing it maps its points; nothing is copied).
    std::vector<QPolygonF> strokes;
    std::shared_ptr<const OutlineGlyph> outline;
    double advance = 0.0;
    // The font that drew it ("romans.lff", "WenQuanYi Micro Hei"); "?" when no font has the
    // character and a question mark stands in.
    std::string font;
    bool IsOutline() const { return outline && !outline->outline.Empty(); }
};

class FontResolver;
struct FontStore;

// The substitutions of a resolver, shared with the fonts it made (they report glyphs taken
// from fallback fonts as they are drawn).
class SubstitutionLog {
public:
    void Add(Substitution s);
    // A character of `font` drawn with `used`: the first few are named one by one
    // ("U+4E2D in romans.lff"), the rest counted in one more item ("37 more characters in
    // romans.lff"), so that a drawing in another script does not bury the report.
    void AddCharacter(char32_t c, const std::string& font, const std::string& used,
                      const std::string& reason);
    const std::vector<Substitution>& Items() const { return items_; }
    void Clear();

private:
    struct Pair {
        std::set<char32_t> seen;
        std::size_t more = 0;      // characters past the named ones
        std::size_t moreItem = 0;  // index in items_ of their count, once there is one
    };
    std::vector<Substitution> items_;
    std::map<std::pair<std::string, std::string>, Pair> characters_;
};

// A TrueType face at the size glyph outlines are taken at, with the map to glyph units.
struct OutlineFace {
    QRawFont raw;
    std::string family;
    double scale = 1.0;  // pixels to glyph units
    double rise = 0.0;   // glyph units the outline is raised by
    // The glyphs made so far by glyph index, each made once; all are dropped when they hold
    // more than kMaxGlyphBytes (those in use live on in their GlyphShapes).
    static constexpr std::size_t kMaxGlyphBytes = 8u << 20;
    mutable std::unordered_map<quint32, std::shared_ptr<const OutlineGlyph>> glyphs;
    mutable std::size_t glyphBytes = 0;
};

// The language of East Asian text a CJK face is chosen for.
enum class CjkLanguage { SimplifiedChinese, TraditionalChinese, Japanese, Korean };

// The language of a big font by its name ("gbcbig.shx", "C:\Fonts\WHGTXT"); none for a
// name that is no known big font.
std::optional<CjkLanguage> BigFontLanguage(std::string_view bigFont);
// Whether the character belongs to an East Asian script (Han, kana, Hangul, their
// punctuation and full-width forms): the characters a big font draws.
bool IsEastAsian(char32_t c);

// A font as resolved for one text style, with its fallbacks.
class ResolvedFont {
public:
    enum class Kind { Stroke, TrueType };
    Kind kind() const { return kind_; }
    // What is used: "romans.lff" or the TrueType family.
    const std::string& UsedName() const { return used_; }
    const QFont& Font() const { return font_; }

    // The glyph of a character (from a fallback font when needed, reported to the
    // resolver that made this font).
    GlyphShape Glyph(char32_t c) const;
    double SpaceAdvance() const;
    // The style's big font as asked for ("gbcbig.shx"); empty when it has none.
    const std::string& BigFont() const { return bigFont_; }

private:
    friend class FontResolver;
    std::optional<GlyphShape> FromStroke(std::size_t font, char32_t c) const;
    // From the big font's face, then the CJK face of the character's script.
    std::optional<GlyphShape> FromCjk(char32_t c) const;
    // Reads the next pending fallback font into `strokes_`; false when none is left.
    bool ReadNextFallback() const;
    // The name substitutions of a character are reported under.
    const std::string& PrimaryName() const;

    Kind kind_ = Kind::Stroke;
    std::string used_;
    // Primary first; fallback fonts are loaded when a glyph is first missing from all the
    // fonts loaded so far (a large fallback such as unicode.lff is read only when needed).
    mutable std::vector<std::shared_ptr<const StrokeFont>> strokes_;
    std::size_t ownStrokes_ = 0;  // the style's own fonts, before any fallback
    mutable std::vector<std::string> pendingFallbacks_;
    std::shared_ptr<FontStore> store_;
    std::vector<std::shared_ptr<const OutlineFace>> trueType_;  // primary first
    std::string bigFont_;
    QFont font_;
    std::shared_ptr<SubstitutionLog> log_;
};

struct FontFolders {
    // Searched in order for <name>.lff and then <name>.jhf.
    std::vector<std::filesystem::path> stroke;
};

// The "fonts" folders of the program's data and of the user, LibreCAD's fonts and the
// Hershey fonts of the Debian packages.
FontFolders DefaultFontFolders();

class FontResolver {
public:
    explicit FontResolver(FontFolders folders = DefaultFontFolders());

    // The font for a text style's font file or family name and its big font (empty for
    // none). Never fails: a font that cannot be found is substituted (and reported).
    std::shared_ptr<const ResolvedFont> Resolve(std::string_view fontName,
                                                std::string_view bigFont = {});

    // Every substitution so far, each once, in the order they happened (glyph fallbacks
    // as the glyphs are asked for).
    const std::vector<Substitution>& Substitutions() const { return log_->Items(); }
    void ClearSubstitutions() { log_->Clear(); }

    // Loads a stroke font by name (without extension) from the folders; nullptr if none.
    std::shared_ptr<const StrokeFont> StrokeFontNamed(std::string_view name);

private:
    std::shared_ptr<const ResolvedFont> ResolveStroke(const std::string& asked,
                                                      const std::string& base);
    std::shared_ptr<const ResolvedFont> ResolveTrueType(const std::string& asked,
                                                        const std::string& family, bool bold,
                                                        bool italic);

    std::shared_ptr<FontStore> store_;
    std::map<std::string, std::shared_ptr<const ResolvedFont>> resolved_;
    // The substitutions each resolved font was logged with, logged again at each use.
    std::map<std::string, std::vector<Substitution>> resolvedSubstitutions_;
    std::shared_ptr<SubstitutionLog> log_ = std::make_shared<SubstitutionLog>();
};

// The text of a drawing with its control codes for special characters drawn: %%d -> °,
// %%p -> ±, %%c -> Ø, %%% -> %, %%nnn -> the character nnn of the Windows Latin-1 code
// page (letter case of the codes ignored). Other codes (%%u, %%o: underline, overline) are left for
// the layout.
std::string ExpandSpecialCodes(std::string_view text);

}  // namespace vx::engine::fonts
