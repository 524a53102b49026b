// Axis-aligned boxes: Box3 for extents in a drawing, Rect for areas on the paper.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/geom/Vector.h"

namespace vx::engine::geom {

// An axis-aligned box; empty until the first point is added.
struct Box3 {
    Vec3 min{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
             std::numeric_limits<double>::infinity()};
    Vec3 max{-std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
             -std::numeric_limits<double>::infinity()};

    bool Empty() const { return min.x > max.x; }
    void Add(Vec3 p) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            return;  // a broken coordinate must not spoil the whole box
        }
        min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
        max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
    }
    void Add(const Box3& b) {
        if (!b.Empty()) {
            Add(b.min);
            Add(b.max);
        }
    }
};

// An axis-aligned rectangle. Empty when xmax < xmin or ymax < ymin; a rectangle of zero
// width or height (a point, a line) is not empty.
struct Rect {
    double xmin = 0.0;
    double ymin = 0.0;
    double xmax = -1.0;
    double ymax = -1.0;

    static Rect FromCorners(Vec2 a, Vec2 b) {
        return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    }
    static Rect Empty() { return {}; }

    bool IsEmpty() const { return !(xmax >= xmin && ymax >= ymin); }
    double Width() const { return IsEmpty() ? 0.0 : xmax - xmin; }
    double Height() const { return IsEmpty() ? 0.0 : ymax - ymin; }
    Vec2 Center() const { return {(xmin + xmax) / 2.0, (ymin + ymax) / 2.0}; }
    bool IsFinite() const {
        return std::isfinite(xmin) && std::isfinite(ymin) && std::isfinite(xmax) &&
               std::isfinite(ymax);
    }

    void Include(Vec2 p) {
        if (IsEmpty()) {
            *this = {p.x, p.y, p.x, p.y};
            return;
        }
        xmin = std::min(xmin, p.x);
        ymin = std::min(ymin, p.y);
        xmax = std::max(xmax, p.x);
        ymax = std::max(ymax, p.y);
    }
    void Include(const Rect& r) {
        if (!r.IsEmpty()) {
            Include(Vec2{r.xmin, r.ymin});
            Include(Vec2{r.xmax, r.ymax});
        }
    }
    bool Contains(Vec2 p, double tolerance = 0.0) const {
        return p.x >= xmin - tolerance && p.x <= xmax + tolerance && p.y >= ymin - tolerance &&
               p.y <= ymax + tolerance;
    }
    bool Contains(const Rect& r, double tolerance = 0.0) const {
        return !r.IsEmpty() && Contains(Vec2{r.xmin, r.ymin}, tolerance) &&
               Contains(Vec2{r.xmax, r.ymax}, tolerance);
    }
    bool Intersects(const Rect& r) const {
        return !IsEmpty() && !r.IsEmpty() && r.xmin <= xmax && r.xmax >= xmin && r.ymin <= ymax &&
               r.ymax >= ymin;
    }
    // The common part; empty when they do not meet (a shared edge is a rectangle of no width).
    Rect Intersected(const Rect& r) const {
        if (!Intersects(r)) {
            return Empty();
        }
        return {std::max(xmin, r.xmin), std::max(ymin, r.ymin), std::min(xmax, r.xmax),
                std::min(ymax, r.ymax)};
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace vx::engine::geom
