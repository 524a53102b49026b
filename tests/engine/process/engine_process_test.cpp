// The engine in its own process as the program's back end: it reports as the engine in the
// program's process does and serves two programs; one that crashes, hangs or floods its
// memory costs a drawing, not the run, and an interrupt during a hanging call ends the run.
#include <gmock/gmock.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "CliRunner.h"
#include "ShellHarness.h"
#include "app/Main.h"
#include "cad/ClassRegistry.h"
#include "cli/PlotCommand.h"
#include "engine/automation/Engine.h"
#include "engine/remote/ProcessControl.h"
#include "engine/remote/Protocol.h"
#include "engine/remote/RemoteEngine.h"
#include "plot/PlotService.h"
#include "search/widgets/DirListBox.h"
#include "search/widgets/DrawingListView.h"

namespace vx::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace fs = std::filesystem;

// Engines in processes of their own for one test: a socket in a temporary folder, the
// program folder's plotters and tables, no printers, and a working folder of drawings.
struct ProcessFixture : ::testing::Test {
    QTemporaryDir temp;
    fs::path root{temp.path().toStdString()};
    fs::path work = root / "work";

    void SetUp() override {
        fs::create_directories(work);
        fs::create_directories(root / "user");
        engine::remote::SetLongCallLimit(0);
    }
    // An engine that was told to quit takes its socket with it as it ends.
    void TearDown() override {
        for (const char* name : {"engine", "faulty", "engine-w0", "engine-w1", "engine-w2",
                                 "faulty-w0", "faulty-w1"}) {
            for (int i = 0; i < 30 && QFileInfo::exists(temp.filePath(name)); ++i) {
                QThread::msleep(100);
            }
        }
    }

    engine::remote::RemoteOptions Options(bool faulty = false) const {
        engine::remote::RemoteOptions o;
        o.program = faulty ? VORMEX_FAULTY_ENGINE_EXE : VORMEX_ENGINE_EXE;
        o.socketName = temp.filePath(faulty ? "faulty" : "engine");
        o.arguments = {"--program-dir", VORMEX_PROGRAM_DIR,
                       "--user-dir",    QString::fromStdString((root / "user").string()),
                       "--no-printers", "--idle-ms",
                       "3000"};
        o.memoryLimitMB = 384;
        o.limits.longSeconds = 60;
        return o;
    }
    engine::automation::EngineOptions InProcess() const {
        engine::automation::EngineOptions o;
        o.folders = engine::device::EngineFolders{VORMEX_PROGRAM_DIR, root / "user"};
        o.noPrinters = true;
        return o;
    }

    // Copies of an example drawing under the given names.
    void Drawings(const std::vector<std::string>& names,
                  const std::string& example = "bracket-r12.dxf") const {
        for (const auto& n : names) {
            fs::copy_file(fs::path(VORMEX_SOURCE_DIR) / "examples" / example, work / n,
                          fs::copy_options::overwrite_existing);
        }
    }

    // The engines of the workers of a parallel run, each on a socket of its own.
    cli::WorkerBackEnds Workers(bool faulty = false) const {
        return [this, faulty](int worker) {
            auto registry = std::make_unique<cad::ClassRegistry>();
            auto o = Options(faulty);
            o.socketName += QStringLiteral("-w%1").arg(worker);
            engine::remote::RegisterRemoteEngine(*registry, o);
            return registry;
        };
    }

    // vormex-cli plot of the working folder's DXF files to PDF.
    CliResult Plot(const cad::ClassRegistry& registry, QStringList more = {},
                   const cli::WorkerBackEnds& workers = {}, bool errTerminal = false) const {
        QStringList args{QString::fromStdString(work.string()),
                         "--pattern",
                         "*.dxf",
                         "--device",
                         "PDF.pc3",
                         "--paper",
                         "A4",
                         "--style",
                         "monochrome.ctb"};
        args += more;
        return Capture(
            [&](cli::CommandIo& io) { return cli::RunPlot(args, io, registry, workers); },
            errTerminal);
    }

    // The line of standard output about `name`: drawing, result, outputs (tab-separated).
    QString LineOf(const CliResult& r, const std::string& name) const {
        const QString path = QString::fromStdString((work / name).string());
        for (const QByteArray& line : r.out.split('\n')) {
            if (line.startsWith(path.toUtf8() + '\t')) {
                return QString::fromUtf8(line.mid(path.toUtf8().size() + 1));
            }
        }
        return {};
    }
};

using RemoteEngineTest = ProcessFixture;

TEST_F(RemoteEngineTest, PlotRunReportsTheSameAsTheEngineInTheProgramsProcess) {
    fs::copy(fs::path(VORMEX_SOURCE_DIR) / "examples", work, fs::copy_options::recursive);
    cad::ClassRegistry inProcess, remote;
    engine::automation::RegisterEngine(inProcess, InProcess());
    engine::remote::RegisterRemoteEngine(remote, Options());

    const CliResult here = Plot(inProcess, {"--recursive"});
    const CliResult there = Plot(remote, {"--recursive"});
    ASSERT_EQ(here.status, 0) << here.err.toStdString();
    EXPECT_EQ(there.status, 0) << there.err.toStdString();
    EXPECT_EQ(there.out, here.out);
    EXPECT_EQ(there.err, here.err);
    EXPECT_EQ(LineOf(there, "site-layouts.dxf").section('\t', 0, 0), "plotted");
}

// The report without its times, which differ from run to run.
QJsonObject Untimed(const fs::path& file) {
    QFile f(QString::fromStdString(file.string()));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << file;
    QJsonObject report = QJsonDocument::fromJson(f.readAll()).object();
    QJsonObject summary = report["summary"].toObject();
    summary.remove("seconds");
    report["summary"] = summary;
    QJsonArray drawings;
    for (const auto& d : report["drawings"].toArray()) {
        QJsonObject drawing = d.toObject();
        drawing.remove("seconds");
        drawings.append(drawing);
    }
    report["drawings"] = drawings;
    QJsonObject merged = report["merged"].toObject();
    merged.remove("file");
    merged.remove("seconds");
    report["merged"] = merged;
    return report;
}

QList<QByteArray> SortedLines(const QByteArray& out) {
    QList<QByteArray> lines = out.split('\n');
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Workers side by side report what one worker reports: the same drawings, results and plot
// files, in the list's order; the same lines, in the order the drawings are done. The
// progress line counts the drawings of every worker.
TEST_F(RemoteEngineTest, ParallelRunReportsWhatOneWorkerReports) {
    fs::copy(fs::path(VORMEX_SOURCE_DIR) / "examples", work, fs::copy_options::recursive);
    cad::ClassRegistry registry;
    engine::remote::RegisterRemoteEngine(registry, Options());
    const auto run = [&](const char* jobs, const std::string& name, bool errTerminal) {
        const auto file = [&](const char* extension) {
            return QString::fromStdString((root / (name + extension)).string());
        };
        return Plot(registry,
                    {"--recursive", "--jobs", jobs, "--report", file(".json"), "--journal",
                     file(".jsonl"), "--merge", file(".pdf")},
                    Workers(), errTerminal);
    };
    const CliResult one = run("1", "one", false);
    const CliResult three = run("3", "three", true);
    ASSERT_EQ(one.status, 0) << one.err.toStdString();
    EXPECT_EQ(three.status, 0) << three.err.toStdString();
    EXPECT_EQ(SortedLines(three.out), SortedLines(one.out));
    EXPECT_THAT(three.err.toStdString(), HasSubstr("\r\x1b[K[100% 7/7] "));
    EXPECT_TRUE(QString(three.err).replace("three.pdf", "one.pdf").endsWith("\r\x1b[K" + one.err))
        << three.err.toStdString();
    const QJsonObject report = Untimed(root / "one.json");
    EXPECT_EQ(report["drawings"].toArray().size(), 7);
    EXPECT_EQ(Untimed(root / "three.json"), report);
    // Every worker's drawings are in the journal and the set.
    QFile journal(QString::fromStdString((root / "three.jsonl").string()));
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    EXPECT_EQ(journal.readAll().count('\n'), 7);
    EXPECT_EQ(report["merged"]["drawings"].toInt(), 7);
}

// Each step fails in the engine; the program sees the same description either way.
TEST_F(RemoteEngineTest, AFailingCallCarriesTheEnginesDescription) {
    Drawings({"a.dxf"});
    const std::string drawing = (work / "a.dxf").string();
    const std::string pdf = (work / "a.pdf").string();
    const struct {
        const char* step;
        std::function<void(cad::AcadApplication&)> run;
    } steps[] = {
        {"no drawing open", [](auto& app) { app.ActiveDocument(); }},
        {"a missing file",
         [&](auto& app) { app.Documents()->Open((work / "none.dxf").string(), true); }},
        {"a missing layout",
         [&](auto& app) { app.Documents()->Open(drawing, true)->Layouts()->Item("Nowhere"); }},
    };
    cad::ClassRegistry inProcess, remote;
    engine::automation::RegisterEngine(inProcess, InProcess());
    engine::remote::RegisterRemoteEngine(remote, Options());
    auto here = inProcess.CreateObject(cad::kCadClassName);
    auto there = remote.CreateObject(cad::kCadClassName);
    for (const auto& s : steps) {
        std::string expected, got;
        try {
            s.run(*here);
        } catch (const cad::CadError& e) {
            expected = e.Description();
        }
        try {
            s.run(*there);
        } catch (const cad::CadError& e) {
            got = e.Description();
        }
        EXPECT_FALSE(expected.empty()) << s.step;
        EXPECT_EQ(got, expected) << s.step;
    }
    // The engine still serves after its failures.
    auto doc = there->Documents()->Open(drawing, true);
    EXPECT_TRUE(doc->Plot()->PlotToFile(pdf, "PDF.pc3"));
    EXPECT_TRUE(fs::exists(pdf));
    there->Quit();
}

// Plots one drawing to PDF through `app`; the journal's record of it.
engine::automation::PlotRecord PlotOne(const cad::Ref<cad::AcadApplication>& app,
                                       const fs::path& drawing) {
    auto doc = app->Documents()->Open(drawing.string(), true);
    doc->Plot()->PlotToFile(fs::path(drawing).replace_extension(".pdf").string(), "PDF.pc3");
    doc->Close(false);
    const auto records = engine::automation::JournalOf(app)->Records();
    return records.empty() ? engine::automation::PlotRecord{} : records.back();
}

bool EngineEnds(const cad::ClassRegistry& registry) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000) {
        try {
            registry.GetObject(cad::kCadClassName);
        } catch (const cad::CadError&) {
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}

TEST_F(RemoteEngineTest, ASecondProgramAttachesAndOutlivesTheFirstWhicheverLeavesFirst) {
    Drawings({"a.dxf", "b.dxf"});
    for (const bool starterLeavesFirst : {true, false}) {
        SCOPED_TRACE(starterLeavesFirst ? "the starter leaves first" : "the second leaves first");
        cad::ClassRegistry first, second;
        engine::remote::RegisterRemoteEngine(first, Options());
        engine::remote::RegisterRemoteEngine(second, Options());
        ASSERT_THROW(second.GetObject(cad::kCadClassName), cad::CadError);
        auto starter = first.CreateObject(cad::kCadClassName);
        auto attached = second.GetObject(cad::kCadClassName);
        ASSERT_TRUE(PlotOne(starter, work / "a.dxf").ok);
        ASSERT_TRUE(PlotOne(attached, work / "b.dxf").ok);
        // Each program's journal holds its own plots only.
        EXPECT_EQ(engine::automation::JournalOf(attached)->Size(), 1u);

        auto& leaver = starterLeavesFirst ? starter : attached;
        auto& stayer = starterLeavesFirst ? attached : starter;
        if (starterLeavesFirst) {
            leaver->Quit();  // the starter quits what it started
        }
        leaver.reset();
        const auto record = PlotOne(stayer, work / "a.dxf");
        EXPECT_TRUE(record.ok) << record.error;
        EXPECT_EQ(record.drawing, (work / "a.dxf").string());
        if (!starterLeavesFirst) {
            stayer->Quit();
        }
        stayer.reset();
        EXPECT_TRUE(EngineEnds(second));
    }
}

// The drawings of a batch (the run goes from the last to the first) and what becomes of
// each.
const struct {
    const char* name;
    const char* result;  // the start of its result
} kBatch[] = {
    {"a.dxf", "plotted"},
    {"crash-b.dxf", "failed: the CAD engine crashed while opening "},
    {"flood-c.dxf", "failed: the CAD engine ran out of memory while opening "},
    {"hang-d.dxf", "failed: the CAD engine stopped responding while opening "},
    {"e.dxf", "plotted"},
};

struct FaultsTest : ProcessFixture {
    void SetUp() override {
        ProcessFixture::SetUp();
        for (const auto& d : kBatch) {
            Drawings({d.name});
        }
    }
    engine::remote::RemoteOptions Faulty() const {
        auto o = Options(true);
        o.limits.longSeconds = 5;
        return o;
    }
};

// One worker, or two side by side: a fault costs its drawing only, and the drawings not
// plotted are listed once, in the run's order.
TEST_F(FaultsTest, CliRunGoesOnPastEveryFaultAndReportsEach) {
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(std::string("--jobs ") + jobs);
        fs::remove(work / "a.pdf");
        fs::remove(work / "e.pdf");
        cad::ClassRegistry registry;
        engine::remote::RegisterRemoteEngine(registry, Options(true));
        const CliResult r = Plot(registry, {"--timeout", "5", "--jobs", jobs}, Workers(true));
        EXPECT_EQ(r.status, 1);
        for (const auto& d : kBatch) {
            EXPECT_THAT(LineOf(r, d.name).toStdString(), StartsWith(d.result)) << d.name;
        }
        const std::string err = r.err.toStdString();
        EXPECT_THAT(err, HasSubstr("5 drawings: 2 plotted, 3 not plotted"));
        const auto listed = [&](const char* name) {
            return err.find((work / name).string() + ": ", err.find(plot::kFailuresTitle));
        };
        EXPECT_EQ(err.find(plot::kFailuresTitle), err.rfind(plot::kFailuresTitle));
        EXPECT_LT(listed("hang-d.dxf"), listed("flood-c.dxf"));
        EXPECT_LT(listed("flood-c.dxf"), listed("crash-b.dxf"));
        EXPECT_NE(listed("crash-b.dxf"), std::string::npos);
        EXPECT_TRUE(fs::exists(work / "a.pdf"));
        EXPECT_TRUE(fs::exists(work / "e.pdf"));
    }
}

TEST_F(FaultsTest, WindowRunListsEachFaultInDrawingsNotPlotted) {
    ShellHarness h;
    engine::remote::RegisterRemoteEngine(h.classes, Faulty());
    app::Form1& f = h.MakeForm(/*noBackEnd=*/true);
    ASSERT_TRUE(app::Main(f));
    f.Text1->setText("*.dxf");
    ASSERT_TRUE(f.Dir1->SetPath(QString::fromStdString(work.string())));
    ASSERT_EQ(f.ListView1->Model().Count(), 5);
    for (auto [box, entry] : {std::pair{f.cmbPrinter, "PDF.pc3"}, std::pair{f.CmbPaper, "A4"},
                              std::pair{f.CmbCTB, "monochrome.ctb"}}) {
        ASSERT_GE(box->findText(entry), 0) << entry;
        box->setCurrentIndex(box->findText(entry));
    }
    QTest::mouseClick(f.Command2, Qt::LeftButton);

    ASSERT_EQ(h.messages.shown.size(), 1u);
    EXPECT_EQ(h.messages.shown[0].title, "Drawings Not Plotted");
    const std::string& text = h.messages.shown[0].text;
    for (const auto& d : kBatch) {
        const std::string result = d.result;
        if (result.starts_with("failed: ")) {
            const std::string path = (work / d.name).string();
            EXPECT_THAT(text, HasSubstr(path + ": " + result.substr(8) + path)) << d.name;
        }
    }
    EXPECT_TRUE(fs::exists(work / "a.pdf"));
    EXPECT_TRUE(fs::exists(work / "e.pdf"));
    f.Command3_Click();
}

// The run goes z, hang-c, hang-b, a. One worker hangs on hang-c and never reaches hang-b;
// two hang on both, and the one interrupt gives up both calls.
TEST_F(FaultsTest, InterruptDuringAHangingCallStopsTheRunAtOnce) {
    const struct {
        const char* jobs;
        const char* hangB;  // the start of hang-b's result
    } kRuns[] = {
        {"1", "not plotted: the run was stopped"},
        {"2", "failed: the run was stopped while opening "},
    };
    for (const auto& run : kRuns) {
        SCOPED_TRACE(std::string("--jobs ") + run.jobs);
        fs::remove_all(work);
        fs::create_directories(work);
        Drawings({"a.dxf", "hang-b.dxf", "hang-c.dxf", "z.dxf"});
        cad::ClassRegistry registry;
        engine::remote::RegisterRemoteEngine(registry, Options(true));  // a minute per call
        // Outside the run an interrupt is ignored rather than ending the test.
        const auto previous = std::signal(SIGINT, SIG_IGN);
        // z.dxf is done first; a moment later the engines hang (a call waited for out
        // would end as "stopped responding").
        std::thread interrupt([pdf = work / "z.pdf"] {
            for (int i = 0; i < 300 && !fs::exists(pdf); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            std::raise(SIGINT);
        });
        const CliResult r = Plot(registry, {"--jobs", run.jobs}, Workers(true));
        interrupt.join();
        std::signal(SIGINT, previous);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(LineOf(r, "z.dxf"),
                  "plotted\t" + QString::fromStdString((work / "z.pdf").string()));
        EXPECT_THAT(LineOf(r, "hang-c.dxf").toStdString(),
                    StartsWith("failed: the run was stopped while opening "));
        EXPECT_THAT(LineOf(r, "hang-b.dxf").toStdString(), StartsWith(run.hangB));
        EXPECT_EQ(LineOf(r, "a.dxf"), "not plotted: the run was stopped");
    }
}

// Calls that return nothing go to the engine with the next call that waits: a failure of one
// is thrown by that call, which is left undone, and a crash or hang is told of the call
// under way. A program that comes as the last one quits gets an engine of its own.
using PipelineTest = ProcessFixture;

TEST_F(PipelineTest, AFailedCallThatDidNotWaitIsThrownByTheNextCallWhichIsLeftUndone) {
    Drawings({"a.dxf"});
    cad::ClassRegistry registry;
    engine::remote::RegisterRemoteEngine(registry, Options());
    auto app = registry.CreateObject(cad::kCadClassName);
    auto doc = app->Documents()->Open((work / "a.dxf").string(), true);
    const std::int32_t before = doc->GetVariable("BACKGROUNDPLOT");
    doc->Regen(99);
    try {
        doc->SetVariable("BACKGROUNDPLOT", before == 0 ? 2 : 0);
        ADD_FAILURE() << "the failed regeneration was not reported";
    } catch (const cad::CadError& e) {
        EXPECT_EQ(e.Description(), "Invalid argument to Regen: 99.");
    }
    EXPECT_EQ(doc->GetVariable("BACKGROUNDPLOT"), before);
    app->Quit();
}

// The regeneration before the opening answers; the opening is what the engine was doing.
TEST_F(PipelineTest, ACrashOrHangIsToldOfTheCallUnderWay) {
    const struct {
        const char* name;
        const char* failure;
    } cases[] = {
        {"crash-a.dxf", "the CAD engine crashed while opening "},
        {"hang-b.dxf", "the CAD engine stopped responding while opening "},
    };
    Drawings({"a.dxf", cases[0].name, cases[1].name});
    auto options = Options(true);
    options.limits.longSeconds = 2;
    cad::ClassRegistry registry;
    engine::remote::RegisterRemoteEngine(registry, options);
    auto app = registry.CreateObject(cad::kCadClassName);
    for (const auto& c : cases) {
        auto docs = app->Documents();
        docs->Open((work / "a.dxf").string(), true)->Regen(cad::kRegenAllViewports);
        try {
            docs->Open((work / c.name).string(), true);
            ADD_FAILURE() << c.name;
        } catch (const cad::CadFailure& e) {
            EXPECT_THAT(e.Description(), StartsWith(c.failure + (work / c.name).string()))
                << c.name;
        }
    }
    app->Quit();
}

// What a drawing looks like: its layouts, each with its block's name, count and first entity.
std::string Sheets(cad::AcadDocument& doc) {
    std::string text;
    auto layouts = doc.Layouts();
    for (std::int32_t i = 0, n = layouts->Count(); i < n; ++i) {
        auto layout = layouts->Item(i);
        auto block = layout->Block();
        const std::int32_t count = block->Count();
        text += layout->Name() + ":" + block->Name() + ":" + std::to_string(count) + ":" +
                (count > 0 ? block->Item(0)->ObjectName() : "") + " ";
    }
    return text;
}

// The open drawings, the active one and whether it was changed.
std::string OpenOnes(cad::AcadApplication& app) {
    std::string text;
    auto docs = app.Documents();
    for (std::int32_t i = 0, n = docs->Count(); i < n; ++i) {
        text += docs->Item(i)->Name() + " ";
    }
    auto active = app.ActiveDocument();
    return text + "active " + active->Name() + " DBMOD " +
           std::to_string(active->GetVariable("dbmod"));
}

// Answers kept on this side are the engine's, also after the changes that make them old,
// and each step waits for the engine no more often than it must; a setting that fails is
// told by the next call that answers.
TEST_F(PipelineTest, KeptAnswersAreTheEnginesAndSpareRoundTrips) {
    Drawings({"a.dxf"}, "site-layouts.dxf");
    Drawings({"b.dxf"});
    const std::string a = (work / "a.dxf").string(), b = (work / "b.dxf").string();
    const struct {
        const char* step;
        std::uint64_t trips;  // at most
        std::function<std::string(cad::AcadApplication&)> run;
    } steps[] = {
        {"open", 2,
         [&](auto& app) {
             app.Documents()->Open(a, true);
             return OpenOnes(app);
         }},
        {"layouts", 0, [](auto& app) { return Sheets(*app.ActiveDocument()); }},
        {"settings change the drawing", 2,
         [](auto& app) {
             auto layout = app.ActiveDocument()->ActiveLayout();
             layout->SetConfigName("PDF.pc3");
             layout->SetPlotRotation(1);
             return layout->StyleSheet() + " " + OpenOnes(app);
         }},
        {"a failed setting", 1,
         [](auto& app) {
             auto layout = app.ActiveDocument()->ActiveLayout();
             layout->SetStyleSheet("nowhere.ctb");
             return layout->StyleSheet();
         }},
        {"a table set through another handle of the layout", 3,
         [](auto& app) {
             auto layouts = app.ActiveDocument()->Layouts();
             auto byIndex = layouts->Item(1);
             const std::string before = byIndex->StyleSheet();
             layouts->Item(byIndex->Name())->SetStyleSheet("monochrome.ctb");
             return before + " " + byIndex->StyleSheet();
         }},
        {"the papers' locale names", 2,
         [](auto& app) {
             auto layout = app.ActiveDocument()->ActiveLayout();
             std::string text;
             for (const auto& paper : layout->GetCanonicalMediaNames()) {
                 text += layout->GetLocaleMediaName(paper) + ",";
             }
             return text;
         }},
        {"the papers of the device set last, through whichever handle", 2,
         [](auto& app) {
             auto layout = app.ActiveDocument()->ActiveLayout();
             layout->SetConfigName("PDF.pc3");
             const std::size_t first = layout->GetCanonicalMediaNames().size();
             app.ActiveDocument()->Layouts()->Item(layout->Name())->SetConfigName("PNG.pc3");
             return std::to_string(first) + " " +
                    std::to_string(layout->GetCanonicalMediaNames().size());
         }},
        {"another open and close", 3,
         [&](auto& app) {
             app.Documents()->Open(b, true)->Close(false);
             return OpenOnes(app) + " " + Sheets(*app.ActiveDocument());
         }},
    };
    cad::ClassRegistry inProcess, remote;
    engine::automation::RegisterEngine(inProcess, InProcess());
    engine::remote::RegisterRemoteEngine(remote, Options());
    auto here = inProcess.CreateObject(cad::kCadClassName);
    auto there = remote.CreateObject(cad::kCadClassName);
    const auto outcome = [](auto& step, cad::AcadApplication& app) {
        try {
            return step.run(app);
        } catch (const cad::CadError& e) {
            return "failed: " + e.Description();
        }
    };
    for (const auto& step : steps) {
        const std::string expected = outcome(step, *here);
        const std::uint64_t before = engine::remote::RoundTrips();
        EXPECT_EQ(outcome(step, *there), expected) << step.step;
        EXPECT_LE(engine::remote::RoundTrips() - before, step.trips) << step.step;
    }
    there->Quit();
}

// What is asked ahead with an open serves that drawing only: with two copies of one file
// open, a change made through the first copy's objects reaches the first copy.
TEST_F(PipelineTest, TwoCopiesOfOneDrawingShareNoAnswerAskedAhead) {
    Drawings({"a.dxf"}, "site-layouts.dxf");
    const std::string a = (work / "a.dxf").string();
    using Layout = std::function<cad::Ref<cad::AcadLayout>(cad::AcadDocument&)>;
    const struct {
        const char* object;
        Layout layout;
    } cases[] = {
        {"a layout", [](auto& doc) { return doc.Layouts()->Item(1); }},
        {"the active layout", [](auto& doc) { return doc.ActiveLayout(); }},
    };
    cad::ClassRegistry inProcess, remote;
    engine::automation::RegisterEngine(inProcess, InProcess());
    engine::remote::RegisterRemoteEngine(remote, Options());
    for (const auto& c : cases) {
        const auto run = [&](cad::AcadApplication& app) {
            auto first = app.Documents()->Open(a, true);
            auto second = app.Documents()->Open(a, true);
            c.layout(*first)->SetStyleSheet("monochrome.ctb");
            const std::string text =
                c.layout(*first)->StyleSheet() + " " + c.layout(*second)->StyleSheet();
            first->Close(false);
            second->Close(false);
            return text;
        };
        auto here = inProcess.CreateObject(cad::kCadClassName);
        auto there = remote.CreateObject(cad::kCadClassName);
        EXPECT_EQ(run(*there), run(*here)) << c.object;
        there->Quit();
    }
}

// A block tells the names of its first entities with its handle, never more than the
// bound, whatever an engine sends.
TEST(ProtocolTest, ABlockHandleTellsAtMostTheBoundOfEntities) {
    using namespace engine::remote;
    for (const std::size_t n : {std::size_t{0}, kMaxToldEntities, kMaxToldEntities + 1}) {
        Handle h;
        h.kind = Kind::Block;
        h.flags = kBlockFacts | kBlockEntities;
        h.entities.assign(n, cad::kViewportObject);
        Writer out(MessageType::Reply);
        out.Object(h);
        const std::string message = out.Frame().substr(4);
        Reader in(message);
        in.U8();
        if (n <= kMaxToldEntities) {
            EXPECT_EQ(in.Object().entities, h.entities) << n;
        } else {
            EXPECT_THROW(in.Object(), ProtocolError) << n;
        }
    }
}

// A clock that moves only when a test moves it, and a yield that takes `yieldFor` of it.
struct TestTime {
    static std::chrono::steady_clock::time_point now() {
        return std::chrono::steady_clock::time_point(std::chrono::microseconds(ticks));
    }
    static void yield() { ticks += yieldFor; }
    static inline std::int64_t ticks = 0;
    static inline std::int64_t yieldFor = 0;
};

// How often waits ask for their answer: again and again while the moment lasts; after a
// moment in vain, the next waits of that kind once each, twice as many after each moment
// in vain, until an answer comes within the moment.
TEST(ProtocolTest, WaitsOfAKindBlockAtOnceAfterAMomentInVainTwiceAsLongEachTime) {
    using Spinner = engine::remote::BasicSpinner<TestTime>;
    constexpr int kNever = 0;  // the moment passes before the answer comes
    struct Wait {
        std::size_t kind;
        int answerAt;  // the ask that finds the answer
        bool came;
        int asks;
    };
    const Wait never{1, kNever, false, 1};
    const Wait blocked{1, 3, false, 1};
    const Wait spun{1, 3, true, 3};
    const std::vector<std::pair<const char*, std::vector<Wait>>> rows = {
        {"a first wait asks until the answer comes", {spun}},
        {"an answer there at once", {never, {1, 1, true, 1}}},
        {"after one moment in vain one wait blocks", {never, blocked, spun}},
        {"another kind still asks", {never, {2, 3, true, 3}}},
        {"twice as many each time", {never, blocked, never, blocked, blocked, spun}},
        {"an answer in time starts again",
         {never, blocked, never, blocked, blocked, spun, never, blocked, spun}},
    };
    for (const auto& [what, waits] : rows) {
        Spinner spinner(std::chrono::microseconds(50));
        for (std::size_t i = 0; i < waits.size(); ++i) {
            const Wait& w = waits[i];
            int asks = 0;
            const bool came = spinner.Spin(w.kind, [&, &w = w] {
                ++asks;
                if (w.answerAt == kNever) {
                    TestTime::ticks += 100;
                    return false;
                }
                return asks >= w.answerAt;
            });
            EXPECT_EQ(came, w.came) << what << ", wait " << i;
            EXPECT_EQ(asks, w.asks) << what << ", wait " << i;
        }
    }
    // Moments in vain one after another: the waits between two that ask more than once
    // double, up to kMostBlocked.
    Spinner spinner(std::chrono::microseconds(50));
    std::vector<int> gaps;
    for (int i = 0, last = 0; i < 4 * Spinner::kMostBlocked; ++i) {
        int asks = 0;
        spinner.Spin(0, [&] {
            TestTime::ticks += ++asks == 2 ? 100 : 0;
            return false;
        });
        if (asks > 1 && i > 0) {
            gaps.push_back(i - std::exchange(last, i));
        }
    }
    const int most = Spinner::kMostBlocked + 1;
    EXPECT_EQ(gaps, (std::vector<int>{2, 3, 5, 9, 17, 33, 65, 129, most, most}));

    // The processor given away for longer than kShared twice in one wait ends the moment,
    // and the next wait of the kind blocks at once; once, or briefly, it does not.
    const auto longer = Spinner::kShared + std::chrono::microseconds(1);
    struct Away {
        std::chrono::microseconds away;
        int answerAt;
        bool came;
        int asks;
    };
    for (const Away& a : std::vector<Away>{{Spinner::kShared, 6, true, 6},
                                           {longer, 3, true, 3},
                                           {longer, 4, true, 4},
                                           {longer, 6, false, 4}}) {
        Spinner shared(std::chrono::hours(1));
        TestTime::yieldFor = a.away.count();
        int asks = 0;
        const bool came = shared.Spin(0, [&] { return ++asks == a.answerAt; });
        TestTime::yieldFor = 0;
        int next = 0;
        shared.Spin(0, [&] { return ++next == 2; });
        const std::string row =
            std::to_string(a.away.count()) + " us, answer at ask " + std::to_string(a.answerAt);
        EXPECT_EQ(std::pair(came, asks), std::pair(a.came, a.asks)) << row;
        // The next wait asks once when it blocks at once, else until its answer.
        EXPECT_EQ(next, a.came ? 2 : 1) << row;
    }
    // Given away long in two waits in a row, answered in time: the next one blocks.
    Spinner one(std::chrono::hours(1));
    TestTime::yieldFor = longer.count();
    for (int i = 0; i < 2; ++i) {
        int asks = 0;
        EXPECT_TRUE(one.Spin(0, [&] { return ++asks == 2; })) << i;
    }
    TestTime::yieldFor = 0;
    int next = 0;
    one.Spin(0, [&] { return ++next == 2; });
    EXPECT_EQ(next, 1);
}

TEST_F(PipelineTest, AProgramThatComesAsTheLastOneQuitsGetsAFreshEngine) {
    cad::ClassRegistry registry;
    engine::remote::RegisterRemoteEngine(registry, Options());
    for (int i = 0; i < 3; ++i) {
        auto app = registry.CreateObject(cad::kCadClassName);
        EXPECT_EQ(app->Documents()->Count(), 0) << i;
        app->Quit();
    }
}

}  // namespace
}  // namespace vx::testing
