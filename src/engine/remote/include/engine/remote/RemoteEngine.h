// The CAD engine in a process of its own, as the back end of "AutoCAD.Application": the
// interfaces of cad/Automation.h forwarded over a local socket to `vormex-engine`.
//
//   RegisterRemoteEngine(registry, options);
//   auto app = registry.GetObject("AutoCAD.Application");    // the user's running engine
//   auto app = registry.CreateObject("AutoCAD.Application"); // starts one
//
// One engine per user (and installation) serves every program of that user that attaches
// to it; it ends when the program that started it quits it and no other is attached, or
// a while after the last one went.
//
// Every call has a time limit: the long one for opening, plotting, regenerating and
// closing a drawing, the short one for the rest. A call that runs out of time ends the
// engine ("the CAD engine stopped responding while plotting ..."), as does an interrupt
// (CancelCalls) while a call is under way; an engine that dies or passes its memory
// limit fails the call too ("... crashed ...", "... ran out of memory ..."). The
// application object then starts a fresh engine at its next call; every other object of
// the ended engine fails with a clear description.
//
// Each wait for the engine's answer costs two switches between the processes, so calls
// that return nothing (zooming, regenerating, activating a drawing, every plot setting,
// the number of copies) do not wait, nor do the calls for the objects that a drawing
// always has (its layouts, active layout, plot and blocks): they go to the engine with the
// next call that waits. When one of them fails, the engine leaves the calls after it
// undone up to that call, which throws the failure with its description.
//
// Answers that only the program's own calls change are kept on this side: the engine
// tells the open drawings (and DBMOD of each) with every answer that opens or closes one,
// a collection's items all at once (a layout with its block), a layout's name and plot
// style table, an entity's name, a block's count of entities and the names of a sheet's
// first entities with their handles. An open asks ahead for the drawing's blocks, layouts
// and active layout, which a run looks at next, and the locale names of a layout's papers
// are asked all at once. Whatever call may change one of them makes it be asked again.
// The papers of a device are asked once per engine for the device set on a layout, until
// the devices are listed again (GetPlotDeviceNames).
//
// The engine's journal of plots and opens is carried across: JournalOf(app) answers for
// these application objects as for the engine in this process.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

#include "cad/ClassRegistry.h"

namespace vx::engine::remote {

struct TimeLimits {
    int longSeconds = 600;  // opening, plotting, regenerating, closing a drawing
    int shortSeconds = 60;  // everything else
    int startSeconds = 60;  // starting the engine
};

struct RemoteOptions {
    // The engine's program; empty: vormex-engine beside the running program.
    QString program;
    // The socket; empty: the one of this user and installation (DefaultSocketName).
    QString socketName;
    // More arguments for the engine (its folders, printers).
    QStringList arguments;
    std::uint64_t memoryLimitMB = 1536;
    TimeLimits limits;
};

// The socket of this user's engine: in the user's runtime folder on POSIX, a pipe of the
// user's on Windows; `program` and the user's data folder are part of the name, so that
// two installations never share an engine.
QString DefaultSocketName(const QString& program);
// The engine's program beside the running program.
QString DefaultEngineProgram();

class RemoteEngineClass : public cad::AutomationClass {
public:
    explicit RemoteEngineClass(RemoteOptions options);
    // Attaches to the running engine; CadError when none runs.
    cad::Ref<cad::AcadApplication> GetActiveObject() override;
    // Starts an engine (or attaches to one that started meanwhile).
    cad::Ref<cad::AcadApplication> CreateObject() override;

private:
    RemoteOptions options_;
};

std::shared_ptr<RemoteEngineClass> RegisterRemoteEngine(cad::ClassRegistry& registry,
                                                        RemoteOptions options = {});

// Gives up on the call under way (safe in a signal handler): the engine is told, and ended
// when it does not answer at once. Only a call that has run for a moment is given up. Every
// engine of this process gives up its call, each once per CancelCalls.
void CancelCalls();
// Forgets an earlier CancelCalls that no call took up.
void ClearCancel();
// Overrides the long time limit of every engine of this process (0: the options' own).
void SetLongCallLimit(int seconds);
// How often this process has waited for an engine's answers so far: what its calls cost.
std::uint64_t RoundTrips();

// The engine's settings of the user's settings store: time limits in seconds and the
// memory limit in megabytes, with their defaults.
inline constexpr char kSettingsGroup[] = "Engine";
inline constexpr char kKeyLongCallSeconds[] = "LongCallSeconds";
inline constexpr char kKeyShortCallSeconds[] = "ShortCallSeconds";
inline constexpr char kKeyMemoryLimitMB[] = "MemoryLimitMB";

}  // namespace vx::engine::remote
