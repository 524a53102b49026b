// Paper geometry shared by the back ends: clipping against arbitrary simple polygons,
// dashing and fill patterns.
#include <gtest/gtest.h>

#include <sstream>

#include "engine/output/PaperGeometry.h"

using namespace vx::engine::output;
using vx::engine::plotstyle::FillStyle;

namespace {

QPolygonF Poly(std::initializer_list<QPointF> points) {
    return QPolygonF(points);
}

// A U open at the top: x 0..30, y 0..20, with the notch x 10..20, y 10..20 cut out.
const QPolygonF kU =
    Poly({{0, 0}, {30, 0}, {30, 20}, {20, 20}, {20, 10}, {10, 10}, {10, 20}, {0, 20}});
const QPolygonF kSquare = Poly({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
const QPolygonF kSquareCw = Poly({{0, 10}, {10, 10}, {10, 0}, {0, 0}});

// Parts as text to the 1e-6: "x,y x,y | x,y ...".
std::string Str(const std::vector<QPolygonF>& parts) {
    std::ostringstream s;
    s.precision(10);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        s << (i ? " |" : "");
        for (QPointF p : parts[i]) {
            s << " " << std::round(p.x() * 1e6) / 1e6 + 0.0 << ","
              << std::round(p.y() * 1e6) / 1e6 + 0.0;
        }
    }
    return s.str();
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

TEST(ClipPolyline, OpenAndClosedLinesAgainstConvexAndConcaveClips) {
    const struct {
        const char* name;
        QPolygonF line;
        bool closed;
        QPolygonF clip;
        const char* parts;
    } cases[] = {
        {"through a square", Poly({{-5, 5}, {15, 5}}), false, kSquare, " 0,5 10,5"},
        {"clip turning clockwise", Poly({{-5, 5}, {15, 5}}), false, kSquareCw, " 0,5 10,5"},
        {"split by the notch", Poly({{-5, 15}, {35, 15}}), false, kU, " 0,15 10,15 | 20,15 30,15"},
        {"below the notch", Poly({{-5, 5}, {35, 5}}), false, kU, " 0,5 30,5"},
        {"inner vertices kept", Poly({{-5, 2}, {5, 2}, {5, 8}, {15, 8}}), false, kSquare,
         " 0,2 5,2 5,8 10,8"},
        {"along the edge", Poly({{-5, 0}, {15, 0}}), false, kSquare, " 0,0 10,0"},
        {"closed inside: back to its start", Poly({{2, 2}, {8, 2}, {8, 8}}), true, kSquare,
         " 2,2 8,2 8,8 2,2"},
        {"closed, cut: joined across its start", Poly({{5, 2}, {15, 2}, {15, 8}, {5, 8}}), true,
         kSquare, " 10,8 5,8 5,2 10,2"},
        {"closed outside", Poly({{20, 20}, {30, 20}, {30, 30}}), true, kSquare, ""},
        {"a dot", Poly({{5, 5}}), false, kSquare, " 5,5"},
        {"a line of no length", Poly({{5, 5}, {5, 5}}), false, kSquare, " 5,5"},
        {"a dot outside", Poly({{15, 5}}), false, kSquare, ""},
        {"nothing", QPolygonF(), false, kSquare, ""},
        {"a clip of no area", Poly({{0, 0}, {1, 1}}), false, Poly({{0, 0}, {1, 1}}), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Str(ClipPolyline(c.line, c.closed, c.clip)), c.parts) << c.name;
    }
}

TEST(ClipArea, HoleAndConcaveClip) {
    // A 20 x 20 square with a 10 x 10 hole: 300. Clipped by the square 0..10: the quarter
    // x 0..10, y 0..10 of the area holds the hole's corner 5..10 x 5..10: 100 - 25 = 75.
    const std::vector<QPolygonF> area = {Poly({{0, 0}, {20, 0}, {20, 20}, {0, 20}}),
                                         Poly({{5, 5}, {15, 5}, {15, 15}, {5, 15}})};
    EXPECT_NEAR(EvenOddArea(area), 300, 1e-6);
    EXPECT_NEAR(EvenOddArea(ClipArea(area, kSquare)), 75, 1e-3);
    // Clipped by the U (x 0..30, y 0..20 less the notch 10..20 x 10..20): 300 minus the
    // notch's part of the area (10 x 10 less the hole's 5 x 5 corner): 225.
    EXPECT_NEAR(EvenOddArea(ClipArea(area, kU)), 225, 1e-3);
    // Wholly inside: unchanged.
    const std::vector<QPolygonF> small = {Poly({{2, 2}, {4, 2}, {4, 4}})};
    EXPECT_EQ(ClipArea(small, kSquare), small);
    EXPECT_TRUE(ClipArea(small, Poly({{50, 50}, {60, 50}, {60, 60}})).empty());
}

TEST(Dashes, FixedAndAdaptivePatternsCornersDotsAndClosedLines) {
    const QPolygonF line = Poly({{0, 0}, {20, 0}});
    const struct {
        const char* name;
        QPolygonF line;
        bool closed;
        std::vector<double> pattern;
        bool adaptive;
        const char* dashes;
    } cases[] = {
        {"fixed", line, false, {6, 3}, false, " 0,0 6,0 | 9,0 15,0 | 18,0 20,0"},
        // Two patterns and a dash: 20 = (2 * 9 + 6) * k, k = 5/6, ending on a dash.
        {"adaptive", line, false, {6, 3}, true, " 0,0 5,0 | 7.5,0 12.5,0 | 15,0 20,0"},
        {"shorter than a pattern", Poly({{0, 0}, {5, 0}}), false, {6, 3}, true, " 0,0 5,0"},
        {"round a corner",
         Poly({{0, 0}, {4, 0}, {4, 10}}),
         false,
         {6, 4},
         false,
         " 0,0 4,0 4,2 | 4,6 4,10"},
        {"dots", Poly({{0, 0}, {10, 0}}), false, {0, 5}, false, " 0,0 | 5,0"},
        {"closed square", kSquare, true, {10, 10}, false, " 0,0 10,0 | 10,10 0,10"},
        {"no pattern", kSquare, false, {}, true, " 0,0 10,0 10,10 0,10"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Str(ApplyDashes(c.line, c.closed, c.pattern, c.adaptive)), c.dashes) << c.name;
    }
}

TEST(FillPatterns, ShapesInsideTheArea) {
    const std::vector<QPolygonF> square = {kSquare};
    EXPECT_EQ(FillPatternShapes(square, FillStyle::Solid).front(), square);
    // Bars 0.5 wide every 3 mm centred on y = 0, 3, 6, 9: a quarter bar at y = 0 and three
    // whole ones: 1.75 * 10.
    for (FillStyle bars : {FillStyle::HorizontalBars, FillStyle::VerticalBars}) {
        const auto shapes = FillPatternShapes(square, bars);
        ASSERT_EQ(shapes.size(), 1u);
        EXPECT_NEAR(EvenOddArea(shapes[0]), 17.5, 1e-3);
    }
    // Cross-hatching is two sets, each filled on its own.
    EXPECT_EQ(FillPatternShapes(square, FillStyle::Crosshatch).size(), 2u);
    // A checkerboard of 1.5 mm cells on a square aligned with it covers half.
    const std::vector<QPolygonF> six = {Poly({{0, 0}, {6, 0}, {6, 6}, {0, 6}})};
    EXPECT_NEAR(EvenOddArea(FillPatternShapes(six, FillStyle::Checkerboard)[0]), 18, 1e-3);
    for (FillStyle style : {FillStyle::Diamonds, FillStyle::SquareDots, FillStyle::SlantLeft,
                            FillStyle::SlantRight}) {
        const auto shapes = FillPatternShapes(square, style);
        ASSERT_EQ(shapes.size(), 1u);
        EXPECT_GT(EvenOddArea(shapes[0]), 0.5);
        EXPECT_LT(EvenOddArea(shapes[0]), 60);
    }
}

}  // namespace
