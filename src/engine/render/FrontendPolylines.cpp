#include <algorithm>
#include <cmath>

#include "engine/db/Polyface.h"
#include "engine/render/FrontendParts.h"
#include "engine/render/Kinds.h"

namespace vx::engine::render {

void Frontend::Impl::DrawPlanePolyline(const std::vector<PVertex>& v, bool closed, double z,
                                       bool plinegen, const db::EntityProps& props,
                                       const Frame& f) {
    if (v.empty()) {
        return;
    }
    const Transform m = OcsFrame(f, props.extrusion);
    const double mm = PlaneScale(m, {1, 0, 0}, {0, 1, 0});
    const double area = AreaScale(m, {1, 0, 0}, {0, 1, 0});
    const Resolved r = ctx.Resolve(props, f.scope);
    const plotstyle::Pen& pen = ctx.PenFor(r);
    const std::size_t n = v.size();
    const std::size_t segs = closed ? n : n - 1;
    bool anyWidth = false, constant = true;
    const double w0 = v[0].startWidth;
    for (std::size_t i = 0; i < segs; ++i) {
        anyWidth = anyWidth || v[i].startWidth > 0 || v[i].endWidth > 0;
        constant = constant && v[i].startWidth == w0 && v[i].endWidth == w0;
    }
    if (n == 1) {
        local = {{v[0].x, v[0].y, z}};
        StrokeLocal(m, false, r, pen, LinetypeMm(props, f));
        return;
    }
    double ptol = tol;
    if (page.Measuring()) {
        double x0 = v[0].x, x1 = x0, y0 = v[0].y, y1 = y0;
        for (const PVertex& p : v) {
            x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
            y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
        }
        ptol = CurveTol(std::hypot(x1 - x0, y1 - y0) * mm);
    }
    local.clear();
    breaks.clear();
    local.push_back({v[0].x, v[0].y, z});
    for (std::size_t i = 0; i < segs; ++i) {
        const PVertex& a = v[i];
        const PVertex& b = v[(i + 1) % n];
        breaks.push_back(static_cast<std::uint32_t>(local.size() - 1));
        AppendBulge(local, {a.x, a.y, z}, {b.x, b.y, z}, a.bulge, mm, ptol);
    }
    if (closed && local.size() > 1) {
        local.pop_back();  // back at the first vertex
    }
    // Measuring, paper widths and polyline widths cannot be compared: both are measured.
    if (!anyWidth || (constant && (page.Measuring() || w0 * area < pen.lineweight))) {
        StrokeLocal(m, closed, r, pen, LinetypeMm(props, f), plinegen ? nullptr : &breaks);
        if (!anyWidth || !page.Measuring()) {
            return;
        }
    }
    if (constant) {
        // One width throughout: a wide stroke with square-cut ends and mitred corners.
        plotstyle::Pen wide = pen;
        wide.lineweight = w0 * area;
        wide.cap = plotstyle::LineCap::Butt;
        wide.join = plotstyle::LineJoin::Miter;
        page.SetShapeWidths(true);
        StrokeLocal(m, closed, r, wide, LinetypeMm(props, f), plinegen ? nullptr : &breaks);
        page.SetShapeWidths(false);
        return;
    }
    // Tapering widths: each segment a filled outline.
    for (std::size_t i = 0; i < segs; ++i) {
        const PVertex& a = v[i];
        const PVertex& b = v[(i + 1) % n];
        const double wa = a.startWidth, wb = a.endWidth;
        if (wa <= 0 && wb <= 0) {
            local = {{a.x, a.y, z}, {b.x, b.y, z}};
            if (a.bulge != 0) {
                local.resize(1);
                AppendBulge(local, {a.x, a.y, z}, {b.x, b.y, z}, a.bulge, mm, ptol);
            }
            StrokeLocal(m, false, r, pen, LinetypeMm(props, f));
            continue;
        }
        Polygon ring;
        BulgeArc arc;
        if (BulgeGeometry(a.x, a.y, b.x, b.y, a.bulge, arc)) {
            const int k = ArcSegments((arc.radius + std::max(wa, wb)) * mm, arc.sweep, ptol);
            const double dir = arc.sweep > 0 ? 1 : -1;
            for (int side = 0; side < 2; ++side) {
                for (int j = 0; j <= k; ++j) {
                    const int jj = side == 0 ? j : k - j;
                    const double t = static_cast<double>(jj) / k;
                    const double w = (wa + (wb - wa) * t) / 2;
                    const double ang = arc.start + arc.sweep * t;
                    const double rr = arc.radius + (side == 0 ? w : -w) * dir;
                    ring.push_back(
                        Map(m, {arc.cx + rr * std::cos(ang), arc.cy + rr * std::sin(ang), z}));
                }
            }
        } else {
            const double dx = b.x - a.x, dy = b.y - a.y;
            const double len = std::hypot(dx, dy);
            if (len == 0) {
                continue;
            }
            const double nx = -dy / len, ny = dx / len;
            ring = {Map(m, {a.x + nx * wa / 2, a.y + ny * wa / 2, z}),
                    Map(m, {b.x + nx * wb / 2, b.y + ny * wb / 2, z}),
                    Map(m, {b.x - nx * wb / 2, b.y - ny * wb / 2, z}),
                    Map(m, {a.x - nx * wa / 2, a.y - ny * wa / 2, z})};
        }
        page.Fill({ring}, pen);
    }
}

void Frontend::Impl::DrawLwPolyline(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::LwPolyline>();
    if (!g) {
        return;
    }
    pverts.clear();
    for (const db::LwVertex& v : g->vertices) {
        if (!std::isfinite(v.x) || !std::isfinite(v.y)) {
            continue;
        }
        double sw = v.startWidth, ew = v.endWidth;
        if (g->constantWidth > 0) {
            sw = ew = g->constantWidth;
        }
        pverts.push_back({v.x, v.y, std::isfinite(v.bulge) ? v.bulge : 0, sw, ew});
    }
    DrawPlanePolyline(pverts, g->closed, g->elevation, g->plinegen, e.props, f);
}

void Frontend::Impl::DrawPolyline(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::Polyline>();
    if (!g || g->vertices.empty()) {
        return;
    }
    const Resolved r = ctx.Resolve(e.props, f.scope);
    const plotstyle::Pen& pen = ctx.PenFor(r);
    const double ltMm = LinetypeMm(e.props, f);
    if (g->flags & db::Polyline::kPolyfaceMesh) {
        // Vertices first (flag 64 with 128), then face records naming them (1-based,
        // negative: the edge from that vertex is hidden).
        std::vector<Vec3> pts;
        for (const db::PolyVertex& v : g->vertices) {
            if (db::IsPolyfacePoint(v)) {
                pts.push_back(v.position);
            }
        }
        for (const db::PolyVertex& v : g->vertices) {
            if (!db::IsPolyfaceFace(v)) {
                continue;
            }
            int count = 0;
            for (int k = 0; k < 4 && v.faceIndices[k] != 0; ++k) {
                ++count;
            }
            for (int k = 0; k < count; ++k) {
                const int i0 = v.faceIndices[k];
                const int i1 = v.faceIndices[(k + 1) % count];
                if (i0 <= 0) {
                    continue;  // hidden edge
                }
                const auto a = static_cast<std::size_t>(i0 - 1);
                const auto b = static_cast<std::size_t>(std::abs(i1) - 1);
                if (a < pts.size() && b < pts.size()) {
                    local = {pts[a], pts[b]};
                    StrokeLocal(f.toPaper, false, r, pen, ltMm);
                }
            }
        }
        return;
    }
    if (g->flags & db::Polyline::kPolygonMesh) {
        const int mCount = std::max<int>(g->meshM, 1), nCount = std::max<int>(g->meshN, 1);
        const auto& vs = g->vertices;
        if (static_cast<std::size_t>(mCount) * static_cast<std::size_t>(nCount) > vs.size()) {
            local.clear();
            for (const auto& v : vs) {
                local.push_back(v.position);
            }
            StrokeLocal(f.toPaper, false, r, pen, ltMm);
            return;
        }
        const auto at = [&](int i, int j) {
            return vs[static_cast<std::size_t>(i * nCount + j)].position;
        };
        for (int i = 0; i < mCount; ++i) {
            local.clear();
            for (int j = 0; j < nCount; ++j) {
                local.push_back(at(i, j));
            }
            StrokeLocal(f.toPaper, (g->flags & db::Polyline::kMeshClosedN) != 0, r, pen, ltMm);
        }
        for (int j = 0; j < nCount; ++j) {
            local.clear();
            for (int i = 0; i < mCount; ++i) {
                local.push_back(at(i, j));
            }
            StrokeLocal(f.toPaper, (g->flags & db::Polyline::kClosed) != 0, r, pen, ltMm);
        }
        return;
    }
    const bool splineFit = (g->flags & db::Polyline::kSplineFit) != 0;
    const auto skip = [&](const db::PolyVertex& v) {
        // The frame of a spline-fit polyline is not drawn, only its fitted vertices.
        return splineFit && (v.flags & 16) != 0;
    };
    if (g->Is3d()) {
        local.clear();
        for (const db::PolyVertex& v : g->vertices) {
            if (!skip(v) && Finite(v.position)) {
                local.push_back(v.position);
            }
        }
        StrokeLocal(f.toPaper, g->Closed(), r, pen, ltMm);
        return;
    }
    bool vertexWidths = false;
    for (const db::PolyVertex& v : g->vertices) {
        vertexWidths = vertexWidths || v.startWidth > 0 || v.endWidth > 0;
    }
    pverts.clear();
    for (const db::PolyVertex& v : g->vertices) {
        if (skip(v) || !std::isfinite(v.position.x) || !std::isfinite(v.position.y)) {
            continue;
        }
        pverts.push_back({v.position.x, v.position.y, std::isfinite(v.bulge) ? v.bulge : 0,
                          vertexWidths ? v.startWidth : g->defaultStartWidth,
                          vertexWidths ? v.endWidth : g->defaultEndWidth});
    }
    DrawPlanePolyline(pverts, g->Closed(), g->elevation, (g->flags & db::Polyline::kPlinegen) != 0,
                      e.props, f);
}

void Frontend::Impl::DrawMesh(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::Mesh>();
    if (!g) {
        return;
    }
    const auto edges = MeshEdges(*g);
    budget.Spend(static_cast<std::int64_t>(edges.size()));
    const Resolved r = ctx.Resolve(e.props, f.scope);
    const plotstyle::Pen& pen = ctx.PenFor(r);
    const double ltMm = LinetypeMm(e.props, f);
    for (const auto& [a, b] : edges) {
        if (std::max(a, b) < g->vertices.size() && Finite(g->vertices[a]) &&
            Finite(g->vertices[b])) {
            local = {g->vertices[a], g->vertices[b]};
            StrokeLocal(f.toPaper, false, r, pen, ltMm);
        }
    }
}

}  // namespace vx::engine::render
