#include "files/WholeFile.h"

#include <algorithm>

#include "files/AtomicFilePlatform.h"

namespace vx::files {

ReadOutcome ReadWholeFile(const std::filesystem::path& file, std::uint64_t maxBytes, WholeFile& out,
                          std::string& reason) {
    out = {};
    std::intptr_t handle = platform::kNoHandle;
    platform::OpenFile opened;
    if (reason = platform::OpenForRead(file, handle, opened); !reason.empty()) {
        return ReadOutcome::CannotOpen;
    }
    struct Closer {
        std::intptr_t& handle;
        ~Closer() { platform::Close(handle); }
    } closer{handle};
    if (!opened.regular) {
        return ReadOutcome::NotRegular;
    }
    if (opened.size > maxBytes) {
        return ReadOutcome::TooLarge;
    }
    out.device = opened.device;
    out.inode = opened.inode;
    // The size seen when opened, and one byte more to tell a file that grew since.
    out.bytes.resize(static_cast<std::size_t>(opened.size) + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == out.bytes.size()) {
            if (filled > maxBytes) {
                out.bytes.clear();
                return ReadOutcome::TooLarge;
            }
            out.bytes.resize(std::min<std::uint64_t>(filled * 2, maxBytes + 1));
        }
        std::size_t got = 0;
        if (reason = platform::ReadSome(handle, out.bytes.data() + filled,
                                        out.bytes.size() - filled, got);
            !reason.empty()) {
            out.bytes.clear();
            return ReadOutcome::Failed;
        }
        if (got == 0) {
            break;
        }
        filled += got;
    }
    out.bytes.resize(filled);
    return ReadOutcome::Read;
}

}  // namespace vx::files
