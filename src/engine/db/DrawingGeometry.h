// Small geometry types of the drawing database: points, boxes, the object coordinate
// system of planar entities and affine transforms.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

namespace vx::engine::db {

struct Vec3 {
    double x = 0;
    double y = 0;
    double z = 0;

    friend Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
    friend Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
    friend Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
    friend bool operator==(Vec3 a, Vec3 b) = default;
};

inline double Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(Vec3 a) {
    return std::sqrt(Dot(a, a));
}
// The unit vector of `a`, or `a` itself when it has no length.
inline Vec3 Normalized(Vec3 a) {
    double l = Length(a);
    return l > 0 ? a * (1.0 / l) : a;
}

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

// A 3D affine transform: p' = m * p + t, m stored by rows.
struct Transform {
    double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Vec3 t;

    Vec3 Apply(Vec3 p) const {
        return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + t.x,
                m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + t.y,
                m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + t.z};
    }
    // A direction: the linear part only.
    Vec3 ApplyVector(Vec3 v) const {
        return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
                m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
    }
    // this ∘ other: first `other`, then this.
    Transform operator*(const Transform& o) const {
        Transform r;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                r.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j];
            }
        }
        r.t = Apply(o.t);
        return r;
    }
    static Transform FromAxes(Vec3 xAxis, Vec3 yAxis, Vec3 zAxis, Vec3 origin) {
        Transform r;
        r.m[0][0] = xAxis.x, r.m[0][1] = yAxis.x, r.m[0][2] = zAxis.x;
        r.m[1][0] = xAxis.y, r.m[1][1] = yAxis.y, r.m[1][2] = zAxis.y;
        r.m[2][0] = xAxis.z, r.m[2][1] = yAxis.z, r.m[2][2] = zAxis.z;
        r.t = origin;
        return r;
    }
};

// The object coordinate system of a planar entity with the given extrusion direction
// (the arbitrary axis algorithm of the drawing format): maps OCS points to world points.
Transform OcsToWorld(Vec3 extrusion);

// True for the default extrusion (0, 0, 1), where OCS and world coincide.
inline bool IsDefaultExtrusion(Vec3 e) {
    return e.x == 0 && e.y == 0 && e.z == 1;
}

}  // namespace vx::engine::db
