// Hatches: pattern lines clipped by the even-odd rule, PAT files, solid fills with
// curved boundary edges, patterns too dense for their area or unknown.
#include <gtest/gtest.h>

#include <numbers>

#include "RenderTools.h"
#include "engine/output/PaperGeometry.h"
#include "engine/render/Hatching.h"

using namespace vx::engine;
using namespace vx::testing;

namespace {

constexpr double kDeg = std::numbers::pi / 180;

db::HatchPath Square(double x0, double y0, double size, std::int32_t flags = 1) {
    return {.flags = flags | 2,
            .isPolyline = true,
            .polyline = {{x0, y0}, {x0 + size, y0}, {x0 + size, y0 + size}, {x0, y0 + size}}};
}

db::HatchPatternLine PatternLine(double angleDeg, double spacing, std::vector<double> dashes = {}) {
    return {
        .angle = angleDeg,
        .offset = {-std::sin(angleDeg * kDeg) * spacing, std::cos(angleDeg * kDeg) * spacing, 0},
        .dashes = std::move(dashes)};
}

}  // namespace

TEST(HatchPatterns, HolesStayEmptyByTheEvenOddRule) {
    Drawing w;
    w.Add(w.model, db::EntityType::Hatch,
          db::Hatch{.paths = {Square(0, 0, 100), Square(30, 30, 40, 0)},
                    .patternLines = {PatternLine(0, 2)}});
    int crossing = 0;
    const auto p = Draw(w.d);
    for (const auto& s : p->strokes) {
        const QPointF mid = (s.points[0] + s.points[1]) / 2;
        // Strictly inside the hole (a line along its edge is no fault).
        EXPECT_FALSE(mid.x() > 30.001 && mid.x() < 69.999 && mid.y() > 30.001 && mid.y() < 69.999);
        crossing += s.points[0].y() > 30 && s.points[0].y() < 70;
    }
    EXPECT_EQ(crossing, 2 * 19);  // lines at y = 32..68 come in two pieces
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
    EXPECT_EQ(parsed[0].second[1].dashes, (std::vector<double>{0.25, -0.25}));
    EXPECT_TRUE(parsed[1].second.empty());
}

TEST(HatchFills, SolidFillsWithHolesAndArcAndEllipseEdges) {
    // Outer: a circle from two clockwise arc edges (angles stored as their complements
    // 360 - a); inner: an ellipse edge.
    using T = db::HatchEdge::Type;
    const db::HatchEdge top{.type = T::Arc,
                            .p0 = {100, 100, 0},
                            .radius = 50,
                            .startAngle = 180,
                            .endAngle = 360,
                            .ccw = false};
    db::HatchEdge bottom = top;
    bottom.startAngle = 0;
    bottom.endAngle = 180;
    const db::HatchEdge ellipse{.type = T::Ellipse,
                                .p0 = {100, 100, 0},
                                .p1 = {20, 0, 0},
                                .ratio = 0.5,
                                .startAngle = 0,
                                .endAngle = 360};
    Drawing w;
    w.Add(w.model, db::EntityType::Hatch,
          db::Hatch{.solid = true,
                    .paths = {db::HatchPath{.flags = 1, .edges = {top, bottom}},
                              db::HatchPath{.edges = {ellipse}}}});
    const auto rings = Draw(w.d)->fills.at(0).rings;
    ASSERT_EQ(rings.size(), 2u);
    EXPECT_TRUE(Near(output::BoundsOf(rings[0]), {50, 50, 150, 150}, 0.01));
    EXPECT_TRUE(Near(output::BoundsOf(rings[1]), {80, 90, 120, 110}, 0.01));
    EXPECT_NEAR(output::EvenOddArea(rings), std::numbers::pi * (2500 - 200), 15);
}

TEST(HatchFills, TooDenseOrUnknownPatternsAreReportedAndStillDrawn) {
    Drawing w;
    w.Add(w.model, db::EntityType::Hatch,
          db::Hatch{.patternName = "FINE",
                    .paths = {Square(0, 0, 1000)},
                    .patternLines = {PatternLine(0, 0.0001)}});
    w.Add(w.model, db::EntityType::Hatch,
          db::Hatch{.patternName = "MY-OWN", .paths = {Square(0, 0, 50)}});
    const auto p = Draw(w.d, 0, {}, page::Affine::Scaling(0.2, 0.2));
    EXPECT_EQ(p->fills.size(), 1u);    // the dense one, filled
    EXPECT_FALSE(p->strokes.empty());  // the unknown one, as ANSI31
    ASSERT_EQ(p.report.warnings.size(), 2u);
    EXPECT_TRUE(Has(p.report.warnings[0], "FINE") && Has(p.report.warnings[1], "MY-OWN"));
}
