// Plots through the automation interface: real files in every format, the plot file's
// name and place, and plots that fail without leaving anything behind; where plot files
// go, and the plot settings a layout starts from.
#include <gmock/gmock.h>

#include <QImage>

#include <fstream>

#include "EngineFixture.h"
#include "engine/automation/LayoutSettings.h"
#include "engine/automation/PlotFiles.h"

namespace vx::testing {
namespace {

using engine::automation::DevicePlotFilePath;
using engine::automation::DistinctPlotFile;
using engine::automation::PlotFilePath;
using engine::device::DeviceError;
using engine::device::Driver;
using engine::device::PlotterConfig;
using ::testing::HasSubstr;

struct EnginePlot : EngineModel {
    // The settings a run writes: device, the first paper containing `paper`, extents,
    // scale to fit, 90 degrees, centred.
    cad::Ref<cad::AcadLayout> Configure(cad::AcadDocument& doc, const std::string& device,
                                        const std::string& paper = "A3") {
        auto layout = doc.ActiveLayout();
        layout->RefreshPlotDeviceInfo();
        layout->SetConfigName(device);
        for (const auto& name : layout->GetCanonicalMediaNames()) {
            if (name.find(paper) != std::string::npos) {
                layout->SetCanonicalMediaName(name);
                break;
            }
        }
        layout->SetPlotWithPlotStyles(true);
        layout->SetStyleSheet("");
        layout->SetPlotType(cad::kPlotExtents);
        layout->SetStandardScale(cad::kScaleToFit);
        layout->SetUseStandardScale(true);
        layout->SetPlotRotation(cad::kRotation90);
        layout->SetCenterPlot(true);
        return layout;
    }
};

TEST_F(EnginePlot, ModelSpaceToPdfOnTheChosenPaperWithTheFormatsExtension) {
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
TEST_F(EnginePlot, PaperLayoutsToOneNameGetTheLayoutsNameAndChangeNoDrawing) {
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

TEST_F(EnginePlot, APlotNeverReplacesTheFileAnotherDrawingsPlotWroteThisSession) {
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

TEST_F(EnginePlot, PlotToFileIsFalseWithTheReasonWhenNothingCouldBeWritten) {
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

TEST_F(EnginePlot, AFailingPlotKeepsTheEarlierFileAsItWas) {
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

TEST_F(EnginePlot, AnEmptyLayoutGivesABlankPageSaidSo) {
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
TEST_F(EnginePlot, AFittedPlotLeavesTheDevicesMarginWhite) {
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

TEST_F(EnginePlot, PlotToDeviceWritesAFileNamedAfterTheDrawingOrFailsWithADescription) {
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
