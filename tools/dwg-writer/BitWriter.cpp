#include "BitWriter.h"

#include <cstring>
#include <limits>

namespace vx::dwgwriter {

void BitWriter::Bits(std::uint64_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        if (bits_ % 8 == 0) {
            bytes_.push_back(0);
        }
        if ((value >> i) & 1u) {
            bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (0x80u >> (bits_ % 8)));
        }
        ++bits_;
    }
}

void BitWriter::RS(std::int16_t v) {
    auto u = static_cast<std::uint16_t>(v);
    RC(static_cast<std::uint8_t>(u & 0xFF));
    RC(static_cast<std::uint8_t>(u >> 8));
}

void BitWriter::RL(std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) {
        RC(static_cast<std::uint8_t>(u >> (8 * i)));
    }
}

void BitWriter::RD(double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, 8);
    for (int i = 0; i < 8; ++i) {
        RC(static_cast<std::uint8_t>(u >> (8 * i)));
    }
}

void BitWriter::RawBytes(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        RC(data[i]);
    }
}

void BitWriter::AlignByte() {
    bits_ = bytes_.size() * 8;
}

void BitWriter::BS(std::int16_t v) {
    if (v == 0) {
        BB(2);
    } else if (v == 256) {
        BB(3);
    } else if (v > 0 && v < 256) {
        BB(1);
        RC(static_cast<std::uint8_t>(v));
    } else {
        BB(0);
        RS(v);
    }
}

void BitWriter::BL(std::int32_t v) {
    if (v == 0) {
        BB(2);
    } else if (v > 0 && v < 256) {
        BB(1);
        RC(static_cast<std::uint8_t>(v));
    } else {
        BB(0);
        RL(v);
    }
}

void BitWriter::BD(double v) {
    // (the exact bit patterns of 1.0 and +0.0: -0.0 keeps its sign as a full double)
    std::uint64_t u;
    std::memcpy(&u, &v, 8);
    if (u == 0x3FF0000000000000ull) {
        BB(1);
    } else if (u == 0) {
        BB(2);
    } else {
        BB(0);
        RD(v);
    }
}

void BitWriter::DD(double v, double def) {
    std::uint64_t a, b;
    std::memcpy(&a, &v, 8);
    std::memcpy(&b, &def, 8);
    if (a == b) {
        BB(0);
    } else {
        BB(3);
        RD(v);
    }
}

void BitWriter::BT(double thickness) {
    if (thickness == 0.0) {
        B(true);
    } else {
        B(false);
        BD(thickness);
    }
}

void BitWriter::BE(db::Vec3 e) {
    if (e.x == 0.0 && e.y == 0.0 && e.z == 1.0) {
        B(true);
    } else {
        B(false);
        B3D(e);
    }
}

void BitWriter::T(std::string_view bytes) {
    std::size_t n = bytes.size();
    if (n > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
        n = static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max());
    }
    BS(static_cast<std::int16_t>(n));
    RawBytes(bytes.substr(0, n));
}

void BitWriter::H(std::uint8_t code, std::uint64_t handle) {
    int count = 0;
    for (std::uint64_t h = handle; h != 0; h >>= 8) {
        ++count;
    }
    RC(static_cast<std::uint8_t>((code << 4) | count));
    for (int i = count - 1; i >= 0; --i) {
        RC(static_cast<std::uint8_t>(handle >> (8 * i)));
    }
}

void BitWriter::Append(const BitWriter& other) {
    std::size_t whole = other.bits_ / 8;
    if (bits_ % 8 == 0) {
        bytes_.insert(bytes_.end(), other.bytes_.begin(),
                      other.bytes_.begin() + static_cast<std::ptrdiff_t>(whole));
        bits_ += whole * 8;
    } else {
        for (std::size_t i = 0; i < whole; ++i) {
            RC(other.bytes_[i]);
        }
    }
    int rest = static_cast<int>(other.bits_ % 8);
    if (rest > 0) {
        Bits(static_cast<std::uint64_t>(other.bytes_[whole] >> (8 - rest)), rest);
    }
}

void BitWriter::PatchRL(std::size_t bitPos, std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    std::uint32_t bytes[4] = {u & 0xFF, (u >> 8) & 0xFF, (u >> 16) & 0xFF, u >> 24};
    std::size_t at = bitPos;
    for (std::uint32_t byte : bytes) {
        for (int i = 7; i >= 0; --i, ++at) {
            auto mask = static_cast<std::uint8_t>(0x80u >> (at % 8));
            if ((byte >> i) & 1u) {
                bytes_[at / 8] = static_cast<std::uint8_t>(bytes_[at / 8] | mask);
            } else {
                bytes_[at / 8] = static_cast<std::uint8_t>(bytes_[at / 8] & ~mask);
            }
        }
    }
}

void PutRS(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutRL(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

void PutMC(std::vector<std::uint8_t>& out, std::uint64_t v) {
    do {
        auto b = static_cast<std::uint8_t>(v & 0x7F);
        v >>= 7;
        if (v != 0) {
            b |= 0x80;
        }
        out.push_back(b);
    } while (v != 0);
}

void PutSignedMC(std::vector<std::uint8_t>& out, std::int64_t v) {
    bool negative = v < 0;
    std::uint64_t m = negative ? static_cast<std::uint64_t>(-v) : static_cast<std::uint64_t>(v);
    // Seven bits a byte; the last byte keeps six bits and the sign.
    while (m >= 0x40) {
        out.push_back(static_cast<std::uint8_t>((m & 0x7F) | 0x80));
        m >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(m | (negative ? 0x40 : 0)));
}

void PutMS(std::vector<std::uint8_t>& out, std::uint32_t v) {
    do {
        auto w = static_cast<std::uint16_t>(v & 0x7FFF);
        v >>= 15;
        if (v != 0) {
            w |= 0x8000;
        }
        PutRS(out, w);
    } while (v != 0);
}

}  // namespace vx::dwgwriter
