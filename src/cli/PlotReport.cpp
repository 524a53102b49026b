#include "PlotReport.h"

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

QJsonObject RunReport::ToJson() const {
    QJsonObject o;
    const int plotted = Plotted();
    o["complete"] = complete;
    o["summary"] = QJsonObject{{"drawings", Total()},
                               {"plotted", plotted},
                               {"with_warnings", PlottedWithWarnings()},
                               {"skipped", Skipped()},
                               {"failed", Total() - plotted - Skipped()},
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
    std::vector<std::pair<qint64, QJsonObject>> placed;
    const auto place = [&](const std::string& path, QJsonObject json) {
        const auto at = positions.find(path);
        const qint64 index = at == positions.end() ? -1 : at->second;
        if (index >= 0) {
            json["index"] = index;
        }
        placed.emplace_back(index, std::move(json));
    };
    for (const auto& d : drawings) {
        place(d.drawing, DrawingJson(d));
    }
    for (const auto& path : notFound) {
        DrawingReport missing;
        missing.drawing = path;
        missing.result = DrawingResult::NotFound;
        place(path, DrawingJson(missing));
    }
    if (!positions.empty()) {
        std::stable_sort(placed.begin(), placed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    QJsonArray list;
    for (auto& [index, json] : placed) {
        list.append(json);
    }
    o["drawings"] = list;
    if (!merged.isEmpty()) {
        o["merged"] = merged;
    }
    return o;
}

bool WriteReport(const RunReport& report, const QString& file, QString& error) {
    const QByteArray bytes = QJsonDocument(report.ToJson()).toJson(QJsonDocument::Indented);
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
