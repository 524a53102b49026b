// A drawing that expands without end fails its plot at once with the budget's error, to a
// file and to a device alike, and leaves no file behind.
#include <gmock/gmock.h>

#include <fstream>

#include "EngineFixture.h"

namespace vx::testing {
namespace {

TEST_F(EngineModel, ABlockInsertingItselfFailsThePlotWithTheBudgetsError) {
    // Block A: a line and A twice; model space: A.
    std::ofstream(work / "self.dxf") << "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nA\n70\n0\n"
                                        "10\n0\n20\n0\n0\nLINE\n8\n0\n10\n0\n20\n0\n11\n1\n21\n1\n"
                                        "0\nINSERT\n8\n0\n2\nA\n10\n0\n20\n0\n"
                                        "0\nINSERT\n8\n0\n2\nA\n10\n0.001\n20\n0\n0\nENDBLK\n"
                                        "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n"
                                        "0\nINSERT\n8\n0\n2\nA\n10\n0\n20\n0\n0\nENDSEC\n0\nEOF\n";
    auto doc = Open(work / "self.dxf");
    auto layout = doc->ActiveLayout();
    layout->RefreshPlotDeviceInfo();
    layout->SetConfigName("PDF.pc3");
    layout->SetPlotType(cad::kPlotExtents);
    const std::string error = "The drawing expands to more than 20000000 primitives.";
    EXPECT_FALSE(doc->Plot()->PlotToFile((work / "self.pdf").string(), "PDF.pc3"));
    EXPECT_EQ(LastPlot().error, error);
    EXPECT_EQ(ErrorOf([&] { doc->Plot()->PlotToDevice(); }), error);
    EXPECT_FALSE(fs::exists(work / "self.pdf"));
}

}  // namespace
}  // namespace vx::testing
