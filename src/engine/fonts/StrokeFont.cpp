#include "engine/fonts/StrokeFont.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <functional>
#include <numbers>
#include <sstream>

#include "engine/geom/Curves.h"

namespace vx::engine::fonts {

namespace {

constexpr std::size_t kMaxFontBytes = 64u << 20;
// LFF fonts draw capital letters 9 units high.
constexpr double kLffCapHeight = 9.0;
// Segments per full circle when arcs become polylines.
constexpr double kArcSegmentsPerTurn = 48.0;

std::string ReadFile(const std::filesystem::path& file) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxFontBytes) {
        throw FontError("The font \"" + file.string() + "\" cannot be read.");
    }
    std::ifstream in(file, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in || !in.read(text.data(), static_cast<std::streamsize>(text.size()))) {
        throw FontError("The font \"" + file.string() + "\" cannot be read.");
    }
    return text;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        std::string_view line = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return lines;
}

bool Number(std::string_view s, double& v) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    if (s.empty()) {
        return false;
    }
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && end == s.data() + s.size() && std::isfinite(v);
}

std::vector<std::string_view> Split(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = s.find(sep, start);
        parts.push_back(
            s.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) {
            return parts;
        }
        start = at + 1;
    }
}

double MaxX(const std::vector<QPolygonF>& strokes) {
    double m = 0;
    for (const QPolygonF& s : strokes) {
        for (QPointF p : s) {
            m = std::max(m, p.x());
        }
    }
    return m;
}

}  // namespace

std::vector<QPointF> BulgeArc(QPointF from, QPointF to, double bulge) {
    geom::BulgeArc arc;
    if (std::abs(bulge) < 1e-9 ||
        !geom::BulgeGeometry(from.x(), from.y(), to.x(), to.y(), bulge, arc)) {
        return {to};
    }
    const double theta = arc.sweep, radius = arc.radius, start = arc.start;
    const QPointF centre(arc.cx, arc.cy);
    const int n = std::max(2, static_cast<int>(std::ceil(std::abs(theta) / (2 * std::numbers::pi) *
                                                         kArcSegmentsPerTurn)));
    std::vector<QPointF> points;
    for (int i = 1; i < n; ++i) {
        const double a = start + theta * i / n;
        points.emplace_back(centre.x() + radius * std::cos(a), centre.y() + radius * std::sin(a));
    }
    points.push_back(to);
    return points;
}

std::shared_ptr<const StrokeFont> StrokeFont::LoadLff(const std::filesystem::path& file) {
    const std::string text = ReadFile(file);
    auto font = std::make_shared<StrokeFont>();
    font->file_ = file;
    font->name_ = file.filename().string();
    double letterSpacing = 3.0;
    double wordSpacing = 6.75;
    struct Raw {
        std::vector<QPolygonF> strokes;
        std::vector<char32_t> references;
    };
    std::unordered_map<char32_t, Raw> raw;
    Raw* current = nullptr;
    for (std::string_view line : Lines(text)) {
        if (line.empty()) {
            current = nullptr;
            continue;
        }
        if (line.front() == '#') {
            const auto colon = line.find(':');
            if (colon != std::string_view::npos) {
                const std::string_view key = line.substr(1, colon - 1);
                double v = 0;
                if (key.find("LetterSpacing") != std::string_view::npos &&
                    Number(line.substr(colon + 1), v)) {
                    letterSpacing = v;
                } else if (key.find("WordSpacing") != std::string_view::npos &&
                           Number(line.substr(colon + 1), v)) {
                    wordSpacing = v;
                }
            }
            continue;
        }
        if (line.front() == '[') {
            const auto close = line.find(']');
            unsigned code = 0;
            if (close == std::string_view::npos ||
                std::from_chars(line.data() + 1, line.data() + close, code, 16).ptr !=
                    line.data() + close) {
                current = nullptr;  // a header we do not understand: skip its glyph
                continue;
            }
            current = &raw[static_cast<char32_t>(code)];
            continue;
        }
        if (!current) {
            continue;
        }
        if (line.front() == 'C') {
            unsigned code = 0;
            if (std::from_chars(line.data() + 1, line.data() + line.size(), code, 16).ec ==
                std::errc()) {
                current->references.push_back(static_cast<char32_t>(code));
            }
            continue;
        }
        QPolygonF stroke;
        for (std::string_view point : Split(line, ';')) {
            const std::vector<std::string_view> fields = Split(point, ',');
            double x = 0;
            double y = 0;
            if (fields.size() < 2 || !Number(fields[0], x) || !Number(fields[1], y)) {
                continue;
            }
            const QPointF p(x / kLffCapHeight, y / kLffCapHeight);
            double bulge = 0;
            if (fields.size() >= 3 && !fields[2].empty() && fields[2].front() == 'A' &&
                Number(fields[2].substr(1), bulge) && !stroke.isEmpty()) {
                for (QPointF q : BulgeArc(stroke.back(), p, bulge)) {
                    stroke << q;
                }
            } else {
                stroke << p;
            }
        }
        if (!stroke.isEmpty()) {
            current->strokes.push_back(stroke);
        }
    }
    // Glyphs made of others ("C0041": the strokes of A), resolved to any depth.
    std::function<void(char32_t, std::vector<QPolygonF>&, int)> collect =
        [&](char32_t code, std::vector<QPolygonF>& out, int depth) {
            const auto it = raw.find(code);
            if (it == raw.end() || depth > 8) {
                return;
            }
            out.insert(out.end(), it->second.strokes.begin(), it->second.strokes.end());
            for (char32_t ref : it->second.references) {
                collect(ref, out, depth + 1);
            }
        };
    for (const auto& [code, r] : raw) {
        StrokeGlyph g;
        collect(code, g.strokes, 0);
        if (g.strokes.empty() && code != U' ') {
            continue;
        }
        g.advance = g.strokes.empty() ? wordSpacing / kLffCapHeight
                                      : MaxX(g.strokes) + letterSpacing / kLffCapHeight;
        font->glyphs_.emplace(code, std::move(g));
    }
    font->space_ = wordSpacing / kLffCapHeight;
    if (font->glyphs_.empty()) {
        throw FontError("The font \"" + file.string() + "\" holds no glyph.");
    }
    return font;
}

std::shared_ptr<const StrokeFont> StrokeFont::LoadJhf(const std::filesystem::path& file) {
    const std::string text = ReadFile(file);
    struct Raw {
        int left = 0;
        int right = 0;
        std::vector<std::vector<std::pair<int, int>>> strokes;
    };
    std::vector<Raw> glyphs;
    const std::vector<std::string_view> lines = Lines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (line.size() < 10) {
            continue;
        }
        int count = 0;
        std::string_view countField = line.substr(5, 3);
        while (!countField.empty() && countField.front() == ' ') {
            countField.remove_prefix(1);
        }
        if (std::from_chars(countField.data(), countField.data() + countField.size(), count).ec !=
                std::errc() ||
            count < 1) {
            continue;
        }
        // The pairs may run on over following lines.
        std::string data(line.substr(8));
        while (data.size() < static_cast<std::size_t>(2 * count) && i + 1 < lines.size()) {
            data += lines[++i];
        }
        if (data.size() < static_cast<std::size_t>(2 * count)) {
            break;
        }
        Raw g;
        g.left = data[0] - 'R';
        g.right = data[1] - 'R';
        g.strokes.emplace_back();
        for (int k = 1; k < count; ++k) {
            const char a = data[static_cast<std::size_t>(2 * k)];
            const char b = data[static_cast<std::size_t>(2 * k + 1)];
            if (a == ' ' && b == 'R') {
                g.strokes.emplace_back();
            } else {
                g.strokes.back().emplace_back(a - 'R', b - 'R');
            }
        }
        glyphs.push_back(std::move(g));
    }
    if (glyphs.empty()) {
        throw FontError("The font \"" + file.string() + "\" holds no glyph.");
    }
    // Baseline and capital height from the letter A (line 33: codes run from the blank).
    double baseline = 9;
    double capHeight = 21;
    if (glyphs.size() > 'A' - 32) {
        int top = 1000;
        int bottom = -1000;
        for (const auto& s : glyphs['A' - 32].strokes) {
            for (const auto& [x, y] : s) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
        if (bottom > top) {
            baseline = bottom;
            capHeight = bottom - top;
        }
    }
    auto font = std::make_shared<StrokeFont>();
    font->file_ = file;
    font->name_ = file.filename().string();
    const std::string stem = file.stem().string();
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        char32_t code = static_cast<char32_t>(32 + i);
        // The Roman fonts keep the degree sign in the last slot.
        if (code == 127 && stem.rfind("rowman", 0) == 0) {
            code = U'\u00B0';
        }
        StrokeGlyph g;
        for (const auto& s : glyphs[i].strokes) {
            QPolygonF stroke;
            for (const auto& [x, y] : s) {
                stroke << QPointF((x - glyphs[i].left) / capHeight, (baseline - y) / capHeight);
            }
            if (!stroke.isEmpty()) {
                g.strokes.push_back(stroke);
            }
        }
        g.advance = (glyphs[i].right - glyphs[i].left) / capHeight;
        if (code == U' ') {
            font->space_ = g.advance;
        }
        font->glyphs_.emplace(code, std::move(g));
    }
    return font;
}

std::shared_ptr<const StrokeFont> StrokeFont::Load(const std::filesystem::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".lff") {
        return LoadLff(file);
    }
    if (ext == ".jhf") {
        return LoadJhf(file);
    }
    throw FontError("\"" + file.string() + "\" is no stroke font (.lff or .jhf).");
}

std::shared_ptr<const StrokeFont> StrokeFont::AtPitch(const StrokeFont& font, double inkWidth,
                                                      double pitch) {
    auto out = std::make_shared<StrokeFont>(font);
    const StrokeGlyph* x = font.Glyph(U'x');
    const double xWidth = x && !x->strokes.empty() ? MaxX(x->strokes) : 0.0;
    const double regular = xWidth > 0 ? xWidth : inkWidth;
    for (auto& [code, g] : out->glyphs_) {
        if (g.strokes.empty()) {
            g.advance = pitch;
            continue;
        }
        const double width = MaxX(g.strokes);
        // Glyphs down to three quarters of the 'x' (c, r, t, 0) take the full width.
        const double scale = width >= 0.75 * regular ? inkWidth / width : inkWidth / regular;
        for (QPolygonF& stroke : g.strokes) {
            for (QPointF& p : stroke) {
                p.setX(p.x() * scale);
            }
        }
        g.advance = std::max(0.0, width * scale) + (pitch - inkWidth);
    }
    out->space_ = pitch;
    return out;
}

const StrokeGlyph* StrokeFont::Glyph(char32_t c) const {
    const auto it = glyphs_.find(c);
    return it == glyphs_.end() ? nullptr : &it->second;
}

}  // namespace vx::engine::fonts
