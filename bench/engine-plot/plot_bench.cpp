// The engine through its automation interface, as a plot run drives it:
//   BM_OpenPlotClose/<device>  one drawing opened, its model space plotted to a file with
//                              the run's settings, and closed (the run's cost per drawing)
//   BM_RefreshPlotDeviceInfo   the device refresh (plotter folders and the system's
//                              printers), made three times per layout plotted
//
//   engine_plot_bench [--benchmark_filter=...]     (QT_QPA_PLATFORM=offscreen is set)
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QTemporaryDir>
#include <filesystem>

#include "../GuiBenchMain.h"
#include "cad/ClassRegistry.h"
#include "engine/automation/Engine.h"

namespace {

namespace fs = std::filesystem;
using namespace vx;

struct Engine {
    cad::ClassRegistry registry;
    cad::Ref<cad::AcadApplication> app;
    QTemporaryDir temp;
    fs::path work;

    explicit Engine(bool printers) {
        engine::automation::EngineOptions o;
        o.folders = engine::device::EngineFolders{VORMEX_PROGRAM_DIR, temp.path().toStdString()};
        o.noPrinters = !printers;
        engine::automation::RegisterEngine(registry, o);
        app = registry.CreateObject(cad::kCadClassName);
        work = fs::path(temp.path().toStdString()) / "examples";
        fs::copy(fs::path(VORMEX_SOURCE_DIR) / "examples", work, fs::copy_options::recursive);
    }
};

void BM_OpenPlotClose(benchmark::State& state, const char* drawing, const char* device) {
    Engine e(false);
    const fs::path file = e.work / drawing;
    for (auto _ : state) {
        auto doc = e.app->Documents()->Open(file.string(), true);
        auto layout = doc->ActiveLayout();
        layout->SetConfigName(device);
        layout->SetPlotType(cad::kPlotExtents);
        layout->SetStandardScale(cad::kScaleToFit);
        layout->SetPlotRotation(cad::kRotation90);
        layout->SetCenterPlot(true);
        if (!doc->Plot()->PlotToFile((e.work / "bench.plt").string(), device)) {
            state.SkipWithError("the plot failed");
            break;
        }
        doc->Close(false);
    }
}
BENCHMARK_CAPTURE(BM_OpenPlotClose, floor_plan_pdf, "floor-plan.dxf", "PDF.pc3")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenPlotClose, floor_plan_hpgl, "floor-plan.dxf", "HP-GL2.pc3")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenPlotClose, site_layouts_png, "site-layouts.dxf", "PNG.pc3")
    ->Unit(benchmark::kMillisecond);

void BM_RefreshPlotDeviceInfo(benchmark::State& state) {
    Engine e(true);
    auto layout = e.app->Documents()->Add()->ModelSpace()->Layout();
    for (auto _ : state) {
        layout->RefreshPlotDeviceInfo();
    }
    state.counters["devices"] = static_cast<double>(layout->GetPlotDeviceNames().size());
}
BENCHMARK(BM_RefreshPlotDeviceInfo)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return vx::bench::RunWithGui(argc, argv);
}
