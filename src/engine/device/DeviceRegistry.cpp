#include "engine/device/DeviceRegistry.h"

#include <QStandardPaths>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <mutex>
#include <tuple>

#include "common/ProgramData.h"
#include "engine/Strings.h"
#include "engine/output/PlotOutput.h"

namespace vx::engine::device {

namespace {

bool IsPlotterFileName(const std::string& name) {
    return name.size() > 4 && Lower(name.substr(name.size() - 4)) == ".pc3";
}

bool SameSize(const page::Media& a, const page::Media& b) {
    return std::abs(a.widthMm - b.widthMm) < 0.5 && std::abs(a.heightMm - b.heightMm) < 0.5;
}

[[noreturn]] void UnknownDevice(std::string_view name) {
    throw DeviceError("The plot device \"" + std::string(name) + "\" is not available.");
}

}  // namespace

// The system's printers with what they said of themselves kept until Forget(): asking a
// printing system may mean a round trip to its server.
class RememberedPrinters final : public PrinterCatalog {
public:
    explicit RememberedPrinters(std::shared_ptr<PrinterCatalog> system)
        : system_(std::move(system)) {}

    void Forget() {
        const std::lock_guard lock(mutex_);
        papers_.clear();
        defaults_.clear();
        margins_.clear();
    }
    std::vector<std::string> Names() override { return system_->Names(); }
    std::vector<page::Media> Papers(const std::string& printer) override {
        const std::lock_guard lock(mutex_);
        auto it = papers_.find(printer);
        if (it == papers_.end()) {
            it = papers_.emplace(printer, system_->Papers(printer)).first;
        }
        return it->second;
    }
    std::optional<std::string> DefaultPaper(const std::string& printer) override {
        const std::lock_guard lock(mutex_);
        auto it = defaults_.find(printer);
        if (it == defaults_.end()) {
            it = defaults_.emplace(printer, system_->DefaultPaper(printer)).first;
        }
        return it->second;
    }
    page::Margins Margins(const std::string& printer, const page::Media& paper) override {
        const std::lock_guard lock(mutex_);
        const auto key =
            std::make_tuple(printer, paper.canonicalName, paper.widthMm, paper.heightMm);
        auto it = margins_.find(key);
        if (it == margins_.end()) {
            it = margins_.emplace(key, system_->Margins(printer, paper)).first;
        }
        return it->second;
    }

private:
    std::shared_ptr<PrinterCatalog> system_;
    std::mutex mutex_;
    std::map<std::string, std::vector<page::Media>> papers_;
    std::map<std::string, std::optional<std::string>> defaults_;
    std::map<std::tuple<std::string, std::string, double, double>, page::Margins> margins_;
};

std::vector<std::filesystem::path> EngineFolders::Plotters() const {
    return {program / "plotters", user / "plotters"};
}

std::vector<std::filesystem::path> EngineFolders::PlotStyles() const {
    return {program / "plotstyles", user / "plotstyles"};
}

EngineFolders DefaultEngineFolders() {
    EngineFolders f;
    f.program = ProgramDataFolder();
    f.user = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString();
    return f;
}

std::string LocaleMediaName(std::string_view canonicalName) {
    return page::LocaleMediaName(canonicalName);
}

DeviceRegistry::DeviceRegistry(std::vector<std::filesystem::path> plotterFolders,
                               std::shared_ptr<PrinterCatalog> printers,
                               std::chrono::milliseconds printerRecheck)
    : folders_(std::move(plotterFolders)),
      printers_(printers ? std::make_shared<RememberedPrinters>(std::move(printers)) : nullptr),
      printerRecheck_(printerRecheck) {
    Refresh();
}

void DeviceRegistry::Refresh() {
    const auto now = std::chrono::steady_clock::now();
    if (printers_ && (!printersAsked_ || now - *printersAsked_ >= printerRecheck_)) {
        printers_->Forget();
        printerNames_ = printers_->Names();
        std::sort(printerNames_.begin(), printerNames_.end(),
                  [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
        printersAsked_ = now;
    }
    auto stamp = StampFolders(folders_, IsPlotterFileName);
    if (stamp_ && *stamp_ == stamp) {
        return;
    }
    plotters_.clear();
    problems_.clear();
    for (const StampedFile& f : stamp) {
        try {
            Device d;
            d.name = f.name;
            d.kind = DeviceKind::PlotterFile;
            d.file = f.path;
            d.config = ReadPlotterConfig(f.path);
            plotters_[Lower(f.name)] = std::move(d);
        } catch (const DeviceError& e) {
            // A damaged file of the user's must not hide the program's file of that name.
            problems_.push_back(e.what());
        }
    }
    stamp_ = std::move(stamp);
}

std::vector<std::string> DeviceRegistry::DeviceNames() const {
    std::vector<std::string> names{kNoDevice};
    names.insert(names.end(), printerNames_.begin(), printerNames_.end());
    for (const auto& [key, device] : plotters_) {
        names.push_back(device.name);
    }
    return names;
}

std::optional<Device> DeviceRegistry::Find(std::string_view name) const {
    if (name == kNoDevice) {
        return Device{kNoDevice, DeviceKind::None, {}, {}};
    }
    if (IsPlotterFileName(std::string(name))) {
        const auto it = plotters_.find(Lower(name));
        if (it != plotters_.end()) {
            return it->second;
        }
        return std::nullopt;
    }
    for (const std::string& p : printerNames_) {
        if (p == name) {
            return Device{p, DeviceKind::Printer, {}, {}};
        }
    }
    return std::nullopt;
}

std::vector<std::string> DeviceRegistry::CanonicalMediaNames(std::string_view name) const {
    const auto device = Find(name);
    if (!device) {
        UnknownDevice(name);
    }
    std::vector<std::string> names;
    switch (device->kind) {
        case DeviceKind::None:
            for (const page::Media& m : page::StandardMedia()) {
                names.push_back(m.canonicalName);
            }
            break;
        case DeviceKind::Printer:
            for (const page::Media& m : printers_->Papers(device->name)) {
                names.push_back(m.canonicalName);
            }
            break;
        case DeviceKind::PlotterFile:
            for (const page::Media& m : device->config.papers) {
                names.push_back(m.canonicalName);
            }
            break;
    }
    return names;
}

std::string DeviceRegistry::DefaultMediaName(std::string_view name) const {
    const auto device = Find(name);
    if (!device) {
        UnknownDevice(name);
    }
    if (device->kind == DeviceKind::PlotterFile) {
        return device->config.defaultPaper;
    }
    if (device->kind == DeviceKind::Printer) {
        if (auto paper = printers_->DefaultPaper(device->name)) {
            return *paper;
        }
        const auto papers = printers_->Papers(device->name);
        if (!papers.empty()) {
            return papers.front().canonicalName;
        }
    }
    return page::ParseMediaName("A4")->canonicalName;
}

page::Media DeviceRegistry::Paper(std::string_view name, std::string_view canonicalName) const {
    const auto device = Find(name);
    if (!device) {
        UnknownDevice(name);
    }
    std::vector<page::Media> papers;
    if (device->kind == DeviceKind::PlotterFile) {
        papers = device->config.papers;
    } else if (device->kind == DeviceKind::Printer) {
        papers = printers_->Papers(device->name);
    } else {
        papers = page::StandardMedia();
    }
    std::optional<page::Media> chosen;
    for (const page::Media& m : papers) {
        if (m.canonicalName == canonicalName) {
            chosen = m;
            break;
        }
    }
    if (!chosen) {
        chosen = page::ParseMediaName(canonicalName);
        if (!chosen) {
            throw DeviceError("The paper \"" + std::string(canonicalName) +
                              "\" is unknown to the plot device \"" + device->name + "\".");
        }
        for (const page::Media& m : papers) {
            if (SameSize(m, *chosen)) {
                chosen->margins = m.margins;
                break;
            }
        }
    }
    if (device->kind == DeviceKind::Printer) {
        chosen->margins = printers_->Margins(device->name, *chosen);
    }
    return *chosen;
}

std::unique_ptr<output::PageSink> OpenDevicePage(const Device& device, const page::Media& paper,
                                                 const std::filesystem::path& file, int copies,
                                                 const std::string& title) {
    output::OutputTarget t;
    t.title = QString::fromStdString(title);
    t.file = file;
    switch (device.kind) {
        case DeviceKind::None:
            throw DeviceError("No plot device is chosen (\"None\"): there is nothing to plot to.");
        case DeviceKind::Printer:
            t.kind = output::OutputKind::Printer;
            t.printer = QString::fromStdString(device.name);
            t.paperName = QString::fromStdString(page::LocaleMediaName(paper.canonicalName));
            t.copies = std::max(1, copies);
            break;
        case DeviceKind::PlotterFile:
            if (file.empty()) {
                throw DeviceError("The plot device \"" + device.name +
                                  "\" writes a file, and no "
                                  "file name was given.");
            }
            switch (device.config.driver) {
                case Driver::Pdf:
                    t.kind = output::OutputKind::Pdf;
                    break;
                case Driver::Svg:
                    t.kind = output::OutputKind::Svg;
                    break;
                case Driver::Png:
                    t.kind = output::OutputKind::Png;
                    t.dotsPerInch = device.config.resolution;
                    break;
                case Driver::Hpgl:
                    t.kind = output::OutputKind::Hpgl;
                    for (const PenDefinition& p : device.config.pens) {
                        t.pens.push_back({p.number, p.color, p.widthMm});
                    }
                    break;
            }
            break;
    }
    return output::OpenPage(t, {paper.widthMm, paper.heightMm});
}

}  // namespace vx::engine::device
