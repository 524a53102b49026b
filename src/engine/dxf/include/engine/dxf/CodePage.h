// Text of drawing files in UTF-8: code pages by their $DWGCODEPAGE names, and the
// \U+XXXX and \M+nXXXX escapes that files before 2007 use for characters outside their
// code page.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace vx::engine::dxf {

// The converter's name ("CP1252", "CP932", ...) for a $DWGCODEPAGE value ("ANSI_1252",
// "ANSI_932", "DOS850", ...); empty for a name we do not know.
std::string CodePageCharset(std::string_view dwgCodePage);

// Converts text of one code page to UTF-8. Conversion state is cached, so keep one
// converter per file. Bytes that the code page cannot map become U+FFFD.
class CodePageConverter {
public:
    // `dwgCodePage` as in $DWGCODEPAGE; unknown names fall back to ANSI_1252 (Known()
    // tells). "UTF-8" (or an empty name with utf8 = true) passes text through.
    explicit CodePageConverter(std::string_view dwgCodePage);
    ~CodePageConverter();
    CodePageConverter(const CodePageConverter&) = delete;
    CodePageConverter& operator=(const CodePageConverter&) = delete;

    bool Known() const { return known_; }
    bool Utf8() const { return utf8_; }
    // Converts `bytes` and appends the result to `out`.
    void Append(std::string_view bytes, std::string& out);
    std::string Convert(std::string_view bytes) {
        std::string s;
        Append(bytes, s);
        return s;
    }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    bool known_ = true;
    bool utf8_ = false;
};

// Converts bytes of a named converter charset (see CodePageCharset) to UTF-8; used for
// the \M+n escapes. Returns false when the charset is unavailable.
bool ConvertCharset(std::string_view charset, std::string_view bytes, std::string& out);

// Replaces \U+XXXX (a UTF-16 unit, surrogate pairs joined) and \M+nXXXX (a double-byte
// character of code page n: 1 = 932, 2 = 950, 3 = 949, 4 = 1361, 5 = 936) in UTF-8 text.
// Malformed escapes stay as they are.
std::string DecodeEscapes(std::string_view utf8);

// True when `s` contains an escape that DecodeEscapes would replace (cheap pre-check).
bool HasEscapes(std::string_view s);

// Appends the UTF-8 form of a code point (invalid ones as U+FFFD).
void AppendUtf8(char32_t cp, std::string& out);

// Replaces invalid UTF-8 sequences by U+FFFD.
std::string SanitizeUtf8(std::string_view s);

}  // namespace vx::engine::dxf
