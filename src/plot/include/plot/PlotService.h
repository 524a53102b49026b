// The plot service: a run over a list of drawings, and the procedures that carry one
// drawing through the CAD application (open, ready, plot, close). A front end hands it a
// request and an event sink; the service makes its CAD calls in the fixed order of its
// procedures and tells the sink everything the run does. The window turns the events into
// its status texts, status bar, progress bar and pointer; vormex-cli prints them and
// writes its report from them. The service shows nothing itself but the plot-choice
// messages.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cad/CadConnection.h"
#include "plot/PlotLists.h"
#include "plot/XrefReload.h"
#include "ui/UserServices.h"

namespace vx::plot {

// The bookkeeping before each row of a run, whose order differs between the runs.
enum class RowStep {
    Busy,      // the run is busy (the window's hourglass)
    StopTest,  // a stop request ends the run here
    Progress,  // the counter moves on
    Folder,    // the run names the folder it works in
};

// How a run walks its rows and comes to rest. The window has three runs; they differ only
// in this data.
struct RunShape {
    // Only the rows the user selected are plotted; the others are looked at.
    bool selectedOnly = false;
    std::vector<RowStep> beforeRow;
    // A stop puts the default pointer back.
    bool stopRestoresPointer = true;
    // After each drawing the status bar, the bar and the count are put back, not only the
    // pointer.
    bool restoreEachDrawing = true;
    // The count of the list is shown when the run ends, even with no row.
    bool countAtEnd = false;
};

// "Print All &Drawing": every row.
extern const RunShape kAllListedRun;
// "Print &Selected Drawings": the selected rows; the bar moves over every row.
extern const RunShape kSelectedRun;
// "&Print All Drawings": every row, naming the folder; comes to rest only at the end.
extern const RunShape kAllDrawingsRun;

// One row that the run looks at.
struct RunRow {
    std::string path;  // the drawing's full path
    bool take = true;  // false: looked at (the progress moves) but not plotted
};

// Names the plot file of one plot: (the drawing's full path, the layout's name or "" for
// model space) -> the file name handed to the CAD application. Throws PlotFileRefused when
// the plot may not be written anywhere: that plot is then not made.
using PlotFileNamer = std::function<std::string(const std::string&, const std::string&)>;

class PlotFileRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PlotRequest {
    std::vector<RunRow> rows;  // in run order: the list's last row first
    PlotChoices choices;       // device, paper, style table and copies (> 1 sets them)
    bool layouts = false;      // plot the paper-space layouts of drawings that have some
    RunShape shape = kAllListedRun;
    // Without it a plot file is named after the drawing and lands beside it. With it a
    // plot whose file cannot be written where it names is not sent to the device instead.
    PlotFileNamer plotFileName;
    // When set, the rows instead of `rows`: each taken as the run comes to it, after the
    // steps before a row, until it gives none (runs side by side that share one list).
    // The steps then come once more before the end, and the progress counts the rows
    // taken.
    std::function<std::optional<RunRow>()> nextRow = {};
};

// A drawing whose processing an error of the CAD application ended.
struct FailedDrawing {
    std::string path;
    std::string description;
};

struct RunSummary {
    int rows = 0;          // rows in the request
    int drawings = 0;      // drawings the run started
    bool stopped = false;  // a stop ended the run
    std::vector<FailedDrawing> failures;
};

// What a front end learns of a run, in the order it happens. Every event has a default
// that does nothing.
class PlotEvents {
public:
    virtual ~PlotEvents() = default;

    // The stop query, asked at the run's stop tests, before each layout and during long
    // folder searches. The window serves its action button here (which sets the stop
    // request) and lets itself repaint; any other input arriving during a run is dropped,
    // not kept for later: a click during a run must not replay once it has ended.
    virtual bool StopRequested() = 0;

    virtual void RunStarted(const PlotRequest& /*request*/) {}
    virtual void Busy() {}
    virtual void Progress(int /*counter*/, int /*rows*/, float /*percentage*/) {}
    virtual void InFolder() {}
    virtual void DrawingStarted(const std::string& /*path*/) {}
    // The drawing was opened; `warnings` is the damage the CAD application worked around.
    virtual void DrawingOpened(const std::string& /*path*/, const cad::Strings& /*warnings*/) {}
    // The drawing is not there to plot: no such file, or the CAD application did not open
    // it.
    virtual void DrawingNotOpened(const std::string& /*path*/, const std::string& /*reason*/) {}
    virtual void PlotStarted(const std::string& /*path*/, bool /*layouts*/) {}
    // One plot job: what the CAD application told of it, or what was asked of it.
    virtual void LayoutPlotted(const std::string& /*path*/, const cad::PlotOutcome& /*plot*/) {}
    // An external reference re-pointed to a file found elsewhere than its stored path.
    virtual void ReferenceFound(const std::string& /*path*/,
                                const XrefReload::Relocation& /*found*/) {}
    virtual void DrawingFailed(const std::string& /*path*/, const std::string& /*description*/) {}
    // The drawing is about to be closed (it is still the active one when it was opened).
    virtual void DrawingClosing(const std::string& /*path*/) {}
    virtual void DrawingClosed(const std::string& /*path*/) {}
    virtual void StopHonoured() {}
    virtual void RunEnded(const RunSummary& /*summary*/) {}
};

// True for a paper-space layout with nothing on it to plot: the run counts and plots only
// the others. Asks the CAD application; whatever it cannot answer counts as something.
bool IsBlankSheet(cad::AcadDocument& doc, cad::AcadLayout& layout);

class PlotService {
public:
    PlotService(cad::CadConnection& connection, MessageService& messages);
    PlotService(const PlotService&) = delete;
    PlotService& operator=(const PlotService&) = delete;

    // Checks the plot choices (showing the message of the first that is not made) and,
    // when they are made, plots the rows. False when the check failed or a run is under
    // way already. A CAD failure that cannot be skipped ends the run and is thrown.
    bool Run(const PlotRequest& request, PlotEvents& events);
    bool Running() const { return running_; }

    // --- one drawing; the choices and the sink are those of the run, or set below ---
    // Opens the drawing read-only; false when there is no such file.
    bool OpenDrawing(const std::string& path);
    // Finds the opened drawing and readies it; with doActivate makes it the active one.
    bool ActivateDrawing(const std::string& path, bool doActivate);
    // Closes the active drawing without saving, unless that would lose the user's work.
    bool CloseDrawing();
    bool CheckPlotChoices();
    void PlotModelSpace();
    // The number of layouts besides model space that have something to plot.
    std::int32_t GetLayouts();
    void SetLayoutsToPlot();
    void ReloadXrefs() { xrefs_.ReloadXrefs(); }
    XrefReload& Xrefs() { return xrefs_; }

    // The choices the procedures use (a run sets them from its request).
    PlotChoices choices;
    bool plotLayouts = false;
    PlotFileNamer plotFileName;
    // The full path of the drawing being processed.
    std::string StrFileName;
    // The sink of the procedures called on their own (a run sets its own).
    void SetEvents(PlotEvents* events) { events_ = events; }

    // Description of the error for a drawing that is open with the user's unsaved changes.
    static constexpr char kUnsavedCopyOpen[] =
        "The drawing is open in the CAD application with unsaved changes; it was left as it is";

private:
    class RunScope;

    void ProcessRow(const std::string& path);
    void DiscardAfterFailure(const std::string& path);
    bool Stop();
    bool Plotted(cad::AcadDocument& doc, bool toFile, const std::string& layout,
                 const std::string& file);
    // The file of a plot of the drawing being processed; nothing (the refusal told to the
    // sink) when the namer refuses it.
    std::optional<std::string> NamedPlotFile(const std::string& layout,
                                             const std::string& defaultName);
    void ReportRelocations();
    cad::Ref<cad::AcadApplication> App();

    cad::CadConnection& connection_;
    MessageService& messages_;
    XrefReload xrefs_;
    PlotEvents* events_ = nullptr;

    bool running_ = false;
    bool openedThisRow_ = false;
    std::string openError_;
    std::size_t relocationsSeen_ = 0;
    std::vector<FailedDrawing> failures_;
};

// The message that lists the drawings a run could not finish.
Message FailuresMessage(const std::vector<FailedDrawing>& failures);
inline constexpr char kFailuresTitle[] = "Drawings Not Plotted";

// The copies box: backspace and the digits pass; any other key is dropped (with a beep).
bool CopiesKeyPasses(int keyAscii);
// A positive whole number of copies up to 32767 (blanks around it allowed); nothing for
// any other text, which keeps the count as it was.
std::optional<std::int16_t> CopiesFromText(const std::string& text);

}  // namespace vx::plot
