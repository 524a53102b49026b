#include "BackEnds.h"

#include "cad/ClassRegistry.h"

namespace vx::app {

void RegisterBackEnds(cad::ClassRegistry& registry) {
    // Each back end registers itself here: the built-in CAD engine, and on Windows the
    // COM binding to an installed AutoCAD. With none registered the program says that it
    // cannot start AutoCAD and ends.
    static_cast<void>(registry);
}

}  // namespace vx::app
