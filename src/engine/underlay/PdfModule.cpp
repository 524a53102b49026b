// The PDF reader library (vormex_pdf): pages of PDF files through Poppler's Qt 6 binding.
#include "engine/underlay/PdfModule.h"

#include <poppler-qt6.h>

#include <QByteArray>
#include <QColor>
#include <QVariant>
#include <chrono>

namespace vx::engine::underlay {

namespace {

using Clock = std::chrono::steady_clock;

bool PastDeadline(const QVariant& deadline) {
    return Clock::now().time_since_epoch().count() > deadline.toLongLong();
}

class Document : public PdfModuleDocument {
public:
    explicit Document(std::unique_ptr<Poppler::Document> doc) : doc_(std::move(doc)) {}

    bool PageSize(std::string_view pageName, double& widthPt, double& heightPt,
                  std::string& error) override {
        const auto page = PageOf(pageName, error);
        if (!page) {
            return false;
        }
        const QSizeF size = page->pageSizeF();
        if (!(size.width() > 0 && size.height() > 0)) {
            error = "has a page without size";
            return false;
        }
        widthPt = size.width();
        heightPt = size.height();
        return true;
    }

    QImage Render(std::string_view pageName, int x0, int y0, int w, int h, double dpi,
                  long long deadline, std::string& error) override {
        const auto page = PageOf(pageName, error);
        if (!page) {
            return {};
        }
        return page->renderToImage(dpi, dpi, x0, y0, w, h, Poppler::Page::Rotate0, nullptr, nullptr,
                                   PastDeadline, QVariant(static_cast<qlonglong>(deadline)));
    }

private:
    std::unique_ptr<Poppler::Page> PageOf(std::string_view name, std::string& error) const {
        int number = 0;
        bool digits = !name.empty() && name.size() < 9;
        for (char c : name) {
            digits = digits && c >= '0' && c <= '9';
            number = digits ? number * 10 + (c - '0') : number;
        }
        std::unique_ptr<Poppler::Page> page;
        if (name.empty()) {
            page = doc_->page(0);
        } else if (digits && number >= 1 && number <= doc_->numPages()) {
            page = doc_->page(number - 1);
        } else if (!digits) {
            page = doc_->page(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
        }
        if (!page) {
            error = "has no page " + std::string(name.empty() ? "1" : name);
        }
        return page;
    }

    std::unique_ptr<Poppler::Document> doc_;
};

class Module : public PdfModule {
public:
    Module() {
        // Poppler reports damage in a file on the standard error; our warnings say what
        // matters.
        Poppler::setDebugErrorFunction([](const QString&, const QVariant&) {}, QVariant());
    }

    std::unique_ptr<PdfModuleDocument> Load(const std::string& bytes, std::string& error) override {
        auto doc = Poppler::Document::loadFromData(
            QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
        if (!doc) {
            error = "cannot be read as a PDF file";
            return nullptr;
        }
        if (doc->isLocked()) {
            error = "is protected by a password";
            return nullptr;
        }
        doc->setRenderHint(Poppler::Document::Antialiasing);
        doc->setRenderHint(Poppler::Document::TextAntialiasing);
        doc->setPaperColor(Qt::white);
        return std::make_unique<Document>(std::move(doc));
    }
};

}  // namespace

}  // namespace vx::engine::underlay

#if defined(_WIN32)
#define VORMEX_PDF_EXPORT extern "C" __declspec(dllexport)
#else
#define VORMEX_PDF_EXPORT extern "C" __attribute__((visibility("default")))
#endif

VORMEX_PDF_EXPORT vx::engine::underlay::PdfModule* vormex_pdf_module() {
    static vx::engine::underlay::Module module;
    return &module;
}
