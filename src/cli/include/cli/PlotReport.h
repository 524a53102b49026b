// What `vormex-cli plot` reports of a run: per drawing its result, the plots made with their
// output files, the external references still missing, the fonts drawn with others, the
// warnings and errors and the time taken; for the run its choices and a summary. The
// report is one JSON object, written atomically; a run writes it again as each drawing
// ends, with "complete": false until the run is over, so that a run killed at any point
// leaves a valid report of what it did.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vx::cli {

struct LayoutPlot {
    std::string layout;
    std::string device;
    std::string paper;
    std::string styleTable;
    std::string output;  // the file written; empty for a printer or a failure
    bool ok = false;
    std::string error;
    std::vector<std::string> notes;
    // Entities the plot visited and drew (counted by the built-in engine only).
    long long entities = 0;
    long long drawn = 0;
};

struct MissingXref {
    std::string name;
    std::string path;  // the stored path, as the reload left it
};

// A reference loaded from somewhere else than the path the drawing stores.
struct FoundXref {
    std::string name;
    std::string path;   // the stored path
    std::string found;  // the file used
};

struct FontSubstitution {
    std::string font;
    std::string usedFont;
    std::string reason;
};

// PlottedWithWarnings: plotted, but a page came out blank or the drawing was read with
// damage warnings, so the plot may not show what the drawing holds. Skipped: a journal
// showed its plot from an earlier run still stands (or, retrying failures, that it did
// not fail).
enum class DrawingResult {
    Plotted,
    PlottedWithWarnings,
    Failed,
    NotOpened,
    NotReached,
    NotFound,
    Skipped
};

struct DrawingReport {
    std::string drawing;  // the full path, as the drawing list holds it
    DrawingResult result = DrawingResult::NotReached;
    std::string reason;  // why a drawing was not plotted, or what its warnings are about
    std::vector<LayoutPlot> plots;
    std::vector<std::string> outputs;
    std::vector<MissingXref> missingXrefs;
    std::vector<FoundXref> foundXrefs;
    // The files of all its external references, as the drawing's folder resolves them
    // (not part of the JSON report).
    std::vector<std::string> references;
    std::vector<FontSubstitution> fonts;
    std::vector<std::string> warnings;
    std::vector<std::string> errors;
    // Plot file names that were taken and got a number.
    std::vector<std::string> renamed;
    double seconds = 0;
    // The drawing's entry in the report's text, made when a report first holds it and
    // shared by the copies of this report (which is not changed once the drawing is done),
    // so that a report written again as a long run goes on does not make it again.
    struct Entry {
        qint64 index = -2;
        QByteArray text;
    };
    std::shared_ptr<Entry> entry = std::make_shared<Entry>();

    // "plotted", "plotted with warnings: <reason>", "failed: <reason>", "not opened:
    // <reason>", "not plotted: <reason>", "skipped (<reason>)".
    std::string ResultText() const;
    bool WasPlotted() const {
        return result == DrawingResult::Plotted || result == DrawingResult::PlottedWithWarnings;
    }
};

struct RunReport {
    // The choices as given.
    std::string device, paper, styleTable;
    int copies = 0;  // the number of copies the run sets; 0 keeps each drawing's own
    bool layouts = false;
    QStringList arguments;
    QString pattern;
    bool recursive = false;
    QString shard;  // "K/N" when the run took one shard of the list
    // --output-dir (absolute) and the name templates of model space and of layouts; empty
    // when the plot files lie beside the drawings.
    QString outputDir, nameTemplate, layoutNameTemplate;
    // In the order of the drawing list.
    std::vector<DrawingReport> drawings;
    // Drawings named by a list file that do not exist: reported as "not found" among the
    // others, never plotted.
    std::vector<std::string> notFound;
    // Each drawing's place in the whole drawing list, before a shard of it was taken. When
    // set, the report gives it as "index" and orders the drawings by it, so that the
    // reports of a list's shards can be joined in the list's order.
    std::map<std::string, qint64> positions;
    double seconds = 0;
    // False until the run is over: the drawings are then those done so far.
    bool complete = false;
    // The bound PDF set of the run's sheets (plot --merge), once written: "merged".
    QJsonObject merged;

    // Drawings plotted, with warnings or without.
    int Plotted() const;
    int PlottedWithWarnings() const;
    int Skipped() const;
    // The drawings, including those not found.
    int Total() const { return static_cast<int>(drawings.size() + notFound.size()); }
    QJsonObject ToJson() const;

private:
    friend bool WriteReport(const RunReport&, const QString&, QString&,
                            const std::vector<const DrawingReport*>*);
    // The report without its drawings, those given; and the drawings given (those not
    // found among them, made in `missing`) with their indexes, in the report's order.
    QJsonObject Head(const std::vector<const DrawingReport*>& given) const;
    std::vector<std::pair<qint64, const DrawingReport*>> Placed(
        const std::vector<const DrawingReport*>& given, std::vector<DrawingReport>& missing) const;
    std::vector<const DrawingReport*> Own() const;
};

// Writes the report to `file` atomically: the file has all of it or stays as it was.
// False with `error` set when it cannot be written. With `drawings`, the report holds those
// instead of its own (a run's drawings done so far).
bool WriteReport(const RunReport& report, const QString& file, QString& error,
                 const std::vector<const DrawingReport*>* drawings = nullptr);

}  // namespace vx::cli
