// vormex-cli plot: the window's search and plot run from the command line. Exposed with
// the registry to connect through, for tests.
#pragma once

#include "Command.h"
#include "cad/ClassRegistry.h"

namespace vx::cli {

int RunPlot(const QStringList& args, CommandIo& io, const cad::ClassRegistry& registry);

}  // namespace vx::cli
