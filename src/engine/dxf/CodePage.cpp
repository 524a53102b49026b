#include "engine/dxf/CodePage.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <cerrno>
#endif

#include "engine/Strings.h"

namespace vx::engine::dxf {

namespace {

bool AllDigits(std::string_view s) {
    if (s.empty()) {
        return false;
    }
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

#ifdef _WIN32
unsigned WindowsCodePage(std::string_view charset) {
    std::string s = Upper(charset);
    if (s.rfind("CP", 0) == 0 && AllDigits(s.substr(2))) {
        return static_cast<unsigned>(std::stoul(s.substr(2)));
    }
    if (s == "GBK")
        return 936;
    if (s == "BIG5")
        return 950;
    if (s == "JOHAB")
        return 1361;
    if (s == "MACINTOSH")
        return 10000;
    if (s.rfind("ISO-8859-", 0) == 0 && AllDigits(s.substr(9))) {
        return 28590 + static_cast<unsigned>(std::stoul(s.substr(9)));
    }
    return 0;
}
#endif

}  // namespace

std::string CodePageCharset(std::string_view name) {
    std::string s = Upper(name);
    auto tail = [&](std::size_t n) { return std::string_view(s).substr(n); };
    if (s.rfind("ANSI_", 0) == 0 && AllDigits(tail(5))) {
        std::string_view n = tail(5);
        if (n == "936")
            return "GBK";
        if (n == "950")
            return "BIG5";
        if (n == "1361")
            return "JOHAB";
        return "CP" + std::string(n);
    }
    if (s.rfind("DOS", 0) == 0 && AllDigits(tail(3))) {
        return "CP" + std::string(tail(3));
    }
    if (s.rfind("ISO8859-", 0) == 0 && AllDigits(tail(8))) {
        return "ISO-8859-" + std::string(tail(8));
    }
    if (s == "MACINTOSH" || s == "MAC-ROMAN")
        return "MACINTOSH";
    if (s == "BIG5")
        return "BIG5";
    if (s == "GB2312")
        return "GBK";
    if (s == "KSC5601")
        return "CP949";
    if (s == "JOHAB")
        return "JOHAB";
    if (s == "UTF-8" || s == "UTF8")
        return "UTF-8";
    return {};
}

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        cp = 0xFFFD;
    }
    engine::AppendUtf8(out, cp);
}

std::string SanitizeUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        int len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        char32_t cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = len != 0 && i + static_cast<std::size_t>(len) <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            auto d = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            ok = (d & 0xC0) == 0x80;
            cp = (cp << 6) | (d & 0x3F);
        }
        // reject overlong forms and surrogates
        ok = ok && !(len == 2 && cp < 0x80) && !(len == 3 && cp < 0x800) &&
             !(len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) && !(cp >= 0xD800 && cp <= 0xDFFF);
        if (ok) {
            out.append(s.substr(i, static_cast<std::size_t>(len)));
            i += static_cast<std::size_t>(len);
        } else {
            AppendUtf8(0xFFFD, out);
            ++i;
        }
    }
    return out;
}

bool ConvertCharset(std::string_view charset, std::string_view bytes, std::string& out) {
#ifdef _WIN32
    unsigned cp = WindowsCodePage(charset);
    if (cp == 0) {
        return false;
    }
    if (bytes.empty()) {
        return true;
    }
    int n = MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) {
        return false;
    }
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), w.data(), n);
    for (std::size_t i = 0; i < w.size(); ++i) {
        char32_t c = w[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < w.size() && w[i + 1] >= 0xDC00 &&
            w[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(w[i + 1]) - 0xDC00);
            ++i;
        }
        AppendUtf8(c, out);
    }
    return true;
#else
    iconv_t cd = iconv_open("UTF-8", std::string(charset).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::vector<char> buf(bytes.size() * 4 + 16);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* o = buf.data();
        std::size_t oLeft = buf.size();
        std::size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buf.data(), static_cast<std::size_t>(o - buf.data()));
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) {
                continue;
            }
            // an unmappable or incomplete byte: mark it and go on after it
            AppendUtf8(0xFFFD, out);
            ++in;
            --inLeft;
        }
    }
    iconv_close(cd);
    return true;
#endif
}

struct CodePageConverter::Impl {
    std::string charset;
#ifndef _WIN32
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
    std::vector<char> buf;
#endif
};

CodePageConverter::CodePageConverter(std::string_view dwgCodePage) : impl_(new Impl) {
    std::string charset = CodePageCharset(dwgCodePage);
    if (charset.empty()) {
        known_ = dwgCodePage.empty();
        charset = "CP1252";
    }
    if (charset == "UTF-8") {
        utf8_ = true;
        return;
    }
    impl_->charset = charset;
#ifndef _WIN32
    impl_->cd = iconv_open("UTF-8", charset.c_str());
    if (impl_->cd == reinterpret_cast<iconv_t>(-1)) {
        known_ = false;
        impl_->charset = "CP1252";
        impl_->cd = iconv_open("UTF-8", "CP1252");
    }
#endif
}

CodePageConverter::~CodePageConverter() {
#ifndef _WIN32
    if (impl_ && impl_->cd != reinterpret_cast<iconv_t>(-1)) {
        iconv_close(impl_->cd);
    }
#endif
}

void CodePageConverter::Append(std::string_view bytes, std::string& out) {
    bool ascii = true;
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        out.append(bytes);
        return;
    }
    if (utf8_) {
        out += SanitizeUtf8(bytes);
        return;
    }
#ifdef _WIN32
    if (!ConvertCharset(impl_->charset, bytes, out)) {
        for (char c : bytes) {
            AppendUtf8(static_cast<unsigned char>(c), out);
        }
    }
#else
    if (impl_->cd == reinterpret_cast<iconv_t>(-1)) {
        for (char c : bytes) {  // no converter at all: Latin-1 is the safest guess
            AppendUtf8(static_cast<unsigned char>(c), out);
        }
        return;
    }
    iconv(impl_->cd, nullptr, nullptr, nullptr, nullptr);  // reset shift state
    impl_->buf.resize(bytes.size() * 4 + 16);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* o = impl_->buf.data();
        std::size_t oLeft = impl_->buf.size();
        std::size_t r = iconv(impl_->cd, &in, &inLeft, &o, &oLeft);
        out.append(impl_->buf.data(), static_cast<std::size_t>(o - impl_->buf.data()));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            AppendUtf8(0xFFFD, out);
            ++in;
            --inLeft;
            iconv(impl_->cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
#endif
}

namespace {

bool Hex(std::string_view s, std::uint32_t& v) {
    if (s.empty()) {
        return false;
    }
    for (char c : s) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    auto r = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    return r.ec == std::errc();
}

}  // namespace

bool HasEscapes(std::string_view s) {
    return s.find("\\U+") != std::string_view::npos || s.find("\\u+") != std::string_view::npos ||
           s.find("\\M+") != std::string_view::npos || s.find("\\m+") != std::string_view::npos;
}

std::string DecodeEscapes(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '\\' && i + 7 <= s.size() && (s[i + 1] == 'U' || s[i + 1] == 'u') &&
            s[i + 2] == '+') {
            std::uint32_t u = 0;
            if (Hex(s.substr(i + 3, 4), u)) {
                char32_t cp = u;
                std::size_t used = 7;
                // a surrogate pair written as two escapes
                if (u >= 0xD800 && u <= 0xDBFF && i + 14 <= s.size() && s[i + 7] == '\\' &&
                    (s[i + 8] == 'U' || s[i + 8] == 'u') && s[i + 9] == '+') {
                    std::uint32_t lo = 0;
                    if (Hex(s.substr(i + 10, 4), lo) && lo >= 0xDC00 && lo <= 0xDFFF) {
                        cp = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                        used = 14;
                    }
                }
                AppendUtf8(cp, out);
                i += used;
                continue;
            }
        }
        if (s[i] == '\\' && i + 8 <= s.size() && (s[i + 1] == 'M' || s[i + 1] == 'm') &&
            s[i + 2] == '+' && s[i + 3] >= '1' && s[i + 3] <= '5') {
            std::uint32_t v = 0;
            if (Hex(s.substr(i + 4, 4), v)) {
                static constexpr const char* kCharsets[] = {"CP932", "BIG5", "CP949", "JOHAB",
                                                            "GBK"};
                const char* cs = kCharsets[s[i + 3] - '1'];
                char bytes[2] = {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
                std::string_view b =
                    (v >> 8) == 0 ? std::string_view(bytes + 1, 1) : std::string_view(bytes, 2);
                std::string conv;
                if (ConvertCharset(cs, b, conv)) {
                    out += conv;
                    i += 8;
                    continue;
                }
            }
        }
        out += s[i];
        ++i;
    }
    return out;
}

}  // namespace vx::engine::dxf
