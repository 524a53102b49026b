#include "engine/geom/Clip.h"

#include <algorithm>
#include <cmath>

namespace vx::engine::geom {

bool ClipLine(Vec2 p, Vec2 d, const Rect& box, double& t0, double& t1) {
    const double q[4][2] = {{-d.x, p.x - box.xmin},
                            {d.x, box.xmax - p.x},
                            {-d.y, p.y - box.ymin},
                            {d.y, box.ymax - p.y}};
    for (const auto& [den, num] : q) {
        if (den == 0) {
            if (num < 0) {
                return false;
            }
            continue;
        }
        const double t = num / den;
        if (den < 0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
    }
    return t0 < t1 && std::isfinite(t0) && std::isfinite(t1);
}

}  // namespace vx::engine::geom
