#include "engine/geom/Dashes.h"

#include <algorithm>
#include <cmath>

namespace vx::engine::geom {

namespace {

constexpr double kEps = kSamePlaceMm;
constexpr double kMaxDashes = 200000;

bool Same(Vec2 a, Vec2 b) {
    return Length(a - b) <= kEps;
}

}  // namespace

bool CutDashes(const Vec2* points, std::size_t n, bool closed, const DashPattern& pattern,
               DashPieces& out) {
    out.Clear();
    if (pattern.Solid() || n < 2) {
        return false;
    }
    double total = 0;
    const std::size_t segs = closed ? n : n - 1;
    for (std::size_t i = 0; i < segs; ++i) {
        total += Length(points[(i + 1) % n] - points[i]);
    }
    if (total < pattern.length || total / pattern.length * pattern.elements.size() > kMaxDashes) {
        return false;
    }
    std::size_t el = 0;
    double left = std::abs(pattern.elements[0]);  // of the current element
    bool inDash = false;
    double angle = 0;  // the direction of the segment being cut
    auto startElement = [&](Vec2 at) {
        if (!pattern.marked.empty() &&
            std::find(pattern.marked.begin(), pattern.marked.end(), el) != pattern.marked.end()) {
            out.marks.push_back({at, angle, el});
        }
        const double len = pattern.elements[el];
        if (len >= 0) {
            out.starts.push_back(static_cast<std::uint32_t>(out.points.size()));
            out.points.push_back(at);
        }
        inDash = len > 0;
    };
    startElement(points[0]);
    for (std::size_t i = 0; i < segs; ++i) {
        const Vec2 a = points[i];
        const Vec2 b = points[(i + 1) % n];
        const Vec2 d = b - a;
        const double len = Length(d);
        if (len > 0) {
            angle = std::atan2(d.y, d.x);
        }
        if (i == 0 && !out.marks.empty()) {
            out.marks.front().angle = angle;  // the first element began before any segment
        }
        double pos = 0;
        while (len - pos > left) {
            pos += left;
            const Vec2 at = a + d * (pos / len);
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

std::vector<Polygon> ApplyDashes(const Polygon& line, bool closed,
                                 const std::vector<double>& pattern, bool adaptive) {
    Polygon pts = line;
    if (closed && pts.size() > 1 && !Same(pts.front(), pts.back())) {
        pts.push_back(pts.front());
    }
    std::vector<double> lengths;
    double patternLength = 0;
    for (double v : pattern) {
        lengths.push_back(std::max(0.0, v));
        patternLength += lengths.back();
    }
    // Arc length at each point.
    std::vector<double> at(pts.size(), 0.0);
    for (std::size_t i = 1; i < pts.size(); ++i) {
        at[i] = at[i - 1] + Length(pts[i] - pts[i - 1]);
    }
    const double total = at.empty() ? 0.0 : at.back();
    if (lengths.empty() || patternLength <= kEps || pts.size() < 2 || total <= kEps) {
        return {pts};
    }
    if (adaptive) {
        if (total < patternLength) {
            return {pts};
        }
        // Whole patterns plus the first dash, so that the line ends on a dash.
        const double first = lengths.front();
        const double repeats = std::max(1.0, std::round((total - first) / patternLength));
        const double k = total / (repeats * patternLength + first);
        for (double& v : lengths) {
            v *= k;
        }
    }
    // The point at arc length s, and the stretch of the line between two arc lengths.
    std::size_t seg = 0;
    const auto pointAt = [&](double s) {
        while (seg + 2 < at.size() && at[seg + 1] < s) {
            ++seg;
        }
        const double len = at[seg + 1] - at[seg];
        const double t = len > 0 ? std::clamp((s - at[seg]) / len, 0.0, 1.0) : 0.0;
        return pts[seg] + (pts[seg + 1] - pts[seg]) * t;
    };
    std::vector<Polygon> dashes;
    double pos = 0;
    for (std::size_t slot = 0; pos < total - kEps; slot = (slot + 1) % lengths.size()) {
        const double len = lengths[slot];
        if (slot % 2 == 0) {
            const double end = std::min(pos + len, total);
            Polygon dash;
            dash.push_back(pointAt(pos));
            if (end - pos > kEps) {
                for (std::size_t i = seg + 1; i + 1 < at.size() && at[i] < end; ++i) {
                    if (at[i] > pos) {
                        dash.push_back(pts[i]);
                    }
                }
                dash.push_back(pointAt(end));
            }
            dashes.push_back(std::move(dash));
        }
        pos += len;
    }
    // A dot that the rounding of the last pattern put at the very end of the line.
    if (adaptive && lengths.front() <= kEps &&
        (dashes.empty() || !Same(dashes.back().back(), pts.back()))) {
        dashes.push_back(Polygon{pts.back()});
    }
    return dashes;
}

}  // namespace vx::engine::geom
