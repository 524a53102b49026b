#include "engine/page/Media.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/Strings.h"

namespace vx::engine::page {

namespace {

// Larger than any sheet or roll length a device takes (about 100 m).
constexpr double kMaxPaperMm = 100000.0;

std::string Trimmed(std::string_view s) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '_'; };
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return std::string(s);
}

// Upper case without blanks, underscores and hyphens: "iso a4" and "ISO_A4" compare equal.
std::string Key(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c != ' ' && c != '_' && c != '-' && c != '\t') {
            out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        }
    }
    return out;
}

Media Make(std::string stem, double w, double h, PaperUnits units) {
    const double k = MmPerUnit(units);
    return {FormatMediaName(stem, w, h, units), w * k, h * k, units, {}};
}

std::vector<Media> BuildCatalogue() {
    std::vector<Media> m;
    const struct {
        const char* name;
        double w, h;
    } isoA[] = {{"A0", 841, 1189}, {"A1", 594, 841}, {"A2", 420, 594}, {"A3", 297, 420},
                {"A4", 210, 297},  {"A5", 148, 210}, {"A6", 105, 148}},
      isoB[] = {{"B0", 1000, 1414}, {"B1", 707, 1000}, {"B2", 500, 707},
                {"B3", 353, 500},   {"B4", 250, 353},  {"B5", 176, 250}},
      ansi[] = {{"A", 8.5, 11}, {"B", 11, 17}, {"C", 17, 22}, {"D", 22, 34}, {"E", 34, 44}},
      arch[] = {{"A", 9, 12},  {"B", 12, 18}, {"C", 18, 24},
                {"D", 24, 36}, {"E", 36, 48}, {"E1", 30, 42}},
      jis[] = {{"B4", 257, 364}, {"B5", 182, 257}};
    for (const auto& p : isoA) {
        m.push_back(Make(std::string("ISO_") + p.name, p.w, p.h, PaperUnits::Millimeters));
    }
    for (const auto& p : isoB) {
        m.push_back(Make(std::string("ISO_") + p.name, p.w, p.h, PaperUnits::Millimeters));
    }
    for (const auto& p : isoA) {
        if (std::string_view(p.name) != "A6") {
            m.push_back(
                Make(std::string("ISO_full_bleed_") + p.name, p.w, p.h, PaperUnits::Millimeters));
        }
    }
    for (const auto& p : ansi) {
        m.push_back(Make(std::string("ANSI_") + p.name, p.w, p.h, PaperUnits::Inches));
    }
    for (const auto& p : arch) {
        m.push_back(Make(std::string("ARCH_") + p.name, p.w, p.h, PaperUnits::Inches));
    }
    for (const auto& p : jis) {
        m.push_back(Make(std::string("JIS_") + p.name, p.w, p.h, PaperUnits::Millimeters));
    }
    m.push_back(Make("Letter", 8.5, 11, PaperUnits::Inches));
    m.push_back(Make("Legal", 8.5, 14, PaperUnits::Inches));
    return m;
}

// The stem of a canonical name: "ISO_A4" of "ISO_A4_(210.00_x_297.00_MM)".
std::string StemOf(std::string_view name) {
    const auto open = name.rfind('(');
    return Trimmed(open == std::string_view::npos ? name : name.substr(0, open));
}

bool ReadNumber(std::string_view& s, double& value) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end == s.data()) {
        return false;
    }
    s.remove_prefix(static_cast<std::size_t>(end - s.data()));
    return std::isfinite(value);
}

// "210.00 x 297.00 MM" (underscores already blanks); the unit may follow the number
// directly ("200.00MM").
std::optional<Media> ParseSize(std::string_view inside) {
    double w = 0;
    double h = 0;
    if (!ReadNumber(inside, w)) {
        return std::nullopt;
    }
    while (!inside.empty() && inside.front() == ' ') {
        inside.remove_prefix(1);
    }
    if (inside.empty() || (inside.front() != 'x' && inside.front() != 'X')) {
        return std::nullopt;
    }
    inside.remove_prefix(1);
    if (!ReadNumber(inside, h)) {
        return std::nullopt;
    }
    const std::string unit = Upper(Trimmed(inside));
    PaperUnits units;
    if (unit == "MM" || unit == "MILLIMETERS" || unit == "MILLIMETRES") {
        units = PaperUnits::Millimeters;
    } else if (unit == "INCHES" || unit == "INCH" || unit == "IN" || unit == "\"") {
        units = PaperUnits::Inches;
    } else {
        return std::nullopt;
    }
    const double k = MmPerUnit(units);
    if (!(w > 0 && h > 0 && w * k <= kMaxPaperMm && h * k <= kMaxPaperMm)) {
        return std::nullopt;
    }
    return Media{{}, w * k, h * k, units, {}};
}

}  // namespace

std::string FormatMediaName(std::string_view stem, double width, double height, PaperUnits units) {
    char size[96];
    std::snprintf(size, sizeof size, "_(%.2f_x_%.2f_%s)", width, height,
                  units == PaperUnits::Inches ? "Inches" : "MM");
    std::string name = CanonicalFromLocale(stem);
    name += size;
    return name;
}

std::string LocaleMediaName(std::string_view canonicalName) {
    std::string out(canonicalName);
    std::replace(out.begin(), out.end(), '_', ' ');
    return out;
}

std::string CanonicalFromLocale(std::string_view localeName) {
    std::string out(localeName);
    std::replace(out.begin(), out.end(), ' ', '_');
    return out;
}

const std::vector<Media>& StandardMedia() {
    static const std::vector<Media> catalogue = BuildCatalogue();
    return catalogue;
}

std::optional<Media> ParseMediaName(std::string_view name) {
    std::string text = Trimmed(name);
    if (text.empty()) {
        return std::nullopt;
    }
    const auto open = text.rfind('(');
    if (open != std::string::npos && text.back() == ')') {
        std::string inside = text.substr(open + 1, text.size() - open - 2);
        std::replace(inside.begin(), inside.end(), '_', ' ');
        auto media = ParseSize(inside);
        if (!media) {
            return std::nullopt;
        }
        media->canonicalName = CanonicalFromLocale(text);
        return media;
    }
    const std::string key = Key(text);
    for (const Media& m : StandardMedia()) {
        const std::string stem = Key(StemOf(m.canonicalName));
        // "A4" stands for the ISO paper, "B4" for the ISO B4 (JIS papers need their prefix).
        const bool isoShort = stem.rfind("ISO", 0) == 0 &&
                              stem.find("FULLBLEED") == std::string::npos && key == stem.substr(3);
        if (key == stem || isoShort || (key == "TABLOID" && stem == "ANSIB")) {
            return m;
        }
    }
    return std::nullopt;
}

Media Rotated(const Media& media) {
    Media out = media;
    std::swap(out.widthMm, out.heightMm);
    out.margins = {media.margins.top, media.margins.left, media.margins.bottom,
                   media.margins.right};
    const double k = MmPerUnit(media.units);
    out.canonicalName = FormatMediaName(StemOf(media.canonicalName), out.widthMm / k,
                                        out.heightMm / k, media.units);
    return out;
}

}  // namespace vx::engine::page
