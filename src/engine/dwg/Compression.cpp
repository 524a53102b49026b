#include "engine/dwg/Compression.h"

#include <array>
#include <cstring>
#include <string>

#include "engine/dwg/BitReader.h"

namespace vx::engine::dwg {

namespace {

constexpr std::array<std::uint16_t, 256> MakeCrc16Table() {
    std::array<std::uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned c = i;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
        }
        t[i] = static_cast<std::uint16_t>(c);
    }
    return t;
}
// Eight tables for eight bytes at a time: table k gives a byte's effect after k more bytes.
constexpr std::array<std::array<std::uint16_t, 256>, 8> MakeCrc16Tables() {
    std::array<std::array<std::uint16_t, 256>, 8> t{};
    t[0] = MakeCrc16Table();
    for (std::size_t k = 1; k < 8; ++k) {
        for (std::size_t i = 0; i < 256; ++i) {
            std::uint16_t prev = t[k - 1][i];
            t[k][i] = static_cast<std::uint16_t>((prev >> 8) ^ t[0][prev & 0xFF]);
        }
    }
    return t;
}
constexpr auto kCrc16 = MakeCrc16Tables();

std::array<std::uint8_t, 256> MakeMask() {
    std::array<std::uint8_t, 256> m{};
    std::uint32_t seed = 1;
    for (auto& b : m) {
        seed = seed * 0x343FDu + 0x269EC3u;
        b = static_cast<std::uint8_t>(seed >> 16);
    }
    return m;
}

// Input and output cursors that refuse to leave their buffers.
class Source {
public:
    Source(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    std::uint8_t Next() {
        if (i_ >= n_) {
            throw DwgError("compressed data ends early (at byte " + std::to_string(i_) + ")");
        }
        return p_[i_++];
    }
    const std::uint8_t* Take(std::size_t n) {
        if (n > n_ - i_) {
            throw DwgError("a literal run of " + std::to_string(n) +
                           " bytes passes the end of the compressed data");
        }
        const std::uint8_t* r = p_ + i_;
        i_ += n;
        return r;
    }
    bool AtEnd() const { return i_ >= n_; }

private:
    const std::uint8_t* p_;
    std::size_t n_;
    std::size_t i_ = 0;
};

class Sink {
public:
    explicit Sink(std::size_t size) : out_(size) {}
    void Room(std::size_t n) const {
        if (n > out_.size() - d_) {
            throw DwgError("decompressed data would exceed its announced size of " +
                           std::to_string(out_.size()) + " bytes");
        }
    }
    void Literal(const std::uint8_t* src, std::size_t n) {
        Room(n);
        std::memcpy(out_.data() + d_, src, n);
        d_ += n;
    }
    std::uint8_t* At(std::size_t n) {
        Room(n);
        std::uint8_t* p = out_.data() + d_;
        d_ += n;
        return p;
    }
    void BackCopy(std::size_t offset, std::size_t n) {
        if (offset == 0 || offset > d_) {
            throw DwgError("a back reference of " + std::to_string(offset) +
                           " bytes at output byte " + std::to_string(d_));
        }
        Room(n);
        std::uint8_t* o = out_.data();
        for (std::size_t k = 0; k < n; ++k, ++d_) {
            o[d_] = o[d_ - offset];
        }
    }
    bool Full() const { return d_ >= out_.size(); }
    std::vector<std::uint8_t> Take() { return std::move(out_); }

private:
    std::vector<std::uint8_t> out_;
    std::size_t d_ = 0;
};

// A count with the format's zero-byte extension: each zero adds 255.
std::size_t ExtendedCount(Source& s, std::size_t base) {
    std::size_t n = 0;
    std::uint8_t b;
    while ((b = s.Next()) == 0) {
        n += 0xFF;
    }
    return n + b + base;
}

std::size_t LiteralLength(Source& s, std::uint8_t op) {
    std::size_t n = op & 0x0F;
    if (n == 0) {
        n = ExtendedCount(s, 0x0F);
    }
    return n + 3;
}

std::size_t MatchLength(Source& s, std::uint8_t op, std::uint8_t mask) {
    std::size_t n = op & mask;
    if (n == 0) {
        n = ExtendedCount(s, mask);
    }
    return n + 2;
}

}  // namespace

std::uint16_t Crc16(std::uint16_t seed, const std::uint8_t* data, std::size_t size) {
    std::uint32_t c = seed;
    const auto& t = kCrc16;
    while (size >= 8) {
        std::uint32_t x = c ^ (data[0] | (static_cast<std::uint32_t>(data[1]) << 8));
        c = t[7][x & 0xFF] ^ t[6][(x >> 8) & 0xFF] ^ t[5][data[2]] ^ t[4][data[3]] ^ t[3][data[4]] ^
            t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
        data += 8;
        size -= 8;
    }
    for (std::size_t i = 0; i < size; ++i) {
        c = (c >> 8) ^ t[0][(c ^ data[i]) & 0xFF];
    }
    return static_cast<std::uint16_t>(c);
}

std::uint32_t PageChecksum(std::uint32_t seed, const std::uint8_t* data, std::size_t size) {
    std::uint32_t s1 = seed & 0xFFFF;
    std::uint32_t s2 = seed >> 16;
    while (size != 0) {
        std::size_t chunk = size < 0x15B0 ? size : 0x15B0;
        size -= chunk;
        for (std::size_t i = 0; i < chunk; ++i) {
            s1 += *data++;
            s2 += s1;
        }
        s1 %= 0xFFF1;
        s2 %= 0xFFF1;
    }
    return (s2 << 16) | (s1 & 0xFFFF);
}

const std::uint8_t* HeaderMask() {
    static const auto mask = MakeMask();
    return mask.data();
}

std::vector<std::uint8_t> DecompressR2004(const std::uint8_t* in, std::size_t inSize,
                                          std::size_t outSize) {
    Source s(in, inSize);
    Sink out(outSize);
    std::uint8_t op = s.Next();
    if ((op & 0xF0) == 0) {
        std::size_t n = LiteralLength(s, op);
        out.Literal(s.Take(n), n);
        op = s.Next();
    }
    while (op != 0x11) {
        std::size_t count = 0;
        std::size_t offset = 0;
        if (op < 0x10 || op >= 0x40) {
            count = static_cast<std::size_t>((op >> 4) > 0 ? (op >> 4) - 1 : 0);
            std::uint8_t op2 = s.Next();
            offset = static_cast<std::size_t>(((op >> 2) & 3) | (op2 << 2)) + 1;
        } else if (op < 0x20) {
            count = MatchLength(s, op, 0x07);
            offset = static_cast<std::size_t>(op & 8) << 11;
            std::uint8_t b1 = s.Next();
            std::uint8_t b2 = s.Next();
            offset |= static_cast<std::size_t>(b1 >> 2) | (static_cast<std::size_t>(b2) << 6);
            offset += 0x4000;
            op = b1;
        } else {
            count = MatchLength(s, op, 0x1F);
            std::uint8_t b1 = s.Next();
            std::uint8_t b2 = s.Next();
            offset = (static_cast<std::size_t>(b1 >> 2) | (static_cast<std::size_t>(b2) << 6)) + 1;
            op = b1;
        }
        out.BackCopy(offset, count);
        std::size_t literal = op & 3;
        if (literal == 0) {
            op = s.Next();
            if ((op & 0xF0) == 0) {
                literal = LiteralLength(s, op);
            }
        }
        if (literal > 0) {
            out.Literal(s.Take(literal), literal);
            op = s.Next();
        }
    }
    return out.Take();
}

namespace {

// The literal runs of R2007 are stored with their bytes in a shuffled order: whole
// 32-byte blocks as eight 4-byte groups in the order 6 7 4 5 2 3 0 1, and a shorter run
// as pieces taken from its end backwards, 2- and 3-byte pieces reversed, 16-byte pieces
// as their two halves swapped. Each row: pieces of (source offset, size) in output order.
struct Piece {
    std::uint8_t src, size;
};
constexpr Piece kTail[32][6] = {
    {},
    {{0, 1}},
    {{0, 2}},
    {{0, 3}},
    {{0, 4}},
    {{4, 1}, {0, 4}},
    {{5, 1}, {1, 4}, {0, 1}},
    {{5, 2}, {1, 4}, {0, 1}},
    {{0, 8}},
    {{8, 1}, {0, 8}},
    {{9, 1}, {1, 8}, {0, 1}},
    {{9, 2}, {1, 8}, {0, 1}},
    {{8, 4}, {0, 8}},
    {{12, 1}, {8, 4}, {0, 8}},
    {{13, 1}, {9, 4}, {1, 8}, {0, 1}},
    {{13, 2}, {9, 4}, {1, 8}, {0, 1}},
    {{0, 16}},
    {{9, 8}, {8, 1}, {0, 8}},
    {{17, 1}, {1, 16}, {0, 1}},
    {{16, 3}, {0, 16}},
    {{16, 4}, {8, 8}, {0, 8}},
    {{20, 1}, {16, 4}, {8, 8}, {0, 8}},
    {{20, 2}, {16, 4}, {8, 8}, {0, 8}},
    {{20, 3}, {16, 4}, {8, 8}, {0, 8}},
    {{16, 8}, {0, 16}},
    {{17, 8}, {16, 1}, {0, 16}},
    {{25, 1}, {17, 8}, {16, 1}, {0, 16}},
    {{25, 2}, {17, 8}, {16, 1}, {0, 16}},
    {{24, 4}, {16, 8}, {8, 8}, {0, 8}},
    {{28, 1}, {24, 4}, {16, 8}, {8, 8}, {0, 8}},
    {{28, 2}, {24, 4}, {16, 8}, {8, 8}, {0, 8}},
    {{30, 1}, {26, 4}, {18, 8}, {10, 8}, {2, 8}, {0, 2}},
};

void PutPiece(const std::uint8_t* src, Piece p, std::uint8_t* dst) {
    switch (p.size) {
        case 2:
        case 3:
            for (int k = 0; k < p.size; ++k) {
                dst[k] = src[p.src + p.size - 1 - k];
            }
            break;
        case 16:
            std::memcpy(dst, src + p.src + 8, 8);
            std::memcpy(dst + 8, src + p.src, 8);
            break;
        default:
            std::memcpy(dst, src + p.src, p.size);
            break;
    }
}

void ShuffledLiteral(const std::uint8_t* src, std::size_t n, std::uint8_t* dst) {
    static constexpr int kGroups[8] = {24, 28, 16, 20, 8, 12, 0, 4};
    while (n >= 32) {
        for (int g = 0; g < 8; ++g) {
            std::memcpy(dst + 4 * g, src + kGroups[g], 4);
        }
        src += 32;
        dst += 32;
        n -= 32;
    }
    std::size_t at = 0;
    for (const Piece& p : kTail[n]) {
        if (p.size == 0) {
            break;
        }
        PutPiece(src, p, dst + at);
        at += p.size;
    }
}

}  // namespace

std::vector<std::uint8_t> DecompressR2007(const std::uint8_t* in, std::size_t inSize,
                                          std::size_t outSize) {
    Source s(in, inSize);
    Sink out(outSize);
    std::size_t length = 0;
    std::size_t offset = 0;
    std::uint32_t op = s.Next();
    if ((op & 0xF0) == 0x20) {
        s.Next();
        s.Next();
        length = s.Next() & 7u;
    }
    auto instructions = [&]() {
        switch (op >> 4) {
            case 0: {
                length = (op & 0x0F) + 0x13;
                offset = s.Next();
                op = s.Next();
                length += (op >> 3) & 0x10;
                offset += ((op & 0x78) << 5) + 1;
                break;
            }
            case 1: {
                length = (op & 0x0F) + 3;
                offset = s.Next();
                op = s.Next();
                offset += ((op & 0xF8) << 5) + 1;
                break;
            }
            case 2: {
                offset = s.Next();
                offset |= static_cast<std::size_t>(s.Next()) << 8;
                length = op & 7;
                if ((op & 8) == 0) {
                    op = s.Next();
                    length += op & 0xF8;
                } else {
                    ++offset;
                    length += static_cast<std::size_t>(s.Next()) << 3;
                    op = s.Next();
                    length += (static_cast<std::size_t>(op & 0xF8) << 8) + 0x100;
                }
                break;
            }
            default: {
                length = op >> 4;
                offset = op & 0x0F;
                op = s.Next();
                offset += ((op & 0xF8) << 1) + 1;
                break;
            }
        }
    };
    while (!s.AtEnd()) {
        if (length == 0) {
            length = op + 8;
            if (length == 0x17) {
                std::size_t n = s.Next();
                length += n;
                if (n == 0xFF) {
                    do {
                        n = s.Next();
                        n |= static_cast<std::size_t>(s.Next()) << 8;
                        length += n;
                    } while (n == 0xFFFF);
                }
            }
        }
        const std::uint8_t* lit = s.Take(length);
        ShuffledLiteral(lit, length, out.At(length));
        if (s.AtEnd()) {
            break;
        }
        length = 0;
        op = s.Next();
        instructions();
        while (true) {
            out.BackCopy(offset, length);
            length = op & 7;
            if (length != 0 || s.AtEnd()) {
                break;
            }
            op = s.Next();
            if ((op >> 4) == 0) {
                break;
            }
            if ((op >> 4) == 0x0F) {
                op &= 0x0F;
            }
            instructions();
        }
    }
    return out.Take();
}

namespace {

struct Gf256 {
    std::array<std::uint8_t, 512> exp{};
    std::array<int, 256> log{};
    Gf256() {
        unsigned x = 1;
        for (int i = 0; i < 255; ++i) {
            exp[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(x);
            log[x] = i;
            x <<= 1;
            if (x & 0x100) {
                x ^= 0x169;
            }
        }
        for (std::size_t i = 255; i < 512; ++i) {
            exp[i] = exp[i - 255];
        }
    }
    std::uint8_t Mul(std::uint8_t a, std::uint8_t b) const {
        return (a == 0 || b == 0) ? 0 : exp[static_cast<std::size_t>(log[a] + log[b])];
    }
    std::uint8_t Div(std::uint8_t a, std::uint8_t b) const {
        return a == 0 ? 0 : exp[static_cast<std::size_t>(log[a] + 255 - log[b])];
    }
    std::uint8_t Pow(int e) const { return exp[static_cast<std::size_t>(((e % 255) + 255) % 255)]; }
    // p[0] + p[1] x + ... at x
    std::uint8_t Eval(const std::uint8_t* p, int n, std::uint8_t x) const {
        std::uint8_t y = 0;
        for (int i = n - 1; i >= 0; --i) {
            y = static_cast<std::uint8_t>(Mul(y, x) ^ p[i]);
        }
        return y;
    }
};

const Gf256& Field() {
    static const Gf256 f;
    return f;
}

}  // namespace

int CorrectReedSolomon(std::uint8_t* word, int parity) {
    const Gf256& f = Field();
    constexpr int n = 255;
    std::uint8_t syn[32] = {};
    bool clean = true;
    for (int j = 0; j < parity; ++j) {
        syn[j] = f.Eval(word, n, f.Pow(j + 1));
        clean = clean && syn[j] == 0;
    }
    if (clean) {
        return 0;
    }
    // Berlekamp–Massey: the error locator Λ(x).
    std::uint8_t lambda[33] = {1};
    std::uint8_t prev[33] = {1};
    int errors = 0;
    int shift = 1;
    std::uint8_t prevDelta = 1;
    for (int r = 0; r < parity; ++r) {
        std::uint8_t delta = syn[r];
        for (int i = 1; i <= errors; ++i) {
            delta ^= f.Mul(lambda[i], syn[r - i]);
        }
        if (delta == 0) {
            ++shift;
            continue;
        }
        std::uint8_t scale = f.Div(delta, prevDelta);
        std::uint8_t saved[33];
        std::memcpy(saved, lambda, sizeof lambda);
        for (int i = 0; i + shift <= parity; ++i) {
            lambda[i + shift] ^= f.Mul(scale, prev[i]);
        }
        if (2 * errors <= r) {
            errors = r + 1 - errors;
            std::memcpy(prev, saved, sizeof saved);
            prevDelta = delta;
            shift = 1;
        } else {
            ++shift;
        }
    }
    if (errors == 0 || 2 * errors > parity) {
        return -1;
    }
    // Chien search: an error at position p makes α^-p a root of Λ.
    int positions[16];
    int found = 0;
    for (int p = 0; p < n && found <= errors; ++p) {
        if (f.Eval(lambda, errors + 1, f.Pow(-p)) == 0) {
            if (found == 16) {
                return -1;
            }
            positions[found++] = p;
        }
    }
    if (found != errors) {
        return -1;
    }
    // Forney: e = Ω(X⁻¹) / Λ'(X⁻¹), with Ω = S Λ mod x^parity (roots from α^1).
    std::uint8_t omega[32] = {};
    for (int i = 0; i < parity; ++i) {
        for (int j = 0; j <= errors && j <= i; ++j) {
            omega[i] ^= f.Mul(syn[i - j], lambda[j]);
        }
    }
    std::uint8_t fixed[255];
    std::memcpy(fixed, word, n);
    for (int k = 0; k < found; ++k) {
        std::uint8_t xinv = f.Pow(-positions[k]);
        std::uint8_t num = f.Eval(omega, parity, xinv);
        std::uint8_t den = 0;
        for (int i = 1; i <= errors; i += 2) {  // the formal derivative keeps odd terms
            den ^= f.Mul(lambda[i], f.Pow(-positions[k] * (i - 1)));
        }
        if (den == 0) {
            return -1;
        }
        fixed[positions[k]] ^= f.Div(num, den);
    }
    for (int j = 0; j < parity; ++j) {
        if (f.Eval(fixed, n, f.Pow(j + 1)) != 0) {
            return -1;
        }
    }
    std::memcpy(word, fixed, n);
    return found;
}

std::vector<std::uint8_t> Deinterleave(const std::uint8_t* in, std::size_t inSize,
                                       std::size_t factor, std::size_t k, std::size_t outSize,
                                       ReedSolomonReport* report) {
    if (factor == 0 || k == 0 || k > 255) {
        throw DwgError("an empty Reed-Solomon block layout");
    }
    if (outSize > factor * k) {
        throw DwgError("Reed-Solomon data larger than its code words");
    }
    std::vector<std::uint8_t> out(outSize);
    std::uint8_t word[255];
    std::size_t idx = 0;
    for (std::size_t i = 0; i < factor && idx < outSize; ++i) {
        bool whole = report != nullptr && i + 254 * factor < inSize;
        if (whole) {
            for (std::size_t j = 0; j < 255; ++j) {
                word[j] = in[i + j * factor];
            }
            int r = CorrectReedSolomon(word, static_cast<int>(255 - k));
            if (r > 0) {
                ++report->corrected;
            } else if (r < 0) {
                ++report->failed;
            }
        }
        for (std::size_t j = 0; j < k && idx < outSize; ++j) {
            std::size_t from = i + j * factor;
            if (from >= inSize) {
                throw DwgError("Reed-Solomon coded data ends early");
            }
            out[idx++] = whole ? word[j] : in[from];
        }
    }
    return out;
}

}  // namespace vx::engine::dwg
