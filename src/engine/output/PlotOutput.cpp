#include "engine/output/PlotOutput.h"

#include "engine/output/HpglWriter.h"
#include "engine/output/PainterBackend.h"

namespace vx::engine::output {

std::unique_ptr<PageSink> OpenPage(const OutputTarget& t, const PageFormat& format) {
    if (!(format.widthMm > 0 && format.heightMm > 0)) {
        throw OutputError("The page has no size.");
    }
    const auto limit = [&](std::int64_t fallback) {
        return t.maxBytes > 0 ? t.maxBytes : fallback;
    };
    switch (t.kind) {
        case OutputKind::Pdf:
            return std::make_unique<PdfSink>(t.file, format, t.title, limit(kMaxVectorPageBytes));
        case OutputKind::Svg:
            return std::make_unique<SvgSink>(t.file, format, t.title, limit(kMaxVectorPageBytes));
        case OutputKind::Png:
            return std::make_unique<PngSink>(t.file, format, t.dotsPerInch,
                                             limit(kMaxImagePageBytes));
        case OutputKind::Hpgl:
            return std::make_unique<HpglSink>(t.file, format, limit(kMaxVectorPageBytes), t.pens);
        case OutputKind::Printer:
            return std::make_unique<PrinterSink>(t.printer, format, t.paperName, t.copies, t.title);
    }
    throw OutputError("Unknown output kind.");
}

}  // namespace vx::engine::output
