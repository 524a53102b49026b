// vormex-cli report merge REPORT.json... --out ALL.json [--merge OUT.pdf]
#include "cli/ReportMerge.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cmath>
#include <set>

#include "cli/Command.h"
#include "cli/DrawingList.h"
#include "cli/PdfSet.h"
#include "files/AtomicFile.h"
#include "plot/PlotPaths.h"
#include "search/FileSystemPath.h"

namespace vx::cli {

namespace {

bool Plotted(const QString& result) {
    return result == QLatin1String("plotted") || result == QLatin1String("plotted with warnings");
}

}  // namespace

std::optional<QJsonObject> ReadReport(const QString& file, QString& error) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        error = in.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = in.read(kMaxReportBytes + 1);
    if (bytes.size() > kMaxReportBytes) {
        error = QStringLiteral("larger than %1 MiB").arg(kMaxReportBytes >> 20);
        return std::nullopt;
    }
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parse);
    if (parse.error != QJsonParseError::NoError || !doc.isObject()) {
        error = parse.error != QJsonParseError::NoError ? parse.errorString()
                                                        : QStringLiteral("no JSON object");
        return std::nullopt;
    }
    return doc.object();
}

std::optional<MergedReport> MergeReports(const std::vector<QJsonObject>& reports, QString& error) {
    if (reports.empty()) {
        error = QStringLiteral("no report");
        return std::nullopt;
    }
    struct Entry {
        qint64 index;
        QJsonObject drawing;
    };
    std::vector<Entry> entries;
    std::set<QString> seen;
    MergedReport merged;
    bool complete = true;
    bool indexed = true;
    double seconds = 0;
    const QJsonValue choices = reports.front()["choices"];
    int shardCount = 0;
    std::set<int> shards;
    for (std::size_t r = 0; r < reports.size(); ++r) {
        const QJsonObject& report = reports[r];
        if (!report["drawings"].isArray() || !report["choices"].isObject()) {
            error = QStringLiteral("report %1 is no run report").arg(r + 1);
            return std::nullopt;
        }
        if (report["choices"] != choices) {
            error = QStringLiteral("report %1 was made with other plot choices than report 1")
                        .arg(r + 1);
            return std::nullopt;
        }
        complete = complete && report["complete"].toBool(false);
        if (const auto shard = ParseShard(report["search"]["shard"].toString())) {
            if (shardCount != 0 && shard->count != shardCount) {
                error = QStringLiteral("report %1 is a shard of %2, the others of %3")
                            .arg(r + 1)
                            .arg(shard->count)
                            .arg(shardCount);
                return std::nullopt;
            }
            shardCount = shard->count;
            shards.insert(shard->index);
        }
        seconds = std::max(seconds, report["summary"]["seconds"].toDouble());
        for (const QJsonValue& value : report["drawings"].toArray()) {
            const QJsonObject drawing = value.toObject();
            const QString path = drawing["drawing"].toString();
            if (path.isEmpty()) {
                error = QStringLiteral("report %1 holds a drawing without a path").arg(r + 1);
                return std::nullopt;
            }
            if (!seen.insert(path).second) {
                ++merged.duplicates;
                continue;
            }
            indexed = indexed && drawing["index"].isDouble();
            entries.push_back({static_cast<qint64>(drawing["index"].toDouble(-1)), drawing});
        }
    }
    for (int k = 1; shardCount > 0 && k <= shardCount; ++k) {
        if (!shards.count(k)) {
            merged.missingShards << QStringLiteral("%1/%2").arg(k).arg(shardCount);
        }
    }
    complete = complete && merged.missingShards.isEmpty();
    if (indexed) {
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return a.index < b.index; });
    }
    QJsonArray drawings;
    int plotted = 0, warned = 0, notFound = 0, skipped = 0;
    for (const Entry& e : entries) {
        const QString result = e.drawing["result"].toString();
        plotted += Plotted(result) ? 1 : 0;
        warned += result == QLatin1String("plotted with warnings") ? 1 : 0;
        notFound += result == QLatin1String("not found") ? 1 : 0;
        skipped += result == QLatin1String("skipped") ? 1 : 0;
        drawings.append(e.drawing);
    }
    const int total = static_cast<int>(drawings.size());
    QJsonObject& o = merged.report;
    o = reports.front();
    o["complete"] = complete;
    o["summary"] = QJsonObject{{"drawings", total},
                               {"plotted", plotted},
                               {"with_warnings", warned},
                               {"skipped", skipped},
                               {"failed", total - plotted - skipped},
                               {"not_found", notFound},
                               {"seconds", std::round(seconds * 1000.0) / 1000.0}};
    o["drawings"] = drawings;
    o.remove("merged");  // a shard's own set is not the joined run's
    return merged;
}

namespace {

constexpr char kUsage[] = "merge REPORT.json... --out ALL.json [--merge OUT.pdf]";

int RunReportCommand(const QStringList& args, CommandIo& io) {
    const auto usage = [&](const QString& message) {
        io.err << "vormex-cli report: " << message << "\nusage: vormex-cli report " << kUsage
               << '\n';
        return 2;
    };
    if (args.isEmpty() || args.front() != QLatin1String("merge")) {
        return usage(QStringLiteral("the one action is merge"));
    }
    QString out;
    QString set;
    QStringList inputs;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--out") && i + 1 < args.size()) {
            out = args[++i];
        } else if (args[i].startsWith(QLatin1String("--out="))) {
            out = args[i].mid(6);
        } else if (args[i] == QLatin1String("--merge") && i + 1 < args.size()) {
            set = args[++i];
        } else if (args[i].startsWith(QLatin1String("--merge="))) {
            set = args[i].mid(8);
        } else if (args[i].startsWith(QLatin1Char('-')) && args[i] != QLatin1String("-")) {
            return usage(QStringLiteral("unknown option ") + args[i]);
        } else {
            inputs << args[i];
        }
    }
    if (out.isEmpty() || inputs.isEmpty()) {
        return usage(QStringLiteral("reports and --out FILE are needed"));
    }
    if (!set.isNull()) {
        if (auto problem = SetNameProblem(set, inputs + QStringList{out})) {
            return usage(*problem);
        }
    }
    std::vector<QJsonObject> reports;
    for (const QString& file : inputs) {
        QString error;
        auto report = ReadReport(file, error);
        if (!report) {
            io.err << "vormex-cli report: " << file << ": " << error << '\n';
            return 1;
        }
        reports.push_back(std::move(*report));
    }
    QString error;
    const auto merged = MergeReports(reports, error);
    if (!merged) {
        io.err << "vormex-cli report: " << error << '\n';
        return 1;
    }
    if (!merged->missingShards.isEmpty()) {
        io.err << "vormex-cli report: no report of shard " << merged->missingShards.join(", ")
               << ": the joined report is not complete\n";
    }
    if (merged->duplicates > 0) {
        io.err << "vormex-cli report: " << merged->duplicates
               << " drawings named by more than one report were kept once\n";
    }
    QJsonObject report = merged->report;
    int status = 0;
    if (!set.isNull()) {
        // The drawings' sheets in the joined report's order, which is the list's.
        status = BindSetOfReport(report, set, io.err, QStringLiteral("vormex-cli report"));
    }
    const QByteArray bytes = QJsonDocument(report).toJson(QJsonDocument::Indented);
    std::string problem;
    if (!files::WriteFileAtomically(
            plot::FsPath(search::ToFileSystemPath(out)),
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), problem)) {
        io.err << "vormex-cli report: " << out
               << " was not written: " << QString::fromStdString(problem) << '\n';
        return 1;
    }
    const QJsonObject summary = merged->report["summary"].toObject();
    io.err << summary["drawings"].toInt() << " drawings: " << summary["plotted"].toInt()
           << " plotted, " << summary["failed"].toInt() << " not plotted"
           << (merged->report["complete"].toBool() ? "" : " (some runs not complete)") << '\n';
    return status == 2 ? 1 : status;
}

constexpr char kHelp[] =
    R"(Joins the JSON reports of the shards of one drawing list ("vormex-cli plot --shard K/N
--report FILE") into one report, written whole or not at all. The drawings come in the
order of the list, each once (from the first report naming it); the summary is counted
again; the time is the longest run's; "complete" is true only when every report is, and
for shards when there is a report of each.
Reports made with other plot choices are not joined.

  --out FILE         the joined report
  --merge OUT.pdf    also bind the sheets of the joined report's plotted drawings, in its
                     order, into the one PDF file OUT.pdf, as "vormex-cli plot --merge"
                     does; the joined report gives it as "merged"
)";

}  // namespace

extern const Command kReportCommand;
const Command kReportCommand{"report",
                             kUsage,
                             "join the reports of the shards of a plot run into one report",
                             false,
                             &RunReportCommand,
                             kHelp};

}  // namespace vx::cli
