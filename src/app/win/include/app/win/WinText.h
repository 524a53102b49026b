// UTF-8 (the program's texts) to and from UTF-16 (the Windows API's).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace vx::app::win {

inline std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int len = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), len, nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), len, w.data(), n);
    return w;
}

inline std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int len = static_cast<int>(utf16.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), len, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), len, s.data(), n, nullptr, nullptr);
    return s;
}

}  // namespace vx::app::win
