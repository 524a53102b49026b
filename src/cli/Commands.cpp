#include "Commands.h"

namespace vx::cli {

// Each command's file defines its entry; add one line per command below.
extern const Command kListCommand;       // ListCommand.cpp
extern const Command kThumbnailCommand;  // ThumbnailCommand.cpp
Command InfoCommand();                   // InfoCommand.cpp

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands{
        kListCommand,
        kThumbnailCommand,
        InfoCommand(),
    };
    return commands;
}

}  // namespace vx::cli
