// Joining the reports of the shards of one drawing list into one report.
//
// The drawings come in list order (by their "index", which every shard's report gives
// when it was made from a list), else in the order of the reports and of their drawings.
// A drawing named in more than one report is kept once, from the first report that names
// it. The summary is counted again from the drawings; the time is the longest of the
// runs, which ran side by side; "complete" holds only when every report is complete and,
// for the reports of shards, when there is one of each shard.
// Reports of runs with other plot choices cannot be joined.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace vx::cli {

// A report file is read only up to this size.
inline constexpr qint64 kMaxReportBytes = qint64{512} << 20;

struct MergedReport {
    QJsonObject report;
    int duplicates = 0;         // drawings left out because an earlier report named them
    QStringList missingShards;  // "K/N" of the shards no report was given for
};

// Nothing, with `error` set, when a report is no run report or the choices differ.
std::optional<MergedReport> MergeReports(const std::vector<QJsonObject>& reports, QString& error);

// Reads one report file; nothing, with `error` set, when it is no JSON object.
std::optional<QJsonObject> ReadReport(const QString& file, QString& error);

}  // namespace vx::cli
