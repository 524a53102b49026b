// The journal of `vormex-cli plot --journal FILE`: what each drawing's plot did, so that a
// later run with the same journal skips the drawings whose plots still stand and finishes
// the work of a run that was stopped.
//
// One JSON object a line, appended and synced as each drawing is done, never rewritten:
//   {"drawing": PATH, "result": "plotted", "done": true,
//    "choices": {"device", "paper", "style_table", "layouts", "copies", "output"},
//    "file": FACTS, "references": [FACTS...], "outputs": [FACTS...],
//    "sheets": [{"layout", "output"}...], "at": ISO-TIME}
// where FACTS is {"path", "size", "mtime_us", "blake2b"} (BLAKE2b-256 of the bytes, hex)
// or {"path", "missing": true}; "sheets" are the layouts that wrote a file, in the order
// plotted (records of older runs have none). A drawing may have several records; the last one
// counts. A line that does not read as a record (the torn end of a run cut off by a power loss) is
// passed over.
//
// A drawing is skipped when its last record says it was plotted with the same choices
// and its bytes, its references' bytes (present or missing as they were) and its output
// files' bytes are those recorded. With "retry failed" only the drawings whose last record
// says they failed are plotted.
//
// Record() may be called from several threads at once; each record is one line.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/PlotReport.h"
#include "files/AppendFile.h"

namespace vx::cli {

// The choices a drawing was plotted with; another choice means another plot.
struct JournalChoices {
    std::string device, paper, styleTable;
    bool layouts = false;
    int copies = 0;  // 0: each drawing's own
    // Where the plot files go: the output folder and name templates; empty beside the
    // drawing.
    std::string output;
    friend bool operator==(const JournalChoices&, const JournalChoices&) = default;
};

// What a file was when looked at: its size, modification time and content hash.
struct FileFacts {
    std::string path;
    bool present = false;  // a regular file
    std::int64_t size = -1;
    std::int64_t modifiedUs = 0;  // microseconds since 1970-01-01 UTC
    QByteArray hash;              // hex; empty when the file could not be read whole
    // The same file content, or missing both times. A file that could not be read never
    // counts as the same.
    bool SameContent(const FileFacts& other) const;
};

// Looks at `path`: a regular file (links followed) of at most `maxBytes` is read and
// hashed; anything else is present without a hash, or missing.
FileFacts FactsOf(const std::string& path, std::uintmax_t maxBytes = std::uintmax_t{1} << 30);

struct JournalRecord {
    std::string drawing;
    QString result;     // the report's result word
    bool done = false;  // plotted, with warnings or without
    JournalChoices choices;
    FileFacts file;
    std::vector<FileFacts> references;
    std::vector<FileFacts> outputs;
    // Each layout that wrote a file, and its file, in the order plotted.
    std::vector<std::pair<std::string, std::string>> sheets;

    QJsonObject ToJson() const;
    // Nothing when the object is no record.
    static std::optional<JournalRecord> FromJson(const QJsonObject& o);
};

class RunJournal {
public:
    // Reads the journal (at most kMaxBytes; a missing file is an empty journal) and opens
    // it for appending. Nothing with `error` set when it cannot be read or opened.
    static std::unique_ptr<RunJournal> Open(const QString& file, QString& error);
    static constexpr std::uintmax_t kMaxBytes = std::uintmax_t{1} << 30;

    // Whether a run with `choices` plots the drawing; when not, the drawing's report
    // ("skipped") with the outputs its last plot made and, as far as the record tells, the
    // layouts that made them.
    std::optional<DrawingReport> Skip(const std::string& drawing, const JournalChoices& choices,
                                      bool retryFailed);

    // Appends what the run did with the drawing: its result, its file as it is now, its
    // references' and outputs' files. False with `error` set when the line was not
    // written. A drawing that changed since Skip() looked at it is recorded without a
    // hash, so that the next run plots it again.
    bool Record(const DrawingReport& done, const JournalChoices& choices, QString& error);

    // The last record of a drawing, if any.
    std::optional<JournalRecord> Last(const std::string& drawing) const;
    // Lines of the file that held no record.
    int UnreadLines() const { return unreadLines_; }

private:
    explicit RunJournal(const std::filesystem::path& file);

    files::AppendFile file_;
    mutable std::mutex mutex_;
    std::map<std::string, JournalRecord> last_;
    // The size and time of each drawing to plot when Skip() looked at it.
    std::map<std::string, std::pair<std::int64_t, std::int64_t>> seen_;
    int unreadLines_ = 0;
};

// A message when the journal's file is the report's or a drawing's.
std::optional<QString> JournalClash(const QString& journal, const QString& report,
                                    const std::vector<std::string>& drawings);

// The reports of the drawings a journal skipped and of those the run did, each in the
// order of `list`, joined in that order.
std::vector<DrawingReport> JoinInListOrder(const std::vector<std::string>& list,
                                           const std::vector<DrawingReport>& skipped,
                                           const std::vector<DrawingReport>& done);
std::vector<const DrawingReport*> JoinInListOrder(const std::vector<std::string>& list,
                                                  const std::vector<DrawingReport>& skipped,
                                                  const std::vector<const DrawingReport*>& done);

}  // namespace vx::cli
