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
#include "engine/journal/PlotJournal.h"
#include "engine/load/DrawingLoader.h"

namespace vx::engine::automation {

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

}  // namespace vx::engine::automation
