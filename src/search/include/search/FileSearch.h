// The drawing search: vFileSearch and the five handlers that start it, written against
// SearchHost so that the window, the command line and the tests share one copy of the
// rules.
#pragma once

#include <QLocale>
#include <QString>
#include <set>

#include "search/DrawingRow.h"
#include "search/FolderListing.h"
#include "search/RowTexts.h"
#include "ui/UserServices.h"

namespace vx::search {

// What the search needs of the main window.
class SearchHost {
public:
    virtual ~SearchHost() = default;

    // ListView1
    virtual void AddRow(const DrawingRow& row) = 0;
    virtual void ClearRows() = 0;
    virtual int RowCount() const = 0;
    // The Path text of the list's first row (as shown); "" for an empty list.
    virtual QString FirstRowPath() const = 0;
    // Sorted := True with the list's current sort key and order.
    virtual void SortRows() = 0;

    // The status line, repainted at once; Label1.
    virtual void SetStatus(const QString& text) = 0;
    virtual void SetFoundLabel(const QString& text) = 0;

    // Dir1's folder and Text1's pattern.
    virtual QString DirPath() const = 0;
    virtual QString Pattern() const = 0;

    // Check1: "Include Sub Directories" ticked (or greyed). Unticking it by program runs
    // Check1_Click when it was ticked, as a click does.
    virtual bool IncludeSubfolders() const = 0;
    virtual void UntickIncludeSubfolders() = 0;

    // The window's StopRequested.
    virtual bool StopRequested() const = 0;
    virtual void SetStopRequested(bool value) = 0;

    virtual PointerService& MousePointer() = 0;

    // cmbPrinter's entry count, and FillPlotLists(cmbPrinter, CmbPaper, CmbCTB).
    virtual int PrinterCount() const = 0;
    virtual void FillPlotLists() = 0;

    // Enables Command2 ("Print All &Drawing").
    virtual void EnablePrintAll() = 0;

    // The width of `text` in the main window's font, in pixels; Dir1's horizontal extent
    // (shows its horizontal scroll bar too).
    virtual int TextWidth(const QString& text) const = 0;
    virtual void SetDirHorizontalExtent(int pixels) = 0;

    // Called often while a search runs: paint what waits to be painted and serve the
    // action button, while every other control ignores input (see SearchPump).
    virtual void KeepAlive() = 0;
};

inline constexpr char kFindFilesCaption[] = "&Find Files";
inline constexpr char kCancelCaption[] = "&Cancel";
inline constexpr int kEnterKey = 13;

class FileSearch {
public:
    explicit FileSearch(SearchHost& host, const QLocale& locale = QLocale());

    // One folder level, and its subfolders while "Include Sub Directories" is ticked.
    void vFileSearch(const QString& folder, const QString& pattern);

    // The starters.
    void Dir1_Change();
    void Dir1_Click();
    void Check1_Click();
    void Check1_KeyDown(int keyCode);
    // `caption` is the clicked action button's caption. While a search runs the action
    // button stops it, whatever its caption.
    void cmdAction_Click(const QString& caption);

    // True while a search runs (the starters ignore their events then).
    bool Searching() const { return depth_ > 0; }

    // The folder that Dir1_Click last searched or found listed already.
    QString LastDirPath;

private:
    void StartingStatus();
    void FillPlotListsIfNeeded();
    DrawingRow MakeRow(const QString& folder, const DirEntry& entry, const FileStatus& status);
    void EndOfLevel(const QString& folder);

    SearchHost& host_;
    QLocale locale_;
    DateTexts dates_;
    FileTypeNames types_;
    int depth_ = 0;
    std::set<FileIdentity> searched_;  // folders searched in this search
};

// The texts the search writes.
QString SearchingText(const QString& folder);
QString FoundLabelText(const QString& dirPath);
QString FilesFoundText(int count);
inline constexpr char kNoFilesFound[] = "No Files Found. Try Again";

}  // namespace vx::search
