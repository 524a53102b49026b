#include "Commands.h"

namespace vx::cli {

// Each command's file defines its entry; add one line per command below.
Command InfoCommand();

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands{
        InfoCommand(),
    };
    return commands;
}

}  // namespace vx::cli
