#include "engine/geom/Path.h"

#include <cmath>

namespace vx::engine::geom {

namespace {

struct Bezier {
    Vec2 p1, p2, p3, p4;
};

// De Casteljau at the middle.
void Halve(const Bezier& b, Bezier& first, Bezier& second) {
    const auto mid = [](double a, double c) { return (a + c) * 0.5; };
    const Vec2 c{mid(b.p2.x, b.p3.x), mid(b.p2.y, b.p3.y)};
    first.p1 = b.p1;
    first.p2 = {mid(b.p1.x, b.p2.x), mid(b.p1.y, b.p2.y)};
    second.p4 = b.p4;
    second.p3 = {mid(b.p3.x, b.p4.x), mid(b.p3.y, b.p4.y)};
    first.p3 = {mid(first.p2.x, c.x), mid(first.p2.y, c.y)};
    second.p2 = {mid(second.p3.x, c.x), mid(second.p3.y, c.y)};
    first.p4 = second.p1 = {mid(first.p3.x, second.p2.x), mid(first.p3.y, second.p2.y)};
}

// Flat enough: the control points' distances from the chord, summed (as cross products
// over the chord's Manhattan length; against the start point for a chord under a unit).
bool Flat(const Bezier& b, double flatness) {
    const double dx = b.p4.x - b.p1.x;
    const double dy = b.p4.y - b.p1.y;
    double l = std::abs(dx) + std::abs(dy);
    double d = 0;
    if (l > 1.0) {
        d = std::abs(dx * (b.p1.y - b.p2.y) - dy * (b.p1.x - b.p2.x)) +
            std::abs(dx * (b.p1.y - b.p3.y) - dy * (b.p1.x - b.p3.x));
    } else {
        d = std::abs(b.p1.x - b.p2.x) + std::abs(b.p1.y - b.p2.y) + std::abs(b.p1.x - b.p3.x) +
            std::abs(b.p1.y - b.p3.y);
        l = 1.0;
    }
    return d < flatness * l;
}

void AppendCubic(const Bezier& b, int depth, double flatness, Polygon& out) {
    if (depth == 0 || Flat(b, flatness)) {
        out.push_back(b.p4);
        return;
    }
    Bezier first, second;
    Halve(b, first, second);
    AppendCubic(first, depth - 1, flatness, out);
    AppendCubic(second, depth - 1, flatness, out);
}

}  // namespace

std::vector<Polygon> Path::Flattened(double flatness) const {
    std::vector<Polygon> runs;
    Polygon current;
    std::size_t k = 0;
    for (Op op : ops_) {
        switch (op) {
            case Op::Move:
                if (current.size() > 1) {
                    runs.push_back(std::move(current));
                }
                current.clear();
                current.push_back(points_[k++]);
                break;
            case Op::Line:
                current.push_back(points_[k++]);
                break;
            case Op::Cubic: {
                const Bezier b{current.back(), points_[k], points_[k + 1], points_[k + 2]};
                k += 3;
                AppendCubic(b, 9, flatness, current);
                break;
            }
        }
    }
    if (current.size() > 1) {
        runs.push_back(std::move(current));
    }
    return runs;
}

}  // namespace vx::engine::geom
