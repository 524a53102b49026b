// Writes the plot style tables shipped with Vormex, in the same file format as any other
// table: monochrome.ctb (every colour black), grayscale.ctb (every colour as its grey) and
// monochrome.stb (named styles, all black, with three fixed lineweights).
//
//     vormex-plotstyles <folder>
#include <cstdio>
#include <exception>
#include <filesystem>

#include "engine/plotstyle/PlotStyleFile.h"
#include "engine/plotstyle/PlotStyleTable.h"

using namespace vx::engine::plotstyle;

namespace {

constexpr Rgb kInk = kBlack;

int LineweightIndex(const PlotStyleTable& t, double mm) {
    for (std::size_t i = 0; i < t.lineweights.size(); ++i) {
        if (t.lineweights[i] == mm) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

PlotStyleTable Monochrome() {
    PlotStyleTable t = NewColorDependentTable("Plots every colour in black.");
    for (PlotStyle& s : t.styles) {
        s.color = EncodeStyleColor(kInk, true);
        s.modeColor = s.color;
    }
    return t;
}

PlotStyleTable Grayscale() {
    PlotStyleTable t = NewColorDependentTable("Plots every colour as its shade of grey.");
    for (PlotStyle& s : t.styles) {
        s.colorPolicy = kColorPolicyDithering | kColorPolicyGrayscale;
    }
    return t;
}

PlotStyleTable MonochromeNamed() {
    PlotStyleTable t = NewNamedTable("Plots every style in black.");
    const struct {
        const char* name;
        double lineweight;  // 0: the object's
    } styles[] = {{"Thin", 0.18}, {"Medium", 0.35}, {"Thick", 0.70}};
    for (const auto& def : styles) {
        PlotStyle s = t.styles.front();
        s.name = def.name;
        s.localizedName = def.name;
        s.lineweight = LineweightIndex(t, def.lineweight);
        t.styles.push_back(s);
    }
    for (PlotStyle& s : t.styles) {
        s.color = EncodeStyleColor(kInk, true);
        s.modeColor = s.color;
        s.colorPolicy = kColorPolicyDithering | kColorPolicyNamedColor;
    }
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vormex-plotstyles <folder>\n");
        return 2;
    }
    try {
        const std::filesystem::path folder = argv[1];
        std::filesystem::create_directories(folder);
        WritePlotStyleFile(folder / "monochrome.ctb", Monochrome());
        WritePlotStyleFile(folder / "grayscale.ctb", Grayscale());
        WritePlotStyleFile(folder / "monochrome.stb", MonochromeNamed());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vormex-plotstyles: %s\n", e.what());
        return 1;
    }
    return 0;
}
