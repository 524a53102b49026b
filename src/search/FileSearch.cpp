#include "search/FileSearch.h"

#include <cmath>
#include <vector>

#include "search/FileSystemPath.h"
#include "search/Wildcard.h"

namespace vx::search {

QString SearchingText(const QString& folder) {
    return QStringLiteral("Searching ... ") + folder + QLatin1Char('\r') +
           QStringLiteral("Press Cancel to stop search.");
}

QString FoundLabelText(const QString& dirPath) {
    return QStringLiteral("Found following files in ") + dirPath +
           QStringLiteral(
               " Use shift key to select multiple files and right click to get more options");
}

QString FilesFoundText(int count) {
    return QString::number(count) + QStringLiteral("  Files Found  ");
}

FileSearch::FileSearch(SearchHost& host, const QLocale& locale)
    : host_(host), locale_(locale), dates_(locale) {}

namespace {

// Keeps the nesting depth of vFileSearch, also when a host call throws.
struct DepthGuard {
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
    int& depth;
};

}  // namespace

void FileSearch::vFileSearch(const QString& folderPath, const QString& pattern) {
    if (depth_ == 0) {
        searched_.clear();
    }
    DepthGuard depth(depth_);
    // 1. One trailing separator, so that a root keeps its single one.
    const QString folder = AddBackslash(folderPath);

    FolderListing listing(folder);
    // A folder reached again through a link (a loop, or a link to a folder searched
    // elsewhere in this search) is not searched twice.
    if (listing.IsOpen() && !searched_.insert(listing.Identity()).second) {
        return;
    }

    // 2. Subfolder candidates: visible names without a ".", in listing order. An
    //    unreadable folder has none.
    std::vector<const DirEntry*> subfolders;
    if (host_.IncludeSubfolders()) {
        for (const DirEntry& e : listing.Entries()) {
            if (!e.hidden && !e.name.contains(QLatin1Char('.'))) {
                subfolders.push_back(&e);
            }
        }
        SortForListing(subfolders);
    }

    // 3.
    host_.SetStatus(SearchingText(folder));
    host_.KeepAlive();

    // 4. The visible ordinary files that match the pattern, in listing order.
    const Wildcard wildcard(pattern);
    std::vector<const DirEntry*> files;
    for (const DirEntry& e : listing.Entries()) {
        if (!e.hidden && (e.kind == EntryKind::File || e.kind == EntryKind::Unknown) &&
            wildcard.Matches(e.name)) {
            files.push_back(&e);
        }
    }
    SortForListing(files);
    for (const DirEntry* e : files) {
        // The file as it is now: gone, a dangling link or no ordinary file gives no row.
        const auto status = listing.Status(*e);
        if (!status || status->kind != EntryKind::File) {
            continue;
        }
        host_.AddRow(MakeRow(folder, *e, *status));
        host_.KeepAlive();
        if (host_.StopRequested()) {
            host_.MousePointer().SetPointer(Pointer::Default);
            return;
        }
    }

    // 5. Recursion into the candidates that are folders (links followed); ordinary
    //    files without extension, dangling links and devices are skipped. The listing's
    //    handle is given up first, so that deep trees do not pile up open folders.
    std::vector<QString> descend;
    for (const DirEntry* e : subfolders) {
        EntryKind kind = e->kind;
        if (kind == EntryKind::Unknown) {
            const auto status = listing.Status(*e);
            kind = status ? status->kind : EntryKind::Other;
        }
        if (kind == EntryKind::Folder) {
            descend.push_back(folder + e->name);
        }
    }
    listing.Close();
    for (const QString& subfolder : descend) {
        vFileSearch(subfolder, pattern);
    }

    // 6.
    EndOfLevel(folder);
}

DrawingRow FileSearch::MakeRow(const QString& folder, const DirEntry& entry,
                               const FileStatus& status) {
    return DrawingRow{entry.name, folder, types_.Describe(entry.name),
                      SizeText(status.size, locale_), dates_.Text(status.modifiedSeconds)};
}

void FileSearch::EndOfLevel(const QString& folder) {
    const double extent = host_.TextWidth(folder) / 85.0 * 7.0;
    if (extent > 0) {
        // Rounded half to even, as a whole-number argument is.
        host_.SetDirHorizontalExtent(static_cast<int>(std::nearbyint(extent)));
    }
    host_.SetStatus(QString());
    const int rows = host_.RowCount();
    if (rows >= 1) {
        host_.SetFoundLabel(FoundLabelText(host_.DirPath()));
        host_.SetStatus(FilesFoundText(rows) + QString());
    } else {
        host_.SetFoundLabel(QString::fromLatin1(kNoFilesFound));
        host_.SetStatus(QString::fromLatin1(kNoFilesFound));
    }
}

void FileSearch::StartingStatus() {
    host_.SetStatus(SearchingText(host_.DirPath()));
}

void FileSearch::FillPlotListsIfNeeded() {
    if (host_.PrinterCount() < 2) {
        host_.FillPlotLists();
    }
}

void FileSearch::Dir1_Change() {
    if (Searching()) {
        return;
    }
    host_.UntickIncludeSubfolders();
    host_.MousePointer().SetPointer(Pointer::Hourglass);
    host_.ClearRows();
    FillPlotListsIfNeeded();
    host_.SetStopRequested(false);
    StartingStatus();
    vFileSearch(host_.DirPath(), host_.Pattern());
    if (host_.RowCount() >= 1) {
        host_.EnablePrintAll();
    }
    host_.MousePointer().SetPointer(Pointer::Default);
}

void FileSearch::Check1_Click() {
    if (Searching()) {
        return;
    }
    host_.MousePointer().SetPointer(Pointer::Hourglass);
    host_.ClearRows();
    host_.SetStopRequested(false);
    FillPlotListsIfNeeded();
    StartingStatus();
    vFileSearch(host_.DirPath(), host_.Pattern());
    if (host_.RowCount() >= 1) {
        host_.EnablePrintAll();
    }
    if (!host_.StopRequested()) {
        host_.MousePointer().SetPointer(Pointer::Default);
    }
}

void FileSearch::Check1_KeyDown(int keyCode) {
    if (Searching() || keyCode != kEnterKey) {
        return;
    }
    host_.MousePointer().SetPointer(Pointer::Hourglass);
    FillPlotListsIfNeeded();
    host_.ClearRows();
    host_.SetStopRequested(false);
    StartingStatus();
    vFileSearch(host_.DirPath(), host_.Pattern());
    if (host_.RowCount() >= 1) {
        host_.EnablePrintAll();
    }
    if (!host_.StopRequested()) {
        host_.SortRows();
        host_.MousePointer().SetPointer(Pointer::Default);
    }
}

void FileSearch::cmdAction_Click(const QString& caption) {
    if (Searching() || caption == QLatin1String(kCancelCaption)) {
        host_.SetStopRequested(true);
        return;
    }
    if (caption != QLatin1String(kFindFilesCaption)) {
        return;
    }
    host_.MousePointer().SetPointer(Pointer::Hourglass);
    host_.ClearRows();
    host_.SetStopRequested(false);
    StartingStatus();
    vFileSearch(host_.DirPath(), host_.Pattern());
    if (!host_.StopRequested()) {
        host_.MousePointer().SetPointer(Pointer::Default);
    }
}

void FileSearch::Dir1_Click() {
    if (Searching()) {
        return;
    }
    host_.MousePointer().SetPointer(Pointer::Hourglass);
    FillPlotListsIfNeeded();
    const QString dirPath = host_.DirPath();
    if (host_.RowCount() >= 1 && host_.FirstRowPath().contains(dirPath, Qt::CaseSensitive)) {
        LastDirPath = dirPath;
    }
    if (LastDirPath != dirPath) {
        LastDirPath = dirPath;
        vFileSearch(dirPath, host_.Pattern());
    }
    if (host_.RowCount() >= 1) {
        host_.EnablePrintAll();
    }
    host_.MousePointer().SetPointer(Pointer::Default);
}

}  // namespace vx::search
