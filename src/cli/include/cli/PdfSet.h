// One bound PDF set of a run: the pages of every sheet the run plotted to PDF, in the order
// of the drawing list and, within a drawing, of its layouts as plotted, with a bookmark per
// drawing and under it one per layout. The pages are copied as they are, with their own
// paper size and rotation and their content streams untouched (vector stays vector), by
// PdfSetWriter. The set is written whole or not at all.
//
// The sheets come from a run's drawings, or from a run report's JSON ("drawings", each with
// "result" and "layouts" with "output" and "ok"), by the same rules, so that a run and the
// joined reports of its shards bind alike.
// A sheet's file is untrusted: it must be an ordinary file of at most kMaxSheetBytes that
// begins as a PDF; otherwise no set is written. It is opened once and read whole.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>
#include <utility>
#include <vector>

namespace vx::cli {

struct DrawingReport;

// A sheet is read whole, one at a time, so this bounds what binding holds in memory: far
// above any plotted sheet (a vector page stops at 50 MiB), far below the memory of a run.
inline constexpr qint64 kMaxSheetBytes = qint64{512} << 20;

struct SetDrawing {
    QString drawing;  // the full path; its bookmark shows the file name
    // Layout name and PDF file of each sheet, in the order plotted.
    std::vector<std::pair<QString, QString>> sheets;
};

// The plotted drawings of a report, in the report's order, with the layouts that wrote a
// file; a drawing that failed, or that wrote no file, has no place in the set. A drawing
// a journal skipped as unchanged brings the PDF files of its last plot.
std::vector<SetDrawing> SetOfReport(const QJsonObject& report);
// The same of a run's drawings, as the run holds them.
std::vector<SetDrawing> SetOfRun(const std::vector<DrawingReport>& drawings);

struct SetResult {
    int drawings = 0;
    int sheets = 0;
    int pages = 0;
    double seconds = 0;
    QString error;        // why no set was written; empty when it was
    bool notPdf = false;  // a sheet's file is not a PDF
    // The report's "merged": the file and what it holds.
    QJsonObject ToJson(const QString& target) const;
};

// Binds the sheets into `target` (atomically). An empty `set` writes nothing and is no
// error; the caller says so. A run binds its sheets at its end, one after another, while
// they are still in the file cache: binding them beside the run took the processor time
// of the run itself wherever it used every processor, and cost it more than at the end.
SetResult WritePdfSet(const std::vector<SetDrawing>& set, const QString& target);

// Binds `set` into `target`, tells `err` what came of it (each line begun with `who`) and
// sets `merged` (a report's "merged") when the set was written. The exit status it asks
// for: 0 when the set was written or no sheet was plotted (nothing is written then), 2
// when a sheet is not a PDF, else 1.
int BindSet(const std::vector<SetDrawing>& set, QJsonObject& merged, const QString& target,
            QTextStream& err, const QString& who);
// BindSet() of the sheets of `report` (a run report's JSON), into its "merged".
int BindSetOfReport(QJsonObject& report, const QString& target, QTextStream& err,
                    const QString& who);

// Whether `device` writes files the set can hold: a plotter configuration (a printer
// writes none).
bool DeviceWritesFiles(const QString& device);

// Why `target` cannot be the set's name: a folder, no folder to hold it, or one of `taken`
// (the files a run reads or writes). Nothing when it can.
std::optional<QString> SetNameProblem(const QString& target, const QStringList& taken);

}  // namespace vx::cli
