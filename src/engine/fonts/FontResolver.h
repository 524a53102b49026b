// Fonts for plotted text: from the font a text style names to the glyph geometry the
// frontend places on paper.
//
// - SHX fonts ("romans.shx", "txt", "simplex") are drawn with single-stroke fonts read at
//   run time: LibreCAD's LFF fonts by the same or a similar name, else the Hershey fonts.
// - TrueType fonts ("arial.ttf", "Arial", "Times New Roman") come through Qt and
//   fontconfig; when fontconfig gives another family than the one asked for, that is a
//   substitution too.
// - A glyph the chosen font lacks is taken from a fallback font (simplex.lff, then
//   unicode.lff for stroke fonts; DejaVu Sans for TrueType fonts); a glyph no font has is
//   drawn as '?'.
// Every substitution is reported, each once: what was asked for and what is used.
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
#include <string>
#include <string_view>
#include <vector>

#include "engine/fonts/StrokeFont.h"

namespace vx::engine::fonts {

struct Substitution {
    std::string asked;   // "romans.shx", "Arial", "U+2300 in romans.lff"
    std::string used;    // "romans.lff", "Liberation Sans", "simplex.lff"
    std::string reason;  // a sentence for the user
    friend bool operator==(const Substitution&, const Substitution&) = default;
};

struct GlyphShape {
    // Stroke fonts: polylines drawn with the pen. TrueType fonts: a filled outline.
    std::vector<QPolygonF> strokes;
    QPainterPath outline;
    double advance = 0.0;
    bool IsOutline() const { return !outline.isEmpty(); }
};

class FontResolver;
struct StrokeStore;

// The substitutions of a resolver, shared with the fonts it made (they report glyphs taken
// from fallback fonts as they are drawn).
class SubstitutionLog {
public:
    void Add(Substitution s);
    const std::vector<Substitution>& Items() const { return items_; }
    void Clear() { items_.clear(); }

private:
    std::vector<Substitution> items_;
};

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

private:
    friend class FontResolver;
    struct TrueTypeFace {
        QRawFont raw;
        std::string family;
        double scale = 1.0;  // to capital height 1
    };
    std::optional<GlyphShape> FromTrueType(const TrueTypeFace& face, char32_t c) const;
    // Reads the next pending fallback font into `strokes_`; false when none is left.
    bool ReadNextFallback() const;

    Kind kind_ = Kind::Stroke;
    std::string used_;
    // Primary first; fallback fonts are loaded when a glyph is first missing from all the
    // fonts loaded so far (a large fallback such as unicode.lff is read only when needed).
    mutable std::vector<std::shared_ptr<const StrokeFont>> strokes_;
    mutable std::vector<std::string> pendingFallbacks_;
    std::shared_ptr<StrokeStore> store_;
    std::vector<TrueTypeFace> trueType_;  // primary first
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

    // The font for a text style's font file or family name. Never fails: a font that
    // cannot be found is substituted (and reported).
    std::shared_ptr<const ResolvedFont> Resolve(std::string_view fontName);

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

    std::shared_ptr<StrokeStore> store_;
    std::map<std::string, std::shared_ptr<const ResolvedFont>> resolved_;
    std::shared_ptr<SubstitutionLog> log_ = std::make_shared<SubstitutionLog>();
};

// The text of a drawing with its control codes for special characters drawn: %%d -> °,
// %%p -> ±, %%c -> Ø, %%% -> %, %%nnn -> the character nnn of the Windows Latin-1 code
// page (letter case of the codes ignored). Other codes (%%u, %%o: underline, overline) are left for
// the layout.
std::string ExpandSpecialCodes(std::string_view text);

}  // namespace vx::engine::fonts
