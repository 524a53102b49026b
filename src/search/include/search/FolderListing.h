// The directory enumeration the search and the directory list stand on: one folder's
// entries with their kinds, the status of an entry (links followed) and the identity of
// a folder, so that a folder reached twice through links is noticed. POSIX
// (openat/readdir/fstatat) and Windows (FindFirstFileExW) behind one interface; names
// whose bytes are not valid UTF-8 keep those bytes (see FileSystemPath.h).
#pragma once

#include <QString>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vx::search {

enum class EntryKind : std::uint8_t {
    Unknown,  // a link, or the listing did not say: ask Status()
    File,     // an ordinary file
    Folder,
    Other,  // device, pipe, socket, ...
};

// Device and inode (volume serial and file index on Windows).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend auto operator<=>(const FileIdentity&, const FileIdentity&) = default;
};

struct FileStatus {
    EntryKind kind = EntryKind::Other;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;  // since 1970-01-01 UTC
    FileIdentity identity;
};

struct DirEntry {
    QString name;         // display text (escaped bytes kept)
    std::string rawName;  // the name's file-system bytes
    EntryKind kind = EntryKind::Unknown;
    // Dot-files off Windows; hidden or system attribute on Windows.
    bool hidden = false;
#ifdef _WIN32
    std::optional<FileStatus> status;  // from the listing itself when no link
#endif
};

class FolderListing {
public:
    // Opens and reads the folder. A folder that cannot be opened or read lists nothing;
    // IsOpen() tells which.
    explicit FolderListing(const QString& folder);
    ~FolderListing();
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    bool IsOpen() const { return open_; }
    const FileIdentity& Identity() const { return identity_; }
    // Every entry but "." and "..", in the order the file system gave them.
    const std::vector<DirEntry>& Entries() const { return entries_; }

    // The entry's status with links followed; none when it is gone, a dangling link or
    // cannot be examined.
    std::optional<FileStatus> Status(const DirEntry& entry) const;

    // Whether the entry is a symbolic link (a reparse point on Windows) itself.
    bool IsLink(const DirEntry& entry) const;

    // Gives up the folder's handle; Status() still works (through the path).
    void Close();

private:
    QString folder_;
    std::string fsFolder_;
    bool open_ = false;
    FileIdentity identity_;
    std::vector<DirEntry> entries_;
#ifndef _WIN32
    int fd_ = -1;
#endif
};

// The status of a path, links followed.
std::optional<FileStatus> StatusOf(const QString& path);
bool IsFolder(const QString& path);

// The order in which the search and the directory list take names: by name ignoring case
// (each character's simple upper case, compared by code point, as Windows file systems
// order their names), then by the exact name.
QString ListingKey(const QString& name);
bool ListingLess(const QString& keyA, const QString& nameA, const QString& keyB,
                 const QString& nameB);
// Sorts `entries` (pointers into a listing) into listing order.
void SortForListing(std::vector<const DirEntry*>& entries);

}  // namespace vx::search
