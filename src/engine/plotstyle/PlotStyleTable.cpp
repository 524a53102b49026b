#include "engine/plotstyle/PlotStyleTable.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "engine/plotstyle/Aci.h"

namespace vx::engine::plotstyle {

namespace {

std::uint8_t Channel(std::uint32_t v, int shift) {
    return static_cast<std::uint8_t>((v >> shift) & 0xFFu);
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::uint8_t Gray(Rgb c) {
    // Luma of the usual television weights.
    return static_cast<std::uint8_t>(std::lround(0.299 * c.r + 0.587 * c.g + 0.114 * c.b));
}

// Screening: `screen` percent of the ink, the rest is paper white.
std::uint8_t Screened(std::uint8_t c, int screen) {
    return static_cast<std::uint8_t>(std::lround(255.0 - (255.0 - c) * screen / 100.0));
}

Rgb ObjectColor(const ObjectProperties& o) {
    return o.trueColor ? *o.trueColor : AciPaperColor(o.aci);
}

struct LinetypeDef {
    const char* name;
    std::vector<double> pattern;
};

// Dots are half a unit long so that they show with any cap.
const std::vector<LinetypeDef>& Linetypes() {
    static const std::vector<LinetypeDef> defs = {
        {"Solid", {}},
        {"Dashed", {6, 3}},
        {"Dotted", {0.5, 2.5}},
        {"Dash Dot", {6, 2, 0.5, 2}},
        {"Short Dash", {3, 2}},
        {"Medium Dash", {6, 2}},
        {"Long Dash", {12, 3}},
        {"Short Dash X2", {3, 1, 3, 3}},
        {"Medium Dash X2", {6, 1, 6, 3}},
        {"Long Dash X2", {12, 1, 12, 3}},
        {"Medium Long Dash", {6, 2, 12, 2}},
        {"Medium Dash Short Dash Short Dash", {6, 2, 3, 2, 3, 2}},
        {"Long Dash Short Dash", {12, 2, 3, 2}},
        {"Long Dash Dot Dot", {12, 2, 0.5, 2, 0.5, 2}},
        {"Long Dash Dot", {12, 2, 0.5, 2}},
        {"Medium Dash Dot Short Dash Dot", {6, 2, 0.5, 2, 3, 2, 0.5, 2}},
        {"Sparse Dot", {0.5, 6}},
        // ISO 128 line types, in multiples of the pattern size.
        {"ISO Dash", {12, 3}},
        {"ISO Dash Space", {12, 18}},
        {"ISO Long Dash Dot", {24, 3, 0.5, 3}},
        {"ISO Long Dash Double Dot", {24, 3, 0.5, 3, 0.5, 3}},
        {"ISO Long Dash Triple Dot", {24, 3, 0.5, 3, 0.5, 3, 0.5, 3}},
        {"ISO Dot", {0.5, 3}},
        {"ISO Long Dash Short Dash", {24, 3, 6, 3}},
        {"ISO Long Dash Double Short Dash", {24, 3, 6, 3, 6, 3}},
        {"ISO Dash Dot", {12, 3, 0.5, 3}},
        {"ISO Double Dash Dot", {12, 3, 12, 3, 0.5, 3}},
        {"ISO Dash Double Dot", {12, 3, 0.5, 3, 0.5, 3}},
        {"ISO Double Dash Double Dot", {12, 3, 12, 3, 0.5, 3, 0.5, 3}},
        {"ISO Dash Triple Dot", {12, 3, 0.5, 3, 0.5, 3, 0.5, 3}},
        {"ISO Double Dash Triple Dot", {12, 3, 12, 3, 0.5, 3, 0.5, 3, 0.5, 3}},
    };
    return defs;
}

constexpr int kFirstIsoLinetype = 17;

void Check(bool ok, const std::string& what) {
    if (!ok) {
        throw PlotStyleError("The plot style table is damaged: " + what + ".");
    }
}

}  // namespace

std::int32_t EncodeStyleColor(Rgb c, bool indexColor) {
    const std::uint32_t v = (indexColor ? 0xC3000000u : 0xC2000000u) | (std::uint32_t{c.r} << 16) |
                            (std::uint32_t{c.g} << 8) | c.b;
    return static_cast<std::int32_t>(v);
}

std::optional<Rgb> PlotStyle::FixedColor() const {
    const auto isObject = [](std::int32_t v) {
        const auto type = static_cast<std::uint32_t>(v) >> 24;
        return v == kObjectColor || v == kObjectColorAci || type == 0xC0 || type == 0xC1;
    };
    // The mode colour is the one the style plots with; `color` may hold only the nearest
    // index colour of it. Either naming a colour makes the colour fixed.
    std::int32_t v;
    if (modeColor && !isObject(*modeColor)) {
        v = *modeColor;
    } else if (!isObject(color)) {
        v = color;
    } else {
        return std::nullopt;
    }
    const auto u = static_cast<std::uint32_t>(v);
    return Rgb{Channel(u, 16), Channel(u, 8), Channel(u, 0)};
}

const std::vector<double>& StandardLineweights() {
    static const std::vector<double> weights = {
        0.00, 0.05, 0.09, 0.10, 0.13, 0.15, 0.18, 0.20, 0.25, 0.30, 0.35, 0.40, 0.45, 0.50,
        0.53, 0.60, 0.65, 0.70, 0.80, 0.90, 1.00, 1.06, 1.20, 1.40, 1.58, 2.00, 2.11};
    return weights;
}

const char* PlotStyleLinetypeName(int linetype) {
    if (linetype >= 0 && linetype < static_cast<int>(Linetypes().size())) {
        return Linetypes()[static_cast<std::size_t>(linetype)].name;
    }
    return linetype == kObjectLinetype ? "Use object linetype" : "";
}

std::vector<double> PlotStyleLinetypePattern(int linetype, double patternSize, double scale) {
    if (linetype < 0 || linetype >= static_cast<int>(Linetypes().size())) {
        return {};
    }
    std::vector<double> pattern = Linetypes()[static_cast<std::size_t>(linetype)].pattern;
    const double k = linetype >= kFirstIsoLinetype ? patternSize : scale;
    for (double& v : pattern) {
        v *= k;
    }
    return pattern;
}

Pen ObjectPen(const ObjectProperties& o) {
    Pen pen;
    pen.color = ObjectColor(o);
    pen.lineweight = std::max(0.0, o.lineweight);
    pen.cap = o.cap;
    pen.join = o.join;
    pen.number = std::clamp(o.aci, 1, 255);
    return pen;
}

const PlotStyle* PlotStyleTable::StyleForAci(int aci) const {
    if (kind != TableKind::ColorDependent || aci < 1 || aci > static_cast<int>(styles.size())) {
        return nullptr;
    }
    return &styles[static_cast<std::size_t>(aci - 1)];
}

const PlotStyle* PlotStyleTable::StyleNamed(std::string_view name) const {
    if (kind != TableKind::Named) {
        return nullptr;
    }
    for (const PlotStyle& s : styles) {
        if (SameNameIgnoringCase(s.name, name)) {
            return &s;
        }
    }
    return nullptr;
}

const PlotStyle* PlotStyleTable::StyleFor(const ObjectProperties& o) const {
    if (kind == TableKind::ColorDependent) {
        return StyleForAci(o.aci);
    }
    const PlotStyle* s = StyleNamed(o.plotStyleName);
    return s ? s : StyleNamed("Normal");
}

Pen PlotStyleTable::PenFor(const ObjectProperties& o) const {
    const PlotStyle* style = StyleFor(o);
    return style ? PenFor(o, *style) : ObjectPen(o);
}

Pen PlotStyleTable::PenFor(const ObjectProperties& o, const PlotStyle& s) const {
    Pen pen = ObjectPen(o);
    Rgb c = s.FixedColor().value_or(ObjectColor(o));
    if (s.colorPolicy & kColorPolicyGrayscale) {
        const std::uint8_t g = Gray(c);
        c = {g, g, g};
    }
    const int screen = std::clamp(s.screen, 0, 100);
    pen.color = {Screened(c.r, screen), Screened(c.g, screen), Screened(c.b, screen)};

    if (s.lineweight >= 0 && s.lineweight < static_cast<int>(lineweights.size())) {
        const double w = lineweights[static_cast<std::size_t>(s.lineweight)];
        if (w > 0) {
            pen.lineweight = w;
        }
    }
    if (s.linetype != kObjectLinetype) {
        pen.dashes = PlotStyleLinetypePattern(s.linetype, s.linepatternSize,
                                              applyFactor ? scaleFactor : 1.0);
        pen.adaptiveDashes = s.adaptiveLinetype;
    }
    switch (s.endStyle) {
        case 0:
            pen.cap = LineCap::Butt;
            break;
        case 1:
            pen.cap = LineCap::Square;
            break;
        case 2:
            pen.cap = LineCap::Round;
            break;
        case 3:
            pen.cap = LineCap::Diamond;
            break;
        default:
            break;
    }
    switch (s.joinStyle) {
        case 0:
            pen.join = LineJoin::Miter;
            break;
        case 1:
            pen.join = LineJoin::Bevel;
            break;
        case 2:
            pen.join = LineJoin::Round;
            break;
        case 3:
            pen.join = LineJoin::Diamond;
            break;
        default:
            break;
    }
    if (s.fillStyle >= 64 && s.fillStyle < kObjectFill) {
        pen.fill = static_cast<FillStyle>(s.fillStyle - 64);
    }
    if (s.physicalPenNumber > 0) {
        pen.number = s.physicalPenNumber;
    }
    return pen;
}

void PlotStyleTable::Validate() const {
    if (kind == TableKind::ColorDependent) {
        Check(styles.size() == kColorDependentStyles,
              "it holds " + std::to_string(styles.size()) + " colour styles instead of 255");
    } else {
        Check(!styles.empty(), "it holds no plot style");
    }
    Check(!lineweights.empty(), "its lineweight table is empty");
    for (double w : lineweights) {
        Check(std::isfinite(w) && w >= 0 && w <= 100,
              "its lineweight table holds " + std::to_string(w));
    }
    Check(std::isfinite(scaleFactor) && scaleFactor > 0, "its scale factor is invalid");
    for (const PlotStyle& s : styles) {
        const auto range = [&](int v, int lo, int hi, const char* field) {
            Check(v >= lo && v <= hi,
                  "style \"" + s.name + "\" has " + field + " " + std::to_string(v));
        };
        range(s.colorPolicy, 0, 7, "color_policy");
        range(s.physicalPenNumber, 0, 32, "physical_pen_number");
        range(s.virtualPenNumber, 0, 255, "virtual_pen_number");
        range(s.screen, 0, 100, "screen");
        range(s.linetype, 0, kObjectLinetype, "linetype");
        range(s.lineweight, 0, static_cast<int>(lineweights.size()) - 1, "lineweight");
        range(s.fillStyle, 64, kObjectFill, "fill_style");
        range(s.endStyle, 0, kObjectEnd, "end_style");
        Check(s.joinStyle >= 0 && s.joinStyle <= kObjectJoin && s.joinStyle != 4,
              "style \"" + s.name + "\" has join_style " + std::to_string(s.joinStyle));
        Check(std::isfinite(s.linepatternSize) && s.linepatternSize > 0,
              "style \"" + s.name + "\" has an invalid linepattern_size");
    }
}

PlotStyleTable NewColorDependentTable(std::string description) {
    PlotStyleTable t;
    t.kind = TableKind::ColorDependent;
    t.description = std::move(description);
    for (int i = 1; i <= kColorDependentStyles; ++i) {
        const std::string name = "Color_" + std::to_string(i);
        t.aciTable.push_back(name);
        PlotStyle s;
        s.name = name;
        s.localizedName = name;
        s.color = kObjectColorAci;
        s.modeColor = kObjectColorAci;
        t.styles.push_back(s);
    }
    return t;
}

PlotStyleTable NewNamedTable(std::string description) {
    PlotStyleTable t;
    t.kind = TableKind::Named;
    t.description = std::move(description);
    PlotStyle normal;
    normal.name = "Normal";
    normal.localizedName = "Normal";
    normal.color = kObjectColorAci;
    normal.modeColor = kObjectColorAci;
    t.styles.push_back(normal);
    return t;
}

}  // namespace vx::engine::plotstyle
