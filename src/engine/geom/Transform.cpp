#include "engine/geom/Transform.h"

#include <cmath>

namespace vx::engine::geom {

Transform OcsToWorld(Vec3 n) {
    n = Normalized(n);
    if (Length(n) == 0) {
        return {};
    }
    // Arbitrary axis algorithm: the OCS x axis is Wy × N when N is near the world z
    // axis, Wz × N otherwise.
    constexpr double kLimit = 1.0 / 64.0;
    Vec3 ax = (std::abs(n.x) < kLimit && std::abs(n.y) < kLimit) ? Cross({0, 1, 0}, n)
                                                                 : Cross({0, 0, 1}, n);
    ax = Normalized(ax);
    Vec3 ay = Normalized(Cross(n, ax));
    return Transform::FromAxes(ax, ay, n, {});
}

}  // namespace vx::engine::geom
