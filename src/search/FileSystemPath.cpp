#include "search/FileSystemPath.h"

#include <QDir>

namespace vx::search {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // U+DC80..U+DCFF stand for the bytes 0x80..0xFF

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence at `s[i]`, 0 when the byte there starts none.
// Overlong forms, surrogates and code points above U+10FFFF are not valid.
std::size_t ValidSequence(std::string_view s, std::size_t i, char32_t& cp) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const std::size_t left = s.size() - i;
    const unsigned char c0 = at(0);
    if (c0 < 0x80) {
        cp = c0;
        return 1;
    }
    if (c0 >= 0xC2 && c0 <= 0xDF) {
        if (left >= 2 && IsContinuation(at(1))) {
            cp = (char32_t(c0 & 0x1F) << 6) | (at(1) & 0x3F);
            return 2;
        }
        return 0;
    }
    if (c0 >= 0xE0 && c0 <= 0xEF) {
        if (left < 3 || !IsContinuation(at(1)) || !IsContinuation(at(2))) {
            return 0;
        }
        if ((c0 == 0xE0 && at(1) < 0xA0) || (c0 == 0xED && at(1) >= 0xA0)) {
            return 0;  // overlong, or a surrogate
        }
        cp = (char32_t(c0 & 0x0F) << 12) | (char32_t(at(1) & 0x3F) << 6) | (at(2) & 0x3F);
        return 3;
    }
    if (c0 >= 0xF0 && c0 <= 0xF4) {
        if (left < 4 || !IsContinuation(at(1)) || !IsContinuation(at(2)) ||
            !IsContinuation(at(3))) {
            return 0;
        }
        if ((c0 == 0xF0 && at(1) < 0x90) || (c0 == 0xF4 && at(1) >= 0x90)) {
            return 0;  // overlong, or above U+10FFFF
        }
        cp = (char32_t(c0 & 0x07) << 18) | (char32_t(at(1) & 0x3F) << 12) |
             (char32_t(at(2) & 0x3F) << 6) | (at(3) & 0x3F);
        return 4;
    }
    return 0;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

#ifdef _WIN32
constexpr bool kEscapesBytes = false;
#else
constexpr bool kEscapesBytes = true;
#endif

}  // namespace

QChar NativeSeparator() {
    return QDir::separator();
}

QString FileSystemRoot() {
#ifdef _WIN32
    return QStringLiteral("c:\\");
#else
    return QStringLiteral("/");
#endif
}

QString AddBackslash(const QString& path) {
    if (path.endsWith(NativeSeparator())) {
        return path;
    }
    return path + NativeSeparator();
}

QString NormalizeFolderPath(const QString& path) {
    if (path.isEmpty()) {
        return QString();
    }
    // cleanPath() leaves one trailing separator on a root only.
    return QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
}

QString FromFileSystemPath(std::string_view bytes) {
    bool ascii = true;
    for (char c : bytes) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (ascii) {
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    std::size_t i = 0;
    while (i < bytes.size()) {
        char32_t cp = 0;
        const std::size_t n = ValidSequence(bytes, i, cp);
        if (n > 0) {
            if (cp < 0x10000) {
                out += QChar(char16_t(cp));
            } else {
                out += QChar(QChar::highSurrogate(cp));
                out += QChar(QChar::lowSurrogate(cp));
            }
            i += n;
            continue;
        }
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (!kEscapesBytes && byte == 0xED && i + 2 < bytes.size() &&
            IsContinuation(static_cast<unsigned char>(bytes[i + 1])) &&
            IsContinuation(static_cast<unsigned char>(bytes[i + 2]))) {
            // A lone surrogate of a Windows name, as ToFileSystemPath() wrote it.
            out += QChar(char16_t(0xD000 | ((bytes[i + 1] & 0x3F) << 6) | (bytes[i + 2] & 0x3F)));
            i += 3;
            continue;
        }
        out += QChar(char16_t(kEscapeBase + byte));
        ++i;
    }
    return out;
}

std::string ToFileSystemPath(const QString& path) {
    std::string out;
    out.reserve(static_cast<std::size_t>(path.size()));
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = path.at(i).unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < n && path.at(i + 1).isLowSurrogate()) {
            AppendUtf8(out, QChar::surrogateToUcs4(u, path.at(i + 1).unicode()));
            ++i;
        } else if (kEscapesBytes && u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF) {
            out += char(u - kEscapeBase);
        } else {
            // Also a lone surrogate that is no escape: its three-byte form.
            AppendUtf8(out, u);
        }
    }
    return out;
}

}  // namespace vx::search
