#include "engine/plotstyle/Aci.h"

#include <array>
#include <cmath>

namespace vx::engine::plotstyle {

namespace {

// Nearest integer, halves rounded down (127.5 -> 127), as the usual palette has it.
std::uint8_t Byte(double v) {
    return static_cast<std::uint8_t>(std::ceil(std::fmin(255.0, std::fmax(0.0, v)) - 0.5));
}

// Hue in degrees (a multiple of 15), value 0..255, saturation 1 or 0.5.
Rgb FromHsv(double hue, double value, double saturation) {
    const double sector = hue / 60.0;
    const int i = static_cast<int>(std::floor(sector)) % 6;
    const double f = sector - std::floor(sector);
    const double p = value * (1 - saturation);
    const double q = value * (1 - saturation * f);
    const double t = value * (1 - saturation * (1 - f));
    switch (i) {
        case 0:
            return {Byte(value), Byte(t), Byte(p)};
        case 1:
            return {Byte(q), Byte(value), Byte(p)};
        case 2:
            return {Byte(p), Byte(value), Byte(t)};
        case 3:
            return {Byte(p), Byte(q), Byte(value)};
        case 4:
            return {Byte(t), Byte(p), Byte(value)};
        default:
            return {Byte(value), Byte(p), Byte(q)};
    }
}

std::array<Rgb, 256> BuildPalette() {
    std::array<Rgb, 256> p{};
    p[0] = kBlack;
    p[1] = {255, 0, 0};
    p[2] = {255, 255, 0};
    p[3] = {0, 255, 0};
    p[4] = {0, 255, 255};
    p[5] = {0, 0, 255};
    p[6] = {255, 0, 255};
    p[7] = kWhite;
    p[8] = {128, 128, 128};
    p[9] = {192, 192, 192};
    // Ten shades per hue: value 255, 165, 127, 76, 38, each at full and half saturation.
    constexpr double values[5] = {255, 165, 127, 76, 38};
    for (int aci = 10; aci <= 249; ++aci) {
        const double hue = ((aci - 10) / 10) * 15.0;
        const int shade = (aci - 10) % 10;
        p[static_cast<std::size_t>(aci)] =
            FromHsv(hue, values[shade / 2], shade % 2 == 0 ? 1.0 : 0.5);
    }
    constexpr std::uint8_t greys[6] = {51, 80, 105, 130, 190, 255};
    for (int i = 0; i < 6; ++i) {
        p[static_cast<std::size_t>(250 + i)] = {greys[i], greys[i], greys[i]};
    }
    return p;
}

const std::array<Rgb, 256>& Palette() {
    static const std::array<Rgb, 256> palette = BuildPalette();
    return palette;
}

}  // namespace

Rgb AciToRgb(int aci) {
    if (aci < 1 || aci > 255) {
        return kWhite;
    }
    return Palette()[static_cast<std::size_t>(aci)];
}

Rgb AciPaperColor(int aci) {
    return aci == 7 ? kBlack : AciToRgb(aci);
}

int NearestAci(Rgb color) {
    int best = 1;
    long bestDistance = -1;
    for (int aci = 1; aci <= 255; ++aci) {
        const Rgb c = Palette()[static_cast<std::size_t>(aci)];
        const long dr = c.r - color.r;
        const long dg = c.g - color.g;
        const long db = c.b - color.b;
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            best = aci;
            bestDistance = d;
        }
    }
    return best;
}

}  // namespace vx::engine::plotstyle
