// The geometry layer where it decides something: the arc of a polyline bulge, the object
// coordinate system of an extrusion (including the switch of axis near the world z axis),
// cutting lines and rays to a rectangle, polylines to a polygon, areas by areas under both
// fill rules, and dashing by a plot style's pattern.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "engine/geom/Area.h"
#include "engine/geom/Clip.h"
#include "engine/geom/Curves.h"
#include "engine/geom/Dashes.h"
#include "engine/geom/Polygon.h"
#include "engine/geom/Transform.h"

using namespace vx::engine::geom;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Bulge, ArcThroughBothEndsOnTheSideTheSignSays) {
    const struct {
        double ax, ay, bx, by, bulge;
        bool arc;
        double cx, cy, radius, sweep;
    } cases[] = {
        {0, 0, 2, 0, 1, true, 1, 0, 1, kPi},    // half circle, counter-clockwise
        {0, 0, 2, 0, -1, true, 1, 0, 1, -kPi},  // clockwise
        {0, 0, 2, 0, std::tan(kPi / 8), true, 1, 1, std::sqrt(2.0), kPi / 2},  // quarter
        {0, 0, 2, 0, -std::tan(kPi / 8), true, 1, -1, std::sqrt(2.0), -kPi / 2},
        {5, 5, 5, 9, 1, true, 5, 7, 2, kPi},  // vertical chord: centre on it
        {0, 0, 2, 0, 0, false, 0, 0, 0, 0},
        {0, 0, 2, 0, 1e-12, false, 0, 0, 0, 0},  // as good as straight
        {3, 3, 3, 3, 1, false, 0, 0, 0, 0},      // no chord
        {0, 0, 2, 0, std::nan(""), false, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "bulge " << c.bulge << " to " << c.bx << "," << c.by);
        BulgeArc arc;
        ASSERT_EQ(BulgeGeometry(c.ax, c.ay, c.bx, c.by, c.bulge, arc), c.arc);
        if (!c.arc) {
            continue;
        }
        EXPECT_NEAR(arc.cx, c.cx, 1e-12);
        EXPECT_NEAR(arc.cy, c.cy, 1e-12);
        EXPECT_NEAR(arc.radius, c.radius, 1e-12);
        EXPECT_NEAR(arc.sweep, c.sweep, 1e-12);
        // It starts at a and sweeps to b.
        EXPECT_NEAR(arc.cx + arc.radius * std::cos(arc.start), c.ax, 1e-12);
        EXPECT_NEAR(arc.cy + arc.radius * std::sin(arc.start), c.ay, 1e-12);
        EXPECT_NEAR(arc.cx + arc.radius * std::cos(arc.start + arc.sweep), c.bx, 1e-12);
        EXPECT_NEAR(arc.cy + arc.radius * std::sin(arc.start + arc.sweep), c.by, 1e-12);
    }
}

TEST(ObjectCoordinates, ArbitraryAxisAlgorithm) {
    const double nz = 1 / std::hypot(0.01, 1.0);
    const struct {
        Vec3 extrusion;
        Vec3 xAxis, yAxis;  // where the OCS x and y axes go
    } cases[] = {
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},
        {{0, 0, 7}, {1, 0, 0}, {0, 1, 0}},  // length does not matter
        {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},  // no direction: the world's axes
        {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        // Inside 1/64 of the z axis x comes from the world's y axis, outside from its z axis.
        {{0.01, 0, 1}, {nz, 0, -0.01 * nz}, {0, 1, 0}},
        {{0.02, 0, 1}, {0, 1, 0}, {-1 / std::hypot(0.02, 1.0), 0, 0.02 / std::hypot(0.02, 1.0)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "extrusion " << c.extrusion.x << "," << c.extrusion.y
                                        << "," << c.extrusion.z);
        const Transform m = OcsToWorld(c.extrusion);
        const Vec3 normal = Length(c.extrusion) > 0 ? Normalized(c.extrusion) : Vec3{0, 0, 1};
        const Vec3 got[3] = {m.Apply({1, 0, 0}), m.Apply({0, 1, 0}), m.Apply({0, 0, 1})};
        const Vec3 want[3] = {c.xAxis, c.yAxis, normal};
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(got[i].x, want[i].x, 1e-12) << "axis " << i;
            EXPECT_NEAR(got[i].y, want[i].y, 1e-12) << "axis " << i;
            EXPECT_NEAR(got[i].z, want[i].z, 1e-12) << "axis " << i;
        }
    }
}

TEST(ClipLine, CutsToTheRectangleEdgesIncluded) {
    const Rect box{0, 0, 10, 10};
    const struct {
        const char* what;
        Vec2 p, d;
        double t0, t1;
        bool kept;
        double want0, want1;
    } cases[] = {
        {"crossing", {-5, 5}, {20, 0}, 0, 1, true, 0.25, 0.75},
        {"inside", {2, 2}, {1, 1}, 0, 1, true, 0, 1},
        {"along an edge", {0, -5}, {0, 20}, 0, 1, true, 0.25, 0.75},
        {"beside, parallel", {-1, 5}, {0, 1}, 0, 1, false, 0, 0},
        {"short of the box", {-5, 5}, {1, 0}, 0, 1, false, 0, 0},
        {"through a corner only", {-5, 5}, {1, -1}, 0, 20, false, 0, 0},
        {"endless line", {5, 5}, {1, 1}, -kInf, kInf, true, -5, 5},
        {"ray from inside", {5, 5}, {1, 0}, 0, kInf, true, 0, 5},
        {"ray pointing away", {20, 5}, {1, 0}, 0, kInf, false, 0, 0},
        {"broken point", {std::nan(""), 5}, {1, 0}, -kInf, kInf, false, 0, 0},
    };
    for (const auto& c : cases) {
        double t0 = c.t0, t1 = c.t1;
        ASSERT_EQ(ClipLine(c.p, c.d, box, t0, t1), c.kept) << c.what;
        if (c.kept) {
            EXPECT_DOUBLE_EQ(t0, c.want0) << c.what;
            EXPECT_DOUBLE_EQ(t1, c.want1) << c.what;
        }
    }
    double t0 = -kInf, t1 = kInf;
    EXPECT_FALSE(ClipLine({0, 0}, {1, 0}, Rect::Empty(), t0, t1)) << "an empty box keeps nothing";
}

// Parts as text, "x,y x,y | x,y", to compare whole results at once.
std::string Text(const std::vector<Polygon>& parts) {
    std::string out;
    for (const Polygon& part : parts) {
        out += out.empty() ? "" : " | ";
        for (std::size_t i = 0; i < part.size(); ++i) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%s%g,%g", i ? " " : "", part[i].x, part[i].y);
            out += buf;
        }
    }
    return out;
}

TEST(ClipPolyline, KeepsWhatLiesInsideAnyPolygon) {
    // A U open at the top: x 0..30, y 0..20, the notch x 10..20 down to y 10.
    const Polygon u{{0, 0}, {30, 0}, {30, 20}, {20, 20}, {20, 10}, {10, 10}, {10, 20}, {0, 20}};
    const struct {
        const char* what;
        Polygon line;
        bool closed;
        Polygon clip;
        const char* want;
    } cases[] = {
        {"across the notch: two parts", {{-5, 15}, {35, 15}}, false, u, "0,15 10,15 | 20,15 30,15"},
        {"under the notch: one part", {{-5, 5}, {35, 5}}, false, u, "0,5 30,5"},
        {"along the notch's floor counts inside",
         {{5, 10}, {25, 10}},
         false,
         u,
         "5,10 10,10 20,10 25,10"},
        {"wholly outside", {{40, 0}, {50, 10}}, false, u, ""},
        {"a dot inside", {{5, 5}}, false, u, "5,5"},
        {"a dot on the boundary", {{0, 5}}, false, u, "0,5"},
        {"a dot in the notch", {{15, 15}}, false, u, ""},
        // A closed ring cut once: the part after the cut runs on into the first.
        {"closed ring cut at one side",
         {{5, 2}, {40, 2}, {40, 8}, {5, 8}},
         true,
         u,
         "30,8 5,8 5,2 30,2"},
        {"closed ring inside ends at its start",
         {{2, 2}, {8, 2}, {8, 8}},
         true,
         u,
         "2,2 8,2 8,8 2,2"},
        {"a clip of two points keeps nothing", {{0, 0}, {5, 5}}, false, {{0, 0}, {9, 9}}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text(ClipPolyline(c.line, c.closed, c.clip)), c.want) << c.what;
    }
}

Polygon Sq(double x0, double y0, double x1, double y1) {
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

// Area, rings and box of an intersection: "64/2 0,0 10,10"; "" when empty.
std::string AreaText(const std::vector<Polygon>& rings) {
    if (rings.empty()) {
        return "";
    }
    Rect box = Rect::Empty();
    for (const Polygon& ring : rings) {
        box.Include(BoundsOf(ring));
    }
    char buf[160];
    std::snprintf(buf, sizeof buf, "%.7g/%zu %.3f,%.3f %.3f,%.3f", EvenOddArea(rings), rings.size(),
                  box.xmin, box.ymin, box.xmax, box.ymax);
    std::string text = buf;
    for (std::size_t at; (at = text.find(".000")) != std::string::npos;) {
        text.erase(at, 4);
    }
    return text;
}

TEST(IntersectAreas, KeepsHolesAndHonoursBothFillRules) {
    constexpr FillRule kEo = FillRule::EvenOdd, kNz = FillRule::NonZero;
    constexpr double kFar = 1e7;  // 10 km from the origin
    const Polygon frame = Sq(0, 0, 10, 10), inner = Sq(2, 2, 8, 8);
    const Polygon innerCw(inner.rbegin(), inner.rend());
    const std::vector<Polygon> two{Sq(0, 0, 6, 10), Sq(4, 0, 10, 10)};  // overlapping
    const struct {
        const char* what;
        std::vector<Polygon> subject;
        FillRule subjectRule;
        std::vector<Polygon> clip;
        FillRule clipRule;
        const char* want;
    } cases[] = {
        {"hole inside the clip", {frame, inner}, kEo, {Sq(-1, -1, 11, 11)}, kEo, "64/2 0,0 10,10"},
        {"hole cut open", {frame, inner}, kEo, {Sq(5, -5, 20, 20)}, kEo, "32/1 5,0 10,10"},
        {"corner cut off",
         {{{0, 0}, {10, 0}, {0, 10}}},
         kEo,
         {Sq(-5, 5, 5, 15)},
         kEo,
         "12.5/1 0,5 5,10"},
        {"nested, even-odd", {frame, inner}, kEo, {frame}, kEo, "64/2 0,0 10,10"},
        {"nested, non-zero", {frame, inner}, kNz, {frame}, kEo, "100/1 0,0 10,10"},
        {"nested opposite, non-zero", {frame, innerCw}, kNz, {frame}, kEo, "64/2 0,0 10,10"},
        {"clip rings, non-zero", {frame}, kEo, two, kNz, "100/1 0,0 10,10"},
        {"clip rings, even-odd", {frame}, kEo, two, kEo, "80/2 0,0 10,10"},
        {"clip of no area", {frame}, kEo, {{{0, 0}, {5, 5}, {10, 10}}}, kEo, ""},
        {"clip of two points", {frame}, kEo, {{{0, 0}, {10, 10}}}, kEo, ""},
        {"clip only touching", {frame}, kEo, {Sq(10, 0, 20, 10)}, kEo, ""},
        {"broken point",
         {{{0, 0}, {10, 0}, {kInf, 5}, {10, 10}, {0, 10}}},
         kEo,
         {frame},
         kEo,
         "100/1 0,0 10,10"},
        {"far away",
         {Sq(kFar, kFar, kFar + 10, kFar + 10)},
         kEo,
         {Sq(kFar + 2.5, kFar - 1, kFar + 20, kFar + 7.25)},
         kEo,
         "54.375/1 10000002.500,10000000 10000010,10000007.250"},
        {"huge, cut to a sheet",
         {Sq(-1e16, -1e16, 1e16, 1e16)},
         kEo,
         {Sq(0, 0, 420, 297)},
         kEo,
         "124740/1 0,0 420,297"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AreaText(IntersectAreas(c.subject, c.subjectRule, c.clip, c.clipRule)), c.want)
            << c.what;
    }
    // An area wholly inside a clip polygon comes back as it was, to the bit.
    const std::vector<Polygon> area{{{1.1, 1.3}, {7.7, 1.9}, {4.4, 8.8}}};
    EXPECT_EQ(ClipArea(area, frame), area);
}

TEST(ApplyDashes, PatternsAlongALine) {
    const Polygon line{{0, 0}, {10, 0}, {10, 10}};  // 20 long, turning at 10
    const struct {
        const char* what;
        std::vector<double> pattern;
        bool adaptive;
        const char* want;
    } cases[] = {
        {"dashes keep the corner", {6, 2}, false, "0,0 6,0 | 8,0 10,0 10,4 | 10,6 10,10"},
        {"dots are single points", {0, 5}, false, "0,0 | 5,0 | 10,0 | 10,5"},
        {"adaptive: stretched to whole patterns",
         {6, 2},
         true,
         "0,0 5.45455,0 | 7.27273,0 10,0 10,2.72727 | 10,4.54545 10,10"},
        {"adaptive: squeezed to end on a dash",
         {5, 5},
         true,
         "0,0 4,0 | 8,0 10,0 10,2 | 10,6 10,10"},
        {"adaptive dots reach the end", {0, 6}, true, "0,0 | 6.66667,0 | 10,3.33333 | 10,10"},
        {"adaptive, shorter than the pattern: whole", {15, 15}, true, "0,0 10,0 10,10"},
        {"no pattern: whole", {}, false, "0,0 10,0 10,10"},
        {"pattern without length: whole", {0, 0}, false, "0,0 10,0 10,10"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text(ApplyDashes(line, false, c.pattern, c.adaptive)), c.want) << c.what;
    }
    // A closed square runs back to its first corner.
    EXPECT_EQ(Text(ApplyDashes({{0, 0}, {4, 0}, {4, 4}, {0, 4}}, true, {6, 2}, false)),
              "0,0 4,0 4,2 | 4,4 0,4 0,2");
}

}  // namespace
