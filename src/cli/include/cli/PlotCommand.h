// vormex-cli plot: the window's search and plot run from the command line. Exposed with
// the registry to connect through, for tests.
#pragma once

#include "cad/ClassRegistry.h"
#include "cli/Command.h"
#include "cli/ParallelRun.h"

namespace vx::cli {

// `workerBackEnds` gives each worker of a run with several jobs back ends of its own;
// without it, the run has one worker, on `registry`.
int RunPlot(const QStringList& args, CommandIo& io, const cad::ClassRegistry& registry,
            const WorkerBackEnds& workerBackEnds = {});

}  // namespace vx::cli
