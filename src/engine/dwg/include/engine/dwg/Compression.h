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

// R2007 pages are stored as Reed–Solomon code words of 255 bytes (k data bytes, then
// 255 - k check bytes), interleaved `factor` ways. This takes the words apart and returns
// the first `outSize` data bytes in order. With a `report`, each word that is whole in the
// input is corrected first (up to (255 - k) / 2 damaged bytes a word) and counted.
struct ReedSolomonReport {
    std::size_t corrected = 0;  // words that had damaged bytes, now mended
    std::size_t failed = 0;     // words damaged beyond mending (their bytes as stored)
};
std::vector<std::uint8_t> Deinterleave(const std::uint8_t* in, std::size_t inSize,
                                       std::size_t factor, std::size_t k, std::size_t outSize,
                                       ReedSolomonReport* report = nullptr);

// Corrects one Reed–Solomon code word of 255 bytes in place (over GF(256) of
// x^8 + x^6 + x^5 + x^4 + 1, roots α^1 .. α^parity, the data in the low-order
// coefficients). Returns the number of bytes mended, 0 for a clean word, -1 when the
// damage is beyond mending (the word is then left as it was).
int CorrectReedSolomon(std::uint8_t* word, int parity);

}  // namespace vx::engine::dwg
