#include "plot/PlotPaths.h"

#include <algorithm>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vx::plot {

namespace fs = std::filesystem;

bool IsNativeSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

std::string NativePath(std::string path) {
#ifndef _WIN32
    std::replace(path.begin(), path.end(), '\\', '/');
#endif
    return path;
}

fs::path FsPath(const std::string& path) {
#ifdef _WIN32
    return fs::path(std::u8string(path.begin(), path.end()));
#else
    return fs::path(path);
#endif
}

namespace {

std::size_t NameStart(const std::string& path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsNativeSeparator(path[i - 1])) {
            return i;
        }
    }
    return 0;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string LastComponent(const std::string& path) {
    return path.substr(NameStart(path));
}

bool IsPathOf(const std::string& folder, const std::string& name, const std::string& path) {
    if (folder.empty()) {
        return name == path;
    }
    if (IsNativeSeparator(folder.back())) {
        return folder + name == path;
    }
    // Either separator on Windows; the path's own separator decides.
    const std::size_t start = NameStart(path);
    return start == folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
           path.compare(start, std::string::npos, name) == 0;
}

std::string PlotFileName(const std::string& drawing, const std::string& extension) {
    const std::size_t start = NameStart(drawing);
    const std::size_t dot = drawing.rfind('.');
    // A name that only begins with a dot has no extension.
    std::string base = (dot != std::string::npos && dot > start) ? drawing.substr(0, dot) : drawing;
    std::string plot = base + extension;
    if (EqualsIgnoringCase(plot, drawing)) {
        plot = drawing + extension;
    }
    return plot;
}

bool FileExists(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    std::error_code ec;
    auto st = fs::status(FsPath(path), ec);
    return !ec && fs::is_regular_file(st);
}

bool IsListedFile(const std::string& path) {
    const std::string name = LastComponent(path);
    if (name.empty() || !FileExists(path)) {
        return false;
    }
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(FsPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
#else
    return name.front() != '.';
#endif
}

std::string UnlistedReason(const std::string& path) {
    std::error_code ec;
    const auto st = path.empty() ? fs::file_status{} : fs::status(FsPath(path), ec);
    switch (ec ? fs::file_type::not_found : st.type()) {
        case fs::file_type::regular:
            return "is a hidden file";
        case fs::file_type::directory:
            return "is a folder, not a drawing file";
        case fs::file_type::fifo:
            return "is a pipe (FIFO), not a drawing file";
        case fs::file_type::block:
        case fs::file_type::character:
            return "is a device, not a drawing file";
        case fs::file_type::socket:
            return "is a socket, not a drawing file";
        case fs::file_type::none:
        case fs::file_type::not_found:
            return "no such file";
        default:
            return "is not a regular file";
    }
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) {
        return text;
    }
    for (std::size_t pos = text.find(from); pos != std::string::npos;
         pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
    }
    return text;
}

}  // namespace vx::plot
