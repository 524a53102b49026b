#include <algorithm>
#include <cmath>

#include "engine/render/FrontendParts.h"
#include "engine/render/Kinds.h"

namespace vx::engine::render {

void Frontend::Impl::DrawDimension(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::Dimension>();
    if (!g) {
        return;
    }
    const db::Database& d = *f.scope.db;
    if (g->block >= d.blocks.size()) {
        NotDrawn(e);
        Warn("A dimension without its picture block (\"" + g->blockName + "\") is not drawn.");
        return;
    }
    if (f.depth >= kMaxDepth) {
        return;
    }
    const BlockScope scope = ctx.Enter(e.props, f.scope);
    Transform toParent = Translation(Finite(g->insertionPoint) ? g->insertionPoint : Vec3{});
    if (!db::IsDefaultExtrusion(e.props.extrusion) && db::Length(e.props.extrusion) > 0) {
        toParent = db::OcsToWorld(e.props.extrusion) * toParent;
    }
    DrawBlockRef(d, d.blocks[g->block], toParent, 1.0, scope, f);
}

void Frontend::Impl::DrawLeader(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::Leader>();
    if (!g || g->vertices.size() < 2) {
        return;
    }
    const Resolved r = ctx.Resolve(e.props, f.scope);
    const plotstyle::Pen& pen = ctx.PenFor(r);
    const double mm = PlaneScale(f.toPaper, {1, 0, 0}, {0, 1, 0});
    local.clear();
    if (g->pathType == 1 && g->vertices.size() > 2) {
        AppendFitSpline(local, g->vertices, {}, {}, false, mm, CurveTol(Span(g->vertices) * mm));
    } else {
        local = g->vertices;
    }
    StrokeLocal(f.toPaper, false, r, pen, LinetypeMm(e.props, f));
    if (!g->arrowhead) {
        return;
    }
    const db::Header& h = db.header;
    const double asz =
        h.dimAsz && std::isfinite(*h.dimAsz) ? *h.dimAsz : (h.measurement == 1 ? 2.5 : 0.18);
    const double size = asz * (std::isfinite(h.dimScale) ? std::max(h.dimScale, 1e-9) : 1.0);
    const Vec3 tip = g->vertices[0];
    Vec3 dir = db::Normalized(g->vertices[1] - tip);
    if (db::Length(dir) == 0 || !(size > 0)) {
        return;
    }
    const Vec3 side = db::Normalized(db::Cross({0, 0, 1}, dir)) * (size / 6);
    const Vec3 back = tip + dir * size;
    Polygon arrow{Map(f.toPaper, tip), Map(f.toPaper, back + side),
                  Map(f.toPaper, back - side * 1.0)};
    page.Fill({arrow}, pen);
}

}  // namespace vx::engine::render
