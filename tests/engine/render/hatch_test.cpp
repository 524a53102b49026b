// Hatches: pattern line angle and spacing, clipping by the even-odd rule, dashes, the
// standard pattern table, user-defined patterns, solid fills, every boundary edge type,
// patterns too dense for their area.
#include <gtest/gtest.h>

#include <numbers>

#include "RenderTools.h"
#include "engine/output/PaperGeometry.h"
#include "engine/render/Hatching.h"

using namespace vx::engine;
using vx::testing::Drawing;
using vx::testing::Props;
using vx::testing::RecordingSink;
using vx::testing::Render;

namespace {

constexpr double kPi = std::numbers::pi;

db::HatchPath Square(double x0, double y0, double size, std::int32_t flags = 1) {
    db::HatchPath p;
    p.flags = flags | 2;
    p.isPolyline = true;
    p.polyline = {{x0, y0}, {x0 + size, y0}, {x0 + size, y0 + size}, {x0, y0 + size}};
    return p;
}

db::HatchPatternLine PatternLine(double angleDeg, double spacing, std::vector<double> dashes = {}) {
    db::HatchPatternLine l;
    l.angle = angleDeg;
    const double a = angleDeg * kPi / 180;
    l.offset = {-std::sin(a) * spacing, std::cos(a) * spacing, 0};
    l.dashes = std::move(dashes);
    return l;
}

// Distance of a segment's line from the origin, along the normal of `angleDeg`.
double Offset(const QPolygonF& seg, double angleDeg) {
    const double a = angleDeg * kPi / 180;
    return -std::sin(a) * seg[0].x() + std::cos(a) * seg[0].y();
}

}  // namespace

TEST(HatchPatterns, LinesAtTheirAngleAndSpacingCutToTheBoundary) {
    Drawing w;
    db::Hatch h;
    h.patternName = "ANSI31";
    h.paths = {Square(100, 100, 100)};
    h.patternLines = {PatternLine(45, 3.175)};
    w.Add(w.model, db::EntityType::Hatch, h);
    RecordingSink sink;
    Render(w.d, sink);
    ASSERT_GT(sink.strokes.size(), 40u);
    std::vector<double> offsets;
    for (const auto& s : sink.strokes) {
        ASSERT_EQ(s.points.size(), 2);
        const QPointF d = s.points[1] - s.points[0];
        EXPECT_NEAR(std::atan2(d.y(), d.x()) * 180 / kPi, 45, 1e-6);
        for (QPointF p : s.points) {
            // Every end lies on the square's boundary.
            const bool onEdge = std::abs(p.x() - 100) < 1e-6 || std::abs(p.x() - 200) < 1e-6 ||
                                std::abs(p.y() - 100) < 1e-6 || std::abs(p.y() - 200) < 1e-6;
            EXPECT_TRUE(onEdge) << p.x() << "," << p.y();
        }
        offsets.push_back(Offset(s.points, 45));
    }
    std::sort(offsets.begin(), offsets.end());
    for (std::size_t i = 1; i < offsets.size(); ++i) {
        EXPECT_NEAR(offsets[i] - offsets[i - 1], 3.175, 1e-6);
    }
    // The square's diagonal spans 200/sqrt(2) across the lines: about 44 lines.
    EXPECT_NEAR(static_cast<double>(offsets.size()), 100 * std::sqrt(2.0) / 3.175, 1.0);
}

TEST(HatchPatterns, HolesStayEmptyByTheEvenOddRule) {
    Drawing w;
    db::Hatch h;
    h.paths = {Square(0, 0, 100), Square(30, 30, 40, 0)};
    h.patternLines = {PatternLine(0, 2)};
    w.Add(w.model, db::EntityType::Hatch, h);
    RecordingSink sink;
    Render(w.d, sink, 0, {}, page::Affine::Translation(10, 10));
    const QPolygonF hole({QPointF(40, 40), QPointF(80, 40), QPointF(80, 80), QPointF(40, 80)});
    int crossing = 0;
    for (const auto& s : sink.strokes) {
        const QPointF mid = (s.points[0] + s.points[1]) / 2;
        // Strictly inside the hole (a line along its edge is no fault).
        EXPECT_FALSE(mid.x() > 40.001 && mid.x() < 79.999 && mid.y() > 40.001 && mid.y() < 79.999);
        crossing += s.points[0].y() > 40 && s.points[0].y() < 80;
    }
    EXPECT_EQ(crossing, 2 * 19);  // lines at y = 42..78 come in two pieces
}

TEST(HatchPatterns, DashesRunFromTheLinesOrigin) {
    std::vector<std::vector<db::Vec3>> loops{{{0, 0, 0}, {100, 0, 0}, {100, 10, 0}, {0, 10, 0}}};
    auto line = PatternLine(0, 20, {5, -5, 0, -5});
    line.base = {1, 5, 0};  // one line, at y = 5, pattern starting at x = 1
    std::vector<render::PatternSegment> segs;
    ASSERT_TRUE(render::PatternSegments({line}, loops, 1000, segs));
    ASSERT_GE(segs.size(), 4u);
    // The part of a dash before the boundary is cut: 0..1 belongs to the previous pattern's
    // trailing gap; then dash 1..6, dot at 11, dash 16..21 ...
    EXPECT_NEAR(segs[0].ax, 1, 1e-9);
    EXPECT_NEAR(segs[0].bx, 6, 1e-9);
    EXPECT_NEAR(segs[1].ax, 11, 1e-9);
    EXPECT_NEAR(segs[1].bx, 11, 1e-9);  // a dot
    EXPECT_NEAR(segs[2].ax, 16, 1e-9);
    EXPECT_NEAR(segs[0].ay, 5, 1e-9);
    // A pattern too dense for the area is refused.
    EXPECT_FALSE(render::PatternSegments({PatternLine(0, 0.001)}, loops, 1000, segs));
    EXPECT_TRUE(segs.empty());
}

TEST(HatchPatterns, StandardTableScaledTurnedAndInMetricUnits) {
    for (const char* name :
         {"ANSI31", "ANSI32", "ANSI33",  "ANSI34",   "ANSI35",   "ANSI36",
          "ANSI37", "ANSI38", "AR-B816", "AR-BRSTD", "AR-HBONE", "BRICK",
          "DOTS",   "EARTH",  "GRASS",   "HEX",      "HONEY",    "LINE",
          "NET",    "SQUARE", "STARS",   "TRIANG",   "ZIGZAG",   "ACAD_ISO02W100"}) {
        const auto* p = render::StandardPattern(name);
        ASSERT_NE(p, nullptr) << name;
        EXPECT_FALSE(p->empty()) << name;
        for (const auto& l : *p) {
            // Offsets across the line must not vanish, or the family would be one line.
            const double a = l.angle * kPi / 180;
            EXPECT_GT(std::abs(-std::sin(a) * l.offset.x + std::cos(a) * l.offset.y), 1e-6) << name;
        }
    }
    EXPECT_EQ(render::StandardPattern("ansi31"), render::StandardPattern("ANSI31"));
    EXPECT_EQ(render::StandardPattern("NO-SUCH"), nullptr);
    EXPECT_GE(render::StandardPatternNames().size(), 50u);

    db::Hatch h;
    h.patternName = "ANSI31";
    h.patternScale = 2;
    h.patternAngle = 30;
    bool unknown = true;
    const auto metric = render::EffectivePattern(h, true, unknown);
    EXPECT_FALSE(unknown);
    ASSERT_EQ(metric.size(), 1u);
    EXPECT_NEAR(metric[0].angle, 75, 1e-9);
    const double a = 75 * kPi / 180;
    const double spacing = -std::sin(a) * metric[0].offset.x + std::cos(a) * metric[0].offset.y;
    EXPECT_NEAR(spacing, 2 * 3.175, 1e-6);  // 1/8" x 25.4 x 2
    const auto imperial = render::EffectivePattern(h, false, unknown);
    EXPECT_NEAR(db::Length(imperial[0].offset), 0.25, 1e-6);

    // User-defined: lines `scale` apart, crossed when double.
    db::Hatch u;
    u.patternType = 0;
    u.patternScale = 4;
    u.patternAngle = 10;
    u.patternDouble = true;
    const auto user = render::EffectivePattern(u, true, unknown);
    ASSERT_EQ(user.size(), 2u);
    EXPECT_NEAR(user[1].angle - user[0].angle, 90, 1e-9);
    EXPECT_NEAR(db::Length(user[0].offset), 4, 1e-9);

    db::Hatch unknownName;
    unknownName.patternName = "MY-OWN";
    EXPECT_TRUE(render::EffectivePattern(unknownName, true, unknown).empty());
    EXPECT_TRUE(unknown);
}

TEST(HatchPatterns, ParsedFromPatText) {
    const auto parsed = render::ParsePatFile(
        "; comment\n*MINE, two families\n0, 0,0, 0,.5\r\n90, .25,0, 0,.5, .25,-.25\n"
        "*BROKEN\nnot, numbers\n");
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[0].first, "MINE");
    ASSERT_EQ(parsed[0].second.size(), 2u);
    // Offsets are turned into the plane's axes: (0, .5) across a vertical line is -x.
    EXPECT_NEAR(parsed[0].second[1].offset.x, -0.5, 1e-12);
    EXPECT_NEAR(parsed[0].second[1].offset.y, 0, 1e-12);
    EXPECT_EQ(parsed[0].second[1].dashes, (std::vector<double>{0.25, -0.25}));
    EXPECT_TRUE(parsed[1].second.empty());
}

TEST(HatchFills, SolidAndGradientFillsWithHolesAndEveryEdgeType) {
    Drawing w;
    db::Hatch h;
    h.solid = true;
    // Outer: a circle from two clockwise arc edges (angles stored as their complements
    // 360 - a); inner: an ellipse edge.
    db::HatchPath circle;
    circle.flags = 1;
    db::HatchEdge top;
    top.type = db::HatchEdge::Type::Arc;
    top.p0 = {100, 100, 0};
    top.radius = 50;
    top.ccw = false;
    top.startAngle = 180;  // from 180 over the top to 0
    top.endAngle = 360;
    db::HatchEdge bottom = top;
    bottom.startAngle = 0;  // from 360 over the bottom to 180
    bottom.endAngle = 180;
    circle.edges = {top, bottom};
    db::HatchPath ellipse;
    db::HatchEdge e;
    e.type = db::HatchEdge::Type::Ellipse;
    e.p0 = {100, 100, 0};
    e.p1 = {20, 0, 0};
    e.ratio = 0.5;
    e.startAngle = 0;
    e.endAngle = 360;
    ellipse.edges = {e};
    h.paths = {circle, ellipse};
    w.Add(w.model, db::EntityType::Hatch, h, Props(0, db::Color::FromIndex(3)));
    db::Hatch g = h;
    g.solid = false;
    g.gradient = true;
    w.Add(w.model, db::EntityType::Hatch, g);
    RecordingSink sink;
    Render(w.d, sink);
    ASSERT_EQ(sink.fills.size(), 2u);
    const auto& rings = sink.fills[0].rings;
    ASSERT_EQ(rings.size(), 2u);
    for (QPointF p : rings[0]) {
        EXPECT_NEAR(std::hypot(p.x() - 100, p.y() - 100), 50, 1e-6);
    }
    const auto outer = output::BoundsOf(rings[0]);
    EXPECT_NEAR(outer.ymin, 50, 0.01);  // the clockwise half reaches down
    const auto inner = output::BoundsOf(rings[1]);
    EXPECT_NEAR(inner.Width(), 40, 0.01);
    EXPECT_NEAR(inner.Height(), 20, 0.01);
    EXPECT_NEAR(output::EvenOddArea(rings), kPi * (2500 - 200), 15);
    EXPECT_EQ(sink.fills[1].rings.size(), 2u);
}

TEST(HatchFills, SplineAndBulgedBoundaries) {
    db::Hatch h;
    db::HatchPath p;
    db::HatchEdge s;
    s.type = db::HatchEdge::Type::Spline;
    s.degree = 2;
    s.knots = {0, 0, 0, 1, 1, 1};
    s.controlPoints = {{0, 0, 0}, {50, 100, 0}, {100, 0, 0}};
    db::HatchEdge back;
    back.p0 = {100, 0, 0};
    back.p1 = {0, 0, 0};
    p.edges = {s, back};
    db::HatchPath round = Square(200, 0, 10);
    round.polyline[0].bulge = 1;  // the bottom side bulges outward (counter-clockwise)
    h.paths = {p, round};
    std::vector<std::vector<db::Vec3>> loops;
    render::HatchLoops(h, 1, 0.01, loops);
    ASSERT_EQ(loops.size(), 2u);
    double top = 0;
    for (const auto& q : loops[0]) {
        top = std::max(top, q.y);
    }
    EXPECT_NEAR(top, 50, 1e-6);  // the curve's apex, half the control point's height
    double low = 0;
    for (const auto& q : loops[1]) {
        low = std::min(low, q.y);
    }
    EXPECT_NEAR(low, -5, 0.011);  // within the tolerance
}

TEST(HatchFills, TooDenseOrUnknownPatternsAreReportedAndStillDrawn) {
    Drawing w;
    db::Hatch dense;
    dense.patternName = "FINE";
    dense.paths = {Square(0, 0, 1000)};
    dense.patternLines = {PatternLine(0, 0.0001)};
    w.Add(w.model, db::EntityType::Hatch, dense);
    db::Hatch unknown;
    unknown.patternName = "MY-OWN";
    unknown.paths = {Square(0, 0, 50)};
    w.Add(w.model, db::EntityType::Hatch, unknown);
    RecordingSink sink;
    const auto report = Render(w.d, sink, 0, {}, page::Affine::Scaling(0.2, 0.2));
    EXPECT_EQ(sink.fills.size(), 1u);    // the dense one, filled
    EXPECT_FALSE(sink.strokes.empty());  // the unknown one, as ANSI31
    ASSERT_EQ(report.warnings.size(), 2u);
    EXPECT_NE(report.warnings[0].find("FINE"), std::string::npos);
    EXPECT_NE(report.warnings[1].find("MY-OWN"), std::string::npos);
    EXPECT_EQ(report.visible, 2);
}
