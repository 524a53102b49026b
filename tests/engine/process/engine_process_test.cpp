// The engine in its own process as the program's back end: vormex-cli plot reports what
// it reports on the engine in its own process, a failing call carries the engine's
// description across, and a second program attaches to the engine of the first and
// outlives it, whichever of them leaves first.
#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <QThread>
#include <functional>

#include "ProcessFixture.h"

namespace vx::testing {
namespace {

using ::testing::HasSubstr;

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
        {"saving", [&](auto& app) { app.Documents()->Open(drawing, true)->Close(true); }},
        {"a missing layout",
         [&](auto& app) { app.Documents()->Open(drawing, true)->Layouts()->Item("Nowhere"); }},
        {"a missing device",
         [&](auto& app) {
             auto doc = app.Documents()->Open(drawing, true);
             doc->ModelSpace()->Layout()->SetConfigName("Nothing.pc3");
         }},
        {"a document item out of range", [](auto& app) { app.Documents()->Item(7); }},
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

}  // namespace
}  // namespace vx::testing
