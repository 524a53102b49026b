#include "cli/RunJournal.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <chrono>
#include <system_error>

#include "engine/load/InputFile.h"
#include "plot/PlotPaths.h"
#include "search/FileSystemPath.h"
#include "search/FolderListing.h"

namespace vx::cli {

namespace fs = std::filesystem;

namespace {

QString Text(const std::string& s) {
    return search::FromFileSystemPath(s);
}

std::string Path(const QJsonValue& v) {
    return search::ToFileSystemPath(v.toString());
}

// Size and modification time, links followed; size -1 when there is no such file.
FileFacts Stat(const std::string& path) {
    FileFacts f;
    f.path = path;
    std::error_code ec;
    const fs::path p = plot::FsPath(path);
    const fs::file_status status = fs::status(p, ec);
    if (ec || !fs::exists(status)) {
        return f;
    }
    f.present = true;
    if (fs::is_regular_file(status)) {
        const auto size = fs::file_size(p, ec);
        f.size = ec ? -1 : static_cast<std::int64_t>(size);
    }
    const auto time = fs::last_write_time(p, ec);
    if (!ec) {
        f.modifiedUs = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::file_clock::to_sys(time).time_since_epoch())
                           .count();
    }
    return f;
}

QJsonObject FactsJson(const FileFacts& f, bool withPath) {
    QJsonObject o;
    if (withPath) {
        o["path"] = Text(f.path);
    }
    if (!f.present) {
        o["missing"] = true;
        return o;
    }
    o["size"] = static_cast<qint64>(f.size);
    o["mtime_us"] = static_cast<qint64>(f.modifiedUs);
    o["blake2b"] = QString::fromLatin1(f.hash);
    return o;
}

FileFacts FactsFrom(const QJsonObject& o, std::string path) {
    FileFacts f;
    f.path = std::move(path);
    f.present = !o["missing"].toBool() && o["size"].isDouble();
    if (f.present) {
        f.size = o["size"].toInteger(-1);
        f.modifiedUs = o["mtime_us"].toInteger();
        f.hash = o["blake2b"].toString().toLatin1();
    }
    return f;
}

QJsonArray FactsList(const std::vector<FileFacts>& list) {
    QJsonArray a;
    for (const auto& f : list) {
        a.append(FactsJson(f, true));
    }
    return a;
}

std::vector<FileFacts> FactsList(const QJsonValue& v) {
    std::vector<FileFacts> list;
    for (const auto& item : v.toArray()) {
        const QJsonObject o = item.toObject();
        list.push_back(FactsFrom(o, Path(o["path"])));
    }
    return list;
}

bool AllSame(const std::vector<FileFacts>& recorded) {
    for (const auto& f : recorded) {
        if (!FactsOf(f.path).SameContent(f)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool FileFacts::SameContent(const FileFacts& other) const {
    if (!present || !other.present) {
        return present == other.present;
    }
    return !hash.isEmpty() && hash == other.hash && size == other.size;
}

FileFacts FactsOf(const std::string& path, std::uintmax_t maxBytes) {
    FileFacts f = Stat(path);
    if (!f.present) {
        return f;
    }
    std::string bytes, error;
    if (engine::load::ReadRegularFile(plot::FsPath(path), maxBytes, bytes, error)) {
        // The bytes hashed decide the size; the time stays that of before the read, so
        // that a change during the read shows as a change of time.
        f.size = static_cast<std::int64_t>(bytes.size());
        f.hash = QCryptographicHash::hash(QByteArrayView(bytes.data(), std::ssize(bytes)),
                                          QCryptographicHash::Blake2b_256)
                     .toHex();
    }
    return f;
}

QJsonObject JournalRecord::ToJson() const {
    QJsonObject o;
    o["drawing"] = Text(drawing);
    o["result"] = result;
    o["done"] = done;
    o["choices"] = QJsonObject{{"device", Text(choices.device)},
                               {"paper", Text(choices.paper)},
                               {"style_table", Text(choices.styleTable)},
                               {"layouts", choices.layouts},
                               {"copies", choices.copies},
                               {"output", Text(choices.output)}};
    o["file"] = FactsJson(file, false);
    o["references"] = FactsList(references);
    o["outputs"] = FactsList(outputs);
    QJsonArray sheetList;
    for (const auto& [layout, output] : sheets) {
        sheetList.append(QJsonObject{{"layout", Text(layout)}, {"output", Text(output)}});
    }
    o["sheets"] = sheetList;
    o["at"] = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    return o;
}

std::optional<JournalRecord> JournalRecord::FromJson(const QJsonObject& o) {
    if (!o["drawing"].isString() || !o["done"].isBool() || !o["choices"].isObject()) {
        return std::nullopt;
    }
    JournalRecord r;
    r.drawing = Path(o["drawing"]);
    r.result = o["result"].toString();
    r.done = o["done"].toBool();
    const QJsonObject c = o["choices"].toObject();
    r.choices = {Path(c["device"]),     Path(c["paper"]),    Path(c["style_table"]),
                 c["layouts"].toBool(), c["copies"].toInt(), Path(c["output"])};
    r.file = FactsFrom(o["file"].toObject(), r.drawing);
    r.references = FactsList(o["references"]);
    r.outputs = FactsList(o["outputs"]);
    for (const auto& item : o["sheets"].toArray()) {
        const QJsonObject sheet = item.toObject();
        r.sheets.emplace_back(Path(sheet["layout"]), Path(sheet["output"]));
    }
    return r;
}

RunJournal::RunJournal(const fs::path& file) : file_(file) {}

std::unique_ptr<RunJournal> RunJournal::Open(const QString& file, QString& error) {
    const fs::path path = plot::FsPath(search::ToFileSystemPath(file));
    std::string bytes, problem;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec)) &&
        !engine::load::ReadRegularFile(path, kMaxBytes, bytes, problem)) {
        error = QString::fromStdString(problem).remove(QStringLiteral(", not a drawing file"));
        return nullptr;
    }
    std::unique_ptr<RunJournal> journal(new RunJournal(path));
    if (!journal->file_.Ok()) {
        error = QString::fromStdString(journal->file_.Error());
        return nullptr;
    }
    std::string_view rest(bytes);
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) {
            continue;
        }
        const QJsonDocument doc = QJsonDocument::fromJson(
            QByteArray::fromRawData(line.data(), static_cast<qsizetype>(line.size())));
        auto record = doc.isObject() ? JournalRecord::FromJson(doc.object()) : std::nullopt;
        if (!record) {
            ++journal->unreadLines_;
            continue;
        }
        std::string key = record->drawing;
        journal->last_.insert_or_assign(std::move(key), std::move(*record));
    }
    // A torn last line is left as it is; the next record starts a line of its own.
    if (!bytes.empty() && bytes.back() != '\n' && !journal->file_.Append("\n")) {
        error = QString::fromStdString(journal->file_.Error());
        return nullptr;
    }
    return journal;
}

std::optional<DrawingReport> RunJournal::Skip(const std::string& drawing,
                                              const JournalChoices& choices, bool retryFailed) {
    std::optional<JournalRecord> last = Last(drawing);
    DrawingReport skipped;
    skipped.drawing = drawing;
    skipped.result = DrawingResult::Skipped;
    if (last) {
        for (const auto& out : last->outputs) {
            skipped.outputs.push_back(out.path);
        }
        for (const auto& [layout, output] : last->sheets) {
            LayoutPlot sheet;
            sheet.layout = layout;
            sheet.device = last->choices.device;
            sheet.paper = last->choices.paper;
            sheet.styleTable = last->choices.styleTable;
            sheet.output = output;
            sheet.ok = true;
            skipped.plots.push_back(std::move(sheet));
        }
    }
    FileFacts now;
    if (retryFailed) {
        if (!last || last->done) {
            skipped.reason = "not failed before";
            return skipped;
        }
        now = Stat(drawing);
    } else {
        const bool mayStand = last && last->done && last->choices == choices;
        now = mayStand ? FactsOf(drawing) : Stat(drawing);
        if (mayStand && now.SameContent(last->file) && AllSame(last->references) &&
            AllSame(last->outputs)) {
            skipped.reason = "unchanged";
            return skipped;
        }
    }
    const std::lock_guard lock(mutex_);
    seen_[drawing] = {now.size, now.modifiedUs};
    return std::nullopt;
}

bool RunJournal::Record(const DrawingReport& done, const JournalChoices& choices, QString& error) {
    JournalRecord r;
    r.drawing = done.drawing;
    r.done = done.WasPlotted();
    r.result = QString::fromStdString(done.ResultText());
    r.choices = choices;
    r.file = FactsOf(done.drawing);
    for (const auto& ref : done.references) {
        r.references.push_back(FactsOf(ref));
    }
    for (const auto& out : done.outputs) {
        r.outputs.push_back(FactsOf(out));
    }
    for (const auto& plot : done.plots) {
        if (plot.ok && !plot.output.empty()) {
            r.sheets.emplace_back(plot.layout, plot.output);
        }
    }
    const std::lock_guard lock(mutex_);
    const auto seen = seen_.find(done.drawing);
    if (seen != seen_.end() && seen->second != std::pair{r.file.size, r.file.modifiedUs}) {
        r.file.hash.clear();  // changed while the run was at it: which bytes were plotted?
    }
    const QByteArray line = QJsonDocument(r.ToJson()).toJson(QJsonDocument::Compact) + '\n';
    if (!file_.Append(std::string_view(line.constData(), static_cast<std::size_t>(line.size())))) {
        error = QString::fromStdString(file_.Error());
        return false;
    }
    last_.insert_or_assign(r.drawing, std::move(r));
    return true;
}

std::optional<JournalRecord> RunJournal::Last(const std::string& drawing) const {
    const std::lock_guard lock(mutex_);
    const auto it = last_.find(drawing);
    return it == last_.end() ? std::nullopt : std::optional(it->second);
}

std::optional<QString> JournalClash(const QString& journal, const QString& report,
                                    const std::vector<std::string>& drawings) {
    const auto target = search::StatusOf(journal);
    if (!target) {
        return std::nullopt;
    }
    const auto same = [&](const QString& other) {
        const auto status = other.isEmpty() ? std::nullopt : search::StatusOf(other);
        return status && status->identity == target->identity;
    };
    if (same(report)) {
        return journal + QStringLiteral(" is also the report");
    }
    for (const auto& d : drawings) {
        if (same(Text(d))) {
            return journal + QStringLiteral(" is one of the drawings");
        }
    }
    return std::nullopt;
}

std::vector<const DrawingReport*> JoinInListOrder(const std::vector<std::string>& list,
                                                  const std::vector<DrawingReport>& skipped,
                                                  const std::vector<const DrawingReport*>& done) {
    std::vector<const DrawingReport*> joined;
    joined.reserve(skipped.size() + done.size());
    std::size_t s = 0, d = 0;
    for (const auto& path : list) {
        if (s < skipped.size() && skipped[s].drawing == path) {
            joined.push_back(&skipped[s++]);
        } else if (d < done.size() && done[d]->drawing == path) {
            joined.push_back(done[d++]);
        }
    }
    return joined;
}

std::vector<DrawingReport> JoinInListOrder(const std::vector<std::string>& list,
                                           const std::vector<DrawingReport>& skipped,
                                           const std::vector<DrawingReport>& done) {
    std::vector<const DrawingReport*> all;
    all.reserve(done.size());
    for (const auto& d : done) {
        all.push_back(&d);
    }
    std::vector<DrawingReport> joined;
    for (const DrawingReport* d : JoinInListOrder(list, skipped, all)) {
        joined.push_back(*d);
    }
    return joined;
}

}  // namespace vx::cli
