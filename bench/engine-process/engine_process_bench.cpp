// vormex-cli plot over a folder of N copies of a small drawing, to PDF, on the engine in
// the program's process and on the engine in its own process (vormex-engine, started and
// quit by each run as the program does).
//   BM_PlotRun/<engine>/<N>   wall time per run; s/drawing (wall time) and trips/drawing
//                             (waits for the engine's answer) as counters
//   BM_Call/<engine>          wall time of one call that waits for its answer
// The engine's process should cost at most a fifth more than the engine in the process:
// compare the two times of one N (N = 1 shows what starting and quitting the engine
// costs a run). Most of what the process costs is waiting for the other
// side to be scheduled, so a loaded machine widens the gap: compare several runs of both,
// taken in turn, e.g.
//
//   for i in 1 2 3 4 5; do engine_process_bench | grep BM_; done
//
//   engine_process_bench [--benchmark_filter=...]     (QT_QPA_PLATFORM=offscreen is set)
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QTemporaryDir>
#include <filesystem>

#include "../GuiBenchMain.h"
#include "../PlotRunBench.h"
#include "engine/automation/Engine.h"
#include "engine/remote/RemoteEngine.h"

namespace {

namespace fs = std::filesystem;
using namespace vx;

enum Engine { kInProcess = 0, kOwnProcess = 1 };

// The engine of the program's folder, its user folder in `temp`.
void Register(cad::ClassRegistry& registry, Engine which, const QTemporaryDir& temp) {
    const fs::path root(temp.path().toStdString());
    if (which == kInProcess) {
        engine::automation::EngineOptions o;
        o.folders = engine::device::EngineFolders{VORMEX_PROGRAM_DIR, root / "user"};
        o.noPrinters = true;
        engine::automation::RegisterEngine(registry, o);
    } else {
        engine::remote::RemoteOptions o;
        o.program = QStringLiteral(VORMEX_PROGRAM_DIR "/vormex-engine");
        o.socketName = temp.filePath("engine");
        o.arguments = {"--program-dir", VORMEX_PROGRAM_DIR, "--user-dir",
                       QString::fromStdString((root / "user").string()), "--no-printers"};
        engine::remote::RegisterRemoteEngine(registry, o);
    }
}

void BM_PlotRun(benchmark::State& state) {
    const auto drawings = static_cast<int>(state.range(1));
    QTemporaryDir temp;
    const fs::path root(temp.path().toStdString());
    const fs::path folder = root / "drawings";
    bench::CopySmallDrawing(folder, drawings);
    cad::ClassRegistry registry;
    Register(registry, static_cast<Engine>(state.range(0)), temp);
    const QStringList args = bench::PlotFolderToPdf(folder);
    const std::uint64_t trips = engine::remote::RoundTrips();
    for (auto _ : state) {
        QString errText;
        if (bench::RunPlot(args, registry, errText) != 0) {
            state.SkipWithError(errText.toStdString().c_str());
            break;
        }
    }
    state.SetLabel(state.range(0) == kInProcess ? "in process" : "vormex-engine");
    // Seconds of wall time per drawing (shown with an SI prefix: 3.1m is 3.1 ms): the
    // engine's own process works while this one waits.
    state.counters["trips/drawing"] = static_cast<double>(engine::remote::RoundTrips() - trips) /
                                      static_cast<double>(drawings) /
                                      static_cast<double>(state.iterations());
    state.counters["s/drawing"] =
        benchmark::Counter(static_cast<double>(drawings) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PlotRun)
    ->ArgsProduct({{kInProcess, kOwnProcess}, {1, 200}})
    ->ArgNames({"engine", "drawings"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// One call that waits for its answer (a system variable of an open drawing), against the
// same call on the engine in this process: what a round trip to the engine costs.
void BM_Call(benchmark::State& state) {
    QTemporaryDir temp;
    cad::ClassRegistry registry;
    Register(registry, static_cast<Engine>(state.range(0)), temp);
    auto app = registry.CreateObject(cad::kCadClassName);
    auto doc = app->Documents()->Open(
        (fs::path(VORMEX_SOURCE_DIR) / "examples/bracket-r12.dxf").string(), true);
    for (auto _ : state) {
        benchmark::DoNotOptimize(doc->GetVariable("SDI"));
    }
    doc.reset();
    app->Quit();
    state.SetLabel(state.range(0) == kInProcess ? "in process" : "vormex-engine");
}
BENCHMARK(BM_Call)->Arg(kInProcess)->Arg(kOwnProcess)->ArgName("engine")->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return vx::bench::RunWithGui(argc, argv);
}
