// The geometry layer's types in Qt's and back: for the painter back ends, for Qt's polygon
// operations and for outlines that fonts give as QPainterPaths.
#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QPolygonF>
#include <QTransform>
#include <vector>

#include "engine/geom/Path.h"
#include "engine/geom/Polygon.h"
#include "engine/geom/Vector.h"

namespace vx::engine::output {

inline QPointF ToQt(geom::Vec2 p) {
    return {p.x, p.y};
}
inline geom::Vec2 FromQt(QPointF p) {
    return {p.x(), p.y()};
}
QPolygonF ToQt(const geom::Polygon& points);
geom::Polygon FromQt(const QPolygonF& points);

// The path with the same elements, filled by `rule`.
QPainterPath ToQt(const geom::Path& path, Qt::FillRule rule = Qt::WindingFill);
// Appends the elements of `path`, each point mapped by `t`.
void AppendPath(geom::Path& to, const QPainterPath& path, const QTransform& t = {});

// An even-odd path of rings.
QPainterPath AreaPath(const std::vector<geom::Polygon>& rings);

}  // namespace vx::engine::output
