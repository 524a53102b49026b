#include "BackEnds.h"

#include "cad/ClassRegistry.h"
#include "engine/automation/Engine.h"

#ifdef _WIN32
#include "cad/com/ComBackEnd.h"
#endif

namespace vx::app {

void RegisterBackEnds(cad::ClassRegistry& registry) {
    // On Windows an installed AutoCAD serves the class through COM; where COM cannot (no
    // AutoCAD on this machine, or no Windows at all) the built-in CAD engine serves it.
#ifdef _WIN32
    if (cad::com::RegisterComBackEnd(registry)) {
        return;
    }
#endif
    engine::automation::RegisterEngine(registry);
}

}  // namespace vx::app
