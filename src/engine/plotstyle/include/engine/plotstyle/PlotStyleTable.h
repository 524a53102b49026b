// Plot style tables: colour-dependent (.ctb, one style per index colour 1-255) and named
// (.stb, styles chosen by name, "Normal" first), and the mapping of an object's resolved
// properties to the pen it is plotted with.
//
// The fields are those of the files (see PlotStyleFile.h):
//   color / mode_color  0xTTRRGGBB as a signed 32-bit number; TT = C2 (true colour) or C3
//                       (index colour) with the RGB bytes, C0/C1 (by layer/by block); -1 or
//                       0xC3FFFFFF: use the object's colour. mode_color, when present, holds
//                       the colour the style plots with (color then holds its nearest index
//                       colour); the object's colour applies when neither names a colour.
//   color_policy        bits: 1 dithering, 2 grayscale, 4 named colour.
//   screen              0..100: ink percentage (100 = full colour, 0 = white).
//   linetype            0..30: a plot style linetype; 31: the object's linetype.
//   lineweight          an index into the lineweight table (millimetres); an entry of 0.0
//                       means the object's lineweight.
//   fill_style          64 solid ... 72 vertical bars; 73: the object's fill.
//   end_style           0 butt, 1 square, 2 round, 3 diamond; 4: the object's.
//   join_style          0 miter, 1 bevel, 2 round, 3 diamond; 5: the object's.
//   physical_pen_number 0 (automatic) or 1..32; virtual_pen_number 0 or 1..255.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/plotstyle/Pen.h"

namespace vx::engine::plotstyle {

// A damaged or unreadable table, with a description for the user.
class PlotStyleError : public std::runtime_error {
public:
    explicit PlotStyleError(const std::string& description) : std::runtime_error(description) {}
};

inline constexpr std::int32_t kObjectColor = -1;
inline constexpr std::int32_t kObjectColorAci = static_cast<std::int32_t>(0xC3FFFFFFu);
inline constexpr int kObjectLinetype = 31;
inline constexpr int kObjectFill = 73;
inline constexpr int kObjectEnd = 4;
inline constexpr int kObjectJoin = 5;
inline constexpr int kColorPolicyDithering = 1;
inline constexpr int kColorPolicyGrayscale = 2;
inline constexpr int kColorPolicyNamedColor = 4;
inline constexpr int kColorDependentStyles = 255;

// A colour as the files store it: type byte 0xC2 (true colour) or 0xC3 (index colour).
std::int32_t EncodeStyleColor(Rgb color, bool indexColor = false);

struct PlotStyle {
    std::string name;
    std::string localizedName;
    std::string description;
    std::int32_t color = kObjectColor;
    std::optional<std::int32_t> modeColor;
    int colorPolicy = kColorPolicyDithering;
    int physicalPenNumber = 0;
    int virtualPenNumber = 0;
    int screen = 100;
    double linepatternSize = 0.5;
    int linetype = kObjectLinetype;
    bool adaptiveLinetype = true;
    int lineweight = 0;
    int fillStyle = kObjectFill;
    int endStyle = kObjectEnd;
    int joinStyle = kObjectJoin;

    // The colour the style forces, or nullopt when it plots the object's colour.
    std::optional<Rgb> FixedColor() const;
    friend bool operator==(const PlotStyle&, const PlotStyle&) = default;
};

// An object's properties after ByLayer/ByBlock and defaults are resolved by the caller.
struct ObjectProperties {
    // 1..255. For an object with a true colour: the nearest index colour (NearestAci),
    // which picks its style in a colour-dependent table.
    int aci = 7;
    std::optional<Rgb> trueColor;
    // Millimetres (the drawing's default lineweight already applied).
    double lineweight = 0.25;
    // The plot style name, for named tables.
    std::string plotStyleName = "Normal";
    LineCap cap = LineCap::Round;
    LineJoin join = LineJoin::Round;
};

// The standard lineweights of the tables, in millimetres (index 0..26).
const std::vector<double>& StandardLineweights();

// The plot style linetypes 0..30: name, and the pattern in millimetres for a given pattern
// size and scale. Patterns 17..30 are the ISO ones, in multiples of the pattern size (dash
// 12, gap 3, long dash 24, dot 0.5, space 18); 0..16 are fixed lengths times `scale`.
const char* PlotStyleLinetypeName(int linetype);
std::vector<double> PlotStyleLinetypePattern(int linetype, double patternSize, double scale);

// The pen for an object when no table applies: its own colour (index 7 black on paper),
// lineweight, caps and joins, solid fill, pen number = its colour index.
Pen ObjectPen(const ObjectProperties& object);

enum class TableKind { ColorDependent, Named };

struct PlotStyleTable {
    TableKind kind = TableKind::ColorDependent;
    std::string description;
    double scaleFactor = 1.0;
    bool applyFactor = false;
    int customLineweightDisplayUnits = 0;
    // Colour-dependent tables: the names of the 255 index colours ("Color_1" ...).
    std::vector<std::string> aciTable;
    // Colour-dependent: 255 styles, index 0 for colour 1. Named: "Normal" first.
    std::vector<PlotStyle> styles;
    std::vector<double> lineweights = StandardLineweights();

    // The style of index colour 1..255 (colour-dependent tables), else nullptr.
    const PlotStyle* StyleForAci(int aci) const;
    // The style of that name, letter case ignored (named tables), else nullptr.
    const PlotStyle* StyleNamed(std::string_view name) const;
    // The style that applies to the object: by colour or by name; a name the table lacks
    // falls back to "Normal". nullptr when there is none.
    const PlotStyle* StyleFor(const ObjectProperties& object) const;

    // The pen for the object: colour (fixed or the object's), grayscale, screening,
    // lineweight (fixed or the object's), linetype, end and join style, fill style, pen
    // number (physical pen, else the object's colour index). Without a style: ObjectPen.
    Pen PenFor(const ObjectProperties& object) const;
    Pen PenFor(const ObjectProperties& object, const PlotStyle& style) const;

    // Checks what a reader or writer relies on: 255 styles for a colour-dependent table, a
    // style for a named one, every field in its range, lineweight indexes inside the table.
    // Throws PlotStyleError naming the first fault.
    void Validate() const;

    friend bool operator==(const PlotStyleTable&, const PlotStyleTable&) = default;
};

// A colour-dependent table whose 255 styles plot the object's properties unchanged.
PlotStyleTable NewColorDependentTable(std::string description);
// A named table with only "Normal" (the object's properties unchanged).
PlotStyleTable NewNamedTable(std::string description);

}  // namespace vx::engine::plotstyle
