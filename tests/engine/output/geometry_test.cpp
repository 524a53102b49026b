// Paper geometry shared by the back ends: clipping against arbitrary simple polygons,
// dashing and fill patterns.
#include <gtest/gtest.h>

#include "engine/output/PaperGeometry.h"

using namespace vx::engine::output;
using vx::engine::plotstyle::FillStyle;

namespace {

constexpr double kTol = 1e-6;

QPolygonF Poly(std::initializer_list<QPointF> points) {
    return QPolygonF(points);
}

// A U open at the top: x 0..30, y 0..20, with the notch x 10..20, y 10..20 cut out.
const QPolygonF kU =
    Poly({{0, 0}, {30, 0}, {30, 20}, {20, 20}, {20, 10}, {10, 10}, {10, 20}, {0, 20}});
const QPolygonF kSquare = Poly({{0, 0}, {10, 0}, {10, 10}, {0, 10}});

QPolygonF Reversed(QPolygonF p) {
    std::reverse(p.begin(), p.end());
    return p;
}

void ExpectPolyline(const QPolygonF& got, std::initializer_list<QPointF> want) {
    ASSERT_EQ(got.size(), static_cast<qsizetype>(want.size())) << "points";
    qsizetype i = 0;
    for (QPointF p : want) {
        EXPECT_NEAR(got[i].x(), p.x(), kTol) << "point " << i;
        EXPECT_NEAR(got[i].y(), p.y(), kTol) << "point " << i;
        ++i;
    }
}

TEST(PointInPolygon, ConcaveShapeAndItsBoundary) {
    EXPECT_TRUE(PointInPolygon({5, 15}, kU));
    EXPECT_FALSE(PointInPolygon({15, 15}, kU));  // in the notch
    EXPECT_TRUE(PointInPolygon({15, 5}, kU));
    EXPECT_TRUE(PointInPolygon({15, 10}, kU));  // on the notch's floor
    EXPECT_TRUE(PointInPolygon({0, 0}, kU));    // a corner
    EXPECT_FALSE(PointInPolygon({-0.001, 5}, kU));
    EXPECT_FALSE(PointInPolygon({5, 5}, QPolygonF()));
}

TEST(ClipPolyline, StraightLineThroughASquare) {
    for (const QPolygonF& clip : {kSquare, Reversed(kSquare)}) {
        const auto parts = ClipPolyline(Poly({{-5, 5}, {15, 5}}), false, clip);
        ASSERT_EQ(parts.size(), 1u);
        ExpectPolyline(parts[0], {{0, 5}, {10, 5}});
    }
}

TEST(ClipPolyline, ConcaveClipSplitsALine) {
    const auto parts = ClipPolyline(Poly({{-5, 15}, {35, 15}}), false, kU);
    ASSERT_EQ(parts.size(), 2u);
    ExpectPolyline(parts[0], {{0, 15}, {10, 15}});
    ExpectPolyline(parts[1], {{20, 15}, {30, 15}});
    // Below the notch the line stays whole.
    const auto below = ClipPolyline(Poly({{-5, 5}, {35, 5}}), false, kU);
    ASSERT_EQ(below.size(), 1u);
    ExpectPolyline(below[0], {{0, 5}, {30, 5}});
}

TEST(ClipPolyline, VerticesInsideAreKeptAndRunsAlongTheEdgeCount) {
    const auto parts = ClipPolyline(Poly({{-5, 2}, {5, 2}, {5, 8}, {15, 8}}), false, kSquare);
    ASSERT_EQ(parts.size(), 1u);
    ExpectPolyline(parts[0], {{0, 2}, {5, 2}, {5, 8}, {10, 8}});
    const auto along = ClipPolyline(Poly({{-5, 0}, {15, 0}}), false, kSquare);
    ASSERT_EQ(along.size(), 1u);
    ExpectPolyline(along[0], {{0, 0}, {10, 0}});
}

TEST(ClipPolyline, ClosedRings) {
    // Wholly inside: one part back to its start.
    const auto inside = ClipPolyline(Poly({{2, 2}, {8, 2}, {8, 8}}), true, kSquare);
    ASSERT_EQ(inside.size(), 1u);
    ExpectPolyline(inside[0], {{2, 2}, {8, 2}, {8, 8}, {2, 2}});
    // Cut by the right edge: one part, joined across the ring's start point.
    const auto cut = ClipPolyline(Poly({{5, 2}, {15, 2}, {15, 8}, {5, 8}}), true, kSquare);
    ASSERT_EQ(cut.size(), 1u);
    ExpectPolyline(cut[0], {{10, 8}, {5, 8}, {5, 2}, {10, 2}});
    EXPECT_TRUE(ClipPolyline(Poly({{20, 20}, {30, 20}, {30, 30}}), true, kSquare).empty());
}

TEST(ClipPolyline, DotsAndDegenerateInput) {
    EXPECT_EQ(ClipPolyline(Poly({{5, 5}}), false, kSquare).size(), 1u);
    EXPECT_EQ(ClipPolyline(Poly({{5, 5}, {5, 5}}), false, kSquare).front().size(), 1);
    EXPECT_TRUE(ClipPolyline(Poly({{15, 5}}), false, kSquare).empty());
    EXPECT_TRUE(ClipPolyline(QPolygonF(), false, kSquare).empty());
    EXPECT_TRUE(ClipPolyline(Poly({{0, 0}, {1, 1}}), false, Poly({{0, 0}, {1, 1}})).empty());
}

TEST(ClipArea, HoleAndConcaveClip) {
    // A 20 x 20 square with a 10 x 10 hole: 300. Clipped by the square 0..10: the quarter
    // x 0..10, y 0..10 of the area holds the hole's corner 5..10 x 5..10: 100 - 25 = 75.
    const std::vector<QPolygonF> area = {Poly({{0, 0}, {20, 0}, {20, 20}, {0, 20}}),
                                         Poly({{5, 5}, {15, 5}, {15, 15}, {5, 15}})};
    EXPECT_NEAR(EvenOddArea(area), 300, kTol);
    EXPECT_NEAR(EvenOddArea(ClipArea(area, kSquare)), 75, 1e-3);
    // Clipped by the U (x 0..30, y 0..20 less the notch 10..20 x 10..20): 300 minus the
    // notch's part of the area (10 x 10 less the hole's 5 x 5 corner): 225.
    EXPECT_NEAR(EvenOddArea(ClipArea(area, kU)), 225, 1e-3);
    // Wholly inside: unchanged.
    const std::vector<QPolygonF> small = {Poly({{2, 2}, {4, 2}, {4, 4}})};
    EXPECT_EQ(ClipArea(small, kSquare), small);
    EXPECT_TRUE(ClipArea(small, Poly({{50, 50}, {60, 50}, {60, 60}})).empty());
}

TEST(Dashes, FixedAndAdaptivePatterns) {
    const QPolygonF line = Poly({{0, 0}, {20, 0}});
    auto dashes = ApplyDashes(line, false, {6, 3}, false);
    ASSERT_EQ(dashes.size(), 3u);
    ExpectPolyline(dashes[0], {{0, 0}, {6, 0}});
    ExpectPolyline(dashes[1], {{9, 0}, {15, 0}});
    ExpectPolyline(dashes[2], {{18, 0}, {20, 0}});
    // Adaptive: two patterns and a dash: 20 = (2 * 9 + 6) * k, k = 5/6: dashes of 5,
    // gaps of 2.5, ending on a dash.
    dashes = ApplyDashes(line, false, {6, 3}, true);
    ASSERT_EQ(dashes.size(), 3u);
    ExpectPolyline(dashes[0], {{0, 0}, {5, 0}});
    ExpectPolyline(dashes[1], {{7.5, 0}, {12.5, 0}});
    ExpectPolyline(dashes[2], {{15, 0}, {20, 0}});
    // Too short for one pattern: drawn whole.
    dashes = ApplyDashes(Poly({{0, 0}, {5, 0}}), false, {6, 3}, true);
    ASSERT_EQ(dashes.size(), 1u);
    EXPECT_EQ(dashes[0].size(), 2);
}

TEST(Dashes, CornersDotsAndClosedLines) {
    // A dash running round a corner keeps the corner.
    auto dashes = ApplyDashes(Poly({{0, 0}, {4, 0}, {4, 10}}), false, {6, 4}, false);
    ASSERT_EQ(dashes.size(), 2u);
    ExpectPolyline(dashes[0], {{0, 0}, {4, 0}, {4, 2}});
    ExpectPolyline(dashes[1], {{4, 6}, {4, 10}});
    // Dots: dashes of no length.
    dashes = ApplyDashes(Poly({{0, 0}, {10, 0}}), false, {0, 5}, false);
    ASSERT_EQ(dashes.size(), 2u);
    ExpectPolyline(dashes[0], {{0, 0}});
    ExpectPolyline(dashes[1], {{5, 0}});
    // A closed square of perimeter 40 with 10/10: dashes along two opposite sides.
    dashes = ApplyDashes(kSquare, true, {10, 10}, false);
    ASSERT_EQ(dashes.size(), 2u);
    ExpectPolyline(dashes[0], {{0, 0}, {10, 0}});
    ExpectPolyline(dashes[1], {{10, 10}, {0, 10}});
    // No pattern: the line as it is.
    EXPECT_EQ(ApplyDashes(kSquare, false, {}, true).size(), 1u);
}

TEST(FillPatterns, ShapesInsideTheArea) {
    const std::vector<QPolygonF> square = {Poly({{0, 0}, {10, 0}, {10, 10}, {0, 10}})};
    EXPECT_EQ(FillPatternShapes(square, FillStyle::Solid).front(), square);
    // Bars 0.5 wide every 3 mm centred on y = 0, 3, 6, 9: a quarter bar at y = 0 and three
    // whole ones: 1.75 * 10.
    auto bars = FillPatternShapes(square, FillStyle::HorizontalBars);
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_NEAR(EvenOddArea(bars[0]), 17.5, 1e-3);
    bars = FillPatternShapes(square, FillStyle::VerticalBars);
    EXPECT_NEAR(EvenOddArea(bars[0]), 17.5, 1e-3);
    // Cross-hatching is two sets, each filled on its own.
    EXPECT_EQ(FillPatternShapes(square, FillStyle::Crosshatch).size(), 2u);
    // A checkerboard of 1.5 mm cells on a square aligned with it covers half.
    const std::vector<QPolygonF> six = {Poly({{0, 0}, {6, 0}, {6, 6}, {0, 6}})};
    EXPECT_NEAR(EvenOddArea(FillPatternShapes(six, FillStyle::Checkerboard)[0]), 18, 1e-3);
    for (FillStyle style : {FillStyle::Diamonds, FillStyle::SquareDots, FillStyle::SlantLeft,
                            FillStyle::SlantRight}) {
        const auto shapes = FillPatternShapes(square, style);
        ASSERT_EQ(shapes.size(), 1u);
        const double covered = EvenOddArea(shapes[0]);
        EXPECT_GT(covered, 0.5);
        EXPECT_LT(covered, 60);
    }
}

}  // namespace
