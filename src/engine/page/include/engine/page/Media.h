// Paper sizes and their names.
//
// Plot devices name their papers in the field's canonical form: a stem, then the size in
// brackets with two decimals and the unit the paper is defined in, words joined by
// underscores:
//
//     ISO_A4_(210.00_x_297.00_MM)    ANSI_B_(11.00_x_17.00_Inches)
//     ISO_full_bleed_A4_(210.00_x_297.00_MM)    ISO_A4_(297.00_x_210.00_MM)  (landscape feed)
//
// The display (locale) form is the same text with blanks for underscores:
// "ISO A4 (210.00 x 297.00 MM)". Width is the paper's extent across the feed, height
// along it, as the device takes the sheet; a name with width > height is a landscape feed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/page/PageGeometry.h"

namespace vx::engine::page {

enum class PaperUnits { Millimeters, Inches };

inline constexpr double kMmPerInch = 25.4;

// Millimetres per paper unit.
inline double MmPerUnit(PaperUnits units) {
    return units == PaperUnits::Inches ? kMmPerInch : 1.0;
}

// The borders of a sheet that the device cannot print on, in millimetres.
struct Margins {
    double left = 0.0;
    double bottom = 0.0;
    double right = 0.0;
    double top = 0.0;
    friend bool operator==(const Margins&, const Margins&) = default;
};

struct Media {
    std::string canonicalName;
    double widthMm = 0.0;
    double heightMm = 0.0;
    // The unit the paper is defined in (and its name written in).
    PaperUnits units = PaperUnits::Millimeters;
    Margins margins;

    // The part of the sheet the device can print on, in paper millimetres with the origin
    // at the lower-left corner of the sheet.
    Rect PrintableArea() const {
        return {margins.left, margins.bottom, widthMm - margins.right, heightMm - margins.top};
    }
    bool IsLandscape() const { return widthMm > heightMm; }
};

// "ISO_A4" + 210 x 297 mm -> "ISO_A4_(210.00_x_297.00_MM)". Width and height are given in
// `units`.
std::string FormatMediaName(std::string_view stem, double width, double height, PaperUnits units);

// The display form of a canonical name: underscores become blanks.
std::string LocaleMediaName(std::string_view canonicalName);

// The canonical form of a display name: blanks become underscores.
std::string CanonicalFromLocale(std::string_view localeName);

// Reads a paper name as devices and drawings store it: a canonical or display name with
// its size in brackets (any stem, units MM/Millimeters/Inches/in), or a short name of a
// standard paper ("A4", "ISO A3", "Letter", "ANSI D", "ARCH E1", "JIS B4"; letter case and
// blanks or underscores do not matter). Short names give the standard paper's canonical
// name; sized names keep their own name in canonical form. nullopt when the name gives no
// usable size.
std::optional<Media> ParseMediaName(std::string_view name);

// The standard papers in portrait feed: ISO A0-A6 and B0-B5, their full-bleed variants of
// A0-A5, ANSI A-E, ARCH A-E1, JIS B4/B5, Letter and Legal.
const std::vector<Media>& StandardMedia();

// The same paper fed the other way round (the sheet turned a quarter counter-clockwise, so
// its left margin becomes the bottom one), named accordingly.
Media Rotated(const Media& media);

}  // namespace vx::engine::page
