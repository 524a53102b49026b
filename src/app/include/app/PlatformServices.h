// Services of the operating system that the window uses, behind small interfaces so
// that tests see what would have happened. Standard C++ only: the Windows versions
// are built without Qt.
#pragma once

#include <cstdint>
#include <string>

namespace vx::app {

// The compiled HTML help viewer.
class HelpService {
public:
    virtual ~HelpService() = default;
    // Shows the help file's default topic, owned by the given window (a native handle).
    // A help file that cannot be opened is reported by the viewer itself.
    virtual void DisplayTopic(std::uintptr_t ownerWindow, const std::string& helpFile) = 0;
    // Closes every help window that the program opened.
    virtual void CloseAll() = 0;
};

enum class RegistryRoot { LocalMachine, CurrentUser };

// Read-only lookups in the Windows registry.
class RegistryReader {
public:
    virtual ~RegistryReader() = default;
    // Reads one value: a text value as it stands, a 32-bit number as its decimal text.
    // False, with `value` empty, when the key or the value cannot be read.
    virtual bool GetKeyValue(RegistryRoot root, const std::string& keyName,
                             const std::string& valueName, std::string& value) = 0;
};

// Starts programs in a normal window that gets the focus, and tests for files.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    virtual bool FileExists(const std::string& path) = 0;
    // False when the program could not be started.
    virtual bool Start(const std::string& program) = 0;
};

}  // namespace vx::app
