#include "engine/plotstyle/PlotStyleCatalog.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "engine/Strings.h"
#include "engine/plotstyle/PlotStyleFile.h"

namespace vx::engine::plotstyle {

namespace {

// Lower-cased name -> (shown name, file), later folders replacing earlier ones.
std::map<std::string, std::pair<std::string, std::filesystem::path>> Scan(
    const std::vector<std::filesystem::path>& folders) {
    std::map<std::string, std::pair<std::string, std::filesystem::path>> found;
    for (const auto& folder : folders) {
        std::error_code ec;
        std::filesystem::directory_iterator it(folder, ec);
        if (ec) {
            continue;
        }
        for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
            if (ec) {
                break;
            }
            std::error_code typeError;
            if (!it->is_regular_file(typeError)) {
                continue;
            }
            const std::string name = it->path().filename().string();
            if (IsPlotStyleTableName(name)) {
                found[Lower(name)] = {name, it->path()};
            }
        }
    }
    return found;
}

}  // namespace

bool IsPlotStyleTableName(std::string_view fileName) {
    if (fileName.size() <= 4) {
        return false;
    }
    const std::string ext = Lower(fileName.substr(fileName.size() - 4));
    return ext == ".ctb" || ext == ".stb";
}

PlotStyleCatalog::PlotStyleCatalog(std::vector<std::filesystem::path> folders)
    : folders_(std::move(folders)) {}

std::vector<std::string> PlotStyleCatalog::Names() const {
    std::vector<std::string> names;
    for (const auto& [key, entry] : Scan(folders_)) {
        names.push_back(entry.first);
    }
    return names;
}

std::optional<std::filesystem::path> PlotStyleCatalog::Find(std::string_view name) const {
    const auto found = Scan(folders_);
    const auto it = found.find(Lower(name));
    if (it == found.end()) {
        return std::nullopt;
    }
    return it->second.second;
}

PlotStyleTable PlotStyleCatalog::Load(std::string_view name) const {
    const auto file = Find(name);
    if (!file) {
        throw PlotStyleError("The plot style table \"" + std::string(name) +
                             "\" is not in the plot styles folder.");
    }
    return ReadPlotStyleFile(*file);
}

std::optional<PlotStyleTable> PlotStyleCatalog::LoadForPlot(std::string_view name,
                                                            std::string& problem) const {
    problem.clear();
    if (name.empty() || Lower(name) == "none") {
        return std::nullopt;
    }
    try {
        return Load(name);
    } catch (const PlotStyleError& e) {
        problem = std::string(e.what()) + " The plot goes on without a plot style table.";
        return std::nullopt;
    }
}

}  // namespace vx::engine::plotstyle
