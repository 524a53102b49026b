#include "plot/PlotService.h"

#include <cmath>

#include "plot/PlotChoiceCheck.h"
#include "plot/PlotPaths.h"

namespace vx::plot {

const RunShape kAllListedRun{
    false, {RowStep::Busy, RowStep::StopTest, RowStep::Progress}, true, true, false};
const RunShape kSelectedRun{
    true, {RowStep::Progress, RowStep::Busy, RowStep::StopTest}, true, true, false};
const RunShape kAllDrawingsRun{
    false,
    {RowStep::StopTest, RowStep::Busy, RowStep::Progress, RowStep::Folder},
    false,
    false,
    true};

// Marks a run as under way for its whole length, whatever way it ends.
class PlotService::RunScope {
public:
    RunScope(PlotService& service, PlotEvents& events) : s_(service), previous_(s_.events_) {
        s_.running_ = true;
        s_.events_ = &events;
        s_.failures_.clear();
        s_.relocationsSeen_ = s_.xrefs_.Relocations().size();
        s_.xrefs_.StartRun();
    }
    ~RunScope() {
        s_.xrefs_.EndRun();
        s_.events_ = previous_;
        s_.running_ = false;
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    PlotService& s_;
    PlotEvents* previous_;
};

namespace {

// Events of procedures called outside a run go nowhere.
class NoEvents : public PlotEvents {
public:
    bool StopRequested() override { return false; }
};
NoEvents noEvents;

}  // namespace

PlotService::PlotService(cad::CadConnection& connection, MessageService& messages)
    : connection_(connection), messages_(messages), xrefs_(connection), events_(&noEvents) {
    // A long folder search keeps the front end alive and ends on a stop.
    xrefs_.Poll = [this] { return running_ && Stop(); };
}

bool PlotService::Stop() {
    return events_->StopRequested();
}

bool PlotService::Run(const PlotRequest& request, PlotEvents& events) {
    if (running_) {
        return false;
    }
    choices = request.choices;
    plotLayouts = request.layouts;
    plotFileName = request.plotFileName;
    if (!CheckPlotChoices()) {
        return false;
    }
    RunScope scope(*this, events);
    events.RunStarted(request);
    RunSummary summary;
    summary.rows = static_cast<int>(request.rows.size());
    int counter = 0;
    for (std::size_t i = 0; request.nextRow || i < request.rows.size(); ++i) {
        for (const RowStep step : request.shape.beforeRow) {
            switch (step) {
                case RowStep::Busy:
                    events.Busy();
                    break;
                case RowStep::StopTest:
                    if (Stop()) {
                        events.StopHonoured();
                        summary.stopped = true;
                        summary.failures = failures_;
                        events.RunEnded(summary);
                        return true;
                    }
                    break;
                case RowStep::Progress: {
                    ++counter;
                    const int rows = request.nextRow ? counter : summary.rows;
                    events.Progress(counter, rows,
                                    static_cast<float>(
                                        std::floor(static_cast<double>(counter) / rows * 100.0)));
                    break;
                }
                case RowStep::Folder:
                    events.InFolder();
                    break;
            }
        }
        const std::optional<RunRow> row =
            request.nextRow ? request.nextRow() : std::optional(request.rows[i]);
        if (!row) {
            break;
        }
        if (!row->take) {
            continue;
        }
        ++summary.drawings;
        ProcessRow(row->path);
    }
    summary.failures = failures_;
    events.RunEnded(summary);
    return true;
}

// The per-drawing sequence, the same in every run.
void PlotService::ProcessRow(const std::string& path) {
    StrFileName = path;
    events_->DrawingStarted(path);
    openedThisRow_ = false;
    openError_.clear();
    try {
        const bool exists = OpenDrawing(path);
        if (ActivateDrawing(path, true)) {
            const std::int32_t layouts = GetLayouts();
            const bool sheets = plotLayouts && layouts > 0;
            events_->PlotStarted(path, sheets);
            if (sheets) {
                SetLayoutsToPlot();
            } else {
                PlotModelSpace();
            }
        } else {
            events_->DrawingNotOpened(path, !exists ? UnlistedReason(path)
                                            : !openError_.empty()
                                                ? openError_
                                                : "the CAD application did not open it");
        }
        ReportRelocations();
        events_->DrawingClosing(path);
        CloseDrawing();
        events_->DrawingClosed(path);
    } catch (const cad::CadError& e) {
        // The run goes on with the next row; the failures are listed at its end.
        failures_.push_back({path, e.Description()});
        ReportRelocations();
        events_->DrawingFailed(path, e.Description());
        events_->DrawingClosing(path);
        DiscardAfterFailure(path);
        events_->DrawingClosed(path);
    }
}

void PlotService::ReportRelocations() {
    const auto& moved = xrefs_.Relocations();
    for (; relocationsSeen_ < moved.size(); ++relocationsSeen_) {
        events_->ReferenceFound(StrFileName, moved[relocationsSeen_]);
    }
}

// Closes, without saving, the copy of `path` that this row opened, if it is still open.
void PlotService::DiscardAfterFailure(const std::string& path) {
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

bool PlotService::CheckPlotChoices() {
    return vx::plot::CheckPlotChoices(choices, messages_);
}

cad::Ref<cad::AcadApplication> PlotService::App() {
    return connection_.CadApp->Application();
}

Message FailuresMessage(const std::vector<FailedDrawing>& failures) {
    Message m;
    m.icon = MsgIcon::Exclamation;
    m.buttons = MsgButtons::Ok;
    m.title = kFailuresTitle;
    m.text = "These drawings could not be plotted:";
    for (const auto& f : failures) {
        m.text += std::string(kCrLf) + f.path + ": " + f.description;
    }
    return m;
}

bool CopiesKeyPasses(int keyAscii) {
    constexpr int kBackspace = 8;
    return keyAscii == kBackspace || (keyAscii >= '0' && keyAscii <= '9');
}

std::optional<std::int16_t> CopiesFromText(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return std::nullopt;
    }
    const auto last = text.find_last_not_of(' ');
    long value = 0;
    for (std::size_t i = first; i <= last; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > INT16_MAX) {
            return std::nullopt;
        }
    }
    if (value <= 0) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(value);
}

}  // namespace vx::plot
