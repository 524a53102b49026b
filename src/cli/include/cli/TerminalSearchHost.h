// The drawing search's host on a terminal: the rows go to a callback as the search finds
// them; the window's status texts, pointer, plot lists and widgets do not exist here.
#pragma once

#include <functional>

#include "search/FileSearch.h"

namespace vx::cli {

class TerminalSearchHost : public search::SearchHost {
public:
    using RowSink = std::function<void(const search::DrawingRow&)>;

    // `folder` as NormalizeFolderPath() gives it.
    TerminalSearchHost(QString folder, QString pattern, bool recursive, RowSink onRow);

    // Searches the folder as the "&Find Files" button does.
    void FindFiles();

    void AddRow(const search::DrawingRow& row) override;
    void ClearRows() override;
    int RowCount() const override { return rows_; }
    QString FirstRowPath() const override { return firstPath_; }
    void SortRows() override {}
    void SetStatus(const QString&) override {}
    void SetFoundLabel(const QString&) override {}
    QString DirPath() const override { return folder_; }
    QString Pattern() const override { return pattern_; }
    bool IncludeSubfolders() const override { return recursive_; }
    void UntickIncludeSubfolders() override { recursive_ = false; }
    bool StopRequested() const override { return stop_; }
    void SetStopRequested(bool value) override { stop_ = value; }
    PointerService& MousePointer() override { return pointer_; }
    int PrinterCount() const override { return 2; }  // no plot lists to fill
    void FillPlotLists() override {}
    void EnablePrintAll() override {}
    int TextWidth(const QString&) const override { return 0; }
    void SetDirHorizontalExtent(int) override {}
    void KeepAlive() override {}

private:
    class NoPointer : public PointerService {
    public:
        void SetPointer(Pointer) override {}
    };

    QString folder_;
    QString pattern_;
    bool recursive_;
    RowSink onRow_;
    bool stop_ = false;
    int rows_ = 0;
    QString firstPath_;
    NoPointer pointer_;
};

}  // namespace vx::cli
