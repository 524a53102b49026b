// vormex-cli plot DIR|FILE... --device NAME --paper NAME --style TABLE [--layouts]
//   [--copies N] [--pattern P] [--recursive] [--files-from LIST] [--shard K/N]
//   [--report FILE.json] [--merge OUT.pdf] [--timeout SECONDS] [--jobs N] [--journal FILE
//   [--retry-failed]] [--output-dir DIR [--name TEMPLATE]]
//
// The drawing list is built as the window builds it: a folder is searched as the
// "&Find Files" button searches it (pattern, subfolders), a file becomes a row of its own;
// rows follow the arguments' order, then the list file's. A list file's path that does not
// exist is reported "not found" and left out of the run. With a shard, only the drawings
// of that shard are plotted or reported (DrawingList.h). The plot choices pass the
// window's plot-choice check and must be entries of the window's device and style lists;
// the paper may be any text, which the run matches against the device's paper names as in
// the window. Then the run of "Print All &Drawing" plots every row, from the last to the
// first, on the CAD application the window would use. With more than one job, workers
// side by side each take the next drawing in that order on an engine of their own
// (ParallelRun.h); the report and the summary are the same as one worker's. With a
// journal, the drawings whose plots from an earlier run still stand are skipped before the
// run (RunJournal.h), and each drawing done is recorded in it.
//
// Exit status: 0 when every drawing was plotted or skipped, 1 when any was not (or the
// report, the journal or the PDF set could not be written), 2 for bad usage or choices (a
// --merge device that wrote no PDF too), 3 when no CAD application could be reached or
// started, 4 when every drawing was plotted but some with warnings.
#include "cli/PlotCommand.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <algorithm>

#include "backends/BackEnds.h"
#include "cli/CadSession.h"
#include "cli/CommandOptions.h"
#include "cli/DrawingList.h"
#include "cli/OutputNames.h"
#include "cli/ParallelRun.h"
#include "cli/PdfSet.h"
#include "cli/PlotReport.h"
#include "cli/RunJournal.h"
#include "cli/RunPrinter.h"
#include "common/ProgramData.h"
#include "engine/remote/RemoteEngine.h"
#include "plot/PlotChoiceCheck.h"
#include "plot/PlotPaths.h"
#include "plot/PlotService.h"
#include "search/FileSearch.h"
#include "search/FileSystemPath.h"
#include "search/FolderListing.h"

namespace vx::cli {

namespace {

constexpr char kUsage[] =
    "DIR|FILE... --device NAME --paper NAME --style TABLE [--layouts] [--copies N] "
    "[--pattern P] [--recursive] [--files-from LIST] [--shard K/N] [--report FILE.json] "
    "[--merge OUT.pdf] [--timeout SECONDS] [--jobs N] [--journal FILE [--retry-failed]] "
    "[--output-dir DIR [--name TEMPLATE]]";

constexpr char kHelp[] =
    R"(Plots the drawings as the window's "Print All Drawing" does. A folder is searched as the
window's "Find Files" searches it; a file is plotted as it is named. The device and the
style table must be entries of the window's lists (vormex-cli devices, vormex-cli
styles); the paper may be a canonical name or a short one ("A4"), matched against the
device's papers as the window does. A plotter configuration (.pc3) writes its plot files
beside the drawing, or into --output-dir.

  --device NAME      the plot device: a plotter configuration or a system printer
  --paper NAME       the paper (vormex-cli papers NAME lists them)
  --style TABLE      the plot style table (.ctb or .stb)
  --layouts          plot each paper-space layout instead of the current layout
  --copies N         number of copies, 1 to 32767 (printers)
  --pattern P        the file pattern for folders (default *.DWG)
  --recursive        search the folders' subfolders too
  --files-from LIST  also the drawings and folders named in the file LIST, one path a
                     line, after those of the command line ("-": standard input); blank
                     lines and lines beginning with # are skipped; at most 64 MiB, lines
                     of at most 4096 bytes. A path there that does not exist is reported
                     as "not found" and the run goes on
  --shard K/N        plot only shard K (1 to N) of N: the drawings whose full path falls
                     to K by a hash of its bytes (FNV-1a 64, modulo N). N runs with the
                     same drawings plot each exactly once, in whatever order they were
                     listed; "vormex-cli report merge" joins their reports. Each run
                     starts a CAD engine of its own, so runs side by side never meet
  --report FILE      write a JSON report of the run, again as each drawing is done (each
                     time whole or not at all); "complete" is false until the run ends
  --merge OUT.pdf    also bind every sheet the run plotted into the one PDF file OUT.pdf
                     (whole or not at all), in the order of the drawing list and of each
                     drawing's layouts, with a bookmark per drawing and under it one per
                     layout; each page keeps its paper and orientation, and its vector
                     content as plotted. The device must write PDF files; drawings not
                     plotted have no place in it; with no sheet plotted no file is written.
                     The report gives it as "merged"
  --timeout SECONDS  the CAD engine's time limit for opening or plotting one drawing;
                     a drawing that takes longer is not plotted and the run goes on
  --jobs N           plot N drawings at once, 1 to 64 (default: the number of cores,
                     never more than the drawings), each on a CAD engine of its own;
                     each job takes the next drawing in the run's order as it is free.
                     The lines come as drawings are done; the report and the summary
                     are in the list's order, the same as with --jobs 1
  --journal FILE     record in FILE, as each drawing is done, what was plotted with which
                     choices, the drawing's size, time and content hash (BLAKE2b-256),
                     its references' and its output files' (one JSON object a line,
                     appended and synced). A later run with the same journal skips a
                     drawing whose drawing, references, choices and outputs are unchanged
                     (its result: skipped (unchanged), which counts as done) and plots
                     the others: a run stopped at any moment is finished by running it
                     again
  --retry-failed     with --journal: plot only the drawings whose last record says they
                     failed; the others are skipped (not failed before)
  --output-dir DIR   write the plot files into DIR (made when missing), named by --name
  --name TEMPLATE    the plot file's name inside DIR, without extension (the device's
                     format gives it); "/" makes folders, made as needed. Fields:
                     {drawing} the drawing's name less its extension, {layout} the
                     layout ("Model" for model space), {folder} the drawing's folder
                     relative to the folder argument it was found under (empty for a
                     file argument or a listed file), {device} less ".pc3", {paper} as
                     given, {date} the run's date (yyyy-MM-dd). Default: "{drawing}" for
                     model space, "{drawing}-{layout}" for layouts. A field's own "/"
                     and the characters no file name may hold become "_"; nothing is
                     written outside DIR. A name another plot of the run took, or that
                     a file the run read has (less its extension), gets "-2", "-3"...,
                     told in the drawing's line and the report; with several jobs the
                     same plot gets the number as with one
  --                 the arguments after it are drawings or folders, even if they
                     begin with -

One line per drawing on standard output as it is done (the run goes from the last listed
drawing to the first; with several jobs the lines come in the order the drawings are
done): the drawing, its result ("plotted", "plotted with warnings: ...", "failed: ...",
"not opened: ...", "not plotted: ...") and the files written, separated by tabs.
"Plotted with warnings" means a page came out blank or the drawing was read with damage
warnings. A reference loaded from another place than the drawing names is added to the
result ("; reference NAME found at PATH"). On a terminal a progress line on standard
error, counting every job's drawings; Ctrl-C stops the run, each job giving up its
drawing under way.

Exit status:
  0  every drawing plotted
  1  a drawing not plotted, or the report, the journal or the PDF set not written
  2  bad usage or plot choices (with --merge, a device that wrote no PDF)
  3  no CAD application could be reached or started
  4  every drawing plotted, some with warnings
)";

struct PlotArguments {
    QStringList inputs;
    QString device, paper, style;
    bool layouts = false;
    QString copies;
    QString pattern = QStringLiteral("*.DWG");
    bool recursive = false;
    QString report;
    QString timeout;
    QString filesFrom;
    QString shardText;
    std::optional<Shard> shard;
    QString journal;
    bool retryFailed = false;
    QString outputDir, nameTemplate;
    QString merge;  // the bound PDF set
    QString jobsText;
    int jobs = 0;  // 0: the number of cores
};

int UsageError(CommandIo& io, const QString& message) {
    io.err << "vormex-cli plot: " << message << "\nusage: vormex-cli plot " << kUsage << '\n';
    return kExitUsage;
}

// Reads the arguments; a message when they are not usable.
std::optional<QString> Parse(const QStringList& args, PlotArguments& a) {
    if (auto problem = ReadOptions(args,
                                   {{"--layouts", &a.layouts},
                                    {"--recursive", &a.recursive},
                                    {"--retry-failed", &a.retryFailed}},
                                   {{"--device", &a.device},
                                    {"--paper", &a.paper},
                                    {"--style", &a.style},
                                    {"--copies", &a.copies},
                                    {"--pattern", &a.pattern},
                                    {"--report", &a.report},
                                    {"--timeout", &a.timeout},
                                    {"--files-from", &a.filesFrom},
                                    {"--shard", &a.shardText},
                                    {"--journal", &a.journal},
                                    {"--output-dir", &a.outputDir},
                                    {"--name", &a.nameTemplate},
                                    {"--merge", &a.merge},
                                    {"--jobs", &a.jobsText}},
                                   a.inputs)) {
        return problem;
    }
    if (a.inputs.isEmpty() && a.filesFrom.isNull()) {
        return QStringLiteral("no drawing or folder given");
    }
    if (a.retryFailed && a.journal.isEmpty()) {
        return QStringLiteral("--retry-failed needs --journal");
    }
    if (!a.nameTemplate.isNull() && a.outputDir.isNull()) {
        return QStringLiteral("--name needs --output-dir");
    }
    if (!a.shardText.isNull() && !(a.shard = ParseShard(a.shardText))) {
        return QStringLiteral("--shard takes K/N with 1 <= K <= N, not \"") + a.shardText +
               QLatin1Char('"');
    }
    if (!a.copies.isNull()) {
        // What the copies box would take: a whole number of copies, 1 to 32767.
        bool ok = false;
        const int n = a.copies.toInt(&ok);
        const bool digits = !a.copies.isEmpty() && std::all_of(a.copies.begin(), a.copies.end(),
                                                               [](QChar c) { return c.isDigit(); });
        if (!digits || !ok || n < 1 || n > 32767) {
            return QStringLiteral("--copies takes a whole number from 1 to 32767, not \"") +
                   a.copies + QLatin1Char('"');
        }
    }
    if (!a.jobsText.isNull()) {
        bool ok = false;
        a.jobs = a.jobsText.toInt(&ok);
        if (!ok || a.jobs < 1 || a.jobs > 64) {
            return QStringLiteral("--jobs takes a number from 1 to 64, not \"") + a.jobsText +
                   QLatin1Char('"');
        }
    }
    if (!a.timeout.isNull()) {
        bool ok = false;
        const int seconds = a.timeout.toInt(&ok);
        if (!ok || seconds < 1 || seconds > 86400) {
            return QStringLiteral("--timeout takes a number of seconds from 1 to 86400, not \"") +
                   a.timeout + QLatin1Char('"');
        }
    }
    return std::nullopt;
}

bool Listed(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

// The choice the CAD application's lists do not have, if any: its message.
std::optional<QString> UnlistedChoice(CadSession& session, const plot::PlotChoices& choices,
                                      const PlotArguments& a) {
    const CadSession::Lists lists = session.FillLists();
    if (!Listed(lists.devices, choices.StrPrinter)) {
        return QStringLiteral("there is no plot device named \"") + a.device +
               QStringLiteral("\" (vormex-cli devices lists them)");
    }
    if (!Listed(lists.styles, choices.StrCTB)) {
        return QStringLiteral("there is no plot style table named \"") + a.style +
               QStringLiteral("\" (vormex-cli styles lists them)");
    }
    return std::nullopt;
}

}  // namespace

int RunPlot(const QStringList& args, CommandIo& io, const cad::ClassRegistry& registry,
            const WorkerBackEnds& workerBackEnds) {
    PlotArguments a;
    if (auto problem = Parse(args, a)) {
        return UsageError(io, *problem);
    }

    plot::PlotChoices choices{search::ToFileSystemPath(a.device), search::ToFileSystemPath(a.paper),
                              search::ToFileSystemPath(a.style), 0};
    if (auto message = plot::UnmadePlotChoice(choices)) {
        io.err << "vormex-cli plot: " << QString::fromStdString(message->title) << ": "
               << QString::fromStdString(message->text) << '\n';
        return kExitUsage;
    }
    if (!a.merge.isNull() && !DeviceWritesFiles(a.device)) {
        return UsageError(io, QStringLiteral("--merge binds PDF plot files; the device ") +
                                  a.device + QStringLiteral(" writes none"));
    }

    const auto listed = ListedPaths(a.filesFrom, "plot", io);
    if (!listed) {
        return kExitUsage;
    }
    QElapsedTimer clock;
    clock.start();
    RunReport report;
    report.device = choices.StrPrinter;
    report.paper = choices.StrPaper;
    report.styleTable = choices.StrCTB;
    report.layouts = a.layouts;
    report.arguments = a.inputs;
    report.pattern = a.pattern;
    report.recursive = a.recursive;
    if (a.shard) {
        report.shard = QStringLiteral("%1/%2").arg(a.shard->index).arg(a.shard->count);
    }
    DrawingListing listing = ListDrawings(a.inputs, *listed, a.pattern, a.recursive, a.shard);
    report.notFound = std::move(listing.notFound);
    report.positions = std::move(listing.positions);
    std::unique_ptr<OutputNames> names;
    if (!a.outputDir.isNull()) {
        QString error;
        names = OutputNames::Make(
            a.outputDir, a.nameTemplate,
            {choices.StrPrinter, choices.StrPaper, QDate::currentDate().toString(Qt::ISODate)},
            error);
        if (!names) {
            return UsageError(io, error);
        }
        report.outputDir = names->Folder();
        report.nameTemplate = names->Template(false);
        report.layoutNameTemplate = names->Template(true);
        for (const auto& drawing : listing.drawings) {
            names->AddRoot(drawing.path + drawing.name, drawing.root);
        }
        for (const QString& read :
             {a.filesFrom == QStringLiteral("-") ? QString() : a.filesFrom, a.report}) {
            names->AddRead(search::ToFileSystemPath(read));
        }
        const auto table =
            (ProgramDataFolder() / "plotstyles" / plot::FsPath(choices.StrCTB)).u8string();
        names->AddRead(std::string(table.begin(), table.end()));
    }
    struct Row {
        std::string name;  // File Name
        std::string path;  // Path, ending with a separator
    };
    std::vector<Row> rows;
    for (auto& drawing : listing.drawings) {
        rows.push_back({std::move(drawing.name), std::move(drawing.path)});
    }
    if (rows.empty() && (a.shard || !report.notFound.empty())) {
        // A shard may hold no drawing, or only drawings that do not exist: its report
        // says so, and the run is over.
        report.complete = true;
        QString error;
        if (!a.report.isEmpty() && !WriteReport(report, a.report, error)) {
            io.err << "vormex-cli plot: the report " << a.report << " was not written: " << error
                   << '\n';
            return 1;
        }
        io.err << report.Total() << " drawings: 0 plotted, " << report.Total() << " not found\n";
        if (!a.merge.isNull()) {
            BindSet({}, report.merged, a.merge, io.err, "vormex-cli plot");  // no sheet: no set
        }
        return report.notFound.empty() ? 0 : 1;
    }
    if (rows.empty()) {
        io.err << "vormex-cli plot: " << search::kNoFilesFound << '\n';
        return 1;
    }
    if (!a.report.isEmpty()) {
        // The report never takes a drawing's place.
        const auto target = search::StatusOf(a.report);
        for (const auto& row : rows) {
            const auto drawing = search::StatusOf(search::FromFileSystemPath(row.path + row.name));
            if (target && drawing && target->identity == drawing->identity) {
                return UsageError(io, a.report + QStringLiteral(" is one of the drawings"));
            }
        }
        if (QFileInfo(a.report).isDir()) {
            return UsageError(io, a.report + QStringLiteral(" is a folder, not a report file"));
        }
        if (!QFileInfo(QFileInfo(a.report).absolutePath()).isDir()) {
            return UsageError(io, QStringLiteral("no folder for the report ") + a.report);
        }
    }

    if (!a.merge.isNull()) {
        // The set never takes the place of a file the run reads or writes.
        QStringList taken;
        if (!a.report.isEmpty()) {
            taken << a.report;
        }
        if (!a.filesFrom.isNull() && a.filesFrom != QLatin1String("-")) {
            taken << a.filesFrom;
        }
        for (const auto& row : rows) {
            taken << search::FromFileSystemPath(row.path + row.name);
        }
        if (auto problem = SetNameProblem(a.merge, taken)) {
            return UsageError(io, *problem);
        }
    }

    // The journal takes out of the run the drawings whose plots stand.
    std::vector<std::string> listOrder;
    for (const Row& row : rows) {
        listOrder.push_back(row.path + row.name);
    }
    JournalChoices journalChoices{choices.StrPrinter,
                                  choices.StrPaper,
                                  choices.StrCTB,
                                  a.layouts,
                                  a.copies.isNull() ? 0 : a.copies.toInt(),
                                  {}};
    if (names) {
        journalChoices.output =
            search::ToFileSystemPath(names->Folder() + QLatin1Char('\n') + names->Template(false) +
                                     QLatin1Char('\n') + names->Template(true));
    }
    std::unique_ptr<RunJournal> journal;
    std::vector<DrawingReport> skipped;
    bool journalFailed = false;
    if (!a.journal.isEmpty()) {
        if (auto clash = JournalClash(a.journal, a.report, listOrder)) {
            return UsageError(io, *clash);
        }
        QString error;
        if (!(journal = RunJournal::Open(a.journal, error))) {
            io.err << "vormex-cli plot: the journal " << a.journal << " cannot be used: " << error
                   << '\n';
            return 1;
        }
        std::erase_if(rows, [&](const Row& row) {
            auto skip = journal->Skip(row.path + row.name, journalChoices, a.retryFailed);
            if (skip) {
                skipped.push_back(std::move(*skip));
            }
            return skip.has_value();
        });
        for (auto it = skipped.rbegin(); it != skipped.rend(); ++it) {
            WriteDrawingLine(io, *it);
        }
        if (rows.empty()) {
            // Nothing to plot: no CAD application is needed.
            report.drawings = skipped;
            report.complete = true;
            int status = report.notFound.empty() ? 0 : 1;
            if (!a.merge.isNull()) {
                // The set of a run that plotted nothing again is bound from the sheets
                // its drawings' last plots left.
                if (const int setStatus = BindSet(SetOfRun(report.drawings), report.merged, a.merge,
                                                  io.err, "vormex-cli plot")) {
                    status = setStatus;
                }
            }
            report.seconds = static_cast<double>(clock.elapsed()) / 1000.0;
            QString reportError;
            if (!a.report.isEmpty() && !WriteReport(report, a.report, reportError)) {
                io.err << "vormex-cli plot: the report " << a.report
                       << " was not written: " << reportError << '\n';
                return 1;
            }
            io.err << report.Total() << " drawings: 0 plotted, " << skipped.size() << " skipped, "
                   << report.notFound.size() << " not plotted\n";
            return status;
        }
    }

    if (!a.timeout.isNull()) {
        engine::remote::SetLongCallLimit(a.timeout.toInt());
    }

    // The report stands from the start and follows the run, so that a run that is
    // killed leaves one that tells what was done.
    QString reportError;
    QElapsedTimer sinceWrite;
    qint64 writeCost = 0;  // nanoseconds the last write took
    const auto writeReport = [&] {
        QElapsedTimer cost;
        cost.start();
        const bool ok = WriteReport(report, a.report, reportError);
        writeCost = cost.nsecsElapsed();
        sinceWrite.start();
        return ok;
    };
    const auto writeFirstReport = [&] {
        if (!a.report.isEmpty() && !writeReport()) {
            io.err << "vormex-cli plot: the report " << a.report
                   << " cannot be written: " << reportError << '\n';
            return false;
        }
        return true;
    };
    // The whole report is written again, so each write costs more as the run goes on,
    // though no more than copying its bytes: each drawing's entry is made once, and the
    // drawings are not copied. It is written once the run has spent twenty times the last
    // write's cost (gathering, writing, syncing) since that write: writing stays within
    // about 5 % of the run's time, whatever its length, and the report never trails the
    // run by more than that.
    const auto followRun = [&](const auto& doneInListOrder) {
        if (a.report.isEmpty() || sinceWrite.nsecsElapsed() < 20 * writeCost) {
            return;
        }
        QElapsedTimer cost;
        cost.start();
        const std::vector<const DrawingReport*> done = doneInListOrder();
        report.seconds = static_cast<double>(clock.elapsed()) / 1000.0;
        WriteReport(report, a.report, reportError, &done);  // the final write decides
        writeCost = cost.nsecsElapsed();
        sinceWrite.start();
    };
    std::vector<std::string> drawings;
    plot::PlotRequest request;
    request.choices = choices;
    request.layouts = a.layouts;
    if (names) {
        request.plotFileName = [&names](const std::string& drawing, const std::string& layout) {
            return names->Name(drawing, layout);
        };
    }
    // What every printer of the run tells the names and the journal.
    const auto prepareHost = [&](RunPrinter& host) {
        if (names) {
            host.renamedOf = [&names](const std::string& d) { return names->RenamedOf(d); };
            host.onReferenceFound = [&names](const std::string& f) { names->AddRead(f); };
        }
    };
    // Each drawing done: its record to the journal.
    const auto drawingDone = [&](const DrawingReport& d) {
        QString journalError;
        if (journal && !journal->Record(d, journalChoices, journalError) && !journalFailed) {
            journalFailed = true;
            io.err << "vormex-cli plot: the journal " << a.journal
                   << " was not written: " << journalError << '\n';
        }
    };
    for (const Row& row : rows) {
        drawings.push_back(row.path + row.name);
    }
    report.copies = choices.NumOfCopies;

    // Never more workers than drawings; one where the back ends cannot give each its own.
    const int jobs = a.jobs > 0 ? a.jobs : std::max(1, QThread::idealThreadCount());
    const int workers = workerBackEnds ? std::min(jobs, static_cast<int>(rows.size())) : 1;
    int status = 0;
    if (workers > 1) {
        ParallelRun run(io, drawings, workers, workerBackEnds);
        run.check = [&](CadSession& session) { return UnlistedChoice(session, choices, a); };
        bool reportRefused = false;
        run.beforeFirst = [&] { return !(reportRefused = !writeFirstReport()); };
        run.prepareWorker = [&](int, RunPrinter& host, plot::PlotService&) { prepareHost(host); };
        if (names) {
            // The names come in the run's order (the last row first), as with one job.
            // Copied into the handlers: they run after this block has ended.
            const auto place = [&drawings](std::size_t row) { return drawings.size() - 1 - row; };
            run.onRowTaken = [&, place](std::size_t row) {
                names->BeginDrawing(place(row), drawings[row], a.layouts);
            };
            run.onRowEnded = [&, place](std::size_t row) { names->EndDrawing(place(row)); };
            run.plotFileName = [&, place](std::size_t row, const std::string& d,
                                          const std::string& l) {
                return names->Name(d, l, place(row));
            };
        }
        run.onDrawingDone = [&](std::size_t, const DrawingReport& d) {
            drawingDone(d);
            followRun([&] { return JoinInListOrder(listOrder, skipped, run.DoneInListOrder()); });
        };
        switch (run.Run(request)) {
            case ParallelRun::Outcome::NoCad:
                return kExitNoCad;
            case ParallelRun::Outcome::Refused:
                return reportRefused || run.CadFailed() ? 1 : kExitUsage;
            case ParallelRun::Outcome::Ran:
                break;
        }
        report.drawings = JoinInListOrder(listOrder, skipped, run.Reports());
        if (run.CadEnded() && report.Plotted() < static_cast<int>(report.drawings.size())) {
            return kExitNoCad;
        }
        status = run.CadFailed() ? 1 : 0;
    } else {
        CadSession session(io, registry, QStringLiteral("plot"));
        session.showStatus = io.errTerminal;
        if (!session.Connect()) {
            return kExitNoCad;
        }
        try {
            if (auto unlisted = UnlistedChoice(session, choices, a)) {
                io.err << "vormex-cli plot: " << *unlisted << '\n';
                return kExitUsage;
            }
            if (!writeFirstReport()) {
                return 1;
            }
            // The run goes from the last listed drawing to the first, as the window's.
            for (auto it = drawings.rbegin(); it != drawings.rend(); ++it) {
                request.rows.push_back({*it, true});
            }
            RunPrinter host(io, session.Connection(), session, drawings);
            prepareHost(host);
            host.onDrawingReport = drawingDone;
            host.onDrawingDone = [&] {
                followRun(
                    [&] { return JoinInListOrder(listOrder, skipped, host.DoneInListOrder()); });
            };
            plot::PlotService service(session.Connection(), session);
            {
                RunPrinter::InterruptAsStop interrupts;
                service.Run(request, host);
            }
            report.drawings = JoinInListOrder(listOrder, skipped, host.Finish());
        } catch (const cad::ProgramEnded&) {
            return kExitNoCad;
        } catch (const cad::CadError& e) {
            io.err << "vormex-cli plot: " << QString::fromStdString(e.Description()) << '\n';
            return 1;
        }
        session.Finish();
    }
    report.seconds = static_cast<double>(clock.elapsed()) / 1000.0;

    report.complete = true;

    const int plotted = report.Plotted();
    const int doubtful = report.PlottedWithWarnings();
    const int total = report.Total();
    const int skips = report.Skipped();
    io.err << total << (total == 1 ? " drawing: " : " drawings: ") << plotted << " plotted";
    if (doubtful > 0) {
        io.err << " (" << doubtful << " with warnings)";
    }
    if (skips > 0) {
        io.err << ", " << skips << " skipped";
    }
    io.err << ", " << total - plotted - skips << " not plotted\n";
    if (status == 0) {
        status = plotted + skips < total || journalFailed ? 1
                 : doubtful > 0                           ? kExitPlottedWithWarnings
                                                          : 0;
    }
    if (!a.merge.isNull()) {
        if (const int setStatus = BindSet(SetOfRun(report.drawings), report.merged, a.merge, io.err,
                                          "vormex-cli plot")) {
            status = setStatus;
        }
    }
    if (!a.report.isEmpty()) {
        QString error;
        if (!WriteReport(report, a.report, error)) {
            io.err << "vormex-cli plot: the report " << a.report << " was not written: " << error
                   << '\n';
            status = 1;
        }
    }
    io.err.flush();
    return status;
}

namespace {

int Plot(const QStringList& args, CommandIo& io) {
    // Workers side by side each need an engine of their own, which an installed CAD
    // application is not.
    WorkerBackEnds workers;
    if (backends::SideBySideBackEnds(0)) {
        workers = [](int worker) { return backends::SideBySideBackEnds(worker); };
    }
    return RunPlot(args, io, ProgramBackEnds(), workers);
}

}  // namespace

extern const Command kPlotCommand;
const Command kPlotCommand{"plot",
                           kUsage,
                           "plot the drawings of folders and files as the window's \"Print All "
                           "Drawing\" does; one line per drawing: path, result, output files "
                           "(tab-separated)",
                           true,
                           &Plot,
                           kHelp};

}  // namespace vx::cli
