#include "engine/render/TextLayout.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <numbers>

#include "engine/Strings.h"

namespace vx::engine::render {

namespace {

constexpr double kDeg = std::numbers::pi / 180.0;
// MTEXT: baselines of single-spaced lines lie 5/3 of the text height apart; stacked
// fractions are drawn at 70 % of the height.
constexpr double kLineSpacing = 5.0 / 3.0;
constexpr double kStackScale = 0.7;
// Underlines and overlines, in text heights below the baseline and above the capitals.
constexpr double kUnderline = 0.2;
constexpr double kOverline = 0.2;

double Finite(double v, double fallback) {
    return std::isfinite(v) ? v : fallback;
}

// The obliquing shear, kept within what stays legible.
double ObliqueShear(double degrees) {
    degrees = Finite(degrees, 0);
    degrees = std::remainder(degrees, 360.0);
    return std::tan(std::clamp(degrees, -85.0, 85.0) * kDeg);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Fonts and glyphs

const fonts::ResolvedFont* GlyphCache::FontNamed(std::string_view name, std::string_view bigFont) {
    if (!resolver_) {
        return nullptr;
    }
    std::string key = Lower(name);
    if (!bigFont.empty()) {
        key += '\n' + Lower(bigFont);
    }
    if (const auto it = byName_.find(key); it != byName_.end()) {
        return it->second;
    }
    auto font = resolver_->Resolve(name, bigFont);
    keep_.push_back(font);
    byName_.emplace(std::move(key), font.get());
    return font.get();
}

const db::TextStyle* TextStyleOf(const db::Database& d, db::StyleId style) {
    if (style >= d.textStyles.size()) {
        style = d.FindTextStyle("Standard");
    }
    return style < d.textStyles.size() ? &d.textStyles[style] : nullptr;
}

const fonts::ResolvedFont* GlyphCache::StyleFont(const db::Database& d, db::StyleId style) {
    if (!resolver_) {
        return nullptr;
    }
    const db::TextStyle* s = TextStyleOf(d, style);
    if (!s) {
        return FontNamed("txt");
    }
    if (const auto it = byStyle_.find(s); it != byStyle_.end()) {
        return it->second;
    }
    std::string name = s->fontFile;
    if (name.empty() ||
        (!s->fontFamily.empty() && name.find('.') == std::string::npos && Lower(name) != "txt")) {
        name = s->fontFamily.empty() ? "txt" : s->fontFamily;
    }
    const fonts::ResolvedFont* f = FontNamed(name, s->bigFontFile);
    byStyle_.emplace(s, f);
    return f;
}

const CachedGlyph& GlyphCache::Glyph(const fonts::ResolvedFont* font, char32_t c) {
    auto& slot = glyphs_[GlyphKey{font, c}];
    if (!slot) {
        slot = std::make_unique<CachedGlyph>();
        slot->shape = font->Glyph(c);
        double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
        if (slot->shape.IsOutline()) {
            const geom::Rect& r = slot->shape.outline->ink;
            x0 = r.xmin, x1 = r.xmax, y0 = r.ymin, y1 = r.ymax;
        } else {
            for (const QPolygonF& s : slot->shape.strokes) {
                for (QPointF p : s) {
                    x0 = std::min(x0, p.x()), x1 = std::max(x1, p.x());
                    y0 = std::min(y0, p.y()), y1 = std::max(y1, p.y());
                }
            }
        }
        if (x1 >= x0) {
            slot->hasInk = true;
            slot->inkLeft = x0, slot->inkRight = x1, slot->inkBottom = y0, slot->inkTop = y1;
        }
    }
    return *slot;
}

double GlyphCache::Descent(const fonts::ResolvedFont* font) {
    if (const auto it = descent_.find(font); it != descent_.end()) {
        return it->second;
    }
    double d = 0;
    for (char32_t c : {U'g', U'p', U'y', U'q'}) {
        const CachedGlyph& g = Glyph(font, c);
        if (g.hasInk) {
            d = std::max(d, -g.inkBottom);
        }
    }
    if (!(d > 0.05) || d > 1) {
        d = 1.0 / 3.0;
    }
    descent_.emplace(font, d);
    return d;
}

std::vector<std::string> GlyphCache::AskedNames() const {
    std::vector<std::string> out;
    for (const auto& [name, font] : byName_) {
        // "romans.shx" or, with a big font, "romans.shx\ngbcbig.shx": each is asked for.
        const auto newline = name.find('\n');
        out.push_back(name.substr(0, newline));
        if (newline != std::string::npos) {
            out.push_back(name.substr(newline + 1));
        }
    }
    return out;
}

std::vector<std::string> GlyphCache::UsedNames() const {
    std::vector<std::string> out;
    for (const auto& [name, font] : byName_) {
        if (font) {
            out.push_back(font->UsedName());
        }
    }
    return out;
}

std::u32string DecodeUtf8(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + static_cast<std::size_t>(len) > s.size()) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            const auto cb = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            ok = ok && (cb & 0xC0) == 0x80;
            c = (c << 6) | (cb & 0x3F);
        }
        out.push_back(ok ? c : U'\uFFFD');
        i += ok ? static_cast<std::size_t>(len) : 1;
    }
    return out;
}

// ---------------------------------------------------------------------------------------
// TEXT

namespace {

// Advance of a character in glyph units (blanks by the font's word spacing).
double Advance(GlyphCache& cache, const fonts::ResolvedFont* font, char32_t c) {
    if (c == U' ' || c == U'\u00A0') {
        return font->SpaceAdvance();
    }
    return cache.Glyph(font, c).shape.advance;
}

}  // namespace

void LayoutText(const db::Text& text, const db::TextStyle* style, const fonts::ResolvedFont* font,
                double defaultHeight, GlyphCache& cache, TextLayout& out) {
    out.Clear();
    if (!font) {
        return;
    }
    std::u32string chars = DecodeUtf8(fonts::ExpandSpecialCodes(text.text));
    // %%u and %%o switch underline and overline on and off.
    struct Span {
        std::size_t from, to;
        bool over;
    };
    std::vector<Span> spans;
    std::u32string plain;
    plain.reserve(chars.size());
    std::size_t underFrom = 0, overFrom = 0;
    bool under = false, over = false;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (chars[i] == U'%' && i + 2 < chars.size() && chars[i + 1] == U'%' &&
            (chars[i + 2] == U'u' || chars[i + 2] == U'U' || chars[i + 2] == U'o' ||
             chars[i + 2] == U'O')) {
            const bool isOver = chars[i + 2] == U'o' || chars[i + 2] == U'O';
            bool& on = isOver ? over : under;
            std::size_t& from = isOver ? overFrom : underFrom;
            if (on) {
                spans.push_back({from, plain.size(), isOver});
            } else {
                from = plain.size();
            }
            on = !on;
            i += 2;
            continue;
        }
        plain.push_back(chars[i]);
    }
    if (under) {
        spans.push_back({underFrom, plain.size(), false});
    }
    if (over) {
        spans.push_back({overFrom, plain.size(), true});
    }

    double h = text.height;
    if (!(h > 0) || !std::isfinite(h)) {
        h = style && style->height > 0 ? style->height : defaultHeight;
    }
    double wf = text.widthFactor > 0 && std::isfinite(text.widthFactor) ? text.widthFactor : 1.0;
    const double shear = ObliqueShear(text.oblique);

    // Positions of the glyphs along the line, in glyph units.
    std::vector<double> xs(plain.size() + 1, 0.0);
    double width = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const double adv = Advance(cache, font, plain[i]);
        xs[i + 1] = xs[i] + adv;
        if (plain[i] != U' ' && plain[i] != U'\u00A0') {
            const CachedGlyph& g = cache.Glyph(font, plain[i]);
            width = std::max(width, xs[i] + (g.hasInk ? g.inkRight : adv));
        } else {
            width = std::max(width, xs[i + 1]);
        }
    }

    db::Vec3 anchor = text.position;
    double rotation = Finite(text.rotation, 0) * kDeg;
    const bool usesAlignPoint = text.halign != 0 || text.valign != 0;
    if (usesAlignPoint && text.hasAlignPoint) {
        anchor = text.alignPoint;
    }
    double dx = 0, dy = 0;
    if ((text.halign == 3 || text.halign == 5) && text.hasAlignPoint) {
        const db::Vec3 d = text.alignPoint - text.position;
        const double len = std::hypot(d.x, d.y);
        anchor = text.position;
        if (len > 0 && width > 0) {
            rotation = std::atan2(d.y, d.x);
            if (text.halign == 3) {
                h = len / (width * wf);  // aligned: the height follows the width
            } else {
                wf = len / (width * h);  // fit: only the width changes
            }
        }
    } else {
        const double w = width * h * wf;
        switch (text.halign) {
            case 1:
            case 4:
                dx = -w / 2;
                break;
            case 2:
                dx = -w;
                break;
            default:
                break;
        }
        if (text.halign == 4) {
            dy = -h / 2;
        } else {
            switch (text.valign) {
                case 1:
                    dy = cache.Descent(font) * h;
                    break;
                case 2:
                    dy = -h / 2;
                    break;
                case 3:
                    dy = -h;
                    break;
                default:
                    break;
            }
        }
    }
    const double mx = (text.generation & 2) ? -1 : 1;
    const double my = (text.generation & 4) ? -1 : 1;
    QTransform place;
    place.translate(anchor.x, anchor.y);
    place.rotateRadians(rotation);
    place.scale(mx, my);
    // place maps line coordinates (x along the baseline in drawing units) to the plane.
    out.glyphs.reserve(plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (plain[i] == U' ' || plain[i] == U'\u00A0') {
            continue;
        }
        const CachedGlyph& g = cache.Glyph(font, plain[i]);
        if (!g.hasInk) {
            continue;
        }
        const QTransform local(h * wf, 0, h * shear, h, xs[i] * h * wf + dx, dy);
        out.glyphs.push_back({&g, local * place, -1});
    }
    for (const Span& s : spans) {
        if (s.to <= s.from) {
            continue;
        }
        const double x0 = xs[s.from] * h * wf + dx;
        const double x1 = (s.to == plain.size() ? width : xs[s.to]) * h * wf + dx;
        const double y = s.over ? dy + h * (1 + kOverline) : dy - h * kUnderline;
        out.lines.push_back({place.map(QPointF(x0, y)), place.map(QPointF(x1, y)), -1});
    }
}

// ---------------------------------------------------------------------------------------
// MTEXT

namespace {

struct Format {
    const fonts::ResolvedFont* font = nullptr;
    double height = 1;
    double widthFactor = 1;
    double shear = 0;
    double tracking = 1;
    int color = -1;
    bool underline = false, overline = false, strike = false;
};

enum class AtomKind { Char, Space, Tab, Stack };

struct Atom {
    AtomKind kind = AtomKind::Char;
    char32_t c = 0;
    Format fmt;
    std::u32string top, bottom;  // stacked text
    char32_t stackType = U'/';
    double width = 0;  // drawing units
};

struct Paragraph {
    std::vector<Atom> atoms;
    int align = -1;  // -1 = the attachment's, 0 left, 1 centre, 2 right
    double lastHeight = 1;
};

class MTextParser {
public:
    MTextParser(std::u32string text, Format base, GlyphCache& cache, TextLayout& out)
        : s_(std::move(text)), cache_(cache), out_(out) {
        stack_.push_back(base);
    }

    std::vector<Paragraph> Parse() {
        paragraphs_.emplace_back();
        paragraphs_.back().lastHeight = Fmt().height;
        while (i_ < s_.size()) {
            const char32_t c = s_[i_++];
            if (c == U'\\') {
                Escape();
            } else if (c == U'{') {
                stack_.push_back(Fmt());
            } else if (c == U'}') {
                if (stack_.size() > 1) {
                    stack_.pop_back();
                }
            } else if (c == U'^' && i_ < s_.size()) {
                const char32_t n = s_[i_++];
                if (n == U'J') {
                    NewParagraph();
                } else if (n == U'I') {
                    Push(AtomKind::Tab, 0);
                } else if (n == U' ') {
                    Push(AtomKind::Char, U'^');
                } else if (n != U'M') {
                    Push(AtomKind::Char, U'^');
                    --i_;
                }
            } else if (c == U'\n') {
                NewParagraph();
            } else if (c == U'\r') {
                // ignored
            } else if (c == U' ') {
                Push(AtomKind::Space, c);
            } else if (c == U'\t') {
                Push(AtomKind::Tab, 0);
            } else {
                Push(AtomKind::Char, c);
            }
        }
        return std::move(paragraphs_);
    }

private:
    Format& Fmt() { return stack_.back(); }

    void Push(AtomKind kind, char32_t c) {
        Atom a;
        a.kind = kind;
        a.c = c;
        a.fmt = Fmt();
        paragraphs_.back().atoms.push_back(std::move(a));
        paragraphs_.back().lastHeight = Fmt().height;
    }

    void NewParagraph() {
        const int align = paragraphs_.back().align;
        paragraphs_.emplace_back();
        paragraphs_.back().align = align;
        paragraphs_.back().lastHeight = Fmt().height;
    }

    // The argument of a code: up to ';' (consumed) or the end.
    std::u32string Argument() {
        std::u32string a;
        while (i_ < s_.size() && s_[i_] != U';') {
            a.push_back(s_[i_++]);
        }
        if (i_ < s_.size()) {
            ++i_;
        }
        return a;
    }

    static std::string Narrow(const std::u32string& a) {
        std::string out;
        for (char32_t c : a) {
            AppendUtf8(out, c);
        }
        return out;
    }

    static bool Number(const std::string& s, double& v) {
        std::size_t b = 0;
        while (b < s.size() && s[b] == ' ') {
            ++b;
        }
        const char* first = s.data() + b;
        const char* last = s.data() + s.size();
        if (first < last && *first == '+') {
            ++first;
        }
        const auto [end, ec] = std::from_chars(first, last, v);
        return ec == std::errc() && end != first && std::isfinite(v);
    }

    // A height, width or tracking value: "2.5" absolute, "2x" relative.
    static double Scaled(const std::string& arg, double current, bool relativeOnly) {
        std::string a = arg;
        const bool relative = !a.empty() && (a.back() == 'x' || a.back() == 'X');
        if (relative) {
            a.pop_back();
        }
        double v = 0;
        if (!Number(a, v) || !(v > 0)) {
            return current;
        }
        return relative || relativeOnly ? current * v : v;
    }

    void Escape() {
        if (i_ >= s_.size()) {
            return;
        }
        const char32_t code = s_[i_++];
        switch (code) {
            case U'P':
                NewParagraph();
                break;
            case U'X':
            case U'N':
                NewParagraph();
                break;
            case U'~':
                Push(AtomKind::Char, U'\u00A0');
                break;
            case U'\\':
            case U'{':
            case U'}':
                Push(AtomKind::Char, code);
                break;
            case U'L':
                Fmt().underline = true;
                break;
            case U'l':
                Fmt().underline = false;
                break;
            case U'O':
                Fmt().overline = true;
                break;
            case U'o':
                Fmt().overline = false;
                break;
            case U'K':
                Fmt().strike = true;
                break;
            case U'k':
                Fmt().strike = false;
                break;
            case U'H': {
                Fmt().height = Scaled(Narrow(Argument()), Fmt().height, false);
                break;
            }
            case U'W':
                Fmt().widthFactor = Scaled(Narrow(Argument()), Fmt().widthFactor, false);
                break;
            case U'T':
                Fmt().tracking = Scaled(Narrow(Argument()), Fmt().tracking, false);
                break;
            case U'Q': {
                double v = 0;
                if (Number(Narrow(Argument()), v)) {
                    Fmt().shear = ObliqueShear(v);
                }
                break;
            }
            case U'A':
                Argument();  // vertical alignment within the line: baselines stay shared
                break;
            case U'C': {
                double v = 0;
                if (Number(Narrow(Argument()), v)) {
                    Fmt().color = AddColor(db::Color::FromIndex(static_cast<int>(v)));
                }
                break;
            }
            case U'c': {
                double v = 0;
                if (Number(Narrow(Argument()), v) && v >= 0) {
                    const auto u = static_cast<std::uint32_t>(v) & 0xFFFFFFu;
                    const std::uint32_t rgb =
                        ((u & 0xFF) << 16) | (u & 0xFF00) | ((u >> 16) & 0xFF);
                    Fmt().color = AddColor(db::Color::FromRgb(rgb, 0));
                }
                break;
            }
            case U'f':
            case U'F': {
                // "\FArial|b1|i0;" or, for SHX fonts, "\Ftxt.shx,gbcbig.shx;".
                const std::string arg = Narrow(Argument());
                std::string name = arg.substr(0, arg.find('|'));
                std::string big;
                if (const auto comma = name.find(','); comma != std::string::npos) {
                    big = name.substr(comma + 1);
                    name.erase(comma);
                }
                if (!name.empty()) {
                    if (const auto* f = cache_.FontNamed(name, big)) {
                        Fmt().font = f;
                    }
                }
                break;
            }
            case U'p':
                ParagraphCode(Narrow(Argument()));
                break;
            case U'S':
                Stack();
                break;
            case U'U':
                if (i_ + 5 <= s_.size() && s_[i_] == U'+') {
                    std::string hex = Narrow(s_.substr(i_ + 1, 4));
                    unsigned v = 0;
                    const auto [end, ec] =
                        std::from_chars(hex.data(), hex.data() + hex.size(), v, 16);
                    if (ec == std::errc() && end == hex.data() + hex.size()) {
                        i_ += 5;
                        Push(AtomKind::Char, static_cast<char32_t>(v));
                        break;
                    }
                }
                Push(AtomKind::Char, U'U');
                break;
            default:
                // An unknown code: drawn as it stands, as CAD programs do.
                Push(AtomKind::Char, U'\\');
                Push(AtomKind::Char, code);
                break;
        }
    }

    void ParagraphCode(const std::string& arg) {
        // "\pxql;", "\pi1,l2,qc;": only the alignment matters for the layout.
        std::size_t q = arg.find('q');
        if (q != std::string::npos && q + 1 < arg.size()) {
            switch (arg[q + 1]) {
                case 'l':
                case 'j':
                case 'd':
                    paragraphs_.back().align = 0;
                    break;
                case 'c':
                    paragraphs_.back().align = 1;
                    break;
                case 'r':
                    paragraphs_.back().align = 2;
                    break;
                default:
                    break;
            }
        }
    }

    void Stack() {
        // \Stop/bottom;  \Stop^bottom;  \Stop#bottom;  "\;" escapes inside.
        std::u32string top, bottom;
        char32_t type = 0;
        while (i_ < s_.size() && s_[i_] != U';') {
            char32_t c = s_[i_++];
            if (c == U'\\' && i_ < s_.size()) {
                c = s_[i_++];
            } else if (!type && (c == U'/' || c == U'^' || c == U'#')) {
                type = c;
                continue;
            }
            (type ? bottom : top).push_back(c);
        }
        if (i_ < s_.size()) {
            ++i_;
        }
        Atom a;
        a.kind = AtomKind::Stack;
        a.fmt = Fmt();
        a.top = std::move(top);
        a.bottom = std::move(bottom);
        a.stackType = type ? type : U'/';
        if (a.stackType == U'^' && !a.bottom.empty() && a.bottom.front() == U' ') {
            a.bottom.erase(0, 1);
        }
        paragraphs_.back().atoms.push_back(std::move(a));
    }

    int AddColor(db::Color c) {
        out_.colors.push_back(c);
        return static_cast<int>(out_.colors.size()) - 1;
    }

    std::u32string s_;
    std::size_t i_ = 0;
    GlyphCache& cache_;
    TextLayout& out_;
    std::vector<Format> stack_;
    std::vector<Paragraph> paragraphs_;
};

double RunWidth(GlyphCache& cache, const Format& f, const std::u32string& s, double height) {
    double w = 0;
    for (char32_t c : s) {
        w += Advance(cache, f.font, c) * height * f.widthFactor * f.tracking;
    }
    return w;
}

struct Line {
    std::vector<const Atom*> atoms;
    std::vector<double> x;
    double width = 0;
    double maxHeight = 0;
    int align = 0;
};

}  // namespace

void LayoutMText(const db::MText& mtext, const db::TextStyle* style,
                 const fonts::ResolvedFont* font, GlyphCache& cache, TextLayout& out) {
    out.Clear();
    if (!font) {
        return;
    }
    Format base;
    base.font = font;
    base.height = mtext.height > 0 && std::isfinite(mtext.height)
                      ? mtext.height
                      : (style && style->height > 0 ? style->height : 1.0);
    base.widthFactor = style && style->widthFactor > 0 ? style->widthFactor : 1.0;
    base.shear = style ? ObliqueShear(style->oblique) : 0.0;
    MTextParser parser(DecodeUtf8(fonts::ExpandSpecialCodes(mtext.text)), base, cache, out);
    std::vector<Paragraph> paragraphs = parser.Parse();

    const int column = (std::clamp<int>(mtext.attachment, 1, 9) - 1) % 3;  // 0 l, 1 c, 2 r
    const int row = (std::clamp<int>(mtext.attachment, 1, 9) - 1) / 3;     // 0 t, 1 m, 2 b
    const double givenWidth =
        mtext.rectWidth > 0 && std::isfinite(mtext.rectWidth) ? mtext.rectWidth : 0;
    // Top to bottom: fonts drawn across keep their letters upright and the paragraphs
    // follow one another in a single row, a blank apart, on the box's top edge; the
    // reference width is then the box's height, and nothing wraps.
    const bool topToBottom = mtext.drawingDirection == 3;
    if (topToBottom) {
        for (std::size_t i = 1; i < paragraphs.size(); ++i) {
            const Paragraph& prev = paragraphs[i - 1];
            Atom blank;
            blank.kind = AtomKind::Space;
            blank.fmt = prev.atoms.empty() ? base : prev.atoms.back().fmt;
            paragraphs[0].atoms.push_back(blank);
            paragraphs[0].atoms.insert(paragraphs[0].atoms.end(), paragraphs[i].atoms.begin(),
                                       paragraphs[i].atoms.end());
        }
        paragraphs.resize(1);
    }
    const double wrapWidth = topToBottom ? 0 : givenWidth;

    // Widths, and lines broken at blanks where the reference width is exceeded.
    std::vector<Line> lines;
    for (Paragraph& p : paragraphs) {
        for (Atom& a : p.atoms) {
            switch (a.kind) {
                case AtomKind::Char:
                    a.width = Advance(cache, a.fmt.font, a.c) * a.fmt.height * a.fmt.widthFactor *
                              a.fmt.tracking;
                    break;
                case AtomKind::Space:
                    a.width = a.fmt.font->SpaceAdvance() * a.fmt.height * a.fmt.widthFactor *
                              a.fmt.tracking;
                    break;
                case AtomKind::Tab:
                    a.width = 0;  // set when placed
                    break;
                case AtomKind::Stack: {
                    const double h =
                        a.stackType == U'#' ? a.fmt.height : a.fmt.height * kStackScale;
                    const double wt = RunWidth(cache, a.fmt, a.top, h);
                    const double wb = RunWidth(cache, a.fmt, a.bottom, h);
                    a.width = a.stackType == U'#'
                                  ? RunWidth(cache, a.fmt, a.top + U'/' + a.bottom, h * kStackScale)
                                  : std::max(wt, wb);
                    break;
                }
            }
        }
        Line line;
        line.align = p.align >= 0 ? p.align : column;
        line.maxHeight = 0;
        double x = 0;
        std::size_t i = 0;
        const auto finish = [&](Line& l, double width) {
            l.width = width;
            if (l.maxHeight <= 0) {
                l.maxHeight = p.lastHeight;
            }
            lines.push_back(std::move(l));
            l = Line{};
            l.align = p.align >= 0 ? p.align : column;
        };
        // A line ends where its last glyph's ink ends: trailing blanks and the spacing after
        // the last letter do not count for the alignment.
        const auto InkWidth = [&](const Line& l) {
            for (std::size_t m = l.atoms.size(); m-- > 0;) {
                const Atom& a = *l.atoms[m];
                if (a.kind == AtomKind::Space || (a.kind == AtomKind::Char && a.c == U'\u00A0')) {
                    continue;
                }
                if (a.kind == AtomKind::Char) {
                    const CachedGlyph& g = cache.Glyph(a.fmt.font, a.c);
                    if (g.hasInk) {
                        return l.x[m] + g.inkRight * a.fmt.height * a.fmt.widthFactor;
                    }
                }
                return l.x[m] + a.width;
            }
            return 0.0;
        };
        while (i < p.atoms.size()) {
            // The next word: blanks before it, then everything up to the next blank.
            std::size_t j = i;
            double spaceW = 0, wordW = 0;
            while (j < p.atoms.size() && p.atoms[j].kind == AtomKind::Space) {
                spaceW += p.atoms[j++].width;
            }
            std::size_t k = j;
            while (k < p.atoms.size() && p.atoms[k].kind != AtomKind::Space) {
                const Atom& a = p.atoms[k];
                wordW += a.kind == AtomKind::Tab ? a.fmt.height * 2 : a.width;
                ++k;
            }
            // The word ends where its last letter's ink ends, not after its spacing.
            if (k > j && p.atoms[k - 1].kind == AtomKind::Char && p.atoms[k - 1].c != U'\u00A0') {
                const Atom& last = p.atoms[k - 1];
                const CachedGlyph& g = cache.Glyph(last.fmt.font, last.c);
                if (g.hasInk) {
                    wordW += g.inkRight * last.fmt.height * last.fmt.widthFactor - last.width;
                }
            }
            if (wrapWidth > 0 && !line.atoms.empty() && x + spaceW + wordW > wrapWidth * 1.0001 &&
                k > j) {
                finish(line, InkWidth(line));
                x = 0;
                i = j;  // blanks at a break vanish
                continue;
            }
            for (std::size_t m = i; m < k; ++m) {
                Atom& a = p.atoms[m];
                if (a.kind == AtomKind::Tab) {
                    const double stop = a.fmt.height * 4;
                    a.width = (std::floor(x / stop) + 1) * stop - x;
                }
                line.atoms.push_back(&a);
                line.x.push_back(x);
                x += a.width;
                line.maxHeight = std::max(line.maxHeight, a.fmt.height);
            }
            i = k;
        }
        finish(line, InkWidth(line));
    }
    if (lines.empty()) {
        return;
    }

    double boxWidth = wrapWidth;
    if (boxWidth <= 0) {
        for (const Line& l : lines) {
            boxWidth = std::max(boxWidth, l.width);
        }
    }
    const double spacing = mtext.lineSpacing > 0 && std::isfinite(mtext.lineSpacing)
                               ? std::clamp(mtext.lineSpacing, 0.25, 4.0)
                               : 1.0;
    // A line lies its spacing below the one before: that of the text's height, or, at
    // least-spacing, of its own tallest letters when they are taller. What the line
    // above holds does not matter: a tall line pushes itself down, not the next one.
    const bool exactly = mtext.lineSpacingStyle == 2;
    std::vector<double> baselines(lines.size());
    double y = topToBottom ? 0 : -lines[0].maxHeight;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            y -= kLineSpacing * spacing *
                 (exactly ? base.height : std::max(base.height, lines[i].maxHeight));
        }
        baselines[i] = y;
    }
    const double boxHeight = !topToBottom     ? -baselines.back() + lines.back().maxHeight / 3
                             : givenWidth > 0 ? givenWidth
                                              : lines[0].maxHeight;
    const double originX = column == 0 ? 0 : column == 1 ? -boxWidth / 2 : -boxWidth;
    const double originY = row == 0 ? 0 : row == 1 ? boxHeight / 2 : boxHeight;
    out.box = QRectF(originX, originY - boxHeight, boxWidth, boxHeight);

    for (std::size_t li = 0; li < lines.size(); ++li) {
        const Line& l = lines[li];
        const double lx = originX + (l.align == 1   ? (boxWidth - l.width) / 2
                                     : l.align == 2 ? boxWidth - l.width
                                                    : 0);
        const double baseY = originY + baselines[li];
        for (std::size_t k = 0; k < l.atoms.size(); ++k) {
            const Atom& a = *l.atoms[k];
            const Format& f = a.fmt;
            const double x = lx + l.x[k];
            const auto place = [&](char32_t c, double gx, double gy, double h) {
                if (c == U' ' || c == U'\u00A0') {
                    return Advance(cache, f.font, c) * h * f.widthFactor * f.tracking;
                }
                const CachedGlyph& g = cache.Glyph(f.font, c);
                if (g.hasInk) {
                    out.glyphs.push_back(
                        {&g, QTransform(h * f.widthFactor, 0, h * f.shear, h, gx, gy), f.color});
                }
                return Advance(cache, f.font, c) * h * f.widthFactor * f.tracking;
            };
            if (a.kind == AtomKind::Char) {
                place(a.c, x, baseY, f.height);
            } else if (a.kind == AtomKind::Stack) {
                if (a.stackType == U'#') {
                    double gx = x;
                    const double h = f.height * kStackScale;
                    for (char32_t c : a.top + U'/' + a.bottom) {
                        gx += place(c, gx, baseY, h);
                    }
                } else {
                    const double h = f.height * kStackScale;
                    const double wt = RunWidth(cache, f, a.top, h);
                    const double wb = RunWidth(cache, f, a.bottom, h);
                    const bool bar = a.stackType == U'/';
                    const double mid = baseY + f.height * 0.45;
                    double gx = x + (bar ? (a.width - wt) / 2 : 0);
                    for (char32_t c : a.top) {
                        gx += place(c, gx, mid + f.height * 0.12, h);
                    }
                    gx = x + (bar ? (a.width - wb) / 2 : 0);
                    for (char32_t c : a.bottom) {
                        gx += place(c, gx, mid - f.height * 0.12 - h, h);
                    }
                    if (bar) {
                        out.lines.push_back({QPointF(x, mid), QPointF(x + a.width, mid), f.color});
                    }
                }
            }
            const double x1 = x + a.width;
            if (f.underline) {
                out.lines.push_back({QPointF(x, baseY - f.height * kUnderline),
                                     QPointF(x1, baseY - f.height * kUnderline), f.color});
            }
            if (f.overline) {
                out.lines.push_back({QPointF(x, baseY + f.height * (1 + kOverline)),
                                     QPointF(x1, baseY + f.height * (1 + kOverline)), f.color});
            }
            if (f.strike) {
                out.lines.push_back(
                    {QPointF(x, baseY + f.height / 2), QPointF(x1, baseY + f.height / 2), f.color});
            }
        }
    }
}

}  // namespace vx::engine::render
