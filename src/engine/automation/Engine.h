// The built-in CAD engine as an automation application: the object model of
// cad/Automation.h on the engine's drawing database, devices, plot style tables and
// renderer, served under "AutoCAD.Application".
//
//   vx::engine::automation::RegisterEngine(vx::cad::ClassRegistry::Default());
//   auto app = registry.CreateObject("AutoCAD.Application");   // starts at once
//   ...                                                         // the program drives it
//   if (auto* journal = vx::engine::automation::JournalOf(app))
//       for (const auto& r : journal->Records()) ...             // what each plot wrote
//
// One engine application per process: CreateObject starts it (it is not running before),
// GetActiveObject finds it while it runs, Quit releases every drawing it holds and ends
// it. Drawings are only ever read: they are opened read-only, never written and never
// locked; Close(true) fails.
//
// Behaviour worth knowing:
// - Layout objects also answer ZoomExtents (the layout's extents computed again) and Plot
//   (the drawing's plot object, which plots the active layout).
// - PlotToFile(name, config) plots the active layout with the device `config` (its own
//   device when empty); the file's place and name follow PlotFiles.h. It returns false
//   when nothing could be written; the reason is in the journal.
// - PlotToDevice() plots to the layout's device: a printer prints NumberOfCopies copies, a
//   plotter configuration writes <drawing name>.<format extension> beside the drawing, and
//   "None" fails. Every failure is a CadError with the reason.
// - A plot whose plotted area holds visible entities but comes out without ink, or whose
//   output is beyond a sane size for its page, fails; an earlier file of that name stays.
//   A plotted area without visible entities gives a blank page, marked as such.
// - PlotToDevice() right after a PlotToFile() that failed, on the same layout with the same
//   device and settings, fails at once with the same reason: nothing is plotted twice and
//   the journal holds the one failed plot.
// - DBMOD becomes non-zero with any change the program makes (plot settings, the active
//   layout, a reference's path or reload); SDI and BACKGROUNDPLOT belong to the
//   application.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cad/Automation.h"
#include "cad/ClassRegistry.h"
#include "engine/device/DeviceRegistry.h"
#include "engine/fonts/FontResolver.h"
#include "engine/load/DrawingLoader.h"

namespace vx::engine::automation {

// What one plot did: the command-line report and tests read it.
struct PlotRecord {
    std::string drawing;  // full path of the drawing (its name for a drawing never saved)
    std::string layout;   // the layout plotted
    std::string device;   // the plot configuration used
    std::string media;    // canonical paper name
    std::string styleSheet;
    bool toFile = false;        // PlotToFile, else PlotToDevice
    std::string requestedFile;  // PlotToFile's file name as given
    std::string outputFile;     // the file written (empty for a printer or a failure)
    std::string printer;        // the printer's queue for a printed plot
    std::int32_t copies = 1;
    bool ok = false;
    std::string error;               // why nothing was written
    std::vector<std::string> notes;  // what the plot went on without (tables, fonts, types)
    std::int64_t entities = 0;       // entities visited, drawn, and expected to leave ink
    std::int64_t drawn = 0;
    std::int64_t visible = 0;
    std::int64_t bytes = 0;  // size of the output
    bool blank = false;      // the page was made, but nothing on it left ink
    // The fonts drawn with another font, also named among the notes.
    std::vector<fonts::Substitution> substitutedFonts;
};

// What one open of a drawing did: why it failed, or what the reader went on without.
struct OpenRecord {
    std::string drawing;  // full path of the drawing asked for
    bool ok = false;
    std::string error;                  // why the drawing was not opened
    std::vector<std::string> warnings;  // damage the reader worked around
};

// Every plot of an engine application, in the order made, and every open of a drawing file.
class PlotJournal {
public:
    void Add(PlotRecord record);
    std::vector<PlotRecord> Records() const;
    // The plots from position `first` on (those made since Size() was `first`).
    std::vector<PlotRecord> RecordsFrom(std::size_t first) const;
    // The plots of one drawing (by its full path).
    std::vector<PlotRecord> ForDrawing(const std::string& drawing) const;
    std::size_t Size() const;

    void AddOpen(OpenRecord record);
    std::vector<OpenRecord> Opens() const;
    std::vector<OpenRecord> OpensFrom(std::size_t first) const;
    std::size_t OpenCount() const;

    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<PlotRecord> records_;
    std::vector<OpenRecord> opens_;
};

// A plot's record as the automation interface tells it (AcadPlot::LastOutcome).
cad::PlotOutcome OutcomeOf(const PlotRecord& record);

// Where the engine finds its devices, plot style tables and fonts. Unset members take the
// program's defaults (the program's folder and the user's data folder, the system's
// printers, the installed stroke fonts).
struct EngineOptions {
    std::optional<device::EngineFolders> folders;
    // The printers; null with `noPrinters` for none at all.
    std::shared_ptr<device::PrinterCatalog> printers;
    bool noPrinters = false;
    std::optional<fonts::FontFolders> fonts;
    load::LoadOptions load;
};

class EngineApplication;

// The engine as the back end of an automation class.
class EngineClass : public cad::AutomationClass {
public:
    explicit EngineClass(EngineOptions options = {});
    // The running engine; throws CadError while none runs.
    cad::Ref<cad::AcadApplication> GetActiveObject() override;
    // The running engine, or a new one (starting it is instant).
    cad::Ref<cad::AcadApplication> CreateObject() override;
    bool Running() const;

private:
    EngineOptions options_;
    mutable std::mutex mutex_;
    std::shared_ptr<EngineApplication> running_;
};

// Makes the engine serve "AutoCAD.Application" in `registry`.
std::shared_ptr<EngineClass> RegisterEngine(cad::ClassRegistry& registry,
                                            EngineOptions options = {});

// An application object of another back end that keeps the journal of an engine for it
// (the engine in its own process).
class JournalHolder {
public:
    virtual ~JournalHolder() = default;
    virtual const PlotJournal& Journal() const = 0;
};

// The journal of an engine application; null for an application of another back end.
const PlotJournal* JournalOf(const cad::Ref<cad::AcadApplication>& app);

}  // namespace vx::engine::automation
