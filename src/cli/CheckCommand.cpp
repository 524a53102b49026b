// vormex-cli check DIR|FILE... [--files-from LIST] [--pattern P] [--recursive] [--json]
//   [--device NAME --paper NAME [--style TABLE]] [--layouts]
//
// Tells, before a run, what would keep the drawings from plotting as asked. Each drawing
// is opened read-only on the CAD application the runs use, through its automation
// interface, and its external references are searched for and reloaded as a run does
// (XrefReload); the application then tells which are still missing, the layouts and
// whether they are empty, and whether the device offers the paper. The engine's reader
// adds what the automation model does not carry: the format version, the fonts the text
// asks for that would be drawn with others, and the entities it cannot draw. Nothing is
// rendered and nothing written.
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "cli/CadSession.h"
#include "cli/Command.h"
#include "cli/CommandOptions.h"
#include "cli/DrawingFacts.h"
#include "cli/DrawingList.h"
#include "cli/PlotReport.h"
#include "engine/load/DrawingLoader.h"
#include "plot/PlotChoiceCheck.h"
#include "plot/PlotPaths.h"
#include "plot/PlotService.h"
#include "plot/XrefReload.h"
#include "search/FileSearch.h"
#include "search/FileSystemPath.h"

namespace vx::cli {

namespace {

namespace db = engine::db;

constexpr char kUsage[] =
    "DIR|FILE... [--files-from LIST] [--pattern P] [--recursive] [--json] "
    "[--device NAME --paper NAME [--style TABLE]] [--layouts]";

struct CheckArguments {
    QStringList inputs;
    QString filesFrom, device, paper, style;
    QString pattern = QStringLiteral("*.DWG");
    bool recursive = false, json = false, layouts = false;
};

struct LayoutFacts {
    std::string name;
    int entities = 0;
    bool empty = false;  // nothing a run would plot on it
};

struct DrawingCheck {
    std::string path;
    bool found = true;
    bool opened = false;
    std::string error;  // why it was not opened
    std::string version, release;
    std::vector<LayoutFacts> layouts;
    bool nothingToPlot = false;
    std::vector<MissingXref> missingXrefs;
    std::vector<FoundXref> foundXrefs;
    std::vector<FontUse> fonts;
    std::map<std::string, int> notDrawn;
    std::vector<std::string> warnings;
    bool paperOffered = true;

    bool Ok() const {
        return found && opened && !nothingToPlot && missingXrefs.empty() &&
               std::none_of(fonts.begin(), fonts.end(),
                            [](const FontUse& f) { return f.missing; }) &&
               notDrawn.empty() && paperOffered;
    }
};

std::optional<QString> Parse(const QStringList& args, CheckArguments& a) {
    if (auto problem = ReadOptions(
            args, {{"--recursive", &a.recursive}, {"--json", &a.json}, {"--layouts", &a.layouts}},
            {{"--files-from", &a.filesFrom},
             {"--pattern", &a.pattern},
             {"--device", &a.device},
             {"--paper", &a.paper},
             {"--style", &a.style}},
            a.inputs)) {
        return problem;
    }
    if (a.inputs.isEmpty() && a.filesFrom.isNull()) {
        return QStringLiteral("no drawing or folder given");
    }
    if (a.device.isEmpty() != a.paper.isEmpty()) {
        return QStringLiteral("--device and --paper go together");
    }
    if (!a.style.isEmpty() && a.device.isEmpty()) {
        return QStringLiteral("--style needs --device and --paper");
    }
    return std::nullopt;
}

// The paper as a run chooses it: the first of the device's papers that equals the choice
// ignoring case or contains it as typed.
bool OffersPaper(const cad::Strings& papers, const std::string& paper) {
    return std::any_of(papers.begin(), papers.end(), [&](const std::string& name) {
        return plot::EqualsIgnoringCase(name, paper) || plot::Contains(name, paper);
    });
}

// The facts only the engine's reader gives.
void ReadFacts(const std::string& path, DrawingCheck& c) {
    const auto r = engine::load::ReadDrawingFile(plot::FsPath(path));
    if (!r.Ok()) {
        c.warnings.push_back("the engine's reader: " + r.error.Text());
        return;
    }
    const db::Database& d = *r.database;
    c.version = d.header.acadVersion;
    c.release = std::string(db::ReleaseName(d.header.acadVersion));
    c.notDrawn = CountEntities(d).unknown;
    c.fonts = SubstitutedFonts(d);
    for (const auto& w : d.warnings) {
        c.warnings.push_back(w.Text());
    }
}

class Checker {
public:
    Checker(CadSession& session, const CheckArguments& a) : session_(session), a_(a) {}

    DrawingCheck Check(const std::string& path) {
        DrawingCheck c;
        c.path = path;
        auto& connection = session_.Connection();
        connection.EnsureConnected();
        cad::Ref<cad::AcadDocument> doc;
        try {
            // A drawing the user has open is left alone: the reference reload would change
            // it, and closing it could lose the user's work.
            auto docs = connection.CadApp->Application()->Documents();
            const std::string name = plot::LastComponent(path);
            for (std::int32_t i = 0, n = docs->Count(); i < n; ++i) {
                auto open = docs->Item(i);
                if (open->Name() == name && plot::IsPathOf(open->Path(), name, path) &&
                    !connection.OpenedHere(*open)) {
                    c.error = "it is open in the CAD application: close it there to check it";
                    return c;
                }
            }
            doc = docs->Open(path, true);
            if (doc) {
                connection.NoteOpenedHere(*doc);
            }
        } catch (const cad::CadFailure&) {
            throw;
        } catch (const cad::CadError& e) {
            c.error = e.Description();
        }
        if (!doc) {
            if (c.error.empty()) {
                c.error = "the CAD application did not open it";
            }
            return c;
        }
        c.opened = true;
        try {
            Inspect(*doc, c);
        } catch (const cad::CadFailure&) {
            throw;
        } catch (const cad::CadError& e) {
            c.warnings.push_back("the CAD application: " + e.Description());
        }
        cad::TryStep([&] { connection.CloseWithoutSaving(*doc); });
        ReadFacts(path, c);
        return c;
    }

private:
    void Inspect(cad::AcadDocument& doc, DrawingCheck& c) {
        doc.Activate();
        // The references as a run finds them: the same search, the same reload.
        plot::XrefReload reload(session_.Connection());
        reload.ReloadXrefs();
        for (const auto& moved : reload.Relocations()) {
            c.foundXrefs.push_back({moved.name, moved.stored, moved.found});
        }
        auto blocks = doc.Blocks();
        for (std::int32_t i = 0, n = blocks->Count(); i < n; ++i) {
            cad::TryStep([&] {
                auto block = blocks->Item(i);
                if (!block->IsXRef()) {
                    return;
                }
                try {
                    block->XRefDatabase()->ModelSpace()->Count();
                } catch (const cad::CadError& e) {
                    if (e.Description() == cad::kNoDatabase) {
                        c.missingXrefs.push_back({block->Name(), block->Path()});
                    }
                }
            });
        }
        // Layouts: the run plots the active one, or with --layouts each paper-space
        // layout that is not blank.
        auto layouts = doc.Layouts();
        bool anySheet = false;
        for (std::int32_t i = 0, n = layouts->Count(); i < n; ++i) {
            auto layout = layouts->Item(i);
            LayoutFacts f;
            f.name = layout->Name();
            f.entities = layout->Block()->Count();
            const bool model = plot::Contains(f.name, "Model");
            f.empty = f.entities == 0 || (!model && plot::IsBlankSheet(doc, *layout));
            anySheet = anySheet || (!model && !f.empty);
            c.layouts.push_back(f);
        }
        if (a_.layouts) {
            c.nothingToPlot = !anySheet;
        } else {
            c.nothingToPlot = doc.ActiveLayout()->Block()->Count() == 0;
        }
        if (!a_.device.isEmpty()) {
            auto layout = doc.ActiveLayout();
            layout->RefreshPlotDeviceInfo();
            layout->SetConfigName(search::ToFileSystemPath(a_.device));
            layout->RefreshPlotDeviceInfo();
            c.paperOffered =
                OffersPaper(layout->GetCanonicalMediaNames(), search::ToFileSystemPath(a_.paper));
        }
    }

    CadSession& session_;
    const CheckArguments& a_;
};

QString Q(const std::string& s) {
    return search::FromFileSystemPath(s);
}

QJsonObject ToJson(const DrawingCheck& c, const CheckArguments& a) {
    QJsonObject o{{"drawing", Q(c.path)},
                  {"ok", c.Ok()},
                  {"found", c.found},
                  {"opened", c.opened},
                  {"error", Q(c.error)}};
    if (!c.opened) {
        return o;
    }
    o["version"] = Q(c.version);
    o["release"] = Q(c.release);
    QJsonArray layouts;
    for (const auto& l : c.layouts) {
        layouts.append(
            QJsonObject{{"name", Q(l.name)}, {"entities", l.entities}, {"empty", l.empty}});
    }
    o["layouts"] = layouts;
    o["nothing_to_plot"] = c.nothingToPlot;
    QJsonArray missing, found, fonts, warnings;
    for (const auto& x : c.missingXrefs) {
        missing.append(QJsonObject{{"name", Q(x.name)}, {"path", Q(x.path)}});
    }
    for (const auto& x : c.foundXrefs) {
        found.append(QJsonObject{{"name", Q(x.name)}, {"path", Q(x.path)}, {"found", Q(x.found)}});
    }
    for (const auto& [f, lacking] : c.fonts) {
        fonts.append(QJsonObject{{"font", Q(f.asked)},
                                 {"used", Q(f.used)},
                                 {"reason", Q(f.reason)},
                                 {"missing", lacking}});
    }
    for (const auto& w : c.warnings) {
        warnings.append(Q(w));
    }
    o["missing_xrefs"] = missing;
    o["found_xrefs"] = found;
    o["substituted_fonts"] = fonts;
    QJsonObject notDrawn;
    for (const auto& [type, count] : c.notDrawn) {
        notDrawn[Q(type)] = count;
    }
    o["not_drawn"] = notDrawn;
    if (!a.device.isEmpty()) {
        o["paper_offered"] = c.paperOffered;
    }
    o["warnings"] = warnings;
    return o;
}

void PrintText(QTextStream& out, const DrawingCheck& c, const CheckArguments& a) {
    out << Q(c.path) << '\t' << (c.Ok() ? "ok" : "problems") << '\n';
    if (!c.found) {
        out << "  not found\n";
        return;
    }
    if (!c.opened) {
        out << "  not opened: " << Q(c.error) << '\n';
        return;
    }
    out << "  version " << (c.version.empty() ? QStringLiteral("unknown") : Q(c.version));
    if (!c.version.empty() && !c.release.empty()) {
        out << " (" << Q(c.release) << ')';
    }
    out << "\n  layouts:";
    for (std::size_t i = 0; i < c.layouts.size(); ++i) {
        const auto& l = c.layouts[i];
        out << (i ? ", " : " ") << Q(l.name) << (l.empty ? " (empty)" : "");
    }
    out << '\n';
    if (c.nothingToPlot) {
        out << "  nothing to plot" << (a.layouts ? " on any paper-space layout" : "") << '\n';
    }
    for (const auto& x : c.missingXrefs) {
        out << "  missing reference " << Q(x.name) << ": " << Q(x.path) << '\n';
    }
    for (const auto& x : c.foundXrefs) {
        out << "  reference " << Q(x.name) << " found at " << Q(x.found) << '\n';
    }
    for (const auto& [f, missing] : c.fonts) {
        out << (missing ? "  missing font " : "  font ") << Q(f.asked) << " drawn with "
            << Q(f.used) << ": " << Q(f.reason) << '\n';
    }
    for (const auto& [type, count] : c.notDrawn) {
        out << "  not drawn: " << count << ' ' << Q(type) << '\n';
    }
    if (!c.paperOffered) {
        out << "  paper \"" << a.paper << "\" not offered by " << a.device << '\n';
    }
    for (const auto& w : c.warnings) {
        out << "  warning: " << Q(w) << '\n';
    }
}

int RunCheck(const QStringList& args, CommandIo& io) {
    CheckArguments a;
    if (auto problem = Parse(args, a)) {
        io.err << "vormex-cli check: " << *problem << "\nusage: vormex-cli check " << kUsage
               << '\n';
        return kExitUsage;
    }
    const auto listed = ListedPaths(a.filesFrom, "check", io);
    if (!listed) {
        return kExitUsage;
    }
    const DrawingListing listing =
        ListDrawings(a.inputs, *listed, a.pattern, a.recursive, std::nullopt);
    if (listing.drawings.empty() && listing.notFound.empty()) {
        io.err << "vormex-cli check: " << search::kNoFilesFound << '\n';
        return 1;
    }

    CadSession session(io, ProgramBackEnds(), QStringLiteral("check"));
    if (!session.Connect()) {
        return kExitNoCad;
    }
    std::vector<DrawingCheck> checks;
    try {
        if (!a.device.isEmpty()) {
            plot::PlotChoices choices{search::ToFileSystemPath(a.device),
                                      search::ToFileSystemPath(a.paper),
                                      search::ToFileSystemPath(a.style), 0};
            const auto lists = session.FillLists();
            const auto among = [](const std::vector<std::string>& l, const std::string& s) {
                return std::find(l.begin(), l.end(), s) != l.end();
            };
            if (!among(lists.devices, choices.StrPrinter)) {
                io.err << "vormex-cli check: there is no plot device named \"" << a.device
                       << "\" (vormex-cli devices lists them)\n";
                return kExitUsage;
            }
            if (!a.style.isEmpty() && !among(lists.styles, choices.StrCTB)) {
                io.err << "vormex-cli check: there is no plot style table named \"" << a.style
                       << "\" (vormex-cli styles lists them)\n";
                return kExitUsage;
            }
        }
        Checker checker(session, a);
        std::size_t missing = 0;
        // In list order: the paths not found have their places among the others.
        std::vector<std::pair<qint64, std::string>> order;
        for (const auto& d : listing.drawings) {
            order.emplace_back(listing.positions.at(d.path + d.name), d.path + d.name);
        }
        for (const auto& path : listing.notFound) {
            order.emplace_back(listing.positions.at(path), path);
        }
        std::stable_sort(order.begin(), order.end(),
                         [](const auto& x, const auto& y) { return x.first < y.first; });
        for (const auto& [index, path] : order) {
            const bool found = std::find(listing.notFound.begin(), listing.notFound.end(), path) ==
                               listing.notFound.end();
            if (!found) {
                DrawingCheck c;
                c.path = path;
                c.found = false;
                checks.push_back(c);
                ++missing;
            } else {
                checks.push_back(checker.Check(path));
            }
            if (!a.json) {
                PrintText(io.out, checks.back(), a);
                io.out.flush();
            }
        }
    } catch (const cad::ProgramEnded&) {
        return kExitNoCad;
    } catch (const cad::CadError& e) {
        io.err << "vormex-cli check: " << Q(e.Description()) << '\n';
        return 1;
    }
    session.Finish();
    const auto good =
        std::count_if(checks.begin(), checks.end(), [](const DrawingCheck& c) { return c.Ok(); });
    if (a.json) {
        QJsonArray list;
        for (const auto& c : checks) {
            list.append(ToJson(c, a));
        }
        io.out << QJsonDocument(
                      QJsonObject{
                          {"drawings", list},
                          {"summary", QJsonObject{{"drawings", static_cast<int>(checks.size())},
                                                  {"ok", static_cast<int>(good)}}}})
                      .toJson(QJsonDocument::Indented);
    }
    io.err << checks.size() << (checks.size() == 1 ? " drawing: " : " drawings: ") << good
           << " ready, " << static_cast<qsizetype>(checks.size()) - good << " with problems\n";
    return good == static_cast<qsizetype>(checks.size()) ? 0 : 1;
}

constexpr char kHelp[] =
    R"(Tells whether the drawings would plot as asked, without plotting them. Each drawing is
opened read-only on the CAD application a plot run uses, its external references are
searched for and reloaded as a run does, and the engine's reader adds what the
application does not tell. Nothing is drawn or written; a check takes a fraction of a
plot's time.

  --files-from LIST  also the drawings and folders named in the file LIST, one a line
                     ("-": standard input), as "vormex-cli plot" takes it
  --pattern P        the file pattern for folders (default *.DWG)
  --recursive        search the folders' subfolders too
  --device NAME      with --paper: check that the device offers the paper
  --paper NAME       the paper, as "vormex-cli plot" matches it
  --style TABLE      the plot style table, checked against the list of tables
  --layouts          the run would plot each paper-space layout: a drawing whose
                     paper-space layouts are all empty has nothing to plot
  --json             one JSON object with a record per drawing

Per drawing: its path and "ok" or "problems" (tab-separated), then indented lines: the
format version, the layouts (empty ones marked), external references still missing
after the search and those found elsewhere, fonts that would be drawn with others
("missing font" when no font of that name or of the same widths is installed), entities
the engine does not draw, a paper the device does not offer, and the reader's warnings.
Warnings, references found elsewhere and fonts drawn with a same-named single-stroke
font or one of the same widths are no problems.

Exit status:
  0  every drawing would plot as asked
  1  a drawing not found or not opened, or with a problem
  2  bad usage, or a device or style table not in the lists
  3  no CAD application could be reached or started
)";

}  // namespace

extern const Command kCheckCommand;
const Command kCheckCommand{"check",
                            kUsage,
                            "tell what would keep the drawings from plotting as asked: "
                            "references, fonts, entities, layouts, papers; plots nothing",
                            true,
                            &RunCheck,
                            kHelp};

}  // namespace vx::cli
