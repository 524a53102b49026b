// libFuzzer target: any bytes as the picture of a custom object. The first byte picks the
// format version the compressed polylines are read in.
//   build/bin/vormex_fuzz_proxy -max_total_time=60 CORPUS_DIR
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/db/ProxyGraphics.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vx::engine::db;
    static const Database db = [] {
        Database d;
        d.layers = {Layer{.name = "0"}, Layer{.name = "A"}};
        d.linetypes = {Linetype{.name = "ByBlock"}, Linetype{.name = "ByLayer"}};
        d.textStyles = {TextStyle{.name = "Standard", .fontFile = "txt"}};
        return d;
    }();
    if (size == 0) {
        return 0;
    }
    ProxyGraphicsOptions o;
    o.version = data[0] < 128 ? 1014 : 1024;
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    (void)DecodeProxyGraphics(bytes, db, o);
    return 0;
}
