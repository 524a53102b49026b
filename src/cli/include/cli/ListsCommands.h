// vormex-cli devices | papers DEVICE | styles: the names the window's plot device, paper
// and plot style table lists are filled from, one per line, asked of the CAD application
// as the window asks. Exposed with the registry to ask, for tests.
#pragma once

#include "cad/ClassRegistry.h"
#include "cli/Command.h"

namespace vx::cli {

int RunDevices(const QStringList& args, CommandIo& io, const cad::ClassRegistry& registry);
int RunPapers(const QStringList& args, CommandIo& io, const cad::ClassRegistry& registry);
int RunStyles(const QStringList& args, CommandIo& io, const cad::ClassRegistry& registry);

}  // namespace vx::cli
