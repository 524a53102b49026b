#include "engine/render/Dashes.h"

#include <algorithm>
#include <cmath>

namespace vx::engine::render {

namespace {

constexpr double kFinestPatternMm = 0.1;
constexpr double kMaxDashes = 200000;

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

bool CutDashes(const QPointF* points, std::size_t n, bool closed, const DashPattern& pattern,
               DashPieces& out) {
    out.Clear();
    if (pattern.Solid() || n < 2) {
        return false;
    }
    double total = 0;
    const std::size_t segs = closed ? n : n - 1;
    for (std::size_t i = 0; i < segs; ++i) {
        const QPointF d = points[(i + 1) % n] - points[i];
        total += std::hypot(d.x(), d.y());
    }
    if (total < pattern.length || total / pattern.length * pattern.elements.size() > kMaxDashes) {
        return false;
    }
    std::size_t el = 0;
    double left = std::abs(pattern.elements[0]);  // of the current element
    bool inDash = false;
    double angle = 0;  // the direction of the segment being cut
    auto startElement = [&](QPointF at) {
        if (!pattern.marked.empty() &&
            std::find(pattern.marked.begin(), pattern.marked.end(), el) != pattern.marked.end()) {
            out.marks.push_back({at, angle, el});
        }
        const double len = pattern.elements[el];
        if (len > 0) {
            out.starts.push_back(static_cast<std::uint32_t>(out.points.size()));
            out.points.push_back(at);
            inDash = true;
        } else if (len == 0) {
            out.starts.push_back(static_cast<std::uint32_t>(out.points.size()));
            out.points.push_back(at);
            inDash = false;
        } else {
            inDash = false;
        }
    };
    startElement(points[0]);
    for (std::size_t i = 0; i < segs; ++i) {
        const QPointF a = points[i];
        const QPointF b = points[(i + 1) % n];
        const QPointF d = b - a;
        const double len = std::hypot(d.x(), d.y());
        if (len > 0) {
            angle = std::atan2(d.y(), d.x());
        }
        if (i == 0 && !out.marks.empty()) {
            out.marks.front().angle = angle;  // the first element began before any segment
        }
        double pos = 0;
        while (len - pos > left) {
            pos += left;
            const QPointF at = a + d * (pos / len);
            if (inDash) {
                out.points.push_back(at);
            }
            el = (el + 1) % pattern.elements.size();
            left = std::abs(pattern.elements[el]);
            startElement(at);
        }
        left -= len - pos;
        if (inDash) {
            out.points.push_back(b);
        }
    }
    return true;
}

}  // namespace vx::engine::render
