// The table of vormex-cli's commands: one file per command, one line here each.
#pragma once

#include <vector>

#include "cli/Command.h"

namespace vx::cli {

const std::vector<Command>& AllCommands();

}  // namespace vx::cli
