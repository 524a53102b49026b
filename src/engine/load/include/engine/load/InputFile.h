// Reading an input file whole, only when it is what it claims to be: after following links,
// a regular file no larger than a limit. Pipes (FIFOs), devices, sockets and folders are
// refused without reading, and nothing waits on a pipe's writer: the file's type is checked
// before it is opened, opened without blocking and checked again once open. The platform's
// own calls are kept to InputFile.cpp.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace vx::engine::load {

// Reads `path` into `bytes`. On failure returns false with `error` a short reason ("no such
// file", "is a folder, not a drawing file", "is a pipe (FIFO), not a drawing file", "the
// file is too large (... bytes)", ...).
bool ReadRegularFile(const std::filesystem::path& path, std::uintmax_t maxBytes, std::string& bytes,
                     std::string& error);

}  // namespace vx::engine::load
