#include "engine/render/Kinds.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_set>
#include <vector>

namespace vx::engine::render {

namespace {

constexpr double kPi = 3.14159265358979323846;

using geom::Vec2;
using Strokes = std::vector<std::vector<Vec2>>;

std::vector<Vec2> ArcPoints(Vec2 c, double r, double fromDeg, double toDeg) {
    std::vector<Vec2> pts;
    const int n = std::max(4, static_cast<int>(std::abs(toDeg - fromDeg) / 360 * 32));
    for (int i = 0; i <= n; ++i) {
        const double a = (fromDeg + (toDeg - fromDeg) * i / n) * kPi / 180;
        pts.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
    return pts;
}

std::vector<Vec2> Circle(double r) {
    return ArcPoints({0.5, 0.5}, r, 0, 360);
}

// The letters inside the circled modifiers.
Strokes Circled(std::vector<Vec2> letter) {
    return {Circle(0.55), std::move(letter)};
}

char Lower(char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

bool IsGdtFont(std::string_view name) {
    std::string n;
    for (char c : name) {
        n += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    if (n.size() > 4 && n.substr(n.size() - 4) == ".shx") {
        n.resize(n.size() - 4);
    }
    return n == "gdt" || n == "amgdt";
}

// One box split into text and symbols; the font switches to gdt are dropped, other
// switches kept.
ToleranceBox TranslateBox(std::string_view s) {
    ToleranceBox out;
    const auto text = [&]() -> std::string& {
        if (out.empty() || out.back().symbol != 0) {
            out.emplace_back();
        }
        return out.back().text;
    };
    // Each open brace: the gdt state outside it, and whether it only switches to gdt (such
    // braces are dropped with the switch).
    std::vector<std::pair<bool, bool>> stack;
    bool gdt = false;
    const auto gdtSwitchAt = [&](std::size_t i) {
        if (i + 1 >= s.size() || s[i] != '\\' || (s[i + 1] != 'F' && s[i + 1] != 'f')) {
            return false;
        }
        const std::string_view spec = s.substr(i + 2, s.find(';', i + 2) - (i + 2));
        return IsGdtFont(spec.substr(0, spec.find('|')));
    };
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '{') {
            const bool drop = gdtSwitchAt(i + 1);
            stack.emplace_back(gdt, drop);
            if (!drop) {
                text() += c;
            }
            continue;
        }
        if (c == '}') {
            if (!stack.empty()) {
                gdt = stack.back().first;
                if (!stack.back().second) {
                    text() += c;
                }
                stack.pop_back();
            }
            continue;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == 'F' || s[i + 1] == 'f')) {
            const std::size_t end = s.find(';', i + 2);
            gdt = gdtSwitchAt(i);
            if (!gdt) {
                text() += s.substr(i, end == std::string_view::npos ? end : end - i + 1);
            }
            if (end == std::string_view::npos) {
                break;
            }
            i = end;
            continue;
        }
        if (c == '\\' && i + 1 < s.size()) {
            text() += s.substr(i, 2);
            ++i;
        } else if (gdt && !GdtSymbolStrokes(c).empty()) {
            out.push_back({{}, Lower(c)});
        } else {
            text() += c;
        }
    }
    return out;
}

std::vector<std::string_view> Split(std::string_view s,
                                    std::initializer_list<std::string_view> seps) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size();) {
        bool hit = false;
        for (std::string_view sep : seps) {
            if (s.substr(i, sep.size()) == sep ||
                (sep == "%%v" && i + 3 <= s.size() && s.substr(i, 2) == "%%" && s[i + 2] == 'V')) {
                parts.push_back(s.substr(start, i - start));
                i += sep.size();
                start = i;
                hit = true;
                break;
            }
        }
        if (!hit) {
            ++i;
        }
    }
    parts.push_back(s.substr(start));
    return parts;
}

}  // namespace

std::vector<std::vector<ToleranceBox>> ToleranceRows(std::string_view text) {
    std::vector<std::vector<ToleranceBox>> rows;
    for (std::string_view row : Split(text, {"^J", "\\P", "\r\n", "\n"})) {
        std::vector<ToleranceBox> boxes;
        for (std::string_view box : Split(row, {"%%v"})) {
            boxes.push_back(TranslateBox(box));
        }
        rows.push_back(std::move(boxes));
    }
    return rows;
}

std::vector<std::vector<geom::Vec2>> GdtSymbolStrokes(char letter) {
    using P = geom::Vec2;
    switch (Lower(letter)) {
        case 'a':  // angularity
            return {{P(1, 0), P(0, 0), P(0.85, 0.65)}};
        case 'b':  // perpendicularity
            return {{P(0, 0), P(1, 0)}, {P(0.5, 0), P(0.5, 1)}};
        case 'c':  // flatness
            return {{P(0, 0.2), P(0.75, 0.2), P(1, 0.8), P(0.25, 0.8), P(0, 0.2)}};
        case 'd': {  // profile of a surface
            auto arc = ArcPoints({0.5, 0.25}, 0.5, 0, 180);
            arc.push_back(arc.front());
            return {arc};
        }
        case 'e':  // circularity
            return {Circle(0.5)};
        case 'f':  // parallelism
            return {{P(0.1, 0), P(0.5, 1)}, {P(0.5, 0), P(0.9, 1)}};
        case 'g':  // cylindricity
            return {Circle(0.35), {P(0, 0), P(0.5, 1)}, {P(0.5, 0), P(1, 1)}};
        case 'h':  // circular run-out
            return {{P(0, 0), P(1, 1)}, {P(0.6, 1), P(1, 1), P(1, 0.6)}};
        case 'i':  // symmetry
            return {
                {P(0.2, 0.85), P(0.8, 0.85)}, {P(0, 0.5), P(1, 0.5)}, {P(0.2, 0.15), P(0.8, 0.15)}};
        case 'j':  // position
            return {Circle(0.35), {P(0, 0.5), P(1, 0.5)}, {P(0.5, 0), P(0.5, 1)}};
        case 'k':  // profile of a line
            return {ArcPoints({0.5, 0.25}, 0.5, 0, 180)};
        case 'l':  // least material condition
            return Circled({P(0.35, 0.8), P(0.35, 0.2), P(0.7, 0.2)});
        case 'm':  // maximum material condition
            return Circled({P(0.25, 0.2), P(0.25, 0.8), P(0.5, 0.4), P(0.75, 0.8), P(0.75, 0.2)});
        case 'n':  // diameter
            return {Circle(0.4), {P(0, 0), P(1, 1)}};
        case 'p':  // projected tolerance zone
            return Circled({P(0.35, 0.2), P(0.35, 0.8), P(0.6, 0.8), P(0.7, 0.7), P(0.7, 0.6),
                            P(0.6, 0.5), P(0.35, 0.5)});
        case 'r':  // concentricity
            return {Circle(0.5), Circle(0.25)};
        case 's':  // regardless of feature size
            return Circled({P(0.7, 0.75), P(0.6, 0.8), P(0.4, 0.8), P(0.3, 0.7), P(0.3, 0.6),
                            P(0.4, 0.5), P(0.6, 0.5), P(0.7, 0.4), P(0.7, 0.3), P(0.6, 0.2),
                            P(0.4, 0.2), P(0.3, 0.25)});
        case 't':  // total run-out
            return {{P(0, 0), P(1, 0)},
                    {P(0.1, 0), P(0.5, 1)},
                    {P(0.5, 0), P(0.9, 1)},
                    {P(0.25, 0.85), P(0.5, 1), P(0.6, 0.75)},
                    {P(0.65, 0.85), P(0.9, 1), P(1, 0.75)}};
        case 'u':  // straightness
            return {{P(0, 0.5), P(1, 0.5)}};
        default:
            return {};
    }
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> MeshEdges(const db::Mesh& mesh) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> edges;
    std::unordered_set<std::uint64_t> seen;
    std::size_t at = 0;
    for (const std::uint32_t n : mesh.faceSizes) {
        if (n > mesh.faceIndices.size() - at) {
            break;
        }
        for (std::uint32_t k = 0; k < n; ++k) {
            std::uint32_t a = mesh.faceIndices[at + k], b = mesh.faceIndices[at + (k + 1) % n];
            if (a == b) {
                continue;
            }
            if (a > b) {
                std::swap(a, b);
            }
            if (seen.insert((std::uint64_t{a} << 32) | b).second) {
                edges.emplace_back(a, b);
            }
        }
        at += n;
    }
    return edges;
}

double DimensionSize(const db::Header& h, const std::string& name, double fallback) {
    const double scale = std::isfinite(h.dimScale) && h.dimScale > 0 ? h.dimScale : 1.0;
    const auto it = h.variables.find(name);
    if (it != h.variables.end() && !it->second.empty()) {
        const std::string& s = it->second.front().second;
        const std::size_t b = s.find_first_not_of(' ');
        double v = 0;
        if (b != std::string::npos) {
            const auto [p, ec] = std::from_chars(s.data() + b, s.data() + s.size(), v);
            if (ec == std::errc() && std::isfinite(v) && v > 0) {
                return v * scale;
            }
        }
    }
    return fallback * scale;
}

}  // namespace vx::engine::render
