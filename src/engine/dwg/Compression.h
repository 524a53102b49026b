// The checksums and compressions of DWG files: the 16-bit CRC of R13–R2000 sections, the
// page checksum of R2004 and later, the LZ77 variant of R2004 (also used by R2010 and
// later), the compression of R2007 and its Reed–Solomon interleaving.
//
// Every decoder writes into an output of a size fixed before it starts (the size the
// file announces, itself checked against the input), and throws DwgError on a back
// reference or a length that leaves its buffers: damaged data cannot make it write or
// read out of bounds, nor grow without limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vx::engine::dwg {

// The 16-bit CRC of R13–R2000 sections and the object map.
std::uint16_t Crc16(std::uint16_t seed, const std::uint8_t* data, std::size_t size);

// The checksum of R2004 pages (two running sums modulo 0xFFF1).
std::uint32_t PageChecksum(std::uint32_t seed, const std::uint8_t* data, std::size_t size);

// The byte sequence R2004 files mask their header with (a linear congruential generator
// seeded with 1).
const std::uint8_t* HeaderMask();  // 256 bytes

// R2004 LZ77: decompresses `in` into exactly `outSize` bytes.
std::vector<std::uint8_t> DecompressR2004(const std::uint8_t* in, std::size_t inSize,
                                          std::size_t outSize);

// R2007: decompresses `in` into exactly `outSize` bytes.
std::vector<std::uint8_t> DecompressR2007(const std::uint8_t* in, std::size_t inSize,
                                          std::size_t outSize);

// R2007 pages are stored as Reed–Solomon code words of 255 bytes, interleaved `factor`
// ways; this takes the `k` data bytes of each word back out in order (parity unchecked)
// and returns `outSize` bytes.
std::vector<std::uint8_t> Deinterleave(const std::uint8_t* in, std::size_t inSize,
                                       std::size_t factor, std::size_t k, std::size_t outSize);

}  // namespace vx::engine::dwg
