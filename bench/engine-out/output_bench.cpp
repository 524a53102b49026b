// A dense A0 page (20,000 lines) through each file back end, clipping a long polyline
// against a viewport, and reading a real plot style table.
//
//     build/bin/engine_out_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QTemporaryDir>
#include <cmath>
#include <filesystem>

#include "../GuiBenchMain.h"
#include "engine/geom/Polygon.h"
#include "engine/output/PlotOutput.h"
#include "engine/plotstyle/PlotStyleFile.h"

using namespace vx::engine;

namespace {

constexpr int kLines = 20000;

void DensePage(benchmark::State& state, output::OutputKind kind) {
    QTemporaryDir dir;
    output::Pen pen;
    pen.lineweight = 0.25;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        output::OutputTarget t;
        t.kind = kind;
        t.file = dir.filePath("page").toStdString();
        t.dotsPerInch = 100;
        auto sink = output::OpenPage(t, {1189, 841});
        for (int i = 0; i < kLines; ++i) {
            const double a = i * 0.001;
            output::Polyline line;
            line.pen = pen;
            line.points = {{594.5 + 500 * std::cos(a), 420.5 + 400 * std::sin(a)},
                           {594.5 - 500 * std::cos(a), 420.5 - 400 * std::sin(a)}};
            sink->Draw(line);
        }
        bytes = sink->Finish().bytesWritten;
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(kLines) * state.iterations(),
                                                   benchmark::Counter::kIsRate);
}

void BM_DensePagePdf(benchmark::State& s) {
    DensePage(s, output::OutputKind::Pdf);
}
void BM_DensePageSvg(benchmark::State& s) {
    DensePage(s, output::OutputKind::Svg);
}
void BM_DensePageHpgl(benchmark::State& s) {
    DensePage(s, output::OutputKind::Hpgl);
}
void BM_DensePagePng(benchmark::State& s) {
    DensePage(s, output::OutputKind::Png);
}
BENCHMARK(BM_DensePagePdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DensePageSvg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DensePageHpgl)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DensePagePng)->Unit(benchmark::kMillisecond);

void BM_ClipLongPolyline(benchmark::State& state) {
    geom::Polygon line;
    for (int i = 0; i < 10000; ++i) {
        line.push_back({i * 0.1, 50 + 40 * std::sin(i * 0.05)});
    }
    const geom::Polygon viewport{{100, 20}, {800, 20}, {800, 80}, {450, 50}, {100, 80}};
    for (auto _ : state) {
        benchmark::DoNotOptimize(geom::ClipPolyline(line, false, viewport));
    }
}
BENCHMARK(BM_ClipLongPolyline)->Unit(benchmark::kMicrosecond);

void BM_ReadColorDependentTable(benchmark::State& state) {
    const std::filesystem::path file =
        std::filesystem::path(VORMEX_TESTDATA_DIR) / "ctb" / "ezdxf" / "ctbtest.ctb";
    if (!std::filesystem::exists(file)) {
        state.SkipWithError("test data not available");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(plotstyle::ReadPlotStyleFile(file));
    }
}
BENCHMARK(BM_ReadColorDependentTable)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return vx::bench::RunWithGui(argc, argv);
}
