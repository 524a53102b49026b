#include "engine/underlay/PdfPages.h"

#include <QByteArray>
#include <QColor>
#include <QVariant>
#include <chrono>
#include <cmath>
#include <string>

#include "engine/load/InputFile.h"

#if VORMEX_HAVE_POPPLER
#include <poppler-qt6.h>

#include <mutex>
#endif

namespace vx::engine::underlay {

#if VORMEX_HAVE_POPPLER

namespace {

using Clock = std::chrono::steady_clock;

// Poppler reports damage in a file on the standard error; our warnings say what matters.
void QuietPoppler() {
    static std::once_flag once;
    std::call_once(once, [] {
        Poppler::setDebugErrorFunction([](const QString&, const QVariant&) {}, QVariant());
    });
}

bool PastDeadline(const QVariant& deadline) {
    return Clock::now().time_since_epoch().count() > deadline.toLongLong();
}

}  // namespace

struct PdfPages::Document {
    std::unique_ptr<Poppler::Document> doc;
    std::string error;
};

bool PdfAvailable() {
    return true;
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
        } else {
            QuietPoppler();
            d->doc = Poppler::Document::loadFromData(
                QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
            if (!d->doc) {
                d->error = "cannot be read as a PDF file";
            } else if (d->doc->isLocked()) {
                d->doc.reset();
                d->error = "is protected by a password";
            } else {
                d->doc->setRenderHint(Poppler::Document::Antialiasing);
                d->doc->setRenderHint(Poppler::Document::TextAntialiasing);
                d->doc->setPaperColor(Qt::white);
            }
        }
        it = documents_.emplace(file, std::move(d)).first;
    }
    error = it->second->error;
    return it->second->doc ? it->second.get() : nullptr;
}

namespace {

std::unique_ptr<Poppler::Page> PageOf(const Poppler::Document& doc, std::string_view name,
                                      std::string& error) {
    int number = 0;
    bool digits = !name.empty() && name.size() < 9;
    for (char c : name) {
        digits = digits && c >= '0' && c <= '9';
        number = digits ? number * 10 + (c - '0') : number;
    }
    std::unique_ptr<Poppler::Page> page;
    if (name.empty()) {
        page = doc.page(0);
    } else if (digits && number >= 1 && number <= doc.numPages()) {
        page = doc.page(number - 1);
    } else if (!digits) {
        page = doc.page(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }
    if (!page) {
        error = "has no page " + std::string(name.empty() ? "1" : name);
    }
    return page;
}

}  // namespace

PdfPages::Page PdfPages::Open(const std::filesystem::path& file, std::string_view pageName) {
    Page r;
    const Document* d = Find(file, r.error);
    if (!d) {
        return r;
    }
    const auto page = PageOf(*d->doc, pageName, r.error);
    if (!page) {
        return r;
    }
    const QSizeF size = page->pageSizeF();
    if (!(size.width() > 0 && size.height() > 0)) {
        r.error = "has a page without size";
        return r;
    }
    r.ok = true;
    r.widthPt = size.width();
    r.heightPt = size.height();
    return r;
}

QImage PdfPages::Render(const std::filesystem::path& file, std::string_view pageName,
                        QRectF& regionPt, double pixelsPerPt, std::string& error) {
    const Document* d = Find(file, error);
    if (!d) {
        return {};
    }
    const auto page = PageOf(*d->doc, pageName, error);
    if (!page) {
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
    const double dpi = pixelsPerPt * 72.0;
    QImage image = page->renderToImage(
        dpi, dpi, static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(w),
        static_cast<int>(h), Poppler::Page::Rotate0, nullptr, nullptr, PastDeadline,
        QVariant(static_cast<qlonglong>(deadline.time_since_epoch().count())));
    if (Clock::now() > deadline) {
        error = "took too long to draw";
        return {};
    }
    if (image.isNull()) {
        error = "could not be drawn";
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
