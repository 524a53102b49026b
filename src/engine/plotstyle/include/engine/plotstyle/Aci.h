// The index colours (ACI 1-255) of drawings.
#pragma once

#include "engine/plotstyle/Pen.h"

namespace vx::engine::plotstyle {

// The colour of index `aci` (1..255) as a drawing shows it on a dark screen: 7 is white.
// Indexes 10-249 follow the usual hue wheel (24 hues, five shades, full and half
// saturation); 250-255 are greys. Out-of-range indexes give white.
Rgb AciToRgb(int aci);

// The colour of index `aci` on paper: as AciToRgb, except that 7 (white on screen) plots
// black, as on every plotter.
Rgb AciPaperColor(int aci);

// The index colour nearest to `color` (1..255, by squared RGB distance, lowest index on a
// tie). Used to pick the colour-dependent style of an object that has a true colour.
int NearestAci(Rgb color);

}  // namespace vx::engine::plotstyle
