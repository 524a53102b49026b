// The frontend's internals: the state of one drawing pass and the members that turn each
// family of entities into primitives, defined in the Frontend*.cpp files named below.
// Internal to the frontend.
#pragma once

#include <QImage>
#include <QTransform>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/db/Database.h"
#include "engine/fonts/FontResolver.h"
#include "engine/geom/Curves.h"
#include "engine/geom/Polygon.h"
#include "engine/geom/Transform.h"
#include "engine/output/PageSink.h"
#include "engine/output/QtGeometry.h"
#include "engine/page/PageGeometry.h"
#include "engine/render/Dashes.h"
#include "engine/render/Frontend.h"
#include "engine/render/Hatching.h"
#include "engine/render/PageWriter.h"
#include "engine/render/Render.h"
#include "engine/render/RenderContext.h"
#include "engine/render/TextLayout.h"
#include "engine/underlay/PdfPages.h"

namespace vx::engine::render {

using db::Transform;
using db::Vec3;
using geom::AppendBulge;
using geom::AppendEllipse;
using geom::AppendFitSpline;
using geom::AppendSpline;
using geom::ArcSegments;
using geom::BulgeArc;
using geom::BulgeGeometry;
using geom::EvaluateSpline;
using geom::FromAffine;
using geom::Polygon;
using geom::RotationZ;
using geom::Scaling;
using geom::SplineData;
using geom::Translation;
using geom::Transposed;
using geom::ValidSpline;
using geom::Vec2;
using output::FromQt;

inline constexpr double kPi = std::numbers::pi;
inline constexpr double kDeg = kPi / 180.0;
// Block references nested deeper than this are not drawn (this also ends reference cycles).
inline constexpr int kMaxDepth = 32;
// Pattern pieces a single hatch may have before it is filled solid instead.
inline constexpr std::size_t kMaxHatchSegments = 400000;
// Culling boxes of blocks grow by this share of their size: their text is only estimated.
inline constexpr double kCullMargin = 0.1;
// Measuring, the chords of a curve may stray from it by this share of the curve's size;
// the measured box grows by as much, so it holds the whole curve.
inline constexpr double kMeasureTolerance = 1e-3;

inline Vec2 Map(const Transform& m, Vec3 p) {
    return {m.m[0][0] * p.x + m.m[0][1] * p.y + m.m[0][2] * p.z + m.t.x,
            m.m[1][0] * p.x + m.m[1][1] * p.y + m.m[1][2] * p.z + m.t.y};
}

// How many paper millimetres a unit along the plane spanned by ax, ay becomes, at most.
inline double PlaneScale(const Transform& m, Vec3 ax, Vec3 ay) {
    const Vec3 u = m.ApplyVector(ax), v = m.ApplyVector(ay);
    return std::max(std::hypot(u.x, u.y), std::hypot(v.x, v.y));
}

// The mean scale of the plane (the root of the area factor), for linetypes and widths.
inline double AreaScale(const Transform& m, Vec3 ax, Vec3 ay) {
    const Vec3 u = m.ApplyVector(ax), v = m.ApplyVector(ay);
    return std::sqrt(std::abs(u.x * v.y - u.y * v.x));
}

// The 2D map of the plane z = `z` of `m`'s source into paper coordinates.
inline QTransform PlaneToPaper(const Transform& m, double z) {
    return QTransform(m.m[0][0], m.m[1][0], m.m[0][1], m.m[1][1], m.m[0][2] * z + m.t.x,
                      m.m[1][2] * z + m.t.y);
}

inline bool Finite(Vec3 p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// The diagonal of the box of `points` (0 for none).
inline double Span(const std::vector<Vec3>& points) {
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
inline double HatchSpan(const db::Hatch& h) {
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

inline double NormalizedSweep(double start, double end) {
    double s = std::fmod(end - start, 2 * kPi);
    if (s <= 1e-12) {
        s += 2 * kPi;
    }
    return s;
}

inline page::Rect PaperBox(const Transform& m, const db::Box3& b) {
    page::Rect r = page::Rect::Empty();
    if (b.Empty()) {
        return r;
    }
    for (int i = 0; i < 8; ++i) {
        const Vec3 p{(i & 1) ? b.max.x : b.min.x, (i & 2) ? b.max.y : b.min.y,
                     (i & 4) ? b.max.z : b.min.z};
        r.Include(Map(m, p));
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

struct Frontend::Impl {
    // --- state, linetypes, layouts, blocks and entities (Frontend.cpp) -------------------
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
    std::vector<Vec2> paper;
    std::vector<Vec2> run;
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

    void Warn(const std::string& text);
    void NotDrawn(const db::Entity& e) { ++report.notDrawn[std::string(e.TypeName())]; }

    // The chord tolerance for a curve `sizeMm` across on the paper: the plot's, or when
    // measuring a share of the curve's size, by which what the entity draws is widened.
    double CurveTol(double sizeMm);
    const DashPattern& PatternFor(const db::Linetype* lt, double mmPerUnit);
    double LinetypeMm(const db::EntityProps& props, const Frame& f) const;

    // Strokes one run of paper points, dashed by the pattern when there is one; the texts
    // of a complex linetype go where their elements begin.
    void StrokeDashed(const Vec2* pts, std::size_t n, bool closed, const plotstyle::Pen& pen,
                      const DashPattern* pattern, const Resolved* r = nullptr);

    // Texts of a complex linetype at the marks of the last cut: turned with the line (or
    // absolute), moved by their offsets along and across it, all scaled with the pattern.
    // Shapes would need the linetype's shape file; they are left out and reported.
    void DrawLinetypeMarks(const db::Linetype& lt, const DashPattern& pattern, const Resolved& r);

    // Maps `local` through `m` and strokes it with the entity's linetype; `breaks` (vertex
    // indices into `local`) restart the pattern at each polyline vertex.
    void StrokeLocal(const Transform& m, bool closed, const Resolved& r, const plotstyle::Pen& pen,
                     double ltMm, const std::vector<std::uint32_t>* vertexBreaks = nullptr);
    void StrokePaper(bool closed, const Resolved& r, const plotstyle::Pen& pen, double ltMm,
                     const std::vector<std::uint32_t>* vertexBreaks);
    void DrawLayout(std::uint32_t layoutIndex, const page::Affine& drawingToPaper);

    bool paperSpace = false;
    const db::Database* entityDb = nullptr;  // of the entity being drawn
    const db::Block* layoutBlock = nullptr;
    const std::vector<db::Box3>* modelBoxes = nullptr;
    std::vector<db::Box3> modelBoxStore;
    bool cullModel = false;

    void DrawBlock(const db::Block& block, const Frame& f);
    void DrawEntity(const db::Entity& e, const Frame& f, const db::Block* owner);
    void Draw(const db::Entity& e, const Frame& f, const db::Block* owner, Visibility vis);

    // A custom object shows the picture it carries (a block of world geometry) as a
    // reference to that block; without one it is not drawn.
    void DrawUnknown(const db::Entity& e, const Frame& f, Visibility vis);
    Transform OcsFrame(const Frame& f, Vec3 extrusion) const;

    // --- Lines, points and curves (FrontendCurves.cpp) -----------------------------------
    void DrawLine(const db::Entity& e, const Frame& f);
    void DrawPoint(const db::Entity& e, const Frame& f);
    void DrawArc(const db::Entity& e, const Frame& f);
    void DrawEllipse(const db::Entity& e, const Frame& f);
    void DrawSpline(const db::Entity& e, const Frame& f);

    // --- Polylines and meshes (FrontendPolylines.cpp) ------------------------------------
    // Draws a 2D polyline in its OCS: bulges, widths, the linetype per segment.
    void DrawPlanePolyline(const std::vector<PVertex>& v, bool closed, double z, bool plinegen,
                           const db::EntityProps& props, const Frame& f);

    std::vector<PVertex> pverts;

    void DrawLwPolyline(const db::Entity& e, const Frame& f);
    void DrawPolyline(const db::Entity& e, const Frame& f);

    // A subdivision mesh as its level-0 wire: each edge of its faces once.
    void DrawMesh(const db::Entity& e, const Frame& f);

    // --- Text and attributes (FrontendText.cpp) ------------------------------------------
    const fonts::ResolvedFont* FontFor(const db::Database& d, db::StyleId style);

    // Draws the laid-out `text` whose plane maps to paper by `toPaper`.
    void EmitText(const QTransform& toPaper, const Resolved& r, const BlockScope& scope);
    void DrawText(const db::Text& t, const db::EntityProps& props, const Frame& f);

    // `frameGap`: also a frame around the text's ink, this far from it (a multileader's).
    void DrawMText(const db::MText& t, const db::EntityProps& props, const Frame& f,
                   std::optional<double> frameGap = std::nullopt);
    void DrawAttribute(const db::Attribute& a, const db::EntityProps& props, const Frame& f,
                       bool tag);
    void DrawAttdef(const db::Entity& e, const Frame& f, const db::Block* owner);

    // --- Dimensions and leaders (FrontendDimensions.cpp) ---------------------------------
    void DrawDimension(const db::Entity& e, const Frame& f);
    void DrawLeader(const db::Entity& e, const Frame& f);

    // --- Solids, hatches, images and underlays (FrontendFills.cpp) -----------------------
    void DrawSolid(const db::Entity& e, const Frame& f);
    void Draw3dFace(const db::Entity& e, const Frame& f);
    void DrawHatch(const db::Entity& e, const Frame& f);
    template <class FillSolid>
    void DrawPattern(const std::vector<db::HatchPatternLine>& pattern, const Transform& m,
                     const plotstyle::Pen& pen, const db::Hatch* g, FillSolid fillSolid);
    std::filesystem::path FindImage(const std::string& stored);
    void DrawImage(const db::Entity& e, const Frame& f);

    // Underlays: a PDF page drawn in place as an image at the plot's resolution, clipped by
    // the underlay's boundary (or with what lies inside it cleared when the boundary hides
    // its inside), in the underlay's colours. DWF and DGN underlays, and PDF pages that cannot be
    // read, show their frame: the clip boundary, or the page's edges when its size is known.
    void DrawUnderlay(const db::Entity& e, const Frame& f);

    // --- Block references and viewports (FrontendBlocks.cpp) -----------------------------
    const db::Box3& BlockBox(const db::Database& d, const db::Block& b);

    // Draws `block` of database `d` under `toBlock` (block coordinates -> parent frame).
    void DrawBlockRef(const db::Database& d, const db::Block& block, const Transform& toParent,
                      double ltFactor, const BlockScope& scope, const Frame& f);
    void DrawInsert(const db::Entity& e, const Frame& f, Visibility vis);
    const db::Entity* FindInLayout(db::Handle h);

    // The outline of a closed entity that clips a viewport (paper-space coordinates).
    bool ClipOutline(const db::Entity& e, std::vector<Vec3>& out);
    void DrawViewport(const db::Entity& e, const Frame& f);

    // --- Tolerances, XLINE and RAY, MLINE, WIPEOUT, MULTILEADER (FrontendAnnotations.cpp) ---
    // A feature-control frame: each row of boxes below the previous one, each box as wide
    // as its text with the dimension gap on either side and as high as the text and two
    // gaps, the text in the middle.
    void DrawTolerance(const db::Entity& e, const Frame& f);

    // XLINE and RAY: the line through the base point along the direction, cut to the plot
    // area and the part of the page that can show (a viewport's box inside viewports).
    void DrawXLine(const db::Entity& e, const Frame& f, bool ray);

    // MLINE: each element of the style as a polyline through its points at the vertices,
    // in the element's colour and linetype, broken where the element's parameters say; the
    // style's fill, square caps and round caps (outer and inner arcs).
    void DrawMLine(const db::Entity& e, const Frame& f);

    // The pieces of one element along a segment `len` long, as distances from its start:
    // the element's parameters after its offset are where it starts, breaks, starts again,
    // ...; a last start runs to the segment's end. Without them the whole segment.
    static std::vector<std::pair<double, double>> MLinePieces(const std::vector<double>& params,
                                                              double len);

    // WIPEOUT: its boundary filled with the paper's colour, so that what was drawn before
    // it is hidden (whatever the plot style says), and framed when the drawing says so.
    void DrawWipeout(const db::Entity& e, const Frame& f);

    // MULTILEADER: its leader lines (to the landing, then the dogleg), a filled arrowhead
    // at each line's start, and its text or block.
    void DrawMLeader(const db::Entity& e, const Frame& f);

    // A closed filled arrowhead of length `size` at v[0], pointing away from v[1].
    void DrawArrowhead(const std::vector<Vec3>& v, double size, const Frame& f,
                       const plotstyle::Pen& pen);
};

// Small members every family calls for each entity, kept inline.

inline void Frontend::Impl::Warn(const std::string& text) {
    if (warned.insert(text).second) {
        report.warnings.push_back(text);
    }
}

inline double Frontend::Impl::CurveTol(double sizeMm) {
    if (!page.Measuring()) {
        return tol;
    }
    const double t = std::isfinite(sizeMm) && sizeMm > 0 ? sizeMm * kMeasureTolerance : 0;
    page.SetSlack(std::max(page.Slack(), t));
    return t;
}

inline const DashPattern& Frontend::Impl::PatternFor(const db::Linetype* lt, double mmPerUnit) {
    const PatternKey key{lt, mmPerUnit};
    auto it = patterns.find(key);
    if (it == patterns.end()) {
        it = patterns.emplace(key, ScaledPattern(lt, mmPerUnit)).first;
    }
    return it->second;
}

inline double Frontend::Impl::LinetypeMm(const db::EntityProps& props, const Frame& f) const {
    const double lts =
        std::isfinite(db.header.ltScale) && db.header.ltScale > 0 ? db.header.ltScale : 1.0;
    const double own =
        std::isfinite(props.linetypeScale) && props.linetypeScale > 0 ? props.linetypeScale : 1.0;
    return lts * own * f.ltMmPerUnit;
}

inline Transform Frontend::Impl::OcsFrame(const Frame& f, Vec3 extrusion) const {
    if (db::IsDefaultExtrusion(extrusion) || !Finite(extrusion) || db::Length(extrusion) == 0) {
        return f.toPaper;
    }
    return f.toPaper * db::OcsToWorld(extrusion);
}

}  // namespace vx::engine::render
