// Paths as the window shows them and as the file system stores them.
//
// Off Windows a file name is a string of bytes that need not be valid UTF-8. Such a name
// is still listed and opened: every byte that does not belong to a valid UTF-8 sequence
// becomes the code unit U+DC80 + (byte - 0x80) in the text ("surrogate escape"), and
// ToFileSystemPath() turns the text back into the very same bytes.
#pragma once

#include <QChar>
#include <QString>
#include <string>
#include <string_view>

namespace vx::search {

// The folder separator as the user sees it: "\" on Windows, "/" elsewhere.
QChar NativeSeparator();

// The root the folder tree starts at: "c:\" on Windows, "/" elsewhere.
QString FileSystemRoot();

// The path with one trailing separator added when its last character is not one
// already; the empty path gives the separator alone.
QString AddBackslash(const QString& path);

// A folder path as the directory list holds it: absolute, with native separators,
// "." and ".." resolved in the text (links are not followed) and no trailing separator
// except on a root. A relative path is taken from the process's current folder.
QString NormalizeFolderPath(const QString& path);

// File-system bytes to text: valid UTF-8 is decoded, any other byte escaped.
QString FromFileSystemPath(std::string_view bytes);

// Text to the exact file-system bytes: the inverse of FromFileSystemPath(). On Windows
// the result is UTF-8 (lone surrogates of a Windows name are kept as three-byte
// sequences, so that these names also make the round trip).
std::string ToFileSystemPath(const QString& path);

}  // namespace vx::search
