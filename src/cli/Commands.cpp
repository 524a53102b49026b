#include "cli/Commands.h"

namespace vx::cli {

// Each command's file defines its entry; add one line per command below.
extern const Command kListCommand;       // ListCommand.cpp
extern const Command kThumbnailCommand;  // ThumbnailCommand.cpp
Command InfoCommand();                   // InfoCommand.cpp
extern const Command kPlotCommand;       // PlotCommand.cpp
extern const Command kDevicesCommand;    // ListsCommands.cpp
extern const Command kPapersCommand;     // ListsCommands.cpp
extern const Command kStylesCommand;     // ListsCommands.cpp
extern const Command kCheckCommand;      // CheckCommand.cpp
extern const Command kReportCommand;     // ReportMerge.cpp

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands{
        kListCommand,   kThumbnailCommand, InfoCommand(), kPlotCommand,   kDevicesCommand,
        kPapersCommand, kStylesCommand,    kCheckCommand, kReportCommand,
    };
    return commands;
}

}  // namespace vx::cli
