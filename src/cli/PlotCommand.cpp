// vormex-cli plot DIR|FILE... --device NAME --paper NAME --style TABLE [--layouts]
//   [--copies N] [--pattern P] [--recursive] [--files-from LIST] [--shard K/N]
//   [--report FILE.json] [--timeout SECONDS] [--jobs N]
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
// (ParallelRun.h); the report and the summary are the same as one worker's.
//
// Exit status: 0 when every drawing was plotted, 1 when any was not (or the report could
// not be written), 2 for bad usage or choices, 3 when no CAD application could be reached
// or started, 4 when every drawing was plotted but some with warnings.
#include "PlotCommand.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <algorithm>

#include "CadSession.h"
#include "CommandOptions.h"
#include "DrawingList.h"
#include "ParallelRun.h"
#include "PlotReport.h"
#include "RunPrinter.h"
#include "backends/BackEnds.h"
#include "engine/remote/RemoteEngine.h"
#include "plot/PlotChoiceCheck.h"
#include "plot/PlotService.h"
#include "search/FileSearch.h"
#include "search/FileSystemPath.h"
#include "search/FolderListing.h"

namespace vx::cli {

namespace {

constexpr char kUsage[] =
    "DIR|FILE... --device NAME --paper NAME --style TABLE [--layouts] [--copies N] "
    "[--pattern P] [--recursive] [--files-from LIST] [--shard K/N] [--report FILE.json] "
    "[--timeout SECONDS] [--jobs N]";

constexpr char kHelp[] =
    R"(Plots the drawings as the window's "Print All Drawing" does. A folder is searched as the
window's "Find Files" searches it; a file is plotted as it is named. The device and the
style table must be entries of the window's lists (vormex-cli devices, vormex-cli
styles); the paper may be a canonical name or a short one ("A4"), matched against the
device's papers as the window does. A plotter configuration (.pc3) writes its plot files
beside the drawing.

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
  --timeout SECONDS  the CAD engine's time limit for opening or plotting one drawing;
                     a drawing that takes longer is not plotted and the run goes on
  --jobs N           plot N drawings at once, 1 to 64 (default: the number of cores,
                     never more than the drawings), each on a CAD engine of its own;
                     each job takes the next drawing in the run's order as it is free.
                     The lines come as drawings are done; the report and the summary
                     are in the list's order, the same as with --jobs 1
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
  1  a drawing not plotted, or the report not written
  2  bad usage or plot choices
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
    QString jobsText;
    int jobs = 0;  // 0: the number of cores
};

int UsageError(CommandIo& io, const QString& message) {
    io.err << "vormex-cli plot: " << message << "\nusage: vormex-cli plot " << kUsage << '\n';
    return kExitUsage;
}

// Reads the arguments; a message when they are not usable.
std::optional<QString> Parse(const QStringList& args, PlotArguments& a) {
    if (auto problem = ReadOptions(args, {{"--layouts", &a.layouts}, {"--recursive", &a.recursive}},
                                   {{"--device", &a.device},
                                    {"--paper", &a.paper},
                                    {"--style", &a.style},
                                    {"--copies", &a.copies},
                                    {"--pattern", &a.pattern},
                                    {"--report", &a.report},
                                    {"--timeout", &a.timeout},
                                    {"--files-from", &a.filesFrom},
                                    {"--shard", &a.shardText},
                                    {"--jobs", &a.jobsText}},
                                   a.inputs)) {
        return problem;
    }
    if (a.inputs.isEmpty() && a.filesFrom.isNull()) {
        return QStringLiteral("no drawing or folder given");
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
    // The whole report is written again, so each write costs more as the run goes on. It
    // is written once the run has spent twenty times the last write's cost since that
    // write: writing stays within about 5 % of the run's time, and the report never
    // trails the run by more than that.
    const auto followRun = [&](const auto& doneInListOrder) {
        if (a.report.isEmpty() || sinceWrite.nsecsElapsed() < 20 * writeCost) {
            return;
        }
        report.drawings = doneInListOrder();
        report.seconds = static_cast<double>(clock.elapsed()) / 1000.0;
        writeReport();  // the final write decides
    };
    std::vector<std::string> drawings;
    plot::PlotRequest request;
    request.choices = choices;
    request.layouts = a.layouts;
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
        run.onDrawingDone = [&](std::size_t, const DrawingReport&) {
            followRun([&] { return run.DoneInListOrder(); });
        };
        switch (run.Run(request)) {
            case ParallelRun::Outcome::NoCad:
                return kExitNoCad;
            case ParallelRun::Outcome::Refused:
                return reportRefused || run.CadFailed() ? 1 : kExitUsage;
            case ParallelRun::Outcome::Ran:
                break;
        }
        report.drawings = run.Reports();
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
            host.onDrawingDone = [&] { followRun([&] { return host.DoneInListOrder(); }); };
            plot::PlotService service(session.Connection(), session);
            {
                RunPrinter::InterruptAsStop interrupts;
                service.Run(request, host);
            }
            report.drawings = host.Finish();
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
    io.err << total << (total == 1 ? " drawing: " : " drawings: ") << plotted << " plotted";
    if (doubtful > 0) {
        io.err << " (" << doubtful << " with warnings)";
    }
    io.err << ", " << total - plotted << " not plotted\n";
    if (status == 0) {
        status = plotted < total ? 1 : doubtful > 0 ? kExitPlottedWithWarnings : 0;
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
