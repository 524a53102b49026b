#include "app/win/WinPlatform.h"

#include <cstring>

#include "app/win/WinText.h"

namespace vx::app::win {

// --- WinRegistryReader ---

namespace {

class KeyHandle {
public:
    KeyHandle() = default;
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    ~KeyHandle() {
        if (key_) {
            RegCloseKey(key_);
        }
    }
    HKEY* Receive() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

}  // namespace

bool WinRegistryReader::GetKeyValue(RegistryRoot root, const std::string& keyName,
                                    const std::string& valueName, std::string& value) {
    value.clear();
    const HKEY rootKey =
        root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    KeyHandle key;
    if (RegOpenKeyExW(rootKey, Widen(keyName).c_str(), 0, kAccess, key.Receive()) !=
        ERROR_SUCCESS) {
        return false;
    }
    // wchar_t storage keeps a text value aligned for reading it in place.
    wchar_t buffer[kBufferBytes / sizeof(wchar_t)];
    DWORD size = kBufferBytes;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key.Get(), Widen(valueName).c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
        return false;
    }
    switch (type) {
        case REG_SZ: {
            std::size_t chars = size / sizeof(wchar_t);
            if (chars > 0 && buffer[chars - 1] == L'\0') {
                --chars;
            }
            value = Narrow(std::wstring_view(buffer, chars));
            return true;
        }
        case REG_DWORD: {
            // The four bytes as one number, least significant first; a shorter value
            // has its missing high bytes zero.
            unsigned char bytes[4] = {0, 0, 0, 0};
            std::memcpy(bytes, buffer, size < 4 ? size : 4);
            const DWORD number = static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 |
                                 static_cast<DWORD>(bytes[2]) << 16 |
                                 static_cast<DWORD>(bytes[3]) << 24;
            value = std::to_string(number);
            return true;
        }
        default:
            // Neither a text nor a number: nothing the callers could use.
            return false;
    }
}

// --- HtmlHelpViewer ---

HtmlHelpViewer::HtmlHelpFunction HtmlHelpViewer::Function() {
    if (!tried_) {
        tried_ = true;
        // Stays loaded for the program's life: help windows run on its threads.
        if (HMODULE module = LoadLibraryW(L"hhctrl.ocx")) {
            function_ = reinterpret_cast<HtmlHelpFunction>(
                reinterpret_cast<void*>(GetProcAddress(module, "HtmlHelpW")));
        }
    }
    return function_;
}

bool HtmlHelpViewer::Available() {
    return Function() != nullptr;
}

void HtmlHelpViewer::DisplayTopic(std::uintptr_t ownerWindow, const std::string& helpFile) {
    HtmlHelpFunction help = Function();
    if (!help) {
        return;
    }
    owner_ = reinterpret_cast<HWND>(ownerWindow);
    shown_ = true;
    const std::wstring file = Widen(helpFile);
    help(owner_, file.c_str(), kDisplayTopic, 0);
}

void HtmlHelpViewer::CloseAll() {
    if (!shown_) {
        return;
    }
    if (HtmlHelpFunction help = Function()) {
        help(owner_, nullptr, kCloseAll, 0);
    }
    shown_ = false;
}

// --- WinProgramLauncher ---

bool WinProgramLauncher::FileExists(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool WinProgramLauncher::Start(const std::string& program) {
    std::wstring commandLine = Widen(program);
    if (commandLine.empty()) {
        return false;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    // CreateProcess may write into the command line: it is a copy of our own.
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace vx::app::win
