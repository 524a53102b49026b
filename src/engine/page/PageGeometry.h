// Plain 2D geometry for the output side: points, rectangles and affine maps in double
// precision. No Qt here, so the page arithmetic can be used and tested anywhere.
#pragma once

#include <algorithm>
#include <cmath>

namespace vx::engine::page {

struct Point {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const Point&, const Point&) = default;
};

// An axis-aligned rectangle. Empty when xmax < xmin or ymax < ymin; a rectangle of zero
// width or height (a point, a line) is not empty.
struct Rect {
    double xmin = 0.0;
    double ymin = 0.0;
    double xmax = -1.0;
    double ymax = -1.0;

    static Rect FromCorners(Point a, Point b) {
        return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    }
    static Rect Empty() { return {}; }

    bool IsEmpty() const { return !(xmax >= xmin && ymax >= ymin); }
    double Width() const { return IsEmpty() ? 0.0 : xmax - xmin; }
    double Height() const { return IsEmpty() ? 0.0 : ymax - ymin; }
    Point Center() const { return {(xmin + xmax) / 2.0, (ymin + ymax) / 2.0}; }
    bool IsFinite() const {
        return std::isfinite(xmin) && std::isfinite(ymin) && std::isfinite(xmax) &&
               std::isfinite(ymax);
    }

    void Include(Point p) {
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
            Include(Point{r.xmin, r.ymin});
            Include(Point{r.xmax, r.ymax});
        }
    }
    bool Contains(Point p, double tolerance = 0.0) const {
        return p.x >= xmin - tolerance && p.x <= xmax + tolerance && p.y >= ymin - tolerance &&
               p.y <= ymax + tolerance;
    }
    bool Contains(const Rect& r, double tolerance = 0.0) const {
        return !r.IsEmpty() && Contains(Point{r.xmin, r.ymin}, tolerance) &&
               Contains(Point{r.xmax, r.ymax}, tolerance);
    }
    bool Intersects(const Rect& r) const {
        return !IsEmpty() && !r.IsEmpty() && r.xmin <= xmax && r.xmax >= xmin && r.ymin <= ymax &&
               r.ymax >= ymin;
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

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

    Point Map(Point p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
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
    // The factor by which lengths grow (exact for similarity maps).
    double LengthScale() const { return std::sqrt(std::abs(Determinant())); }
    friend bool operator==(const Affine&, const Affine&) = default;
};

}  // namespace vx::engine::page
