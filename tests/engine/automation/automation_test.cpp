// The engine's automation object model (documents, layouts and their plot settings, external
// references, what it keeps between calls) and plots through it: real files in every format,
// their names and places, and failures that leave nothing behind.
#include <gmock/gmock.h>

#include <QImage>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

#include "EngineFixture.h"
#include "engine/automation/LayoutSettings.h"
#include "engine/automation/PlotFiles.h"
#include "engine/plotstyle/PlotStyleFile.h"
#include "plot/PlotService.h"

namespace vx::testing {
namespace {

using engine::automation::DevicePlotFilePath;
using engine::automation::DistinctPlotFile;
using engine::automation::PlotFilePath;
using engine::device::DeviceError;
using engine::device::Driver;
using engine::device::PlotterConfig;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

TEST_F(EngineModel, NotRunningUntilCreatedThenFoundUntilQuit) {
    EXPECT_THAT(ErrorOf([&] { registry.GetObject(cad::kCadClassName); }), HasSubstr("not running"));
    auto created = registry.CreateObject(cad::kCadClassName);
    EXPECT_EQ(registry.GetObject(cad::kCadClassName), created);
    // A second CreateObject while it runs gives the same application.
    EXPECT_EQ(registry.CreateObject(cad::kCadClassName), created);

    created->Quit();
    EXPECT_THAT(ErrorOf([&] { registry.GetObject(cad::kCadClassName); }), HasSubstr("not running"));
    auto again = registry.CreateObject(cad::kCadClassName);
    EXPECT_NE(again, created);
}

TEST_F(EngineModel, QuitReleasesEveryDrawingAndItsObjectsFailAfterwards) {
    auto doc = Open(Example("flange.dxf"));
    App().Documents()->Add();
    // The drawing that only the engine holds, with what it keeps between calls.
    App().ActiveDocument()->Regen(cad::kRegenActiveViewport);
    App().Quit();
    EXPECT_THAT(ErrorOf([&] { doc->Name(); }), Not("<no error>"));
    EXPECT_THAT(ErrorOf([&] { App().Documents(); }), HasSubstr("quit"));
    // Nothing holds the drawing's data any more: the engine's state is gone with it.
    EXPECT_THAT(ErrorOf([&] { registry.GetObject(cad::kCadClassName); }), HasSubstr("not running"));
}

TEST_F(EngineModel, AddGivesEmptyActiveDrawingsNamedInTurnAndTheirVariables) {
    auto first = App().Documents()->Add();
    auto second = App().Documents()->Add();
    EXPECT_EQ(first->Name() + " " + second->Name() + " " + App().ActiveDocument()->Name(),
              "Drawing1.dwg Drawing2.dwg Drawing2.dwg");
    EXPECT_THAT(ErrorOf([&] { first->Close(true); }), HasSubstr("saves no drawing"));
    EXPECT_EQ(first->GetVariable("DBMOD"), 0);
    EXPECT_THAT(ErrorOf([&] { first->SetVariable("BACKGROUNDPLOT", 7); }), HasSubstr("0 to 3"));
    EXPECT_THAT(ErrorOf([&] { first->SetVariable("DBMOD", 0); }), HasSubstr("read-only"));
    // Single-drawing mode cannot begin with two drawings open.
    EXPECT_THAT(ErrorOf([&] { second->SetVariable("SDI", 1); }), HasSubstr("more than one"));
}

TEST_F(EngineModel, OpenGivesNamePathAndAnUnmodifiedActiveDrawing) {
    const fs::path file = Example("site-layouts.dxf");
    auto doc = Open(file);
    EXPECT_EQ(
        std::tuple(doc->Name(), doc->Path(), doc->GetVariable("DBMOD"),
                   App().ActiveDocument()->Name(), App().Documents()->Count()),
        std::tuple("site-layouts.dxf", file.parent_path().string(), 0, "site-layouts.dxf", 1));
}

TEST_F(EngineModel, OpeningWhatIsNoDrawingFailsWithADescription) {
    const fs::path text = work / "notes.dxf";
    std::ofstream(text) << "this is not a drawing\n";
    EXPECT_THAT(ErrorOf([&] { Open(text); }), HasSubstr("notes.dxf"));
    EXPECT_THAT(ErrorOf([&] { Open(work / "missing.dxf"); }), HasSubstr("missing.dxf"));
    EXPECT_EQ(App().Documents()->Count(), 0);
}

TEST_F(EngineModel, CloseWithoutSavingReleasesAndActivatesTheLastOneLeft) {
    auto a = Open(Example("flange.dxf"));
    auto b = Open(Example("text-styles.dxf"));
    a->Activate();
    a->Close(false);
    EXPECT_EQ(App().ActiveDocument()->Name(), "text-styles.dxf");
    EXPECT_THAT(ErrorOf([&] { a->Name(); }), HasSubstr("closed"));
    b->Close(false);
    EXPECT_THAT(ErrorOf([&] { App().ActiveDocument(); }), HasSubstr("No drawing"));
}

TEST_F(EngineModel, CloseWithSavingIsRefusedAndWritesNothing) {
    const fs::path file = Example("flange.dxf");
    const FileState before = StateOf(file);
    auto doc = Open(file);
    doc->ActiveLayout()->SetCenterPlot(true);
    EXPECT_THAT(ErrorOf([&] { doc->Close(true); }), HasSubstr("read-only"));
    EXPECT_EQ(App().Documents()->Count(), 1);  // still open, as it was
    doc->Close(false);
    EXPECT_EQ(StateOf(file), before);
}

TEST_F(EngineModel, LayoutsInTabOrderWithModelFirstAndTheSpacesTheirLayouts) {
    auto doc = Open(Example("site-layouts.dxf"));
    auto layouts = doc->Layouts();
    ASSERT_EQ(layouts->Count(), 3);
    EXPECT_EQ(layouts->Item(0)->Name() + "|" + layouts->Item(1)->Name() + "|" +
                  layouts->Item(2)->Name() + "|" + layouts->Item("details a4")->Name(),
              "Model|Site Plan A3|Details A4|Details A4");
    EXPECT_THAT(ErrorOf([&] { layouts->Item("Nope"); }), HasSubstr("Key not found"));

    // Active, model space's and paper space's layouts; while model space is active, paper
    // space stands for the first paper layout.
    const auto spaces = [&] {
        return doc->ActiveLayout()->Name() + "|" + doc->ModelSpace()->Layout()->Name() + "|" +
               doc->PaperSpace()->Layout()->Name();
    };
    EXPECT_EQ(spaces(), "Model|Model|Site Plan A3");
    doc->SetActiveLayout(layouts->Item("Details A4"));
    EXPECT_EQ(spaces(), "Details A4|Model|Details A4");
}

TEST_F(EngineModel, PlotSettingsChangeOnlyToValidValuesAndMarkTheDrawingModified) {
    auto doc = Open(Example("flange.dxf"));
    auto layout = doc->ActiveLayout();
    EXPECT_EQ(doc->GetVariable("DBMOD"), 0);

    EXPECT_THAT(ErrorOf([&] { layout->SetConfigName("DWG To Nowhere.pc3"); }),
                HasSubstr("no plot device"));
    EXPECT_EQ(doc->GetVariable("DBMOD"), 0);  // a refused value changes nothing

    layout->SetConfigName("pdf.PC3");  // plotter files by name, letter case aside
    const auto papers = layout->GetCanonicalMediaNames();
    EXPECT_GT(doc->GetVariable("DBMOD"), 0);
    EXPECT_THAT(ErrorOf([&] { layout->SetCanonicalMediaName("Napkin"); }),
                HasSubstr("not a paper of PDF.pc3"));
    layout->SetCanonicalMediaName(papers.back());

    EXPECT_THAT(ErrorOf([&] { layout->SetStyleSheet("nosuch.ctb"); }),
                HasSubstr("no plot style table"));
    EXPECT_THAT(ErrorOf([&] { doc->Plot()->SetNumberOfCopies(0); }), HasSubstr("copies"));
}

cad::Ref<cad::AcadBlock> FirstXref(cad::AcadDocument& doc) {
    auto blocks = doc.Blocks();
    for (std::int32_t i = 0; i < blocks->Count(); ++i) {
        auto b = blocks->Item(i);
        if (b->IsXRef()) {
            return b;
        }
    }
    return nullptr;
}

TEST_F(EngineModel, AReferenceNotFoundHasNoDatabaseUntilPointedAtItsFileAndReloaded) {
    auto doc = Open(Example("moved-project/Projects/Job1/Dwg/office-level1.dxf"));
    auto ref = FirstXref(*doc);
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(ref->Path(), "C:\\Projects\\Job1\\Xref\\structure-grid.dxf");
    EXPECT_EQ(ErrorOf([&] { ref->XRefDatabase()->ModelSpace(); }), cad::kNoDatabase);

    // Reload alone reads the same stored path again: still nothing there.
    ref->Reload();
    EXPECT_EQ(ErrorOf([&] { ref->XRefDatabase()->ModelSpace(); }), cad::kNoDatabase);

    // Relative to the drawing's folder, with Windows separators.
    ref->SetPath("..\\Xref\\structure-grid.dxf");
    EXPECT_GT(doc->GetVariable("DBMOD"), 0);
    ref->Reload();
    EXPECT_GT(ref->XRefDatabase()->ModelSpace()->Count(), 0);

    // Blocks that are no references have no reference members.
    EXPECT_THAT(ErrorOf([&] { doc->ModelSpace()->XRefDatabase(); }),
                HasSubstr("not an external reference"));
}

// The engine answers what a layout holds, so that blank sheets are left out of a plot.
const std::string kLine = "0|LINE|8|0|10|0|20|0|11|100|21|50|";
const std::string kPaperLine = "0|LINE|8|0|67|1|10|0|20|0|11|100|21|50|";
const std::string kPaperView = "0|VIEWPORT|8|0|67|1|10|150|20|100|40|300|41|200|68|1|69|1|";
const std::string kFloating = "0|VIEWPORT|8|0|67|1|10|150|20|100|40|100|41|80|68|2|69|2|";

struct SheetCase {
    std::string what;
    std::string entities;  // the ENTITIES section's groups, "|"-separated
    bool blank;            // Layout1 has nothing to plot
};

const SheetCase kSheets[] = {
    {"no paper space at all", kLine, true},
    {"a line on the sheet", kLine + kPaperLine, false},
    {"its own paper-space view only", kLine + kPaperView, true},
    {"a view onto a drawn model", kLine + kPaperView + kFloating, false},
    {"views onto an empty model", kPaperView + kFloating, true},
};

struct BlankLayouts : EngineModel, ::testing::WithParamInterface<SheetCase> {};

TEST_P(BlankLayouts, AreToldFromLayoutsThatHoldSomething) {
    const SheetCase& c = GetParam();
    std::string text = "0|SECTION|2|ENTITIES|" + c.entities + "0|ENDSEC|0|EOF|";
    std::replace(text.begin(), text.end(), '|', '\n');
    std::ofstream(work / "sheet.dxf") << text;
    auto doc = Open(work / "sheet.dxf");
    auto layouts = doc->Layouts();
    ASSERT_EQ(layouts->Count(), 2) << c.what;
    EXPECT_FALSE(plot::IsBlankSheet(*doc, *layouts->Item(0))) << c.what;  // model space
    EXPECT_EQ(plot::IsBlankSheet(*doc, *layouts->Item(1)), c.blank) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Sheets, BlankLayouts, ::testing::ValuesIn(kSheets));

// What the engine keeps from one call to the next (plot style tables, plotter files and a
// drawing's extents) is read or computed again once what it came from has changed.

// Writes the file and moves its modification time on by a second, as a later edit would
// (two writes within one tick of the file system's clock would share a time).
void Rewrite(const fs::path& file, const std::string& bytes) {
    const auto before =
        fs::exists(file) ? fs::last_write_time(file) : fs::file_time_type::clock::now();
    std::ofstream(file, std::ios::binary) << bytes;
    fs::last_write_time(file, before + std::chrono::seconds(1));
}

bool Noted(const engine::automation::PlotRecord& r, const std::string& text) {
    return std::any_of(r.notes.begin(), r.notes.end(),
                       [&](const std::string& n) { return n.find(text) != std::string::npos; });
}

TEST_F(EngineModel, APlotStyleTableChangedBetweenTwoDrawingsIsReadAgain) {
    const fs::path table = user / "plotstyles" / "mine.ctb";
    engine::plotstyle::WritePlotStyleFile(table, engine::plotstyle::NewColorDependentTable("m"));
    std::ostringstream bytes;
    bytes << std::ifstream(table, std::ios::binary).rdbuf();
    const std::string good = bytes.str();
    std::string flipped = good;  // the same size, its checksum wrong
    flipped.back() = static_cast<char>(flipped.back() ^ 0x55);
    const std::pair<std::string, bool> versions[] = {
        {good, true}, {flipped, false}, {good, true}, {"not a table", false}};
    int n = 0;
    for (const auto& [content, usable] : versions) {
        Rewrite(table, content);
        auto doc = Open(Example("bracket-r12.dxf"));
        Configure(*doc, "PDF.pc3")->SetStyleSheet("mine.ctb");
        doc->Plot()->PlotToFile("plot" + std::to_string(++n) + ".pdf", "PDF.pc3");
        EXPECT_EQ(Noted(LastPlot(), "mine.ctb"), !usable) << "version " << n;
        doc->Close(false);
    }
}

TEST_F(EngineModel, APlotterFileChangedInPlaceIsReadAgainOnRefresh) {
    const fs::path pc3 = user / "plotters" / "Mine.pc3";
    auto layout = App().Documents()->Add()->ModelSpace()->Layout();
    const std::pair<std::string, std::string> versions[] = {
        {"paper = A3\n", "ISO_A3"},
        {"paper = A2\n", "ISO_A2"},  // the same size
        {"paper = A4\npaper = A3\n", "ISO_A4"}};
    for (const auto& [papers, first] : versions) {
        Rewrite(pc3, "format = vormex-plotter 1\ndriver = pdf\n" + papers);
        layout->RefreshPlotDeviceInfo();
        ASSERT_THAT(layout->GetPlotDeviceNames(), Contains("Mine.pc3"));
        layout->SetConfigName("Mine.pc3");
        EXPECT_THAT(layout->GetCanonicalMediaNames().front(), HasSubstr(first));
    }
}

// A minimal R12 drawing file.
std::string Dxf(const std::string& blocks, const std::string& entities) {
    return "0\nSECTION\n2\nBLOCKS\n" + blocks + "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" + entities +
           "0\nENDSEC\n0\nEOF\n";
}

TEST_F(EngineModel, ExtentsAreComputedAgainWhenAReloadChangesWhatAReferenceHolds) {
    // A drawing holding nothing but a reference, stored where it is not; its drawing holds
    // a line far from the origin.
    std::ofstream(work / "host.dxf")
        << Dxf("0\nBLOCK\n8\n0\n2\nGrid\n70\n4\n10\n0\n20\n0\n30\n0\n3\nGrid\n1\n"
               "C:\\Old\\grid.dxf\n0\nENDBLK\n8\n0\n",
               "0\nINSERT\n8\n0\n2\nGrid\n10\n0\n20\n0\n30\n0\n");
    std::ofstream(work / "grid.dxf")
        << Dxf("", "0\nLINE\n8\n0\n10\n1000\n20\n1000\n30\n0\n11\n1010\n21\n1010\n31\n0\n");
    auto doc = Open(work / "host.dxf");
    doc->ActiveLayout()->SetConfigName("PDF.pc3");
    App().ZoomExtents();
    doc->Regen(cad::kRegenAllViewports);
    auto ref = doc->Blocks()->Item("Grid");
    const std::pair<std::string, bool> paths[] = {{(work / "grid.dxf").string(), true},
                                                  {"C:\\Elsewhere\\grid.dxf", false},
                                                  {(work / "grid.dxf").string(), true}};
    for (const auto& [path, loaded] : paths) {
        ref->SetPath(path);
        ref->Reload();
        App().ZoomExtents();
        doc->Regen(cad::kRegenActiveViewport);
        doc->Plot()->PlotToFile("host.pdf", "PDF.pc3");
        EXPECT_EQ(Noted(LastPlot(), "holds nothing to plot"), !loaded) << path;
    }
}

TEST_F(EngineModel, ModelSpaceToPdfOnTheChosenPaperWithTheFormatsExtension) {
    const fs::path drawing = Example("floor-plan.dxf");
    auto doc = Open(drawing);
    Configure(*doc, "PDF.pc3", "ISO_A3_(297.00_x_420.00_MM)");
    auto plot = doc->Plot();
    plot->SetQuietErrorMode(true);
    ASSERT_TRUE(plot->PlotToFile((work / "examples" / "floor-plan.plt").string(), "PDF.pc3"))
        << LastPlot().error;

    const fs::path pdf = work / "examples" / "floor-plan.pdf";
    EXPECT_EQ(PdfPages(pdf), "1 page of 297 x 420 mm");

    const auto r = LastPlot();
    EXPECT_EQ(std::tuple(r.ok, r.outputFile, r.requestedFile, r.media, r.layout),
              std::tuple(true, pdf.string(), (work / "examples" / "floor-plan.plt").string(),
                         "ISO_A3_(297.00_x_420.00_MM)", "Model"));
    EXPECT_GT(std::min(r.visible, r.bytes), 0);
}

// Paper-space layouts plotted to one name: the second layout's file gets its name, the
// same layout again a number; the drawings stay as they were, with no lock or backup
// beside them.
TEST_F(EngineModel, PaperLayoutsToOneNameGetTheLayoutsNameAndChangeNoDrawing) {
    const fs::path folder = work / "examples";
    Example("flange.dxf");
    const auto before = Snapshot(folder);
    auto doc = Open(folder / "site-layouts.dxf");
    for (const char* name : {"Site Plan A3", "Details A4"}) {
        doc->SetActiveLayout(doc->Layouts()->Item(name));
        Configure(*doc, "PDF.pc3", "ISO_A4_(210.00_x_297.00_MM)");
        ASSERT_TRUE(doc->Plot()->PlotToFile("site-layouts.Plt", "PDF.pc3")) << LastPlot().error;
        EXPECT_EQ(LastPlot().layout, name);
    }
    ASSERT_TRUE(doc->Plot()->PlotToFile("site-layouts.Plt", "PDF.pc3"));
    for (const char* file :
         {"site-layouts.pdf", "site-layouts-Details A4.pdf", "site-layouts-Details A4 (2).pdf"}) {
        EXPECT_EQ(PdfPages(folder / file), "1 page of 210 x 297 mm") << file;
    }
    doc->Close(false);
    for (const auto& [file, state] : before) {
        EXPECT_EQ(StateOf(file), state) << file;
    }
    EXPECT_EQ(NewFiles(folder, before).size(), 3u);

    // A drawing opened anew starts afresh: its plot replaces the run before's file.
    auto again = Open(Example("site-layouts.dxf"));
    again->SetActiveLayout(again->Layouts()->Item("Details A4"));
    Configure(*again, "PDF.pc3");
    ASSERT_TRUE(again->Plot()->PlotToFile("site-layouts.Plt", "PDF.pc3"));
    EXPECT_EQ(LastPlot().outputFile, (folder / "site-layouts.pdf").string());
}

TEST_F(EngineModel, APlotNeverReplacesTheFileAnotherDrawingsPlotWroteThisSession) {
    const fs::path out = work / "plots" / "sheet.plt";
    fs::create_directories(out.parent_path());
    auto flange = Open(Example("flange.dxf"));
    Configure(*flange, "PDF.pc3");
    ASSERT_TRUE(flange->Plot()->PlotToFile(out.string(), "PDF.pc3"));

    auto plan = Open(Example("floor-plan.dxf"));
    Configure(*plan, "PDF.pc3");
    ASSERT_TRUE(plan->Plot()->PlotToFile(out.string(), "PDF.pc3"));
    EXPECT_EQ(LastPlot().outputFile, (work / "plots" / "sheet-floor-plan.dxf.pdf").string());
}

TEST_F(EngineModel, PlotToFileIsFalseWithTheReasonWhenNothingCouldBeWritten) {
    auto doc = Open(Example("flange.dxf"));
    Configure(*doc, "PDF.pc3");
    auto plot = doc->Plot();
    EXPECT_FALSE(plot->PlotToFile((work / "no/such/folder/x.plt").string(), "PDF.pc3"));
    EXPECT_FALSE(plot->PlotToFile("x.plt", "Imaginary.pc3"));
    EXPECT_THAT(LastPlot().error, HasSubstr("Imaginary.pc3"));
    // The drawing itself is never a plot's file.
    EXPECT_FALSE(plot->PlotToFile((work / "examples" / "flange.dxf").string(), "PDF.pc3"));
    EXPECT_THAT(LastPlot().error, HasSubstr("drawing itself"));
    EXPECT_FALSE(fs::exists(work / "examples" / "x.pdf"));
}

TEST_F(EngineModel, AFailingPlotKeepsTheEarlierFileAsItWas) {
    const fs::path folder = work / "examples";
    auto doc = Open(Example("flange.dxf"));
    std::ofstream(folder / "flange.png") << "the earlier plot";
    const auto before = Snapshot(folder);

    // A page too large to be made: it fails before anything is drawn.
    std::ofstream(user / "plotters" / "Huge.pc3")
        << "format = vormex-plotter 1\ndriver = png\nresolution = 2400\n"
           "paper = ISO_A0_(841.00_x_1189.00_MM)\n";
    doc->ActiveLayout()->RefreshPlotDeviceInfo();
    const FileState earlier = StateOf(folder / "flange.png");
    Configure(*doc, "Huge.pc3", "A0");
    EXPECT_FALSE(doc->Plot()->PlotToFile("flange.plt", "Huge.pc3"));
    EXPECT_THAT(LastPlot().error, HasSubstr("too large"));
    EXPECT_EQ(StateOf(folder / "flange.png"), earlier);

    // A page drawn whole that cannot take its place: a folder holds the name.
    fs::create_directory(folder / "flange.pdf");
    std::ofstream(folder / "flange.pdf" / "inside.txt") << "kept";
    Configure(*doc, "PDF.pc3");
    EXPECT_FALSE(doc->Plot()->PlotToFile("flange.plt", "PDF.pc3"));
    // Nothing else appeared: no temporary file of either plot.
    EXPECT_EQ(NewFiles(folder, before), std::vector{folder / "flange.pdf" / "inside.txt"});
}

TEST_F(EngineModel, AnEmptyLayoutGivesABlankPageSaidSo) {
    // No entities and no limits.
    std::ofstream(work / "empty.dxf") << "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n";
    auto doc = Open(work / "empty.dxf");
    Configure(*doc, "PDF.pc3", "ISO_A4_(210.00_x_297.00_MM)");
    ASSERT_TRUE(doc->Plot()->PlotToFile("empty.plt", "PDF.pc3")) << LastPlot().error;
    EXPECT_EQ(LastPlot().visible, 0);
    EXPECT_THAT(LastPlot().notes, ::testing::Contains(HasSubstr("blank")));

    // A new drawing has limits: those are plotted, blank.
    auto added = App().Documents()->Add();
    Configure(*added, "PDF.pc3");
    ASSERT_TRUE(added->Plot()->PlotToFile((work / "new.plt").string(), "PDF.pc3"));
    EXPECT_THAT(LastPlot().notes, ::testing::Contains(HasSubstr("limits")));
}

// A filled band much longer than the paper is wide, scaled to fit and turned: it spans the
// paper's height up to the shipped device's margins and leaves them white.
TEST_F(EngineModel, AFittedPlotLeavesTheDevicesMarginWhite) {
    std::ofstream(work / "band.dxf") << "0\nSECTION\n2\nENTITIES\n0\nSOLID\n8\n0\n62\n1\n"
                                        "10\n0\n20\n0\n11\n1000\n21\n0\n12\n0\n22\n100\n"
                                        "13\n1000\n23\n100\n0\nENDSEC\n0\nEOF\n";
    auto doc = Open(work / "band.dxf");
    Configure(*doc, "PNG.pc3", "ISO_A4_(210.00_x_297.00_MM)");
    ASSERT_TRUE(doc->Plot()->PlotToFile("band.plt", "PNG.pc3")) << LastPlot().error;
    QImage png(QString::fromStdString(LastPlot().outputFile));
    ASSERT_FALSE(png.isNull());
    // The band's ink along the page's height, in millimetres from the top and bottom edges.
    int top = png.height(), bottom = -1;
    for (int y = 0; y < png.height(); ++y) {
        if (qGray(png.pixel(png.width() / 2, y)) < 128) {
            top = std::min(top, y);
            bottom = y;
        }
    }
    ASSERT_GE(bottom, 0) << "no ink";
    const double mmPerPixel = 297.0 / png.height();
    EXPECT_NEAR(top * mmPerPixel, 5, 0.5);
    EXPECT_NEAR((png.height() - 1 - bottom) * mmPerPixel, 5, 0.5);
}

TEST_F(EngineModel, PlotToDeviceWritesAFileNamedAfterTheDrawingOrFailsWithADescription) {
    auto doc = Open(Example("moved-project/Projects/Job1/Dwg/office-level1.dxf"));
    auto layout = doc->ActiveLayout();
    layout->SetConfigName("None");
    EXPECT_THAT(ErrorOf([&] { doc->Plot()->PlotToDevice(); }), HasSubstr("None"));

    Configure(*doc, "SVG.pc3");
    doc->Plot()->SetNumberOfCopies(3);  // a file is one copy whatever is asked
    EXPECT_TRUE(doc->Plot()->PlotToDevice()) << LastPlot().error;
    // Beside the drawing, never in the current folder.
    EXPECT_EQ(LastPlot().outputFile,
              (work / "examples/moved-project/Projects/Job1/Dwg/office-level1.svg").string());
    EXPECT_FALSE(fs::exists(fs::current_path() / "office-level1.svg"));
}

PlotterConfig Config(Driver driver) {
    PlotterConfig c;
    c.driver = driver;
    return c;
}

// A .plt name takes the format's extension unless the format is HP-GL/2; other names are
// kept; folders given are kept and Windows paths mapped; names that lead nowhere are refused.
TEST(EnginePlotFiles, PlotFileNames) {
    const struct {
        const char *name, *folder;
        Driver driver;
        const char* expected;  // "" when refused
    } cases[] = {
        {"a.plt", "/jobs/dwg", Driver::Pdf, "/jobs/dwg/a.pdf"},
        {"a.Plt", "/jobs/dwg", Driver::Svg, "/jobs/dwg/a.svg"},
        {"a.Plt", "/jobs/dwg", Driver::Hpgl, "/jobs/dwg/a.Plt"},
        {"a.out", "/jobs/dwg", Driver::Pdf, "/jobs/dwg/a.out"},
        {"C:\\plots\\a.plt", "/jobs/dwg", Driver::Pdf, "/plots/a.pdf"},
        {"..\\out\\a.plt", "/jobs/dwg", Driver::Pdf, "/jobs/out/a.pdf"},
        {"", "/jobs", Driver::Pdf, ""},
        {"C:\\plots\\", "/jobs", Driver::Pdf, ""},
    };
    for (const auto& c : cases) {
        std::string got;
        try {
            got = PlotFilePath(c.name, c.folder, Config(c.driver)).string();
        } catch (const DeviceError&) {
        }
        EXPECT_EQ(got, c.expected) << c.name << " in " << c.folder;
    }
    // A device plot is named after the drawing, beside it.
    EXPECT_EQ(DevicePlotFilePath("a.b.dxf", "/jobs", Config(Driver::Hpgl)), "/jobs/a.b.plt");
    EXPECT_THROW(DevicePlotFilePath("Drawing1.dwg", "", Config(Driver::Pdf)), DeviceError);
}

TEST(EnginePlotFiles, ALayoutsNameNeverLeadsIntoAnotherFolder) {
    const std::set<fs::path> written{"/j/a.pdf"};
    EXPECT_EQ(DistinctPlotFile("/j/a.pdf", "../x/y:z", written), "/j/a-.._x_y_z.pdf");
}

engine::db::Layout StoredLayout() {
    engine::db::Layout l;
    l.name = "Sheet";
    l.plot.configName = "DWG To Somewhere.pc3";  // a device this engine does not have
    l.plot.canonicalMediaName = "ISO_A3_(297.00_x_420.00_MM)";
    l.plot.styleSheet = "monochrome.ctb";
    l.plot.flags = engine::db::PlotSettings::kPlotCentered |
                   engine::db::PlotSettings::kUseStandardScale |
                   engine::db::PlotSettings::kPlotPlotStyles;
    l.plot.rotation = 1;
    l.plot.plotType = 1;
    l.plot.paperUnits = 1;
    l.plot.standardScaleType = 16;  // the stored list's 1:1... as the file numbers them
    return l;
}

TEST(EngineLayoutSettings, StartFromTheStoredSettingsWithAnUnknownDeviceAsNone) {
    const engine::device::DeviceRegistry devices({fs::path(VORMEX_PROGRAM_DIR) / "plotters"},
                                                 nullptr);
    const auto s = engine::automation::SettingsFromStored(StoredLayout(), devices);
    EXPECT_EQ(s.configName + "|" + s.missingDevice + "|" + s.canonicalMediaName + "|" +
                  s.styleSheet + "|" + std::to_string(s.center) + std::to_string(s.rotation) +
                  std::to_string(s.plotType),
              "None|DWG To Somewhere.pc3|ISO_A3_(297.00_x_420.00_MM)|monochrome.ctb|111");
    // The stored code is read in the file's own numbering.
    const auto stored = engine::page::StoredStandardScaleFromCode(16).value();
    const auto scale = engine::automation::ScaleOf(s);
    EXPECT_DOUBLE_EQ(scale.paperUnits / scale.drawingUnits,
                     stored.paperUnits / stored.drawingUnits);

    // A known device by another letter case is taken under its own name; an unusable
    // stored paper gives way to the device's default.
    auto l = StoredLayout();
    l.plot.configName = "pdf.pc3";
    l.plot.canonicalMediaName = "Napkin";
    const auto t = engine::automation::SettingsFromStored(l, devices);
    EXPECT_EQ(t.configName, "PDF.pc3");
    EXPECT_EQ(t.canonicalMediaName, devices.DefaultMediaName("PDF.pc3"));
}

}  // namespace
}  // namespace vx::testing
