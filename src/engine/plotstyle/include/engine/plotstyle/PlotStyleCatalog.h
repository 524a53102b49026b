// The plot style tables a plot can use: the .ctb and .stb files of the plot styles folders
// (the program's own, then the user's, whose files replace the program's of the same name).
//
// The catalogue keeps the folders' listing and the tables it has read for as long as the
// folders stay as they were: each call lists the folders again (names, sizes and
// modification times only, see FolderStamp.h) and reads a table's file again only when
// that listing has changed since the table was read.
#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/FolderStamp.h"
#include "engine/plotstyle/PlotStyleTable.h"

namespace vx::engine::plotstyle {

class PlotStyleCatalog {
public:
    // Folders in rising precedence; missing or unreadable folders are skipped.
    explicit PlotStyleCatalog(std::vector<std::filesystem::path> folders);

    // File names of the tables (extension .ctb or .stb in any letter case), sorted without
    // regard to letter case, each name once.
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
    struct Listed {
        std::string name;  // as listed
        std::filesystem::path file;
    };
    // Lists the folders; forgets what was read when they changed. Called with mutex_ held.
    void Update() const;
    std::optional<std::filesystem::path> FindListed(std::string_view name) const;

    std::vector<std::filesystem::path> folders_;
    mutable std::mutex mutex_;
    mutable std::optional<std::vector<StampedFile>> stamp_;
    mutable std::map<std::string, Listed> listed_;  // by lower-cased name
    // The tables read under stamp_, by lower-cased name: the table, or why it is unusable.
    mutable std::map<std::string, std::variant<PlotStyleTable, std::string>> read_;
};

// True for a file name ending in .ctb or .stb (any letter case).
bool IsPlotStyleTableName(std::string_view fileName);

}  // namespace vx::engine::plotstyle
