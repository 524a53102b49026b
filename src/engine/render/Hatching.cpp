#include "engine/render/Hatching.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <numbers>

#include "engine/geom/Curves.h"

namespace vx::engine::render {

using geom::AppendBulge;
using geom::AppendEllipse;
using geom::AppendFitSpline;
using geom::AppendSpline;
using geom::ArcSegments;
using geom::SplineData;
using geom::ValidSpline;

// The text of patterns/standard.pat, compiled in.
extern const char* const kStandardPatText;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;
constexpr double kMaxLineNumber = 1125899906842624.0;  // 2^50

double SweepDegrees(double start, double end) {
    double s = std::fmod(end - start, 360.0);
    if (s <= 1e-9) {
        s += 360.0;
    }
    return s;
}

void AppendPoint(std::vector<db::Vec3>& loop, db::Vec3 p) {
    if (loop.empty() || std::abs(loop.back().x - p.x) > 1e-12 ||
        std::abs(loop.back().y - p.y) > 1e-12) {
        loop.push_back(p);
    }
}

void AppendEdge(std::vector<db::Vec3>& loop, const db::HatchEdge& e, double z, double mmPerUnit,
                double tol) {
    std::vector<db::Vec3> pts;
    switch (e.type) {
        case db::HatchEdge::Type::Line:
            pts = {{e.p0.x, e.p0.y, z}, {e.p1.x, e.p1.y, z}};
            break;
        case db::HatchEdge::Type::Arc: {
            const double sweep = SweepDegrees(e.startAngle, e.endAngle) * kDeg;
            const double start = (e.ccw ? e.startAngle : -e.startAngle) * kDeg;
            const int n = ArcSegments(e.radius * mmPerUnit, sweep, tol);
            AppendEllipse(pts, {e.p0.x, e.p0.y, z}, {e.radius, 0, 0}, {0, e.radius, 0}, start,
                          e.ccw ? sweep : -sweep, n);
            break;
        }
        case db::HatchEdge::Type::Ellipse: {
            const double ratio = e.ratio > 0 ? e.ratio : 1.0;
            const auto param = [ratio](double deg) {
                const double a = deg * kDeg;
                return std::atan2(std::sin(a) / ratio, std::cos(a));
            };
            double t0 = param(e.startAngle), t1 = param(e.endAngle);
            double sweep = std::fmod(t1 - t0, 2 * kPi);
            if (sweep <= 1e-9) {
                sweep += 2 * kPi;
            }
            const db::Vec3 u{e.p1.x, e.p1.y, 0};
            const db::Vec3 v{-e.p1.y * ratio, e.p1.x * ratio, 0};
            const int n = ArcSegments(db::Length(u) * mmPerUnit, sweep, tol);
            AppendEllipse(pts, {e.p0.x, e.p0.y, z}, u, v, e.ccw ? t0 : -t0, e.ccw ? sweep : -sweep,
                          n);
            break;
        }
        case db::HatchEdge::Type::Spline: {
            SplineData s{e.degree, &e.knots, &e.controlPoints, &e.weights};
            if (ValidSpline(s)) {
                AppendSpline(pts, s, mmPerUnit, tol);
            } else if (e.fitPoints.size() >= 2) {
                AppendFitSpline(pts, e.fitPoints, {}, {}, false, mmPerUnit, tol);
            } else {
                pts = e.controlPoints;
            }
            for (db::Vec3& p : pts) {
                p.z = z;
            }
            break;
        }
    }
    for (const db::Vec3& p : pts) {
        AppendPoint(loop, p);
    }
}

double LoopArea(const std::vector<db::Vec3>& loop) {
    double a = 0;
    for (std::size_t i = 0, n = loop.size(); i < n; ++i) {
        const db::Vec3& p = loop[i];
        const db::Vec3& q = loop[(i + 1) % n];
        a += p.x * q.y - q.x * p.y;
    }
    return a / 2;
}

bool ParseNumber(std::string_view s, double& v) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    if (s.empty()) {
        return false;
    }
    // from_chars wants a digit before the point: ".125" and "-.0625" are usual in .pat files.
    std::string t(s);
    if (t[0] == '.') {
        t.insert(0, "0");
    } else if (t.size() > 1 && t[0] == '-' && t[1] == '.') {
        t.insert(1, "0");
    }
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    return ec == std::errc() && end == t.data() + t.size() && std::isfinite(v);
}

struct Table {
    std::vector<std::string> names;
    std::map<std::string, std::vector<db::HatchPatternLine>, std::less<>> patterns;
};

const Table& StandardTable() {
    static const Table table = [] {
        Table t;
        for (auto& [name, lines] : ParsePatFile(kStandardPatText)) {
            t.names.push_back(name);
            t.patterns.emplace(db::FoldName(name), std::move(lines));
        }
        return t;
    }();
    return table;
}

db::Vec3 Rotated(db::Vec3 v, double rad) {
    const double c = std::cos(rad), s = std::sin(rad);
    return {v.x * c - v.y * s, v.x * s + v.y * c, 0};
}

}  // namespace

void HatchLoops(const db::Hatch& hatch, double mmPerUnit, double toleranceMm,
                std::vector<std::vector<db::Vec3>>& loops) {
    loops.clear();
    const double z = hatch.elevation;
    bool anyMarked = false;
    const int keep = hatch.style == 2 ? 1 : hatch.style == 1 ? (1 | 16) : 0;
    if (keep) {
        for (const db::HatchPath& p : hatch.paths) {
            anyMarked = anyMarked || (p.flags & keep) != 0;
        }
    }
    for (const db::HatchPath& path : hatch.paths) {
        if (anyMarked && (path.flags & keep) == 0) {
            continue;
        }
        std::vector<db::Vec3> loop;
        if (path.isPolyline) {
            const std::size_t n = path.polyline.size();
            for (std::size_t i = 0; i < n; ++i) {
                const db::LwVertex& v = path.polyline[i];
                if (i == 0) {
                    AppendPoint(loop, {v.x, v.y, z});
                }
                if (i + 1 < n || path.closed) {
                    const db::LwVertex& w = path.polyline[(i + 1) % n];
                    AppendBulge(loop, {v.x, v.y, z}, {w.x, w.y, z}, v.bulge, mmPerUnit,
                                toleranceMm);
                }
            }
        } else {
            for (const db::HatchEdge& e : path.edges) {
                AppendEdge(loop, e, z, mmPerUnit, toleranceMm);
            }
        }
        while (loop.size() > 1 && std::abs(loop.front().x - loop.back().x) <= 1e-12 &&
               std::abs(loop.front().y - loop.back().y) <= 1e-12) {
            loop.pop_back();
        }
        bool finite = true;
        for (const db::Vec3& p : loop) {
            finite = finite && std::isfinite(p.x) && std::isfinite(p.y);
        }
        if (loop.size() >= 3 && finite && LoopArea(loop) != 0) {
            loops.push_back(std::move(loop));
        }
    }
}

std::vector<std::pair<std::string, std::vector<db::HatchPatternLine>>> ParsePatFile(
    std::string_view text) {
    std::vector<std::pair<std::string, std::vector<db::HatchPatternLine>>> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (const auto semi = line.find(';'); semi != std::string_view::npos) {
            line = line.substr(0, semi);
        }
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.remove_suffix(1);
        }
        while (!line.empty() && line.front() == ' ') {
            line.remove_prefix(1);
        }
        if (line.empty()) {
            continue;
        }
        if (line.front() == '*') {
            std::string_view name = line.substr(1, line.find(',') - 1);
            while (!name.empty() && name.back() == ' ') {
                name.remove_suffix(1);
            }
            out.emplace_back(std::string(name), std::vector<db::HatchPatternLine>{});
            continue;
        }
        if (out.empty()) {
            continue;
        }
        std::vector<double> v;
        bool ok = true;
        std::size_t from = 0;
        while (from <= line.size()) {
            std::size_t comma = line.find(',', from);
            if (comma == std::string_view::npos) {
                comma = line.size();
            }
            double x = 0;
            if (!ParseNumber(line.substr(from, comma - from), x)) {
                ok = false;
                break;
            }
            v.push_back(x);
            from = comma + 1;
        }
        if (!ok || v.size() < 5) {
            continue;
        }
        db::HatchPatternLine pl;
        pl.angle = v[0];
        pl.base = {v[1], v[2], 0};
        pl.offset = Rotated({v[3], v[4], 0}, v[0] * kDeg);
        pl.dashes.assign(v.begin() + 5, v.end());
        out.back().second.push_back(std::move(pl));
    }
    return out;
}

const std::vector<db::HatchPatternLine>* StandardPattern(std::string_view name) {
    const Table& t = StandardTable();
    const auto it = t.patterns.find(db::FoldName(name));
    return it == t.patterns.end() ? nullptr : &it->second;
}

bool StandardPatternInMillimetres(std::string_view name) {
    return db::FoldName(name).rfind("ACAD_ISO", 0) == 0;
}

std::vector<std::string> StandardPatternNames() {
    return StandardTable().names;
}

std::vector<db::HatchPatternLine> EffectivePattern(const db::Hatch& hatch, bool metric,
                                                   bool& unknown) {
    unknown = false;
    if (hatch.solid) {
        return {};
    }
    if (!hatch.patternLines.empty()) {
        return hatch.patternLines;
    }
    const double angle = std::isfinite(hatch.patternAngle) ? hatch.patternAngle : 0.0;
    const double scale =
        hatch.patternScale > 0 && std::isfinite(hatch.patternScale) ? hatch.patternScale : 1.0;
    std::vector<db::HatchPatternLine> out;
    if (hatch.patternType == 0) {
        // User-defined: parallel lines `scale` apart (crossed when double).
        for (int k = 0; k < (hatch.patternDouble ? 2 : 1); ++k) {
            db::HatchPatternLine l;
            l.angle = angle + 90.0 * k;
            l.offset = Rotated({0, scale, 0}, l.angle * kDeg);
            out.push_back(l);
        }
        return out;
    }
    const std::vector<db::HatchPatternLine>* def = StandardPattern(hatch.patternName);
    if (!def) {
        unknown = true;
        return {};
    }
    const bool mm = StandardPatternInMillimetres(hatch.patternName);
    const double factor = scale * (metric && !mm ? 25.4 : !metric && mm ? 1 / 25.4 : 1.0);
    for (const db::HatchPatternLine& d : *def) {
        db::HatchPatternLine l;
        l.angle = d.angle + angle;
        l.base = Rotated(d.base, angle * kDeg) * factor;
        l.offset = Rotated(d.offset, angle * kDeg) * factor;
        for (double x : d.dashes) {
            l.dashes.push_back(x * factor);
        }
        out.push_back(std::move(l));
    }
    return out;
}

bool PatternSegments(const std::vector<db::HatchPatternLine>& pattern,
                     const std::vector<std::vector<db::Vec3>>& loops, std::size_t maxSegments,
                     std::vector<PatternSegment>& out) {
    out.clear();
    std::vector<std::vector<double>> hits;  // per line: where it crosses the loops
    for (const db::HatchPatternLine& pl : pattern) {
        const double a = pl.angle * kDeg;
        const double dx = std::cos(a), dy = std::sin(a);
        const double nx = -dy, ny = dx;
        const double spacing = pl.offset.x * nx + pl.offset.y * ny;
        if (!(std::abs(spacing) > 1e-12) || !std::isfinite(spacing)) {
            return false;
        }
        // Lines sit at k = (p - base) . n / spacing for whole numbers k.
        double kmin = 1e300, kmax = -1e300;
        for (const auto& loop : loops) {
            for (const db::Vec3& p : loop) {
                const double k = ((p.x - pl.base.x) * nx + (p.y - pl.base.y) * ny) / spacing;
                kmin = std::min(kmin, k);
                kmax = std::max(kmax, k);
            }
        }
        if (kmin > kmax) {
            continue;
        }
        // Line numbers past 2^50 no longer count up one by one in doubles: the lines are
        // far too dense for their distance from the pattern's base.
        if (!(std::max(std::abs(kmin), std::abs(kmax)) < kMaxLineNumber)) {
            out.clear();
            return false;
        }
        const double first = std::ceil(kmin);
        const double count = std::floor(kmax) - first + 1;
        if (count <= 0) {
            continue;
        }
        if (count > static_cast<double>(maxSegments)) {
            out.clear();
            return false;
        }
        hits.assign(static_cast<std::size_t>(count), {});
        // Two crossings make a piece: more crossings than that are more pieces than allowed.
        std::size_t crossings = 0;
        for (const auto& loop : loops) {
            const std::size_t n = loop.size();
            for (std::size_t i = 0; i < n; ++i) {
                const db::Vec3& p = loop[i];
                const db::Vec3& q = loop[(i + 1) % n];
                const double kp = ((p.x - pl.base.x) * nx + (p.y - pl.base.y) * ny) / spacing;
                const double kq = ((q.x - pl.base.x) * nx + (q.y - pl.base.y) * ny) / spacing;
                if (kp == kq) {
                    continue;
                }
                const double lo = std::min(kp, kq), hi = std::max(kp, kq);
                // Half-open, so that a line through a vertex counts it once.
                for (double k = std::ceil(lo); k < hi; ++k) {
                    const double f = (k - kp) / (kq - kp);
                    const double x = p.x + f * (q.x - p.x) - pl.base.x - k * pl.offset.x;
                    const double y = p.y + f * (q.y - p.y) - pl.base.y - k * pl.offset.y;
                    const auto idx = static_cast<std::ptrdiff_t>(k - first);
                    if (idx >= 0 && idx < static_cast<std::ptrdiff_t>(hits.size())) {
                        hits[static_cast<std::size_t>(idx)].push_back(x * dx + y * dy);
                    }
                    if (++crossings > 2 * maxSegments + 2) {
                        out.clear();
                        return false;
                    }
                }
            }
        }
        double period = 0;
        bool ink = pl.dashes.empty();
        for (double d : pl.dashes) {
            period += std::abs(d);
            ink = ink || d >= 0;
        }
        if (!ink) {
            continue;  // gaps only: nothing to draw
        }
        const bool dashed = period > 1e-12 && !pl.dashes.empty();
        for (std::size_t li = 0; li < hits.size(); ++li) {
            std::vector<double>& t = hits[li];
            if (t.size() < 2) {
                continue;
            }
            std::sort(t.begin(), t.end());
            const double k = first + static_cast<double>(li);
            const double ox = pl.base.x + k * pl.offset.x, oy = pl.base.y + k * pl.offset.y;
            const auto emit = [&](double t0, double t1) {
                out.push_back({ox + t0 * dx, oy + t0 * dy, ox + t1 * dx, oy + t1 * dy});
            };
            for (std::size_t i = 0; i + 1 < t.size(); i += 2) {
                const double t0 = t[i], t1 = t[i + 1];
                if (!dashed) {
                    emit(t0, t1);
                } else {
                    // Whole periods counted by number, so that a period too short to move
                    // a position this far out still ends the walk.
                    const double from = std::floor(t0 / period);
                    const double periods = std::floor(t1 / period) - from + 1;
                    if (!(periods <= static_cast<double>(maxSegments))) {
                        out.clear();
                        return false;
                    }
                    for (double c = 0; c < periods; ++c) {
                        double pos = (from + c) * period;
                        for (std::size_t e = 0; e < pl.dashes.size() && pos <= t1; ++e) {
                            const double len = pl.dashes[e];
                            const double end = pos + std::abs(len);
                            if (len > 0 && end > t0) {
                                emit(std::max(pos, t0), std::min(end, t1));
                            } else if (len == 0 && pos >= t0) {
                                emit(pos, pos);
                            }
                            pos = end;
                        }
                        if (out.size() > maxSegments) {
                            out.clear();
                            return false;
                        }
                    }
                }
                if (out.size() > maxSegments) {
                    out.clear();
                    return false;
                }
            }
        }
    }
    return true;
}

}  // namespace vx::engine::render
