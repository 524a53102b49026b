// The plot runs over the engine, driven exactly as the window drives them: the engine
// started and quit, and real drawings of the test data plotted or refused with every
// drawing left as it was. (The examples' runs go through the window in window_run_test.)
#include <gmock/gmock.h>

#include "../../cad/Recorders.h"
#include "EngineFixture.h"
#include "plot/PlotRuns.h"

namespace vx::testing {
namespace {

using ::testing::Contains;

// The window as a run sees it: a list of rows and what the run shows.
class RunWindow : public plot::RunHost,
                  public PointerService,
                  public MessageService,
                  public BeepService {
public:
    struct Row {
        std::string name, path;
    };
    int RowCount() override { return static_cast<int>(rows.size()); }
    std::string RowFileName(int row) override {
        return rows.at(static_cast<std::size_t>(row)).name;
    }
    std::string RowPath(int row) override { return rows.at(static_cast<std::size_t>(row)).path; }
    bool RowSelected(int) override { return true; }
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void RepaintStatus() override {}
    std::string PanelText() override { return panel; }
    void SetPanelText(const std::string& text) override { panel = text; }
    void SetProgress(float) override {}
    std::string CopiesText() override { return "1"; }
    int LayoutsValue() override { return layouts; }
    std::string FolderPath() override { return folder; }
    bool StopRequested() override { return false; }
    void SetStopRequested(bool) override {}
    void KeepAlive() override {}
    void SetPointer(Pointer) override {}
    MsgResult Show(const Message& m) override {
        messages.push_back(m.title + ": " + m.text);
        return MsgResult::Ok;
    }
    void Beep() override {}

    void Add(const fs::path& drawing) {
        rows.push_back({drawing.filename().string(), drawing.parent_path().string() + "/"});
    }

    std::vector<Row> rows;
    std::vector<std::string> statuses;
    std::vector<std::string> messages;
    std::string panel = "Ready";
    int layouts = 0;
    std::string folder;
};

struct RunsOnEngine : EngineModel {
    RecordingConnectionHost connectionHost;
    RunWindow window;
    cad::CadConnection connection{connectionHost, window, registry};
    cad::PlotChoices choices{"PDF.pc3", "ISO_A3_(297.00_x_420.00_MM)", "", 0};
    std::unique_ptr<plot::PlotRuns> runs;

    void SetUp() override {
        EngineModel::SetUp();
        runs =
            std::make_unique<plot::PlotRuns>(connection, choices, window, window, window, window);
    }
    void TearDown() override {
        if (connection.CadApp) {
            connection.CloseOpenDrawings();
            connection.QuitCad();
        }
    }

    // The first plot style table of the catalogue, as a user picks it.
    std::string AStyleTable() {
        connection.EnsureConnected();
        const auto names =
            connection.CadApp->ActiveDocument()->ModelSpace()->Layout()->GetPlotStyleTableNames();
        for (const auto& n : names) {
            if (n.ends_with(".ctb")) {
                return n;
            }
        }
        return names.empty() ? std::string() : names.front();
    }

    std::vector<engine::automation::PlotRecord> RunJournal() {
        const auto* j = engine::automation::JournalOf(connection.CadApp);
        return j ? j->Records() : std::vector<engine::automation::PlotRecord>{};
    }
};

TEST_F(RunsOnEngine, TheEngineStartsForTheProgramAndQuitsAtItsEnd) {
    connection.ConnectCad();
    EXPECT_TRUE(connection.CadStartedHere);
    EXPECT_THAT(connectionHost.events, Contains("Hide"));
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(connection.CadApp->Documents()->Count(), 1);  // the drawing it needs open
    connection.CloseOpenDrawings();
    connection.QuitCad();
    EXPECT_FALSE(engineClass->Running());
}

// Real drawings of the test data, copied into the working folder: each is plotted or
// fails with a description, and none is changed.
TEST_F(RunsOnEngine, RealDrawingsArePlottedOrFailWithADescriptionAndStayUnchanged) {
    const fs::path source = kTestData / "dxf" / "ezdxf";
    if (!fs::exists(source)) {
        GTEST_SKIP() << "no test data at " << source;
    }
    const fs::path folder = work / "real";
    fs::create_directories(folder);
    for (const char* name :
         {"colors.dxf", "hatches_1.dxf", "text.dxf", "viewports.dxf", "layout_broken_links.dxf",
          "recover02.dxf", "no_layouts.dxf", "bin_dxf_r2000.dxf"}) {
        if (fs::exists(source / name)) {
            fs::copy_file(source / name, folder / name);
            window.Add(folder / name);
        }
    }
    ASSERT_FALSE(window.rows.empty());
    const auto before = Snapshot(folder);
    window.layouts = 1;
    choices.StrCTB = AStyleTable();
    runs->Command2_Click();

    for (const auto& r : RunJournal()) {
        if (r.ok) {
            EXPECT_TRUE(ReadPdfInfo(r.outputFile)) << r.outputFile;
        } else {
            EXPECT_FALSE(r.error.empty()) << r.drawing;
            EXPECT_FALSE(fs::exists(r.requestedFile)) << r.drawing;
        }
    }
    for (const auto& [file, state] : before) {
        EXPECT_EQ(StateOf(file), state) << file;
    }
    for (const auto& f : NewFiles(folder, before)) {
        EXPECT_EQ(f.extension(), ".pdf") << f;
    }
}

}  // namespace
}  // namespace vx::testing
