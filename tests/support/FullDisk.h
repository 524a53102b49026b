// A folder on a small file system of its own that a test fills up: a tmpfs mounted for the
// test. Needs Linux and root (mount); Usable() is false otherwise and the test skips.
#pragma once

#include <cstdio>
#include <filesystem>
#include <vector>

#ifdef __linux__
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace vx::testing {

class FullDisk {
public:
    FullDisk() {
#ifdef __linux__
        char folder[] = "/tmp/vx-full-disk-XXXXXX";
        if (geteuid() == 0 && mkdtemp(folder)) {
            path_ = folder;
            mounted_ = mount("tmpfs", folder, "tmpfs", 0, "size=512k") == 0;
        }
#endif
    }
    ~FullDisk() {
#ifdef __linux__
        if (mounted_) {
            umount(path_.c_str());
        }
#endif
        if (!path_.empty()) {
            std::filesystem::remove_all(path_);
        }
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    bool Usable() const {
        return mounted_;
    }
    const std::filesystem::path& Path() const {
        return path_;
    }
    // Takes every byte left, after the test has put its earlier files in: whole blocks,
    // then single bytes for what a block no longer fits into.
    void Fill() const {
        std::FILE* f = std::fopen((path_ / ".filler").c_str(), "wb");
        const std::vector<char> block(4096, 'x');
        while (f && std::fwrite(block.data(), 1, block.size(), f) == block.size() &&
               std::fflush(f) == 0) {
        }
        for (int i = 0; f && i < 4096 && std::fputc('x', f) != EOF && std::fflush(f) == 0; ++i) {
        }
        if (f) {
            std::fclose(f);
        }
    }

private:
    std::filesystem::path path_;
    bool mounted_ = false;
};

}  // namespace vx::testing
