// What a plot run needs of the main window (or of vormex-cli): the drawing list, the
// status line, the status bar with its progress bar, the two option boxes, the folder
// and the stop request. The mouse pointer, message boxes and the beep are the
// services of UserServices.h.
#pragma once

#include <string>

namespace vx::plot {

class RunHost {
public:
    virtual ~RunHost() = default;

    // ListView1. Rows are counted from 0 to RowCount() - 1; the run goes from the last
    // row to the first. The texts are the file system's bytes (UTF-8 on POSIX).
    virtual int RowCount() = 0;
    // The "File Name" column: the file name without folder.
    virtual std::string RowFileName(int row) = 0;
    // The "Path" column: the folder, ending with a separator.
    virtual std::string RowPath(int row) = 0;
    virtual bool RowSelected(int row) = 0;

    // The Status label's caption, and an immediate repaint of that label.
    virtual void SetStatus(const std::string& text) = 0;
    virtual void RepaintStatus() = 0;

    // The first panel of the status bar.
    virtual std::string PanelText() = 0;
    virtual void SetPanelText(const std::string& text) = 0;
    // ProgressBar1, 0 to 100.
    virtual void SetProgress(float value) = 0;

    // The copies box Text2.
    virtual std::string CopiesText() = 0;
    // The "Print Layouts" box: 0 unchecked, 1 checked, 2 grayed.
    virtual int LayoutsValue() = 0;
    // The folder of Dir1.
    virtual std::string FolderPath() = 0;

    // StopRequested, shared with the search.
    virtual bool StopRequested() = 0;
    virtual void SetStopRequested(bool value) = 0;

    // Lets the window repaint and handle its action button (which sets the stop
    // request) while a run holds the user-interface thread. Every other input waits
    // until the run has ended.
    virtual void KeepAlive() = 0;
};

}  // namespace vx::plot
