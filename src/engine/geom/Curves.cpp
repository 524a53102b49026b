#include "engine/geom/Curves.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vx::engine::geom {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kMaxSegments = 4096;
constexpr int kMaxDegree = 20;

// Distance of p from the line through a and b (from a when they coincide).
double DistanceToChord(Vec3 p, Vec3 a, Vec3 b) {
    const Vec3 ab = b - a;
    const double len = Length(ab);
    if (len == 0) {
        return Length(p - a);
    }
    return Length(Cross(ab, p - a)) / len;
}

// Chords for a curve piece whose points at quarter steps lie `deviation` units off its chord.
int PieceSegments(double deviationMm, double toleranceMm) {
    if (!(deviationMm > toleranceMm)) {
        return 1;
    }
    const double n = std::ceil(std::sqrt(deviationMm / toleranceMm));
    return static_cast<int>(std::clamp(n, 1.0, 256.0));
}

// The span s with knots[s] <= u < knots[s + 1], p <= s < n.
std::size_t FindSpan(const std::vector<double>& k, std::size_t p, std::size_t n, double u) {
    if (u >= k[n]) {
        // The end of the curve belongs to the last non-empty span.
        std::size_t s = n - 1;
        while (s > p && k[s] >= k[n]) {
            --s;
        }
        return s;
    }
    const auto it = std::upper_bound(k.begin() + static_cast<std::ptrdiff_t>(p),
                                     k.begin() + static_cast<std::ptrdiff_t>(n) + 1, u);
    std::size_t s = static_cast<std::size_t>(it - k.begin());
    s = s == 0 ? 0 : s - 1;
    return std::clamp(s, p, n - 1);
}

Vec3 DeBoor(const SplineData& sp, std::size_t s, double u) {
    const auto p = static_cast<std::size_t>(sp.degree);
    const std::vector<double>& k = *sp.knots;
    const std::vector<Vec3>& c = *sp.control;
    const bool rational = sp.weights && !sp.weights->empty();
    double x[kMaxDegree + 1], y[kMaxDegree + 1], z[kMaxDegree + 1], w[kMaxDegree + 1];
    for (std::size_t j = 0; j <= p; ++j) {
        const std::size_t i = s - p + j;
        const double wi = rational ? (*sp.weights)[i] : 1.0;
        x[j] = c[i].x * wi, y[j] = c[i].y * wi, z[j] = c[i].z * wi, w[j] = wi;
    }
    for (std::size_t r = 1; r <= p; ++r) {
        for (std::size_t j = p; j >= r; --j) {
            const std::size_t i = s - p + j;
            const double den = k[i + p - r + 1] - k[i];
            const double a = den != 0 ? (u - k[i]) / den : 0;
            x[j] = (1 - a) * x[j - 1] + a * x[j];
            y[j] = (1 - a) * y[j - 1] + a * y[j];
            z[j] = (1 - a) * z[j - 1] + a * z[j];
            w[j] = (1 - a) * w[j - 1] + a * w[j];
        }
    }
    if (w[p] == 0) {
        return {x[p], y[p], z[p]};
    }
    return {x[p] / w[p], y[p] / w[p], z[p] / w[p]};
}

// Second derivatives of a cubic spline through values v at parameters t; `d0`/`d1` the
// end derivatives, or NaN for natural ends.
std::vector<double> SplineMoments(const std::vector<double>& t, const std::vector<double>& v,
                                  double d0, double d1) {
    const std::size_t n = t.size();
    std::vector<double> a(n, 0), b(n, 1), c(n, 0), r(n, 0);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double h0 = t[i] - t[i - 1], h1 = t[i + 1] - t[i];
        a[i] = h0 / 6;
        b[i] = (h0 + h1) / 3;
        c[i] = h1 / 6;
        r[i] = (v[i + 1] - v[i]) / h1 - (v[i] - v[i - 1]) / h0;
    }
    if (!std::isnan(d0)) {
        const double h = t[1] - t[0];
        b[0] = h / 3, c[0] = h / 6, r[0] = (v[1] - v[0]) / h - d0;
    }
    if (!std::isnan(d1)) {
        const double h = t[n - 1] - t[n - 2];
        a[n - 1] = h / 6, b[n - 1] = h / 3, r[n - 1] = d1 - (v[n - 1] - v[n - 2]) / h;
    }
    // Thomas algorithm.
    for (std::size_t i = 1; i < n; ++i) {
        const double m = a[i] / b[i - 1];
        b[i] -= m * c[i - 1];
        r[i] -= m * r[i - 1];
    }
    std::vector<double> out(n);
    out[n - 1] = r[n - 1] / b[n - 1];
    for (std::size_t i = n - 1; i-- > 0;) {
        out[i] = (r[i] - c[i] * out[i + 1]) / b[i];
    }
    return out;
}

double CubicAt(double t0, double t1, double v0, double v1, double m0, double m1, double t) {
    const double h = t1 - t0;
    const double A = (t1 - t) / h, B = (t - t0) / h;
    return A * v0 + B * v1 + ((A * A * A - A) * m0 + (B * B * B - B) * m1) * h * h / 6;
}

}  // namespace

int ArcSegments(double radiusMm, double sweep, double toleranceMm) {
    sweep = std::abs(sweep);
    if (!std::isfinite(radiusMm) || !std::isfinite(sweep) || sweep == 0) {
        return 1;
    }
    const double tol = std::max(toleranceMm, 1e-6);
    double step = radiusMm > tol ? 2 * std::acos(1 - tol / radiusMm) : kPi / 2;
    step = std::min(step, kPi / 4);  // even tiny circles keep their shape
    const double n = std::ceil(sweep / step);
    return static_cast<int>(std::clamp(n, 1.0, static_cast<double>(kMaxSegments)));
}

void AppendEllipse(std::vector<Vec3>& out, Vec3 centre, Vec3 u, Vec3 v, double t0, double sweep,
                   int segments, bool skipFirst) {
    segments = std::max(segments, 1);
    const double step = sweep / segments;
    // Rotating a unit vector step by step saves the trigonometry of every point.
    const double cs = std::cos(step), sn = std::sin(step);
    double c = std::cos(t0), s = std::sin(t0);
    const std::size_t need = out.size() + static_cast<std::size_t>(segments) + 1;
    if (need > out.capacity()) {
        out.reserve(std::max(need, out.capacity() * 2));  // keep the growth geometric
    }
    for (int i = 0; i <= segments; ++i) {
        if (i == segments) {
            c = std::cos(t0 + sweep), s = std::sin(t0 + sweep);
        } else if (i > 0 && i % 64 == 0) {
            c = std::cos(t0 + i * step), s = std::sin(t0 + i * step);  // no drift
        }
        if (i > 0 || !skipFirst) {
            out.push_back(centre + u * c + v * s);
        }
        const double nc = c * cs - s * sn;
        s = s * cs + c * sn;
        c = nc;
    }
}

bool BulgeGeometry(double ax, double ay, double bx, double by, double bulge, BulgeArc& arc) {
    const double dx = bx - ax, dy = by - ay;
    const double chord = std::hypot(dx, dy);
    if (!std::isfinite(bulge) || std::abs(bulge) < 1e-10 || chord < 1e-12) {
        return false;
    }
    const double theta = 4 * std::atan(bulge);  // signed included angle
    arc.radius = chord / (2 * std::sin(std::abs(theta) / 2));
    const double d = (chord / 2) / std::tan(theta / 2);  // midpoint to centre, signed
    arc.cx = (ax + bx) / 2 - dy / chord * d;
    arc.cy = (ay + by) / 2 + dx / chord * d;
    arc.start = std::atan2(ay - arc.cy, ax - arc.cx);
    arc.sweep = theta;
    return std::isfinite(arc.radius) && std::isfinite(arc.cx) && std::isfinite(arc.cy);
}

void AppendBulge(std::vector<Vec3>& out, Vec3 a, Vec3 b, double bulge, double mmPerUnit,
                 double toleranceMm) {
    BulgeArc arc;
    if (!BulgeGeometry(a.x, a.y, b.x, b.y, bulge, arc)) {
        out.push_back(b);
        return;
    }
    const int n = ArcSegments(arc.radius * mmPerUnit, arc.sweep, toleranceMm);
    const double z = a.z;
    AppendEllipse(out, {arc.cx, arc.cy, z}, {arc.radius, 0, 0}, {0, arc.radius, 0}, arc.start,
                  arc.sweep, n, true);
    out.back() = b;  // end exactly where the next segment begins
}

bool ValidSpline(const SplineData& s) {
    if (!s.knots || !s.control) {
        return false;
    }
    const std::size_t n = s.control->size();
    if (s.degree < 1 || s.degree > kMaxDegree || n < static_cast<std::size_t>(s.degree) + 1) {
        return false;
    }
    if (s.knots->size() != n + static_cast<std::size_t>(s.degree) + 1) {
        return false;
    }
    if (s.weights && !s.weights->empty() && s.weights->size() != n) {
        return false;
    }
    const std::vector<double>& k = *s.knots;
    for (std::size_t i = 0; i < k.size(); ++i) {
        if (!std::isfinite(k[i]) || (i > 0 && k[i] < k[i - 1])) {
            return false;
        }
    }
    return k[n] > k[static_cast<std::size_t>(s.degree)];
}

Vec3 EvaluateSpline(const SplineData& s, double u) {
    const auto p = static_cast<std::size_t>(s.degree);
    const std::size_t n = s.control->size();
    const std::vector<double>& k = *s.knots;
    u = std::clamp(u, k[p], k[n]);
    return DeBoor(s, FindSpan(k, p, n, u), u);
}

void AppendSpline(std::vector<Vec3>& out, const SplineData& s, double mmPerUnit,
                  double toleranceMm) {
    const auto p = static_cast<std::size_t>(s.degree);
    const std::size_t n = s.control->size();
    const std::vector<double>& k = *s.knots;
    if (s.degree == 1) {
        // A degree-1 spline is its control polygon.
        for (std::size_t i = 0; i < n; ++i) {
            out.push_back((*s.control)[i]);
        }
        return;
    }
    out.push_back(DeBoor(s, p, k[p]));
    for (std::size_t span = p; span < n; ++span) {
        const double a = k[span], b = k[span + 1];
        if (!(b > a)) {
            continue;
        }
        const Vec3 pa = out.back();
        const Vec3 pb = DeBoor(s, span, b);
        double dev = 0;
        for (double f : {0.25, 0.5, 0.75}) {
            dev = std::max(dev, DistanceToChord(DeBoor(s, span, a + (b - a) * f), pa, pb));
        }
        const int m = PieceSegments(dev * mmPerUnit, toleranceMm) * 2;
        for (int i = 1; i < m; ++i) {
            out.push_back(DeBoor(s, span, a + (b - a) * i / m));
        }
        out.push_back(pb);
    }
}

void AppendFitSpline(std::vector<Vec3>& out, const std::vector<Vec3>& fitIn, Vec3 startTangent,
                     Vec3 endTangent, bool closed, double mmPerUnit, double toleranceMm) {
    // Drop repeated points: they would give pieces of no length.
    std::vector<Vec3> fit;
    fit.reserve(fitIn.size() + 6);
    for (Vec3 p : fitIn) {
        if (fit.empty() || Length(p - fit.back()) > 1e-12) {
            fit.push_back(p);
        }
    }
    if (closed && fit.size() > 2 && Length(fit.front() - fit.back()) <= 1e-12) {
        fit.pop_back();
    }
    if (fit.size() < 2) {
        out.insert(out.end(), fit.begin(), fit.end());
        return;
    }
    if (fit.size() == 2 && !closed) {
        out.push_back(fit[0]);
        out.push_back(fit[1]);
        return;
    }
    // Closed curves: solve over the points with three wrapped around at each end, so that
    // the middle part is smooth where it closes; natural ends do not reach that far.
    std::size_t first = 0, count = fit.size();
    if (closed) {
        const std::size_t wrap = std::min<std::size_t>(3, fit.size());
        std::vector<Vec3> ext;
        ext.insert(ext.end(), fit.end() - static_cast<std::ptrdiff_t>(wrap), fit.end());
        ext.insert(ext.end(), fit.begin(), fit.end());
        ext.push_back(fit.front());
        ext.insert(ext.end(), fit.begin(), fit.begin() + static_cast<std::ptrdiff_t>(wrap));
        first = wrap;
        count = fit.size() + 1;
        fit = std::move(ext);
    }
    const std::size_t n = fit.size();
    std::vector<double> t(n, 0.0);
    for (std::size_t i = 1; i < n; ++i) {
        t[i] = t[i - 1] + Length(fit[i] - fit[i - 1]);
    }
    const double nan = std::nan("");
    const bool useStart = !closed && Length(startTangent) > 0;
    const bool useEnd = !closed && Length(endTangent) > 0;
    const Vec3 st = Normalized(startTangent), et = Normalized(endTangent);
    std::vector<double> vx(n), vy(n), vz(n);
    for (std::size_t i = 0; i < n; ++i) {
        vx[i] = fit[i].x, vy[i] = fit[i].y, vz[i] = fit[i].z;
    }
    const auto mx = SplineMoments(t, vx, useStart ? st.x : nan, useEnd ? et.x : nan);
    const auto my = SplineMoments(t, vy, useStart ? st.y : nan, useEnd ? et.y : nan);
    const auto mz = SplineMoments(t, vz, useStart ? st.z : nan, useEnd ? et.z : nan);
    auto at = [&](std::size_t i, double u) {
        return Vec3{CubicAt(t[i], t[i + 1], vx[i], vx[i + 1], mx[i], mx[i + 1], u),
                    CubicAt(t[i], t[i + 1], vy[i], vy[i + 1], my[i], my[i + 1], u),
                    CubicAt(t[i], t[i + 1], vz[i], vz[i + 1], mz[i], mz[i + 1], u)};
    };
    out.push_back(fit[first]);
    for (std::size_t i = first; i + 1 < first + count; ++i) {
        const double a = t[i], b = t[i + 1];
        double dev = 0;
        for (double f : {0.25, 0.5, 0.75}) {
            dev = std::max(dev, DistanceToChord(at(i, a + (b - a) * f), fit[i], fit[i + 1]));
        }
        const int m = PieceSegments(dev * mmPerUnit, toleranceMm) * 2;
        for (int j = 1; j < m; ++j) {
            out.push_back(at(i, a + (b - a) * j / m));
        }
        out.push_back(fit[i + 1]);
    }
}

}  // namespace vx::engine::geom
