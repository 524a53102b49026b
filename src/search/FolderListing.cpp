#include "search/FolderListing.h"

#include <algorithm>

#include "search/FileSystemPath.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vx::search {

QString ListingKey(const QString& name) {
    QString key(name.size(), Qt::Uninitialized);
    QChar* out = key.data();
    const QChar* in = name.constData();
    const qsizetype n = name.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = in[i].unicode();
        if (u < 0x80) {
            out[i] = QChar(char16_t(u >= 'a' && u <= 'z' ? u - 32 : u));
        } else if (QChar::isHighSurrogate(u) && i + 1 < n && in[i + 1].isLowSurrogate()) {
            const char32_t upper = QChar::toUpper(QChar::surrogateToUcs4(u, in[i + 1].unicode()));
            out[i] = QChar(QChar::highSurrogate(upper));
            out[i + 1] = QChar(QChar::lowSurrogate(upper));
            ++i;
        } else {
            const char32_t upper = QChar::toUpper(char32_t(u));
            // A BMP character whose simple upper case lies outside the BMP keeps itself,
            // so that the key has the name's length.
            out[i] = upper < 0x10000 ? QChar(char16_t(upper)) : in[i];
        }
    }
    return key;
}

bool ListingLess(const QString& keyA, const QString& nameA, const QString& keyB,
                 const QString& nameB) {
    const int byKey = QString::compare(keyA, keyB, Qt::CaseSensitive);
    if (byKey != 0) {
        return byKey < 0;
    }
    return QString::compare(nameA, nameB, Qt::CaseSensitive) < 0;
}

void SortForListing(std::vector<const DirEntry*>& entries) {
    if (entries.size() < 2) {
        return;
    }
    std::vector<std::pair<QString, const DirEntry*>> keyed;
    keyed.reserve(entries.size());
    for (const DirEntry* e : entries) {
        keyed.emplace_back(ListingKey(e->name), e);
    }
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return ListingLess(a.first, a.second->name, b.first, b.second->name);
    });
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        entries[i] = keyed[i].second;
    }
}

bool IsFolder(const QString& path) {
    const auto status = StatusOf(path);
    return status && status->kind == EntryKind::Folder;
}

#ifndef _WIN32

namespace {

FileStatus FromStat(const struct stat& st) {
    FileStatus s;
    if (S_ISREG(st.st_mode)) {
        s.kind = EntryKind::File;
    } else if (S_ISDIR(st.st_mode)) {
        s.kind = EntryKind::Folder;
    } else {
        s.kind = EntryKind::Other;
    }
    s.size = static_cast<std::int64_t>(st.st_size);
    s.modifiedSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    s.identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return s;
}

EntryKind KindOf(unsigned char type) {
    switch (type) {
        case DT_REG:
            return EntryKind::File;
        case DT_DIR:
            return EntryKind::Folder;
        case DT_LNK:
        case DT_UNKNOWN:
            return EntryKind::Unknown;
        default:
            return EntryKind::Other;
    }
}

}  // namespace

FolderListing::FolderListing(const QString& folder)
    : folder_(folder), fsFolder_(ToFileSystemPath(folder)) {
    fd_ = ::open(fsFolder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
        return;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        Close();
        return;
    }
    identity_ = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    // readdir works on its own descriptor so that fd_ stays usable for fstatat.
    const int listFd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0) {
            ::close(listFd);
        }
        Close();
        return;
    }
    open_ = true;
    while (const dirent* d = ::readdir(dir)) {
        const char* n = d->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) {
            continue;
        }
        DirEntry e;
        e.rawName = n;
        e.name = FromFileSystemPath(e.rawName);
        e.kind = KindOf(d->d_type);
        e.hidden = n[0] == '.';
        entries_.push_back(std::move(e));
    }
    ::closedir(dir);
}

FolderListing::~FolderListing() {
    Close();
}

void FolderListing::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::optional<FileStatus> FolderListing::Status(const DirEntry& entry) const {
    struct stat st {};
    int rc = -1;
    if (fd_ >= 0) {
        rc = ::fstatat(fd_, entry.rawName.c_str(), &st, 0);
    } else {
        std::string path = fsFolder_;
        if (path.empty() || path.back() != '/') {
            path += '/';
        }
        path += entry.rawName;
        rc = ::stat(path.c_str(), &st);
    }
    if (rc != 0) {
        return std::nullopt;
    }
    return FromStat(st);
}

bool FolderListing::IsLink(const DirEntry& entry) const {
    struct stat st {};
    int rc = -1;
    if (fd_ >= 0) {
        rc = ::fstatat(fd_, entry.rawName.c_str(), &st, AT_SYMLINK_NOFOLLOW);
    } else {
        std::string path = fsFolder_;
        if (path.empty() || path.back() != '/') {
            path += '/';
        }
        path += entry.rawName;
        rc = ::lstat(path.c_str(), &st);
    }
    return rc == 0 && S_ISLNK(st.st_mode);
}

std::optional<FileStatus> StatusOf(const QString& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    struct stat st {};
    if (::stat(ToFileSystemPath(path).c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FromStat(st);
}

#else  // _WIN32

namespace {

std::wstring Wide(const QString& s) {
    return s.toStdWString();
}

std::int64_t UnixSeconds(const FILETIME& ft) {
    const std::int64_t ticks =
        (std::int64_t(ft.dwHighDateTime) << 32) | std::int64_t(ft.dwLowDateTime);
    return (ticks - 116444736000000000LL) / 10000000LL;
}

EntryKind KindOfAttributes(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return EntryKind::Folder;
    }
    if (attributes & FILE_ATTRIBUTE_DEVICE) {
        return EntryKind::Other;
    }
    return EntryKind::File;
}

// Opens the path itself (links followed) and reads its identity, kind, size and time.
std::optional<FileStatus> StatusByHandle(const std::wstring& path) {
    HANDLE h = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL ok = ::GetFileInformationByHandle(h, &info);
    ::CloseHandle(h);
    if (!ok) {
        return std::nullopt;
    }
    FileStatus s;
    s.kind = KindOfAttributes(info.dwFileAttributes);
    s.size = (std::int64_t(info.nFileSizeHigh) << 32) | std::int64_t(info.nFileSizeLow);
    s.modifiedSeconds = UnixSeconds(info.ftLastWriteTime);
    s.identity = {info.dwVolumeSerialNumber,
                  (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return s;
}

}  // namespace

FolderListing::FolderListing(const QString& folder)
    : folder_(folder), fsFolder_(ToFileSystemPath(folder)) {
    const auto self = StatusByHandle(Wide(folder));
    if (!self || self->kind != EntryKind::Folder) {
        return;
    }
    identity_ = self->identity;
    WIN32_FIND_DATAW data{};
    const std::wstring pattern = Wide(AddBackslash(folder) + QLatin1Char('*'));
    HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                     nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        // An empty folder still lists "." and ".."; failing here means unreadable.
        return;
    }
    open_ = true;
    do {
        const wchar_t* n = data.cFileName;
        if (n[0] == L'.' && (n[1] == L'\0' || (n[1] == L'.' && n[2] == L'\0'))) {
            continue;
        }
        DirEntry e;
        e.name = QString::fromWCharArray(n);
        e.rawName = ToFileSystemPath(e.name);
        e.hidden = (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            e.kind = EntryKind::Unknown;  // a link or junction: its target decides
        } else {
            e.kind = KindOfAttributes(data.dwFileAttributes);
            FileStatus s;
            s.kind = e.kind;
            s.size = (std::int64_t(data.nFileSizeHigh) << 32) | std::int64_t(data.nFileSizeLow);
            s.modifiedSeconds = UnixSeconds(data.ftLastWriteTime);
            e.status = s;
        }
        entries_.push_back(std::move(e));
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

FolderListing::~FolderListing() = default;

void FolderListing::Close() {}

std::optional<FileStatus> FolderListing::Status(const DirEntry& entry) const {
    const std::wstring path = Wide(AddBackslash(folder_) + entry.name);
    if (entry.status) {
        // Still there? The listing may be older than the file.
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            return std::nullopt;
        }
        return entry.status;
    }
    return StatusByHandle(path);
}

bool FolderListing::IsLink(const DirEntry& entry) const {
    // The listing marks every reparse point (link, junction, mount point) Unknown.
    return entry.kind == EntryKind::Unknown;
}

std::optional<FileStatus> StatusOf(const QString& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return StatusByHandle(Wide(path));
}

#endif

}  // namespace vx::search
