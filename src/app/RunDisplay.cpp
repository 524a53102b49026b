#include "app/RunDisplay.h"

namespace vx::app {

bool RunDisplay::StopRequested() {
    KeepAlive();
    return StopFlag();
}

void RunDisplay::RunStarted(const plot::PlotRequest& request) {
    // A stop left over from a search would end this run before its first drawing.
    SetStopRequested(false);
    shape_ = request.shape;
    savedPanel_ = PanelText();
}

void RunDisplay::Busy() {
    pointer_.SetPointer(Pointer::Hourglass);
}

void RunDisplay::Progress(int /*counter*/, int /*rows*/, float percentage) {
    SetPanelText("Processing ...");
    SetProgress(percentage);
}

void RunDisplay::InFolder() {
    SetStatus("Printing All Drawings in " + FolderPath() + " ...");
    RepaintStatus();
}

void RunDisplay::DrawingStarted(const std::string& path) {
    StrFileName = path;
    Status("Opening Drawing " + path + " ...");
}

void RunDisplay::PlotStarted(const std::string& path, bool layouts) {
    Status((layouts ? "Printing All Layouts of " : "Printing Model Space from Drawing ") + path +
           " ...");
}

void RunDisplay::DrawingClosing(const std::string& path) {
    Status("Closing Drawing " + path + " ...");
}

void RunDisplay::DrawingClosed(const std::string& /*path*/) {
    pointer_.SetPointer(Pointer::Default);
    if (shape_.restoreEachDrawing) {
        SetPanelText(savedPanel_);
        SetProgress(0);
        FilesFound();
    }
}

void RunDisplay::StopHonoured() {
    if (shape_.stopRestoresPointer) {
        pointer_.SetPointer(Pointer::Default);
    }
}

void RunDisplay::RunEnded(const plot::RunSummary& summary) {
    if (!summary.stopped) {
        if (shape_.countAtEnd) {
            FilesFound();
        }
        AtRest();
    }
    if (!summary.failures.empty()) {
        messages_.Show(plot::FailuresMessage(summary.failures));
    }
}

void RunDisplay::Status(const std::string& text) {
    SetStatus(text);
    KeepAlive();
}

void RunDisplay::FilesFound() {
    SetStatus(std::to_string(RowCount()) + "  Files Found  ");
}

// The status bar and the bar as they were before the run, and the normal pointer.
void RunDisplay::AtRest() {
    SetPanelText(savedPanel_);
    SetProgress(0);
    pointer_.SetPointer(Pointer::Default);
}

}  // namespace vx::app
