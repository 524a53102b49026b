#include "engine/device/Printers.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <cctype>
#include <cmath>

namespace vx::engine::device {

namespace {

// Printers report sizes rounded to points: a millimetre is "the same size".
constexpr double kSameSizeMm = 1.0;

bool SameSize(const page::Media& m, double w, double h) {
    return std::abs(m.widthMm - w) <= kSameSizeMm && std::abs(m.heightMm - h) <= kSameSizeMm;
}

double MmPer(QPageLayout::Unit unit) {
    switch (unit) {
        case QPageLayout::Millimeter:
            return 1.0;
        case QPageLayout::Inch:
            return 25.4;
        case QPageLayout::Pica:
            return 25.4 / 6;
        case QPageLayout::Didot:
            return 0.375972;
        case QPageLayout::Cicero:
            return 4.511658;
        case QPageLayout::Point:
            break;
    }
    return 25.4 / 72;
}

// "US Letter (8.5 x 11 in)" -> "US_Letter": the words of a name before any bracket.
std::string Stem(const std::string& name) {
    std::string out;
    for (char c : name.substr(0, name.find('('))) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.') {
            out.push_back(c);
        } else if (!out.empty() && out.back() != '_') {
            out.push_back('_');
        }
    }
    while (!out.empty() && out.back() == '_') {
        out.pop_back();
    }
    return out.empty() ? "Paper" : out;
}

class QtPrinters final : public PrinterCatalog {
public:
    std::vector<std::string> Names() override {
        std::vector<std::string> names;
        for (const QString& n : QPrinterInfo::availablePrinterNames()) {
            names.push_back(n.toStdString());
        }
        return names;
    }

    std::vector<page::Media> Papers(const std::string& printer) override {
        std::vector<page::Media> papers;
        const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(printer));
        if (info.isNull()) {
            return papers;
        }
        for (const QPageSize& size : info.supportedPageSizes()) {
            page::Media m = FromPageSize(size);
            const bool seen = std::any_of(papers.begin(), papers.end(), [&](const page::Media& p) {
                return p.canonicalName == m.canonicalName;
            });
            if (!seen) {
                papers.push_back(m);
            }
        }
        return papers;
    }

    std::optional<std::string> DefaultPaper(const std::string& printer) override {
        const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(printer));
        if (info.isNull() || !info.defaultPageSize().isValid()) {
            return std::nullopt;
        }
        return FromPageSize(info.defaultPageSize()).canonicalName;
    }

    page::Margins Margins(const std::string& printer, const page::Media& paper) override {
        const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(printer));
        if (info.isNull()) {
            return {};
        }
        QPrinter p(info, QPrinter::HighResolution);
        const bool landscape = paper.widthMm > paper.heightMm;
        const QSizeF portrait = landscape ? QSizeF(paper.heightMm, paper.widthMm)
                                          : QSizeF(paper.widthMm, paper.heightMm);
        p.setPageSize(QPageSize(portrait, QPageSize::Millimeter));
        p.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        const QMarginsF m = p.pageLayout().minimumMargins();
        const double toMm = MmPer(p.pageLayout().units());
        // Left, top, right, bottom as the sheet lies -> ours (left, bottom, right, top).
        return {m.left() * toMm, m.bottom() * toMm, m.right() * toMm, m.top() * toMm};
    }

private:
    static page::Media FromPageSize(const QPageSize& size) {
        const QSizeF mm = size.size(QPageSize::Millimeter);
        return PrinterMedia(size.key().toStdString(), size.name().toStdString(), mm.width(),
                            mm.height(), size.definitionUnits() == QPageSize::Inch);
    }
};

}  // namespace

page::Media PrinterMedia(const std::string& key, const std::string& displayName, double widthMm,
                         double heightMm, bool definedInInches) {
    for (const std::string& name : {key, displayName}) {
        // Short names of standard papers only; sized names are rebuilt below.
        if (name.empty() || name.find('(') != std::string::npos) {
            continue;
        }
        if (auto standard = page::ParseMediaName(name)) {
            if (SameSize(*standard, widthMm, heightMm)) {
                return *standard;
            }
        }
    }
    for (const page::Media& m : page::StandardMedia()) {
        if (SameSize(m, widthMm, heightMm)) {
            return m;
        }
    }
    const page::PaperUnits units =
        definedInInches ? page::PaperUnits::Inches : page::PaperUnits::Millimeters;
    const double k = page::MmPerUnit(units);
    page::Media m;
    m.canonicalName = page::FormatMediaName(Stem(displayName.empty() ? key : displayName),
                                            widthMm / k, heightMm / k, units);
    m.widthMm = widthMm;
    m.heightMm = heightMm;
    m.units = units;
    return m;
}

std::shared_ptr<PrinterCatalog> SystemPrinters() {
    return std::make_shared<QtPrinters>();
}

}  // namespace vx::engine::device
