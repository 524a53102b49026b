// The CAD back ends the window program can drive.
#pragma once

namespace vx::cad {
class ClassRegistry;
}

namespace vx::app {

// Registers every available back end for "AutoCAD.Application" in `registry`.
void RegisterBackEnds(cad::ClassRegistry& registry);

}  // namespace vx::app
