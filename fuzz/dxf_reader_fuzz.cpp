// libFuzzer target: any bytes through the DXF reader, and the extents of what it read.
// Run through scripts/check-engine-reader, or by hand:
//   build/bin/vormex_fuzz_dxf -max_total_time=60 CORPUS_DIR
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "MeasureLayouts.h"
#include "engine/dxf/DxfReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MeasureLayouts(vx::engine::dxf::ReadDxf(bytes));
    return 0;
}
