// The plot runs of the main window: the three commands that plot the listed drawings,
// the procedures that carry one drawing through the CAD application, and the copies
// box. One object per window; it holds the window's run state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "RunHost.h"
#include "XrefReload.h"
#include "cad/CadConnection.h"
#include "cad/PlotLists.h"
#include "cad/UserServices.h"

namespace vx::plot {

// A drawing whose processing was ended by an error of the CAD application.
struct FailedDrawing {
    std::string path;
    std::string description;
};

// True for a paper-space layout with nothing on it to plot: the run counts and plots only
// the others. Asks the CAD application; whatever it cannot answer counts as something.
bool IsBlankSheet(cad::AcadDocument& doc, cad::AcadLayout& layout);

class PlotRuns {
public:
    PlotRuns(cad::CadConnection& connection, cad::PlotChoices& choices, RunHost& host,
             PointerService& pointer, MessageService& messages, BeepService& beep);
    PlotRuns(const PlotRuns&) = delete;
    PlotRuns& operator=(const PlotRuns&) = delete;

    // --- the runs ---
    // "Print All &Drawing": every row.
    void Command2_Click();
    // "Print &Selected Drawings": the selected rows.
    void mnuPrintMultiple_Click();
    // "&Print All Drawings": every row, naming the folder.
    void mnuAllPrint_Click();
    // True while a run is under way; a command that arrives meanwhile is ignored.
    bool Running() const { return running_; }
    // The drawings that the last run could not finish, in the order met.
    const std::vector<FailedDrawing>& Failures() const { return failures_; }

    // --- the copies box ---
    // Lets backspace and the digits through; any other key is dropped (set to 0) with
    // a beep.
    void Text2_KeyPress(int& keyAscii);
    // Takes a positive whole number of copies from the box; keeps the last one
    // otherwise.
    void Text2_Change();

    // --- one drawing ---
    // Opens the drawing read-only; false when there is no such file.
    bool OpenDrawing(const std::string& path);
    // Finds the opened drawing and readies it; with doActivate makes it the active one.
    bool ActivateDrawing(const std::string& path, bool doActivate);
    // Closes the active drawing without saving, unless that would lose the user's work.
    bool CloseDrawing();

    // --- plotting the active drawing ---
    bool CheckPlotChoices();
    void PlotModelSpace();
    // The number of layouts besides model space.
    std::int32_t GetLayouts();
    void SetLayoutsToPlot();
    void ReloadXrefs() { xrefs_.ReloadXrefs(); }
    XrefReload& Xrefs() { return xrefs_; }
    const XrefReload& Xrefs() const { return xrefs_; }

    // The full path of the drawing being processed.
    std::string StrFileName;

    // Title of the message that lists the drawings a run could not finish.
    static constexpr char kFailuresTitle[] = "Drawings Not Plotted";
    // Description of the error for a drawing that is open with the user's unsaved changes.
    static constexpr char kUnsavedCopyOpen[] =
        "The drawing is open in the CAD application with unsaved changes; it was left as it is";

private:
    enum class Rows { All, Selected };
    class RunScope;

    void ProcessRow(int row);
    void DiscardAfterFailure(const std::string& path);
    void ReportFailures();
    void RowDone(const std::string& savedPanel);
    void EndRun(const std::string& savedPanel);
    void FilesFound();
    float Percentage(int counter) const;
    cad::Ref<cad::AcadApplication> App();

    cad::CadConnection& connection_;
    cad::PlotChoices& choices_;
    RunHost& host_;
    PointerService& pointer_;
    MessageService& messages_;
    BeepService& beep_;
    XrefReload xrefs_;

    bool running_ = false;
    int rowCount_ = 0;
    bool openedThisRow_ = false;
    std::vector<FailedDrawing> failures_;
};

}  // namespace vx::plot
