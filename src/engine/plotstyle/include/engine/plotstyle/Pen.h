// The pen a primitive is plotted with: everything an output back end needs to put a line,
// an area or a glyph on paper, already resolved through the plot style table.
#pragma once

#include <compare>
#include <cstdint>
#include <vector>

namespace vx::engine::plotstyle {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
    friend auto operator<=>(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};

enum class LineCap { Butt, Square, Round, Diamond };
enum class LineJoin { Miter, Bevel, Round, Diamond };
// How a filled area is inked: solid, or one of the plot style patterns.
enum class FillStyle {
    Solid,
    Checkerboard,
    Crosshatch,
    Diamonds,
    HorizontalBars,
    SlantLeft,
    SlantRight,
    SquareDots,
    VerticalBars
};

struct Pen {
    // The colour that lands on the paper: after the colour policy (grayscale) and screening.
    Rgb color = kBlack;
    // Millimetres on the paper; 0 is the thinnest line the device draws.
    double lineweight = 0.0;
    LineCap cap = LineCap::Round;
    LineJoin join = LineJoin::Round;
    FillStyle fill = FillStyle::Solid;
    // 1..255: the pen an HP-GL/2 plotter selects (the style's physical pen, else the
    // object's colour number).
    int number = 7;
    // A linetype forced by the plot style: dash and gap lengths in paper millimetres,
    // alternating and beginning with a dash (a dash of 0 is a dot). Empty: draw the
    // geometry as given (the object's own linetype is already in it).
    std::vector<double> dashes;
    // Stretch the pattern so that a line begins and ends with a dash.
    bool adaptiveDashes = true;

    friend bool operator==(const Pen&, const Pen&) = default;
};

}  // namespace vx::engine::plotstyle
