// Where plot files go, and the plot settings a layout starts from.
#include <gmock/gmock.h>

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

TEST(EnginePlotFiles, ASecondPlotToTheSameFileGetsTheLayoutsNameThenANumber) {
    std::set<fs::path> written;
    EXPECT_EQ(DistinctPlotFile("/j/a.pdf", "Layout1", written), "/j/a.pdf");
    written.insert("/j/a.pdf");
    EXPECT_EQ(DistinctPlotFile("/j/a.pdf", "Layout1", written), "/j/a-Layout1.pdf");
    written.insert("/j/a-Layout1.pdf");
    EXPECT_EQ(DistinctPlotFile("/j/a.pdf", "Layout1", written), "/j/a-Layout1 (2).pdf");
    // A layout's name never leads into another folder.
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
