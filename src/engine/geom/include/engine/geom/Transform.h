// Transforms: Transform maps a drawing's 3D coordinates (block references, object
// coordinate systems, views), Affine maps 2D points on the paper.
#pragma once

#include <cmath>
#include <optional>

#include "engine/geom/Box.h"
#include "engine/geom/Vector.h"

namespace vx::engine::geom {

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

inline Transform Translation(Vec3 t) {
    Transform r;
    r.t = t;
    return r;
}

inline Transform Scaling(Vec3 s) {
    Transform r;
    r.m[0][0] = s.x, r.m[1][1] = s.y, r.m[2][2] = s.z;
    return r;
}

inline Transform RotationZ(double rad) {
    Transform r;
    const double c = std::cos(rad), s = std::sin(rad);
    r.m[0][0] = c, r.m[0][1] = -s;
    r.m[1][0] = s, r.m[1][1] = c;
    return r;
}

inline Transform Transposed(const Transform& a) {
    Transform r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            r.m[i][j] = a.m[j][i];
        }
    }
    return r;
}

// The object coordinate system of a planar entity with the given extrusion direction
// (the arbitrary axis algorithm of the drawing format): maps OCS points to world points.
Transform OcsToWorld(Vec3 extrusion);

// True for the default extrusion (0, 0, 1), where OCS and world coincide.
inline bool IsDefaultExtrusion(Vec3 e) {
    return e.x == 0 && e.y == 0 && e.z == 1;
}

// x' = a*x + c*y + e, y' = b*x + d*y + f: the layout of QTransform(m11 = a, m12 = b,
// m21 = c, m22 = d, dx = e, dy = f), so converting is a plain copy.
struct Affine {
    double a = 1.0;
    double b = 0.0;
    double c = 0.0;
    double d = 1.0;
    double e = 0.0;
    double f = 0.0;

    static Affine Translation(double dx, double dy) { return {1, 0, 0, 1, dx, dy}; }
    static Affine Scaling(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    // Counter-clockwise by quarter turns; exact, with no rounding noise in the matrix.
    static Affine QuarterTurns(int turns) {
        switch (((turns % 4) + 4) % 4) {
            case 1:
                return {0, 1, -1, 0, 0, 0};
            case 2:
                return {-1, 0, 0, -1, 0, 0};
            case 3:
                return {0, -1, 1, 0, 0, 0};
            default:
                return {};
        }
    }

    Vec2 Map(Vec2 p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
    // The bounding box of the mapped rectangle.
    Rect MapRect(const Rect& r) const {
        if (r.IsEmpty()) {
            return Rect::Empty();
        }
        Rect out = Rect::Empty();
        out.Include(Map({r.xmin, r.ymin}));
        out.Include(Map({r.xmax, r.ymin}));
        out.Include(Map({r.xmin, r.ymax}));
        out.Include(Map({r.xmax, r.ymax}));
        return out;
    }
    // This map followed by `next`.
    Affine Then(const Affine& n) const {
        return {n.a * a + n.c * b, n.b * a + n.d * b,       n.a * c + n.c * d,
                n.b * c + n.d * d, n.a * e + n.c * f + n.e, n.b * e + n.d * f + n.f};
    }
    double Determinant() const { return a * d - b * c; }
    // The map back; none when this one flattens the plane or is not finite.
    std::optional<Affine> Inverted() const {
        const double det = Determinant();
        if (!(std::abs(det) > 0) || !std::isfinite(det) || !std::isfinite(e) || !std::isfinite(f)) {
            return std::nullopt;
        }
        const Affine linear{d / det, -b / det, -c / det, a / det, 0, 0};
        const Vec2 shift = linear.Map({e, f});
        return Affine{linear.a, linear.b, linear.c, linear.d, -shift.x, -shift.y};
    }
    // The factor by which lengths grow (exact for similarity maps).
    double LengthScale() const { return std::sqrt(std::abs(Determinant())); }
    friend bool operator==(const Affine&, const Affine&) = default;
};

// The 3D transform of a 2D one (z kept).
inline Transform FromAffine(const Affine& a) {
    Transform r;
    r.m[0][0] = a.a, r.m[0][1] = a.c, r.t.x = a.e;
    r.m[1][0] = a.b, r.m[1][1] = a.d, r.t.y = a.f;
    return r;
}

}  // namespace vx::engine::geom
