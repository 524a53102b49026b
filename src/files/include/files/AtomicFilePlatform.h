// The file-system calls behind AtomicFile and AppendFile, one implementation per platform
// (AtomicFilePosix.cpp, AtomicFileWindows.cpp). Each returns an empty text on success and
// the system's reason otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace vx::files::platform {

inline constexpr std::intptr_t kNoHandle = -1;

// Empty when `target` may be replaced: it does not exist, or is a file or a link.
std::string CheckTarget(const std::filesystem::path& target);
// Creates a new, empty file with a name of its own in the target's folder, open for
// writing, with the permissions an existing target file has.
std::string CreateTemp(const std::filesystem::path& target, std::intptr_t& handle,
                       std::filesystem::path& temp);
std::string WriteAll(std::intptr_t handle, const char* data, std::size_t size);
// Flushes the file to the disk and closes it; the handle is closed in any case.
std::string SyncAndClose(std::intptr_t& handle);
void Close(std::intptr_t& handle);
// Renames `temp` over `target`, replacing the entry (a link itself, not what it points
// at), and makes the rename durable.
std::string Replace(const std::filesystem::path& temp, const std::filesystem::path& target);
void Remove(const std::filesystem::path& temp);

// Opens `file` for appending, creating it when it does not exist (and then making its
// folder entry durable). Refuses a link at the name, and anything that is not a regular
// file once open, without waiting on a pipe.
std::string OpenForAppend(const std::filesystem::path& file, std::intptr_t& handle);
// Flushes what was written to the disk; the handle stays open.
std::string Sync(std::intptr_t handle);

// What the handle of a file opened for reading shows of it.
struct OpenFile {
    bool regular = false;
    std::uint64_t size = 0;
    std::uint64_t device = 0;  // volume serial on Windows
    std::uint64_t inode = 0;   // file index on Windows
};
// Opens `file` for reading (links followed) without waiting on a pipe, and looks at it
// through the handle.
std::string OpenForRead(const std::filesystem::path& file, std::intptr_t& handle, OpenFile& opened);
// Reads at most `size` bytes; `got` is 0 at the file's end.
std::string ReadSome(std::intptr_t handle, char* data, std::size_t size, std::size_t& got);

}  // namespace vx::files::platform
