// Where the files Vormex ships with its programs lie: plot devices (plotters/), plot style
// tables (plotstyles/), stroke fonts (fonts/) and the help file (help.chm).
#pragma once

#include <filesystem>

namespace vx {

// The data folder of a program that lies in `programFolder`. Installed on a Unix-like system
// (<prefix>/bin/vormex) it is <prefix>/share/vormex, found from the program's own folder so
// that any prefix works without rebuilding; in a build folder, and always on Windows, the
// files lie beside the program.
std::filesystem::path ProgramDataFolder(const std::filesystem::path& programFolder);

// The same for the running program; empty before the application object exists.
std::filesystem::path ProgramDataFolder();

}  // namespace vx
