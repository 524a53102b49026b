// Single-stroke fonts, as plotters draw the text of SHX fonts: LibreCAD's LFF fonts
// (UTF-8, hundreds of glyphs, the usual SHX names) and the Hershey fonts (.jhf, ASCII).
//
// Glyph geometry is normalised: the baseline at y = 0, y up, capital letters 1 high; the
// glyph's origin at x = 0 and its advance the distance to the next glyph's origin.
#pragma once

#include <QPolygonF>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vx::engine::fonts {

class FontError : public std::runtime_error {
public:
    explicit FontError(const std::string& description) : std::runtime_error(description) {}
};

struct StrokeGlyph {
    std::vector<QPolygonF> strokes;
    double advance = 0.0;
};

class StrokeFont {
public:
    // Throws FontError when the file cannot be read or holds no glyph.
    static std::shared_ptr<const StrokeFont> LoadLff(const std::filesystem::path& file);
    static std::shared_ptr<const StrokeFont> LoadJhf(const std::filesystem::path& file);
    // By extension (.lff or .jhf).
    static std::shared_ptr<const StrokeFont> Load(const std::filesystem::path& file);
    // A copy of `font` set at a fixed pitch, as txt.shx sets its letters: each glyph at least
    // about as wide as the font's 'x' is fitted to `inkWidth` and advances `pitch`; narrower
    // glyphs (I, l, 1, points) are widened as the 'x' is and advance by their width and the
    // same gap. A blank advances `pitch`. Widths are in capital heights.
    static std::shared_ptr<const StrokeFont> AtPitch(const StrokeFont& font, double inkWidth,
                                                     double pitch);

    // The file name ("romans.lff").
    const std::string& Name() const { return name_; }
    const std::filesystem::path& File() const { return file_; }
    // nullptr when the font has no glyph for the character.
    const StrokeGlyph* Glyph(char32_t c) const;
    bool Has(char32_t c) const { return Glyph(c) != nullptr; }
    std::size_t GlyphCount() const { return glyphs_.size(); }
    // The advance of a blank.
    double SpaceAdvance() const { return space_; }

private:
    std::string name_;
    std::filesystem::path file_;
    std::unordered_map<char32_t, StrokeGlyph> glyphs_;
    double space_ = 0.5;
};

// Points of an arc from `from` to `to` whose bulge is `bulge` (tan of a quarter of the
// included angle, positive counter-clockwise), without `from`, ending exactly at `to`.
std::vector<QPointF> BulgeArc(QPointF from, QPointF to, double bulge);

}  // namespace vx::engine::fonts
