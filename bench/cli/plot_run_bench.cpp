// vormex-cli plot as a script runs it, over a folder of N copies of a small drawing, to
// PDF: the search, the run, the per-drawing report and the JSON report together.
//   BM_PlotRun/<N>   time per run; drawings/s and s/drawing as counters, which
//                    stay flat as N grows when nothing in the run grows with the run
//   BM_ResumeUnchanged/<N>  the same run again with the journal of a finished run: every
//                    drawing, its output and its journal record looked at and hashed,
//                    nothing plotted; s/drawing (real time) is the cost of a drawing skipped
//   BM_PlotRunMerged/<N>  the same run with --merge: its time beside BM_PlotRun/<N> is
//                    what binding the PDF set adds; "merge/run" is the time the set held
//                    up the run's end (the report's "merged" seconds) over the run's
//                    ("summary" seconds): the sheets are bound at the run's end. The run
//                    has one job (one engine in this process).
//
//   BM_BindSheets/<N>  N sheets of the same run bound into a set, as a run's end does it:
//                    "s/sheet" beside BM_PlotRun's "s/drawing" is the share of a run the set
//                    takes, free of the run's noise
//
//   cli_plot_bench [--benchmark_filter=...]     (QT_QPA_PLATFORM=offscreen is set)
#include <benchmark/benchmark.h>

#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <filesystem>
#include <string>
#include <vector>

#include "../GuiBenchMain.h"
#include "../PlotRunBench.h"
#include "cli/PdfSet.h"
#include "engine/automation/Engine.h"

namespace {

namespace fs = std::filesystem;
using namespace vx;

enum class Mode { Plot, Resume, Merge };

// Runs vormex-cli plot over a folder of N copies of a small drawing. Resume: a first run
// with a journal before the timed ones, which then find nothing to plot. Merge: each run
// also binds its PDF set.
void PlotRuns(benchmark::State& state, Mode mode) {
    const auto drawings = static_cast<int>(state.range(0));
    QTemporaryDir temp;
    const fs::path root(temp.path().toStdString());
    const fs::path folder = root / "drawings";
    bench::CopySmallDrawing(folder, drawings);
    cad::ClassRegistry registry;
    engine::automation::EngineOptions o;
    o.folders = engine::device::EngineFolders{VORMEX_PROGRAM_DIR, root / "user"};
    o.noPrinters = true;
    engine::automation::RegisterEngine(registry, o);
    QStringList args = bench::PlotFolderToPdf(folder);
    args << "--report" << QString::fromStdString((root / "report.json").string());
    const auto run = [&](const QStringList& arguments, QString& errText) {
        return bench::RunPlot(arguments, registry, errText);
    };
    if (mode == Mode::Merge) {
        args << "--merge" << QString::fromStdString((root / "set.pdf").string());
    }
    if (mode == Mode::Resume) {
        args << "--journal" << QString::fromStdString((root / "journal.jsonl").string());
        QString errText;
        if (run(args, errText) != 0) {
            state.SkipWithError(errText.toStdString().c_str());
            return;
        }
    }
    double mergeShare = 0;
    for (auto _ : state) {
        QString errText;
        if (run(args, errText) != 0) {
            state.SkipWithError(errText.toStdString().c_str());
            break;
        }
        if (mode == Mode::Merge) {
            // Reading the report back is no part of the run.
            state.PauseTiming();
            QFile file(QString::fromStdString((root / "report.json").string()));
            file.open(QIODevice::ReadOnly);
            const QJsonObject report = QJsonDocument::fromJson(file.readAll()).object();
            mergeShare +=
                report["merged"]["seconds"].toDouble() / report["summary"]["seconds"].toDouble();
            state.ResumeTiming();
        }
    }
    if (mode == Mode::Merge && state.iterations() > 0) {
        state.counters["merge/run"] = mergeShare / static_cast<double>(state.iterations());
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
    PlotRuns(state, Mode::Plot);
}
BENCHMARK(BM_PlotRun)
    ->Arg(16)
    ->Arg(128)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

void BM_PlotRunMerged(benchmark::State& state) {
    PlotRuns(state, Mode::Merge);
}
BENCHMARK(BM_PlotRunMerged)
    ->Arg(16)
    ->Arg(128)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

void BM_ResumeUnchanged(benchmark::State& state) {
    PlotRuns(state, Mode::Resume);
}
// Real time: the run's waits on the disk (the report's sync) count.
BENCHMARK(BM_ResumeUnchanged)
    ->Arg(16)
    ->Arg(128)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_BindSheets(benchmark::State& state) {
    const auto sheets = static_cast<int>(state.range(0));
    QTemporaryDir temp;
    const fs::path root(temp.path().toStdString());
    bench::CopySmallDrawing(root / "drawing", 1);
    cad::ClassRegistry registry;
    engine::automation::EngineOptions o;
    o.folders = engine::device::EngineFolders{VORMEX_PROGRAM_DIR, root / "user"};
    o.noPrinters = true;
    engine::automation::RegisterEngine(registry, o);
    QString errText;
    if (bench::RunPlot(bench::PlotFolderToPdf(root / "drawing"), registry, errText) != 0) {
        state.SkipWithError(errText.toStdString().c_str());
        return;
    }
    std::vector<cli::SetDrawing> set;
    for (int i = 0; i < sheets; ++i) {
        const fs::path sheet = root / ("s" + std::to_string(i) + ".pdf");
        fs::copy_file(root / "drawing" / "d10000.pdf", sheet);
        set.push_back({QString::fromStdString(sheet.string()),
                       {{"Model", QString::fromStdString(sheet.string())}}});
    }
    const QString target = QString::fromStdString((root / "set.pdf").string());
    for (auto _ : state) {
        const cli::SetResult r = cli::WritePdfSet(set, target);
        if (!r.error.isEmpty() || r.pages != sheets) {
            state.SkipWithError(r.error.toStdString().c_str());
            break;
        }
    }
    state.counters["s/sheet"] =
        benchmark::Counter(static_cast<double>(sheets) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BindSheets)->Arg(1024)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

int main(int argc, char** argv) {
    return vx::bench::RunWithGui(argc, argv);
}
