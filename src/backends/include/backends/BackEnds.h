// The CAD back ends both programs drive, registered for "AutoCAD.Application": COM on
// Windows when an installed CAD application answers, else the built-in engine in a process
// of its own.
#pragma once

#include <functional>
#include <memory>

#include "engine/remote/RemoteEngine.h"

namespace vx::cad {
class ClassRegistry;
}

namespace vx::backends {

// Whether the built-in engine is the one this user's programs share (the window attaches to
// a running one) or one of this program's own, which no other program attaches to: runs of
// vormex-cli side by side, or beside the window, never close each other's drawings.
enum class EngineSharing { Shared, Own };

// Registers the built-in engine in this process; given by a program that links the engine
// itself (the window program), for VORMEX_ENGINE=inprocess.
using InProcessEngine = std::function<void(cad::ClassRegistry&)>;

// Registers every available back end for "AutoCAD.Application" in `registry`.
void RegisterBackEnds(cad::ClassRegistry& registry, const InProcessEngine& inProcess = {},
                      EngineSharing sharing = EngineSharing::Shared);

// The default registry with the back ends registered (on the first call only).
cad::ClassRegistry& ProgramBackEnds(const InProcessEngine& inProcess = {},
                                    EngineSharing sharing = EngineSharing::Shared);

// A registry of its own for one of this process's sessions that work side by side (the
// workers of vormex-cli plot --jobs), each with an engine of its own: the socket of
// EngineSharing::Own with the session's number added. Null where an installed CAD
// application serves the class, which such sessions would all share.
std::unique_ptr<cad::ClassRegistry> SideBySideBackEnds(int session);

// The engine process's limits from the user's settings (group "Engine"), or their defaults.
// With EngineSharing::Own, the engine's socket is this process's own.
engine::remote::RemoteOptions EngineProcessOptions(EngineSharing sharing = EngineSharing::Shared);

}  // namespace vx::backends
