// libFuzzer target: any bytes through the DWG reader, and the extents of what it read.
// Run through scripts/check-engine-reader, or by hand:
//   build/bin/vormex_fuzz_dwg -max_total_time=60 CORPUS_DIR
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "MeasureLayouts.h"
#include "engine/dwg/DwgReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MeasureLayouts(vx::engine::dwg::ReadDwg(bytes));
    return 0;
}
