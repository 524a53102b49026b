// The plot run's events on a terminal: one line per drawing on standard output as it is
// done (so in the order of the run: from the last listed drawing to the first), a progress
// line on standard error (on a terminal only), and the report of each drawing built from
// the events: what its plots did as the CAD application told them, what failed, which
// references were found elsewhere. Before the run closes a drawing the printer asks the
// CAD application which external references of it are still not loaded, and which files
// all of them name. An interrupt
// (Ctrl-C) is the stop request.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cad/CadConnection.h"
#include "cli/Command.h"
#include "cli/PlotReport.h"
#include "plot/PlotService.h"

namespace vx::cli {

// A drawing's line on standard output: path, result, output files, tab-separated.
void WriteDrawingLine(CommandIo& io, const DrawingReport& d);
// The progress line: "[ 42% 7/16] " and the status, its middle cut to the terminal's width.
QString ProgressText(int percent, std::size_t counter, std::size_t total, const QString& status);

class RunPrinter : public plot::PlotEvents {
public:
    // `drawings` in the order of the drawing list; `messages` shows the list of the drawings
    // a run could not finish, at its end.
    RunPrinter(CommandIo& io, cad::CadConnection& connection, MessageService& messages,
               std::vector<std::string> drawings);

    // Ends the report after the run: the last drawing done, drawings never reached marked
    // as such; returns the reports in the order of the drawing list.
    std::vector<DrawingReport> Finish();
    // The drawings done so far, in the order of the drawing list (the run goes from its
    // last drawing to its first); valid until the next drawing is done.
    std::vector<const DrawingReport*> DoneInListOrder() const;
    // Called as each drawing is done, just before its line is printed.
    std::function<void()> onDrawingDone;
    // Called with each drawing's report as it is done, before onDrawingDone.
    std::function<void(const DrawingReport&)> onDrawingReport;
    // The renamed plot files of a drawing, asked as it is done.
    std::function<std::vector<std::string>(const std::string&)> renamedOf;
    // Told each reference file found elsewhere, before the drawing is plotted.
    std::function<void(const std::string&)> onReferenceFound;
    // The drawings done so far, in the order of the run.
    const std::vector<DrawingReport>& DoneInRunOrder() const { return done_; }
    // Called with each status text ("Opening Drawing ...") as the run comes to it.
    std::function<void(const QString&)> onStatus;

    // Makes an interrupt the stop request while the object lives.
    class InterruptAsStop {
    public:
        InterruptAsStop();
        ~InterruptAsStop();
        InterruptAsStop(const InterruptAsStop&) = delete;
        InterruptAsStop& operator=(const InterruptAsStop&) = delete;

    private:
        void (*previous_)(int);
    };

    bool StopRequested() override;
    void Progress(int counter, int rows, float percentage) override;
    void DrawingStarted(const std::string& path) override;
    void DrawingOpened(const std::string& path, const cad::Strings& warnings) override;
    void DrawingNotOpened(const std::string& path, const std::string& reason) override;
    void PlotStarted(const std::string& path, bool layouts) override;
    void LayoutPlotted(const std::string& path, const cad::PlotOutcome& plot) override;
    void ReferenceFound(const std::string& path,
                        const plot::XrefReload::Relocation& found) override;
    void DrawingFailed(const std::string& path, const std::string& description) override;
    void DrawingClosing(const std::string& path) override;
    void DrawingClosed(const std::string& path) override;
    void StopHonoured() override { stop_ = true; }
    void RunEnded(const plot::RunSummary& summary) override;

private:
    struct Current {
        std::string path;
        bool found = false;
        std::optional<std::string> notOpened;
        std::optional<std::string> failure;
        cad::Strings readWarnings;
        std::vector<cad::PlotOutcome> plots;
        std::vector<FoundXref> foundXrefs;
        std::vector<MissingXref> missing;
        std::vector<std::string> references;
        QElapsedTimer timer;
    };

    void Status(const std::string& text);
    void ProbeReferences();
    void Done();
    DrawingReport Report(const Current& c) const;
    void PrintLine(const DrawingReport& d);
    void DrawProgress();
    void ClearProgress();

    CommandIo& io_;
    cad::CadConnection& connection_;
    MessageService& messages_;
    std::vector<std::string> drawings_;
    bool stop_ = false;
    float progress_ = 0;
    QString status_;
    bool progressShown_ = false;
    std::optional<Current> current_;
    std::vector<DrawingReport> done_;  // in the order of the run
};

}  // namespace vx::cli
