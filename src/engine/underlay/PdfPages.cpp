#include "engine/underlay/PdfPages.h"

#include <QCoreApplication>
#include <QLibrary>
#include <chrono>
#include <cmath>
#include <mutex>
#include <string>

#include "engine/load/InputFile.h"
#include "engine/underlay/PdfModule.h"

namespace vx::engine::underlay {

#if VORMEX_HAVE_POPPLER

namespace {

using Clock = std::chrono::steady_clock;

// The PDF reader library, loaded at the first PDF file of the process and kept: from the
// program's folder, else from where the installation puts its libraries.
PdfModule* Module(std::string& error) {
    static std::once_flag once;
    static PdfModule* module = nullptr;
    // Never deleted: nothing of the library is torn down at exit, after Qt's own end.
    static auto* const library = new QLibrary;
    static std::string failure;
    std::call_once(once, [] {
        const QString folder = QCoreApplication::applicationDirPath();
        QString why = QStringLiteral("no program folder");
        for (const QString& place :
             {folder, folder + QStringLiteral("/" VORMEX_MODULES_FROM_PROGRAM)}) {
            if (folder.isEmpty()) {
                break;
            }
            library->setFileName(place + QStringLiteral("/vormex_pdf"));
            if (const auto entry =
                    reinterpret_cast<PdfModuleEntry>(library->resolve(kPdfModuleEntry))) {
                module = entry();
                return;  // the library stays loaded for the rest of the process
            }
            why = library->errorString();
        }
        failure = "cannot be read: the PDF reader library could not be loaded (" +
                  why.toStdString() + ")";
    });
    error = failure;
    return module;
}

}  // namespace

struct PdfPages::Document {
    std::unique_ptr<PdfModuleDocument> doc;
    std::string error;
};

bool PdfAvailable() {
    std::string error;
    return Module(error) != nullptr;
}

PdfPages::Document* PdfPages::Find(const std::filesystem::path& file, std::string& error) {
    auto it = documents_.find(file);
    if (it == documents_.end()) {
        auto d = std::make_unique<Document>();
        std::string bytes;
        const bool read = load::ReadRegularFile(file, limits_.maxFileBytes, bytes, d->error);
        if (!read) {
            // the reason is in d->error
        } else if (std::string_view(bytes).substr(0, 1024).find("%PDF-") == std::string::npos) {
            d->error = "is not a PDF file";
        } else if (PdfModule* module = Module(d->error)) {
            d->doc = module->Load(bytes, d->error);
        }
        it = documents_.emplace(file, std::move(d)).first;
    }
    error = it->second->error;
    return it->second->doc ? it->second.get() : nullptr;
}

PdfPages::Page PdfPages::Open(const std::filesystem::path& file, std::string_view pageName) {
    Page r;
    Document* d = Find(file, r.error);
    if (d) {
        r.ok = d->doc->PageSize(pageName, r.widthPt, r.heightPt, r.error);
    }
    return r;
}

QImage PdfPages::Render(const std::filesystem::path& file, std::string_view pageName,
                        QRectF& regionPt, double pixelsPerPt, std::string& error) {
    Document* d = Find(file, error);
    if (!d) {
        return {};
    }
    double widthPt = 0, heightPt = 0;
    if (!d->doc->PageSize(pageName, widthPt, heightPt, error)) {
        return {};
    }
    const double x0 = std::floor(regionPt.left() * pixelsPerPt);
    const double y0 = std::floor(regionPt.top() * pixelsPerPt);
    const double w = std::ceil(regionPt.right() * pixelsPerPt) - x0;
    const double h = std::ceil(regionPt.bottom() * pixelsPerPt) - y0;
    if (!(pixelsPerPt > 0) || !(w >= 1 && h >= 1) || !std::isfinite(w * h)) {
        error = "has nothing to draw there";
        return {};
    }
    if (w * h > static_cast<double>(limits_.maxPixels) || w > 1e6 || h > 1e6) {
        error = "would be too large an image at this resolution";
        return {};
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(limits_.maxMilliseconds);
    QImage image = d->doc->Render(pageName, static_cast<int>(x0), static_cast<int>(y0),
                                  static_cast<int>(w), static_cast<int>(h), pixelsPerPt * 72.0,
                                  deadline.time_since_epoch().count(), error);
    if (Clock::now() > deadline) {
        error = "took too long to draw";
        return {};
    }
    if (image.isNull()) {
        if (error.empty()) {
            error = "could not be drawn";
        }
        return {};
    }
    regionPt = QRectF(x0 / pixelsPerPt, y0 / pixelsPerPt, w / pixelsPerPt, h / pixelsPerPt);
    return image;
}

#else

struct PdfPages::Document {};

bool PdfAvailable() {
    return false;
}

PdfPages::Document* PdfPages::Find(const std::filesystem::path&, std::string& error) {
    error = "cannot be read: this build reads no PDF files";
    return nullptr;
}

PdfPages::Page PdfPages::Open(const std::filesystem::path& file, std::string_view) {
    Page r;
    Find(file, r.error);
    return r;
}

QImage PdfPages::Render(const std::filesystem::path& file, std::string_view, QRectF&, double,
                        std::string& error) {
    Find(file, error);
    return {};
}

#endif

PdfPages::PdfPages(PdfLimits limits) : limits_(limits) {}
PdfPages::~PdfPages() = default;

}  // namespace vx::engine::underlay
