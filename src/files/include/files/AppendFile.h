// A file that only grows, each addition on the disk before the call returns: a journal
// that a crash, a kill or a power loss leaves with every record it acknowledged and at
// most one torn record at its end.
//
//   files::AppendFile log(path);
//   if (!log.Ok()) report(log.Error());
//   log.Append("one record\n");  // written and flushed to the disk
//
// The file is created when it does not exist; a link at its name, a folder, a pipe or a
// device is refused. Each Append is one write at the file's end (O_APPEND on POSIX,
// append-only access on Windows), so records of several processes do not interleave.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vx::files {

class AppendFile {
public:
    explicit AppendFile(const std::filesystem::path& file);
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Writes the bytes at the end and flushes them to the disk. False when a step failed;
    // the file may then hold part of the bytes at its end.
    bool Append(std::string_view bytes);

    bool Ok() const { return error_.empty(); }
    // Why the file cannot be opened or the last Append failed; empty while Ok().
    const std::string& Error() const { return error_; }

private:
    std::intptr_t handle_;
    std::string error_;
};

}  // namespace vx::files
