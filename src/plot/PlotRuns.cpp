#include "PlotRuns.h"

#include <cmath>

#include "PlotChoiceCheck.h"
#include "PlotPaths.h"

namespace vx::plot {

namespace {

constexpr char kProcessing[] = "Processing ...";

}  // namespace

// Marks a run as under way for its whole length, whatever way it ends.
class PlotRuns::RunScope {
public:
    explicit RunScope(PlotRuns& runs) : runs_(runs) {
        runs_.running_ = true;
        runs_.failures_.clear();
        // A stop left over from a search would end this run before its first drawing.
        runs_.host_.SetStopRequested(false);
        runs_.rowCount_ = runs_.host_.RowCount();
        runs_.xrefs_.StartRun();
    }
    ~RunScope() {
        runs_.xrefs_.EndRun();
        runs_.running_ = false;
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    PlotRuns& runs_;
};

PlotRuns::PlotRuns(cad::CadConnection& connection, cad::PlotChoices& choices, RunHost& host,
                   PointerService& pointer, MessageService& messages, BeepService& beep)
    : connection_(connection),
      choices_(choices),
      host_(host),
      pointer_(pointer),
      messages_(messages),
      beep_(beep),
      xrefs_(connection) {
    // A long folder search keeps the window painting and ends on the stop button.
    xrefs_.Poll = [this] {
        if (!running_) {
            return false;
        }
        host_.KeepAlive();
        return host_.StopRequested();
    };
}

void PlotRuns::Command2_Click() {
    if (running_ || !CheckPlotChoices()) {
        return;
    }
    RunScope run(*this);
    const std::string saved = host_.PanelText();
    int counter = 0;
    for (int row = rowCount_ - 1; row >= 0; --row) {
        pointer_.SetPointer(Pointer::Hourglass);
        host_.KeepAlive();
        if (host_.StopRequested()) {
            pointer_.SetPointer(Pointer::Default);
            ReportFailures();
            return;
        }
        ++counter;
        const float percentage = Percentage(counter);
        host_.SetPanelText(kProcessing);
        host_.SetProgress(percentage);
        ProcessRow(row);
        RowDone(saved);
    }
    EndRun(saved);
}

void PlotRuns::mnuPrintMultiple_Click() {
    if (running_ || !CheckPlotChoices()) {
        return;
    }
    RunScope run(*this);
    const std::string saved = host_.PanelText();
    int counter = 0;
    for (int row = rowCount_ - 1; row >= 0; --row) {
        // The bar shows how far the scan of the list has come, selected rows or not.
        ++counter;
        const float percentage = Percentage(counter);
        host_.SetPanelText(kProcessing);
        host_.SetProgress(percentage);
        pointer_.SetPointer(Pointer::Hourglass);
        host_.KeepAlive();
        if (host_.StopRequested()) {
            pointer_.SetPointer(Pointer::Default);
            ReportFailures();
            return;
        }
        if (!host_.RowSelected(row)) {
            continue;
        }
        ProcessRow(row);
        RowDone(saved);
    }
    EndRun(saved);
}

void PlotRuns::mnuAllPrint_Click() {
    if (running_ || !CheckPlotChoices()) {
        return;
    }
    RunScope run(*this);
    const std::string saved = host_.PanelText();
    int counter = 0;
    for (int row = rowCount_ - 1; row >= 0; --row) {
        ++counter;
        host_.KeepAlive();
        if (host_.StopRequested()) {
            ReportFailures();
            return;
        }
        pointer_.SetPointer(Pointer::Hourglass);
        const float percentage = Percentage(counter);
        host_.SetPanelText(kProcessing);
        host_.SetProgress(percentage);
        host_.SetStatus("Printing All Drawings in " + host_.FolderPath() + " ...");
        host_.RepaintStatus();
        ProcessRow(row);
        pointer_.SetPointer(Pointer::Default);
    }
    FilesFound();
    EndRun(saved);
}

// The per-drawing sequence, the same in every run.
void PlotRuns::ProcessRow(int row) {
    StrFileName = host_.RowPath(row) + host_.RowFileName(row);
    host_.SetStatus("Opening Drawing " + StrFileName + " ...");
    host_.KeepAlive();
    openedThisRow_ = false;
    try {
        OpenDrawing(StrFileName);
        host_.KeepAlive();
        if (ActivateDrawing(StrFileName, true)) {
            host_.KeepAlive();
            const std::int32_t layouts = GetLayouts();
            // The box may be checked (1) or grayed (2): any bit of it with the truth
            // value of "has paper-space layouts".
            if ((host_.LayoutsValue() & (layouts > 0 ? -1 : 0)) != 0) {
                host_.SetStatus("Printing All Layouts of " + StrFileName + " ...");
                host_.KeepAlive();
                SetLayoutsToPlot();
            } else {
                host_.SetStatus("Printing Model Space from Drawing " + StrFileName + " ...");
                host_.KeepAlive();
                PlotModelSpace();
            }
        }
        host_.SetStatus("Closing Drawing " + StrFileName + " ...");
        host_.KeepAlive();
        CloseDrawing();
    } catch (const cad::CadError& e) {
        // The run goes on with the next row; the failures are listed at its end.
        failures_.push_back({StrFileName, e.Description()});
        host_.SetStatus("Closing Drawing " + StrFileName + " ...");
        DiscardAfterFailure(StrFileName);
    }
}

// Closes, without saving, the copy of `path` that this row opened, if it is still open.
void PlotRuns::DiscardAfterFailure(const std::string& path) {
    if (!openedThisRow_) {
        return;
    }
    try {
        auto docs = App()->Documents();
        const std::string name = LastComponent(path);
        // The copy opened last is the newest in the collection.
        for (std::int32_t i = docs->Count() - 1; i >= 0; --i) {
            auto doc = docs->Item(i);
            if (doc->Name() == name && IsPathOf(doc->Path(), name, path) &&
                connection_.OpenedHere(*doc)) {
                connection_.CloseWithoutSaving(*doc);
                return;
            }
        }
    } catch (const cad::CadError&) {
        // The drawing stays open; the exit closes the drawings the program opened.
    }
}

void PlotRuns::ReportFailures() {
    if (failures_.empty()) {
        return;
    }
    Message m;
    m.icon = MsgIcon::Exclamation;
    m.buttons = MsgButtons::Ok;
    m.title = kFailuresTitle;
    m.text = "These drawings could not be plotted:";
    for (const auto& f : failures_) {
        m.text += std::string(kCrLf) + f.path + ": " + f.description;
    }
    messages_.Show(m);
}

// After a row of the first two runs: the normal pointer, the panel and the bar as they
// were, the count of the list.
void PlotRuns::RowDone(const std::string& savedPanel) {
    pointer_.SetPointer(Pointer::Default);
    host_.SetPanelText(savedPanel);
    host_.SetProgress(0);
    FilesFound();
}

// The end of every run: the panel and the bar as they were, the normal pointer, then the
// drawings that failed.
void PlotRuns::EndRun(const std::string& savedPanel) {
    host_.SetPanelText(savedPanel);
    host_.SetProgress(0);
    pointer_.SetPointer(Pointer::Default);
    ReportFailures();
}

void PlotRuns::FilesFound() {
    host_.SetStatus(std::to_string(host_.RowCount()) + "  Files Found  ");
}

float PlotRuns::Percentage(int counter) const {
    return static_cast<float>(std::floor(static_cast<double>(counter) / rowCount_ * 100.0));
}

void PlotRuns::Text2_KeyPress(int& keyAscii) {
    constexpr int kBackspace = 8;
    if (keyAscii == kBackspace || (keyAscii >= '0' && keyAscii <= '9')) {
        return;
    }
    keyAscii = 0;
    beep_.Beep();
}

void PlotRuns::Text2_Change() {
    const std::string text = host_.CopiesText();
    // Blanks around the number are allowed; anything else leaves the count as it was.
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return;
    }
    const auto last = text.find_last_not_of(' ');
    long value = 0;
    for (std::size_t i = first; i <= last; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return;
        }
        value = value * 10 + (c - '0');
        if (value > INT16_MAX) {
            return;
        }
    }
    if (value > 0) {
        choices_.NumOfCopies = static_cast<std::int16_t>(value);
    }
}

bool PlotRuns::CheckPlotChoices() {
    return vx::plot::CheckPlotChoices(choices_, messages_);
}

cad::Ref<cad::AcadApplication> PlotRuns::App() {
    return connection_.CadApp->Application();
}

}  // namespace vx::plot
