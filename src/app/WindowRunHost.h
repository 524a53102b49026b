// The plot runs' host over the main window's own controls: the drawing list, the status
// line, the status bar with its progress bar, the copies and layouts boxes, the
// directory list and the window's stop request. While a run holds the user-interface
// thread, KeepAlive() lets the window paint and serves only the action button, through
// the same pump as the drawing search.
#pragma once

#include <QString>
#include <string>

#include "plot/RunHost.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;

namespace vx::search {
class DirListBox;
class DrawingListView;
class SearchPump;
}  // namespace vx::search

namespace vx::app {

class PanelStatusBar;

class WindowRunHost : public plot::RunHost {
public:
    struct Controls {
        search::DrawingListView* ListView1 = nullptr;
        QLabel* Status = nullptr;
        PanelStatusBar* sbStatusBar = nullptr;
        QProgressBar* ProgressBar1 = nullptr;
        QLineEdit* Text2 = nullptr;
        QCheckBox* chkLayouts = nullptr;
        search::DirListBox* Dir1 = nullptr;
    };
    // `stopRequested` is the window's StopRequested, shared with the search; `pump`
    // is the search's pump, which lets only the action button take input.
    WindowRunHost(const Controls& controls, bool& stopRequested, search::SearchPump& pump);

    int RowCount() override;
    std::string RowFileName(int row) override;
    std::string RowPath(int row) override;
    bool RowSelected(int row) override;
    void SetStatus(const std::string& text) override;
    void RepaintStatus() override;
    std::string PanelText() override;
    void SetPanelText(const std::string& text) override;
    void SetProgress(float value) override;
    std::string CopiesText() override;
    int LayoutsValue() override;
    std::string FolderPath() override;
    bool StopRequested() override { return stopRequested_; }
    void SetStopRequested(bool value) override { stopRequested_ = value; }
    void KeepAlive() override;

private:
    Controls c_;
    bool& stopRequested_;
    search::SearchPump& pump_;
};

// The status line's display of a text built with CR LF line breaks, whose file names
// are the file system's bytes.
QString StatusLineText(const std::string& text);

// The first status bar panel, which the runs save and restore.
inline constexpr int kStatePanel = 1;

}  // namespace vx::app
