// Reading one drawing: the DWG reader on each version of the same drawing, and the DXF
// reader on its DXF twin, so that the two readers can be compared per drawing.
//   build/bin/engine_dwg_bench [--benchmark_filter=...]
// Bytes per second are of the file as stored. Skips what the test data lack.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/dwg/DwgReader.h"
#include "engine/dxf/DxfReader.h"

namespace {

std::string Load(const std::string& rel) {
    std::ifstream in(std::filesystem::path(VORMEX_TESTDATA_DIR) / rel, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void ReadDwgFile(benchmark::State& state, const char* rel) {
    const std::string bytes = Load(rel);
    if (bytes.empty()) {
        state.SkipWithError("testdata absent");
        return;
    }
    std::size_t entities = 0;
    for (auto _ : state) {
        auto r = vx::engine::dwg::ReadDwg(bytes);
        if (!r.Ok()) {
            state.SkipWithError(r.error.Text().c_str());
            return;
        }
        entities = 0;
        for (const auto& b : r.database->blocks) {
            entities += b.entities.size();
        }
        benchmark::DoNotOptimize(r.database);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["entities"] = static_cast<double>(entities);
}

void ReadDxfFile(benchmark::State& state, const char* rel) {
    const std::string bytes = Load(rel);
    if (bytes.empty()) {
        state.SkipWithError("testdata absent");
        return;
    }
    for (auto _ : state) {
        auto r = vx::engine::dxf::ReadDxf(bytes);
        benchmark::DoNotOptimize(r.database);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

}  // namespace

BENCHMARK_CAPTURE(ReadDwgFile, R14, "dwg/acadsharp/sample_AC1014.dwg")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadDwgFile, R2000, "dwg/acadsharp/sample_AC1015.dwg")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadDwgFile, R2004, "dwg/acadsharp/sample_AC1018.dwg")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadDwgFile, R2007, "dwg/acadsharp/sample_AC1021.dwg")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadDwgFile, R2010, "dwg/acadsharp/sample_AC1024.dwg")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadDwgFile, R2013, "dwg/acadsharp/sample_AC1027.dwg")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadDwgFile, R2018, "dwg/acadsharp/sample_AC1032.dwg")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadDxfFile, R2000Ascii, "dxf/acadsharp/sample_AC1015_ascii.dxf")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadDxfFile, R2018Ascii, "dxf/acadsharp/sample_AC1032_ascii.dxf")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadDxfFile, R2018Binary, "dxf/acadsharp/sample_AC1032_binary.dxf")
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
