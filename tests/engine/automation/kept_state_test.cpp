// What the engine keeps from one call to the next (plot style tables, plotter files and a
// drawing's extents) is read or computed again once what it came from has changed.
#include <gmock/gmock.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "EngineFixture.h"
#include "engine/plotstyle/PlotStyleFile.h"

namespace vx::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

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
        auto layout = doc->ActiveLayout();
        layout->RefreshPlotDeviceInfo();
        layout->SetConfigName("PDF.pc3");
        layout->SetPlotWithPlotStyles(true);
        layout->SetStyleSheet("mine.ctb");
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

}  // namespace
}  // namespace vx::testing
