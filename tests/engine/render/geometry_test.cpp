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
using namespace vx::testing;

namespace {

double Dist(QPointF a, QPointF b) {
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

// The largest distance of any chord's middle from a circle (centre c, radius r).
double ChordError(const QPolygonF& pts, bool closed, QPointF c, double r) {
    double worst = 0;
    const qsizetype n = pts.size();
    for (qsizetype i = 0; i + (closed ? 0 : 1) < n; ++i) {
        worst = std::max(worst, std::abs(Dist((pts[i] + pts[(i + 1) % n]) / 2, c) - r));
    }
    return worst;
}

bool Passes(const QPolygonF& pts, QPointF p, double tol = 1e-9) {
    return std::any_of(pts.begin(), pts.end(), [&](QPointF q) { return Near(q, p, tol); });
}

// The first and last point of each stroke.
std::vector<std::pair<QPointF, QPointF>> Ends(const Plot& p) {
    std::vector<std::pair<QPointF, QPointF>> out;
    for (const auto& s : p->strokes) {
        out.emplace_back(s.points.front(), s.points.back());
    }
    return out;
}

}  // namespace

TEST(Curves, CirclesKeepToTheToleranceAtAnyPlottedSize) {
    Drawing w;
    w.Add(w.model, db::EntityType::Circle, db::Circle{{100, 100, 0}, 80, 0});
    for (double tol : {0.01, 0.1}) {
        render::RenderOptions o;
        o.curveTolerance = tol;
        const auto p = Draw(w.d, 0, o);
        ASSERT_EQ(p->strokes.size(), 1u);
        const auto& s = p->strokes[0];
        EXPECT_TRUE(s.closed);
        for (QPointF q : s.points) {
            EXPECT_NEAR(Dist(q, {100, 100}), 80, 1e-9);
        }
        EXPECT_LE(ChordError(s.points, true, {100, 100}, 80), tol);
        EXPECT_GT(ChordError(s.points, true, {100, 100}, 80), tol / 4);  // not wastefully fine
    }
    // Plotted at a tenth of the size, the same circle needs fewer points.
    EXPECT_LT(Draw(w.d, 0, {}, page::Affine::Scaling(0.1, 0.1))->strokes[0].points.size() * 2,
              Draw(w.d)->strokes[0].points.size());
}

TEST(Curves, ArcsAndEllipticalArcsRunCounterClockwiseInTheirPlane) {
    Drawing w;
    w.Add(w.model, db::EntityType::Arc, db::Arc{{50, 50, 0}, 20, 0, 90, 0});
    w.Add(w.model, db::EntityType::Arc, db::Arc{{50, 50, 0}, 10, 270, 0, 0});  // across 0
    // Extrusion (0,0,-1): the plane seen from below, x mirrored.
    w.Add(w.model, db::EntityType::Arc, db::Arc{{10, 0, 0}, 5, 0, 90, 0}).props.extrusion = {0, 0,
                                                                                             -1};
    // Major axis up, a quarter: ends on the minor axis to the left.
    w.Add(w.model, db::EntityType::Ellipse,
          db::Ellipse{{100, 0, 0}, {0, 40, 0}, 0.5, 0, std::numbers::pi / 2});
    const auto p = Draw(w.d, 0, {}, page::Affine::Translation(100, 100));
    using E = std::pair<QPointF, QPointF>;
    const std::vector<E> want{E{{170, 150}, {150, 170}}, E{{150, 140}, {160, 150}},
                              E{{85, 100}, {90, 105}}, E{{200, 140}, {180, 100}}};
    const auto got = Ends(p);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_TRUE(Near(got[i].first, want[i].first) && Near(got[i].second, want[i].second)) << i;
    }
    EXPECT_LT(ChordError(p->strokes[1].points, false, {150, 150}, 10), 0.01);
    EXPECT_FALSE(p->strokes[3].closed);
}

TEST(Curves, SplinesByControlPointsAndByFitPoints) {
    // A quadratic Bezier as a NURBS: p(0.5) = (p0 + 2 p1 + p2) / 4.
    const std::vector<double> knots{0, 0, 0, 1, 1, 1};
    const std::vector<db::Vec3> ctrl{{0, 0, 0}, {10, 20, 0}, {20, 0, 0}};
    ASSERT_TRUE(render::ValidSpline({2, &knots, &ctrl, nullptr}));
    const auto mid = render::EvaluateSpline({2, &knots, &ctrl, nullptr}, 0.5);
    EXPECT_NEAR(mid.x, 10, 1e-12);
    EXPECT_NEAR(mid.y, 10, 1e-12);
    // Weights pull the curve: a rational quadratic with w1 = sqrt(2)/2 is a circular arc.
    const std::vector<double> w{1, std::sqrt(0.5), 1};
    const std::vector<db::Vec3> quarter{{10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
    for (double u : {0.1, 0.3, 0.5, 0.8}) {
        const auto p = render::EvaluateSpline({2, &knots, &quarter, &w}, u);
        EXPECT_NEAR(std::hypot(p.x, p.y), 10, 1e-9);
    }
    std::vector<double> bad{0, 0, 1, 1};  // too few knots
    EXPECT_FALSE(render::ValidSpline({2, &bad, &ctrl, nullptr}));

    Drawing d;
    d.Add(d.model, db::EntityType::Spline,
          db::Spline{.degree = 2, .knots = knots, .controlPoints = ctrl});
    const db::Spline fit{.fitPoints = {{0, 100, 0}, {30, 130, 0}, {60, 100, 0}, {90, 130, 0}}};
    d.Add(d.model, db::EntityType::Spline, fit);
    const auto p = Draw(d.d);
    ASSERT_EQ(p->strokes.size(), 2u);
    const auto& a = p->strokes[0].points;
    EXPECT_TRUE(Near(a.front(), {0, 0}) && Near(a.back(), {20, 0}) && Passes(a, {10, 10}));
    // The fitted curve passes through every fit point and is smooth, not a polygon.
    const auto& b = p->strokes[1].points;
    for (const auto& q : fit.fitPoints) {
        EXPECT_TRUE(Passes(b, {q.x, q.y}));
    }
    EXPECT_GT(b.size(), 20);
    // It overshoots the fit points a little, as a smooth curve does.
    EXPECT_GT(
        std::max_element(b.begin(), b.end(), [](QPointF x, QPointF y) { return x.y() < y.y(); })
            ->y(),
        130.0);
}

TEST(Polylines, BulgesAndWidths) {
    Drawing w;
    // Bulge 1: a half circle, counter-clockwise from (0,0) to (20,0): below the chord.
    w.Add(w.model, db::EntityType::LwPolyline,
          db::LwPolyline{.vertices = {{0, 0, 0, 0, 1}, {20, 0}}});
    const auto p = Draw(w.d, 0, {}, page::Affine::Translation(100, 100));
    ASSERT_EQ(p->strokes.size(), 1u);
    const auto& pts = p->strokes[0].points;
    EXPECT_TRUE(Near(pts.front(), {100, 100}) && Near(pts.back(), {120, 100}));
    EXPECT_TRUE(Passes(pts, {110, 90}));
    EXPECT_LT(ChordError(pts, false, {110, 100}, 10), 0.011);

    // One width throughout: a wide stroke with square-cut ends; tapering: filled outlines.
    Drawing v;
    v.Add(v.model, db::EntityType::LwPolyline,
          db::LwPolyline{.vertices = {{0, 0}, {50, 0}, {50, 50}}, .constantWidth = 2});
    v.Add(v.model, db::EntityType::LwPolyline,
          db::LwPolyline{.vertices = {{0, 100, 4, 0, 0}, {30, 100, 0, 0, 0}}});
    const auto q = Draw(v.d);
    ASSERT_EQ(q->strokes.size(), 1u);
    EXPECT_DOUBLE_EQ(q->strokes[0].pen.lineweight, 2.0);
    EXPECT_EQ(q->strokes[0].pen.cap, plotstyle::LineCap::Butt);
    ASSERT_EQ(q->fills.size(), 1u);
    EXPECT_TRUE(Near(output::BoundsOf(q->fills[0].rings[0]), {0, 98, 30, 102}, 1e-9));
}

TEST(Polylines, OldStylePolylinesMeshesAndFaces) {
    Drawing w;
    db::Polyline p2{.flags = db::Polyline::kClosed};
    for (auto [x, y] : {std::pair{0.0, 0.0}, {10.0, 0.0}, {10.0, 10.0}}) {
        p2.vertices.push_back({.position = {x, y, 0}});
    }
    w.Add(w.model, db::EntityType::Polyline, p2);
    // A 2 x 3 mesh: 2 runs of 3 and 3 runs of 2.
    db::Polyline mesh{.flags = db::Polyline::kPolygonMesh, .meshM = 2, .meshN = 3};
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 3; ++j) {
            mesh.vertices.push_back({.position = {100.0 + j * 10, 100.0 + i * 10, 0}, .flags = 64});
        }
    }
    w.Add(w.model, db::EntityType::Polyline, mesh);
    // A 3DFACE with its second edge hidden.
    db::Face face{{{0, 50, 0}, {10, 50, 0}, {10, 60, 0}, {0, 60, 0}}};
    face.invisibleEdges = 2;
    w.Add(w.model, db::EntityType::Face3d, face);
    const auto p = Draw(w.d);
    std::vector<qsizetype> sizes;
    for (const auto& s : p->strokes) {
        sizes.push_back(s.points.size());
    }
    EXPECT_EQ(sizes, (std::vector<qsizetype>{3, 3, 3, 2, 2, 2, 2, 2, 2}));
    EXPECT_TRUE(p->strokes[0].closed);
}

TEST(FilledShapes, SolidsFillInTheirCornerOrder) {
    Drawing w;
    w.Add(w.model, db::EntityType::Solid,
          db::Face{{{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {10, 10, 0}}}, Props(0, Aci(1)));
    const auto p = Draw(w.d);
    ASSERT_EQ(p->fills.size(), 1u);
    const QPolygonF& ring = p->fills[0].rings[0];
    ASSERT_EQ(ring.size(), 4);
    // 1-2-4-3 makes a square, not a bow tie.
    EXPECT_TRUE(Near(ring[2], {10, 10}) && Near(ring[3], {0, 10}));
    EXPECT_EQ(p->fills[0].pen.color, (plotstyle::Rgb{255, 0, 0}));
    EXPECT_EQ(p.report.visible, 1);
}

TEST(BlockReferences, PlacedByBasePointScaleRotationAndArrays) {
    Drawing w;
    const auto b = w.Block("B", {5, 0, 0});
    w.AddLine(b, {0, 0, 0}, {10, 0, 0});
    w.AddInsert(w.model, b, {100, 50, 0}, Props(), {2, 2, 1}, 90);
    // An array of 3 columns and 2 rows, 20 and 30 apart along the rotated axes.
    const auto c = w.Block("C");
    w.AddLine(c, {0, 0, 0}, {1, 0, 0});
    auto* array = w.AddInsert(w.model, c, {200, 100, 0}, Props(), {1, 1, 1}, 90).As<db::Insert>();
    array->columns = 3;
    array->rows = 2;
    array->columnSpacing = 20;
    array->rowSpacing = 30;
    const auto p = Draw(w.d);
    ASSERT_EQ(p->strokes.size(), 7u);
    EXPECT_TRUE(Near(p->strokes[0].points[0], {100, 40}) &&
                Near(p->strokes[0].points[1], {100, 60}));
    EXPECT_TRUE(Near(p->strokes[3].points[0], {200, 140}));  // third column: 40 up
    EXPECT_TRUE(Near(p->strokes[6].points[0], {170, 140}));  // second row: 30 to the left
    EXPECT_EQ(p.report.entities, 2 + 1 + 6);
}

TEST(BlockReferences, CyclesEndAtTheDepthLimitAndReferencesOffThePageAreNotVisited) {
    Drawing w;
    const auto a = w.Block("A"), b = w.Block("B");
    w.AddLine(a, {0, 0, 0}, {1, 0, 0});
    w.AddInsert(a, b, {0, 0, 0});
    w.AddInsert(b, a, {0, 0, 0});
    w.AddInsert(w.model, a, {0, 0, 0});
    const auto p = Draw(w.d);
    EXPECT_FALSE(p->strokes.empty());
    ASSERT_FALSE(p.report.warnings.empty());
    EXPECT_NE(p.report.warnings[0].find("nested deeper"), std::string::npos);

    Drawing f;
    const auto many = f.Block("B");
    for (int i = 0; i < 50; ++i) {
        f.AddLine(many, {0, double(i), 0}, {10, double(i), 0});
    }
    f.AddInsert(f.model, many, {5000, 5000, 0});
    f.AddInsert(f.model, many, {10, 10, 0});
    const auto culled = Draw(f.d);
    EXPECT_EQ(culled->strokes.size(), 50u);
    EXPECT_EQ(culled.report.entities, 2 + 50);
}

TEST(Points, DisplayModeAndSize) {
    Drawing w;
    w.Add(w.model, db::EntityType::Point, db::Point{{50, 50, 0}, 0, 0});
    const auto dot = Draw(w.d);
    ASSERT_EQ(dot->strokes.size(), 1u);
    EXPECT_EQ(dot->strokes[0].points.size(), 1);
    w.d.header.pdMode = 3 | 32;  // a cross in a circle
    w.d.header.pdSize = 4;
    const auto p = Draw(w.d);
    ASSERT_EQ(p->strokes.size(), 3u);
    EXPECT_TRUE(Near(p->strokes[0].points[0], {48, 48}));
    EXPECT_NEAR(output::BoundsOf(p->strokes[2].points).Width(), 4, 1e-9);
    w.d.header.pdMode = 1;  // nothing at all
    EXPECT_TRUE(Draw(w.d)->strokes.empty());
}

TEST(Leaders, PathAndFilledArrowhead) {
    Drawing w;
    w.d.header.measurement = 1;
    w.d.header.dimAsz = 3;
    w.Add(w.model, db::EntityType::Leader,
          db::Leader{.vertices = {{0, 0, 0}, {20, 0, 0}, {30, 10, 0}}});
    const auto p = Draw(w.d, 0, {}, page::Affine::Translation(50, 50));
    ASSERT_EQ(p->strokes.size(), 1u);
    EXPECT_EQ(p->strokes[0].points.size(), 3);
    ASSERT_EQ(p->fills.size(), 1u);
    // The tip at the first vertex, 3 long, 1 wide.
    EXPECT_TRUE(Near(output::BoundsOf(p->fills[0].rings[0]), {50, 49.5, 53, 50.5}, 1e-9));
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

    const auto p = Draw(w.d);  // 420 x 297
    EXPECT_TRUE(p.report.notDrawn.empty());
    auto ends = Ends(p);
    ASSERT_EQ(ends.size(), 3u);
    EXPECT_TRUE(Near(ends[1].first, {0, 0}) && Near(ends[1].second, {297, 297}));  // the top
    EXPECT_TRUE(Near(ends[2].first, {100, 50}) && Near(ends[2].second, {0, 50}));  // leftwards
    EXPECT_EQ(p->strokes[1].points.size(), 2);

    // A plot of a window or of the extents: they end at the plot area.
    render::RenderOptions window;
    window.plotArea = {50, 40, 150, 120};
    ends = Ends(Draw(w.d, 0, window));
    ASSERT_EQ(ends.size(), 3u);
    EXPECT_TRUE(Near(ends[1].first, {50, 50}) && Near(ends[1].second, {120, 120}));
    EXPECT_TRUE(Near(ends[2].second, {50, 50}));

    // Seen through a viewport, they end at its clip box.
    w.Add(w.paper, db::EntityType::Viewport,
          db::Viewport{.center = {100, 100, 0},
                       .width = 40,
                       .height = 40,
                       .status = 1,
                       .id = 2,
                       .viewCenter = {100, 100, 0},
                       .viewHeight = 40});
    page::Rect seen = page::Rect::Empty();
    const auto through = Draw(w.d, 1);
    for (const auto* s : through->Clipped()) {
        seen.Include(output::BoundsOf(s->points));
    }
    EXPECT_NEAR(seen.xmin, 80, 1e-6);
    EXPECT_NEAR(seen.xmax, 120, 1e-6);
}

// A table is drawn as its picture block, placed as a block reference is.
TEST(Tables, DrawnAsTheirBlock) {
    Drawing w;
    const auto t = w.Block("*T1");
    w.AddLine(t, {0, 0, 0}, {10, 0, 0});
    w.AddLine(t, {0, -5, 0}, {10, -5, 0});
    w.Add(w.model, db::EntityType::Table,
          db::Insert{.blockName = "*T1", .block = t, .position = {50, 60, 0}, .rotation = 90});
    const auto p = Draw(w.d);
    ASSERT_EQ(p->strokes.size(), 2u);
    EXPECT_TRUE(Near(p->strokes[0].points[1], {50, 70}) && Near(p->strokes[1].points[0], {55, 60}));
    EXPECT_EQ(p.report.entities, 3);
    const db::Box3 box = db::ModelExtents(w.d);
    EXPECT_NEAR(box.min.x, 50, 1e-9);
    EXPECT_NEAR(box.max.y, 70, 1e-9);
}

// A multiline: each element where its parameter puts it along the miter, in the element's
// colour; the style's fill between the outer elements and its square start cap.
TEST(Multilines, ElementsAlongTheMiterWithFillAndCaps) {
    Drawing w;
    db::MLineStyle style{.name = "TWIN",
                         .flags = db::MLineStyle::kFill | db::MLineStyle::kStartSquare};
    style.fillColor = Aci(4);
    style.elements = {{0.5, Aci(1), "", db::kByLayer}, {-0.5, Aci(256), "", db::kByLayer}};
    w.d.mlineStyles.push_back(style);
    const double r2 = std::sqrt(2.0);
    db::MLine m{.style = 0, .scale = 4};
    m.vertices = {{{10, 10, 0}, {1, 0, 0}, {0, 1, 0}, {{2, 0}, {-2, 0}}},
                  {{50, 10, 0}, {0, 1, 0}, {-r2 / 2, r2 / 2, 0}, {{2 * r2, 0}, {-2 * r2, 0}}},
                  {{50, 90, 0}, {0, 1, 0}, {-1, 0, 0}, {{2, 0}, {-2, 0}}}};
    w.Add(w.model, db::EntityType::MLine, m);
    const auto p = Draw(w.d);
    ASSERT_EQ(p->fills.size(), 1u);
    EXPECT_EQ(p->fills[0].pen.color, (plotstyle::Rgb{0, 255, 255}));
    ASSERT_EQ(p->strokes.size(), 3u);  // two elements and the start cap
    const auto& top = p->strokes[0];
    EXPECT_EQ(top.pen.color, (plotstyle::Rgb{255, 0, 0}));
    ASSERT_EQ(top.points.size(), 3);
    // The corner mitred; the cap across the start.
    EXPECT_TRUE(Near(top.points[0], {10, 12}) && Near(top.points[1], {48, 12}) &&
                Near(top.points[2], {48, 90}));
    EXPECT_TRUE(Near(p->strokes[1].points[1], {52, 8}));
    EXPECT_TRUE(Near(p->strokes[2].points[0], {10, 12}) && Near(p->strokes[2].points[1], {10, 8}));
}

// A multileader: each line from its arrowhead through its vertices to the landing and
// along the dogleg, a filled arrowhead at its start, and its text.
TEST(Multileaders, LinesArrowheadsAndDogleg) {
    Drawing w;
    db::MLeaderBranch b{.landing = {50, 40, 0}, .doglegDirection = {1, 0, 0}, .doglegLength = 5};
    b.lines = {{{{20, 10, 0}, {30, 20, 0}}}, {{{60, 10, 0}}}};
    // Its content a block, which is missing: nothing more is drawn.
    w.Add(w.model, db::EntityType::MLeader,
          db::MLeader{.contentType = 1, .arrowSize = 3, .branches = {b}});
    const auto p = Draw(w.d);
    EXPECT_TRUE(p.report.notDrawn.empty());
    ASSERT_EQ(p->strokes.size(), 2u);
    const auto& first = p->strokes[0].points;
    ASSERT_EQ(first.size(), 4);
    EXPECT_TRUE(Near(first[0], {20, 10}) && Near(first[2], {50, 40}) && Near(first[3], {55, 40}));
    ASSERT_EQ(p->fills.size(), 2u);
    const auto tip = output::BoundsOf(p->fills[1].rings[0]);
    EXPECT_NEAR(tip.ymin, 10, 1e-9);  // at (60, 10), pointing down the line to (50, 40)
    EXPECT_NEAR(tip.ymax, 10 + 3 * 3 / std::sqrt(10.0), 0.2);
    EXPECT_EQ(db::ModelExtents(w.d).max, (db::Vec3{60, 40, 0}));
}
