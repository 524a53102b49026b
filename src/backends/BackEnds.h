// The CAD back ends both programs drive, registered for "AutoCAD.Application": COM on
// Windows when an installed CAD application answers, else the built-in engine in a process
// of its own.
#pragma once

#include <functional>

#include "engine/remote/RemoteEngine.h"

namespace vx::cad {
class ClassRegistry;
}

namespace vx::backends {

// Registers the built-in engine in this process; given by a program that links the engine
// itself (the window program), for VORMEX_ENGINE=inprocess.
using InProcessEngine = std::function<void(cad::ClassRegistry&)>;

// Registers every available back end for "AutoCAD.Application" in `registry`.
void RegisterBackEnds(cad::ClassRegistry& registry, const InProcessEngine& inProcess = {});

// The default registry with the back ends registered (on the first call only).
cad::ClassRegistry& ProgramBackEnds(const InProcessEngine& inProcess = {});

// The engine process's limits from the user's settings (group "Engine"), or their defaults.
engine::remote::RemoteOptions EngineProcessOptions();

}  // namespace vx::backends
