#include "engine/render/Dashes.h"

#include <algorithm>
#include <cmath>

namespace vx::engine::render {

namespace {

constexpr double kFinestPatternMm = 0.1;

}  // namespace

DashPattern ScaledPattern(const db::Linetype* linetype, double mmPerUnit) {
    DashPattern p;
    if (!linetype || linetype->elements.empty() || !(mmPerUnit > 0) || !std::isfinite(mmPerUnit)) {
        return p;
    }
    bool anyGap = false;
    p.mmPerUnit = mmPerUnit;
    for (const db::LinetypeElement& e : linetype->elements) {
        if (e.type & (2 | 4)) {
            p.marked.push_back(p.elements.size());
        }
        const double len = e.length * mmPerUnit;
        if (!std::isfinite(len)) {
            return {};
        }
        p.elements.push_back(len);
        p.length += std::abs(len);
        anyGap = anyGap || len < 0;
    }
    if (!anyGap || p.length < kFinestPatternMm) {
        return {};  // all dashes, or too fine to tell from a solid line
    }
    return p;
}

}  // namespace vx::engine::render
