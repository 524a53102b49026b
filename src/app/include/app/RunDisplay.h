// The window's side of a plot run: turns the plot service's events into the status line's
// texts, the first status-bar panel, the progress bar, the mouse pointer and the message
// that lists the drawings a run could not plot. The controls themselves are behind the
// view members below (WindowRunHost has the widgets, tests record).
#pragma once

#include <string>

#include "plot/PlotService.h"

namespace vx::app {

class RunDisplay : public plot::PlotEvents {
public:
    RunDisplay(PointerService& pointer, MessageService& messages)
        : pointer_(pointer), messages_(messages) {}

    // The full path of the drawing being processed.
    std::string StrFileName;

    // --- the view ---
    // ListView1's row count.
    virtual int RowCount() = 0;
    // The Status label's caption, and an immediate repaint of that label.
    virtual void SetStatus(const std::string& text) = 0;
    virtual void RepaintStatus() = 0;
    // The first panel of the status bar, and ProgressBar1 (0 to 100).
    virtual std::string PanelText() = 0;
    virtual void SetPanelText(const std::string& text) = 0;
    virtual void SetProgress(float value) = 0;
    // The folder of Dir1.
    virtual std::string FolderPath() = 0;
    // The window's StopRequested, shared with the search.
    virtual bool StopFlag() = 0;
    virtual void SetStopRequested(bool value) = 0;
    // Lets the window repaint and serves its action button only; other input that arrives
    // meanwhile is dropped.
    virtual void KeepAlive() = 0;

    // --- the events ---
    bool StopRequested() override;
    void RunStarted(const plot::PlotRequest& request) override;
    void Busy() override;
    void Progress(int counter, int rows, float percentage) override;
    void InFolder() override;
    void DrawingStarted(const std::string& path) override;
    void PlotStarted(const std::string& path, bool layouts) override;
    void DrawingClosing(const std::string& path) override;
    void DrawingClosed(const std::string& path) override;
    void StopHonoured() override;
    void RunEnded(const plot::RunSummary& summary) override;

private:
    void Status(const std::string& text);
    void FilesFound();
    void AtRest();

    PointerService& pointer_;
    MessageService& messages_;
    plot::RunShape shape_;
    std::string savedPanel_;
};

}  // namespace vx::app
