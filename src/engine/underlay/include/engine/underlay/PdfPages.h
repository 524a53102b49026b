// Pages of PDF files as images, for the underlays that show them. The renderer asks for a
// page's size and for a part of a page at a resolution; it never sees the file's format.
//
//   underlay::PdfPages pages;
//   const auto page = pages.Open(path, "1");
//   if (!page.ok) { warn(page.error); }
//   QRectF part(0, 0, 72, 72);  // the top-left square inch, in points
//   QImage image = pages.Render(path, "1", part, 300.0 / 72, error);
//
// Files are untrusted: only regular files up to `PdfLimits::maxFileBytes` are read (pipes,
// devices and folders are refused without waiting), a rendering has a pixel budget and a
// time limit, and a password-protected file is refused. Each file is read once per
// PdfPages. Not thread-safe: give each rendering thread its own.
#pragma once

#include <QImage>
#include <QRectF>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace vx::engine::underlay {

// Whether this build reads PDF files (it does wherever Poppler's Qt 6 binding was found).
bool PdfAvailable();

struct PdfLimits {
    std::uintmax_t maxFileBytes = std::uintmax_t{256} << 20;
    // The largest image a rendering makes (width times height); larger parts are refused.
    std::int64_t maxPixels = 40'000'000;
    // A page that takes longer to draw is given up.
    int maxMilliseconds = 60'000;
};

class PdfPages {
public:
    explicit PdfPages(PdfLimits limits = {});
    ~PdfPages();
    PdfPages(const PdfPages&) = delete;
    PdfPages& operator=(const PdfPages&) = delete;

    const PdfLimits& Limits() const { return limits_; }

    struct Page {
        bool ok = false;
        std::string error;  // why not: "no such file", "is not a PDF file", "has no page 3", ...
        double widthPt = 0, heightPt = 0;  // as shown (the page's own rotation applied)
    };
    // The page named `pageName` of `file`: its number, "1" the first (empty: the first).
    Page Open(const std::filesystem::path& file, std::string_view pageName);

    // Draws the part `regionPt` of the page (points from its top-left corner, y down) at
    // `pixelsPerPt`, white where the page shows nothing; `regionPt` becomes the part drawn,
    // grown to whole pixels. A null image with `error` set when the page cannot be opened,
    // the part is empty or larger than the pixel budget, or the drawing takes too long.
    QImage Render(const std::filesystem::path& file, std::string_view pageName, QRectF& regionPt,
                  double pixelsPerPt, std::string& error);

private:
    struct Document;
    Document* Find(const std::filesystem::path& file, std::string& error);

    PdfLimits limits_;
    std::map<std::filesystem::path, std::unique_ptr<Document>> documents_;
};

}  // namespace vx::engine::underlay
