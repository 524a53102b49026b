// The plot runs' host on a terminal: the drawing list is the rows the command was given,
// the status line and the progress bar become one progress line on standard error (on a
// terminal only), the copies and layouts boxes hold the command's options, and an
// interrupt (Ctrl-C) is the stop request.
//
// The host follows the run's fixed status texts ("Opening Drawing ...", "Printing ...",
// "Closing Drawing ...") to learn which drawing is under way, whether it was opened, and
// when it is done; before the run closes a drawing it asks the CAD application which
// external references of it are still not loaded. What the drawing's plots did comes from
// the engine's journal (another back end reports no output files), what failed from the
// run's own failures, which references were loaded from elsewhere from the run's reference
// reload. Each drawing's line is printed as it is done, so in the order of the run: from
// the last listed drawing to the first.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Command.h"
#include "PlotReport.h"
#include "cad/CadConnection.h"
#include "plot/PlotRuns.h"
#include "plot/RunHost.h"

namespace vx::cli {

class TerminalRunHost : public plot::RunHost {
public:
    struct Row {
        std::string name;  // File Name
        std::string path;  // Path, ending with a separator
    };

    TerminalRunHost(CommandIo& io, cad::CadConnection& connection, std::vector<Row> rows,
                    std::string copies, bool layouts, std::string folder);

    // The run whose drawings this host reports (its current drawing and failures).
    void Follow(const plot::PlotRuns& runs) { runs_ = &runs; }
    // Ends the report after the run: the last drawing done, drawings never reached
    // marked as such; returns the reports in the order of the drawing list.
    std::vector<DrawingReport> Finish();
    // The drawings done so far, in the order of the drawing list.
    std::vector<DrawingReport> DoneInListOrder() const;
    // Called as each drawing is done, just before its line is printed.
    std::function<void()> onDrawingDone;

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

    // RunHost
    int RowCount() override { return static_cast<int>(rows_.size()); }
    std::string RowFileName(int row) override;
    std::string RowPath(int row) override;
    bool RowSelected(int) override { return true; }
    void SetStatus(const std::string& text) override;
    void RepaintStatus() override {}
    std::string PanelText() override { return panel_; }
    void SetPanelText(const std::string& text) override { panel_ = text; }
    void SetProgress(float value) override;
    std::string CopiesText() override { return copies_; }
    int LayoutsValue() override { return layouts_ ? 1 : 0; }
    std::string FolderPath() override { return folder_; }
    bool StopRequested() override;
    void SetStopRequested(bool value) override;
    void KeepAlive() override {}

private:
    struct Current {
        std::string path;
        bool found = false;
        std::size_t plotMark = 0;
        std::size_t openMark = 0;
        std::size_t failureMark = 0;
        std::size_t relocationMark = 0;
        std::vector<MissingXref> missing;
        QElapsedTimer timer;
    };

    void Begin(const std::string& path);
    void ProbeReferences();
    void Done();
    DrawingReport Report(const Current& c) const;
    void PrintLine(const DrawingReport& d);
    void DrawProgress();
    void ClearProgress();

    CommandIo& io_;
    cad::CadConnection& connection_;
    const plot::PlotRuns* runs_ = nullptr;
    std::vector<Row> rows_;
    std::string copies_;
    bool layouts_;
    std::string folder_;
    std::string panel_;
    bool stop_ = false;
    float progress_ = 0;
    QString status_;
    bool progressShown_ = false;
    std::optional<Current> current_;
    std::vector<DrawingReport> done_;  // in the order of the run
};

}  // namespace vx::cli
