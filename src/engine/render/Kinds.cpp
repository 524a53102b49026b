#include "engine/render/Kinds.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_set>

namespace vx::engine::render {

namespace {

// The characters the letters of the "gdt" font draw.
char32_t GdtSymbol(char c) {
    static constexpr char32_t kLetters[26] = {
        0x2220,  // a angularity
        0x22A5,  // b perpendicularity
        0x25B1,  // c flatness
        0x2313,  // d profile of a surface
        0x25CB,  // e circularity
        0x2225,  // f parallelism
        0x232D,  // g cylindricity
        0x2197,  // h circular run-out
        0x232F,  // i symmetry
        0x2316,  // j position
        0x2312,  // k profile of a line
        0x24C1,  // l least material condition
        0x24C2,  // m maximum material condition
        0x2300,  // n diameter
        0,       // o
        0x24C5,  // p projected tolerance zone
        0,       // q
        0x25CE,  // r concentricity
        0x24C8,  // s regardless of feature size
        0x2330,  // t total run-out
        0x23E4,  // u straightness
        0, 0, 0, 0, 0};
    const char lower = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower >= 'a' && lower <= 'z' ? kLetters[lower - 'a'] : 0;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
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

// One box's text with the gdt letters replaced; the font switches to gdt are dropped,
// other switches kept.
std::string TranslateBox(std::string_view s) {
    std::string out;
    std::vector<bool> stack;  // the gdt state outside each open brace
    bool gdt = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '{') {
            stack.push_back(gdt);
            out += c;
        } else if (c == '}') {
            if (!stack.empty()) {
                gdt = stack.back();
                stack.pop_back();
            }
            out += c;
        } else if (c == '\\' && i + 1 < s.size() && (s[i + 1] == 'F' || s[i + 1] == 'f')) {
            const std::size_t end = s.find(';', i + 2);
            const std::string_view spec =
                s.substr(i + 2, end == std::string_view::npos ? end : end - i - 2);
            gdt = IsGdtFont(spec.substr(0, spec.find('|')));
            if (!gdt) {
                out += s.substr(i, end == std::string_view::npos ? end : end - i + 1);
            }
            if (end == std::string_view::npos) {
                break;
            }
            i = end;
        } else if (c == '\\' && i + 1 < s.size()) {
            out += s.substr(i, 2);
            ++i;
        } else if (const char32_t sym = gdt ? GdtSymbol(c) : 0) {
            AppendUtf8(out, sym);
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<std::string_view> Split(std::string_view s, std::initializer_list<std::string_view> seps) {
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

std::vector<std::vector<std::string>> ToleranceRows(std::string_view text) {
    std::vector<std::vector<std::string>> rows;
    for (std::string_view row : Split(text, {"^J", "\\P"})) {
        std::vector<std::string> boxes;
        for (std::string_view box : Split(row, {"%%v"})) {
            boxes.push_back(TranslateBox(box));
        }
        rows.push_back(std::move(boxes));
    }
    return rows;
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
