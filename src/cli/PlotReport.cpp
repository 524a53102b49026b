#include "cli/PlotReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cmath>

#include "files/AtomicFile.h"
#include "plot/PlotPaths.h"
#include "search/FileSystemPath.h"

namespace vx::cli {

namespace {

QString Text(const std::string& s) {
    return search::FromFileSystemPath(s);
}

QJsonArray Texts(const std::vector<std::string>& list) {
    QJsonArray a;
    for (const auto& s : list) {
        a.append(Text(s));
    }
    return a;
}

// Seconds to the millisecond.
double Seconds(double s) {
    return std::round(s * 1000.0) / 1000.0;
}

const char* ResultWord(DrawingResult r) {
    switch (r) {
        case DrawingResult::Plotted:
            return "plotted";
        case DrawingResult::PlottedWithWarnings:
            return "plotted with warnings";
        case DrawingResult::Failed:
            return "failed";
        case DrawingResult::NotOpened:
            return "not opened";
        case DrawingResult::NotReached:
            return "not plotted";
        case DrawingResult::NotFound:
            return "not found";
        case DrawingResult::Skipped:
            return "skipped";
    }
    return "not plotted";
}

QJsonObject DrawingJson(const DrawingReport& d) {
    QJsonObject o;
    o["drawing"] = Text(d.drawing);
    o["result"] = ResultWord(d.result);
    o["reason"] = Text(d.reason);
    QJsonArray layouts;
    for (const auto& p : d.plots) {
        QJsonObject l;
        l["layout"] = Text(p.layout);
        l["device"] = Text(p.device);
        l["paper"] = Text(p.paper);
        l["style_table"] = Text(p.styleTable);
        l["output"] = Text(p.output);
        l["ok"] = p.ok;
        l["error"] = Text(p.error);
        l["notes"] = Texts(p.notes);
        l["entities"] = static_cast<qint64>(p.entities);
        l["drawn"] = static_cast<qint64>(p.drawn);
        layouts.append(l);
    }
    o["layouts"] = layouts;
    o["outputs"] = Texts(d.outputs);
    QJsonArray xrefs;
    for (const auto& x : d.missingXrefs) {
        xrefs.append(QJsonObject{{"name", Text(x.name)}, {"path", Text(x.path)}});
    }
    o["missing_xrefs"] = xrefs;
    QJsonArray found;
    for (const auto& x : d.foundXrefs) {
        found.append(
            QJsonObject{{"name", Text(x.name)}, {"path", Text(x.path)}, {"found", Text(x.found)}});
    }
    o["found_xrefs"] = found;
    QJsonArray fonts;
    for (const auto& f : d.fonts) {
        fonts.append(QJsonObject{
            {"font", Text(f.font)}, {"used", Text(f.usedFont)}, {"reason", Text(f.reason)}});
    }
    o["substituted_fonts"] = fonts;
    o["warnings"] = Texts(d.warnings);
    o["errors"] = Texts(d.errors);
    o["renamed_outputs"] = Texts(d.renamed);
    o["seconds"] = Seconds(d.seconds);
    return o;
}

}  // namespace

std::string DrawingReport::ResultText() const {
    const std::string word = ResultWord(result);
    if (result == DrawingResult::Skipped) {
        return word + " (" + reason + ")";
    }
    return result == DrawingResult::Plotted || reason.empty() ? word : word + ": " + reason;
}

int RunReport::Plotted() const {
    return static_cast<int>(std::count_if(drawings.begin(), drawings.end(),
                                          [](const auto& d) { return d.WasPlotted(); }));
}

int RunReport::Skipped() const {
    return static_cast<int>(std::count_if(drawings.begin(), drawings.end(), [](const auto& d) {
        return d.result == DrawingResult::Skipped;
    }));
}

int RunReport::PlottedWithWarnings() const {
    return static_cast<int>(std::count_if(drawings.begin(), drawings.end(), [](const auto& d) {
        return d.result == DrawingResult::PlottedWithWarnings;
    }));
}

std::vector<const DrawingReport*> RunReport::Own() const {
    std::vector<const DrawingReport*> own;
    own.reserve(drawings.size());
    for (const auto& d : drawings) {
        own.push_back(&d);
    }
    return own;
}

QJsonObject RunReport::Head(const std::vector<const DrawingReport*>& given) const {
    QJsonObject o;
    int plotted = 0, warned = 0, skipped = 0;
    for (const DrawingReport* d : given) {
        plotted += d->WasPlotted() ? 1 : 0;
        warned += d->result == DrawingResult::PlottedWithWarnings ? 1 : 0;
        skipped += d->result == DrawingResult::Skipped ? 1 : 0;
    }
    const int total = static_cast<int>(given.size() + notFound.size());
    o["complete"] = complete;
    o["summary"] = QJsonObject{{"drawings", total},
                               {"plotted", plotted},
                               {"with_warnings", warned},
                               {"skipped", skipped},
                               {"failed", total - plotted - skipped},
                               {"not_found", static_cast<int>(notFound.size())},
                               {"seconds", Seconds(seconds)}};
    o["choices"] = QJsonObject{{"device", Text(device)},
                               {"paper", Text(paper)},
                               {"style_table", Text(styleTable)},
                               {"copies", copies},
                               {"layouts", layouts}};
    QJsonObject search{{"arguments", QJsonArray::fromStringList(arguments)},
                       {"pattern", pattern},
                       {"recursive", recursive}};
    if (!shard.isEmpty()) {
        search["shard"] = shard;
    }
    o["search"] = search;
    if (!outputDir.isEmpty()) {
        o["output"] = QJsonObject{{"dir", outputDir},
                                  {"template", nameTemplate},
                                  {"layout_template", layoutNameTemplate}};
    }
    if (!merged.isEmpty()) {
        o["merged"] = merged;
    }
    return o;
}

std::vector<std::pair<qint64, const DrawingReport*>> RunReport::Placed(
    const std::vector<const DrawingReport*>& given, std::vector<DrawingReport>& missing) const {
    std::vector<std::pair<qint64, const DrawingReport*>> placed;
    placed.reserve(given.size() + notFound.size());
    const auto place = [&](const DrawingReport& d) {
        const auto at = positions.find(d.drawing);
        placed.emplace_back(at == positions.end() ? -1 : at->second, &d);
    };
    for (const DrawingReport* d : given) {
        place(*d);
    }
    missing.reserve(notFound.size());
    for (const auto& path : notFound) {
        DrawingReport& d = missing.emplace_back();
        d.drawing = path;
        d.result = DrawingResult::NotFound;
        place(d);
    }
    if (!positions.empty()) {
        std::stable_sort(placed.begin(), placed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    return placed;
}

QJsonObject RunReport::ToJson() const {
    const std::vector<const DrawingReport*> own = Own();
    QJsonObject o = Head(own);
    QJsonArray list;
    std::vector<DrawingReport> missing;
    for (const auto& [index, d] : Placed(own, missing)) {
        QJsonObject json = DrawingJson(*d);
        if (index >= 0) {
            json["index"] = index;
        }
        list.append(json);
    }
    o["drawings"] = list;
    return o;
}

bool WriteReport(const RunReport& report, const QString& file, QString& error,
                 const std::vector<const DrawingReport*>* drawings) {
    const std::vector<const DrawingReport*> own =
        drawings ? std::vector<const DrawingReport*>{} : report.Own();
    const std::vector<const DrawingReport*>& given = drawings ? *drawings : own;
    // The drawings' entries are made once each and set into the text of the rest, in the
    // place of "drawings", as QJsonDocument would indent them.
    QJsonObject head = report.Head(given);
    static const QString kPlace = QStringLiteral("drawings go here");
    head["drawings"] = kPlace;
    const QByteArray headText = QJsonDocument(head).toJson(QJsonDocument::Indented);
    const QByteArray placeholder = "\n    \"drawings\": \"" + kPlace.toUtf8() + '"';
    const qsizetype at = headText.indexOf(placeholder);
    std::vector<DrawingReport> missing;
    const auto placed = report.Placed(given, missing);
    qsizetype size = headText.size();
    for (const auto& [index, d] : placed) {
        DrawingReport::Entry& entry = *d->entry;
        if (entry.text.isEmpty() || entry.index != index) {
            QJsonObject json = DrawingJson(*d);
            if (index >= 0) {
                json["index"] = index;
            }
            const QByteArray text = QJsonDocument(json).toJson(QJsonDocument::Indented).trimmed();
            entry.text = "        " + QByteArray(text).replace("\n", "\n        ");
            entry.index = index;
        }
        size += entry.text.size() + 2;
    }
    QByteArray bytes;
    bytes.reserve(size + 64);
    bytes += headText.left(at + placeholder.size() - kPlace.toUtf8().size() - 2);
    bytes += "[\n";
    for (std::size_t i = 0; i < placed.size(); ++i) {
        bytes += placed[i].second->entry->text;
        bytes += i + 1 < placed.size() ? ",\n" : "\n";
    }
    bytes += "    ]";
    bytes += headText.mid(at + placeholder.size());
    std::string problem;
    if (!files::WriteFileAtomically(
            plot::FsPath(search::ToFileSystemPath(file)),
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), problem)) {
        error = QString::fromStdString(problem);
        return false;
    }
    return true;
}

}  // namespace vx::cli
