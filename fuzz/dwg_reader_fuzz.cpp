// libFuzzer target: any bytes through the DWG reader, and the extents of what it read.
// Run through scripts/check-engine-reader, or by hand:
//   build/bin/vormex_fuzz_dwg -max_total_time=60 CORPUS_DIR
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/db/Extents.h"
#include "engine/dwg/DwgReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto result = vx::engine::dwg::ReadDwg(bytes);
    if (result.Ok()) {
        const auto& db = *result.database;
        vx::engine::db::ExtentsOptions options;
        options.exactBudget = 20000;
        for (std::uint32_t i = 0; i < db.layouts.size(); ++i) {
            (void)vx::engine::db::LayoutExtents(db, i, options);
        }
    }
    return 0;
}
