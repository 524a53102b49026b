// Reading drawings: throughput of the DXF reader (MB/s) on the largest testdata files and on
// a large generated ASCII DXF, the heap it needs at its peak as a multiple of the file size,
// and the time ZoomExtents needs on the result.
//
//   build/bin/engine_read_bench                      all
//   build/bin/engine_read_bench --benchmark_filter=Generated
//
// Counters: bytes_per_second (input bytes), peak_heap_ratio (peak heap bytes while the file
// is held and read, the file's own bytes included, divided by the file size), entities.
// The generated file is written once to $TMPDIR (VORMEX_BENCH_DXF overrides the path,
// VORMEX_BENCH_MB its size, default 64).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

#include "engine/db/Extents.h"
#include "engine/dxf/DxfReader.h"
#include "engine/load/DrawingLoader.h"

// --- heap accounting: every operator new of the program ---------------------------------
namespace {
std::atomic<std::size_t> gHeapNow{0};
std::atomic<std::size_t> gHeapPeak{0};

void* Allocate(std::size_t n) {
    void* p = std::malloc(n == 0 ? 1 : n);
    if (!p) {
        throw std::bad_alloc();
    }
    std::size_t now = gHeapNow += malloc_usable_size(p);
    std::size_t peak = gHeapPeak.load();
    while (now > peak && !gHeapPeak.compare_exchange_weak(peak, now)) {
    }
    return p;
}
void Release(void* p) {
    if (p) {
        gHeapNow -= malloc_usable_size(p);
        std::free(p);
    }
}
}  // namespace

void* operator new(std::size_t n) {
    return Allocate(n);
}
void* operator new[](std::size_t n) {
    return Allocate(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return Allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return Allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}

namespace {

namespace fs = std::filesystem;

// A drawing of mixed entities as an R2000 writer puts them: handles, owners, subclass
// markers, coordinates with ten significant digits.
void WriteGenerated(const fs::path& p, std::size_t megabytes) {
    std::FILE* f = std::fopen(p.string().c_str(), "wb");
    if (!f) {
        return;
    }
    std::fputs(
        "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  9\n$DWGCODEPAGE\n  3\n"
        "ANSI_1252\n  9\n$INSUNITS\n 70\n     4\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLAYER\n",
        f);
    for (int i = 0; i < 20; ++i) {
        std::fprintf(f,
                     "  0\nLAYER\n  5\n%X\n100\nAcDbSymbolTableRecord\n100\nAcDbLayerTableRecord\n"
                     "  2\nLayer-%02d\n 70\n     0\n 62\n%6d\n  6\nContinuous\n",
                     0x100 + i, i, i % 255 + 1);
    }
    std::fputs(
        "  0\nENDTAB\n  0\nENDSEC\n  0\nSECTION\n  2\nBLOCKS\n"
        "  0\nBLOCK\n  5\n20\n  8\n0\n  2\nMARK\n 70\n     0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"
        "  0\nLINE\n  5\n21\n  8\n0\n 10\n-1.0\n 20\n0.0\n 30\n0.0\n 11\n1.0\n 21\n0.0\n 31\n0.0\n"
        "  0\nENDBLK\n  5\n22\n  8\n0\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n",
        f);
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> xy(-50000.0, 50000.0);
    std::uniform_real_distribution<double> r(0.5, 500.0);
    unsigned handle = 0x1000;
    const std::size_t target = megabytes << 20;
    long pos = 0;
    for (int i = 0; static_cast<std::size_t>(pos) < target; ++i) {
        const char* common = "330\n1F\n100\nAcDbEntity\n  8\n";
        int layer = i % 20;
        switch (i % 8) {
            case 0:
            case 1:
            case 2:
                std::fprintf(
                    f,
                    "  0\nLINE\n  5\n%X\n%sLayer-%02d\n100\nAcDbLine\n 10\n%.10g\n 20\n%.10g\n"
                    " 30\n0.0\n 11\n%.10g\n 21\n%.10g\n 31\n0.0\n",
                    handle++, common, layer, xy(rng), xy(rng), xy(rng), xy(rng));
                break;
            case 3:
                std::fprintf(f,
                             "  0\nCIRCLE\n  5\n%X\n%sLayer-%02d\n100\nAcDbCircle\n 10\n%.10g\n"
                             " 20\n%.10g\n 30\n0.0\n 40\n%.10g\n",
                             handle++, common, layer, xy(rng), xy(rng), r(rng));
                break;
            case 4:
                std::fprintf(
                    f,
                    "  0\nARC\n  5\n%X\n%sLayer-%02d\n100\nAcDbCircle\n 10\n%.10g\n"
                    " 20\n%.10g\n 30\n0.0\n 40\n%.10g\n100\nAcDbArc\n 50\n%.10g\n 51\n%.10g\n",
                    handle++, common, layer, xy(rng), xy(rng), r(rng), r(rng) * 0.7, r(rng) * 0.7);
                break;
            case 5: {
                std::fprintf(
                    f,
                    "  0\nLWPOLYLINE\n  5\n%X\n%sLayer-%02d\n100\nAcDbPolyline\n 90\n        5\n"
                    " 70\n     1\n 43\n0.0\n",
                    handle++, common, layer);
                double x = xy(rng), y = xy(rng);
                for (int k = 0; k < 5; ++k) {
                    std::fprintf(f, " 10\n%.10g\n 20\n%.10g\n", x + k * 10.25, y + (k % 2) * 7.5);
                }
                break;
            }
            case 6:
                std::fprintf(
                    f,
                    "  0\nTEXT\n  5\n%X\n%sLayer-%02d\n100\nAcDbText\n 10\n%.10g\n 20\n%.10g\n"
                    " 30\n0.0\n 40\n2.5\n  1\nRoom %d, level %d\n100\nAcDbText\n",
                    handle++, common, layer, xy(rng), xy(rng), i, i % 7);
                break;
            default:
                std::fprintf(
                    f,
                    "  0\nINSERT\n  5\n%X\n%sLayer-%02d\n100\nAcDbBlockReference\n  2\nMARK\n"
                    " 10\n%.10g\n 20\n%.10g\n 30\n0.0\n 50\n%.10g\n",
                    handle++, common, layer, xy(rng), xy(rng), r(rng) * 0.7);
                break;
        }
        pos = std::ftell(f);
    }
    std::fputs("  0\nENDSEC\n  0\nEOF\n", f);
    std::fclose(f);
}

fs::path GeneratedPath() {
    if (const char* p = std::getenv("VORMEX_BENCH_DXF")) {
        return p;
    }
    std::size_t mb = 64;
    if (const char* m = std::getenv("VORMEX_BENCH_MB")) {
        mb = static_cast<std::size_t>(std::atoi(m));
    }
    fs::path p = fs::temp_directory_path() / ("vormex-bench-" + std::to_string(mb) + "mb.dxf");
    if (!fs::exists(p)) {
        WriteGenerated(p, mb);
    }
    return p;
}

// One read of the file from disk through the loader: the bytes read into memory, parsed,
// and released, as opening a drawing does.
void ReadOnce(benchmark::State& state, const fs::path& path) {
    if (!fs::exists(path)) {
        state.SkipWithError(("missing " + path.string()).c_str());
        return;
    }
    const auto size = fs::file_size(path);
    std::size_t entities = 0;
    double ratio = 0;
    for (auto _ : state) {
        gHeapPeak = gHeapNow.load();
        const std::size_t base = gHeapNow.load();
        auto result = vx::engine::load::ReadDrawingFile(path);
        if (!result.Ok()) {
            state.SkipWithError(result.error.Text().c_str());
            return;
        }
        ratio = static_cast<double>(gHeapPeak.load() - base) / static_cast<double>(size);
        entities = 0;
        for (const auto& b : result.database->blocks) {
            entities += b.entities.size();
        }
        benchmark::DoNotOptimize(result.database.get());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.counters["file_MB"] = static_cast<double>(size) / 1e6;
    state.counters["peak_heap_ratio"] = ratio;
    state.counters["entities"] = static_cast<double>(entities);
}

void BM_ReadGenerated(benchmark::State& state) {
    ReadOnce(state, GeneratedPath());
}
BENCHMARK(BM_ReadGenerated)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// The resident memory a process needs to open the generated drawing: the growth of the peak
// resident set (getrusage maxrss) of a fresh process of this program that only reads it
// (--peak-rss FILE), as a multiple of the file size.
void BM_PeakRssGenerated(benchmark::State& state) {
    auto path = GeneratedPath();
    const double size = static_cast<double>(fs::file_size(path));
    double ratio = 0;
    for (auto _ : state) {
        std::string cmd =
            "/proc/" + std::to_string(getpid()) + "/exe --peak-rss '" + path.string() + "'";
        std::FILE* p = popen(cmd.c_str(), "r");
        long grown = -1;
        if (!p || std::fscanf(p, "%ld", &grown) != 1 || pclose(p) != 0 || grown < 0) {
            state.SkipWithError("the measuring process failed");
            return;
        }
        ratio = static_cast<double>(grown) / size;
    }
    state.counters["peak_rss_ratio"] = ratio;
    state.counters["file_MB"] = size / 1e6;
}
BENCHMARK(BM_PeakRssGenerated)->Unit(benchmark::kMillisecond)->Iterations(1);

fs::path Testdata(const char* rel) {
    return fs::path(VORMEX_TESTDATA_DIR) / rel;
}

void BM_ReadTestdata(benchmark::State& state, const char* rel) {
    ReadOnce(state, Testdata(rel));
}
BENCHMARK_CAPTURE(BM_ReadTestdata, sample_AC1015_ascii, "dxf/acadsharp/sample_AC1015_ascii.dxf")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadTestdata, sample_AC1032_ascii, "dxf/acadsharp/sample_AC1032_ascii.dxf")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadTestdata, example_2000_ascii, "dxf/libredwg/example_2000.dxf")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadTestdata, example_r13_ascii, "dxf/libredwg/example_r13.dxf")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadTestdata, sample_AC1015_binary, "dxf/acadsharp/sample_AC1015_binary.dxf")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadTestdata, example_2000_binary, "dxf/libredwg/example_2000.dxfb")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// ZoomExtents on the large drawing: the model space's extents from its entities.
void BM_ExtentsGenerated(benchmark::State& state) {
    auto path = GeneratedPath();
    auto result = vx::engine::load::ReadDrawingFile(path);
    if (!result.Ok()) {
        state.SkipWithError(result.error.Text().c_str());
        return;
    }
    for (auto _ : state) {
        auto box = vx::engine::db::ModelExtents(*result.database);
        benchmark::DoNotOptimize(box);
    }
    state.counters["entities"] =
        static_cast<double>(result.database->ModelSpace()->entities.size());
}
BENCHMARK(BM_ExtentsGenerated)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--peak-rss") {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        auto r = vx::engine::load::ReadDrawingFile(argv[2]);
        getrusage(RUSAGE_SELF, &after);
        if (!r.Ok()) {
            return 1;
        }
        std::printf("%ld\n", (after.ru_maxrss - before.ru_maxrss) * 1024);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
