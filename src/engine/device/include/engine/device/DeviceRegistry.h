// The plot devices a layout can name: "None", the system's printers, then the plotter
// configuration files (.pc3) of the program's plotters folder and the user's.
//
// This is what the automation model's GetPlotDeviceNames, GetCanonicalMediaNames,
// GetLocaleMediaName, ConfigName/CanonicalMediaName and PlotToFile/PlotToDevice stand on.
//
// A program refreshes the devices often (twice for every plot), so a refresh reads the
// plotter files again only when the folders' listing has changed (FolderStamp.h), and asks
// the printing system again only when its last answer is older than the printer recheck;
// a printer's papers are remembered until then as well.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/FolderStamp.h"
#include "engine/device/PlotterConfig.h"
#include "engine/device/Printers.h"
#include "engine/output/PageSink.h"
#include "engine/page/Media.h"

namespace vx::engine::device {

inline constexpr char kNoDevice[] = "None";

enum class DeviceKind { None, Printer, PlotterFile };

struct Device {
    std::string name;  // as listed: "None", a printer's name, or "PDF.pc3"
    DeviceKind kind = DeviceKind::None;
    std::filesystem::path file;  // the .pc3 file
    PlotterConfig config;        // plotter files: the file's settings
};

// Where the engine's own files live.
struct EngineFolders {
    std::filesystem::path program;  // the program's data folder (plotters/, plotstyles/ in it)
    std::filesystem::path user;     // the user's data folder (plotters/, plotstyles/ in it)

    std::vector<std::filesystem::path> Plotters() const;    // program's, then user's
    std::vector<std::filesystem::path> PlotStyles() const;  // program's, then user's
};

// The running program's data folder (ProgramDataFolder) and
// QStandardPaths::AppDataLocation.
EngineFolders DefaultEngineFolders();

class RememberedPrinters;

class DeviceRegistry {
public:
    static constexpr std::chrono::milliseconds kPrinterRecheck{2000};

    // `plotterFolders` in rising precedence (the user's replace the program's files of the
    // same name); `printers` may be null for no printers.
    DeviceRegistry(std::vector<std::filesystem::path> plotterFolders,
                   std::shared_ptr<PrinterCatalog> printers,
                   std::chrono::milliseconds printerRecheck = kPrinterRecheck);

    // Reads the plotter files again when the folders changed, and asks for the printers
    // again when the last answer is older than the printer recheck (the constructor does
    // both).
    void Refresh();

    // "None", the printers (sorted), the plotter files (sorted; letter case ignored).
    std::vector<std::string> DeviceNames() const;

    // A device by name; plotter files match without regard to letter case. nullopt for an
    // unknown name.
    std::optional<Device> Find(std::string_view name) const;

    // The device's papers as canonical media names, in the device's order. "None" lists
    // the standard papers. Throws DeviceError for an unknown device.
    std::vector<std::string> CanonicalMediaNames(std::string_view device) const;

    // The paper a new layout on this device gets. Throws DeviceError for an unknown device.
    std::string DefaultMediaName(std::string_view device) const;

    // A paper of the device, with the device's printable margins. A name the device does
    // not list is still accepted when it gives a size (a drawing's stored paper); the
    // device's margins of the same size then apply. Throws DeviceError otherwise.
    page::Media Paper(std::string_view device, std::string_view canonicalName) const;

    // Plotter files that could not be read at the last refresh, with the reason; they are
    // not listed as devices.
    const std::vector<std::string>& Problems() const { return problems_; }

private:
    std::vector<std::filesystem::path> folders_;
    std::shared_ptr<RememberedPrinters> printers_;
    std::chrono::milliseconds printerRecheck_;
    std::optional<std::chrono::steady_clock::time_point> printersAsked_;
    std::optional<std::vector<StampedFile>> stamp_;
    std::vector<std::string> printerNames_;
    std::map<std::string, Device> plotters_;  // by lower-cased name
    std::vector<std::string> problems_;
};

// The display form of a canonical media name ("ISO A4 (210.00 x 297.00 MM)").
std::string LocaleMediaName(std::string_view canonicalName);

// Opens the page of a plot on a device: a file for plotter files (`file`; its extension is
// the caller's), the printer's queue with `copies` for printers. Throws DeviceError for
// "None" and output::OutputError when the output cannot be opened.
std::unique_ptr<output::PageSink> OpenDevicePage(const Device& device, const page::Media& paper,
                                                 const std::filesystem::path& file, int copies,
                                                 const std::string& title);

}  // namespace vx::engine::device
