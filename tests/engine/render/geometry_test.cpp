// The frontend's geometry: curves tessellated to the tolerance on paper, OCS entities,
// polylines with bulges and widths, filled shapes, block references with their arrays,
// splines by control and fit points, point display modes, construction lines, tables,
// multilines and multileaders.
#include <gtest/gtest.h>

#include <numbers>

#include "RenderTools.h"
#include "engine/db/Extents.h"
#include "engine/render/Curves.h"

using namespace vx::engine;
using vx::testing::Drawing;
using vx::testing::Near;
using vx::testing::Props;
using vx::testing::RecordingSink;
using vx::testing::Render;

namespace {

constexpr double kPi = std::numbers::pi;

double Dist(QPointF a, QPointF b) {
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

// The largest distance of any chord's middle from a circle (centre c, radius r).
double ChordError(const QPolygonF& pts, bool closed, QPointF c, double r) {
    double worst = 0;
    const qsizetype n = pts.size();
    for (qsizetype i = 0; i + (closed ? 0 : 1) < n; ++i) {
        const QPointF m = (pts[i] + pts[(i + 1) % n]) / 2;
        worst = std::max(worst, std::abs(Dist(m, c) - r));
    }
    return worst;
}

}  // namespace

TEST(Curves, CirclesKeepToTheToleranceAtAnyPlottedSize) {
    Drawing w;
    w.Add(w.model, db::EntityType::Circle, db::Circle{{100, 100, 0}, 80, 0});
    for (double tol : {0.01, 0.1}) {
        render::RenderOptions o;
        o.curveTolerance = tol;
        RecordingSink sink;
        Render(w.d, sink, 0, o);
        ASSERT_EQ(sink.strokes.size(), 1u);
        const auto& s = sink.strokes[0];
        EXPECT_TRUE(s.closed);
        for (QPointF p : s.points) {
            EXPECT_NEAR(Dist(p, {100, 100}), 80, 1e-9);
        }
        EXPECT_LE(ChordError(s.points, true, {100, 100}, 80), tol);
        EXPECT_GT(ChordError(s.points, true, {100, 100}, 80), tol / 4);  // not wastefully fine
    }
    // Plotted at a tenth of the size, the same circle needs fewer points.
    RecordingSink big, small;
    Render(w.d, big);
    Render(w.d, small, 0, {}, page::Affine::Scaling(0.1, 0.1));
    EXPECT_LT(small.strokes[0].points.size() * 2, big.strokes[0].points.size());
}

TEST(Curves, ArcsRunCounterClockwiseInTheirPlane) {
    Drawing w;
    w.Add(w.model, db::EntityType::Arc, db::Arc{{50, 50, 0}, 20, 0, 90, 0});
    w.Add(w.model, db::EntityType::Arc, db::Arc{{50, 50, 0}, 10, 270, 0, 0});  // across 0
    // Extrusion (0,0,-1): the plane seen from below, x mirrored.
    auto& mirrored = w.Add(w.model, db::EntityType::Arc, db::Arc{{10, 0, 0}, 5, 0, 90, 0});
    mirrored.props.extrusion = {0, 0, -1};
    RecordingSink sink;
    Render(w.d, sink, 0, {}, page::Affine::Translation(100, 100));
    ASSERT_EQ(sink.strokes.size(), 3u);
    EXPECT_TRUE(Near(sink.strokes[0].points.front(), {170, 150}));
    EXPECT_TRUE(Near(sink.strokes[0].points.back(), {150, 170}));
    EXPECT_TRUE(Near(sink.strokes[1].points.front(), {150, 140}));
    EXPECT_TRUE(Near(sink.strokes[1].points.back(), {160, 150}));
    EXPECT_LT(ChordError(sink.strokes[1].points, false, {150, 150}, 10), 0.01);
    EXPECT_TRUE(Near(sink.strokes[2].points.front(), {85, 100}));
    EXPECT_TRUE(Near(sink.strokes[2].points.back(), {90, 105}));
}

TEST(Curves, EllipticalArcsFromStartToEndParameter) {
    Drawing w;
    db::Ellipse e;
    e.center = {100, 100, 0};
    e.majorAxis = {0, 40, 0};  // major axis up
    e.ratio = 0.5;
    e.startParam = 0;
    e.endParam = kPi / 2;
    w.Add(w.model, db::EntityType::Ellipse, e);
    RecordingSink sink;
    Render(w.d, sink);
    ASSERT_EQ(sink.strokes.size(), 1u);
    EXPECT_TRUE(Near(sink.strokes[0].points.front(), {100, 140}));
    EXPECT_TRUE(Near(sink.strokes[0].points.back(), {80, 100}));  // minor axis to the left
    EXPECT_FALSE(sink.strokes[0].closed);
}

TEST(Curves, SplinesByControlPointsAndByFitPoints) {
    // A quadratic Bezier as a NURBS: p(0.5) = (p0 + 2 p1 + p2) / 4.
    const std::vector<double> knots{0, 0, 0, 1, 1, 1};
    const std::vector<db::Vec3> ctrl{{0, 0, 0}, {10, 20, 0}, {20, 0, 0}};
    const render::SplineData s{2, &knots, &ctrl, nullptr};
    ASSERT_TRUE(render::ValidSpline(s));
    const auto mid = render::EvaluateSpline(s, 0.5);
    EXPECT_NEAR(mid.x, 10, 1e-12);
    EXPECT_NEAR(mid.y, 10, 1e-12);
    // Weights pull the curve: a rational quadratic with w1 = sqrt(2)/2 is a circular arc.
    const std::vector<double> w{1, std::sqrt(0.5), 1};
    const std::vector<db::Vec3> quarter{{10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
    const render::SplineData arc{2, &knots, &quarter, &w};
    for (double u : {0.1, 0.3, 0.5, 0.8}) {
        const auto p = render::EvaluateSpline(arc, u);
        EXPECT_NEAR(std::hypot(p.x, p.y), 10, 1e-9);
    }
    std::vector<double> bad{0, 0, 1, 1};  // too few knots
    EXPECT_FALSE(render::ValidSpline({2, &bad, &ctrl, nullptr}));

    Drawing d;
    db::Spline sp;
    sp.degree = 2;
    sp.knots = knots;
    sp.controlPoints = ctrl;
    d.Add(d.model, db::EntityType::Spline, sp);
    db::Spline fit;
    fit.fitPoints = {{0, 100, 0}, {30, 130, 0}, {60, 100, 0}, {90, 130, 0}};
    d.Add(d.model, db::EntityType::Spline, fit);
    RecordingSink sink;
    Render(d.d, sink);
    ASSERT_EQ(sink.strokes.size(), 2u);
    const auto& a = sink.strokes[0].points;
    EXPECT_TRUE(Near(a.front(), {0, 0}));
    EXPECT_TRUE(Near(a.back(), {20, 0}));
    EXPECT_TRUE(std::any_of(a.begin(), a.end(), [](QPointF p) { return Near(p, {10, 10}, 1e-9); }));
    // The fitted curve passes through every fit point and is smooth, not a polygon.
    const auto& b = sink.strokes[1].points;
    for (const auto& p : fit.fitPoints) {
        EXPECT_TRUE(std::any_of(b.begin(), b.end(), [&](QPointF q) {
            return Near(q, {p.x, p.y}, 1e-9);
        }));
    }
    EXPECT_GT(b.size(), 20);
    const double top = std::max_element(b.begin(), b.end(), [](QPointF x, QPointF y) {
                           return x.y() < y.y();
                       })->y();
    EXPECT_GT(top, 130.0);  // overshoots the fit points a little, as a smooth curve does
}

TEST(Polylines, BulgesWidthsAndElevation) {
    Drawing w;
    db::LwPolyline semi;
    semi.vertices = {{0, 0, 0, 0, 1}, {20, 0, 0, 0, 0}};  // bulge 1: a half circle
    w.Add(w.model, db::EntityType::LwPolyline, semi);
    RecordingSink sink;
    Render(w.d, sink, 0, {}, page::Affine::Translation(100, 100));
    ASSERT_EQ(sink.strokes.size(), 1u);
    const auto& pts = sink.strokes[0].points;
    EXPECT_TRUE(Near(pts.front(), {100, 100}));
    EXPECT_TRUE(Near(pts.back(), {120, 100}));
    // Counter-clockwise from (0,0) to (20,0): below the chord, through (10,-10).
    EXPECT_TRUE(std::any_of(pts.begin(), pts.end(), [](QPointF p) {
        return Near(p, {110, 90}, 1e-9);
    }));
    EXPECT_LT(ChordError(pts, false, {110, 100}, 10), 0.011);

    // One width throughout: a wide stroke with square-cut ends; tapering: filled outlines.
    Drawing v;
    db::LwPolyline wide;
    wide.vertices = {{0, 0}, {50, 0}, {50, 50}};
    wide.constantWidth = 2;
    v.Add(v.model, db::EntityType::LwPolyline, wide);
    db::LwPolyline arrow;
    arrow.vertices = {{0, 100, 4, 0, 0}, {30, 100, 0, 0, 0}};
    v.Add(v.model, db::EntityType::LwPolyline, arrow);
    RecordingSink s2;
    Render(v.d, s2);
    ASSERT_EQ(s2.strokes.size(), 1u);
    EXPECT_DOUBLE_EQ(s2.strokes[0].pen.lineweight, 2.0);
    EXPECT_EQ(s2.strokes[0].pen.cap, plotstyle::LineCap::Butt);
    ASSERT_EQ(s2.fills.size(), 1u);
    const auto box = output::BoundsOf(s2.fills[0].rings[0]);
    EXPECT_NEAR(box.ymin, 98, 1e-9);
    EXPECT_NEAR(box.ymax, 102, 1e-9);
    EXPECT_NEAR(box.xmax, 30, 1e-9);
}

TEST(Polylines, OldStylePolylinesMeshesAndFaces) {
    Drawing w;
    db::Polyline p2;
    p2.flags = db::Polyline::kClosed;
    p2.elevation = 0;
    for (auto [x, y] : {std::pair{0.0, 0.0}, {10.0, 0.0}, {10.0, 10.0}}) {
        db::PolyVertex v;
        v.position = {x, y, 0};
        p2.vertices.push_back(v);
    }
    w.Add(w.model, db::EntityType::Polyline, p2);
    // A 2 x 3 mesh: 2 runs of 3 and 3 runs of 2.
    db::Polyline mesh;
    mesh.flags = db::Polyline::kPolygonMesh;
    mesh.meshM = 2;
    mesh.meshN = 3;
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 3; ++j) {
            db::PolyVertex v;
            v.position = {100.0 + j * 10, 100.0 + i * 10, 0};
            v.flags = 64;
            mesh.vertices.push_back(v);
        }
    }
    w.Add(w.model, db::EntityType::Polyline, mesh);
    // A 3DFACE with its second edge hidden.
    db::Face face;
    face.corners[0] = {0, 50, 0};
    face.corners[1] = {10, 50, 0};
    face.corners[2] = {10, 60, 0};
    face.corners[3] = {0, 60, 0};
    face.invisibleEdges = 2;
    w.Add(w.model, db::EntityType::Face3d, face);
    RecordingSink sink;
    Render(w.d, sink);
    ASSERT_EQ(sink.strokes.size(), 1u + 5u + 3u);
    EXPECT_TRUE(sink.strokes[0].closed);
    EXPECT_EQ(sink.strokes[0].points.size(), 3);
    EXPECT_EQ(sink.strokes[1].points.size(), 3);
    EXPECT_EQ(sink.strokes[3].points.size(), 2);
}

TEST(FilledShapes, SolidsFillInTheirCornerOrder) {
    Drawing w;
    db::Face solid;
    solid.corners[0] = {0, 0, 0};
    solid.corners[1] = {10, 0, 0};
    solid.corners[2] = {0, 10, 0};
    solid.corners[3] = {10, 10, 0};
    w.Add(w.model, db::EntityType::Solid, solid, Props(0, db::Color::FromIndex(1)));
    RecordingSink sink;
    const auto report = Render(w.d, sink);
    ASSERT_EQ(sink.fills.size(), 1u);
    const QPolygonF& ring = sink.fills[0].rings[0];
    ASSERT_EQ(ring.size(), 4);
    // 1-2-4-3 makes a square, not a bow tie.
    EXPECT_TRUE(Near(ring[2], {10, 10}));
    EXPECT_TRUE(Near(ring[3], {0, 10}));
    EXPECT_EQ(sink.fills[0].pen.color, (plotstyle::Rgb{255, 0, 0}));
    EXPECT_EQ(report.visible, 1);
}

TEST(BlockReferences, PlacedByBasePointScaleRotationAndArrays) {
    Drawing w;
    const auto b = w.Block("B", {5, 0, 0});
    w.AddLine(b, {0, 0, 0}, {10, 0, 0});
    w.AddInsert(w.model, b, {100, 50, 0}, Props(), {2, 2, 1}, 90);
    RecordingSink sink;
    Render(w.d, sink);
    ASSERT_EQ(sink.strokes.size(), 1u);
    EXPECT_TRUE(Near(sink.strokes[0].points[0], {100, 40}));
    EXPECT_TRUE(Near(sink.strokes[0].points[1], {100, 60}));

    // An array of 3 columns and 2 rows, 20 and 30 apart along the rotated axes.
    Drawing a;
    const auto c = a.Block("C");
    a.AddLine(c, {0, 0, 0}, {1, 0, 0});
    auto& ins = a.AddInsert(a.model, c, {100, 100, 0}, Props(), {1, 1, 1}, 90);
    ins.As<db::Insert>()->columns = 3;
    ins.As<db::Insert>()->rows = 2;
    ins.As<db::Insert>()->columnSpacing = 20;
    ins.As<db::Insert>()->rowSpacing = 30;
    RecordingSink s2;
    const auto report = Render(a.d, s2);
    ASSERT_EQ(s2.strokes.size(), 6u);
    EXPECT_TRUE(Near(s2.strokes[2].points[0], {100, 140}));  // third column: 40 up
    EXPECT_TRUE(Near(s2.strokes[5].points[0], {70, 140}));   // second row: 30 to the left
    EXPECT_EQ(report.entities, 7);
}

TEST(BlockReferences, ReferenceCyclesEndAtTheDepthLimit) {
    Drawing w;
    const auto a = w.Block("A");
    const auto b = w.Block("B");
    w.AddLine(a, {0, 0, 0}, {1, 0, 0});
    w.AddInsert(a, b, {0, 0, 0});
    w.AddInsert(b, a, {0, 0, 0});
    w.AddInsert(w.model, a, {0, 0, 0});
    RecordingSink sink;
    const auto report = Render(w.d, sink);
    EXPECT_FALSE(sink.strokes.empty());
    ASSERT_FALSE(report.warnings.empty());
    EXPECT_NE(report.warnings[0].find("nested deeper"), std::string::npos);
}

TEST(Culling, ReferencesOffThePageAreNotVisited) {
    Drawing w;
    const auto b = w.Block("B");
    for (int i = 0; i < 50; ++i) {
        w.AddLine(b, {0, double(i), 0}, {10, double(i), 0});
    }
    w.AddInsert(w.model, b, {5000, 5000, 0});
    w.AddInsert(w.model, b, {10, 10, 0});
    RecordingSink sink;
    const auto report = Render(w.d, sink);
    EXPECT_EQ(sink.strokes.size(), 50u);
    EXPECT_EQ(report.entities, 2 + 50);
}

TEST(Points, DisplayModeAndSize) {
    Drawing w;
    w.Add(w.model, db::EntityType::Point, db::Point{{50, 50, 0}, 0, 0});
    {
        RecordingSink sink;
        Render(w.d, sink);
        ASSERT_EQ(sink.strokes.size(), 1u);
        EXPECT_EQ(sink.strokes[0].points.size(), 1);  // a dot
    }
    w.d.header.pdMode = 3 | 32;  // a cross in a circle
    w.d.header.pdSize = 4;
    RecordingSink sink;
    Render(w.d, sink);
    ASSERT_EQ(sink.strokes.size(), 3u);
    EXPECT_TRUE(Near(sink.strokes[0].points[0], {48, 48}));
    const auto box = output::BoundsOf(sink.strokes[2].points);
    EXPECT_NEAR(box.Width(), 4, 1e-9);
    w.d.header.pdMode = 1;  // nothing at all
    RecordingSink none;
    Render(w.d, none);
    EXPECT_TRUE(none.strokes.empty());
}

TEST(Leaders, PathAndFilledArrowhead) {
    Drawing w;
    db::Leader l;
    l.vertices = {{0, 0, 0}, {20, 0, 0}, {30, 10, 0}};
    w.d.header.measurement = 1;
    w.d.header.dimAsz = 3;
    w.Add(w.model, db::EntityType::Leader, l);
    RecordingSink sink;
    Render(w.d, sink, 0, {}, page::Affine::Translation(50, 50));
    ASSERT_EQ(sink.strokes.size(), 1u);
    EXPECT_EQ(sink.strokes[0].points.size(), 3);
    ASSERT_EQ(sink.fills.size(), 1u);
    const auto box = output::BoundsOf(sink.fills[0].rings[0]);
    EXPECT_NEAR(box.xmin, 50, 1e-9);  // the tip at the first vertex
    EXPECT_NEAR(box.xmax, 53, 1e-9);  // 3 long
    EXPECT_NEAR(box.Height(), 1, 1e-9);
}

// Construction lines reach across the visible page and no further: a ray from its base
// point, an XLINE both ways. Zooming to the extents leaves them out.
TEST(ConstructionLines, CutToTheVisiblePageAndLeftOutOfTheExtents) {
    Drawing w;
    w.AddLine(w.model, {10, 10, 0}, {20, 30, 0});
    w.Add(w.model, db::EntityType::XLine, db::XLine{{100, 100, 0}, {1, 1, 0}});
    w.Add(w.model, db::EntityType::Ray, db::XLine{{100, 50, 0}, {-2, 0, 0}});
    const db::Box3 box = db::ModelExtents(w.d);
    EXPECT_EQ(box.min, (db::Vec3{10, 10, 0}));
    EXPECT_EQ(box.max, (db::Vec3{20, 30, 0}));

    RecordingSink sink;  // 420 x 297
    const auto report = Render(w.d, sink);
    EXPECT_TRUE(report.notDrawn.empty());
    const page::Rect sheet = sink.Sheet();
    ASSERT_EQ(sink.strokes.size(), 3u);
    const auto& xline = sink.strokes[1].points;
    ASSERT_EQ(xline.size(), 2);
    EXPECT_TRUE(Near(xline[0], {0, 0}, 1e-6));
    EXPECT_TRUE(Near(xline[1], {sheet.ymax, sheet.ymax}, 1e-6));  // out through the top
    const auto& ray = sink.strokes[2].points;
    EXPECT_TRUE(Near(ray[0], {100, 50}));
    EXPECT_TRUE(Near(ray[1], {sheet.xmin, 50}, 1e-6));  // to the left only

    // A plot of a window or of the extents: they end at the plot area.
    render::RenderOptions window;
    window.plotArea = {50, 40, 150, 120};
    RecordingSink plotted;
    Render(w.d, plotted, 0, window);
    ASSERT_EQ(plotted.strokes.size(), 3u);
    EXPECT_TRUE(Near(plotted.strokes[1].points[0], {50, 50}, 1e-6));
    EXPECT_TRUE(Near(plotted.strokes[1].points[1], {120, 120}, 1e-6));
    EXPECT_TRUE(Near(plotted.strokes[2].points[1], {50, 50}, 1e-6));

    // Seen through a viewport, they end at its clip box.
    db::Viewport vp;
    vp.center = {100, 100, 0};
    vp.width = 40;
    vp.height = 40;
    vp.status = 1;
    vp.id = 2;
    vp.viewCenter = {100, 100, 0};
    vp.viewHeight = 40;
    w.Add(w.paper, db::EntityType::Viewport, vp);
    RecordingSink paper;
    Render(w.d, paper, 1);
    double xmin = 1e9, xmax = -1e9;
    for (const auto& s : paper.strokes) {
        if (s.clipDepth > 0) {
            const auto b = output::BoundsOf(s.points);
            xmin = std::min(xmin, b.xmin);
            xmax = std::max(xmax, b.xmax);
        }
    }
    EXPECT_NEAR(xmin, 80, 1e-6);
    EXPECT_NEAR(xmax, 120, 1e-6);
}

// A table is drawn as its picture block, placed as a block reference is.
TEST(Tables, DrawnAsTheirBlock) {
    Drawing w;
    const auto t = w.Block("*T1");
    w.AddLine(t, {0, 0, 0}, {10, 0, 0});
    w.AddLine(t, {0, -5, 0}, {10, -5, 0});
    db::Insert table;
    table.block = t;
    table.blockName = "*T1";
    table.position = {50, 60, 0};
    table.rotation = 90;
    w.Add(w.model, db::EntityType::Table, table);
    RecordingSink sink;
    const auto report = Render(w.d, sink);
    ASSERT_EQ(sink.strokes.size(), 2u);
    EXPECT_TRUE(Near(sink.strokes[0].points[1], {50, 70}));
    EXPECT_TRUE(Near(sink.strokes[1].points[0], {55, 60}));
    EXPECT_EQ(report.entities, 3);
    const db::Box3 box = db::ModelExtents(w.d);
    EXPECT_NEAR(box.min.x, 50, 1e-9);
    EXPECT_NEAR(box.max.y, 70, 1e-9);
}

// A multiline: each element where its parameter puts it along the miter, in the element's
// colour; the style's fill between the outer elements and its square start cap.
TEST(Multilines, ElementsAlongTheMiterWithFillAndCaps) {
    Drawing w;
    db::MLineStyle style;
    style.name = "TWIN";
    style.flags = db::MLineStyle::kFill | db::MLineStyle::kStartSquare;
    style.fillColor = db::Color::FromIndex(4);
    style.elements = {{0.5, db::Color::FromIndex(1), "", db::kByLayer},
                      {-0.5, db::Color::FromIndex(256), "", db::kByLayer}};
    w.d.mlineStyles.push_back(style);
    db::MLine m;
    m.style = 0;
    m.scale = 4;
    const double r2 = std::sqrt(2.0);
    m.vertices = {{{10, 10, 0}, {1, 0, 0}, {0, 1, 0}, {{2, 0}, {-2, 0}}},
                  {{50, 10, 0}, {0, 1, 0}, {-r2 / 2, r2 / 2, 0}, {{2 * r2, 0}, {-2 * r2, 0}}},
                  {{50, 90, 0}, {0, 1, 0}, {-1, 0, 0}, {{2, 0}, {-2, 0}}}};
    w.Add(w.model, db::EntityType::MLine, m);
    RecordingSink sink;
    Render(w.d, sink);
    ASSERT_EQ(sink.fills.size(), 1u);
    EXPECT_EQ(sink.fills[0].pen.color, (plotstyle::Rgb{0, 255, 255}));
    ASSERT_EQ(sink.strokes.size(), 3u);  // two elements and the start cap
    const auto& top = sink.strokes[0];
    EXPECT_EQ(top.pen.color, (plotstyle::Rgb{255, 0, 0}));
    ASSERT_EQ(top.points.size(), 3);
    EXPECT_TRUE(Near(top.points[0], {10, 12}));
    EXPECT_TRUE(Near(top.points[1], {48, 12}, 1e-9));  // the corner, mitred
    EXPECT_TRUE(Near(top.points[2], {48, 90}, 1e-9));
    EXPECT_TRUE(Near(sink.strokes[1].points[1], {52, 8}, 1e-9));
    EXPECT_TRUE(Near(sink.strokes[2].points[0], {10, 12}));  // the cap across the start
    EXPECT_TRUE(Near(sink.strokes[2].points[1], {10, 8}));
}

// A multileader: each line from its arrowhead through its vertices to the landing and
// along the dogleg, a filled arrowhead at its start, and its text.
TEST(Multileaders, LinesArrowheadsAndDogleg) {
    Drawing w;
    db::MLeader g;
    g.arrowSize = 3;
    db::MLeaderBranch b;
    b.landing = {50, 40, 0};
    b.doglegDirection = {1, 0, 0};
    b.doglegLength = 5;
    b.lines.push_back({{{20, 10, 0}, {30, 20, 0}}});
    b.lines.push_back({{{60, 10, 0}}});
    g.branches.push_back(b);
    g.contentType = 1;  // a block, which is missing: nothing more is drawn
    w.Add(w.model, db::EntityType::MLeader, g);
    RecordingSink sink;
    const auto report = Render(w.d, sink);
    EXPECT_TRUE(report.notDrawn.empty());
    ASSERT_EQ(sink.strokes.size(), 2u);
    const auto& first = sink.strokes[0].points;
    ASSERT_EQ(first.size(), 4);
    EXPECT_TRUE(Near(first[0], {20, 10}));
    EXPECT_TRUE(Near(first[2], {50, 40}));
    EXPECT_TRUE(Near(first[3], {55, 40}));  // the dogleg
    ASSERT_EQ(sink.fills.size(), 2u);
    const auto tip = output::BoundsOf(sink.fills[1].rings[0]);
    EXPECT_NEAR(tip.ymin, 10, 1e-9);  // at (60, 10), pointing down the line to (50, 40)
    EXPECT_NEAR(tip.ymax, 10 + 3 * 3 / std::sqrt(10.0), 0.2);
    const db::Box3 box = db::ModelExtents(w.d);
    EXPECT_EQ(box.max, (db::Vec3{60, 40, 0}));
}
