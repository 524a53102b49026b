// Opening a page on one of the output back ends.
#pragma once

#include <QString>
#include <memory>

#include "engine/output/PageSink.h"

namespace vx::engine::output {

enum class OutputKind { Pdf, Svg, Png, Hpgl, Printer };

struct OutputTarget {
    OutputKind kind = OutputKind::Pdf;
    // The file to write (every kind but Printer); replaced atomically when the page is
    // finished.
    QString file;
    // The system printer (Printer), its name for the sheet, and the number of copies.
    QString printer;
    QString paperName;
    int copies = 1;
    // Image resolution (Png).
    int dotsPerInch = 200;
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
