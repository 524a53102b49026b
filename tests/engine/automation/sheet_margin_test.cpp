// The shipped file devices keep a white border round a plot scaled to fit; a user's own
// device may still print to the edge.
#include <gmock/gmock.h>

#include <QImage>
#include <algorithm>
#include <fstream>

#include "EngineFixture.h"
#include "engine/device/DeviceRegistry.h"

namespace vx::testing {
namespace {

constexpr char kA4[] = "ISO_A4_(210.00_x_297.00_MM)";

TEST(ShippedMargins, FileDevicesStateAFewMillimetresExceptOnFullBleedPapers) {
    const engine::device::DeviceRegistry registry({fs::path(VORMEX_PROGRAM_DIR) / "plotters"},
                                                  nullptr);
    for (const char* device : {"PDF.pc3", "SVG.pc3", "PNG.pc3"}) {
        const auto found = registry.Find(device);
        ASSERT_TRUE(found) << device;
        for (const auto& paper : found->config.papers) {
            const auto& m = paper.margins;
            const bool bleed = paper.canonicalName.find("full_bleed") != std::string::npos;
            const double least = std::min({m.left, m.bottom, m.right, m.top});
            const double most = std::max({m.left, m.bottom, m.right, m.top});
            EXPECT_TRUE(bleed ? most == 0 : least >= 3 && most <= 10)
                << device << " " << paper.canonicalName;
        }
    }
}

struct MarginCase {
    const char* device;
    const char* pc3;  // a user's device to write, or nullptr for a shipped one
    double margin;    // mm the fitted plot leaves on its long sides
};

const MarginCase kMargins[] = {
    {"PNG.pc3", nullptr, 5},
    {"Edge.pc3", "format = vormex-plotter 1\ndriver = png\nresolution = 100\npaper = ", 0},
};

struct FittedPlot : EngineModel, ::testing::WithParamInterface<MarginCase> {};

// A filled band much longer than the paper is wide: scaled to fit and turned, it spans the
// paper's height up to the margins.
TEST_P(FittedPlot, LeavesTheDevicesMarginWhite) {
    const MarginCase& c = GetParam();
    if (c.pc3) {
        std::ofstream(user / "plotters" / c.device) << c.pc3 << kA4 << "\n";
    }
    std::ofstream(work / "band.dxf") << "0\nSECTION\n2\nENTITIES\n0\nSOLID\n8\n0\n62\n1\n"
                                        "10\n0\n20\n0\n11\n1000\n21\n0\n12\n0\n22\n100\n"
                                        "13\n1000\n23\n100\n0\nENDSEC\n0\nEOF\n";
    auto doc = Open(work / "band.dxf");
    auto layout = doc->ActiveLayout();
    layout->SetConfigName(c.device);
    layout->SetCanonicalMediaName(kA4);
    layout->SetPlotType(cad::kPlotExtents);
    layout->SetStandardScale(cad::kScaleToFit);
    layout->SetUseStandardScale(true);
    layout->SetPlotRotation(cad::kRotation90);
    layout->SetCenterPlot(true);
    ASSERT_TRUE(doc->Plot()->PlotToFile("band.plt", c.device)) << LastPlot().error;
    QImage png(QString::fromStdString(LastPlot().outputFile));
    ASSERT_FALSE(png.isNull());
    // The band's ink along the page's height, in millimetres from the top and bottom edges.
    int top = png.height(), bottom = -1;
    const int x = png.width() / 2;
    for (int y = 0; y < png.height(); ++y) {
        if (qGray(png.pixel(x, y)) < 128) {
            top = std::min(top, y);
            bottom = y;
        }
    }
    ASSERT_GE(bottom, 0) << "no ink";
    const double mmPerPixel = 297.0 / png.height();
    EXPECT_NEAR(top * mmPerPixel, c.margin, 0.5);
    EXPECT_NEAR((png.height() - 1 - bottom) * mmPerPixel, c.margin, 0.5);
}

INSTANTIATE_TEST_SUITE_P(Devices, FittedPlot, ::testing::ValuesIn(kMargins));

}  // namespace
}  // namespace vx::testing
