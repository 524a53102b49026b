// The plot runs over the main window's own controls: the request is built from the drawing
// list, the plot choices and the layouts box; the run's events reach the status line, the
// status bar with its progress bar and the pointer through RunDisplay. While a run holds
// the user-interface thread, KeepAlive() lets the window paint and serves only the action
// button, through the same pump as the drawing search: other input is dropped.
#pragma once

#include <QString>
#include <string>

#include "app/RunDisplay.h"

class QCheckBox;
class QLabel;
class QProgressBar;

namespace vx::search {
class DirListBox;
class DrawingListView;
class SearchPump;
}  // namespace vx::search

namespace vx::app {

class PanelStatusBar;

class WindowRunHost : public RunDisplay {
public:
    struct Controls {
        search::DrawingListView* ListView1 = nullptr;
        QLabel* Status = nullptr;
        PanelStatusBar* sbStatusBar = nullptr;
        QProgressBar* ProgressBar1 = nullptr;
        QCheckBox* chkLayouts = nullptr;
        search::DirListBox* Dir1 = nullptr;
    };
    // `stopRequested` is the window's StopRequested, shared with the search; `pump`
    // is the search's pump, which lets only the action button take input.
    WindowRunHost(const Controls& controls, bool& stopRequested, search::SearchPump& pump,
                  PointerService& pointer, MessageService& messages);

    // The request of a run of this shape: the list's rows from the last to the first, the
    // choices, and the layouts box (checked or grayed plots layouts).
    plot::PlotRequest Request(const plot::RunShape& shape, const plot::PlotChoices& choices);

    int RowCount() override;
    void SetStatus(const std::string& text) override;
    void RepaintStatus() override;
    std::string PanelText() override;
    void SetPanelText(const std::string& text) override;
    void SetProgress(float value) override;
    std::string FolderPath() override;
    bool StopFlag() override { return stopRequested_; }
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
