#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "engine/remote/ProcessControl.h"

extern char** environ;

namespace vx::engine::remote {

namespace {

// The processes started here: children of this one, whose ends are collected here.
std::mutex startedMutex;
std::vector<pid_t> started;

// Whether `pid` is a child started here that has ended (it is then collected).
bool StartedAndEnded(pid_t pid) {
    std::lock_guard lock(startedMutex);
    auto it = std::find(started.begin(), started.end(), pid);
    if (it == started.end()) {
        return false;
    }
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) != pid) {
        return false;
    }
    started.erase(it);
    return true;
}

// Collects the children started here that have ended.
void CollectEnded() {
    std::lock_guard lock(startedMutex);
    std::erase_if(started, [](pid_t pid) {
        int status = 0;
        return ::waitpid(pid, &status, WNOHANG) == pid;
    });
}

}  // namespace

std::int64_t StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                           std::string& error) {
    CollectEnded();
    posix_spawn_file_actions_t files;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&files);
    posix_spawnattr_init(&attributes);
    for (int fd = 0; fd <= 2; ++fd) {
        posix_spawn_file_actions_addopen(&files, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    }
    // Every signal with its default action and none blocked, whatever this process set.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
#ifdef POSIX_SPAWN_SETSID
    // An interrupt typed at this program's terminal is this program's to pass on.
    flags |= POSIX_SPAWN_SETSID;
#endif
    posix_spawnattr_setflags(&attributes, flags);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : arguments) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    std::lock_guard lock(startedMutex);
    pid_t pid = 0;
    const int result =
        ::posix_spawn(&pid, program.c_str(), &files, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (result != 0) {
        error = std::strerror(result);
        return 0;
    }
    started.push_back(pid);
    return pid;
}

bool KillProcess(std::int64_t pid) {
    return pid > 0 && ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

bool ProcessAlive(std::int64_t pid) {
    return pid > 0 && !StartedAndEnded(static_cast<pid_t>(pid)) &&
           (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

bool LimitOwnMemory(std::uint64_t bytes, std::string& error) {
    rlimit limit{};
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    limit.rlim_max = static_cast<rlim_t>(bytes);
#ifdef RLIMIT_DATA
    // The data segment and every private mapping (Linux 4.7 on): the heap, not the
    // shared libraries and mapped files.
    const int resource = RLIMIT_DATA;
#else
    const int resource = RLIMIT_AS;
#endif
    if (::setrlimit(resource, &limit) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

void KeepFreedMemory() {
#ifdef __GLIBC__
    // The heap's top is given back beyond 128 MB free only, grows 16 MB at a time, and
    // blocks below 32 MB come from it rather than from mappings of their own.
    ::mallopt(M_TRIM_THRESHOLD, 128 << 20);
    ::mallopt(M_TOP_PAD, 16 << 20);
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
#endif
}

std::string UserTag() {
    return std::to_string(::getuid());
}

bool OwnedByThisUser(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && st.st_uid == ::getuid() && S_ISSOCK(st.st_mode);
}

}  // namespace vx::engine::remote
