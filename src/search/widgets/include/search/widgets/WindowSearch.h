// The search host of the main window: the search rules, run against the window's own
// controls, with every event of those controls connected to its handler. The window
// creates one WindowSearch after its controls and keeps StopRequested and the plot lists:
//
//   search_ = new WindowSearch({this, PicBrowseTree, Dir1, Text1, Check1, cmdAction,
//                               Command2, ListView1, DwgThumbnail1, Status, Label1},
//                              pointer, StopRequested,
//                              [this] { return cmbPrinter->count(); },
//                              [this] { plotLists.FillPlotLists(printers, papers, styles); },
//                              this);
//
// Connected here: the tree's selection to PathChange; Dir1's Change and Click; Check1's
// value changes (Check1_Click) and key presses (Check1_KeyDown); cmdAction's click; the
// list's preview refresh. The print popup (DrawingListView::PrintPopupRequested) is the
// window's. Each connected handler runs through the window's error boundary when one is
// set (SetBoundary): a starter may end in an exception (the plot lists' filling ends the
// program when no CAD application can be reached), which must not pass into Qt.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <memory>

#include "search/FileSearch.h"
#include "search/widgets/SearchPump.h"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace vx::search {

class DirListBox;
class DrawingListView;
class DwgThumbnail;
class FolderTree;

class WindowSearch : public QObject, private SearchHost {
    Q_OBJECT
public:
    // The window's controls (FolderTree and DwgThumbnail1 may be null).
    struct Controls {
        QWidget* Form1 = nullptr;  // its font measures Dir1's extent
        FolderTree* PicBrowseTree = nullptr;
        DirListBox* Dir1 = nullptr;
        QLineEdit* Text1 = nullptr;
        QCheckBox* Check1 = nullptr;
        QAbstractButton* cmdAction = nullptr;
        QWidget* Command2 = nullptr;
        DrawingListView* ListView1 = nullptr;
        DwgThumbnail* DwgThumbnail1 = nullptr;
        QLabel* Status = nullptr;
        QLabel* Label1 = nullptr;
    };
    // `printerCount` gives cmbPrinter's entry count, `fillPlotLists` runs
    // FillPlotLists(cmbPrinter, CmbPaper, CmbCTB); `stopRequested` is the window's
    // StopRequested, which the plot runs read too.
    WindowSearch(const Controls& controls, PointerService& pointer, bool& stopRequested,
                 std::function<int()> printerCount, std::function<void()> fillPlotLists,
                 QObject* parent = nullptr);
    ~WindowSearch() override;

    FileSearch& Search() { return *search_; }
    SearchPump& Pump() { return pump_; }

    // Runs a connected handler: catches and reports what the handler throws.
    using Boundary = std::function<void(const std::function<void()>& handler)>;
    void SetBoundary(Boundary boundary) { boundary_ = std::move(boundary); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddRow(const DrawingRow& row) override;
    void ClearRows() override;
    int RowCount() const override;
    QString FirstRowPath() const override;
    void SortRows() override;
    void SetStatus(const QString& text) override;
    void SetFoundLabel(const QString& text) override;
    QString DirPath() const override;
    QString Pattern() const override;
    bool IncludeSubfolders() const override;
    void UntickIncludeSubfolders() override;
    bool StopRequested() const override { return stopRequested_; }
    void SetStopRequested(bool value) override { stopRequested_ = value; }
    PointerService& MousePointer() override { return pointer_; }
    int PrinterCount() const override { return printerCount_(); }
    void FillPlotLists() override { fillPlotLists_(); }
    void EnablePrintAll() override;
    int TextWidth(const QString& text) const override;
    void SetDirHorizontalExtent(int pixels) override;
    void KeepAlive() override { pump_.Pump(); }
    void Run(const std::function<void()>& handler);

    Controls c_;
    PointerService& pointer_;
    bool& stopRequested_;
    std::function<int()> printerCount_;
    std::function<void()> fillPlotLists_;
    Boundary boundary_;
    SearchPump pump_;
    QElapsedTimer statusPainted_;
    std::unique_ptr<FileSearch> search_;
};

// The least time between two immediate repaints of the status line, in milliseconds.
inline constexpr int kStatusRepaintMs = 40;

// How the status line shows a text: CR LF and a lone CR break the line.
QString StatusDisplayText(const QString& text);

}  // namespace vx::search
