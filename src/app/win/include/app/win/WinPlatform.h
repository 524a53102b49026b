// The Windows versions of the window's platform services. Win32 only, no Qt: the
// window passes its native handle (QWidget::winId()) where an owner window is asked for.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/PlatformServices.h"

namespace vx::app::win {

// Read-only registry lookups. Keys are opened for querying values only, never with
// write access: a local-machine key opened for writing is refused to every user
// without administrator rights.
class WinRegistryReader final : public RegistryReader {
public:
    static constexpr REGSAM kAccess = KEY_QUERY_VALUE;
    // The largest value read, in bytes (a text of 511 UTF-16 characters and its end).
    static constexpr DWORD kBufferBytes = 1024;

    bool GetKeyValue(RegistryRoot root, const std::string& keyName, const std::string& valueName,
                     std::string& value) override;
};

// The system's HTML help viewer (hhctrl.ocx, loaded on first use).
class HtmlHelpViewer final : public HelpService {
public:
    using HtmlHelpFunction = HWND(WINAPI*)(HWND owner, LPCWSTR file, UINT command, DWORD_PTR data);
    static constexpr UINT kDisplayTopic = 0x0000;  // HH_DISPLAY_TOPIC
    static constexpr UINT kCloseAll = 0x0012;      // HH_CLOSE_ALL

    HtmlHelpViewer() = default;
    // Uses `function` in place of the system's viewer.
    explicit HtmlHelpViewer(HtmlHelpFunction function) : function_(function), tried_(true) {}

    void DisplayTopic(std::uintptr_t ownerWindow, const std::string& helpFile) override;
    // Closes the help windows; does nothing when no help was shown.
    void CloseAll() override;
    // Whether the viewer can be reached on this system.
    bool Available();

private:
    HtmlHelpFunction Function();

    HtmlHelpFunction function_ = nullptr;
    bool tried_ = false;
    bool shown_ = false;
    HWND owner_ = nullptr;
};

// Starts programs in a normal window with the focus; tests for files.
class WinProgramLauncher final : public ProgramLauncher {
public:
    // True for an existing file, false for a folder or nothing.
    bool FileExists(const std::string& path) override;
    // `program` is a command line: the program's path (quoted when it holds blanks, or
    // not, as the system resolves it) and its arguments.
    bool Start(const std::string& program) override;
};

}  // namespace vx::app::win
