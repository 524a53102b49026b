// A file read whole, as one look at it: opened once (links followed), its kind, size and
// identity taken from the open handle, then its bytes, so that what is read is the file
// that was looked at. Anything but a regular file is refused without waiting on it (a
// pipe, a device), and so is a file larger than the caller's bound.
//
//   files::WholeFile sheet;
//   std::string reason;
//   if (files::ReadWholeFile(path, 64 << 20, sheet, reason) != files::ReadOutcome::Read) ...
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace vx::files {

struct WholeFile {
    std::string bytes;
    // Device and inode (volume serial and file index on Windows) of the file read.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

enum class ReadOutcome : std::uint8_t {
    Read,
    CannotOpen,  // missing, not allowed, ...: `reason` says
    NotRegular,  // a folder, pipe, device, ...
    TooLarge,    // more than `maxBytes`, now or while it was read
    Failed,      // a read failed: `reason` says
};

// Reads `file` whole into `out` when it is a regular file of at most `maxBytes`.
ReadOutcome ReadWholeFile(const std::filesystem::path& file, std::uint64_t maxBytes, WholeFile& out,
                          std::string& reason);

}  // namespace vx::files
