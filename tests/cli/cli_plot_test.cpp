// vormex-cli plot on the built-in engine: the program itself over a copy of the examples,
// and the command in the test's process (its own engine folders) for the layouts run,
// failing drawings, bad choices and an interrupt. Every drawing a run touches must stay as
// it was, with nothing new beside it but its plots.
#include <gmock/gmock.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <csignal>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "../app/ShellHarness.h"
#include "../engine/automation/EngineFixture.h"
#include "CliRunner.h"
#include "cli/PlotCommand.h"
#include "cli/RunPrinter.h"
#include "ui/UserServices.h"

namespace vx::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::SizeIs;

QString Q(const fs::path& p) {
    return QString::fromStdString(p.string());
}

QJsonObject ReadJson(const fs::path& file) {
    QFile f(Q(file));
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QJsonDocument::fromJson(f.readAll()).object();
}

// A printed line: drawing, result, output files.
struct Line {
    std::string drawing, result;
    std::vector<std::string> outputs;
};

std::vector<Line> Lines(const QByteArray& out) {
    std::vector<Line> lines;
    for (const QByteArray& text : out.split('\n')) {
        if (text.isEmpty()) {
            continue;
        }
        const QList<QByteArray> fields = text.split('\t');
        Line l{fields.value(0).toStdString(), fields.value(1).toStdString(), {}};
        for (qsizetype i = 2; i < fields.size(); ++i) {
            l.outputs.push_back(fields[i].toStdString());
        }
        lines.push_back(l);
    }
    return lines;
}

QJsonObject DrawingIn(const QJsonObject& report, const fs::path& drawing) {
    for (const auto& d : report["drawings"].toArray()) {
        if (d.toObject()["drawing"].toString() == Q(drawing)) {
            return d.toObject();
        }
    }
    return {};
}

// The files of a snapshot as they were: bytes, size and modification time.
template <class Snap>
void ExpectUnchanged(const Snap& before) {
    for (const auto& [file, state] : before) {
        EXPECT_EQ(StateOf(file), state) << file;
    }
}

// The drawings of the examples, in the order the search lists them with subfolders.
const std::vector<std::string> kExampleDrawings = {
    "bracket-r12.dxf",
    "flange.dxf",
    "floor-plan.dxf",
    "site-layouts.dxf",
    "text-styles.dxf",
    "moved-project/Projects/Job1/Dwg/office-level1.dxf",
    "moved-project/Projects/Job1/Xref/structure-grid.dxf"};

// The program itself, as a script runs it: a user of its own, no display, no terminal.
TEST(CliPlotProgram, PlotsEveryExampleToOneValidPdfAndLeavesTheDrawingsAsTheyWere) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const fs::path root(temp.path().toStdString());
    const fs::path examples = root / "examples";
    CopyTree(kExamples, examples);
    fs::create_directories(root / "home");
    const auto before = Snapshot(examples);

    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", Q(root / "home"));
    env.insert("XDG_DATA_HOME", Q(root / "home/.local/share"));
    env.insert("XDG_CONFIG_HOME", Q(root / "home/.config"));
    env.remove("QT_QPA_PLATFORM");
    cli.setProcessEnvironment(env);
    const fs::path reportFile = root / "report.json";
    // "--style" is one of the options Qt would take for itself.
    cli.start(
        VORMEX_PROGRAM_DIR "/vormex-cli",
        {"plot", Q(examples), "--pattern", "*.dxf", "--recursive", "--device", "PDF.pc3", "--paper",
         "ISO_A3_(297.00_x_420.00_MM)", "--style", "monochrome.ctb", "--report", Q(reportFile)});
    ASSERT_TRUE(cli.waitForFinished(120000));
    const QByteArray out = cli.readAllStandardOutput();
    const QByteArray err = cli.readAllStandardError();
    ASSERT_EQ(cli.exitCode(), 0) << err.toStdString() << out.toStdString();
    EXPECT_FALSE(err.contains('\r')) << "a progress line without a terminal";

    // One line per drawing as each is done (with a job per core, in the order they finish).
    const auto lines = Lines(out);
    ASSERT_THAT(lines, SizeIs(kExampleDrawings.size()));
    std::vector<fs::path> outputs;
    for (const std::string& relative : kExampleDrawings) {
        const fs::path drawing = examples / relative;
        const auto line = std::find_if(lines.begin(), lines.end(), [&](const Line& l) {
            return l.drawing == drawing.string();
        });
        ASSERT_NE(line, lines.end()) << drawing;
        // (the moved reference's drawing names where the reference was found)
        EXPECT_EQ(line->result.substr(0, line->result.find(';')), "plotted");
        ASSERT_THAT(line->outputs, SizeIs(1)) << drawing;
        fs::path pdf = drawing;
        pdf.replace_extension(".pdf");
        EXPECT_EQ(line->outputs[0], pdf.string());
        const auto info = ReadPdfInfo(pdf);
        ASSERT_TRUE(info) << pdf << " is no PDF that pdfinfo reads";
        EXPECT_NEAR(std::max(info->widthPt, info->heightPt), MmToPt(420), 1.0) << pdf;
        outputs.push_back(pdf);
    }

    // The drawings as they were: bytes, size and time; nothing new but the plots (no lock,
    // no backup, no temporary left behind).
    ExpectUnchanged(before);
    std::sort(outputs.begin(), outputs.end());
    EXPECT_EQ(NewFiles(examples, before), outputs);

    // The report: the run's choices and summary, the drawings in the list's order.
    const QJsonObject report = ReadJson(reportFile);
    const QJsonObject summary = report["summary"].toObject();
    EXPECT_EQ(summary["drawings"].toInt(), 7);
    EXPECT_EQ(summary["plotted"].toInt(), 7);
    EXPECT_EQ(report["choices"].toObject()["style_table"].toString(), "monochrome.ctb");
    const QJsonArray drawings = report["drawings"].toArray();
    ASSERT_EQ(drawings.size(), 7);
    for (qsizetype i = 0; i < drawings.size(); ++i) {
        const QJsonObject d = drawings[i].toObject();
        EXPECT_EQ(d["drawing"].toString(),
                  Q(examples / kExampleDrawings[static_cast<std::size_t>(i)]));
        for (const char* key : {"result", "reason", "layouts", "outputs", "missing_xrefs",
                                "substituted_fonts", "warnings", "errors", "seconds"}) {
            EXPECT_TRUE(d.contains(key)) << key;
        }
        EXPECT_GT(d["layouts"].toArray().first().toObject()["drawn"].toInteger(), 0);
    }
    // The moved reference was found again; the SHX text was drawn with a stroke font.
    const QJsonObject office =
        DrawingIn(report, examples / "moved-project/Projects/Job1/Dwg/office-level1.dxf");
    EXPECT_THAT(office["missing_xrefs"].toArray(), IsEmpty());
    const QJsonObject text = DrawingIn(report, examples / "text-styles.dxf");
    EXPECT_THAT(text["substituted_fonts"].toArray(), Not(IsEmpty()));
}

// The command in this process, on an engine with the program's plotters and plot styles
// and a user folder of the test's own.
struct CliPlot : EngineModel {
    CliResult Plot(QStringList args, bool errTerminal = false) {
        return Capture([&](cli::CommandIo& io) { return cli::RunPlot(args, io, registry); },
                       errTerminal);
    }
    QStringList Pdf(QStringList args) {
        return args +
               QStringList{"--device", "PDF.pc3", "--paper", "A4", "--style", "monochrome.ctb"};
    }
};

TEST_F(CliPlot, PrintLayoutsGivesOnePdfPerLayoutAndTheProgressLineOnATerminal) {
    const fs::path site = Example("site-layouts.dxf");
    const fs::path bracket = Example("bracket-r12.dxf");
    const fs::path report = work / "r.json";
    const auto before = Snapshot(work / "examples");
    // Files become rows in the order given.
    const CliResult r =
        Plot(Pdf({Q(site), Q(bracket), "--layouts", "--copies", "2", "--report", Q(report)}),
             /*errTerminal=*/true);
    // The bracket's only layout is empty: it is left out, and its current layout is plotted.
    ASSERT_EQ(r.status, 0) << r.err.toStdString();

    const auto lines = Lines(r.out);
    ASSERT_THAT(lines, SizeIs(2));
    EXPECT_EQ(lines[0].drawing, bracket.string());  // the last row first
    EXPECT_EQ(lines[0].result, "plotted");
    EXPECT_THAT(lines[0].outputs,
                ElementsAre((bracket.parent_path() / "bracket-r12.pdf").string()));
    EXPECT_EQ(lines[1].drawing, site.string());
    const std::string folder = site.parent_path().string();
    EXPECT_THAT(lines[1].outputs,
                ElementsAre(folder + "/site-layouts.pdf", folder + "/site-layouts-Details A4.pdf"));
    const QJsonArray layouts = DrawingIn(ReadJson(report), site)["layouts"].toArray();
    ASSERT_EQ(layouts.size(), 2);
    EXPECT_EQ(layouts[1].toObject()["layout"].toString(), "Details A4");

    // On a terminal: one line, redrawn in place, that ends cleared.
    // Elided in the middle to the terminal's width (80 columns when it tells none).
    EXPECT_THAT(r.err.toStdString(), HasSubstr("\r\x1b[K[ 50% 1/2] Opening Drawing "));
    EXPECT_THAT(r.err.toStdString(), HasSubstr("[100% 2/2] Printing All"));
    EXPECT_TRUE(r.err.contains("\r\x1b[K2 drawings: 2 plotted")) << r.err.toStdString();
    ExpectUnchanged(before);
}

TEST_F(CliPlot, ADrawingThatFailsStopsNoOtherAndTheReportSaysWhy) {
    const fs::path folder = work / "mixed";
    fs::create_directories(folder);
    fs::copy_file(kExamples / "bracket-r12.dxf", folder / "bracket-r12.dxf");
    fs::copy_file(kExamples / "flange.dxf", folder / "flange.dxf");
    {
        QFile bad(Q(folder / "damaged.dxf"));
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write("0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nnot a number\n");
    }
    {
        // A block that inserts itself twice: the first zoom already passes the budget.
        QFile endless(Q(folder / "endless.dxf"));
        ASSERT_TRUE(endless.open(QIODevice::WriteOnly));
        endless.write(
            "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nA\n70\n0\n10\n0\n20\n0\n"
            "0\nLINE\n8\n0\n10\n0\n20\n0\n11\n1\n21\n1\n0\nINSERT\n8\n0\n2\nA\n"
            "10\n0\n20\n0\n0\nINSERT\n8\n0\n2\nA\n10\n0.001\n20\n0\n0\nENDBLK\n"
            "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nINSERT\n8\n0\n2\nA\n10\n0\n"
            "20\n0\n0\nENDSEC\n0\nEOF\n");
    }
    // flange's plot file cannot be written: a folder has its name.
    fs::create_directories(folder / "flange.pdf");
    const auto before = Snapshot(folder);
    const fs::path missing = folder / "gone.dxf";
    const fs::path report = work / "r.json";
    const fs::path notAFile = work / "pipe.dxf";
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(notAFile.c_str(), 0600), 0);
#endif

    const CliResult r = Plot(
        Pdf({Q(folder), Q(missing), Q(notAFile), "--pattern", "*.dxf", "--report", Q(report)}));
    EXPECT_EQ(r.status, 1);
    std::map<std::string, std::string> results;
    for (const auto& l : Lines(r.out)) {
        results[l.drawing] = l.result;
    }
    EXPECT_EQ(results[(folder / "bracket-r12.dxf").string()], "plotted");
    EXPECT_THAT(results[(folder / "flange.dxf").string()],
                ::testing::StartsWith("failed: The plot file"));
    EXPECT_THAT(results[(folder / "damaged.dxf").string()], ::testing::StartsWith("not opened: "));
    EXPECT_EQ(results[missing.string()], "not opened: no such file");
#ifndef _WIN32
    EXPECT_EQ(results[notAFile.string()], "not opened: is a pipe (FIFO), not a drawing file");
#endif
    EXPECT_THAT(results[(folder / "endless.dxf").string()],
                ::testing::StartsWith("not opened: The drawing expands to more than"));

    const QJsonObject json = ReadJson(report);
    EXPECT_EQ(json["summary"].toObject()["failed"].toInt(), 5);
    const QJsonObject flange = DrawingIn(json, folder / "flange.dxf");
    EXPECT_THAT(flange["reason"].toString().toStdString(), HasSubstr("cannot be written"));
    const QJsonObject damaged = DrawingIn(json, folder / "damaged.dxf");
    EXPECT_EQ(damaged["result"].toString(), "not opened");
    EXPECT_EQ(damaged["errors"].toArray().first().toString(), damaged["reason"].toString());
    // The run's own message lists what it could not plot.
    EXPECT_THAT(r.err.toStdString(), HasSubstr("Drawings Not Plotted"));

    ExpectUnchanged(before);
    EXPECT_EQ(NewFiles(folder, before), std::vector<fs::path>{folder / "bracket-r12.pdf"});
}

TEST_F(CliPlot, BadChoicesAndUsageEndWithStatusTwoAndTouchNothing) {
    const fs::path drawing = Example("flange.dxf");
    const auto before = Snapshot(work / "examples");
    struct Case {
        QStringList args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{Q(drawing), "--paper", "A4", "--style", "monochrome.ctb"},
         "Printer Not Selected: Please Select a Printer before printing"},
        {{Q(drawing), "--device", "PDF.pc3", "--paper", "A4"},
         "Please Select a Plot Style Table before printing"},
        {{Q(drawing), "--device", "pdf.pc3", "--paper", "A4", "--style", "monochrome.ctb"},
         "no plot device named \"pdf.pc3\""},
        {Pdf({Q(drawing), "--copies", "0"}), "--copies takes a whole number from 1 to 32767"},
        {Pdf({Q(drawing), "--sideways"}), "unknown option --sideways"},
        {Pdf({Q(drawing), "--jobs", "0"}), "--jobs takes a number from 1 to 64"},
        {Pdf({Q(drawing), "--jobs=2x"}), "--jobs takes a number from 1 to 64"},
        {Pdf({Q(drawing), "--report", Q(drawing)}), "is one of the drawings"},
        {Pdf({Q(drawing), "--report", Q(work)}), "is a folder, not a report file"},
    };
    for (const auto& c : cases) {
        const CliResult r = Plot(c.args);
        EXPECT_EQ(r.status, 2) << c.args.join(' ').toStdString();
        EXPECT_THAT(r.err.toStdString(), HasSubstr(c.message));
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_THAT(NewFiles(work / "examples", before), IsEmpty());
    ExpectUnchanged(before);

    // No CAD application to reach or start: the window's message, status 3.
    cad::ClassRegistry none;
    const CliResult r =
        Capture([&](cli::CommandIo& io) { return cli::RunPlot(Pdf({Q(drawing)}), io, none); });
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(r.err.toStdString(), HasSubstr("Could not start autocad application."));
    // Nor for any worker of a parallel run.
    const CliResult jobs = Capture([&](cli::CommandIo& io) {
        return cli::RunPlot(Pdf({Q(drawing), Q(Example("site-layouts.dxf")), "--jobs", "2"}), io,
                            none, [](int) { return std::make_unique<cad::ClassRegistry>(); });
    });
    EXPECT_EQ(jobs.status, 3);
    EXPECT_TRUE(jobs.out.isEmpty());
}

// The event printer on its own: an interrupt is the stop request; the drawings the run did
// not reach say so.
TEST_F(CliPlot, AnInterruptStopsTheRunBeforeItsNextDrawing) {
    class InterruptedPrinter : public cli::RunPrinter {
    public:
        using RunPrinter::RunPrinter;
        void DrawingClosing(const std::string& path) override {
            RunPrinter::DrawingClosing(path);
            if (!raised_) {
                raised_ = true;
                std::raise(SIGINT);
            }
        }

    private:
        bool raised_ = false;
    };
    RecordingMessages messages;
    RecordingConnectionHost noWindow;
    cad::CadConnection connection(noWindow, messages, registry);
    std::vector<std::string> drawings;
    plot::PlotRequest request;
    request.choices = {"PDF.pc3", "A4", "monochrome.ctb", 0};
    for (const char* name : {"bracket-r12.dxf", "flange.dxf", "floor-plan.dxf"}) {
        drawings.push_back(Example(name).string());
        request.rows.insert(request.rows.begin(), {Example(name).string(), true});
    }
    std::vector<cli::DrawingReport> reports;
    const CliResult r = Capture([&](cli::CommandIo& io) {
        InterruptedPrinter printer(io, connection, messages, drawings);
        plot::PlotService service(connection, messages);
        {
            cli::RunPrinter::InterruptAsStop interrupts;
            service.Run(request, printer);
        }
        reports = printer.Finish();
        return 0;
    });
    connection.CloseOpenDrawings();
    connection.QuitCad();

    ASSERT_THAT(reports, SizeIs(3));
    EXPECT_EQ(reports[2].result, cli::DrawingResult::Plotted);  // the last row goes first
    for (int i : {0, 1}) {
        EXPECT_EQ(reports[static_cast<std::size_t>(i)].ResultText(),
                  "not plotted: the run was stopped");
    }
    EXPECT_FALSE(fs::exists(Example("bracket-r12.pdf")));
    EXPECT_EQ(Lines(r.out).size(), 3u);
}

}  // namespace
}  // namespace vx::testing
