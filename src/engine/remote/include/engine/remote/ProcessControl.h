// What the engine's process needs of the operating system: starting it, ending a process
// by its id, a memory limit on the own process, and the user that a socket belongs to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vx::engine::remote {

// Starts `program` with `arguments` in a session of its own, its standard streams on the
// null device, and leaves it running; its process id, or 0 with `error` set. The calling
// process is not copied for it, however large it is.
std::int64_t StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                           std::string& error);

// Ends the process at once; false when there is no such process (any more).
bool KillProcess(std::int64_t pid);
// Whether a process of that id still runs.
bool ProcessAlive(std::int64_t pid);
// Limits the memory of the calling process to `bytes`; an allocation beyond it fails.
bool LimitOwnMemory(std::uint64_t bytes, std::string& error);
// Keeps the memory that the calling process frees for its next allocations rather than
// giving it back to the system at once: a process that reads and lets go of one drawing
// after another then takes no fresh pages from the system for each.
void KeepFreedMemory();
// A short text naming the user who runs this process (for socket names).
std::string UserTag();
// Whether the file (a socket) belongs to the user who runs this process. Always true
// where sockets are no files.
bool OwnedByThisUser(const std::string& path);

}  // namespace vx::engine::remote
