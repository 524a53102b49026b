// The CAD back ends the window program can drive.
#pragma once

#include "engine/remote/RemoteEngine.h"

namespace vx::cad {
class ClassRegistry;
}

namespace vx::app {

// Registers every available back end for "AutoCAD.Application" in `registry`.
void RegisterBackEnds(cad::ClassRegistry& registry);

// The engine process's limits from the user's settings (group "Engine"), or their defaults.
engine::remote::RemoteOptions EngineProcessOptions();

}  // namespace vx::app
