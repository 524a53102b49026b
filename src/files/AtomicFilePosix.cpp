// AtomicFile on POSIX: open(O_EXCL) beside the target, write(), fsync(), rename(), and an
// fsync() of the folder so that the new entry survives a crash.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>
#include <system_error>

#include "files/AtomicFilePlatform.h"

namespace vx::files::platform {

namespace fs = std::filesystem;

namespace {

std::string Reason(int error) {
    return std::generic_category().message(error);
}

fs::path FolderOf(const fs::path& target) {
    const fs::path folder = target.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

std::string TempName() {
    static std::atomic<std::uint64_t> counter{0};
    static const std::uint64_t seed = [] {
        std::random_device device;
        return (static_cast<std::uint64_t>(device()) << 32) ^ device() ^
               static_cast<std::uint64_t>(
                   std::chrono::steady_clock::now().time_since_epoch().count());
    }();
    std::uint64_t x =
        seed + 0x9e3779b97f4a7c15ULL * (++counter) + static_cast<std::uint64_t>(getpid());
    x ^= x >> 31;
    char name[40];
    std::snprintf(name, sizeof name, ".vormex-%016llx.tmp", static_cast<unsigned long long>(x));
    return name;
}

}  // namespace

std::string CheckTarget(const fs::path& target) {
    struct stat st {};
    if (lstat(target.c_str(), &st) != 0) {
        return errno == ENOENT ? std::string() : Reason(errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return "it is a folder";
    }
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        return "it is not a regular file";
    }
    return {};
}

std::string CreateTemp(const fs::path& target, std::intptr_t& handle, fs::path& temp) {
    // New files get the usual permissions (0666 less the umask); a file that is replaced
    // keeps its own.
    mode_t mode = 0666;
    struct stat st {};
    const bool keepMode = lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (keepMode) {
        mode = st.st_mode & 07777;
    }
    const fs::path folder = FolderOf(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = folder / TempName();
        const int fd =
            open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0) {
            if (keepMode) {
                fchmod(fd, mode);  // past the umask; a failure leaves the usual permissions
            }
            handle = fd;
            temp = candidate;
            return {};
        }
        if (errno != EEXIST) {
            return Reason(errno);
        }
    }
    return "no temporary file name was free";
}

std::string WriteAll(std::intptr_t handle, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(static_cast<int>(handle), data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Reason(errno);
        }
        if (n == 0) {
            return Reason(ENOSPC);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return {};
}

std::string SyncAndClose(std::intptr_t& handle) {
    const int fd = static_cast<int>(handle);
    handle = kNoHandle;
    std::string problem;
    if (fsync(fd) != 0) {
        problem = Reason(errno);
    }
    // On some file systems (NFS) a full disk shows only when the file is closed.
    if (close(fd) != 0 && problem.empty() && errno != EINTR) {
        problem = Reason(errno);
    }
    return problem;
}

void Close(std::intptr_t& handle) {
    if (handle != kNoHandle) {
        close(static_cast<int>(handle));
        handle = kNoHandle;
    }
}

std::string Replace(const fs::path& temp, const fs::path& target) {
    if (rename(temp.c_str(), target.c_str()) != 0) {
        return Reason(errno);
    }
    const int dir = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);  // durability only: the file is in place whatever this says
        close(dir);
    }
    return {};
}

void Remove(const fs::path& temp) {
    unlink(temp.c_str());
}

std::string OpenForAppend(const fs::path& file, std::intptr_t& handle) {
    struct stat st {};
    const bool existed = lstat(file.c_str(), &st) == 0;
    const int fd =
        open(file.c_str(),
             O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) {
        return errno == ELOOP ? std::string("it is a symbolic link") : Reason(errno);
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool folder = S_ISDIR(st.st_mode);
        close(fd);
        return folder ? "it is a folder" : "it is not a regular file";
    }
    if (!existed) {
        const int dir = open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            fsync(dir);
            close(dir);
        }
    }
    handle = fd;
    return {};
}

std::string Sync(std::intptr_t handle) {
    return fsync(static_cast<int>(handle)) == 0 ? std::string() : Reason(errno);
}

std::string OpenForRead(const fs::path& file, std::intptr_t& handle, OpenFile& opened) {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return Reason(errno);
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        const int error = errno;
        close(fd);
        return Reason(error);
    }
    opened.regular = S_ISREG(st.st_mode);
    opened.size = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    opened.device = static_cast<std::uint64_t>(st.st_dev);
    opened.inode = static_cast<std::uint64_t>(st.st_ino);
    handle = fd;
    return {};
}

std::string ReadSome(std::intptr_t handle, char* data, std::size_t size, std::size_t& got) {
    for (;;) {
        const ssize_t n = read(static_cast<int>(handle), data, size);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return {};
        }
        if (errno != EINTR) {
            return Reason(errno);
        }
    }
}

}  // namespace vx::files::platform
