// The group-code/value pairs ("tags") of a DXF file, from ASCII or binary DXF. Internal
// to the reader.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vx::engine::dxf {

// A fault in the file, with where it happened.
class DxfError : public std::runtime_error {
public:
    DxfError(std::string where, const std::string& what)
        : std::runtime_error(what), where_(std::move(where)) {}
    const std::string& Where() const { return where_; }

private:
    std::string where_;
};

enum class ValueKind : std::uint8_t { Text, Double, Int, Bool, Binary };

// The value type of a group code.
inline ValueKind KindOf(int code) {
    if ((code >= 10 && code <= 59) || (code >= 110 && code <= 149) ||
        (code >= 210 && code <= 239) || (code >= 460 && code <= 469) ||
        (code >= 1010 && code <= 1059)) {
        return ValueKind::Double;
    }
    if ((code >= 60 && code <= 79) || (code >= 90 && code <= 99) || (code >= 160 && code <= 179) ||
        (code >= 270 && code <= 289) || (code >= 370 && code <= 389) ||
        (code >= 400 && code <= 409) || (code >= 420 && code <= 429) ||
        (code >= 440 && code <= 459) || (code >= 1060 && code <= 1071)) {
        return ValueKind::Int;
    }
    if (code >= 290 && code <= 299) {
        return ValueKind::Bool;
    }
    if ((code >= 310 && code <= 319) || code == 1004) {
        return ValueKind::Binary;
    }
    return ValueKind::Text;
}

// Kept small: the reader holds all tags of one entity at a time.
struct Tag {
    std::int16_t code = 0;
    bool binary = false;    // value decoded from binary DXF (number fields valid)
    std::uint32_t pos = 0;  // ASCII: line number of the code line; binary: byte offset
    std::string_view text;  // ASCII: the value line; binary: string / chunk bytes
    union {
        double number = 0;     // binary doubles
        std::int64_t integer;  // binary integers and booleans
    };
};

class TagSource {
public:
    TagSource(std::string_view data, bool binary) : data_(data), binary_(binary) {
        if (binary_) {
            pos_ = 22;
            // R12 binary files use one-byte group codes: then the first code (0) is
            // directly followed by "SECTION"; with two-byte codes a zero byte follows.
            oneByteCodes_ = data_.size() > 23 && data_[22] == 0 && data_[23] != 0;
        } else if (data_.substr(0, 3) == "\xEF\xBB\xBF") {
            pos_ = 3;
        }
    }

    bool Binary() const { return binary_; }
    bool AtEnd() const { return !peeked_ && pos_ >= data_.size(); }

    // Next tag; false at the end of the data.
    bool Next(Tag& t) {
        if (peeked_) {
            t = peek_;
            peeked_ = false;
            return true;
        }
        if (pos_ >= data_.size()) {
            return false;
        }
        return binary_ ? NextBinary(t) : NextAscii(t);
    }
    // Puts one tag back.
    void Unread(const Tag& t) {
        peek_ = t;
        peeked_ = true;
    }

    // "line 12" / "offset 1234".
    std::string Where(const Tag& t) const { return Where(t.pos, t.code, true); }
    std::string Where(std::size_t pos, int code, bool withCode) const {
        std::string s = binary_ ? "offset " + std::to_string(pos) : "line " + std::to_string(pos);
        if (withCode) {
            s += ", group code " + std::to_string(code);
        }
        return s;
    }
    std::string HereText() const {
        return binary_ ? "offset " + std::to_string(pos_) : "line " + std::to_string(line_ + 1);
    }

    // Skips to just after the next "0 / ENDSEC" (used after damage in an optional
    // section). Returns false when there is none.
    bool SkipToEndSection() {
        peeked_ = false;
        if (binary_) {
            std::string_view pat = oneByteCodes_ ? std::string_view("\0ENDSEC\0", 8)
                                                 : std::string_view("\0\0ENDSEC\0", 9);
            auto at = data_.find(pat, pos_);
            if (at == std::string_view::npos) {
                pos_ = data_.size();
                return false;
            }
            pos_ = at + pat.size();
            return true;
        }
        while (pos_ < data_.size()) {
            std::string_view l = Trim(ReadLine());
            if (l == "0" && pos_ < data_.size()) {
                std::size_t save = pos_, saveLine = line_;
                if (Trim(ReadLine()) == "ENDSEC") {
                    return true;
                }
                pos_ = save, line_ = saveLine;
            }
        }
        return false;
    }

    static std::string_view Trim(std::string_view s) {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
            s.remove_prefix(1);
        }
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
            s.remove_suffix(1);
        }
        return s;
    }

private:
    std::string_view ReadLine() {
        std::size_t end = data_.find('\n', pos_);
        std::string_view l;
        if (end == std::string_view::npos) {
            l = data_.substr(pos_);
            pos_ = data_.size();
        } else {
            l = data_.substr(pos_, end - pos_);
            pos_ = end + 1;
        }
        ++line_;
        if (!l.empty() && l.back() == '\r') {
            l.remove_suffix(1);
        }
        return l;
    }

    bool NextAscii(Tag& t) {
        std::string_view codeLine = ReadLine();
        t.pos = static_cast<std::uint32_t>(line_);
        t.binary = false;
        std::string_view c = Trim(codeLine);
        if (c.empty() && pos_ >= data_.size()) {
            return false;  // trailing empty line at the end
        }
        int code = 0;
        auto r = std::from_chars(c.data(), c.data() + c.size(), code);
        if (c.empty() || r.ec != std::errc() || r.ptr != c.data() + c.size() || code < -5 ||
            code > 1071) {
            throw DxfError("line " + std::to_string(line_),
                           "expected a group code, found '" + Printable(codeLine) + "'");
        }
        if (pos_ >= data_.size()) {
            throw DxfError("line " + std::to_string(line_) + ", group code " + std::to_string(code),
                           "the file ends before the value of the group");
        }
        t.code = static_cast<std::int16_t>(code);
        t.text = ReadLine();
        return true;
    }

    void Need(std::size_t n, int code) {
        if (data_.size() - pos_ < n) {
            throw DxfError(Where(pos_, code, true), "the file ends inside the value of the group");
        }
    }

    bool NextBinary(Tag& t) {
        t.pos = static_cast<std::uint32_t>(pos_);
        t.binary = true;
        int code;
        if (oneByteCodes_) {
            code = static_cast<unsigned char>(data_[pos_++]);
            if (code == 255) {
                Need(2, code);
                code = Le16(pos_);
                pos_ += 2;
            }
        } else {
            Need(2, -1);
            code = Le16(pos_);
            pos_ += 2;
        }
        if (code > 1071) {
            throw DxfError(Where(t.pos, code, false), "invalid group code " + std::to_string(code));
        }
        t.code = static_cast<std::int16_t>(code);
        switch (KindOf(code)) {
            case ValueKind::Double: {
                Need(8, code);
                std::uint64_t bits = 0;
                for (int i = 7; i >= 0; --i) {
                    bits = (bits << 8) |
                           static_cast<unsigned char>(data_[pos_ + static_cast<std::size_t>(i)]);
                }
                double d;
                std::memcpy(&d, &bits, sizeof d);
                t.number = d;
                pos_ += 8;
                break;
            }
            case ValueKind::Int: {
                std::size_t n = IntSize(code);
                Need(n, code);
                std::uint64_t v = 0;
                for (std::size_t i = n; i-- > 0;) {
                    v = (v << 8) | static_cast<unsigned char>(data_[pos_ + i]);
                }
                // sign-extend
                if (n < 8 && (v >> (n * 8 - 1)) & 1) {
                    v |= ~std::uint64_t{0} << (n * 8);
                }
                t.integer = static_cast<std::int64_t>(v);
                pos_ += n;
                break;
            }
            case ValueKind::Bool:
                Need(1, code);
                t.integer = static_cast<unsigned char>(data_[pos_]);
                pos_ += 1;
                break;
            case ValueKind::Binary: {
                Need(1, code);
                std::size_t n = static_cast<unsigned char>(data_[pos_]);
                ++pos_;
                Need(n, code);
                t.text = data_.substr(pos_, n);
                pos_ += n;
                break;
            }
            case ValueKind::Text: {
                std::size_t end = data_.find('\0', pos_);
                if (end == std::string_view::npos) {
                    throw DxfError(Where(t.pos, code, true),
                                   "the file ends inside a text value (no terminating zero)");
                }
                t.text = data_.substr(pos_, end - pos_);
                pos_ = end + 1;
                break;
            }
        }
        return true;
    }

    static std::size_t IntSize(int code) {
        if ((code >= 90 && code <= 99) || (code >= 420 && code <= 429) ||
            (code >= 440 && code <= 459) || code == 1071) {
            return 4;
        }
        if (code >= 160 && code <= 169) {
            return 8;
        }
        return 2;
    }

    int Le16(std::size_t at) const {
        return static_cast<unsigned char>(data_[at]) |
               (static_cast<unsigned char>(data_[at + 1]) << 8);
    }

    static std::string Printable(std::string_view s) {
        std::string r;
        for (char c : s.substr(0, 40)) {
            auto u = static_cast<unsigned char>(c);
            if (u < 0x20 || u >= 0x7F) {
                static constexpr char kHex[] = "0123456789ABCDEF";
                r += "\\x";
                r += kHex[u >> 4];
                r += kHex[u & 15];
            } else {
                r += c;
            }
        }
        if (s.size() > 40) {
            r += "...";
        }
        return r;
    }

    std::string_view data_;
    bool binary_;
    bool oneByteCodes_ = false;
    std::size_t pos_ = 0;
    std::size_t line_ = 0;
    Tag peek_;
    bool peeked_ = false;
};

}  // namespace vx::engine::dxf
