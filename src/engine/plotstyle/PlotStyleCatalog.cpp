#include "engine/plotstyle/PlotStyleCatalog.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "engine/Strings.h"
#include "engine/plotstyle/PlotStyleFile.h"

namespace vx::engine::plotstyle {

bool IsPlotStyleTableName(std::string_view fileName) {
    if (fileName.size() <= 4) {
        return false;
    }
    const std::string ext = Lower(fileName.substr(fileName.size() - 4));
    return ext == ".ctb" || ext == ".stb";
}

PlotStyleCatalog::PlotStyleCatalog(std::vector<std::filesystem::path> folders)
    : folders_(std::move(folders)) {}

void PlotStyleCatalog::Update() const {
    auto stamp =
        StampFolders(folders_, [](const std::string& n) { return IsPlotStyleTableName(n); });
    if (stamp_ && *stamp_ == stamp) {
        return;
    }
    listed_.clear();
    read_.clear();
    // Later folders replace earlier ones.
    for (const StampedFile& f : stamp) {
        listed_[Lower(f.name)] = {f.name, f.path};
    }
    stamp_ = std::move(stamp);
}

std::optional<std::filesystem::path> PlotStyleCatalog::FindListed(std::string_view name) const {
    const auto it = listed_.find(Lower(name));
    if (it == listed_.end()) {
        return std::nullopt;
    }
    return it->second.file;
}

std::vector<std::string> PlotStyleCatalog::Names() const {
    const std::lock_guard lock(mutex_);
    Update();
    std::vector<std::string> names;
    for (const auto& [key, entry] : listed_) {
        names.push_back(entry.name);
    }
    return names;
}

std::optional<std::filesystem::path> PlotStyleCatalog::Find(std::string_view name) const {
    const std::lock_guard lock(mutex_);
    Update();
    return FindListed(name);
}

PlotStyleTable PlotStyleCatalog::Load(std::string_view name) const {
    const std::lock_guard lock(mutex_);
    Update();
    const std::string key = Lower(name);
    auto known = read_.find(key);
    if (known == read_.end()) {
        const auto file = FindListed(name);
        if (!file) {
            throw PlotStyleError("The plot style table \"" + std::string(name) +
                                 "\" is not in the plot styles folder.");
        }
        try {
            known = read_.emplace(key, ReadPlotStyleFile(*file)).first;
        } catch (const PlotStyleError& e) {
            // A damaged file stays damaged until it changes.
            known = read_.emplace(key, std::string(e.what())).first;
        }
    }
    if (const auto* problem = std::get_if<std::string>(&known->second)) {
        throw PlotStyleError(*problem);
    }
    return std::get<PlotStyleTable>(known->second);
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
