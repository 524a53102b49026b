// A file written whole or not at all. Every file the programs write goes through it: the
// plot files of every format, the run report, thumbnails, plot style tables.
//
//   files::AtomicFile out(target);          // a new temporary file beside the target
//   out.Write(bytes);                       // every write checked; the first error sticks
//   if (!out.Commit()) report(out.Error()); // flush to disk, then rename over the target
//
// Until Commit() succeeds the target stays exactly as it was; a write error, a full disk,
// Discard() or destruction without Commit() removes the temporary file and nothing else.
// The rename replaces the directory entry itself: a symbolic link at the target's name is
// replaced by the new file, never followed, so a planted link cannot redirect the write.
// A target that exists as a folder, a device or a pipe is refused. Names are the file
// system's own (bytes on POSIX), so names that are not valid text stay distinct.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vx::files {

class AtomicFile {
public:
    // Creates the temporary file; on failure Ok() is false and Error() says why.
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Appends the bytes; false (and nothing more is written) once any write has failed.
    bool Write(std::string_view bytes);
    // Writes everything to disk and puts the file in the target's place. False when any
    // step failed; the target is then untouched and the temporary file gone.
    bool Commit();
    // Drops what was written; the target stays as it was.
    void Discard();

    bool Ok() const { return error_.empty(); }
    // Why the write failed, for a message ("No space left on device"); empty while Ok().
    const std::string& Error() const { return error_; }
    const std::filesystem::path& Target() const { return target_; }
    std::int64_t Size() const { return size_; }
    bool Committed() const { return committed_; }

private:
    void Fail(const std::string& reason);

    std::filesystem::path target_;
    std::filesystem::path temp_;
    std::intptr_t handle_;
    std::int64_t size_ = 0;
    std::string error_;
    bool committed_ = false;
};

// Writes `bytes` to `target` whole or not at all; false with `error` set on failure.
bool WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                         std::string& error);

}  // namespace vx::files
