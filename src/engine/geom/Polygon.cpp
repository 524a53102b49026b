#include "engine/geom/Polygon.h"

#include <algorithm>
#include <cmath>

namespace vx::engine::geom {

namespace {

constexpr double kEps = kSamePlaceMm;

bool Same(Vec2 a, Vec2 b) {
    return Length(a - b) <= kEps;
}

Vec2 Lerp(Vec2 a, Vec2 b, double t) {
    return a + (b - a) * t;
}

bool OnSegment(Vec2 p, Vec2 a, Vec2 b) {
    const Vec2 ab = b - a;
    const double len = Length(ab);
    if (len <= kEps) {
        return Same(p, a);
    }
    if (std::abs(Cross(ab, p - a)) / len > kEps) {
        return false;
    }
    const double t = Dot(p - a, ab) / (len * len);
    return t >= -kEps && t <= 1 + kEps;
}

// Parameters t along a->b where it meets the edge c->d (both ends of a shared stretch when
// the two lie on one line).
void Crossings(Vec2 a, Vec2 b, Vec2 c, Vec2 d, std::vector<double>& ts) {
    const Vec2 r = b - a;
    const Vec2 s = d - c;
    const double denom = Cross(r, s);
    const double rr = Dot(r, r);
    if (rr <= kEps * kEps) {
        return;
    }
    if (std::abs(denom) <= 1e-12 * Length(r) * std::max(Length(s), kEps)) {
        // Parallel: only a shared line matters; its ends split the segment.
        if (std::abs(Cross(c - a, r)) / std::sqrt(rr) > kEps) {
            return;
        }
        for (Vec2 p : {c, d}) {
            const double t = Dot(p - a, r) / rr;
            if (t > 0 && t < 1) {
                ts.push_back(t);
            }
        }
        return;
    }
    const double t = Cross(c - a, s) / denom;
    const double u = Cross(c - a, r) / denom;
    if (t > 0 && t < 1 && u >= -kEps && u <= 1 + kEps) {
        ts.push_back(t);
    }
}

// Strict even-odd test: boundary points fall either way.
bool InsideEvenOdd(Vec2 p, const Polygon& ring) {
    bool inside = false;
    for (std::size_t i = 0, n = ring.size(), j = n - 1; i < n; j = i++) {
        const Vec2 a = ring[i];
        const Vec2 b = ring[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y)) {
            inside = !inside;
        }
    }
    return inside;
}

}  // namespace

Rect BoundsOf(const Vec2* p, std::size_t n) {
    Rect r = Rect::Empty();
    for (std::size_t i = 0; i < n; ++i) {
        r.Include(p[i]);
    }
    return r;
}

Polygon RectRing(const Rect& r) {
    return {
        {r.xmin, r.ymin}, {r.xmax, r.ymin}, {r.xmax, r.ymax}, {r.xmin, r.ymax}, {r.xmin, r.ymin}};
}

bool PointInPolygon(Vec2 p, const Polygon& polygon) {
    const std::size_t n = polygon.size();
    if (n == 0) {
        return false;
    }
    bool inside = false;
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const Vec2 a = polygon[i];
        const Vec2 b = polygon[j];
        if (OnSegment(p, a, b)) {
            return true;
        }
        if ((a.y > p.y) != (b.y > p.y)) {
            const double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (p.x < x) {
                inside = !inside;
            }
        }
    }
    return inside;
}

std::vector<Polygon> ClipPolyline(const Polygon& line, bool closed, const Polygon& clip) {
    std::vector<Polygon> parts;
    if (line.empty() || clip.size() < 3) {
        return parts;
    }
    bool dot = true;
    for (Vec2 p : line) {
        dot = dot && Same(p, line.front());
    }
    if (dot) {
        if (PointInPolygon(line.front(), clip)) {
            parts.push_back(Polygon{line.front()});
        }
        return parts;
    }
    Polygon pts = line;
    if (closed && !Same(pts.front(), pts.back())) {
        pts.push_back(pts.front());
    }
    Polygon current;
    bool cut = false;  // some piece lies outside
    const auto flush = [&] {
        if (current.size() >= 2) {
            parts.push_back(current);
        }
        current.clear();
    };
    std::vector<double> ts;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        const Vec2 a = pts[i];
        const Vec2 b = pts[i + 1];
        if (Same(a, b)) {
            continue;
        }
        ts.assign({0.0, 1.0});
        for (std::size_t k = 0, n = clip.size(); k < n; ++k) {
            Crossings(a, b, clip[k], clip[(k + 1) % n], ts);
        }
        std::sort(ts.begin(), ts.end());
        for (std::size_t k = 0; k + 1 < ts.size(); ++k) {
            const double t0 = ts[k];
            const double t1 = ts[k + 1];
            if (t1 - t0 <= 1e-12) {
                continue;
            }
            if (!PointInPolygon(Lerp(a, b, (t0 + t1) / 2), clip)) {
                cut = true;
                flush();
                continue;
            }
            const Vec2 p0 = Lerp(a, b, t0);
            if (!current.empty() && !Same(current.back(), p0)) {
                flush();
            }
            if (current.empty()) {
                current.push_back(p0);
            }
            current.push_back(Lerp(a, b, t1));
        }
    }
    flush();
    // A closed line cut somewhere: its last part runs on into its first.
    if (closed && cut && parts.size() >= 2 && Same(parts.back().back(), parts.front().front())) {
        Polygon joined = std::move(parts.back());
        joined.pop_back();
        joined.insert(joined.end(), parts.front().begin(), parts.front().end());
        parts.front() = std::move(joined);
        parts.pop_back();
    }
    return parts;
}

double SignedArea(const Polygon& ring) {
    double sum = 0;
    for (std::size_t i = 0, n = ring.size(); i < n; ++i) {
        sum += Cross(ring[i], ring[(i + 1) % n]);
    }
    return sum / 2;
}

double EvenOddArea(const std::vector<Polygon>& rings) {
    double area = 0;
    for (std::size_t i = 0; i < rings.size(); ++i) {
        if (rings[i].empty()) {
            continue;
        }
        int depth = 0;
        for (std::size_t j = 0; j < rings.size(); ++j) {
            if (j != i && rings[j].size() >= 3 && InsideEvenOdd(rings[i].front(), rings[j])) {
                ++depth;
            }
        }
        area += (depth % 2 == 0 ? 1 : -1) * std::abs(SignedArea(rings[i]));
    }
    return area;
}

}  // namespace vx::engine::geom
