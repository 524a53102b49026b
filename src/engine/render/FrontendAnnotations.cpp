#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/geom/Clip.h"
#include "engine/render/FrontendParts.h"
#include "engine/render/Kinds.h"

namespace vx::engine::render {

void Frontend::Impl::DrawTolerance(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::Tolerance>();
    if (!g || !Finite(g->position) || !Finite(g->xAxis)) {
        return;
    }
    const db::Database& d = *f.scope.db;
    const bool metric = d.header.measurement == 1;
    const double h = DimensionSize(d.header, "$DIMTXT", metric ? 2.5 : 0.18);
    const double gap = DimensionSize(d.header, "$DIMGAP", metric ? 0.625 : 0.09);
    const fonts::ResolvedFont* font = FontFor(d, db::kNone);
    Vec3 normal = db::Normalized(e.props.extrusion);
    if (db::Length(normal) == 0 || !Finite(normal)) {
        normal = {0, 0, 1};
    }
    Vec3 xdir = db::Normalized(g->xAxis);
    if (db::Length(xdir) == 0) {
        xdir = db::OcsToWorld(normal).ApplyVector({1, 0, 0});
    }
    const Vec3 ydir = db::Normalized(db::Cross(normal, xdir));
    const Transform plane = f.toPaper * Transform::FromAxes(xdir, ydir, normal, g->position);
    const Resolved r = ctx.Resolve(e.props, f.scope);
    const plotstyle::Pen& pen = ctx.PenFor(r);
    const double ltMm = LinetypeMm(e.props, f);
    Resolved solid = r;  // symbols are drawn whole, as glyphs are
    solid.linetype = nullptr;
    const double rowHeight = h + 2 * gap;
    const auto rows = ToleranceRows(g->text);
    budget.Spend(static_cast<std::int64_t>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const double top = -static_cast<double>(i) * rowHeight;
        double x = 0;
        for (const ToleranceBox& box : rows[i]) {
            if (box.empty()) {
                continue;
            }
            // Pieces left to right from the gap on, each followed by a fifth of the
            // text height; the box closes a gap after the last one's ink.
            double cursor = x + gap, right = x + gap;
            const double baseline = top - rowHeight / 2 - h / 2;
            for (const TolerancePiece& piece : box) {
                if (piece.symbol != 0) {
                    for (const auto& stroke : GdtSymbolStrokes(piece.symbol)) {
                        local.clear();
                        for (const Vec2& q : stroke) {
                            local.push_back({cursor + q.x * h, baseline + q.y * h, 0});
                        }
                        StrokeLocal(plane, false, solid, pen, ltMm);
                    }
                    right = cursor + h;
                    cursor += h * 1.2;
                    continue;
                }
                if (!font) {
                    continue;
                }
                db::MText mt;
                mt.text = piece.text;
                mt.height = h;
                mt.attachment = 4;  // middle left
                LayoutMText(mt, TextStyleOf(d, db::kNone), font, glyphs, text);
                double ink = 0;
                bool inked = false;
                for (const PlacedGlyph& pg : text.glyphs) {
                    if (pg.glyph && pg.glyph->hasInk) {
                        ink = std::max(ink, pg.toPlane.map(QPointF(pg.glyph->inkRight, 0)).x());
                        inked = true;
                    }
                }
                const Transform at = plane * Translation({cursor, top - rowHeight / 2, 0});
                EmitText(PlaneToPaper(at, 0), r, f.scope);
                if (inked) {
                    right = cursor + ink;
                    cursor += ink + h * 0.2;
                }
            }
            const double width = std::max(right - (x + gap), h * 0.5);
            const double w = width + 2 * gap;
            local = {
                {x, top, 0}, {x + w, top, 0}, {x + w, top - rowHeight, 0}, {x, top - rowHeight, 0}};
            StrokeLocal(plane, true, r, pen, ltMm);
            x += w;
        }
    }
}

void Frontend::Impl::DrawXLine(const db::Entity& e, const Frame& f, bool ray) {
    const auto* g = e.As<db::XLine>();
    if (!g || !Finite(g->base) || !Finite(g->direction) || page.Measuring()) {
        return;  // endless: measured, they have no extent
    }
    const Vec2 p = Map(f.toPaper, g->base);
    const Vec3 dv = f.toPaper.ApplyVector(g->direction);
    const Vec2 d{dv.x, dv.y};
    const double len = std::hypot(d.x, d.y);
    if (!(len > 1e-12)) {
        return;  // seen end-on
    }
    page::Rect box = page.Visible();
    if (const page::Rect& a = options.plotArea; !a.IsEmpty()) {
        box = {std::max(box.xmin, a.xmin), std::max(box.ymin, a.ymin), std::min(box.xmax, a.xmax),
               std::min(box.ymax, a.ymax)};
    }
    double t0 = ray ? 0.0 : -std::numeric_limits<double>::infinity();
    double t1 = std::numeric_limits<double>::infinity();
    if (!geom::ClipLine(p, d, box, t0, t1)) {
        return;
    }
    const Resolved r = ctx.Resolve(e.props, f.scope);
    paper = {p + d * t0, p + d * t1};
    StrokePaper(false, r, ctx.PenFor(r), LinetypeMm(e.props, f), nullptr);
}

void Frontend::Impl::DrawMLine(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::MLine>();
    if (!g || g->vertices.size() < 2) {
        return;
    }
    const db::Database& d = *f.scope.db;
    const db::MLineStyle* style =
        g->style < d.mlineStyles.size() ? &d.mlineStyles[g->style] : nullptr;
    // Element offsets from the style, for vertices that carry none.
    std::vector<double> fallback;
    if (style && !style->elements.empty()) {
        double lo = style->elements[0].offset, hi = lo;
        for (const auto& el : style->elements) {
            lo = std::min(lo, el.offset);
            hi = std::max(hi, el.offset);
        }
        const double shift = g->justification == 0 ? -hi : g->justification == 2 ? -lo : 0;
        for (const auto& el : style->elements) {
            fallback.push_back((el.offset + shift) * g->scale);
        }
    }
    std::size_t count = fallback.size();
    for (const auto& v : g->vertices) {
        count = std::max(count, v.params.size());
    }
    if (count == 0) {
        return;
    }
    // points[i][j]: element i at vertex j
    std::vector<std::vector<Vec3>> points(count);
    for (const auto& v : g->vertices) {
        for (std::size_t i = 0; i < count; ++i) {
            double off = i < fallback.size() ? fallback[i] : 0;
            if (i < v.params.size() && !v.params[i].empty()) {
                off = v.params[i][0];
            }
            points[i].push_back(v.position + v.miter * off);
        }
    }
    for (const auto& run : points) {
        for (const Vec3& p : run) {
            if (!Finite(p)) {
                return;
            }
        }
    }
    // The outermost elements bound the fill and the caps.
    std::size_t top = 0, bottom = 0;
    if (style && style->elements.size() == count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (style->elements[i].offset > style->elements[top].offset) {
                top = i;
            }
            if (style->elements[i].offset < style->elements[bottom].offset) {
                bottom = i;
            }
        }
    } else {
        bottom = count - 1;
    }
    const bool closed = g->Closed();
    if (style && (style->flags & db::MLineStyle::kFill)) {
        db::EntityProps fp = e.props;
        fp.color = style->fillColor;
        const Resolved r = ctx.Resolve(fp, f.scope);
        Polygon area;
        for (const Vec3& p : points[top]) {
            area.push_back(Map(f.toPaper, p));
        }
        for (auto it = points[bottom].rbegin(); it != points[bottom].rend(); ++it) {
            area.push_back(Map(f.toPaper, *it));
        }
        page.Fill({area}, ctx.PenFor(r));
    }
    const std::size_t nv = g->vertices.size();
    for (std::size_t i = 0; i < count; ++i) {
        db::EntityProps ep = e.props;
        if (style && i < style->elements.size()) {
            ep.color = style->elements[i].color;
            ep.linetype = style->elements[i].linetype;
        }
        const Resolved r = ctx.Resolve(ep, f.scope);
        const plotstyle::Pen& pen = ctx.PenFor(r);
        // Each segment draws the pieces its breaks leave; pieces that meet at a vertex
        // run on as one line, so that the linetype runs on too.
        std::vector<Vec3> runPts;
        const auto flush = [&] {
            if (runPts.size() >= 2) {
                local = runPts;
                StrokeLocal(f.toPaper, false, r, pen, LinetypeMm(e.props, f));
            }
            runPts.clear();
        };
        bool whole = true;
        for (std::size_t j = 0; j + 1 < nv || (closed && j < nv); ++j) {
            const Vec3 a = points[i][j], b = points[i][(j + 1) % nv];
            const db::MLineVertex& v = g->vertices[j];
            Vec3 dir = db::Normalized(v.direction);
            if (db::Length(dir) == 0 || !Finite(dir)) {
                dir = db::Normalized(b - a);
            }
            const double len = std::max(db::Dot(b - a, dir), 0.0);
            static const std::vector<double> kNoBreaks;
            const auto pieces = MLinePieces(i < v.params.size() ? v.params[i] : kNoBreaks, len);
            whole = whole && pieces.size() == 1 && pieces[0].first <= 0 && pieces[0].second >= len;
            for (const auto& [from, to] : pieces) {
                const Vec3 p = from <= 0 ? a : a + dir * from;
                const Vec3 q = to >= len ? b : a + dir * to;
                if (runPts.empty() || from > 0 || !(runPts.back() == a)) {
                    flush();
                    runPts.push_back(p);
                }
                runPts.push_back(q);
            }
        }
        if (closed && whole) {
            runPts.clear();
            local = points[i];
            StrokeLocal(f.toPaper, true, r, pen, LinetypeMm(e.props, f));
        }
        flush();
    }
    if (closed || !style) {
        return;
    }
    const Resolved r = ctx.Resolve(e.props, f.scope);
    constexpr int kStartInnerArcs = 32, kEndInnerArcs = 512;  // MLINESTYLE flags
    // Elements from the outermost on one side to the outermost on the other.
    std::vector<std::size_t> order(count);
    for (std::size_t i = 0; i < count; ++i) {
        order[i] = i;
    }
    if (style->elements.size() == count) {
        std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
            return style->elements[x].offset > style->elements[y].offset;
        });
    }
    const auto cap = [&](std::size_t j, int square, int outer, int inner) {
        if (style->flags & square) {
            local = {points[top][j], points[bottom][j]};
            StrokeLocal(f.toPaper, false, r, ctx.PenFor(r), LinetypeMm(e.props, f));
        }
        // Half circles between pairs of elements, bulging away from the line.
        const Vec3 out =
            db::Normalized(j == 0 ? g->vertices[0].direction * -1.0
                                  : g->vertices[j].position - g->vertices[j - 1].position);
        for (std::size_t k = 0; k < count / 2; ++k) {
            if (!(style->flags & (k == 0 ? outer : inner))) {
                continue;
            }
            const Vec3 p = points[order[k]][j], q = points[order[count - 1 - k]][j];
            const Vec3 c = (p + q) * 0.5;
            const double radius = db::Length(p - c);
            if (!(radius > 0) || db::Length(out) == 0) {
                continue;
            }
            const double mm = PlaneScale(f.toPaper, {1, 0, 0}, {0, 1, 0});
            const int n = ArcSegments(radius * mm, kPi, CurveTol(2 * radius * mm));
            local.clear();
            const Vec3 u = (p - c) * (1.0 / radius);
            for (int s = 0; s <= n; ++s) {
                const double t = kPi * s / n;
                local.push_back(c + u * (radius * std::cos(t)) + out * (radius * std::sin(t)));
            }
            StrokeLocal(f.toPaper, false, r, ctx.PenFor(r), LinetypeMm(e.props, f));
        }
    };
    if (!(g->flags & db::MLine::kNoStartCaps)) {
        cap(0, db::MLineStyle::kStartSquare, db::MLineStyle::kStartRound, kStartInnerArcs);
    }
    if (!(g->flags & db::MLine::kNoEndCaps)) {
        cap(nv - 1, db::MLineStyle::kEndSquare, db::MLineStyle::kEndRound, kEndInnerArcs);
    }
}

std::vector<std::pair<double, double>> Frontend::Impl::MLinePieces(
    const std::vector<double>& params, double len) {
    if (params.size() < 2) {
        return {{0, len}};
    }
    std::vector<std::pair<double, double>> out;
    for (std::size_t k = 1; k < params.size(); k += 2) {
        const double from = std::clamp(params[k], 0.0, len);
        const double to = k + 1 < params.size() ? std::clamp(params[k + 1], 0.0, len) : len;
        if (std::isfinite(from) && std::isfinite(to) && to > from) {
            out.emplace_back(from, to);
        }
    }
    return out;
}

void Frontend::Impl::DrawWipeout(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::Image>();
    if (!g || !Finite(g->position) || !Finite(g->uVector) || !Finite(g->vVector)) {
        return;
    }
    std::vector<Vec3> bp = g->clipBoundary;
    if (bp.size() == 2) {
        bp = {bp[0], {bp[1].x, bp[0].y, 0}, bp[1], {bp[0].x, bp[1].y, 0}};
    }
    Polygon area;
    if (bp.size() >= 3) {
        // Pixel coordinates from the top-left corner, as an image's clip boundary.
        const Vec3 origin = g->position + g->uVector * 0.5 - g->vVector * 0.5;
        for (const Vec3& p : bp) {
            area.push_back(
                Map(f.toPaper, origin + g->uVector * p.x + g->vVector * (g->pixelsV - p.y)));
        }
    } else {
        const Vec3 w = g->uVector * g->pixelsU, h = g->vVector * g->pixelsV;
        area = {Map(f.toPaper, g->position), Map(f.toPaper, g->position + w),
                Map(f.toPaper, g->position + w + h), Map(f.toPaper, g->position + h)};
    }
    plotstyle::Pen mask;
    mask.color = plotstyle::kWhite;
    page.Fill({area}, mask);
    if (f.scope.db->header.wipeoutFrame == 1) {  // frames shown and plotted
        const Resolved r = ctx.Resolve(e.props, f.scope);
        page.Stroke(area, true, ctx.PenFor(r));
    }
}

void Frontend::Impl::DrawMLeader(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::MLeader>();
    if (!g) {
        return;
    }
    const db::Database& d = *f.scope.db;
    db::EntityProps lp = e.props;
    if (g->lineColor.kind != db::Color::Kind::ByBlock) {
        lp.color = g->lineColor;
    }
    const Resolved r = ctx.Resolve(lp, f.scope);
    const plotstyle::Pen& pen = ctx.PenFor(r);
    const double mm = PlaneScale(f.toPaper, {1, 0, 0}, {0, 1, 0});
    for (const db::MLeaderBranch& b : g->branches) {
        const bool dogleg = g->dogleg && g->lineType != 2 && b.doglegLength > 0 &&
                            db::Length(b.doglegDirection) > 0;
        for (const db::MLeaderLine& l : b.lines) {
            if (g->lineType == 0 || l.vertices.empty()) {
                continue;
            }
            std::vector<Vec3> v = l.vertices;
            v.push_back(b.landing);
            if (dogleg) {
                v.push_back(b.landing + db::Normalized(b.doglegDirection) * b.doglegLength);
            }
            if (std::any_of(v.begin(), v.end(), [](Vec3 p) { return !Finite(p); })) {
                continue;
            }
            local.clear();
            if (g->lineType == 2 && v.size() > 2) {
                AppendFitSpline(local, v, {}, {}, false, mm, CurveTol(Span(v) * mm));
            } else {
                local = v;
            }
            StrokeLocal(f.toPaper, false, r, pen, LinetypeMm(e.props, f));
            DrawArrowhead(v, g->arrowSize, f, pen);
        }
    }
    if (g->hasText && !g->text.text.empty()) {
        db::EntityProps tp = e.props;
        if (g->textColor.kind != db::Color::Kind::ByBlock) {
            tp.color = g->textColor;
        }
        DrawMText(g->text, tp, f,
                  g->textFrame ? std::optional<double>(g->landingGap) : std::nullopt);
    }
    if (g->hasBlock && g->block < d.blocks.size() && f.depth < kMaxDepth &&
        Finite(g->blockPosition) && Finite(g->blockScale)) {
        db::EntityProps bp = e.props;
        if (g->blockColor.kind != db::Color::Kind::ByBlock) {
            bp.color = g->blockColor;
        }
        const db::Block& block = d.blocks[g->block];
        const Transform toParent = Translation(g->blockPosition) *
                                   RotationZ(g->blockRotation * kDeg) * Scaling(g->blockScale) *
                                   Translation(block.base * -1.0);
        DrawBlockRef(d, block, toParent, std::sqrt(std::abs(g->blockScale.x * g->blockScale.y)),
                     ctx.Enter(bp, f.scope), f);
    }
}

void Frontend::Impl::DrawArrowhead(const std::vector<Vec3>& v, double size, const Frame& f,
                                   const plotstyle::Pen& pen) {
    if (!(size > 0) || !std::isfinite(size) || v.size() < 2) {
        return;
    }
    const Vec3 tip = v[0];
    Vec3 dir;
    for (std::size_t i = 1; i < v.size() && db::Length(dir) == 0; ++i) {
        dir = db::Normalized(v[i] - tip);
    }
    if (db::Length(dir) == 0) {
        return;
    }
    const Vec3 side = db::Normalized(db::Cross({0, 0, 1}, dir)) * (size / 6);
    const Vec3 back = tip + dir * size;
    Polygon arrow{Map(f.toPaper, tip), Map(f.toPaper, back + side), Map(f.toPaper, back - side)};
    page.Fill({arrow}, pen);
}

}  // namespace vx::engine::render
