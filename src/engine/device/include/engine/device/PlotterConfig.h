// Plotter configuration files (.pc3): the engine's plot devices that write files.
//
// A small text format of our own, UTF-8, one `key = value` per line; lines beginning with
// '#' and blank lines are ignored; keys are case-insensitive:
//
//     format      = vormex-plotter 1          first key, required
//     driver      = pdf | svg | png | hpgl    required
//     description = free text
//     resolution  = 200                       dots per inch of a png image (10..2400)
//     extension   = plt                       plot file extension (default by driver)
//     margins     = 5 5 5 5                   printable margins (left bottom right top, mm)
//                                             of the papers that follow
//     paper       = ISO_A4_(210.00_x_297.00_MM) [margins 5 5 5 5]
//                                             a paper by canonical name, in list order; it
//                                             may carry margins of its own
//     default     = ISO_A4_(210.00_x_297.00_MM)
//                                             the paper of a new layout (default: the first)
//     pen         = 1 #000000 0.25            a pen of the plotter: number (1-255), colour,
//                                             width in mm (HP-GL/2 files declare them first)
//
// The device's name is its file name ("PDF.pc3"); a file is never written by the engine.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/page/Media.h"
#include "engine/plotstyle/Pen.h"

namespace vx::engine::device {

// A device that cannot be used, with a description for the user.
class DeviceError : public std::runtime_error {
public:
    explicit DeviceError(const std::string& description) : std::runtime_error(description) {}
};

enum class Driver { Pdf, Svg, Png, Hpgl };

struct PenDefinition {
    int number = 1;
    plotstyle::Rgb color;
    double widthMm = 0.25;
    friend bool operator==(const PenDefinition&, const PenDefinition&) = default;
};

struct PlotterConfig {
    Driver driver = Driver::Pdf;
    std::string description;
    int resolution = 200;
    std::string extension;  // without the dot
    std::vector<page::Media> papers;
    std::string defaultPaper;
    std::vector<PenDefinition> pens;
};

// The usual plot file extension of a driver: pdf, svg, png, plt.
std::string DefaultExtension(Driver driver);
const char* DriverName(Driver driver);

// Reads a configuration; `fileName` names it in error descriptions. Throws DeviceError with
// the line and what is wrong: no format line, an unknown key or driver, a paper name that
// gives no size, margins that leave nothing printable, a default paper the list lacks, a
// bad pen, or no paper at all.
PlotterConfig ParsePlotterConfig(std::string_view text, std::string_view fileName);
PlotterConfig ReadPlotterConfig(const std::filesystem::path& file);

// The text of a configuration (used to write examples and tests; the engine never writes
// device files on its own).
std::string PlotterConfigText(const PlotterConfig& config);

}  // namespace vx::engine::device
