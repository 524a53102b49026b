#include "engine/render/Frontend.h"

#include <QImageReader>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>

#include "engine/db/Extents.h"
#include "engine/fonts/FontResolver.h"
#include "engine/load/DrawingLoader.h"
#include "engine/render/Curves.h"
#include "engine/render/Dashes.h"
#include "engine/render/Hatching.h"
#include "engine/render/Kinds.h"
#include "engine/render/PageWriter.h"
#include "engine/render/RenderContext.h"
#include "engine/render/TextLayout.h"
#include "engine/underlay/PdfPages.h"

namespace vx::engine::render {

namespace {

using db::Transform;
using db::Vec3;

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;
// Block references nested deeper than this are not drawn (this also ends reference cycles).
constexpr int kMaxDepth = 32;
// Pattern pieces a single hatch may have before it is filled solid instead.
constexpr std::size_t kMaxHatchSegments = 400000;
// Culling boxes of blocks grow by this share of their size: their text is only estimated.
constexpr double kCullMargin = 0.1;
// Measuring, the chords of a curve may stray from it by this share of the curve's size;
// the measured box grows by as much, so it holds the whole curve.
constexpr double kMeasureTolerance = 1e-3;

inline QPointF Map(const Transform& m, Vec3 p) {
    return {m.m[0][0] * p.x + m.m[0][1] * p.y + m.m[0][2] * p.z + m.t.x,
            m.m[1][0] * p.x + m.m[1][1] * p.y + m.m[1][2] * p.z + m.t.y};
}

Transform Translation(Vec3 t) {
    Transform r;
    r.t = t;
    return r;
}

Transform Scaling(Vec3 s) {
    Transform r;
    r.m[0][0] = s.x, r.m[1][1] = s.y, r.m[2][2] = s.z;
    return r;
}

Transform RotationZ(double rad) {
    Transform r;
    const double c = std::cos(rad), s = std::sin(rad);
    r.m[0][0] = c, r.m[0][1] = -s;
    r.m[1][0] = s, r.m[1][1] = c;
    return r;
}

Transform Transposed(const Transform& a) {
    Transform r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            r.m[i][j] = a.m[j][i];
        }
    }
    return r;
}

Transform FromAffine(const page::Affine& a) {
    Transform r;
    r.m[0][0] = a.a, r.m[0][1] = a.c, r.t.x = a.e;
    r.m[1][0] = a.b, r.m[1][1] = a.d, r.t.y = a.f;
    return r;
}

// How many paper millimetres a unit along the plane spanned by ax, ay becomes, at most.
double PlaneScale(const Transform& m, Vec3 ax, Vec3 ay) {
    const Vec3 u = m.ApplyVector(ax), v = m.ApplyVector(ay);
    return std::max(std::hypot(u.x, u.y), std::hypot(v.x, v.y));
}

// The mean scale of the plane (the root of the area factor), for linetypes and widths.
double AreaScale(const Transform& m, Vec3 ax, Vec3 ay) {
    const Vec3 u = m.ApplyVector(ax), v = m.ApplyVector(ay);
    return std::sqrt(std::abs(u.x * v.y - u.y * v.x));
}

// The 2D map of the plane z = `z` of `m`'s source into paper coordinates.
QTransform PlaneToPaper(const Transform& m, double z) {
    return QTransform(m.m[0][0], m.m[1][0], m.m[0][1], m.m[1][1], m.m[0][2] * z + m.t.x,
                      m.m[1][2] * z + m.t.y);
}

bool Finite(Vec3 p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// The diagonal of the box of `points` (0 for none).
double Span(const std::vector<Vec3>& points) {
    if (points.empty()) {
        return 0;
    }
    Vec3 lo = points.front(), hi = lo;
    for (const Vec3& p : points) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    return db::Length(hi - lo);
}

// The diagonal of the box of a hatch's boundary data (arc edges by their circles).
double HatchSpan(const db::Hatch& h) {
    std::vector<Vec3> pts;
    for (const db::HatchPath& path : h.paths) {
        for (const db::LwVertex& v : path.polyline) {
            pts.push_back({v.x, v.y, 0});
        }
        for (const db::HatchEdge& e : path.edges) {
            const double r = e.type == db::HatchEdge::Type::Ellipse ? db::Length(e.p1) : e.radius;
            pts.push_back(e.p0 - Vec3{r, r, 0});
            pts.push_back(e.p0 + Vec3{r, r, 0});
            if (e.type == db::HatchEdge::Type::Line) {
                pts.push_back(e.p1);
            }
            pts.insert(pts.end(), e.controlPoints.begin(), e.controlPoints.end());
            pts.insert(pts.end(), e.fitPoints.begin(), e.fitPoints.end());
        }
    }
    return Span(pts);
}

double NormalizedSweep(double start, double end) {
    double s = std::fmod(end - start, 2 * kPi);
    if (s <= 1e-12) {
        s += 2 * kPi;
    }
    return s;
}

page::Rect PaperBox(const Transform& m, const db::Box3& b) {
    page::Rect r = page::Rect::Empty();
    if (b.Empty()) {
        return r;
    }
    for (int i = 0; i < 8; ++i) {
        const Vec3 p{(i & 1) ? b.max.x : b.min.x, (i & 2) ? b.max.y : b.min.y,
                     (i & 4) ? b.max.z : b.min.z};
        const QPointF q = Map(m, p);
        r.Include(page::Point{q.x(), q.y()});
    }
    return r;
}

struct Frame {
    Transform toPaper;       // this block's coordinates -> paper millimetres (x, y)
    double ltMmPerUnit = 1;  // paper millimetres of one unit of a linetype pattern
    BlockScope scope;
    int depth = 0;
};

// A polyline vertex as the frontend uses it (LWPOLYLINE and 2D POLYLINE alike).
struct PVertex {
    double x, y, bulge, startWidth, endWidth;
};

}  // namespace

struct Frontend::Impl {
    Impl(const db::Database& d, const RenderOptions& o, output::PageSink& sink, RenderReport& r)
        : db(d),
          options(o),
          report(r),
          ctx(d, o.plotStyles, o.plotLineweights, 1.0),
          budget(o.maxPrimitives, o.maxPageBytes),
          page(sink, budget),
          glyphs(o.fonts),
          tol(o.curveTolerance > 0 ? o.curveTolerance : 0.01) {}
    Impl(const db::Database& d, const RenderOptions& o, LayoutBounds& bounds, RenderReport& r)
        : db(d),
          options(o),
          report(r),
          ctx(d, o.plotStyles, o.plotLineweights, 1.0),
          budget(o.maxPrimitives, o.maxPageBytes),
          page(bounds, budget, !o.scaleLineweights),
          glyphs(o.fonts),
          tol(0) {}

    const db::Database& db;
    const RenderOptions& options;
    RenderReport& report;
    RenderContext ctx;
    db::ExpansionBudget budget;  // of the whole page, spent as it is built
    PageWriter page;
    GlyphCache glyphs;
    double tol;
    double pointSizeMm = 5;

    // Scratch buffers, reused by every entity.
    std::vector<Vec3> local;
    std::vector<QPointF> paper;
    std::vector<QPointF> run;
    std::vector<std::uint32_t> breaks;
    DashPieces dashes;
    TextLayout text;
    std::vector<std::vector<Vec3>> loops;
    std::vector<PatternSegment> segments;

    std::set<std::string> warned;
    std::unordered_map<const db::Block*, db::Box3> blockBoxes;
    std::unordered_map<std::string, QImage> images;
    underlay::PdfPages pdfs;
    struct PatternKey {
        const db::Linetype* lt;
        double scale;
        friend bool operator==(const PatternKey&, const PatternKey&) = default;
    };
    struct PatternKeyHash {
        std::size_t operator()(const PatternKey& k) const {
            return std::hash<const void*>()(k.lt) ^ std::hash<double>()(k.scale);
        }
    };
    std::unordered_map<PatternKey, DashPattern, PatternKeyHash> patterns;

    void Warn(const std::string& text) {
        if (warned.insert(text).second) {
            report.warnings.push_back(text);
        }
    }
    void NotDrawn(const db::Entity& e) { ++report.notDrawn[std::string(e.TypeName())]; }

    // The chord tolerance for a curve `sizeMm` across on the paper: the plot's, or when
    // measuring a share of the curve's size, by which what the entity draws is widened.
    double CurveTol(double sizeMm) {
        if (!page.Measuring()) {
            return tol;
        }
        const double t = std::isfinite(sizeMm) && sizeMm > 0 ? sizeMm * kMeasureTolerance : 0;
        page.SetSlack(std::max(page.Slack(), t));
        return t;
    }

    // ----------------------------------------------------------------------------------
    // Output helpers

    const DashPattern& PatternFor(const db::Linetype* lt, double mmPerUnit) {
        const PatternKey key{lt, mmPerUnit};
        auto it = patterns.find(key);
        if (it == patterns.end()) {
            it = patterns.emplace(key, ScaledPattern(lt, mmPerUnit)).first;
        }
        return it->second;
    }

    double LinetypeMm(const db::EntityProps& props, const Frame& f) const {
        const double lts =
            std::isfinite(db.header.ltScale) && db.header.ltScale > 0 ? db.header.ltScale : 1.0;
        const double own = std::isfinite(props.linetypeScale) && props.linetypeScale > 0
                               ? props.linetypeScale
                               : 1.0;
        return lts * own * f.ltMmPerUnit;
    }

    // Strokes one run of paper points, dashed by the pattern when there is one; the texts
    // of a complex linetype go where their elements begin.
    void StrokeDashed(const QPointF* pts, std::size_t n, bool closed, const plotstyle::Pen& pen,
                      const DashPattern* pattern, const Resolved* r = nullptr) {
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

    // Texts of a complex linetype at the marks of the last cut: turned with the line (or
    // absolute), moved by their offsets along and across it, all scaled with the pattern.
    // Shapes would need the linetype's shape file; they are left out and reported.
    void DrawLinetypeMarks(const db::Linetype& lt, const DashPattern& pattern, const Resolved& r) {
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
            const QPointF dir(std::cos(along), std::sin(along)), across(-dir.y(), dir.x());
            const QPointF at = m.at + dir * (e.offsetX * k) + across * (e.offsetY * k);
            db::Text t;
            t.text = e.text;
            t.position = {at.x(), at.y(), 0};
            t.height = base * (e.scale != 0 ? std::abs(e.scale) : 1.0) * k;
            t.rotation = (e.type & 1) ? e.rotation : along / kDeg + e.rotation;
            t.widthFactor = ts && ts->widthFactor > 0 ? ts->widthFactor : 1.0;
            LayoutText(t, ts, font, t.height, glyphs, text);
            EmitText(QTransform(), r, ctx.TopScope());
        }
    }

    // Maps `local` through `m` and strokes it with the entity's linetype; `breaks` (vertex
    // indices into `local`) restart the pattern at each polyline vertex.
    void StrokeLocal(const Transform& m, bool closed, const Resolved& r, const plotstyle::Pen& pen,
                     double ltMm, const std::vector<std::uint32_t>* vertexBreaks = nullptr) {
        paper.resize(local.size());
        for (std::size_t i = 0; i < local.size(); ++i) {
            paper[i] = Map(m, local[i]);
        }
        StrokePaper(closed, r, pen, ltMm, vertexBreaks);
    }

    void StrokePaper(bool closed, const Resolved& r, const plotstyle::Pen& pen, double ltMm,
                     const std::vector<std::uint32_t>* vertexBreaks) {
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
            const QPointF closing[2] = {paper.back(), paper.front()};
            StrokeDashed(closing, 2, false, pen, pattern, &r);
        }
    }

    // ----------------------------------------------------------------------------------
    // Layouts, blocks, entities

    void DrawLayout(std::uint32_t layoutIndex, const page::Affine& drawingToPaper) {
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

    bool paperSpace = false;
    const db::Database* entityDb = nullptr;  // of the entity being drawn
    const db::Block* layoutBlock = nullptr;
    const std::vector<db::Box3>* modelBoxes = nullptr;
    std::vector<db::Box3> modelBoxStore;
    bool cullModel = false;

    void DrawBlock(const db::Block& block, const Frame& f) {
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

    void DrawEntity(const db::Entity& e, const Frame& f, const db::Block* owner) {
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

    void Draw(const db::Entity& e, const Frame& f, const db::Block* owner, Visibility vis) {
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

    // A custom object shows the picture it carries (a block of world geometry) as a
    // reference to that block; without one it is not drawn.
    void DrawUnknown(const db::Entity& e, const Frame& f, Visibility vis) {
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

    // ----------------------------------------------------------------------------------
    // Curves

    void DrawLine(const db::Entity& e, const Frame& f) {
        const auto* g = e.As<db::Line>();
        if (!g || !Finite(g->start) || !Finite(g->end)) {
            return;
        }
        const Resolved r = ctx.Resolve(e.props, f.scope);
        local = {g->start, g->end};
        StrokeLocal(f.toPaper, false, r, ctx.PenFor(r), LinetypeMm(e.props, f));
    }

    void DrawPoint(const db::Entity& e, const Frame& f) {
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
        const QPointF c = Map(f.toPaper, g->position);
        const double h = size / 2;
        switch (mode & 7) {
            case 0:
                page.Stroke(&c, 1, false, pen);
                break;
            case 2:
                run = {c - QPointF(h, 0), c + QPointF(h, 0)};
                page.Stroke(run.data(), 2, false, pen);
                run = {c - QPointF(0, h), c + QPointF(0, h)};
                page.Stroke(run.data(), 2, false, pen);
                break;
            case 3:
                run = {c - QPointF(h, h), c + QPointF(h, h)};
                page.Stroke(run.data(), 2, false, pen);
                run = {c - QPointF(h, -h), c + QPointF(h, -h)};
                page.Stroke(run.data(), 2, false, pen);
                break;
            case 4:
                run = {c, c + QPointF(0, h)};
                page.Stroke(run.data(), 2, false, pen);
                break;
            default:
                break;
        }
        if (mode & 32) {
            local.clear();
            AppendEllipse(local, {c.x(), c.y(), 0}, {h, 0, 0}, {0, h, 0}, 0, 2 * kPi,
                          ArcSegments(h, 2 * kPi, CurveTol(2 * h)));
            paper.clear();
            for (const Vec3& p : local) {
                paper.emplace_back(p.x, p.y);
            }
            page.Stroke(paper.data(), paper.size(), true, pen);
        }
        if (mode & 64) {
            run = {c + QPointF(-h, -h), c + QPointF(h, -h), c + QPointF(h, h), c + QPointF(-h, h)};
            page.Stroke(run.data(), 4, true, pen);
        }
    }

    void DrawArc(const db::Entity& e, const Frame& f) {
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

    Transform OcsFrame(const Frame& f, Vec3 extrusion) const {
        if (db::IsDefaultExtrusion(extrusion) || !Finite(extrusion) || db::Length(extrusion) == 0) {
            return f.toPaper;
        }
        return f.toPaper * db::OcsToWorld(extrusion);
    }

    void DrawEllipse(const db::Entity& e, const Frame& f) {
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

    void DrawSpline(const db::Entity& e, const Frame& f) {
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
            AppendFitSpline(local, g->fitPoints, g->startTangent, g->endTangent,
                            (g->flags & 1) != 0, mm, st);
        } else if (g->controlPoints.size() >= 2) {
            local = g->controlPoints;
        } else {
            return;
        }
        const Resolved r = ctx.Resolve(e.props, f.scope);
        StrokeLocal(f.toPaper, false, r, ctx.PenFor(r), LinetypeMm(e.props, f));
    }

    // ----------------------------------------------------------------------------------
    // Polylines

    // Draws a 2D polyline in its OCS: bulges, widths, the linetype per segment.
    void DrawPlanePolyline(const std::vector<PVertex>& v, bool closed, double z, bool plinegen,
                           const db::EntityProps& props, const Frame& f) {
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
            QPolygonF ring;
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
                        ring.append(
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
                ring << Map(m, {a.x + nx * wa / 2, a.y + ny * wa / 2, z})
                     << Map(m, {b.x + nx * wb / 2, b.y + ny * wb / 2, z})
                     << Map(m, {b.x - nx * wb / 2, b.y - ny * wb / 2, z})
                     << Map(m, {a.x - nx * wa / 2, a.y - ny * wa / 2, z});
            }
            page.Fill({ring}, pen);
        }
    }

    std::vector<PVertex> pverts;

    void DrawLwPolyline(const db::Entity& e, const Frame& f) {
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

    void DrawPolyline(const db::Entity& e, const Frame& f) {
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
                if (v.flags & 64) {
                    pts.push_back(v.position);
                }
            }
            for (const db::PolyVertex& v : g->vertices) {
                if (!((v.flags & 128) && !(v.flags & 64))) {
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
        DrawPlanePolyline(pverts, g->Closed(), g->elevation,
                          (g->flags & db::Polyline::kPlinegen) != 0, e.props, f);
    }

    // ----------------------------------------------------------------------------------
    // Filled shapes

    void DrawSolid(const db::Entity& e, const Frame& f) {
        const auto* g = e.As<db::Face>();
        if (!g) {
            return;
        }
        const Transform m = OcsFrame(f, e.props.extrusion);
        // Corners are stored in the order 1-2-4-3.
        QPolygonF ring;
        for (int k : {0, 1, 3, 2}) {
            if (!Finite(g->corners[k])) {
                return;
            }
            ring.append(Map(m, g->corners[k]));
        }
        const Resolved r = ctx.Resolve(e.props, f.scope);
        const plotstyle::Pen& pen = ctx.PenFor(r);
        page.Fill({ring}, pen);
        // The outline too, so that a solid thinner than the lineweight still shows.
        page.Stroke(ring, true, pen);
    }

    void Draw3dFace(const db::Entity& e, const Frame& f) {
        const auto* g = e.As<db::Face>();
        if (!g) {
            return;
        }
        const Resolved r = ctx.Resolve(e.props, f.scope);
        const plotstyle::Pen& pen = ctx.PenFor(r);
        const double ltMm = LinetypeMm(e.props, f);
        for (int k = 0; k < 4; ++k) {
            if (g->invisibleEdges & (1 << k)) {
                continue;
            }
            const Vec3 a = g->corners[k], b = g->corners[(k + 1) % 4];
            if (a == b || !Finite(a) || !Finite(b)) {
                continue;
            }
            local = {a, b};
            StrokeLocal(f.toPaper, false, r, pen, ltMm);
        }
    }

    // ----------------------------------------------------------------------------------
    // Text

    const fonts::ResolvedFont* FontFor(const db::Database& d, db::StyleId style) {
        if (!glyphs.HasFonts()) {
            Warn("Text is not drawn: no fonts were given to the renderer.");
            return nullptr;
        }
        return glyphs.StyleFont(d, style);
    }

    // Draws the laid-out `text` whose plane maps to paper by `toPaper`.
    void EmitText(const QTransform& toPaper, const Resolved& r, const BlockScope& scope) {
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
            return color >= 0 && static_cast<std::size_t>(color) < pens.size() ? *pens[color]
                                                                               : base;
        };
        // Outline glyphs of one colour go out as one path.
        std::unordered_map<int, QPainterPath> outlines;
        for (const PlacedGlyph& g : text.glyphs) {
            const QTransform t = g.toPlane * toPaper;
            if (g.glyph->shape.IsOutline()) {
                outlines[g.color].addPath(t.map(g.glyph->shape.outline));
                continue;
            }
            const plotstyle::Pen& pen = penOf(g.color);
            for (const QPolygonF& stroke : g.glyph->shape.strokes) {
                run.resize(static_cast<std::size_t>(stroke.size()));
                for (qsizetype i = 0; i < stroke.size(); ++i) {
                    run[static_cast<std::size_t>(i)] = t.map(stroke[i]);
                }
                page.Stroke(run.data(), run.size(), false, pen);
            }
        }
        for (auto& [color, path] : outlines) {
            path.setFillRule(Qt::WindingFill);
            page.Glyphs(std::move(path), penOf(color));
        }
        for (const PlacedLine& l : text.lines) {
            run = {toPaper.map(l.a), toPaper.map(l.b)};
            page.Stroke(run.data(), 2, false, penOf(l.color));
        }
    }

    void DrawText(const db::Text& t, const db::EntityProps& props, const Frame& f) {
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

    // `frameGap`: also a frame around the text's ink, this far from it (a multileader's).
    void DrawMText(const db::MText& t, const db::EntityProps& props, const Frame& f,
                   std::optional<double> frameGap = std::nullopt) {
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
            QRectF box;
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
            const double gap = std::isfinite(*frameGap) ? std::max(*frameGap, 0.0) : 0.0;
            box.adjust(-gap, -gap, gap, gap);
            if (box.isValid()) {
                const QPolygonF ring = {box.bottomLeft(), box.bottomRight(), box.topRight(),
                                        box.topLeft()};
                page.Stroke(PlaneToPaper(plane, 0).map(ring), true, ctx.PenFor(r));
            }
        }
    }

    void DrawAttribute(const db::Attribute& a, const db::EntityProps& props, const Frame& f,
                       bool tag) {
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

    void DrawAttdef(const db::Entity& e, const Frame& f, const db::Block* owner) {
        // Attribute definitions show their tag where they stand in a layout; inside a
        // block reference the reference's attributes are drawn instead.
        const auto* a = e.As<db::Attribute>();
        if (!a || f.depth > 0 || (owner && !owner->IsModelSpace() && !owner->IsPaperSpace())) {
            return;
        }
        DrawAttribute(*a, e.props, f, true);
    }

    // ----------------------------------------------------------------------------------
    // Blocks

    const db::Box3& BlockBox(const db::Database& d, const db::Block& b) {
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

    // Draws `block` of database `d` under `toBlock` (block coordinates -> parent frame).
    void DrawBlockRef(const db::Database& d, const db::Block& block, const Transform& toParent,
                      double ltFactor, const BlockScope& scope, const Frame& f) {
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

    void DrawInsert(const db::Entity& e, const Frame& f, Visibility vis) {
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
        if (!Finite(g->position) || !Finite(s) || !std::isfinite(g->rotation) || s.x == 0 ||
            s.y == 0) {
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
    void DrawDimension(const db::Entity& e, const Frame& f) {
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

    // A feature-control frame: each row of boxes below the previous one, each box as wide
    // as its text with the dimension gap on either side and as high as the text and two
    // gaps, the text in the middle.
    void DrawTolerance(const db::Entity& e, const Frame& f) {
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
                            for (const QPointF& q : stroke) {
                                local.push_back({cursor + q.x() * h, baseline + q.y() * h, 0});
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
                local = {{x, top, 0},
                         {x + w, top, 0},
                         {x + w, top - rowHeight, 0},
                         {x, top - rowHeight, 0}};
                StrokeLocal(plane, true, r, pen, ltMm);
                x += w;
            }
        }
    }

    // A subdivision mesh as its level-0 wire: each edge of its faces once.
    void DrawMesh(const db::Entity& e, const Frame& f) {
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

    void DrawLeader(const db::Entity& e, const Frame& f) {
        const auto* g = e.As<db::Leader>();
        if (!g || g->vertices.size() < 2) {
            return;
        }
        const Resolved r = ctx.Resolve(e.props, f.scope);
        const plotstyle::Pen& pen = ctx.PenFor(r);
        const double mm = PlaneScale(f.toPaper, {1, 0, 0}, {0, 1, 0});
        local.clear();
        if (g->pathType == 1 && g->vertices.size() > 2) {
            AppendFitSpline(local, g->vertices, {}, {}, false, mm,
                            CurveTol(Span(g->vertices) * mm));
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
        QPolygonF arrow;
        arrow << Map(f.toPaper, tip) << Map(f.toPaper, back + side)
              << Map(f.toPaper, back - side * 1.0);
        page.Fill({arrow}, pen);
    }

    // ----------------------------------------------------------------------------------
    // Hatches and images

    void DrawHatch(const db::Entity& e, const Frame& f) {
        const auto* g = e.As<db::Hatch>();
        if (!g) {
            return;
        }
        const Transform m = OcsFrame(f, e.props.extrusion);
        const double mm = PlaneScale(m, {1, 0, 0}, {0, 1, 0});
        HatchLoops(*g, mm, page.Measuring() ? CurveTol(HatchSpan(*g) * mm) : tol, loops);
        if (loops.empty()) {
            return;
        }
        const Resolved r = ctx.Resolve(e.props, f.scope);
        const plotstyle::Pen& pen = ctx.PenFor(r);
        // Cull on the boundary's box before any pattern work.
        page::Rect box = page::Rect::Empty();
        for (const auto& loop : loops) {
            for (const Vec3& p : loop) {
                const QPointF q = Map(m, p);
                box.Include(page::Point{q.x(), q.y()});
            }
        }
        if (!page.MayShow(box)) {
            return;
        }
        if (page.Measuring()) {
            // The pattern lies within the boundary, so the boundary's box is the hatch's.
            page.Fill({QPolygonF(QRectF(QPointF(box.xmin, box.ymin), QPointF(box.xmax, box.ymax)))},
                      pen);
            return;
        }
        const auto fillSolid = [&] {
            std::vector<QPolygonF> rings;
            rings.reserve(loops.size());
            for (const auto& loop : loops) {
                QPolygonF ring;
                ring.reserve(static_cast<qsizetype>(loop.size()));
                for (const Vec3& p : loop) {
                    ring.append(Map(m, p));
                }
                rings.push_back(std::move(ring));
            }
            page.Fill(std::move(rings), pen);
        };
        if (g->solid || g->gradient) {
            fillSolid();
            return;
        }
        bool unknown = false;
        const std::vector<db::HatchPatternLine> pattern =
            EffectivePattern(*g, db.header.measurement == 1, unknown);
        if (unknown) {
            Warn("The hatch pattern \"" + g->patternName +
                 "\" is neither stored in the drawing nor a standard pattern; its hatches are "
                 "drawn with ANSI31.");
            db::Hatch copy;
            copy.patternName = "ANSI31";
            copy.patternScale = g->patternScale;
            copy.patternAngle = g->patternAngle;
            bool dummy = false;
            const auto fallback = EffectivePattern(copy, db.header.measurement == 1, dummy);
            DrawPattern(fallback, m, pen, g, fillSolid);
            return;
        }
        DrawPattern(pattern, m, pen, g, fillSolid);
    }

    template <class FillSolid>
    void DrawPattern(const std::vector<db::HatchPatternLine>& pattern, const Transform& m,
                     const plotstyle::Pen& pen, const db::Hatch* g, FillSolid fillSolid) {
        if (pattern.empty()) {
            return;
        }
        if (!PatternSegments(pattern, loops, kMaxHatchSegments, segments)) {
            Warn("The hatch pattern \"" + g->patternName +
                 "\" is too dense for its area; such hatches are filled solid.");
            fillSolid();
            return;
        }
        const double z = g->elevation;
        for (const PatternSegment& s : segments) {
            run = {Map(m, {s.ax, s.ay, z}), Map(m, {s.bx, s.by, z})};
            const bool dot = s.ax == s.bx && s.ay == s.by;
            page.Stroke(run.data(), dot ? 1 : 2, false, pen);
        }
    }

    std::filesystem::path FindImage(const std::string& stored) {
        if (stored.empty()) {
            return {};
        }
        std::error_code ec;
        const std::filesystem::path folder = options.drawingFolder;
        const std::filesystem::path asStored = load::ResolveXrefPath(stored, folder);
        if (std::filesystem::is_regular_file(asStored, ec)) {
            return asStored;
        }
        // Beside the drawing, by its file name alone.
        std::string name = stored.substr(stored.find_last_of("/\\") + 1);
        if (!folder.empty() && !name.empty()) {
            const auto beside = folder / name;
            if (std::filesystem::is_regular_file(beside, ec)) {
                return beside;
            }
        }
        return {};
    }

    void DrawImage(const db::Entity& e, const Frame& f) {
        const auto* g = e.As<db::Image>();
        if (!g || !Finite(g->position) || !Finite(g->uVector) || !Finite(g->vVector)) {
            return;
        }
        const db::Database& d = *f.scope.db;
        const Vec3 w = g->uVector * g->pixelsU, h = g->vVector * g->pixelsV;
        const Resolved r = ctx.Resolve(e.props, f.scope);
        const plotstyle::Pen& pen = ctx.PenFor(r);
        if (page.Measuring()) {
            // The frame, as drawn when the image is missing; the image is not read.
            local = {g->position, g->position + w, g->position + w + h, g->position + h};
            StrokeLocal(f.toPaper, true, r, pen, LinetypeMm(e.props, f));
            return;
        }
        const std::string stored =
            g->imageDef < d.images.size() ? d.images[g->imageDef].fileName : std::string();
        QImage* img = nullptr;
        if (!stored.empty()) {
            auto it = images.find(stored);
            if (it == images.end()) {
                QImage loaded;
                const auto path = FindImage(stored);
                if (!path.empty()) {
                    QImageReader reader(QString::fromStdString(path.string()));
                    reader.setAutoTransform(false);
                    loaded = reader.read();
                }
                if (loaded.isNull()) {
                    Warn("The image \"" + stored +
                         "\" was not found beside the drawing or at its path; its frame is "
                         "drawn instead.");
                }
                it = images.emplace(stored, std::move(loaded)).first;
            }
            img = it->second.isNull() ? nullptr : &it->second;
        }
        // The clip boundary: pixel coordinates from the image's top-left corner.
        QPolygonF clip;
        if (g->clipping && g->clipBoundary.size() >= 2) {
            const Vec3 origin = g->position + g->uVector * 0.5 - g->vVector * 0.5;
            std::vector<Vec3> bp = g->clipBoundary;
            if (bp.size() == 2) {
                bp = {bp[0], {bp[1].x, bp[0].y, 0}, bp[1], {bp[0].x, bp[1].y, 0}};
            }
            for (const Vec3& p : bp) {
                clip.append(
                    Map(f.toPaper, origin + g->uVector * p.x + g->vVector * (g->pixelsV - p.y)));
            }
        }
        if (!clip.isEmpty()) {
            page.PushClip(clip);
        }
        if (img) {
            output::Image out;
            out.image = *img;
            out.origin = Map(f.toPaper, g->position);
            const Vec3 wp = f.toPaper.ApplyVector(w), hp = f.toPaper.ApplyVector(h);
            out.width = QPointF(wp.x, wp.y);
            out.height = QPointF(hp.x, hp.y);
            page.Picture(out);
        } else {
            local = {g->position, g->position + w, g->position + w + h, g->position + h};
            StrokeLocal(f.toPaper, true, r, pen, LinetypeMm(e.props, f));
        }
        if (!clip.isEmpty()) {
            page.PopClip();
        }
    }

    // Underlays: a PDF page drawn in place as an image at the plot's resolution, clipped by
    // the underlay's boundary. DWF and DGN underlays, and PDF pages that cannot be read,
    // show their frame: the clip boundary, or the page's edges when its size is known.
    void DrawUnderlay(const db::Entity& e, const Frame& f) {
        using U = db::Underlay;
        const auto* g = e.As<U>();
        if (!g || !Finite(g->position) || !Finite(g->scale) || !std::isfinite(g->rotation) ||
            !(g->flags & U::kOn)) {
            return;  // an underlay turned off shows nothing
        }
        const db::Database& d = *f.scope.db;
        const db::UnderlayDef* def =
            g->definition < d.underlays.size() ? &d.underlays[g->definition] : nullptr;
        const Transform m = OcsFrame(f, e.props.extrusion) * g->ToOcs();
        const std::vector<Vec3> clip = g->ClipPolygon();
        const bool pdf = g->format == U::Format::Pdf;
        std::filesystem::path path;
        underlay::PdfPages::Page sheet;
        if (!def || def->fileName.empty()) {
            sheet.error = "has no file";
        } else if (pdf) {
            path = FindImage(def->fileName);
            if (path.empty()) {
                sheet.error = "was not found beside the drawing or at its path";
            } else {
                sheet = pdfs.Open(path, def->pageName);
            }
        }
        // The page in underlay units: an inch is 72 of the page's points.
        const double wide = sheet.widthPt / 72, high = sheet.heightPt / 72;
        const bool clipped = (g->flags & U::kClipping) && !clip.empty();
        std::vector<Vec3> frame = clip;
        if (sheet.ok && (!clipped || (g->flags & U::kClipInside))) {
            frame = {{0, 0, 0}, {wide, 0, 0}, {wide, high, 0}, {0, high, 0}};
        }
        const Resolved r = ctx.Resolve(e.props, f.scope);
        const auto drawFrame = [&] {
            if (frame.empty()) {
                return NotDrawn(e);
            }
            local = frame;
            StrokeLocal(m, true, r, ctx.PenFor(r), LinetypeMm(e.props, f));
        };
        const std::string file = def && !def->fileName.empty() ? def->fileName : "(none)";
        if (!pdf) {
            const std::string kind = g->format == U::Format::Dwf ? "DWF" : "DGN";
            Warn("The " + kind + " underlay \"" + file + "\" is drawn as its frame: " + kind +
                 " files are not read.");
            return drawFrame();
        }
        if (!sheet.ok) {
            Warn("The PDF underlay \"" + file + "\" " + sheet.error +
                 "; its frame is drawn instead.");
            return drawFrame();
        }
        if (clipped && (g->flags & U::kClipInside)) {
            Warn("The PDF underlay \"" + file +
                 "\" hides what lies inside its clip boundary; it is drawn whole.");
        }
        QPolygonF framePaper;
        for (const Vec3& p : frame) {
            framePaper << Map(m, p);
        }
        if (page.Measuring()) {
            page.Stroke(framePaper, true, ctx.PenFor(r));  // the page covers its frame
            return;
        }
        if (!page.MayShow(output::BoundsOf(framePaper))) {
            return;
        }
        // The part of the page to draw: the frame's box on the page, cut to what can show.
        QRectF region = QPolygonF(framePaper).boundingRect();
        const QTransform toPaper = PlaneToPaper(m, 0);
        bool invertible = false;
        const QTransform back = toPaper.inverted(&invertible);
        const page::Rect vis = page.Visible();
        if (!invertible || !std::isfinite(back.m11())) {
            return;  // seen edge-on
        }
        region = back.mapRect(region.intersected(
                                  QRectF(QPointF(vis.xmin, vis.ymin), QPointF(vis.xmax, vis.ymax))))
                     .intersected(QRectF(0, 0, wide, high));
        if (region.isEmpty()) {
            return;
        }
        // Pixels per underlay unit for the plot's resolution, within the pixel budget.
        double perUnit =
            PlaneScale(m, {1, 0, 0}, {0, 1, 0}) / 25.4 * std::max(options.underlayDpi, 1.0);
        const double budgetPx = static_cast<double>(pdfs.Limits().maxPixels) * 0.98;
        const double pixels = region.width() * region.height() * perUnit * perUnit;
        if (!(pixels <= budgetPx) && pixels > 0) {
            perUnit *= std::sqrt(budgetPx / pixels);
        }
        QRectF part(region.left() * 72, (high - region.bottom()) * 72, region.width() * 72,
                    region.height() * 72);
        std::string error;
        QImage img = pdfs.Render(path, def->pageName, part, perUnit / 72, error);
        if (img.isNull()) {
            Warn("The PDF underlay \"" + file + "\" " + error + "; its frame is drawn instead.");
            return drawFrame();
        }
        UnderlayLook(img, (g->flags & U::kMonochrome) != 0, g->fade);
        output::Image out;
        out.image = std::move(img);
        const double left = part.left() / 72, bottom = high - part.bottom() / 72;
        out.origin = Map(m, {left, bottom, 0});
        const Vec3 w = m.ApplyVector({part.width() / 72, 0, 0});
        const Vec3 h = m.ApplyVector({0, part.height() / 72, 0});
        out.width = QPointF(w.x, w.y);
        out.height = QPointF(h.x, h.y);
        const bool push = clipped && !(g->flags & U::kClipInside);
        if (push) {
            page.PushClip(framePaper);
        }
        page.Picture(out);
        if (push) {
            page.PopClip();
        }
    }

    // An underlay's page shown in grey, and faded towards the paper by `fade` per cent.
    static void UnderlayLook(QImage& img, bool monochrome, int fade) {
        const int keep = 100 - std::clamp(fade, 0, 100);
        if (!monochrome && keep == 100) {
            return;
        }
        img = img.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < img.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x) {
                int c[3] = {qRed(row[x]), qGreen(row[x]), qBlue(row[x])};
                if (monochrome) {
                    c[0] = c[1] = c[2] = qGray(row[x]);
                }
                for (int& v : c) {
                    v = 255 - (255 - v) * keep / 100;
                }
                row[x] = qRgb(c[0], c[1], c[2]);
            }
        }
    }

    // ----------------------------------------------------------------------------------
    // Construction lines, multilines, wipeouts, multileaders

    // XLINE and RAY: the line through the base point along the direction, cut to the plot
    // area and the part of the page that can show (a viewport's box inside viewports).
    void DrawXLine(const db::Entity& e, const Frame& f, bool ray) {
        const auto* g = e.As<db::XLine>();
        if (!g || !Finite(g->base) || !Finite(g->direction) || page.Measuring()) {
            return;  // endless: measured, they have no extent
        }
        const QPointF p = Map(f.toPaper, g->base);
        const Vec3 dv = f.toPaper.ApplyVector(g->direction);
        const QPointF d(dv.x, dv.y);
        const double len = std::hypot(d.x(), d.y());
        if (!(len > 1e-12)) {
            return;  // seen end-on
        }
        page::Rect box = page.Visible();
        if (const page::Rect& a = options.plotArea; !a.IsEmpty()) {
            box = {std::max(box.xmin, a.xmin), std::max(box.ymin, a.ymin),
                   std::min(box.xmax, a.xmax), std::min(box.ymax, a.ymax)};
        }
        double t0 = ray ? 0.0 : -std::numeric_limits<double>::infinity();
        double t1 = std::numeric_limits<double>::infinity();
        if (!ClipParametric(p, d, box, t0, t1)) {
            return;
        }
        const Resolved r = ctx.Resolve(e.props, f.scope);
        paper = {p + d * t0, p + d * t1};
        StrokePaper(false, r, ctx.PenFor(r), LinetypeMm(e.props, f), nullptr);
    }

    // Cuts the line p + t·d to `box` (Liang–Barsky); false when nothing is left.
    static bool ClipParametric(QPointF p, QPointF d, const page::Rect& box, double& t0,
                               double& t1) {
        const double q[4][2] = {{-d.x(), p.x() - box.xmin},
                                {d.x(), box.xmax - p.x()},
                                {-d.y(), p.y() - box.ymin},
                                {d.y(), box.ymax - p.y()}};
        for (const auto& [den, num] : q) {
            if (den == 0) {
                if (num < 0) {
                    return false;
                }
                continue;
            }
            const double t = num / den;
            if (den < 0) {
                t0 = std::max(t0, t);
            } else {
                t1 = std::min(t1, t);
            }
        }
        return t0 < t1 && std::isfinite(t0) && std::isfinite(t1);
    }

    // MLINE: each element of the style as a polyline through its points at the vertices,
    // in the element's colour and linetype, broken where the element's parameters say; the
    // style's fill, square caps and round caps (outer and inner arcs).
    void DrawMLine(const db::Entity& e, const Frame& f) {
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
            QPolygonF area;
            for (const Vec3& p : points[top]) {
                area << Map(f.toPaper, p);
            }
            for (auto it = points[bottom].rbegin(); it != points[bottom].rend(); ++it) {
                area << Map(f.toPaper, *it);
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
                whole =
                    whole && pieces.size() == 1 && pieces[0].first <= 0 && pieces[0].second >= len;
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

    // The pieces of one element along a segment `len` long, as distances from its start:
    // the element's parameters after its offset are where it starts, breaks, starts again,
    // ...; a last start runs to the segment's end. Without them the whole segment.
    static std::vector<std::pair<double, double>> MLinePieces(const std::vector<double>& params,
                                                              double len) {
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

    // WIPEOUT: its boundary filled with the paper's colour, so that what was drawn before
    // it is hidden (whatever the plot style says), and framed when the drawing says so.
    void DrawWipeout(const db::Entity& e, const Frame& f) {
        const auto* g = e.As<db::Image>();
        if (!g || !Finite(g->position) || !Finite(g->uVector) || !Finite(g->vVector)) {
            return;
        }
        std::vector<Vec3> bp = g->clipBoundary;
        if (bp.size() == 2) {
            bp = {bp[0], {bp[1].x, bp[0].y, 0}, bp[1], {bp[0].x, bp[1].y, 0}};
        }
        QPolygonF area;
        if (bp.size() >= 3) {
            // Pixel coordinates from the top-left corner, as an image's clip boundary.
            const Vec3 origin = g->position + g->uVector * 0.5 - g->vVector * 0.5;
            for (const Vec3& p : bp) {
                area << Map(f.toPaper, origin + g->uVector * p.x + g->vVector * (g->pixelsV - p.y));
            }
        } else {
            const Vec3 w = g->uVector * g->pixelsU, h = g->vVector * g->pixelsV;
            area << Map(f.toPaper, g->position) << Map(f.toPaper, g->position + w)
                 << Map(f.toPaper, g->position + w + h) << Map(f.toPaper, g->position + h);
        }
        plotstyle::Pen mask;
        mask.color = plotstyle::kWhite;
        page.Fill({area}, mask);
        if (f.scope.db->header.wipeoutFrame == 1) {  // frames shown and plotted
            const Resolved r = ctx.Resolve(e.props, f.scope);
            page.Stroke(area, true, ctx.PenFor(r));
        }
    }

    // MULTILEADER: its leader lines (to the landing, then the dogleg), a filled arrowhead
    // at each line's start, and its text or block.
    void DrawMLeader(const db::Entity& e, const Frame& f) {
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

    // A closed filled arrowhead of length `size` at v[0], pointing away from v[1].
    void DrawArrowhead(const std::vector<Vec3>& v, double size, const Frame& f,
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
        QPolygonF arrow;
        arrow << Map(f.toPaper, tip) << Map(f.toPaper, back + side) << Map(f.toPaper, back - side);
        page.Fill({arrow}, pen);
    }

    // ----------------------------------------------------------------------------------
    // Viewports

    const db::Entity* FindInLayout(db::Handle h) {
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

    // The outline of a closed entity that clips a viewport (paper-space coordinates).
    bool ClipOutline(const db::Entity& e, std::vector<Vec3>& out) {
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
                AppendBulge(out, {a.x, a.y, p->elevation}, {b.x, b.y, p->elevation}, a.bulge, mm,
                            ct);
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

    void DrawViewport(const db::Entity& e, const Frame& f) {
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
        QPolygonF clip;
        for (const Vec3& p : outline) {
            clip.append(Map(f.toPaper, p));
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
        page::Rect box = output::BoundsOf(clip);
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
};

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
