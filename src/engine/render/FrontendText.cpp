#include <algorithm>
#include <cmath>

#include "engine/render/FrontendParts.h"

namespace vx::engine::render {

const fonts::ResolvedFont* Frontend::Impl::FontFor(const db::Database& d, db::StyleId style) {
    if (!glyphs.HasFonts()) {
        Warn("Text is not drawn: no fonts were given to the renderer.");
        return nullptr;
    }
    return glyphs.StyleFont(d, style);
}

void Frontend::Impl::EmitText(const QTransform& toPaper, const Resolved& r,
                              const BlockScope& scope) {
    const plotstyle::Pen& base = ctx.PenFor(r);
    std::vector<const plotstyle::Pen*> pens(text.colors.size());
    for (std::size_t i = 0; i < text.colors.size(); ++i) {
        db::Color c = text.colors[i];
        if (c.kind == db::Color::Kind::ByLayer) {
            c = r.layer ? r.layer->color : db::Color::FromIndex(7);
        } else if (c.kind == db::Color::Kind::ByBlock) {
            c = scope.color;
        }
        pens[i] = &ctx.PenFor(r, c);
    }
    const auto penOf = [&](int color) -> const plotstyle::Pen& {
        return color >= 0 && static_cast<std::size_t>(color) < pens.size() ? *pens[color] : base;
    };
    // Outline glyphs of one colour go out as one path.
    std::unordered_map<int, geom::Path> outlines;
    for (const PlacedGlyph& g : text.glyphs) {
        const QTransform t = g.toPlane * toPaper;
        if (g.glyph->shape.IsOutline()) {
            outlines[g.color].Append(g.glyph->shape.outline->outline,
                                     {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()});
            continue;
        }
        const plotstyle::Pen& pen = penOf(g.color);
        for (const QPolygonF& stroke : g.glyph->shape.strokes) {
            run.resize(static_cast<std::size_t>(stroke.size()));
            for (qsizetype i = 0; i < stroke.size(); ++i) {
                run[static_cast<std::size_t>(i)] = FromQt(t.map(stroke[i]));
            }
            page.Stroke(run.data(), run.size(), false, pen);
        }
    }
    for (auto& [color, path] : outlines) {
        page.Glyphs(std::move(path), penOf(color));
    }
    for (const PlacedLine& l : text.lines) {
        run = {FromQt(toPaper.map(l.a)), FromQt(toPaper.map(l.b))};
        page.Stroke(run.data(), 2, false, penOf(l.color));
    }
}

void Frontend::Impl::DrawText(const db::Text& t, const db::EntityProps& props, const Frame& f) {
    const db::Database& d = *f.scope.db;
    const fonts::ResolvedFont* font = FontFor(d, t.style);
    if (!font || t.text.empty()) {
        return;
    }
    const db::TextStyle* style = TextStyleOf(d, t.style);
    LayoutText(t, style, font, d.header.textSize > 0 ? d.header.textSize : 2.5, glyphs, text);
    if (text.glyphs.empty() && text.lines.empty()) {
        return;
    }
    const Transform m = OcsFrame(f, props.extrusion);
    const Resolved r = ctx.Resolve(props, f.scope);
    EmitText(PlaneToPaper(m, t.position.z), r, f.scope);
}

void Frontend::Impl::DrawMText(const db::MText& t, const db::EntityProps& props, const Frame& f,
                               std::optional<double> frameGap) {
    const db::Database& d = *f.scope.db;
    const fonts::ResolvedFont* font = FontFor(d, t.style);
    if (!font || t.text.empty() || !Finite(t.position)) {
        return;
    }
    const db::TextStyle* style = TextStyleOf(d, t.style);
    LayoutMText(t, style, font, glyphs, text);
    if (text.glyphs.empty() && text.lines.empty()) {
        return;
    }
    Vec3 normal = db::Normalized(props.extrusion);
    if (db::Length(normal) == 0) {
        normal = {0, 0, 1};
    }
    Vec3 xdir;
    if (t.hasXAxis && db::Length(t.xAxis) > 0) {
        xdir = db::Normalized(t.xAxis);
    } else {
        const Transform ocs = db::OcsToWorld(normal);
        xdir = ocs.ApplyVector({std::cos(t.rotation * kDeg), std::sin(t.rotation * kDeg), 0});
    }
    const Vec3 ydir = db::Normalized(db::Cross(normal, xdir));
    const Transform plane = f.toPaper * Transform::FromAxes(xdir, ydir, normal, t.position);
    const Resolved r = ctx.Resolve(props, f.scope);
    EmitText(PlaneToPaper(plane, 0), r, f.scope);
    if (frameGap) {
        // Around the letters; in top-to-bottom flow around the box, whose height is the
        // reference width.
        QRectF box;
        if (t.drawingDirection == 3) {
            box = text.box;
        } else {
            for (const PlacedGlyph& pg : text.glyphs) {
                const CachedGlyph* c = pg.glyph;
                if (c && c->hasInk) {
                    box |= pg.toPlane.mapRect(
                        QRectF(QPointF(c->inkLeft, c->inkBottom), QPointF(c->inkRight, c->inkTop))
                            .normalized());
                }
            }
            for (const PlacedLine& l : text.lines) {
                box |= QRectF(l.a, l.b).normalized();
            }
        }
        const double gap = std::isfinite(*frameGap) ? std::max(*frameGap, 0.0) : 0.0;
        box.adjust(-gap, -gap, gap, gap);
        if (box.isValid()) {
            const QPolygonF ring = {box.bottomLeft(), box.bottomRight(), box.topRight(),
                                    box.topLeft()};
            page.Stroke(output::FromQt(PlaneToPaper(plane, 0).map(ring)), true, ctx.PenFor(r));
        }
    }
}

void Frontend::Impl::DrawAttribute(const db::Attribute& a, const db::EntityProps& props,
                                   const Frame& f, bool tag) {
    if (a.isMText) {
        DrawMText(a.mtext, props, f);
        return;
    }
    if (tag) {
        db::Text t = a.text;
        t.text = a.tag;
        DrawText(t, props, f);
    } else {
        DrawText(a.text, props, f);
    }
}

void Frontend::Impl::DrawAttdef(const db::Entity& e, const Frame& f, const db::Block* owner) {
    // Attribute definitions show their tag where they stand in a layout; inside a
    // block reference the reference's attributes are drawn instead.
    const auto* a = e.As<db::Attribute>();
    if (!a || f.depth > 0 || (owner && !owner->IsModelSpace() && !owner->IsPaperSpace())) {
        return;
    }
    DrawAttribute(*a, e.props, f, true);
}

}  // namespace vx::engine::render
