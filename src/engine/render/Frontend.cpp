#include "engine/render/Frontend.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/render/FrontendParts.h"
#include "engine/render/Kinds.h"

namespace vx::engine::render {

void Frontend::Impl::StrokeDashed(const Vec2* pts, std::size_t n, bool closed,
                                  const plotstyle::Pen& pen, const DashPattern* pattern,
                                  const Resolved* r) {
    if (n == 0) {
        return;
    }
    if (!pattern || !CutDashes(pts, n, closed, *pattern, dashes)) {
        page.Stroke(pts, n, closed, pen);
        return;
    }
    for (std::size_t i = 0; i < dashes.Count(); ++i) {
        const std::uint32_t b = dashes.Begin(i), e = dashes.End(i);
        page.Stroke(dashes.points.data() + b, e - b, false, pen);
    }
    if (r && r->linetype && !dashes.marks.empty()) {
        DrawLinetypeMarks(*r->linetype, *pattern, *r);
    }
}

void Frontend::Impl::DrawLinetypeMarks(const db::Linetype& lt, const DashPattern& pattern,
                                       const Resolved& r) {
    const db::Database& d = entityDb ? *entityDb : db;
    const std::vector<DashMark> marks = dashes.marks;
    for (const DashMark& m : marks) {
        if (m.element >= lt.elements.size()) {
            continue;
        }
        const db::LinetypeElement& e = lt.elements[m.element];
        if (e.type & 4) {
            Warn("The shapes of linetype \"" + lt.name +
                 "\" are not drawn: shape files are not available.");
            continue;
        }
        if (e.text.empty()) {
            continue;
        }
        db::StyleId style = db::kNone;
        for (std::size_t i = 0; i < d.textStyles.size(); ++i) {
            if (d.textStyles[i].handle == e.style) {
                style = static_cast<db::StyleId>(i);
            }
        }
        const fonts::ResolvedFont* font = FontFor(d, style);
        if (!font) {
            return;
        }
        const double k = pattern.mmPerUnit;
        const db::TextStyle* ts = TextStyleOf(d, style);
        const double base = ts && ts->height > 0 ? ts->height : 1.0;
        const double along = m.angle;
        const Vec2 dir{std::cos(along), std::sin(along)}, across{-dir.y, dir.x};
        const Vec2 at = m.at + dir * (e.offsetX * k) + across * (e.offsetY * k);
        db::Text t;
        t.text = e.text;
        t.position = {at.x, at.y, 0};
        t.height = base * (e.scale != 0 ? std::abs(e.scale) : 1.0) * k;
        t.rotation = (e.type & 1) ? e.rotation : along / kDeg + e.rotation;
        t.widthFactor = ts && ts->widthFactor > 0 ? ts->widthFactor : 1.0;
        LayoutText(t, ts, font, t.height, glyphs, text);
        EmitText(QTransform(), r, ctx.TopScope());
    }
}

void Frontend::Impl::StrokeLocal(const Transform& m, bool closed, const Resolved& r,
                                 const plotstyle::Pen& pen, double ltMm,
                                 const std::vector<std::uint32_t>* vertexBreaks) {
    paper.resize(local.size());
    for (std::size_t i = 0; i < local.size(); ++i) {
        paper[i] = Map(m, local[i]);
    }
    StrokePaper(closed, r, pen, ltMm, vertexBreaks);
}

void Frontend::Impl::StrokePaper(bool closed, const Resolved& r, const plotstyle::Pen& pen,
                                 double ltMm, const std::vector<std::uint32_t>* vertexBreaks) {
    const DashPattern* pattern = nullptr;
    // Measuring, dashes reach no further than the solid line; only the texts of a
    // complex linetype, which stand beside it, need the pattern laid out.
    const auto hasTexts = [](const db::Linetype& lt) {
        return std::any_of(lt.elements.begin(), lt.elements.end(),
                           [](const db::LinetypeElement& e) { return !e.text.empty(); });
    };
    if (r.linetype && pen.dashes.empty() && (!page.Measuring() || hasTexts(*r.linetype))) {
        pattern = &PatternFor(r.linetype, ltMm);
        if (pattern->Solid()) {
            pattern = nullptr;
        }
    }
    if (!pattern || !vertexBreaks || vertexBreaks->size() <= 1) {
        StrokeDashed(paper.data(), paper.size(), closed, pen, pattern, &r);
        return;
    }
    // The pattern starts afresh at every vertex.
    const auto& b = *vertexBreaks;
    for (std::size_t i = 0; i < b.size(); ++i) {
        const std::size_t from = b[i];
        const std::size_t to = i + 1 < b.size() ? b[i + 1] : paper.size() - 1;
        if (to > from) {
            StrokeDashed(paper.data() + from, to - from + 1, false, pen, pattern, &r);
        }
    }
    if (closed && paper.size() > 2) {
        const Vec2 closing[2] = {paper.back(), paper.front()};
        StrokeDashed(closing, 2, false, pen, pattern, &r);
    }
}

void Frontend::Impl::DrawLayout(std::uint32_t layoutIndex, const page::Affine& drawingToPaper) {
    db::Layout modelOnly;  // a database without layouts still has its model space
    modelOnly.name = "Model";
    const bool bare = db.layouts.empty() && layoutIndex == 0;
    if (layoutIndex >= db.layouts.size() && !bare) {
        Warn("The drawing has no layout number " + std::to_string(layoutIndex) + ".");
        return;
    }
    const db::Layout& layout = bare ? modelOnly : db.layouts[layoutIndex];
    db::BlockId blockId = bare ? db.modelSpace : layout.block;
    if (blockId == db::kNone && layout.IsModel()) {
        blockId = db.modelSpace;
    }
    if (blockId >= db.blocks.size()) {
        Warn("The layout \"" + layout.name + "\" has no block of entities.");
        return;
    }
    Frame top;
    top.toPaper = FromAffine(drawingToPaper);
    top.ltMmPerUnit = drawingToPaper.LengthScale();
    top.scope = ctx.TopScope();
    if (options.scaleLineweights) {
        ctx.SetLineweightScale(drawingToPaper.LengthScale());
    }
    const page::Rect visible = page.Visible();
    // Points sized by the page have no size of the drawing's: measured, they are dots.
    pointSizeMm = page.Measuring() ? 0 : visible.Height() * 0.05;
    paperSpace = !layout.IsModel() && !db.blocks[blockId].IsModelSpace();
    layoutBlock = &db.blocks[blockId];
    DrawBlock(db.blocks[blockId], top);
}

void Frontend::Impl::DrawBlock(const db::Block& block, const Frame& f) {
    const bool cull = cullModel && &block == db.ModelSpace() && f.depth == 0;
    const std::size_t n = block.entities.size();
    budget.Spend(static_cast<std::int64_t>(n) + 1);
    for (std::size_t i = 0; i < n; ++i) {
        const db::Entity& e = block.entities[i];
        if (cull && i < modelBoxStore.size() && !modelBoxStore[i].Empty() &&
            !page.MayShow(PaperBox(f.toPaper, modelBoxStore[i]))) {
            continue;
        }
        DrawEntity(e, f, &block);
    }
}

void Frontend::Impl::DrawEntity(const db::Entity& e, const Frame& f, const db::Block* owner) {
    ++report.entities;
    if (e.props.invisible) {
        return;
    }
    const Visibility vis = ctx.Check(e.props, f.scope);
    // A viewport's layer governs its frame only: what it shows is model space.
    if (vis == Visibility::Frozen && e.type != db::EntityType::Viewport) {
        return;
    }
    const bool isBlockRef = e.type == db::EntityType::Insert || e.type == db::EntityType::Table;
    if (vis == Visibility::Hidden && !isBlockRef && e.type != db::EntityType::Viewport) {
        return;  // a reference on a hidden layer still shows what does not float with it
    }
    const std::int64_t sent = page.Sent(), inked = page.Inked();
    entityDb = f.scope.db;
    const double slack = page.Slack();
    page.SetSlack(0);
    Draw(e, f, owner, vis);
    page.SetSlack(slack);
    if (page.Sent() > sent) {
        ++report.drawn;
    }
    if (page.Inked() > inked) {
        ++report.visible;
    }
}

void Frontend::Impl::Draw(const db::Entity& e, const Frame& f, const db::Block* owner,
                          Visibility vis) {
    using T = db::EntityType;
    switch (e.type) {
        case T::Line:
            return DrawLine(e, f);
        case T::Point:
            return DrawPoint(e, f);
        case T::Circle:
        case T::Arc:
            return DrawArc(e, f);
        case T::Ellipse:
            return DrawEllipse(e, f);
        case T::LwPolyline:
            return DrawLwPolyline(e, f);
        case T::Polyline:
            return DrawPolyline(e, f);
        case T::Spline:
            return DrawSpline(e, f);
        case T::Solid:
        case T::Trace:
            return DrawSolid(e, f);
        case T::Face3d:
            return Draw3dFace(e, f);
        case T::Text:
            if (const auto* t = e.As<db::Text>()) {
                DrawText(*t, e.props, f);
            }
            return;
        case T::MText:
            if (const auto* t = e.As<db::MText>()) {
                DrawMText(*t, e.props, f);
            }
            return;
        case T::Attdef:
            return DrawAttdef(e, f, owner);
        case T::Insert:
            return DrawInsert(e, f, vis);
        case T::Dimension:
            return DrawDimension(e, f);
        case T::Leader:
            return DrawLeader(e, f);
        case T::Hatch:
            return DrawHatch(e, f);
        case T::Image:
            return DrawImage(e, f);
        case T::Viewport:
            return DrawViewport(e, f);
        case T::XLine:
        case T::Ray:
            return DrawXLine(e, f, e.type == T::Ray);
        case T::MLine:
            return DrawMLine(e, f);
        case T::MLeader:
            return DrawMLeader(e, f);
        case T::Table:
            return DrawInsert(e, f, vis);
        case T::Wipeout:
            return DrawWipeout(e, f);
        case T::Tolerance:
            return DrawTolerance(e, f);
        case T::Mesh:
            return DrawMesh(e, f);
        case T::Underlay:
            return DrawUnderlay(e, f);
        case T::Unknown:
            return DrawUnknown(e, f, vis);
    }
}

void Frontend::Impl::DrawUnknown(const db::Entity& e, const Frame& f, Visibility vis) {
    const auto* u = e.As<db::Unknown>();
    if (!u || u->graphics >= f.scope.db->blocks.size()) {
        return NotDrawn(e);
    }
    db::Entity ref;
    ref.props = e.props;
    ref.props.extrusion = {0, 0, 1};
    db::Insert ins;
    ins.block = u->graphics;
    ref.Set(db::EntityType::Insert, std::move(ins));
    DrawInsert(ref, f, vis);
}

Frontend::Frontend(const db::Database& db, const RenderOptions& options, output::PageSink& sink,
                   RenderReport& report)
    : impl_(std::make_unique<Impl>(db, options, sink, report)) {}

Frontend::Frontend(const db::Database& db, const RenderOptions& options, LayoutBounds& bounds,
                   RenderReport& report)
    : impl_(std::make_unique<Impl>(db, options, bounds, report)) {}

Frontend::~Frontend() = default;

void Frontend::DrawLayout(std::uint32_t layout, const page::Affine& drawingToPaper) {
    impl_->DrawLayout(layout, drawingToPaper);
}

void Frontend::FontNames(std::vector<std::string>& asked, std::vector<std::string>& used) const {
    asked = impl_->glyphs.AskedNames();
    used = impl_->glyphs.UsedNames();
}

}  // namespace vx::engine::render
