#include <algorithm>
#include <cmath>

#include "engine/render/FrontendParts.h"

namespace vx::engine::render {

void Frontend::Impl::DrawLine(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::Line>();
    if (!g || !Finite(g->start) || !Finite(g->end)) {
        return;
    }
    const Resolved r = ctx.Resolve(e.props, f.scope);
    local = {g->start, g->end};
    StrokeLocal(f.toPaper, false, r, ctx.PenFor(r), LinetypeMm(e.props, f));
}

void Frontend::Impl::DrawPoint(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::Point>();
    if (!g || !Finite(g->position)) {
        return;
    }
    const Resolved r = ctx.Resolve(e.props, f.scope);
    const plotstyle::Pen& pen = ctx.PenFor(r);
    const int mode = db.header.pdMode;
    double size = db.header.pdSize;
    const double mm = PlaneScale(f.toPaper, {1, 0, 0}, {0, 1, 0});
    if (size > 0 && std::isfinite(size)) {
        size *= mm;
    } else if (size < 0 && std::isfinite(size)) {
        size = page.Measuring() ? 0 : page.Visible().Height() * (-size) / 100.0;
    } else {
        size = pointSizeMm;
    }
    const Vec2 c = Map(f.toPaper, g->position);
    const double h = size / 2;
    switch (mode & 7) {
        case 0:
            page.Stroke(&c, 1, false, pen);
            break;
        case 2:
            run = {c - Vec2{h, 0}, c + Vec2{h, 0}};
            page.Stroke(run.data(), 2, false, pen);
            run = {c - Vec2{0, h}, c + Vec2{0, h}};
            page.Stroke(run.data(), 2, false, pen);
            break;
        case 3:
            run = {c - Vec2{h, h}, c + Vec2{h, h}};
            page.Stroke(run.data(), 2, false, pen);
            run = {c - Vec2{h, -h}, c + Vec2{h, -h}};
            page.Stroke(run.data(), 2, false, pen);
            break;
        case 4:
            run = {c, c + Vec2{0, h}};
            page.Stroke(run.data(), 2, false, pen);
            break;
        default:
            break;
    }
    if (mode & 32) {
        local.clear();
        AppendEllipse(local, {c.x, c.y, 0}, {h, 0, 0}, {0, h, 0}, 0, 2 * kPi,
                      ArcSegments(h, 2 * kPi, CurveTol(2 * h)));
        paper.clear();
        for (const Vec3& p : local) {
            paper.push_back({p.x, p.y});
        }
        page.Stroke(paper.data(), paper.size(), true, pen);
    }
    if (mode & 64) {
        run = {c + Vec2{-h, -h}, c + Vec2{h, -h}, c + Vec2{h, h}, c + Vec2{-h, h}};
        page.Stroke(run.data(), 4, true, pen);
    }
}

void Frontend::Impl::DrawArc(const db::Entity& e, const Frame& f) {
    Vec3 centre;
    double radius = 0, start = 0, sweep = 2 * kPi;
    bool closed = true;
    if (const auto* c = e.As<db::Circle>()) {
        centre = c->center, radius = c->radius;
    } else if (const auto* a = e.As<db::Arc>()) {
        centre = a->center, radius = a->radius;
        start = a->startAngle * kDeg;
        sweep = NormalizedSweep(start, a->endAngle * kDeg);
        closed = false;
    } else {
        return;
    }
    if (!Finite(centre) || !(radius > 0) || !std::isfinite(radius) || !std::isfinite(sweep)) {
        return;
    }
    const Transform m = OcsFrame(f, e.props.extrusion);
    const double mm = PlaneScale(m, {1, 0, 0}, {0, 1, 0});
    local.clear();
    AppendEllipse(local, centre, {radius, 0, 0}, {0, radius, 0}, start, sweep,
                  ArcSegments(radius * mm, sweep, CurveTol(2 * radius * mm)));
    if (closed) {
        local.pop_back();
    }
    const Resolved r = ctx.Resolve(e.props, f.scope);
    StrokeLocal(m, closed, r, ctx.PenFor(r), LinetypeMm(e.props, f));
}

void Frontend::Impl::DrawEllipse(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::Ellipse>();
    if (!g || !Finite(g->center) || !Finite(g->majorAxis) || !std::isfinite(g->ratio)) {
        return;
    }
    const Vec3 normal =
        db::Normalized(db::Length(e.props.extrusion) > 0 ? e.props.extrusion : Vec3{0, 0, 1});
    const Vec3 u = g->majorAxis;
    const Vec3 v = db::Cross(normal, u) * g->ratio;
    double sweep = g->endParam - g->startParam;
    bool closed = false;
    if (!std::isfinite(sweep)) {
        return;
    }
    if (std::abs(std::abs(sweep) - 2 * kPi) < 1e-9 || sweep == 0) {
        sweep = 2 * kPi;
        closed = true;
    } else {
        sweep = NormalizedSweep(g->startParam, g->endParam);
    }
    const double mm = PlaneScale(f.toPaper, db::Normalized(u), db::Normalized(v));
    local.clear();
    AppendEllipse(local, g->center, u, v, g->startParam, sweep,
                  ArcSegments(db::Length(u) * mm, sweep, CurveTol(2 * db::Length(u) * mm)));
    if (closed) {
        local.pop_back();
    }
    const Resolved r = ctx.Resolve(e.props, f.scope);
    StrokeLocal(f.toPaper, closed, r, ctx.PenFor(r), LinetypeMm(e.props, f));
}

void Frontend::Impl::DrawSpline(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::Spline>();
    if (!g) {
        return;
    }
    const double mm = PlaneScale(f.toPaper, {1, 0, 0}, {0, 1, 0});
    local.clear();
    const SplineData s{g->degree, &g->knots, &g->controlPoints, &g->weights};
    const double st = CurveTol(std::max(Span(g->controlPoints), Span(g->fitPoints)) * mm);
    if (ValidSpline(s)) {
        AppendSpline(local, s, mm, st);
    } else if (g->fitPoints.size() >= 2) {
        AppendFitSpline(local, g->fitPoints, g->startTangent, g->endTangent, (g->flags & 1) != 0,
                        mm, st);
    } else if (g->controlPoints.size() >= 2) {
        local = g->controlPoints;
    } else {
        return;
    }
    const Resolved r = ctx.Resolve(e.props, f.scope);
    StrokeLocal(f.toPaper, false, r, ctx.PenFor(r), LinetypeMm(e.props, f));
}

}  // namespace vx::engine::render
