#include <algorithm>
#include <cmath>

#include "engine/db/Extents.h"
#include "engine/load/DrawingLoader.h"
#include "engine/render/FrontendParts.h"

namespace vx::engine::render {

const db::Box3& Frontend::Impl::BlockBox(const db::Database& d, const db::Block& b) {
    auto it = blockBoxes.find(&b);
    if (it == blockBoxes.end()) {
        const auto id = static_cast<db::BlockId>(&b - d.blocks.data());
        db::ExtentsOptions o;
        o.budget = &budget;
        db::Box3 box = db::BlockExtents(d, id, o);
        if (!box.Empty()) {
            const Vec3 size = box.max - box.min;
            const double g = std::max({size.x, size.y, size.z}) * kCullMargin + 1e-9;
            box.min = box.min - Vec3{g, g, g};
            box.max = box.max + Vec3{g, g, g};
        }
        it = blockBoxes.emplace(&b, box).first;
    }
    return it->second;
}

void Frontend::Impl::DrawBlockRef(const db::Database& d, const db::Block& block,
                                  const Transform& toParent, double ltFactor,
                                  const BlockScope& scope, const Frame& f) {
    Frame inner;
    inner.toPaper = f.toPaper * toParent;
    inner.ltMmPerUnit = f.ltMmPerUnit * ltFactor;
    inner.scope = scope;
    inner.depth = f.depth + 1;
    budget.Spend();           // culled copies of a huge array cost their test
    if (!page.Measuring()) {  // measuring, everything shows
        const db::Box3& box = BlockBox(d, block);
        if (!box.Empty() && !page.MayShow(PaperBox(inner.toPaper, box))) {
            return;
        }
    }
    DrawBlock(block, inner);
}

void Frontend::Impl::DrawInsert(const db::Entity& e, const Frame& f, Visibility vis) {
    const auto* g = e.As<db::Insert>();
    if (!g) {
        return;
    }
    const db::Database& d = *f.scope.db;
    if (f.depth >= kMaxDepth) {
        Warn("Block references nested deeper than " + std::to_string(kMaxDepth) +
             " levels are not drawn (\"" + g->blockName + "\").");
        return;
    }
    BlockScope scope = ctx.Enter(e.props, f.scope);
    if (vis == Visibility::Hidden && !scope.layerHidden) {
        scope.layerHidden = true;
    }
    const Vec3 s = g->scale;
    if (!Finite(g->position) || !Finite(s) || !std::isfinite(g->rotation) || s.x == 0 || s.y == 0) {
        return;
    }
    const db::Block* block = g->block < d.blocks.size() ? &d.blocks[g->block] : nullptr;
    const db::Database* blockDb = &d;
    Vec3 origin = block ? block->base : Vec3{};
    if (!block) {
        Warn("The block \"" + g->blockName + "\" is missing; its references are not drawn.");
    } else if (block->IsXref()) {
        const db::Xref* x = block->xref ? &*block->xref : nullptr;
        if (!x || x->status != db::XrefStatus::Loaded || !x->database ||
            !x->database->ModelSpace()) {
            Warn("The external reference \"" + block->name + "\" is not loaded" +
                 (x && !x->reason.empty() ? " (" + x->reason + ")" : std::string()) +
                 "; it is not drawn.");
            block = nullptr;
        } else {
            // The referenced drawing's model space, with its own tables.
            blockDb = x->database.get();
            scope.db = blockDb;
            scope.host = false;
            scope.xrefName = block->name;
            block = blockDb->ModelSpace();
        }
    }
    if (block) {
        const Transform ocs =
            db::IsDefaultExtrusion(e.props.extrusion) || db::Length(e.props.extrusion) == 0
                ? Transform{}
                : db::OcsToWorld(e.props.extrusion);
        const Transform rot = RotationZ(g->rotation * kDeg);
        const Transform inner = Scaling(s) * Translation(origin * -1.0);
        const double ltFactor = std::sqrt(std::abs(s.x * s.y));
        const int cols = std::clamp<int>(g->columns, 1, 10000);
        const int rows = std::clamp<int>(g->rows, 1, 10000);
        if (static_cast<long>(cols) * rows > 100000) {
            Warn("A block array of more than 100000 copies is drawn once.");
        }
        const bool array = static_cast<long>(cols) * rows <= 100000;
        for (int row = 0; row < (array ? rows : 1); ++row) {
            for (int col = 0; col < (array ? cols : 1); ++col) {
                const Transform cell =
                    Translation({col * g->columnSpacing, row * g->rowSpacing, 0});
                const Transform toParent = ocs * Translation(g->position) * rot * cell * inner;
                DrawBlockRef(*blockDb, *block, toParent, ltFactor, scope, f);
            }
        }
    }
    // Attributes belong to the reference: drawn where they stand, ByBlock by it.
    budget.Spend(static_cast<std::int64_t>(g->attribs.size()));
    for (const db::AttribEntity& a : g->attribs) {
        if ((a.attribute.flags & 1) || a.props.invisible) {
            continue;
        }
        BlockScope attrScope = scope;
        attrScope.db = &d;
        attrScope.host = f.scope.host;
        attrScope.xrefName = f.scope.xrefName;
        attrScope.layer = f.scope.layer;
        attrScope.layerDb = f.scope.layerDb;
        attrScope.layerHidden = f.scope.layerHidden;
        if (ctx.Check(a.props, attrScope) != Visibility::Shown) {
            continue;
        }
        Frame af = f;
        af.scope = attrScope;
        ++report.entities;
        const std::int64_t sent = page.Sent(), inked = page.Inked();
        DrawAttribute(a.attribute, a.props, af, false);
        if (page.Sent() > sent) {
            ++report.drawn;
        }
        if (page.Inked() > inked) {
            ++report.visible;
        }
    }
}

const db::Entity* Frontend::Impl::FindInLayout(db::Handle h) {
    if (!layoutBlock || h == 0) {
        return nullptr;
    }
    for (const db::Entity& e : layoutBlock->entities) {
        if (e.props.handle == h) {
            return &e;
        }
    }
    return nullptr;
}

bool Frontend::Impl::ClipOutline(const db::Entity& e, std::vector<Vec3>& out) {
    out.clear();
    const double mm = 1.0;
    // Measured in paper units: a hundredth of one, by which the outline is widened.
    const double ct = page.Measuring() ? 0.01 : tol;
    if (page.Measuring()) {
        page.SetSlack(std::max(page.Slack(), ct));
    }
    Transform ocs;
    if (!db::IsDefaultExtrusion(e.props.extrusion) && db::Length(e.props.extrusion) > 0) {
        ocs = db::OcsToWorld(e.props.extrusion);
    }
    if (const auto* p = e.As<db::LwPolyline>()) {
        const std::size_t n = p->vertices.size();
        for (std::size_t i = 0; i < n; ++i) {
            const auto& a = p->vertices[i];
            const auto& b = p->vertices[(i + 1) % n];
            if (i == 0) {
                out.push_back({a.x, a.y, p->elevation});
            }
            AppendBulge(out, {a.x, a.y, p->elevation}, {b.x, b.y, p->elevation}, a.bulge, mm, ct);
        }
    } else if (const auto* pl = e.As<db::Polyline>()) {
        const std::size_t n = pl->vertices.size();
        for (std::size_t i = 0; i < n; ++i) {
            const auto& a = pl->vertices[i].position;
            const auto& b = pl->vertices[(i + 1) % n].position;
            if (i == 0) {
                out.push_back(a);
            }
            AppendBulge(out, a, b, pl->vertices[i].bulge, mm, ct);
        }
    } else if (const auto* c = e.As<db::Circle>()) {
        AppendEllipse(out, c->center, {c->radius, 0, 0}, {0, c->radius, 0}, 0, 2 * kPi,
                      ArcSegments(c->radius, 2 * kPi, ct));
    } else if (const auto* el = e.As<db::Ellipse>()) {
        const Vec3 v = db::Cross({0, 0, 1}, el->majorAxis) * el->ratio;
        AppendEllipse(out, el->center, el->majorAxis, v, 0, 2 * kPi,
                      ArcSegments(db::Length(el->majorAxis), 2 * kPi, ct));
        ocs = {};
    } else if (const auto* sp = e.As<db::Spline>()) {
        const SplineData s{sp->degree, &sp->knots, &sp->controlPoints, &sp->weights};
        if (ValidSpline(s)) {
            AppendSpline(out, s, mm, ct);
        } else {
            AppendFitSpline(out, sp->fitPoints, {}, {}, true, mm, ct);
        }
        ocs = {};
    } else {
        return false;
    }
    for (Vec3& p : out) {
        p = ocs.Apply(p);
    }
    return out.size() >= 3;
}

void Frontend::Impl::DrawViewport(const db::Entity& e, const Frame& f) {
    const auto* vp = e.As<db::Viewport>();
    if (!vp || !paperSpace || f.depth > 0) {
        NotDrawn(e);
        return;
    }
    if (vp->id <= 1) {
        return;  // the paper-space view itself
    }
    const Resolved r = ctx.Resolve(e.props, f.scope);
    const plotstyle::Pen& pen = ctx.PenFor(r);
    // The viewport's outline: its clip boundary, else its rectangle.
    std::vector<Vec3> outline;
    const db::Entity* clipEntity = FindInLayout(vp->clipBoundary);
    if (!clipEntity || !ClipOutline(*clipEntity, outline)) {
        if (vp->clipBoundary != 0) {
            Warn("A viewport's clip boundary was not found; it is clipped to its rectangle.");
        }
        clipEntity = nullptr;
        const double hw = vp->width / 2, hh = vp->height / 2;
        const Vec3 c = vp->center;
        outline = {{c.x - hw, c.y - hh, 0},
                   {c.x + hw, c.y - hh, 0},
                   {c.x + hw, c.y + hh, 0},
                   {c.x - hw, c.y + hh, 0}};
    }
    Polygon clip;
    for (const Vec3& p : outline) {
        clip.push_back(Map(f.toPaper, p));
    }
    if (!clipEntity && options.viewportBorders &&
        ctx.Check(e.props, f.scope) == Visibility::Shown) {
        page.Stroke(clip, true, pen);
    }
    if (!vp->On() || !(vp->width > 0) || !(vp->height > 0) || !(vp->viewHeight > 0) ||
        !std::isfinite(vp->viewHeight)) {
        return;
    }
    if (page.Measuring()) {
        // What the viewport shows is clipped to its outline.
        page.Fill({clip}, pen);
        return;
    }
    const db::Block* model = db.ModelSpace();
    if (!model) {
        return;
    }
    if (vp->flags & 1) {
        Warn("Perspective viewports are drawn as parallel projections.");
    }
    const double scale = vp->height / vp->viewHeight;
    Vec3 dir =
        db::Length(vp->viewDirection) > 0 ? db::Normalized(vp->viewDirection) : Vec3{0, 0, 1};
    const Transform toPlane = Transposed(db::OcsToWorld(dir));  // world -> view plane
    const Transform view =
        Translation({vp->center.x, vp->center.y, 0}) * Scaling({scale, scale, scale}) *
        Translation({-vp->viewCenter.x, -vp->viewCenter.y, 0}) * RotationZ(vp->twist * kDeg) *
        toPlane * Translation(vp->viewTarget * -1.0);
    Frame inner;
    inner.toPaper = f.toPaper * view;
    inner.ltMmPerUnit = db.header.psLtScale ? f.ltMmPerUnit : f.ltMmPerUnit * scale;
    inner.scope = ctx.TopScope();
    inner.depth = 0;

    const page::Rect before = page.Visible();
    page::Rect box = geom::BoundsOf(clip);
    box = {std::max(box.xmin, before.xmin), std::max(box.ymin, before.ymin),
           std::min(box.xmax, before.xmax), std::min(box.ymax, before.ymax)};
    if (box.IsEmpty()) {
        return;
    }
    if (modelBoxStore.empty() && !model->entities.empty()) {
        modelBoxStore.resize(model->entities.size());
        for (std::size_t i = 0; i < model->entities.size(); ++i) {
            modelBoxStore[i] = db::EntityExtents(db, model->entities[i]);
        }
    }
    const double savedPoint = pointSizeMm;
    pointSizeMm = box.Height() * 0.05;
    page.PushClip(clip);
    page.SetVisible(box);
    ctx.SetViewportFrozen(vp->frozenLayers);
    cullModel = true;
    paperSpace = false;
    DrawBlock(*model, inner);
    paperSpace = true;
    cullModel = false;
    ctx.ClearViewportFrozen();
    page.SetVisible(before);
    page.PopClip();
    pointSizeMm = savedPoint;
}

}  // namespace vx::engine::render
