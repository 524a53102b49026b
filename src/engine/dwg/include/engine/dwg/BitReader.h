// The bit stream of DWG data: values packed most significant bit first, with the
// format's compressed codes for shorts, longs, doubles, handles and text. Every read is
// checked against the end of the stream; reading past it throws DwgError, so a damaged
// length can never lead outside the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/db/DrawingGeometry.h"

namespace vx::engine::dwg {

// A fault in the data: what went wrong; the caller adds where.
class DwgError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A handle reference: its code (what kind of link) and the handle it names, already
// resolved against the referencing object's own handle for the relative codes.
struct HandleRef {
    std::uint8_t code = 0;
    std::uint64_t value = 0;
};

class BitReader {
public:
    BitReader() = default;
    // `data` of `size` bytes; `version` is the AC number (1012 .. 1032).
    BitReader(const std::uint8_t* data, std::size_t size, int version)
        : data_(data), endBit_(size * 8), version_(version) {}

    int Version() const { return version_; }
    std::size_t Pos() const { return pos_; }
    std::size_t End() const { return endBit_; }
    std::size_t Remaining() const { return endBit_ > pos_ ? endBit_ - pos_ : 0; }
    // Moves to an absolute bit position (checked against the end).
    void Seek(std::size_t bit);
    // Ends the stream earlier (the data part of an object ends where its handles begin).
    void Limit(std::size_t endBit);
    void AlignByte() { pos_ = (pos_ + 7) & ~std::size_t{7}; }
    const std::uint8_t* Data() const { return data_; }

    // --- raw values ---------------------------------------------------------------------
    std::uint32_t Bits(int n);  // up to 32 bits
    bool B() { return Bits(1) != 0; }
    std::uint8_t BB() { return static_cast<std::uint8_t>(Bits(2)); }
    std::uint8_t B3();  // 3B: up to three 1 bits
    std::uint8_t RC() { return static_cast<std::uint8_t>(Bits(8)); }
    std::int16_t RS();
    std::int32_t RL();
    double RD();
    std::uint64_t RLL();
    void Bytes(std::uint8_t* out, std::size_t n);
    void Skip(std::size_t bits);

    // --- compressed values -------------------------------------------------------------
    std::int16_t BS();
    std::int32_t BL();
    std::uint64_t BLL();
    double BD();
    double DD(double def);
    double BT();              // thickness
    db::Vec3 BE();            // extrusion
    db::Vec3 B3D();           // 3BD
    db::Vec3 B2D();           // 2BD
    db::Vec3 R2D();           // 2RD
    db::Vec3 R3D();           // 3RD
    std::uint32_t OT();       // object type
    std::uint64_t MC();       // modular char, unsigned
    std::int64_t MCSigned();  // modular char with its sign bit
    std::uint32_t MS();       // modular short
    // A handle; relative codes are resolved against `owner`.
    HandleRef H(std::uint64_t owner = 0);
    // Text: before R2007 the file's code page bytes; from R2007 UTF-16 converted to
    // UTF-8. Code page text is returned as its raw bytes (converted by the caller).
    std::string T();
    std::string TV() { return T(); }
    std::string TU();  // UTF-16 text, regardless of version

    // --- colours --------------------------------------------------------------------
    struct CmColor {
        std::int16_t index = 256;
        std::uint32_t rgb = 0;  // 0 when none
        bool hasRgb = false;
    };
    // CMC: a colour as in table entries (index, and from R2004 rgb and names).
    CmColor CMC();
    // ENC: an entity's colour (from R2004 with flags); `bookHandle` tells that a colour
    // book handle follows in the handle stream; transparency as stored (0 = by layer).
    CmColor ENC(bool& bookHandle, std::uint32_t& transparency);

private:
    [[noreturn]] void Overrun(std::size_t need) const;
    void Need(std::size_t bits) const {
        if (bits > endBit_ || pos_ > endBit_ - bits) {
            Overrun(bits);
        }
    }

    const std::uint8_t* data_ = nullptr;
    std::size_t pos_ = 0;
    std::size_t endBit_ = 0;
    int version_ = 1015;
};

// UTF-16LE units to UTF-8 (unpaired surrogates become U+FFFD).
std::string Utf16ToUtf8(const std::uint8_t* units, std::size_t count);

}  // namespace vx::engine::dwg
