#include "app/ChmFile.h"

#include <chm_lib.h>

#include <utility>

namespace vx::app {

std::optional<ChmFile> ChmFile::Open(const std::string& path) {
    chmFile* handle = chm_open(path.c_str());
    if (!handle) {
        return std::nullopt;
    }
    return ChmFile(handle);
}

ChmFile::ChmFile(ChmFile&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

ChmFile& ChmFile::operator=(ChmFile&& other) noexcept {
    if (this != &other) {
        if (handle_) {
            chm_close(handle_);
        }
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

ChmFile::~ChmFile() {
    if (handle_) {
        chm_close(handle_);
    }
}

std::optional<std::vector<std::uint8_t>> ChmFile::Read(const std::string& objectPath) const {
    if (!handle_ || objectPath.empty()) {
        return std::nullopt;
    }
    const std::string path = objectPath.front() == '/' ? objectPath : "/" + objectPath;
    chmUnitInfo info{};
    if (chm_resolve_object(handle_, path.c_str(), &info) != CHM_RESOLVE_SUCCESS) {
        return std::nullopt;
    }
    // Directories resolve too; they have no content.
    if (!path.empty() && path.back() == '/') {
        return std::nullopt;
    }
    // A help file is small; refuse absurd sizes from a damaged index.
    constexpr LONGUINT64 kLimit = 64ull * 1024 * 1024;
    if (info.length > kLimit) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.length));
    if (!bytes.empty()) {
        const LONGINT64 got = chm_retrieve_object(handle_, &info, bytes.data(), 0,
                                                  static_cast<LONGINT64>(info.length));
        if (got != static_cast<LONGINT64>(info.length)) {
            return std::nullopt;
        }
    }
    return bytes;
}

std::vector<ChmFile::SystemRecord> ChmFile::SystemRecords() const {
    std::vector<SystemRecord> records;
    auto bytes = Read("/#SYSTEM");
    if (!bytes) {
        return records;
    }
    const auto& b = *bytes;
    auto word = [&b](std::size_t at) {
        return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
    };
    std::size_t at = 4;  // after the version
    while (at + 4 <= b.size()) {
        SystemRecord r;
        r.code = word(at);
        const std::size_t length = word(at + 2);
        r.offset = at + 4;
        if (r.offset + length > b.size()) {
            break;
        }
        r.data.assign(b.begin() + static_cast<std::ptrdiff_t>(r.offset),
                      b.begin() + static_cast<std::ptrdiff_t>(r.offset + length));
        records.push_back(std::move(r));
        at += 4 + length;
    }
    return records;
}

namespace {
std::string RecordText(const std::vector<std::uint8_t>& data) {
    std::string text(data.begin(), data.end());
    const auto nul = text.find('\0');
    if (nul != std::string::npos) {
        text.resize(nul);
    }
    return text;
}
}  // namespace

std::string ChmFile::DefaultTopic() const {
    for (const auto& r : SystemRecords()) {
        if (r.code == 2) {
            std::string topic = RecordText(r.data);
            if (!topic.empty()) {
                return topic.front() == '/' ? topic : "/" + topic;
            }
        }
    }
    return "/index.html";
}

std::string ChmFile::Title() const {
    for (const auto& r : SystemRecords()) {
        if (r.code == 3) {
            return RecordText(r.data);
        }
    }
    return {};
}

}  // namespace vx::app
