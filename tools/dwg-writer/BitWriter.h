// The bit stream of DWG data, written: values packed most significant bit first, in the
// format's compressed codes, for R2000 files (text is code page bytes, colours are plain
// index numbers). The mirror of the engine's BitReader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/db/DrawingGeometry.h"

namespace vx::dwgwriter {

namespace db = vx::engine::db;

// Handle reference codes.
enum HandleCode : std::uint8_t {
    kNoCode = 0,       // the object's own handle, values of handle kind (HANDSEED)
    kSoftOwner = 2,    // an owned entry a container lists
    kHardOwner = 3,    // owned objects that go with their owner
    kSoftPointer = 4,  // owners, links to neighbours
    kHardPointer = 5,  // layers, styles, blocks used
};

class BitWriter {
public:
    std::size_t BitCount() const { return bits_; }
    std::size_t ByteCount() const { return (bits_ + 7) / 8; }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

    // --- raw values ---------------------------------------------------------------
    void Bits(std::uint64_t value, int count);  // the low `count` bits, highest first
    void B(bool v) { Bits(v ? 1 : 0, 1); }
    void BB(unsigned v) { Bits(v & 3u, 2); }
    void RC(std::uint8_t v) { Bits(v, 8); }
    void RS(std::int16_t v);
    void RL(std::int32_t v);
    void RD(double v);
    void RawBytes(const std::uint8_t* data, std::size_t size);
    void RawBytes(std::string_view bytes) {
        RawBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    // Pads with zero bits to the next byte boundary.
    void AlignByte();

    // --- compressed values -----------------------------------------------------------
    void BS(std::int16_t v);
    void BL(std::int32_t v);
    void BD(double v);
    // A double stored against a default: nothing when equal, else the whole value.
    void DD(double v, double def);
    void BT(double thickness);    // thickness: one bit for 0
    void BE(db::Vec3 extrusion);  // extrusion: one bit for (0, 0, 1)
    void B2D(db::Vec3 p) {
        BD(p.x);
        BD(p.y);
    }
    void B3D(db::Vec3 p) {
        BD(p.x);
        BD(p.y);
        BD(p.z);
    }
    void R2D(db::Vec3 p) {
        RD(p.x);
        RD(p.y);
    }
    void R3D(db::Vec3 p) {
        RD(p.x);
        RD(p.y);
        RD(p.z);
    }
    // Text as code page bytes: its length as BS, then the bytes (no terminating zero).
    void T(std::string_view bytes);
    // A colour as table entries and entities of R2000 store it: the index as BS.
    void CMC(std::int16_t index) { BS(index); }
    // A handle reference: code and the handle's significant bytes, highest first.
    void H(std::uint8_t code, std::uint64_t handle);

    // Appends all bits of `other`.
    void Append(const BitWriter& other);
    // Overwrites 32 bits at `bitPos` (already written) with a little-endian long.
    void PatchRL(std::size_t bitPos, std::int32_t v);

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t bits_ = 0;
};

// The format's numbers outside bit streams.
void PutRS(std::vector<std::uint8_t>& out, std::uint16_t v);
void PutRL(std::vector<std::uint8_t>& out, std::uint32_t v);
// Modular char (unsigned) and modular char with a sign bit, as the object map stores them.
void PutMC(std::vector<std::uint8_t>& out, std::uint64_t v);
void PutSignedMC(std::vector<std::uint8_t>& out, std::int64_t v);
// Modular short, as an object's size is stored.
void PutMS(std::vector<std::uint8_t>& out, std::uint32_t v);

}  // namespace vx::dwgwriter
