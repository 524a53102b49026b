// Outlines on the paper: subpaths of straight and cubic Bézier pieces, as the outlines of
// TrueType glyphs come. Filled, a path's subpaths are closed implicitly.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/geom/Box.h"
#include "engine/geom/Polygon.h"
#include "engine/geom/Transform.h"
#include "engine/geom/Vector.h"

namespace vx::engine::geom {

class Path {
public:
    enum class Op : std::uint8_t {
        Move,   // starts a subpath at one point
        Line,   // to one point
        Cubic,  // two control points, then the end point
    };

    void MoveTo(Vec2 p) {
        ops_.push_back(Op::Move);
        points_.push_back(p);
    }
    // A line or curve with no subpath begun starts one at the origin.
    void LineTo(Vec2 p) {
        Begin();
        ops_.push_back(Op::Line);
        points_.push_back(p);
    }
    void CubicTo(Vec2 c1, Vec2 c2, Vec2 end) {
        Begin();
        ops_.push_back(Op::Cubic);
        points_.insert(points_.end(), {c1, c2, end});
    }

    // Appends the subpaths of `from`, each point mapped by `t` (a glyph placed on the page).
    void Append(const Path& from, const Affine& t) {
        Grow(ops_, from.ops_.size());
        ops_.insert(ops_.end(), from.ops_.begin(), from.ops_.end());
        Grow(points_, from.points_.size());
        for (Vec2 p : from.points_) {
            points_.push_back(t.Map(p));
        }
    }

    // Room for `ops` more ops and `points` more points (growing as vectors grow).
    void Reserve(std::size_t ops, std::size_t points) {
        Grow(ops_, ops);
        Grow(points_, points);
    }

    bool Empty() const { return ops_.empty(); }
    const std::vector<Op>& Ops() const { return ops_; }
    // The points of the ops in order: one for a move or line, three for a cubic.
    const std::vector<Vec2>& Points() const { return points_; }

    // The box of every point, control points included (it holds the whole outline).
    Rect ControlBounds() const { return BoundsOf(points_); }

    // The subpaths as point runs of two points or more, each cubic split in halves until
    // its control points lie within about `flatness` of its chord (at most 512 chords).
    std::vector<Polygon> Flattened(double flatness = kFlatnessMm) const;

    static constexpr double kFlatnessMm = 0.5;

private:
    template <class T>
    static void Grow(std::vector<T>& v, std::size_t more) {
        if (v.capacity() - v.size() < more) {
            v.reserve(std::max(v.size() + more, 2 * v.capacity()));
        }
    }
    void Begin() {
        if (ops_.empty()) {
            MoveTo({});
        }
    }

    std::vector<Op> ops_;
    std::vector<Vec2> points_;
};

}  // namespace vx::engine::geom
