#include "engine/output/PaperGeometry.h"

#include <QTransform>
#include <algorithm>
#include <cmath>

namespace vx::engine::output {

namespace {

// Paper millimetres: a ten-thousandth of a micrometre is "the same place".
constexpr double kEps = 1e-7;

double Cross(QPointF a, QPointF b) {
    return a.x() * b.y() - a.y() * b.x();
}
double Dot(QPointF a, QPointF b) {
    return a.x() * b.x() + a.y() * b.y();
}
double Length(QPointF v) {
    return std::hypot(v.x(), v.y());
}
bool Same(QPointF a, QPointF b) {
    return Length(a - b) <= kEps;
}

bool OnSegment(QPointF p, QPointF a, QPointF b) {
    const QPointF ab = b - a;
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
void Crossings(QPointF a, QPointF b, QPointF c, QPointF d, std::vector<double>& ts) {
    const QPointF r = b - a;
    const QPointF s = d - c;
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
        for (QPointF p : {c, d}) {
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

QPointF Lerp(QPointF a, QPointF b, double t) {
    return a + (b - a) * t;
}

double SignedArea(const QPolygonF& ring) {
    double sum = 0;
    for (qsizetype i = 0, n = ring.size(); i < n; ++i) {
        sum += Cross(ring[i], ring[(i + 1) % n]);
    }
    return sum / 2;
}

// Horizontal bars of `width` every `spacing` covering `cover`, turned by `degrees` about
// the paper origin (so that patterns of neighbouring areas line up).
QPainterPath Bars(const QRectF& cover, double degrees, double spacing, double width) {
    QTransform turn;
    turn.rotate(degrees);
    const QTransform back = turn.inverted();
    const QRectF local = back.mapRect(cover);
    QPainterPath bars;
    const double first = std::floor(local.top() / spacing) * spacing;
    for (double y = first; y <= local.bottom() + spacing; y += spacing) {
        bars.addRect(
            QRectF(local.left() - spacing, y - width / 2, local.width() + 2 * spacing, width));
    }
    return turn.map(bars);
}

// Squares of side `side` on a grid of `spacing`, every other one when `checker`, turned by
// `degrees` about each square's centre.
QPainterPath Squares(const QRectF& cover, double spacing, double side, bool checker,
                     double degrees) {
    QPainterPath squares;
    const long i0 = static_cast<long>(std::floor(cover.left() / spacing)) - 1;
    const long i1 = static_cast<long>(std::ceil(cover.right() / spacing)) + 1;
    const long j0 = static_cast<long>(std::floor(cover.top() / spacing)) - 1;
    const long j1 = static_cast<long>(std::ceil(cover.bottom() / spacing)) + 1;
    for (long i = i0; i <= i1; ++i) {
        for (long j = j0; j <= j1; ++j) {
            if (checker && ((i + j) % 2 != 0)) {
                continue;
            }
            const QPointF centre((i + 0.5) * spacing, (j + 0.5) * spacing);
            QPolygonF square(QRectF(-side / 2, -side / 2, side, side));
            QTransform t;
            t.translate(centre.x(), centre.y());
            t.rotate(degrees);
            squares.addPolygon(t.map(square));
            squares.closeSubpath();
        }
    }
    return squares;
}

std::vector<QPolygonF> Rings(const QPainterPath& path) {
    std::vector<QPolygonF> rings;
    for (const QPolygonF& p : path.toSubpathPolygons()) {
        QPolygonF ring = p;
        if (ring.size() > 1 && Same(ring.front(), ring.back())) {
            ring.removeLast();
        }
        if (ring.size() >= 3 && std::abs(SignedArea(ring)) > kEps * kEps) {
            rings.push_back(ring);
        }
    }
    return rings;
}

}  // namespace

bool PointInPolygon(QPointF p, const QPolygonF& polygon) {
    const qsizetype n = polygon.size();
    if (n == 0) {
        return false;
    }
    bool inside = false;
    for (qsizetype i = 0, j = n - 1; i < n; j = i++) {
        const QPointF a = polygon[i];
        const QPointF b = polygon[j];
        if (OnSegment(p, a, b)) {
            return true;
        }
        if ((a.y() > p.y()) != (b.y() > p.y())) {
            const double x = a.x() + (p.y() - a.y()) * (b.x() - a.x()) / (b.y() - a.y());
            if (p.x() < x) {
                inside = !inside;
            }
        }
    }
    return inside;
}

std::vector<QPolygonF> ClipPolyline(const QPolygonF& line, bool closed, const QPolygonF& clip) {
    std::vector<QPolygonF> parts;
    if (line.isEmpty() || clip.size() < 3) {
        return parts;
    }
    bool dot = true;
    for (QPointF p : line) {
        dot = dot && Same(p, line.front());
    }
    if (dot) {
        if (PointInPolygon(line.front(), clip)) {
            parts.push_back(QPolygonF{line.front()});
        }
        return parts;
    }
    QPolygonF pts = line;
    if (closed && !Same(pts.front(), pts.back())) {
        pts.append(pts.front());
    }
    QPolygonF current;
    bool cut = false;  // some piece lies outside
    const auto flush = [&] {
        if (current.size() >= 2) {
            parts.push_back(current);
        }
        current.clear();
    };
    for (qsizetype i = 0; i + 1 < pts.size(); ++i) {
        const QPointF a = pts[i];
        const QPointF b = pts[i + 1];
        if (Same(a, b)) {
            continue;
        }
        std::vector<double> ts{0.0, 1.0};
        for (qsizetype k = 0, n = clip.size(); k < n; ++k) {
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
            const QPointF p0 = Lerp(a, b, t0);
            if (!current.isEmpty() && !Same(current.back(), p0)) {
                flush();
            }
            if (current.isEmpty()) {
                current << p0;
            }
            current << Lerp(a, b, t1);
        }
    }
    flush();
    // A closed line cut somewhere: its last part runs on into its first.
    if (closed && cut && parts.size() >= 2 && Same(parts.back().back(), parts.front().front())) {
        QPolygonF joined = parts.back();
        joined.removeLast();
        joined += parts.front();
        parts.front() = joined;
        parts.pop_back();
    }
    return parts;
}

QPainterPath AreaPath(const std::vector<QPolygonF>& rings) {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    for (const QPolygonF& ring : rings) {
        if (ring.size() >= 2) {
            path.addPolygon(ring);
            path.closeSubpath();
        }
    }
    return path;
}

std::vector<QPolygonF> ClipArea(const std::vector<QPolygonF>& rings, const QPolygonF& clip) {
    if (clip.size() < 3) {
        return {};
    }
    QPainterPath clipPath;
    clipPath.setFillRule(Qt::OddEvenFill);
    clipPath.addPolygon(clip);
    clipPath.closeSubpath();
    const QPainterPath area = AreaPath(rings);
    // Whole areas inside the clip pass unchanged (the usual case, and exact).
    bool inside = !rings.empty();
    for (const QPolygonF& ring : rings) {
        for (QPointF p : ring) {
            if (!PointInPolygon(p, clip)) {
                inside = false;
                break;
            }
        }
        if (!inside) {
            break;
        }
    }
    if (inside) {
        bool crossing = false;
        for (const QPolygonF& ring : rings) {
            if (ClipPolyline(ring, true, clip).size() != 1) {
                crossing = true;
                break;
            }
        }
        if (!crossing) {
            return rings;
        }
    }
    return Rings(area.intersected(clipPath));
}

std::vector<QPolygonF> ApplyDashes(const QPolygonF& line, bool closed,
                                   const std::vector<double>& pattern, bool adaptive) {
    QPolygonF pts = line;
    if (closed && pts.size() > 1 && !Same(pts.front(), pts.back())) {
        pts.append(pts.front());
    }
    std::vector<double> lengths;
    double patternLength = 0;
    for (double v : pattern) {
        lengths.push_back(std::max(0.0, v));
        patternLength += lengths.back();
    }
    // Arc length at each point.
    std::vector<double> at(static_cast<std::size_t>(pts.size()), 0.0);
    for (qsizetype i = 1; i < pts.size(); ++i) {
        at[static_cast<std::size_t>(i)] =
            at[static_cast<std::size_t>(i - 1)] + Length(pts[i] - pts[i - 1]);
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
        return Lerp(pts[static_cast<qsizetype>(seg)], pts[static_cast<qsizetype>(seg + 1)], t);
    };
    std::vector<QPolygonF> dashes;
    double pos = 0;
    for (std::size_t slot = 0; pos < total - kEps; slot = (slot + 1) % lengths.size()) {
        const double len = lengths[slot];
        if (slot % 2 == 0) {
            const double end = std::min(pos + len, total);
            QPolygonF dash;
            dash << pointAt(pos);
            if (end - pos > kEps) {
                for (std::size_t i = seg + 1; i + 1 < at.size() && at[i] < end; ++i) {
                    if (at[i] > pos) {
                        dash << pts[static_cast<qsizetype>(i)];
                    }
                }
                dash << pointAt(end);
            }
            dashes.push_back(dash);
        }
        pos += len;
    }
    // A dot that the rounding of the last pattern put at the very end of the line.
    if (adaptive && lengths.front() <= kEps &&
        (dashes.empty() || !Same(dashes.back().back(), pts.back()))) {
        dashes.push_back(QPolygonF{pts.back()});
    }
    return dashes;
}

std::vector<std::vector<QPolygonF>> FillPatternShapes(const std::vector<QPolygonF>& rings,
                                                      plotstyle::FillStyle style) {
    using plotstyle::FillStyle;
    const QPainterPath area = AreaPath(rings);
    if (style == FillStyle::Solid) {
        return {rings};
    }
    const QRectF cover = area.boundingRect();
    std::vector<QPainterPath> patterns;
    const double s = kPatternSpacingMm;
    const double w = kPatternBarMm;
    switch (style) {
        case FillStyle::HorizontalBars:
            patterns.push_back(Bars(cover, 0, s, w));
            break;
        case FillStyle::VerticalBars:
            patterns.push_back(Bars(cover, 90, s, w));
            break;
        case FillStyle::SlantRight:
            patterns.push_back(Bars(cover, 45, s, w));
            break;
        case FillStyle::SlantLeft:
            patterns.push_back(Bars(cover, -45, s, w));
            break;
        case FillStyle::Crosshatch:
            patterns.push_back(Bars(cover, 45, s, w));
            patterns.push_back(Bars(cover, -45, s, w));
            break;
        case FillStyle::Checkerboard:
            patterns.push_back(Squares(cover, s / 2, s / 2, true, 0));
            break;
        case FillStyle::Diamonds:
            patterns.push_back(Squares(cover, s, s / 2, false, 45));
            break;
        case FillStyle::SquareDots:
            patterns.push_back(Squares(cover, s, w, false, 0));
            break;
        case FillStyle::Solid:
            break;
    }
    std::vector<std::vector<QPolygonF>> sets;
    for (QPainterPath& pattern : patterns) {
        pattern.setFillRule(Qt::WindingFill);
        auto shapes = Rings(pattern.intersected(area));
        if (!shapes.empty()) {
            sets.push_back(std::move(shapes));
        }
    }
    return sets;
}

double EvenOddArea(const std::vector<QPolygonF>& rings) {
    double area = 0;
    for (std::size_t i = 0; i < rings.size(); ++i) {
        if (rings[i].isEmpty()) {
            continue;
        }
        int depth = 0;
        for (std::size_t j = 0; j < rings.size(); ++j) {
            if (j != i && rings[j].size() >= 3 &&
                rings[j].containsPoint(rings[i].front(), Qt::OddEvenFill)) {
                ++depth;
            }
        }
        area += (depth % 2 == 0 ? 1 : -1) * std::abs(SignedArea(rings[i]));
    }
    return area;
}

}  // namespace vx::engine::output
