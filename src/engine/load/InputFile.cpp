#include "engine/load/InputFile.h"

#include <system_error>

#ifdef _WIN32
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace vx::engine::load {

namespace fs = std::filesystem;

namespace {

std::string TooLarge(std::uintmax_t size, std::uintmax_t max) {
    return "the file is too large (" + std::to_string(size) + " bytes, at most " +
           std::to_string(max) + " are read)";
}

}  // namespace

#ifndef _WIN32

namespace {

// Why a file of this mode is no drawing file; empty for a regular file.
std::string NotRegular(mode_t mode) {
    if (S_ISREG(mode)) {
        return {};
    }
    if (S_ISDIR(mode)) {
        return "is a folder, not a drawing file";
    }
    if (S_ISFIFO(mode)) {
        return "is a pipe (FIFO), not a drawing file";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "is a device, not a drawing file";
    }
    if (S_ISSOCK(mode)) {
        return "is a socket, not a drawing file";
    }
    return "is not a regular file";
}

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

}  // namespace

bool ReadRegularFile(const fs::path& path, std::uintmax_t maxBytes, std::string& bytes,
                     std::string& error) {
    bytes.clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error =
            errno == ENOENT || errno == ENOTDIR ? "no such file" : "cannot be opened for reading";
        return false;
    }
    if (error = NotRegular(st.st_mode); !error.empty()) {
        return false;
    }
    if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
        error = TooLarge(static_cast<std::uintmax_t>(st.st_size), maxBytes);
        return false;
    }
    // Not blocking: the name may have become a pipe since it was looked at.
    const Fd file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (file.fd < 0) {
        error = "cannot be opened for reading";
        return false;
    }
    if (::fstat(file.fd, &st) != 0) {
        error = "cannot be opened for reading";
        return false;
    }
    if (error = NotRegular(st.st_mode); !error.empty()) {
        return false;
    }
    const auto size = static_cast<std::uintmax_t>(st.st_size);
    if (size > maxBytes) {
        error = TooLarge(size, maxBytes);
        return false;
    }
    // One byte more than the size, so that the end is seen without growing the buffer.
    bytes.resize(static_cast<std::size_t>(size) + 1);
    std::size_t have = 0;
    for (;;) {
        if (have == bytes.size()) {
            // The file has grown since: read on in steps, up to the limit.
            if (have > maxBytes) {
                error = TooLarge(have, maxBytes);
                bytes.clear();
                return false;
            }
            bytes.resize(have + (std::size_t{1} << 16));
        }
        const ssize_t n = ::read(file.fd, bytes.data() + have, bytes.size() - have);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = "a read error occurred";
            bytes.clear();
            return false;
        }
        have += static_cast<std::size_t>(n);
    }
    bytes.resize(have);
    if (have > maxBytes) {
        error = TooLarge(have, maxBytes);
        bytes.clear();
        return false;
    }
    return true;
}

#else  // _WIN32

bool ReadRegularFile(const fs::path& path, std::uintmax_t maxBytes, std::string& bytes,
                     std::string& error) {
    bytes.clear();
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
        error = "no such file";
        return false;
    }
    if (fs::is_directory(status)) {
        error = "is a folder, not a drawing file";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        error = "is not a regular file";
        return false;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        error = "cannot be opened for reading";
        return false;
    }
    if (size > maxBytes) {
        error = TooLarge(size, maxBytes);
        return false;
    }
    std::ifstream in(path, std::ios::in | std::ios::binary);
    if (!in) {
        error = "cannot be opened for reading";
        return false;
    }
    bytes.reserve(static_cast<std::size_t>(size));
    char buf[1 << 16];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        bytes.append(buf, static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > maxBytes) {
            error = TooLarge(bytes.size(), maxBytes);
            bytes.clear();
            return false;
        }
    }
    if (in.bad()) {
        error = "a read error occurred";
        bytes.clear();
        return false;
    }
    return true;
}

#endif

}  // namespace vx::engine::load
