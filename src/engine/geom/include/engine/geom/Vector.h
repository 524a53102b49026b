// Vectors of the engine's geometry: points and directions of a drawing in 3D, points on
// the paper in 2D. Plain double-precision values; no Qt.
#pragma once

#include <cmath>

namespace vx::engine::geom {

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

// A point (or direction) on the paper.
struct Vec2 {
    double x = 0.0;
    double y = 0.0;

    friend Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
    friend Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
    friend Vec2 operator-(Vec2 a) { return {-a.x, -a.y}; }
    friend Vec2 operator*(Vec2 a, double s) { return {a.x * s, a.y * s}; }
    friend Vec2 operator/(Vec2 a, double s) { return {a.x / s, a.y / s}; }
    Vec2& operator+=(Vec2 b) { return *this = *this + b; }
    Vec2& operator-=(Vec2 b) { return *this = *this - b; }
    friend bool operator==(const Vec2&, const Vec2&) = default;
};

inline double Dot(Vec2 a, Vec2 b) {
    return a.x * b.x + a.y * b.y;
}
// The z of the 3D cross product: positive when b turns counter-clockwise from a.
inline double Cross(Vec2 a, Vec2 b) {
    return a.x * b.y - a.y * b.x;
}
inline double Length(Vec2 a) {
    return std::hypot(a.x, a.y);
}

}  // namespace vx::engine::geom
