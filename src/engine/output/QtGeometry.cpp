#include "engine/output/QtGeometry.h"

namespace vx::engine::output {

QPolygonF ToQt(const geom::Polygon& points) {
    QPolygonF out(static_cast<qsizetype>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) {
        out[static_cast<qsizetype>(i)] = ToQt(points[i]);
    }
    return out;
}

geom::Polygon FromQt(const QPolygonF& points) {
    geom::Polygon out;
    out.reserve(static_cast<std::size_t>(points.size()));
    for (QPointF p : points) {
        out.push_back(FromQt(p));
    }
    return out;
}

QPainterPath ToQt(const geom::Path& path, Qt::FillRule rule) {
    QPainterPath out;
    out.setFillRule(rule);
    const std::vector<geom::Vec2>& p = path.Points();
    std::size_t k = 0;
    for (geom::Path::Op op : path.Ops()) {
        switch (op) {
            case geom::Path::Op::Move:
                out.moveTo(ToQt(p[k++]));
                break;
            case geom::Path::Op::Line:
                out.lineTo(ToQt(p[k++]));
                break;
            case geom::Path::Op::Cubic:
                out.cubicTo(ToQt(p[k]), ToQt(p[k + 1]), ToQt(p[k + 2]));
                k += 3;
                break;
        }
    }
    return out;
}

void AppendPath(geom::Path& to, const QPainterPath& path, const QTransform& t) {
    if (path.isEmpty()) {
        return;
    }
    const QPainterPath mapped = t.map(path);
    const int n = mapped.elementCount();
    to.Reserve(static_cast<std::size_t>(n), static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element& e = mapped.elementAt(i);
        switch (e.type) {
            case QPainterPath::MoveToElement:
                to.MoveTo({e.x, e.y});
                break;
            case QPainterPath::LineToElement:
                to.LineTo({e.x, e.y});
                break;
            case QPainterPath::CurveToElement:
                if (i + 2 < n) {
                    const QPainterPath::Element& c2 = mapped.elementAt(i + 1);
                    const QPainterPath::Element& end = mapped.elementAt(i + 2);
                    to.CubicTo({e.x, e.y}, {c2.x, c2.y}, {end.x, end.y});
                }
                i += 2;
                break;
            case QPainterPath::CurveToDataElement:
                break;  // read with its curve
        }
    }
}

QPainterPath AreaPath(const std::vector<geom::Polygon>& rings) {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    for (const geom::Polygon& ring : rings) {
        if (ring.size() >= 2) {
            path.addPolygon(ToQt(ring));
            path.closeSubpath();
        }
    }
    return path;
}

}  // namespace vx::engine::output
