#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/remote/ProcessControl.h"

namespace vx::engine::remote {

bool KillProcess(std::int64_t pid) {
    return pid > 0 && ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

bool ProcessAlive(std::int64_t pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
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

std::string UserTag() {
    return std::to_string(::getuid());
}

bool OwnedByThisUser(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && st.st_uid == ::getuid() && S_ISSOCK(st.st_mode);
}

}  // namespace vx::engine::remote
