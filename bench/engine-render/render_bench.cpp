// The renderer's speed: the frontend alone on loaded drawings (a sink that only counts),
// one drawing read, rendered and written as a PDF page, and a batch of 200 small drawings
// to PDF on one and on two threads (each thread with its own fonts, as a batch plot runs).
//
//   build/bin/engine_render_bench                             all
//   build/bin/engine_render_bench --benchmark_filter=Batch    the batch only
//
// Counters: primitives (per drawing), drawings_per_second (batch), peak_rss_mb (the
// process's peak resident memory so far). The drawings are the examples and the shared
// test data (VORMEX_TESTDATA_DIR); missing files are skipped.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QTemporaryDir>
#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include <sys/resource.h>

#include "PlotJob.h"
#include "engine/db/Extents.h"
#include "engine/load/DrawingLoader.h"
#include "engine/page/PagePlacement.h"

namespace fs = std::filesystem;
using namespace vx::engine;

namespace {

const fs::path kTestData = VORMEX_TESTDATA_DIR;
const fs::path kExamples = fs::path(VORMEX_SOURCE_DIR) / "examples";

double PeakRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// Counts primitives and nothing else: the renderer's own cost.
class CountingSink : public output::PageSink {
public:
    CountingSink() : PageSink({420, 297}) {}
    std::int64_t n = 0;

protected:
    void DrawPolyline(const output::Polyline&) override { ++n; }
    void DrawArea(const output::FilledArea&) override { ++n; }
    void DrawImage(const output::Image&) override { ++n; }
    void DrawGlyphs(const output::GlyphRun&) override { ++n; }
    void BeginClip(const output::Polygon&) override {}
    void EndClip() override {}
    void Commit() override {}
    void Discard() override {}
    std::int64_t BytesWritten() const override { return 0; }
};

struct Named {
    const char* name;
    fs::path path;
};

std::vector<Named> Drawings() {
    return {
        {"floor-plan", kExamples / "floor-plan.dxf"},
        {"flange", kExamples / "flange.dxf"},
        {"text-styles", kExamples / "text-styles.dxf"},
        {"hatches_1", kTestData / "dxf/ezdxf/hatches_1.dxf"},
        {"text", kTestData / "dxf/ezdxf/text.dxf"},
        {"sample_AC1015", kTestData / "dxf/acadsharp/sample_AC1015_ascii.dxf"},
        {"example_2000", kTestData / "dxf/libredwg/example_2000.dxf"},
        {"2000_TS1", kTestData / "dxf/libredwg/2000_TS1.dxf"},
    };
}

// Small drawings for the batch: the examples and the test data under 300 KB that have
// something in model space, repeated to 200.
std::vector<fs::path> SmallDrawings(std::size_t count) {
    std::vector<fs::path> pool;
    for (const fs::path& root : {kExamples, kTestData / "dxf/ezdxf"}) {
        if (!fs::exists(root)) {
            continue;
        }
        for (const auto& e : fs::directory_iterator(root)) {
            if (e.path().extension() != ".dxf" || e.file_size() > 300'000) {
                continue;
            }
            const auto loaded = load::LoadDrawing(e.path());
            if (loaded.Ok() && !db::ModelExtents(*loaded.database).Empty()) {
                pool.push_back(e.path());
            }
        }
    }
    std::sort(pool.begin(), pool.end());
    std::vector<fs::path> out;
    for (std::size_t i = 0; !pool.empty() && out.size() < count; ++i) {
        out.push_back(pool[i % pool.size()]);
    }
    return out;
}

void BM_RenderOnly(benchmark::State& state, fs::path file) {
    if (!fs::exists(file)) {
        state.SkipWithError("drawing not available");
        return;
    }
    const auto loaded = load::LoadDrawing(file);
    if (!loaded.Ok()) {
        state.SkipWithError("drawing not readable");
        return;
    }
    const db::Database& d = *loaded.database;
    const db::Box3 box = db::ModelExtents(d);
    page::PlacementRequest r;
    r.plotArea = {box.min.x, box.min.y, box.max.x, box.max.y};
    r.media = *page::ParseMediaName("A3");
    const auto placed = page::PlacePage(r);
    fonts::FontResolver fonts;
    render::RenderOptions o;
    o.fonts = &fonts;
    std::int64_t primitives = 0;
    for (auto _ : state) {
        CountingSink sink;
        render::RenderLayout(d, 0, placed.drawingToPaper, o, sink);
        primitives = sink.n;
    }
    state.counters["primitives"] = static_cast<double>(primitives);
    state.counters["peak_rss_mb"] = PeakRssMb();
}

void BM_PlotToPdf(benchmark::State& state, fs::path file) {
    if (!fs::exists(file)) {
        state.SkipWithError("drawing not available");
        return;
    }
    QTemporaryDir dir;
    fonts::FontResolver fonts;
    vx::bench::PlotJob job;
    job.drawing = file;
    job.output = dir.filePath("plot.pdf");
    for (auto _ : state) {
        const auto r = vx::bench::Plot(job, fonts);
        if (!r.ok) {
            state.SkipWithError(r.error.c_str());
            return;
        }
    }
    state.counters["peak_rss_mb"] = PeakRssMb();
}

void BM_Batch200Pdf(benchmark::State& state) {
    const auto files = SmallDrawings(200);
    if (files.empty()) {
        state.SkipWithError("no drawings");
        return;
    }
    const int threads = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    for (auto _ : state) {
        std::atomic<std::size_t> next{0};
        std::atomic<int> failed{0};
        const auto worker = [&] {
            fonts::FontResolver fonts;
            for (std::size_t i; (i = next++) < files.size();) {
                vx::bench::PlotJob job;
                job.drawing = files[i];
                job.output = dir.filePath(QString("%1.pdf").arg(i));
                if (!vx::bench::Plot(job, fonts).ok) {
                    ++failed;
                }
            }
        };
        std::vector<std::thread> pool;
        for (int t = 1; t < threads; ++t) {
            pool.emplace_back(worker);
        }
        worker();
        for (auto& t : pool) {
            t.join();
        }
        if (failed > 0) {
            state.SkipWithError("a drawing failed to plot");
            return;
        }
    }
    state.counters["drawings_per_second"] = benchmark::Counter(
        static_cast<double>(files.size()) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
    state.counters["peak_rss_mb"] = PeakRssMb();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    for (const Named& d : Drawings()) {
        benchmark::RegisterBenchmark((std::string("BM_RenderOnly/") + d.name).c_str(),
                                     BM_RenderOnly, d.path)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("BM_PlotToPdf/") + d.name).c_str(), BM_PlotToPdf,
                                     d.path)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("BM_Batch200Pdf", BM_Batch200Pdf)
        ->Arg(1)
        ->Arg(2)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
