// A plot run of several workers side by side on one machine (vormex-cli plot --jobs N).
// Each worker, in a thread of its own, connects a CAD session of its own (so an engine
// process of its own), makes its own plot service, and takes the next drawing from one
// queue in the run's order (from the last listed drawing to the first) until none is
// left, so that a slow drawing holds up one worker only. A line on standard output comes
// as each drawing is done, whole, never mixed with another; on a terminal the progress
// line counts every worker's drawings; an interrupt stops every worker, each giving up its
// drawing under way. The reports come back in the drawing list's order and read as those
// of a run with one worker; the list of drawings the run could not finish comes once, at
// the end, in the run's order.
#pragma once

#include <QString>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/PlotReport.h"
#include "plot/PlotService.h"

namespace vx::cad {
class ClassRegistry;
}

namespace vx::cli {

class CadSession;
class RunPrinter;

// The back ends of one worker (0 to N-1), made in the worker's thread: a registry that
// reaches a CAD application of the worker's own. Null when there is none to give.
using WorkerBackEnds = std::function<std::unique_ptr<cad::ClassRegistry>(int worker)>;

class ParallelRun {
public:
    enum class Outcome {
        Ran,      // the drawings were run: Reports() tells what became of each
        NoCad,    // no worker reached a CAD application
        Refused,  // a worker's check or beforeFirst refused the run
    };

    // `drawings` in the order of the drawing list; `workers` at least 1.
    ParallelRun(CommandIo& io, std::vector<std::string> drawings, int workers,
                WorkerBackEnds backEnds);
    ~ParallelRun();
    ParallelRun(const ParallelRun&) = delete;
    ParallelRun& operator=(const ParallelRun&) = delete;

    // Checks a worker's session once it is connected, in the worker's thread; a message
    // when the run cannot be made (written once to standard error, the run refused).
    std::function<std::optional<QString>(CadSession&)> check;
    // Called once every worker stands ready, before the first drawing; false refuses the run.
    std::function<bool()> beforeFirst;
    // Called as each drawing is done, just before its line is printed, under the run's lock:
    // one call at a time, whatever the worker. `row` is the drawing's place in the list.
    std::function<void(std::size_t row, const DrawingReport& report)> onDrawingDone;
    // Called under the run's lock as a worker takes a row (so in the run's order), and as
    // the row's drawing is done or given up.
    std::function<void(std::size_t row)> onRowTaken, onRowEnded;
    // When set, names the plot files instead of the request's namer, told the row of the
    // drawing: (row, drawing, layout), in the worker's thread.
    std::function<std::string(std::size_t, const std::string&, const std::string&)> plotFileName;
    // Called in each worker's thread before its first drawing, with the worker's own
    // printer and plot service (the place for settings of a worker's own).
    std::function<void(int worker, RunPrinter& printer, plot::PlotService& service)> prepareWorker;

    // Plots the drawings with the request's choices; its rows are not used.
    Outcome Run(const plot::PlotRequest& request);

    // The drawings done so far, in the list's order (from onDrawingDone, or after Run);
    // valid until the next drawing is done.
    std::vector<const DrawingReport*> DoneInListOrder() const;
    // After Run: every drawing in the list's order, those never reached marked so.
    const std::vector<DrawingReport>& Reports() const { return reports_; }
    // After Run: a worker's CAD application ended for good; an error of the CAD
    // application ended a worker's check or run (its message is out).
    bool CadEnded() const;
    bool CadFailed() const;

private:
    struct State;
    class Worker;

    void Work(int worker, const plot::PlotRequest& request);
    void Finish();

    CommandIo& io_;
    std::vector<std::string> drawings_;
    int workers_;
    WorkerBackEnds backEnds_;
    std::unique_ptr<State> state_;
    std::vector<DrawingReport> reports_;
};

}  // namespace vx::cli
