// What a few folders hold, read as cheaply as the file system allows: the ordinary files
// whose names a test accepts, each with its size and modification time. Readers that keep
// what they parsed from such files compare a fresh stamp with the one they read under,
// and read again when it differs: a file added, removed, renamed, grown, shrunk or written
// changes the stamp (a rewrite to the same size within one tick of the file system's
// clock does not). Header only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace vx::engine {

struct StampedFile {
    std::filesystem::path path;
    std::string name;  // the file name, as listed
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified;
    friend bool operator==(const StampedFile&, const StampedFile&) = default;
};

// The accepted files of `folders`, folder by folder, each in the order its listing gives.
// Folders that are missing or cannot be read add nothing; a listing that breaks off adds
// what it gave up to there.
template <class Accept>
std::vector<StampedFile> StampFolders(const std::vector<std::filesystem::path>& folders,
                                      Accept&& accept) {
    std::vector<StampedFile> files;
    for (const auto& folder : folders) {
        std::error_code ec;
        std::filesystem::directory_iterator it(folder, ec);
        for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
            StampedFile f;
            f.name = it->path().filename().string();
            std::error_code fileError;
            if (!accept(f.name) || !it->is_regular_file(fileError)) {
                continue;
            }
            f.path = it->path();
            f.size = it->file_size(fileError);
            f.modified = it->last_write_time(fileError);
            files.push_back(std::move(f));
        }
    }
    return files;
}

}  // namespace vx::engine
