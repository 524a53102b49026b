// Opening a page on one of the output back ends.
#pragma once

#include <QString>
#include <filesystem>
#include <memory>
#include <vector>

#include "engine/output/PageSink.h"

namespace vx::engine::output {

enum class OutputKind { Pdf, Svg, Png, Hpgl, Printer };

// A pen a plotter holds from the start (HP-GL/2 files declare them before drawing).
struct PlotterPen {
    int number = 1;
    plotstyle::Rgb color;
    double widthMm = 0.25;
};

struct OutputTarget {
    OutputKind kind = OutputKind::Pdf;
    // The file to write (every kind but Printer), by its file-system name; replaced
    // atomically when the page is finished.
    std::filesystem::path file;
    // The system printer (Printer), its name for the sheet, and the number of copies.
    QString printer;
    QString paperName;
    int copies = 1;
    // Image resolution (Png).
    int dotsPerInch = 200;
    // The plotter's pens (Hpgl).
    std::vector<PlotterPen> pens;
    // Document title (PDF, SVG) or print job name (Printer).
    QString title;
    // The largest output accepted for the page; 0: the default of the kind (50 MB for a
    // vector page, 512 MB for an image).
    std::int64_t maxBytes = 0;
};

// Larger image files are refused as runaway plots.
inline constexpr std::int64_t kMaxImagePageBytes = 512LL * 1024 * 1024;

// Opens the page. Throws OutputError when the file cannot be created, the printer is not
// available or the page cannot be made at that size.
std::unique_ptr<PageSink> OpenPage(const OutputTarget& target, const PageFormat& format);

}  // namespace vx::engine::output
