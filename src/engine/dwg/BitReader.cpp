#include "engine/dwg/BitReader.h"

#include <cstring>

#include "engine/dxf/CodePage.h"

namespace vx::engine::dwg {

void BitReader::Overrun(std::size_t need) const {
    throw DwgError("the data ends early (" + std::to_string(need) + " bits needed at bit " +
                   std::to_string(pos_) + " of " + std::to_string(endBit_) + ")");
}

void BitReader::Seek(std::size_t bit) {
    if (bit > endBit_) {
        throw DwgError("a position past the end of the data (bit " + std::to_string(bit) + " of " +
                       std::to_string(endBit_) + ")");
    }
    pos_ = bit;
}

void BitReader::Limit(std::size_t endBit) {
    if (endBit < endBit_) {
        endBit_ = endBit;
    }
}

std::uint32_t BitReader::Bits(int n) {
    Need(static_cast<std::size_t>(n));
    std::uint32_t v = 0;
    // Whole bytes when aligned, bit by bit pieces otherwise.
    while (n > 0) {
        std::size_t byte = pos_ >> 3;
        int bit = static_cast<int>(pos_ & 7);
        int take = 8 - bit < n ? 8 - bit : n;
        std::uint32_t b = data_[byte];
        b = (b >> (8 - bit - take)) & ((1u << take) - 1u);
        v = (v << take) | b;
        pos_ += static_cast<std::size_t>(take);
        n -= take;
    }
    return v;
}

std::uint8_t BitReader::B3() {
    std::uint8_t v = 0;
    for (int i = 0; i < 3; ++i) {
        v = static_cast<std::uint8_t>(v << 1);
        if (!B()) {
            break;
        }
        v |= 1;
    }
    return v;
}

std::int16_t BitReader::RS() {
    std::uint32_t lo = RC();
    std::uint32_t hi = RC();
    return static_cast<std::int16_t>(lo | (hi << 8));
}

std::int32_t BitReader::RL() {
    std::uint32_t lo = static_cast<std::uint16_t>(RS());
    std::uint32_t hi = static_cast<std::uint16_t>(RS());
    return static_cast<std::int32_t>(lo | (hi << 16));
}

std::uint64_t BitReader::RLL() {
    std::uint64_t lo = static_cast<std::uint32_t>(RL());
    std::uint64_t hi = static_cast<std::uint32_t>(RL());
    return lo | (hi << 32);
}

double BitReader::RD() {
    std::uint64_t bits = RLL();
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

void BitReader::Bytes(std::uint8_t* out, std::size_t n) {
    Need(n * 8);
    if ((pos_ & 7) == 0) {
        std::memcpy(out, data_ + (pos_ >> 3), n);
        pos_ += n * 8;
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = RC();
    }
}

void BitReader::Skip(std::size_t bits) {
    Need(bits);
    pos_ += bits;
}

std::int16_t BitReader::BS() {
    switch (BB()) {
        case 0:
            return RS();
        case 1:
            return static_cast<std::int16_t>(RC());
        case 2:
            return 0;
        default:
            return 256;
    }
}

std::int32_t BitReader::BL() {
    switch (BB()) {
        case 0:
            return RL();
        case 1:
            return static_cast<std::int32_t>(RC());
        case 2:
            return 0;
        default:
            throw DwgError("an invalid long code (11)");
    }
}

std::uint64_t BitReader::BLL() {
    std::uint32_t n = Bits(3);
    std::uint64_t v = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        v |= static_cast<std::uint64_t>(RC()) << (8 * i);
    }
    return v;
}

double BitReader::BD() {
    switch (BB()) {
        case 0:
            return RD();
        case 1:
            return 1.0;
        case 2:
            return 0.0;
        default:
            throw DwgError("an invalid double code (11)");
    }
}

double BitReader::DD(double def) {
    switch (BB()) {
        case 0:
            return def;
        case 1: {
            std::uint8_t b[8];
            std::memcpy(b, &def, 8);
            for (int i = 0; i < 4; ++i) {
                b[i] = RC();
            }
            double d;
            std::memcpy(&d, b, 8);
            return d;
        }
        case 2: {
            std::uint8_t b[8];
            std::memcpy(b, &def, 8);
            b[4] = RC();
            b[5] = RC();
            for (int i = 0; i < 4; ++i) {
                b[i] = RC();
            }
            double d;
            std::memcpy(&d, b, 8);
            return d;
        }
        default:
            return RD();
    }
}

double BitReader::BT() {
    if (version_ >= 1015 && B()) {
        return 0.0;
    }
    return BD();
}

db::Vec3 BitReader::BE() {
    if (version_ >= 1015 && B()) {
        return {0, 0, 1};
    }
    return B3D();
}

db::Vec3 BitReader::B3D() {
    db::Vec3 v;
    v.x = BD();
    v.y = BD();
    v.z = BD();
    return v;
}

db::Vec3 BitReader::B2D() {
    db::Vec3 v;
    v.x = BD();
    v.y = BD();
    return v;
}

db::Vec3 BitReader::R2D() {
    db::Vec3 v;
    v.x = RD();
    v.y = RD();
    return v;
}

db::Vec3 BitReader::R3D() {
    db::Vec3 v;
    v.x = RD();
    v.y = RD();
    v.z = RD();
    return v;
}

std::uint32_t BitReader::OT() {
    if (version_ < 1024) {
        return static_cast<std::uint16_t>(BS());
    }
    switch (BB()) {
        case 0:
            return RC();
        case 1:
            return 0x1F0u + RC();
        default:
            return static_cast<std::uint16_t>(RS());
    }
}

std::uint64_t BitReader::MC() {
    std::uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        std::uint8_t b = RC();
        v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
        if ((b & 0x80) == 0) {
            return v;
        }
    }
    throw DwgError("a modular number longer than 64 bits");
}

std::int64_t BitReader::MCSigned() {
    std::uint64_t v = 0;
    for (int shift = 0; shift < 63; shift += 7) {
        std::uint8_t b = RC();
        if ((b & 0x80) == 0) {
            bool negative = (b & 0x40) != 0;
            v |= static_cast<std::uint64_t>(b & 0x3F) << shift;
            auto s = static_cast<std::int64_t>(v);
            return negative ? -s : s;
        }
        v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
    }
    throw DwgError("a modular number longer than 64 bits");
}

std::uint32_t BitReader::MS() {
    std::uint32_t v = 0;
    for (int shift = 0; shift < 32; shift += 15) {
        auto w = static_cast<std::uint16_t>(RS());
        v |= static_cast<std::uint32_t>(w & 0x7FFF) << shift;
        if ((w & 0x8000) == 0) {
            return v;
        }
    }
    throw DwgError("a modular short longer than 32 bits");
}

HandleRef BitReader::H(std::uint64_t owner) {
    HandleRef h;
    std::uint8_t head = RC();
    h.code = head >> 4;
    int counter = head & 0x0F;
    if (counter > 8) {
        throw DwgError("a handle of " + std::to_string(counter) + " bytes");
    }
    std::uint64_t v = 0;
    for (int i = 0; i < counter; ++i) {
        v = (v << 8) | RC();
    }
    switch (h.code) {
        case 0x6:
            h.value = owner + 1;
            break;
        case 0x8:
            h.value = owner - 1;
            break;
        case 0xA:
            h.value = owner + v;
            break;
        case 0xC:
            h.value = owner - v;
            break;
        default:
            h.value = v;
            break;
    }
    return h;
}

std::string BitReader::TU() {
    auto n = static_cast<std::uint16_t>(BS());
    Need(static_cast<std::size_t>(n) * 16);
    std::string units(static_cast<std::size_t>(n) * 2, '\0');
    Bytes(reinterpret_cast<std::uint8_t*>(units.data()), units.size());
    // Text often ends with its terminating zero.
    std::size_t count = n;
    while (count > 0 && units[2 * count - 2] == 0 && units[2 * count - 1] == 0) {
        --count;
    }
    return Utf16ToUtf8(reinterpret_cast<const std::uint8_t*>(units.data()), count);
}

std::string BitReader::T() {
    if (version_ >= 1021) {
        return TU();
    }
    auto n = static_cast<std::uint16_t>(BS());
    Need(static_cast<std::size_t>(n) * 8);
    std::string s(n, '\0');
    Bytes(reinterpret_cast<std::uint8_t*>(s.data()), n);
    while (!s.empty() && s.back() == '\0') {
        s.pop_back();
    }
    return s;
}

BitReader::CmColor BitReader::CMC() {
    CmColor c;
    c.index = BS();
    if (version_ >= 1018) {
        auto rgb = static_cast<std::uint32_t>(BL());
        std::uint8_t names = RC();
        // 0xC2 in the top byte: a true colour; 0xC3: an index; 0xC0 / 0xC1: by layer / block
        std::uint32_t kind = rgb >> 24;
        if (kind == 0xC2) {
            c.rgb = rgb & 0xFFFFFF;
            c.hasRgb = true;
        } else if (kind == 0xC3) {
            c.index = static_cast<std::int16_t>(rgb & 0xFF);
        } else if (kind == 0xC0) {
            c.index = 256;
        } else if (kind == 0xC1) {
            c.index = 0;
        }
        if (names & 1) {
            (void)T();
        }
        if (names & 2) {
            (void)T();
        }
    }
    return c;
}

BitReader::CmColor BitReader::ENC(bool& bookHandle, std::uint32_t& transparency) {
    CmColor c;
    bookHandle = false;
    transparency = 0;
    auto raw = static_cast<std::uint16_t>(BS());
    if (version_ < 1018) {
        c.index = static_cast<std::int16_t>(raw);
        return c;
    }
    std::uint16_t flags = raw & 0xFF00;
    c.index = static_cast<std::int16_t>(raw & 0x1FF);
    if (flags & 0x4000) {
        // a colour book colour: its colour object follows as a handle, and holds the rgb
        bookHandle = true;
    } else if (flags & 0x8000) {
        auto rgb = static_cast<std::uint32_t>(BL());
        c.rgb = rgb & 0xFFFFFF;
        c.hasRgb = true;
    }
    if (flags & 0x2000) {
        transparency = static_cast<std::uint32_t>(BL());
    }
    return c;
}

std::string Utf16ToUtf8(const std::uint8_t* p, std::size_t count) {
    std::string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        char32_t u = static_cast<char32_t>(p[2 * i] | (p[2 * i + 1] << 8));
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
            char32_t lo = static_cast<char32_t>(p[2 * i + 2] | (p[2 * i + 3] << 8));
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
        dxf::AppendUtf8(u, out);
    }
    return out;
}

}  // namespace vx::engine::dwg
