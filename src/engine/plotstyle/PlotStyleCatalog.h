// The plot style tables a plot can use: the .ctb and .stb files of the plot styles folders
// (the program's own, then the user's, whose files replace the program's of the same name).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/plotstyle/PlotStyleTable.h"

namespace vx::engine::plotstyle {

class PlotStyleCatalog {
public:
    // Folders in rising precedence; missing or unreadable folders are skipped.
    explicit PlotStyleCatalog(std::vector<std::filesystem::path> folders);

    // File names of the tables (extension .ctb or .stb in any letter case), sorted without
    // regard to letter case, each name once. Read from the folders on every call.
    std::vector<std::string> Names() const;

    // The file of a table by name (letter case ignored), the last folder winning.
    std::optional<std::filesystem::path> Find(std::string_view name) const;

    // Reads the named table. Throws PlotStyleError when there is no such table or it is
    // damaged; the description names the table.
    PlotStyleTable Load(std::string_view name) const;

    // The same for a plot, which goes on without a table it cannot use: nullopt, and
    // `problem` set to the description to report ("" or "None" asks for no table and is
    // no problem).
    std::optional<PlotStyleTable> LoadForPlot(std::string_view name, std::string& problem) const;

    const std::vector<std::filesystem::path>& Folders() const { return folders_; }

private:
    std::vector<std::filesystem::path> folders_;
};

// True for a file name ending in .ctb or .stb (any letter case).
bool IsPlotStyleTableName(std::string_view fileName);

}  // namespace vx::engine::plotstyle
