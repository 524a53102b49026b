#include "cli/PdfSet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "cli/PdfSetWriter.h"
#include "cli/PlotReport.h"
#include "files/WholeFile.h"
#include "plot/PlotPaths.h"
#include "search/FileSystemPath.h"
#include "search/FolderListing.h"

namespace vx::cli {

namespace {

// Whether `b` is the file `a`, whose status is `sa`: the same identity when both exist, else
// the same path. A file that does not exist is not looked for.
bool SameFile(const QString& a, const std::optional<search::FileStatus>& sa, const QString& b) {
    if (sa) {
        if (const auto sb = search::StatusOf(b)) {
            return sa->identity == sb->identity;
        }
    }
#ifdef _WIN32
    constexpr auto kCase = Qt::CaseInsensitive;
#else
    constexpr auto kCase = Qt::CaseSensitive;
#endif
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath())
               .compare(QDir::cleanPath(QFileInfo(b).absoluteFilePath()), kCase) == 0;
}

// A drawing of a report as the set sees it.
struct Reported {
    QString drawing;
    bool skipped = false;
    std::vector<std::tuple<QString, QString, bool>> layouts;  // name, file, plotted
    QStringList outputs;
};

// The sheets of a drawing plotted, or skipped by a journal, in the set.
void Gather(std::vector<SetDrawing>& set, const Reported& d) {
    SetDrawing drawing{d.drawing, {}};
    // A drawing a journal skipped brings the sheets of its last plot, in PDF only: a retry
    // of failures keeps what other choices left.
    const auto bound = [&d](const QString& file) {
        return !file.isEmpty() &&
               (!d.skipped || file.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive));
    };
    for (const auto& [layout, output, ok] : d.layouts) {
        if (ok && bound(output)) {
            drawing.sheets.emplace_back(layout, output);
        }
    }
    if (d.skipped && drawing.sheets.empty()) {
        // A journal of an older run names no layouts: each sheet is marked by its file's
        // name.
        for (const QString& file : d.outputs) {
            if (bound(file)) {
                drawing.sheets.emplace_back(QFileInfo(file).completeBaseName(), file);
            }
        }
    }
    if (!drawing.sheets.empty()) {
        set.push_back(std::move(drawing));
    }
}

}  // namespace

std::vector<SetDrawing> SetOfReport(const QJsonObject& report) {
    std::vector<SetDrawing> set;
    for (const QJsonValue& value : report["drawings"].toArray()) {
        const QJsonObject d = value.toObject();
        const QString result = d["result"].toString();
        Reported reported{d["drawing"].toString(), result == QLatin1String("skipped"), {}, {}};
        if (!reported.skipped && result != QLatin1String("plotted") &&
            result != QLatin1String("plotted with warnings")) {
            continue;
        }
        for (const QJsonValue& layout : d["layouts"].toArray()) {
            reported.layouts.emplace_back(layout["layout"].toString(), layout["output"].toString(),
                                          layout["ok"].toBool());
        }
        for (const QJsonValue& output : d["outputs"].toArray()) {
            reported.outputs << output.toString();
        }
        Gather(set, reported);
    }
    return set;
}

std::vector<SetDrawing> SetOfRun(const std::vector<DrawingReport>& drawings) {
    std::vector<SetDrawing> set;
    for (const DrawingReport& d : drawings) {
        Reported reported{
            search::FromFileSystemPath(d.drawing), d.result == DrawingResult::Skipped, {}, {}};
        if (!reported.skipped && !d.WasPlotted()) {
            continue;
        }
        for (const LayoutPlot& p : d.plots) {
            reported.layouts.emplace_back(search::FromFileSystemPath(p.layout),
                                          search::FromFileSystemPath(p.output), p.ok);
        }
        for (const std::string& output : d.outputs) {
            reported.outputs << search::FromFileSystemPath(output);
        }
        Gather(set, reported);
    }
    return set;
}

QJsonObject SetResult::ToJson(const QString& target) const {
    return {{"file", QFileInfo(target).absoluteFilePath()},
            {"drawings", drawings},
            {"sheets", sheets},
            {"pages", pages},
            {"seconds", static_cast<double>(qRound64(seconds * 1000.0)) / 1000.0}};
}

namespace {

// A sheet's pages, written to the set (not yet among its pages), or why it cannot be bound.
struct Sheet {
    std::vector<std::size_t> pages;
    std::optional<QString> problem;
    bool notPdf = false;
    search::FileIdentity identity;  // of the file read
};

// Reads `file` whole, with one open, and writes the objects of its pages to the set.
Sheet Copy(PdfSetWriter& writer, const QString& target, const QString& file) {
    Sheet sheet;
    files::WholeFile whole;
    std::string reason;
    switch (files::ReadWholeFile(plot::FsPath(search::ToFileSystemPath(file)),
                                 static_cast<std::uint64_t>(kMaxSheetBytes), whole, reason)) {
        case files::ReadOutcome::Read:
            break;
        case files::ReadOutcome::CannotOpen:
            sheet.problem =
                file + QStringLiteral(" cannot be read: ") + QString::fromLocal8Bit(reason.c_str());
            return sheet;
        case files::ReadOutcome::NotRegular:
            sheet.problem = file + QStringLiteral(" is not an ordinary file");
            return sheet;
        case files::ReadOutcome::TooLarge:
            sheet.problem =
                file + QStringLiteral(" is larger than %1 MiB").arg(kMaxSheetBytes >> 20);
            return sheet;
        case files::ReadOutcome::Failed:
            sheet.problem = file + QStringLiteral(": ") + QString::fromLocal8Bit(reason.c_str());
            return sheet;
    }
    sheet.identity = {whole.device, whole.inode};
    std::string error;
    if (!writer.Open(error)) {
        sheet.problem = target + QStringLiteral(": ") + QString::fromStdString(error);
        return sheet;
    }
    const std::string_view bytes = whole.bytes;
    // A reader looks for the header within the first kilobyte.
    if (bytes.substr(0, 1024).find("%PDF-") == std::string_view::npos) {
        sheet.notPdf = true;
        sheet.problem = file + QStringLiteral(" is not a PDF file");
        return sheet;
    }
    if (auto problem = writer.Add(bytes, sheet.pages)) {
        sheet.problem = file + QStringLiteral(": ") + QString::fromStdString(*problem);
    }
    return sheet;
}

}  // namespace

SetResult WritePdfSet(const std::vector<SetDrawing>& set, const QString& target) {
    SetResult r;
    QElapsedTimer clock;
    clock.start();
    if (set.empty()) {
        return r;
    }
    PdfSetWriter writer(plot::FsPath(search::ToFileSystemPath(target)));
    std::map<QString, Sheet> sheets;  // each file read once, however often it is bound
    // The set never replaces one of its sheets: the target as it is now beside each sheet
    // as it was read.
    const auto existing = search::StatusOf(target);
    for (const SetDrawing& d : set) {
        for (const auto& [layout, file] : d.sheets) {
            auto sheet = sheets.find(file);
            if (sheet == sheets.end()) {
                sheet = sheets.emplace(file, Copy(writer, target, file)).first;
            }
            if (existing && !sheet->second.problem &&
                existing->identity == sheet->second.identity) {
                r.error = target + QStringLiteral(" is one of the plot files");
                return r;
            }
            if (sheet->second.problem) {
                r.error = *sheet->second.problem;
                r.notPdf = sheet->second.notPdf;
                return r;
            }
        }
    }
    // A sheet bound twice has its pages twice.
    std::vector<std::size_t> order;
    std::vector<PdfSetWriter::Mark> marks;
    for (const SetDrawing& d : set) {
        PdfSetWriter::Mark mark{QFileInfo(d.drawing).fileName().toStdU16String(), order.size(), {}};
        for (const auto& [layout, file] : d.sheets) {
            const std::vector<std::size_t>& pages = sheets.at(file).pages;
            if (!pages.empty()) {
                mark.kids.push_back({layout.toStdU16String(), order.size(), {}});
                order.insert(order.end(), pages.begin(), pages.end());
                ++r.sheets;
            }
        }
        if (!mark.kids.empty()) {
            marks.push_back(std::move(mark));
        }
    }
    if (order.empty()) {
        r.sheets = 0;
        return r;
    }
    std::string error;
    if (!writer.Finish(order, marks, error)) {
        r.error = target + QStringLiteral(": ") + QString::fromStdString(error);
        r.sheets = 0;
        return r;
    }
    r.drawings = static_cast<int>(marks.size());
    r.pages = static_cast<int>(order.size());
    r.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    return r;
}

int BindSet(const std::vector<SetDrawing>& set, QJsonObject& merged, const QString& target,
            QTextStream& err, const QString& who) {
    const SetResult r = WritePdfSet(set, target);
    if (!r.error.isEmpty()) {
        err << who << ": the PDF set " << target << " was not written: " << r.error << '\n';
        return r.notPdf ? 2 : 1;
    }
    if (r.pages == 0) {
        err << who << ": no sheet was plotted to PDF: the PDF set " << target
            << " was not written\n";
        return 0;
    }
    merged = r.ToJson(target);
    err << who << ": " << target << ": " << r.pages << (r.pages == 1 ? " page" : " pages") << " of "
        << r.drawings << (r.drawings == 1 ? " drawing" : " drawings") << '\n';
    return 0;
}

int BindSetOfReport(QJsonObject& report, const QString& target, QTextStream& err,
                    const QString& who) {
    QJsonObject merged;
    const int status = BindSet(SetOfReport(report), merged, target, err, who);
    if (!merged.isEmpty()) {
        report["merged"] = merged;
    }
    return status;
}

bool DeviceWritesFiles(const QString& device) {
    return device.endsWith(QLatin1String("pc3"));
}

std::optional<QString> SetNameProblem(const QString& target, const QStringList& taken) {
    if (target.isEmpty()) {
        return QStringLiteral("no file name for the PDF set");
    }
    if (QFileInfo(target).isDir()) {
        return target + QStringLiteral(" is a folder");
    }
    if (!QFileInfo(QFileInfo(target).absolutePath()).isDir()) {
        return QStringLiteral("no folder for ") + target;
    }
    const auto existing = search::StatusOf(target);
    for (const QString& file : taken) {
        if (SameFile(target, existing, file)) {
            return target + QStringLiteral(" would replace ") + file;
        }
    }
    return std::nullopt;
}

}  // namespace vx::cli
