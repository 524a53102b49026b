// Reading a compiled HTML help file (.chm) with chmlib. Standard C++ only, so that the
// build's help stamping tool can use it too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct chmFile;

namespace vx::app {

class ChmFile {
public:
    // Nothing when the file is missing, unreadable or no compiled help file.
    static std::optional<ChmFile> Open(const std::string& path);

    ChmFile(ChmFile&& other) noexcept;
    ChmFile& operator=(ChmFile&& other) noexcept;
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;
    ~ChmFile();

    // The bytes of an object inside the file, by its path ("/index.html"; a missing
    // leading "/" is added, letter case is ignored); nothing when there is no such object.
    std::optional<std::vector<std::uint8_t>> Read(const std::string& objectPath) const;

    // The "#SYSTEM" records: code 2 the default topic, code 3 the title.
    struct SystemRecord {
        std::uint16_t code = 0;
        std::size_t offset = 0;  // of the record's data inside the #SYSTEM object
        std::vector<std::uint8_t> data;
    };
    std::vector<SystemRecord> SystemRecords() const;

    // The path of the default topic with a leading "/" ("/index.html" when none is set).
    std::string DefaultTopic() const;
    // The help file's title; empty when none is set.
    std::string Title() const;

private:
    explicit ChmFile(chmFile* handle) : handle_(handle) {}
    chmFile* handle_ = nullptr;
};

}  // namespace vx::app
