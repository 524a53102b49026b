// The PDF reader as a library of its own (vormex_pdf), which the engine loads when it first
// reads a PDF file: Poppler and the dozen libraries it brings are loaded by the runs that
// show a PDF underlay only. Both sides are built together; the library offers one
// function, kPdfModuleEntry, that gives its reader.
#pragma once

#include <QImage>
#include <memory>
#include <string>
#include <string_view>

namespace vx::engine::underlay {

// A PDF file read into memory.
class PdfModuleDocument {
public:
    virtual ~PdfModuleDocument() = default;
    // The size of the page named `pageName` (its number, "1" the first; empty: the first)
    // in points, as shown; false with `error` set when there is no such page.
    virtual bool PageSize(std::string_view pageName, double& widthPt, double& heightPt,
                          std::string& error) = 0;
    // The pixels x0, y0, w, h of the page drawn at `dpi`, white where the page shows
    // nothing; a drawing still under way at `deadline` (steady clock ticks) is given up.
    virtual QImage Render(std::string_view pageName, int x0, int y0, int w, int h, double dpi,
                          long long deadline, std::string& error) = 0;
};

class PdfModule {
public:
    virtual ~PdfModule() = default;
    // The document of `bytes` (a whole PDF file); null with `error` set when it cannot be
    // read or is protected by a password.
    virtual std::unique_ptr<PdfModuleDocument> Load(const std::string& bytes,
                                                    std::string& error) = 0;
};

// The library's one exported function: its reader, which lives as long as the library.
using PdfModuleEntry = PdfModule* (*)();
inline constexpr char kPdfModuleEntry[] = "vormex_pdf_module";

}  // namespace vx::engine::underlay
