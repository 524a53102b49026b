#include "engine/automation/PlotFiles.h"

#include <algorithm>

#include "engine/load/DrawingLoader.h"

namespace vx::engine::automation {

namespace fs = std::filesystem;

namespace {

bool IsPlt(const fs::path& ext) {
    std::string e = ext.string();
    std::transform(e.begin(), e.end(), e.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return e == ".plt";
}

bool HasFolder(std::string_view name) {
    return name.find_first_of("\\/") != std::string_view::npos ||
           (name.size() >= 2 && name[1] == ':');
}

}  // namespace

std::string FormatExtension(const device::PlotterConfig& config) {
    return config.extension.empty() ? device::DefaultExtension(config.driver) : config.extension;
}

fs::path PlotFilePath(std::string_view given, const fs::path& drawingFolder,
                      const device::PlotterConfig& config) {
    if (given.empty()) {
        throw device::DeviceError("No plot file name was given.");
    }
    if (!HasFolder(given) && drawingFolder.empty()) {
        throw device::DeviceError("The plot file \"" + std::string(given) +
                                  "\" has no folder, and the drawing has none to put it in.");
    }
    fs::path file = load::ResolveXrefPath(given, drawingFolder);
    if (given.back() == '\\' || given.back() == '/' || file.filename().empty() ||
        file.filename() == "." || file.filename() == "..") {
        throw device::DeviceError("The plot file name \"" + std::string(given) +
                                  "\" names a folder, not a file.");
    }
    if (IsPlt(file.extension()) && config.driver != device::Driver::Hpgl) {
        file.replace_extension("." + FormatExtension(config));
    }
    return file;
}

fs::path DevicePlotFilePath(const std::string& drawingName, const fs::path& drawingFolder,
                            const device::PlotterConfig& config) {
    if (drawingFolder.empty()) {
        throw device::DeviceError(
            "The drawing \"" + drawingName +
            "\" has never been saved, so there is no folder for its plot file.");
    }
    fs::path file = drawingFolder / fs::path(drawingName).filename();
    file.replace_extension("." + FormatExtension(config));
    return file;
}

std::string FileSafe(std::string_view name) {
    std::string out;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        out += (u < 0x20 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
                c == '<' || c == '>' || c == '|')
                   ? '_'
                   : c;
    }
    return out;
}

fs::path PlotFileOfDrawing(const fs::path& file, const std::string& drawingName) {
    return file.parent_path() /
           (file.stem().string() + "-" + FileSafe(drawingName) + file.extension().string());
}

fs::path DistinctPlotFile(const fs::path& file, const std::string& layout,
                          const std::set<fs::path>& written) {
    if (!written.contains(file)) {
        return file;
    }
    const fs::path folder = file.parent_path();
    const std::string stem = file.stem().string() + "-" + FileSafe(layout);
    const std::string ext = file.extension().string();
    fs::path candidate = folder / (stem + ext);
    for (int n = 2; written.contains(candidate); ++n) {
        candidate = folder / (stem + " (" + std::to_string(n) + ")" + ext);
    }
    return candidate;
}

}  // namespace vx::engine::automation
