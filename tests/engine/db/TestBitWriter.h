// A small writer of DWG bit streams for tests: values go in most significant bit first,
// in the format's codes, so that the reader can be given exactly the bits a case needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vx::test {

class BitWriter {
public:
    BitWriter& Bits(std::uint64_t v, int n) {
        for (int i = n - 1; i >= 0; --i) {
            Bit(((v >> i) & 1) != 0);
        }
        return *this;
    }
    BitWriter& Bit(bool b) {
        if (pos_ % 8 == 0) {
            bytes_.push_back(0);
        }
        if (b) {
            bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (0x80 >> (pos_ % 8)));
        }
        ++pos_;
        return *this;
    }
    BitWriter& RC(std::uint8_t v) { return Bits(v, 8); }
    // Little-endian: RS, RL.
    BitWriter& Le(std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            RC(static_cast<std::uint8_t>(v >> (8 * i)));
        }
        return *this;
    }
    BitWriter& RS(std::uint16_t v) { return Le(v, 2); }
    BitWriter& RL(std::uint32_t v) { return Le(v, 4); }
    // The code bits and value of a BS / BL / BD, chosen by the caller.
    BitWriter& Code(int code) { return Bits(static_cast<std::uint64_t>(code), 2); }
    BitWriter& Handle(int code, std::vector<std::uint8_t> bytes) {
        RC(static_cast<std::uint8_t>((code << 4) | static_cast<int>(bytes.size())));
        for (auto b : bytes) {
            RC(b);
        }
        return *this;
    }
    std::size_t BitCount() const { return pos_; }
    const std::vector<std::uint8_t>& Data() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

}  // namespace vx::test
