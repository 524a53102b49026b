// AtomicFile on Windows: CreateFileW(CREATE_NEW) beside the target, WriteFile(),
// FlushFileBuffers(), then MoveFileExW(REPLACE_EXISTING | WRITE_THROUGH), which replaces a
// link at the target's name rather than what it points at.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>
#include <system_error>

#include "files/AtomicFilePlatform.h"

namespace vx::files::platform {

namespace fs = std::filesystem;

namespace {

std::string Reason(DWORD error) {
    return std::system_category().message(static_cast<int>(error));
}

HANDLE H(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::wstring TempName() {
    static std::atomic<std::uint64_t> counter{0};
    static const std::uint64_t seed = [] {
        std::random_device device;
        return (static_cast<std::uint64_t>(device()) << 32) ^ device();
    }();
    std::uint64_t x = seed + 0x9e3779b97f4a7c15ULL * (++counter) + GetCurrentProcessId();
    x ^= x >> 31;
    wchar_t name[40];
    std::swprintf(name, 40, L"~vormex-%016llx.tmp", static_cast<unsigned long long>(x));
    return name;
}

}  // namespace

std::string CheckTarget(const fs::path& target) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? std::string() : Reason(error);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return "it is a folder";
    }
    return {};
}

std::string CreateTemp(const fs::path& target, std::intptr_t& handle, fs::path& temp) {
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = L".";
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = folder / TempName();
        const HANDLE h = CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            handle = reinterpret_cast<std::intptr_t>(h);
            temp = candidate;
            return {};
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return Reason(error);
        }
    }
    return "no temporary file name was free";
}

std::string WriteAll(std::intptr_t handle, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(H(handle), data, chunk, &written, nullptr)) {
            return Reason(GetLastError());
        }
        if (written == 0) {
            return Reason(ERROR_DISK_FULL);
        }
        data += written;
        size -= written;
    }
    return {};
}

std::string SyncAndClose(std::intptr_t& handle) {
    const HANDLE h = H(handle);
    handle = kNoHandle;
    std::string problem;
    if (!FlushFileBuffers(h)) {
        problem = Reason(GetLastError());
    }
    if (!CloseHandle(h) && problem.empty()) {
        problem = Reason(GetLastError());
    }
    return problem;
}

void Close(std::intptr_t& handle) {
    if (handle != kNoHandle) {
        CloseHandle(H(handle));
        handle = kNoHandle;
    }
}

std::string Replace(const fs::path& temp, const fs::path& target) {
    if (!MoveFileExW(temp.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return Reason(GetLastError());
    }
    return {};
}

void Remove(const fs::path& temp) {
    DeleteFileW(temp.c_str());
}

std::string OpenForAppend(const fs::path& file, std::intptr_t& handle) {
    const HANDLE h =
        CreateFileW(file.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return Reason(GetLastError());
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        const bool link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        CloseHandle(h);
        return link ? "it is a symbolic link" : "it is not a regular file";
    }
    handle = reinterpret_cast<std::intptr_t>(h);
    return {};
}

std::string Sync(std::intptr_t handle) {
    return FlushFileBuffers(H(handle)) ? std::string() : Reason(GetLastError());
}

std::string OpenForRead(const fs::path& file, std::intptr_t& handle, OpenFile& opened) {
    const HANDLE h = CreateFileW(
        file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return Reason(GetLastError());
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) {
        const DWORD error = GetLastError();
        CloseHandle(h);
        return Reason(error);
    }
    opened.regular =
        GetFileType(h) == FILE_TYPE_DISK && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    opened.size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    opened.device = info.dwVolumeSerialNumber;
    opened.inode = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    handle = reinterpret_cast<std::intptr_t>(h);
    return {};
}

std::string ReadSome(std::intptr_t handle, char* data, std::size_t size, std::size_t& got) {
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size, DWORD{1} << 30));
    if (!ReadFile(H(handle), data, chunk, &n, nullptr)) {
        return Reason(GetLastError());
    }
    got = n;
    return {};
}

}  // namespace vx::files::platform
