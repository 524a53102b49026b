// vormex-cli info DRAWING [--json]: what the engine reads from a drawing.
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <map>
#include <string>

#include "cli/Command.h"
#include "cli/DrawingFacts.h"
#include "engine/db/Database.h"
#include "engine/db/Extents.h"
#include "engine/load/DrawingLoader.h"

namespace vx::cli {

namespace {

namespace db = vx::engine::db;
namespace load = vx::engine::load;

QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QJsonValue Num(double v) {
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue();
}

QJsonArray Xy(db::Vec3 p) {
    return {Num(p.x), Num(p.y)};
}
QJsonArray Xyz(db::Vec3 p) {
    return {Num(p.x), Num(p.y), Num(p.z)};
}

QString Fmt(double v) {
    return QString::number(v, 'g', 10);
}
QString FmtXy(db::Vec3 p) {
    return "(" + Fmt(p.x) + ", " + Fmt(p.y) + ")";
}

const char* PlotTypeName(int t) {
    switch (t) {
        case 0:
            return "display";
        case 1:
            return "extents";
        case 2:
            return "limits";
        case 3:
            return "view";
        case 4:
            return "window";
        case 5:
            return "layout";
        default:
            return "unknown";
    }
}

const char* PaperUnitsName(int u) {
    switch (u) {
        case 0:
            return "inches";
        case 1:
            return "millimeters";
        case 2:
            return "pixels";
        default:
            return "unknown";
    }
}

int Viewports(const db::Database& d, const db::Layout& l) {
    int n = 0;
    if (l.block < d.blocks.size()) {
        for (const auto& e : d.blocks[l.block].entities) {
            n += e.type == db::EntityType::Viewport ? 1 : 0;
        }
    }
    return n;
}

QJsonObject PlotJson(const db::PlotSettings& p) {
    QJsonObject o;
    o["device"] = Q(p.configName);
    o["paper"] = Q(p.canonicalMediaName);
    o["style_sheet"] = Q(p.styleSheet);
    o["page_setup"] = Q(p.pageSetupName);
    o["plot_area"] = PlotTypeName(p.plotType);
    o["plot_type"] = p.plotType;
    o["window"] = QJsonArray{Xy(p.windowMin), Xy(p.windowMax)};
    o["scale_to_fit"] = p.standardScaleType == 0 && p.UseStandardScale();
    o["use_standard_scale"] = p.UseStandardScale();
    o["standard_scale_type"] = p.standardScaleType;
    o["standard_scale"] = Num(p.standardScale);
    o["custom_scale"] = QJsonArray{Num(p.customScaleNumerator), Num(p.customScaleDenominator)};
    o["rotation"] = p.rotation * 90;
    o["centered"] = p.Centered();
    o["paper_size"] = QJsonArray{Num(p.paperWidth), Num(p.paperHeight)};
    o["margins"] =
        QJsonArray{Num(p.marginLeft), Num(p.marginBottom), Num(p.marginRight), Num(p.marginTop)};
    o["origin"] = Xy(p.plotOrigin);
    o["paper_units"] = PaperUnitsName(p.paperUnits);
    return o;
}

QString PlotText(const db::PlotSettings& p) {
    auto quoted = [](const std::string& s) {
        return s.empty() ? QString("-") : "\"" + Q(s) + "\"";
    };
    QString scale =
        p.UseStandardScale()
            ? (p.standardScaleType == 0 ? QString("fit")
                                        : "standard #" + QString::number(p.standardScaleType))
            : Fmt(p.customScaleNumerator) + ":" + Fmt(p.customScaleDenominator);
    return "device " + quoted(p.configName) + ", paper " + quoted(p.canonicalMediaName) + " (" +
           Fmt(p.paperWidth) + " x " + Fmt(p.paperHeight) + " mm), style table " +
           quoted(p.styleSheet) + ", area " + PlotTypeName(p.plotType) + ", scale " + scale +
           ", rotation " + QString::number(p.rotation * 90) + ", " +
           (p.Centered() ? "centred" : "not centred") + ", margins " + Fmt(p.marginLeft) + "/" +
           Fmt(p.marginBottom) + "/" + Fmt(p.marginRight) + "/" + Fmt(p.marginTop);
}

int RunInfo(const QStringList& args, CommandIo& io) {
    bool json = false;
    QString file;
    for (const auto& a : args) {
        if (a == "--json") {
            json = true;
        } else if (a.startsWith("--")) {
            io.err << "vormex-cli info: unknown option " << a << '\n';
            return 2;
        } else if (file.isEmpty()) {
            file = a;
        } else {
            io.err << "vormex-cli info: one drawing at a time\n";
            return 2;
        }
    }
    if (file.isEmpty()) {
        io.err << "usage: vormex-cli info DRAWING [--json]\n";
        return 2;
    }
    const std::filesystem::path path(file.toStdU16String());
    load::LoadResult r = load::LoadDrawing(path);
    if (!r.Ok()) {
        io.err << "vormex-cli info: " << file << ": " << Q(r.error.Text()) << '\n';
        return 1;
    }
    const db::Database& d = *r.database;
    const EntityCounts counts = CountEntities(d);
    db::Box3 ext;
    try {
        ext = db::ModelExtents(d);
    } catch (const db::ExpansionError& e) {
        io.err << "vormex-cli info: " << file << ": " << e.what() << '\n';
        return 1;
    }
    int layerCount = 0;
    for (const auto& l : d.layers) {
        layerCount += l.implicit ? 0 : 1;
    }
    const db::Header& h = d.header;

    if (json) {
        QJsonObject o;
        o["file"] = QFileInfo(file).absoluteFilePath();
        o["version"] = Q(h.acadVersion);
        o["release"] = Q(db::ReleaseName(h.acadVersion));
        o["code_page"] = Q(h.codePage);
        o["units"] = Q(db::UnitsName(h.insUnits));
        o["insunits"] = h.insUnits;
        o["extents"] = ext.Empty()
                           ? QJsonValue()
                           : QJsonValue(QJsonObject{{"min", Xyz(ext.min)}, {"max", Xyz(ext.max)}});
        o["header_extents"] =
            h.hasExtents ? QJsonValue(QJsonObject{{"min", Xyz(h.extMin)}, {"max", Xyz(h.extMax)}})
                         : QJsonValue();
        o["layers"] = layerCount;
        o["layers_implicit"] = static_cast<int>(d.layers.size()) - layerCount;
        QJsonObject ents;
        for (const auto& [k, v] : counts.all) {
            ents[Q(k)] = v;
        }
        o["entities"] = ents;
        QJsonObject unknown;
        for (const auto& [k, v] : counts.unknown) {
            unknown[Q(k)] = v;
        }
        o["unknown_entities"] = unknown;
        QJsonArray layouts;
        for (const auto& l : d.layouts) {
            QJsonObject lo;
            lo["name"] = Q(l.name);
            lo["tab_order"] = l.tabOrder;
            lo["model"] = l.IsModel();
            lo["block"] = l.block < d.blocks.size() ? Q(d.blocks[l.block].name) : QString();
            lo["entities"] =
                l.block < d.blocks.size() ? static_cast<int>(d.blocks[l.block].entities.size()) : 0;
            lo["viewports"] = Viewports(d, l);
            lo["plot"] = PlotJson(l.plot);
            layouts.append(lo);
        }
        o["layouts"] = layouts;
        QJsonArray xrefs;
        for (const auto& b : d.blocks) {
            if (!b.IsXref()) {
                continue;
            }
            QJsonObject x;
            x["name"] = Q(b.name);
            x["path"] = b.xref ? Q(b.xref->path) : QString();
            x["loaded"] = b.xref && b.xref->status == db::XrefStatus::Loaded;
            x["overlay"] = b.IsOverlay();
            x["status"] =
                Q(load::XrefStatusText(b.xref ? b.xref->status : db::XrefStatus::NotLoaded));
            x["reason"] = b.xref ? Q(b.xref->reason) : QString();
            x["resolved_path"] = b.xref ? Q(b.xref->resolvedPath) : QString();
            xrefs.append(x);
        }
        o["xrefs"] = xrefs;
        QJsonArray warnings;
        for (const auto& w : d.warnings) {
            warnings.append(Q(w.Text()));
        }
        o["warnings"] = warnings;
        io.out << QJsonDocument(o).toJson(QJsonDocument::Indented);
        return 0;
    }

    QTextStream& out = io.out;
    out << "Drawing:    " << QFileInfo(file).absoluteFilePath() << '\n';
    out << "Version:    " << (h.acadVersion.empty() ? QString("(none)") : Q(h.acadVersion)) << " ("
        << Q(db::ReleaseName(h.acadVersion)) << ")";
    if (!h.codePage.empty()) {
        out << ", code page " << Q(h.codePage);
    }
    out << '\n';
    out << "Units:      " << Q(db::UnitsName(h.insUnits)) << '\n';
    out << "Extents:    "
        << (ext.Empty() ? QString("empty") : FmtXy(ext.min) + " to " + FmtXy(ext.max));
    if (h.hasExtents) {
        out << "  (stored: " << FmtXy(h.extMin) << " to " << FmtXy(h.extMax) << ")";
    }
    out << '\n';
    out << "Layers:     " << layerCount << '\n';
    int total = 0;
    for (const auto& [k, v] : counts.all) {
        total += v;
    }
    out << "Entities:   " << total << " in model space and paper-space layouts\n";
    for (const auto& [k, v] : counts.all) {
        out << "  " << Q(k).leftJustified(18) << ' ' << v;
        if (counts.unknown.count(k)) {
            out << "  (not drawn)";
        }
        out << '\n';
    }
    out << "Layouts:    " << d.layouts.size() << '\n';
    for (const auto& l : d.layouts) {
        int n = l.block < d.blocks.size() ? static_cast<int>(d.blocks[l.block].entities.size()) : 0;
        out << "  " << Q(l.name) << ": " << n << " entities";
        if (!l.IsModel()) {
            out << ", " << Viewports(d, l) << " viewports";
        }
        out << "\n    " << PlotText(l.plot) << '\n';
    }
    int xrefCount = 0;
    for (const auto& b : d.blocks) {
        xrefCount += b.IsXref() ? 1 : 0;
    }
    out << "External references: " << xrefCount << '\n';
    for (const auto& b : d.blocks) {
        if (!b.IsXref() || !b.xref) {
            continue;
        }
        out << "  " << Q(b.name) << (b.IsOverlay() ? " (overlay)" : "") << ": \"" << Q(b.xref->path)
            << "\" " << Q(load::XrefStatusText(b.xref->status));
        if (!b.xref->reason.empty()) {
            out << ": " << Q(b.xref->reason);
        }
        out << '\n';
    }
    out << "Warnings:   " << d.warnings.size() << '\n';
    for (const auto& w : d.warnings) {
        out << "  " << Q(w.Text()) << '\n';
    }
    return 0;
}

}  // namespace

constexpr char kInfoHelp[] =
    R"(Reads DRAWING, a DWG or DXF file, with the built-in CAD engine and prints what it found:
the format version, units, extents, layers, entity counts, layouts with their plot
settings, external references and the reader's warnings.

  --json             print the same as one JSON object
)";

Command InfoCommand() {
    return {"info",
            "DRAWING [--json]",
            "what the engine reads from a drawing: version, units, extents, layers, entity "
            "counts, layouts with their plot settings, external references, warnings",
            false,
            &RunInfo,
            kInfoHelp};
}

}  // namespace vx::cli
