// The plot runs over the engine, driven exactly as the window drives them: the example
// drawings and real drawings of the test data plotted, external references found again,
// and every drawing left as it was.
#include <gmock/gmock.h>

#include <QImage>

#include "../../cad/Recorders.h"
#include "EngineFixture.h"
#include "plot/PlotRuns.h"

namespace vx::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

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

TEST_F(RunsOnEngine, AModelSpaceRunOverTheExamplesWritesOneValidPdfEach) {
    const fs::path folder = Example("");
    const auto before = Snapshot(folder);
    std::vector<fs::path> drawings;
    for (const char* name :
         {"bracket-r12.dxf", "flange.dxf", "floor-plan.dxf", "site-layouts.dxf", "text-styles.dxf",
          "moved-project/Projects/Job1/Dwg/office-level1.dxf"}) {
        drawings.push_back(folder / name);
        window.Add(folder / name);
    }
    choices.StrCTB = AStyleTable();
    ASSERT_FALSE(choices.StrCTB.empty());
    runs->Command2_Click();

    EXPECT_THAT(window.messages, IsEmpty());
    EXPECT_THAT(runs->Failures(), IsEmpty());
    for (const auto& d : drawings) {
        fs::path pdf = d;
        pdf.replace_extension(".pdf");
        const auto info = ReadPdfInfo(pdf);
        ASSERT_TRUE(info) << "no PDF for " << d;
        EXPECT_EQ(info->pages, 1);
        EXPECT_NEAR(info->widthPt, MmToPt(297), 1.0) << pdf;
        EXPECT_NEAR(info->heightPt, MmToPt(420), 1.0) << pdf;
    }
    const auto journal = RunJournal();
    ASSERT_EQ(journal.size(), drawings.size());
    for (const auto& r : journal) {
        EXPECT_TRUE(r.ok) << r.drawing << ": " << r.error;
        EXPECT_GT(r.visible, 0) << r.drawing;
    }
    // Every drawing as it was; only the plot files are new; nothing is left open.
    for (const auto& [file, state] : before) {
        EXPECT_EQ(StateOf(file), state) << file;
    }
    EXPECT_EQ(NewFiles(folder, before).size(), drawings.size());
    EXPECT_EQ(connection.CadApp->Documents()->Count(), 1);
}

TEST_F(RunsOnEngine, ALayoutRunWritesOnePdfPerLayoutUnderDistinctNames) {
    const fs::path drawing = Example("site-layouts.dxf");
    window.Add(drawing);
    window.layouts = 1;
    choices.StrCTB = AStyleTable();
    choices.StrPaper = "A4";
    runs->Command2_Click();
    EXPECT_THAT(runs->Failures(), IsEmpty());
    const auto journal = RunJournal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].layout, "Site Plan A3");
    EXPECT_EQ(journal[1].layout, "Details A4");
    EXPECT_EQ(journal[0].outputFile, (drawing.parent_path() / "site-layouts.pdf").string());
    EXPECT_EQ(journal[1].outputFile,
              (drawing.parent_path() / "site-layouts-Details A4.pdf").string());
    for (const auto& r : journal) {
        ASSERT_TRUE(r.ok) << r.error;
        const auto info = ReadPdfInfo(r.outputFile);
        ASSERT_TRUE(info) << r.outputFile;
        EXPECT_NEAR(std::min(info->widthPt, info->heightPt), MmToPt(210), 1.0);
    }
}

// Dark pixels of a PNG plot.
long Ink(const fs::path& png) {
    QImage img(QString::fromStdString(png.string()));
    long n = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (qGray(img.pixel(x, y)) < 128) {
                ++n;
            }
        }
    }
    return n;
}

TEST_F(RunsOnEngine, TheMovedReferenceIsFoundAgainAndDrawn) {
    const fs::path project = Example("moved-project");
    const fs::path drawing = project / "Projects/Job1/Dwg/office-level1.dxf";
    window.Add(drawing);
    choices = {"PNG.pc3", "A3", "", 0};
    choices.StrCTB = AStyleTable();
    runs->Command2_Click();
    ASSERT_EQ(RunJournal().size(), 1u);
    const auto withRef = RunJournal().back();
    ASSERT_TRUE(withRef.ok) << withRef.error;
    const long inkWith = Ink(withRef.outputFile);

    // The same plot of the drawing as it opens, its reference not found.
    auto doc = connection.CadApp->Documents()->Open(drawing.string(), true);
    auto layout = doc->ActiveLayout();
    layout->SetConfigName("PNG.pc3");
    layout->SetCanonicalMediaName(withRef.media);
    layout->SetPlotType(cad::kPlotExtents);
    layout->SetStandardScale(cad::kScaleToFit);
    layout->SetPlotRotation(cad::kRotation90);
    layout->SetCenterPlot(true);
    ASSERT_TRUE(doc->Plot()->PlotToFile("without-reference.plt", "PNG.pc3"));
    const auto withoutRef = RunJournal().back();
    ASSERT_TRUE(withoutRef.ok) << withoutRef.error;
    EXPECT_GT(withRef.entities, withoutRef.entities);
    EXPECT_GT(withRef.visible, withoutRef.visible);
    EXPECT_GT(inkWith, 0);
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
