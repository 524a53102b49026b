// A writer of custom objects' pictures for tests: commands in, the stream's bytes out.
#pragma once

#include <bit>
#include <cstdint>
#include <string>

#include "engine/db/ProxyGraphics.h"

namespace vx::test::proxy {

using vx::engine::db::ProxyOp;

inline std::string L(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}
inline std::string D(double v) {
    const auto u = std::bit_cast<std::uint64_t>(v);
    return L(static_cast<std::uint32_t>(u)) + L(static_cast<std::uint32_t>(u >> 32));
}
inline std::string P(double x, double y, double z = 0) {
    return D(x) + D(y) + D(z);
}
inline std::string S(std::string s, std::size_t unit = 1) {  // zero-terminated, padded to 4 bytes
    s.append(unit, '\0');
    s.resize((s.size() + 3) / 4 * 4, '\0');
    return s;
}

class Stream {
public:
    Stream& Op(ProxyOp op, const std::string& payload = {}) {
        body_ += L(static_cast<std::uint32_t>(8 + payload.size())) +
                 L(static_cast<std::uint32_t>(op)) + payload;
        ++count_;
        return *this;
    }
    std::string Data() const {
        return L(static_cast<std::uint32_t>(8 + body_.size())) + L(count_) + body_;
    }

private:
    std::string body_;
    std::uint32_t count_ = 0;
};

// The bytes as the hexadecimal text of DXF group 310.
inline std::string Hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (unsigned char c : bytes) {
        s += kDigits[c >> 4];
        s += kDigits[c & 15];
    }
    return s;
}

}  // namespace vx::test::proxy
