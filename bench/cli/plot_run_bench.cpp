// vormex-cli plot as a script runs it, over a folder of N copies of a small drawing, to
// PDF: the search, the run, the per-drawing report and the JSON report together.
//   BM_PlotRun/<N>   time per run; drawings/s and s/drawing as counters, which
//                    stay flat as N grows when nothing in the run grows with the run
//   BM_ResumeUnchanged/<N>  the same run again with the journal of a finished run: every
//                    drawing, its output and its journal record looked at and hashed,
//                    nothing plotted; s/drawing (real time) is the cost of a drawing skipped
//
//   cli_plot_bench [--benchmark_filter=...]     (QT_QPA_PLATFORM=offscreen is set)
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>
#include <filesystem>

#include "../GuiBenchMain.h"
#include "PlotCommand.h"
#include "cad/ClassRegistry.h"
#include "engine/automation/Engine.h"

namespace {

namespace fs = std::filesystem;
using namespace vx;

// Runs vormex-cli plot over a folder of N copies of a small drawing; with `resume`, a first
// run with a journal before the timed ones, which then find nothing to plot.
void PlotRuns(benchmark::State& state, bool resume) {
    const auto drawings = static_cast<int>(state.range(0));
    QTemporaryDir temp;
    const fs::path root(temp.path().toStdString());
    const fs::path folder = root / "drawings";
    fs::create_directories(folder);
    for (int i = 0; i < drawings; ++i) {
        fs::copy_file(fs::path(VORMEX_SOURCE_DIR) / "examples/bracket-r12.dxf",
                      folder / ("d" + std::to_string(10000 + i) + ".dxf"));
    }
    cad::ClassRegistry registry;
    engine::automation::EngineOptions o;
    o.folders = engine::device::EngineFolders{VORMEX_PROGRAM_DIR, root / "user"};
    o.noPrinters = true;
    engine::automation::RegisterEngine(registry, o);
    QStringList args{QString::fromStdString(folder.string()),
                     "--pattern",
                     "*.dxf",
                     "--device",
                     "PDF.pc3",
                     "--paper",
                     "A4",
                     "--style",
                     "monochrome.ctb",
                     "--report",
                     QString::fromStdString((root / "report.json").string())};
    const auto run = [&](const QStringList& arguments, QString& errText) {
        QByteArray outBytes;
        QBuffer outBuffer(&outBytes);
        outBuffer.open(QIODevice::WriteOnly);
        QTextStream out(&outBuffer);
        QTextStream err(&errText);
        cli::CommandIo io{out, err, false, false};
        return cli::RunPlot(arguments, io, registry);
    };
    if (resume) {
        args << "--journal" << QString::fromStdString((root / "journal.jsonl").string());
        QString errText;
        if (run(args, errText) != 0) {
            state.SkipWithError(errText.toStdString().c_str());
            return;
        }
    }
    for (auto _ : state) {
        QString errText;
        if (run(args, errText) != 0) {
            state.SkipWithError(errText.toStdString().c_str());
            break;
        }
    }
    state.counters["drawings/s"] =
        benchmark::Counter(static_cast<double>(drawings) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    // Seconds per drawing (shown with an SI prefix: 3.1m is 3.1 ms).
    state.counters["s/drawing"] =
        benchmark::Counter(static_cast<double>(drawings) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_PlotRun(benchmark::State& state) {
    PlotRuns(state, false);
}
BENCHMARK(BM_PlotRun)->Arg(16)->Arg(128)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_ResumeUnchanged(benchmark::State& state) {
    PlotRuns(state, true);
}
// Real time: the run's waits on the disk (the report's sync) count.
BENCHMARK(BM_ResumeUnchanged)
    ->Arg(16)
    ->Arg(128)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return vx::bench::RunWithGui(argc, argv);
}
