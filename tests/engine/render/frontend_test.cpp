// The renderer's frontend through a recording page sink: entity properties resolved through
// layers, blocks, plot style tables and linetypes; geometry and hatches; text and its fonts;
// viewports, raster images and wipeouts; and the report of what was substituted or left out.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <filesystem>
#include <functional>
#include <map>
#include <numbers>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "RenderTools.h"
#include "engine/db/Extents.h"
#include "engine/fonts/FontResolver.h"
#include "engine/plotstyle/Aci.h"
#include "engine/plotstyle/PlotStyleTable.h"
#include "engine/render/Hatching.h"

using namespace vx::engine;
using namespace vx::testing;
using plotstyle::Rgb;

namespace {

using geom::Vec2;

double Dist(Vec2 a, Vec2 b) {
    return geom::Length(a - b);
}

// The largest distance of any chord's middle from a circle (centre c, radius r).
double ChordError(const geom::Polygon& pts, bool closed, Vec2 c, double r) {
    double worst = 0;
    const std::size_t n = pts.size();
    for (std::size_t i = 0; i + (closed ? 0 : 1) < n; ++i) {
        worst = std::max(worst, std::abs(Dist((pts[i] + pts[(i + 1) % n]) / 2, c) - r));
    }
    return worst;
}

bool Passes(const geom::Polygon& pts, Vec2 p) {
    return std::any_of(pts.begin(), pts.end(), [&](Vec2 q) { return Near(q, p, 1e-9); });
}

}  // namespace

TEST(Curves, CirclesKeepToTheToleranceAtAnyPlottedSize) {
    Drawing w;
    w.Add(w.model, db::EntityType::Circle, db::Circle{{100, 100, 0}, 80, 0});
    for (double tol : {0.01, 0.1}) {
        render::RenderOptions o;
        o.curveTolerance = tol;
        const auto s = Draw(w.d, 0, o)->strokes.at(0);
        EXPECT_TRUE(s.closed);
        EXPECT_LE(ChordError(s.points, true, {100, 100}, 80), tol);
        EXPECT_GT(ChordError(s.points, true, {100, 100}, 80), tol / 4);  // not wastefully fine
    }
}

TEST(Curves, ArcsAndEllipticalArcsRunCounterClockwiseInTheirPlane) {
    Drawing w;
    w.Add(w.model, db::EntityType::Arc, db::Arc{{50, 50, 0}, 10, 270, 0, 0});  // across 0
    // Extrusion (0,0,-1): the plane seen from below, x mirrored.
    w.Add(w.model, db::EntityType::Arc, db::Arc{{10, 0, 0}, 5, 0, 90, 0}).props.extrusion = {0, 0,
                                                                                             -1};
    w.Add(w.model, db::EntityType::Ellipse,
          db::Ellipse{{100, 0, 0}, {0, 40, 0}, 0.5, 0, std::numbers::pi / 2});
    const auto p = Draw(w.d, 0, {}, page::Affine::Translation(100, 100));
    const Vec2 want[][2] = {
        {{150, 140}, {160, 150}}, {{85, 100}, {90, 105}}, {{200, 140}, {180, 100}}};
    ASSERT_EQ(p->strokes.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(Near(p->strokes[i].points.front(), want[i][0]) &&
                    Near(p->strokes[i].points.back(), want[i][1]))
            << i;
    }
}

TEST(Curves, SplinesByFitPointsPassThroughThem) {
    Drawing d;
    const db::Spline fit{.fitPoints = {{0, 100, 0}, {30, 130, 0}, {60, 100, 0}, {90, 130, 0}}};
    d.Add(d.model, db::EntityType::Spline, fit);
    const auto p = Draw(d.d);
    for (const auto& q : fit.fitPoints) {
        EXPECT_TRUE(Passes(p->strokes.at(0).points, {q.x, q.y}));
    }
    EXPECT_GT(p->strokes[0].points.size(), 20);  // a curve, not the polygon of the points
}

TEST(Polylines, BulgesAndWidths) {
    Drawing w;
    // Bulge 1: a half circle, counter-clockwise from (0,0) to (20,0): below the chord.
    w.Add(w.model, db::EntityType::LwPolyline,
          db::LwPolyline{.vertices = {{0, 0, 0, 0, 1}, {20, 0}}});
    // One width throughout: a wide stroke with square-cut ends; tapering: a filled outline.
    w.Add(w.model, db::EntityType::LwPolyline,
          db::LwPolyline{.vertices = {{0, 50}, {50, 50}, {50, 90}}, .constantWidth = 2});
    w.Add(w.model, db::EntityType::LwPolyline,
          db::LwPolyline{.vertices = {{0, 100, 4, 0, 0}, {30, 100, 0, 0, 0}}});
    const auto p = Draw(w.d, 0, {}, page::Affine::Translation(100, 100));
    ASSERT_EQ(p->strokes.size(), 2u);
    const auto& pts = p->strokes[0].points;
    EXPECT_TRUE(Near(pts.back(), {120, 100}) && Passes(pts, {110, 90}));
    EXPECT_DOUBLE_EQ(p->strokes[1].pen.lineweight, 2.0);
    EXPECT_EQ(p->strokes[1].pen.cap, plotstyle::LineCap::Butt);
    ASSERT_EQ(p->fills.size(), 1u);
    EXPECT_TRUE(Near(geom::BoundsOf(p->fills[0].rings[0]), {100, 198, 130, 202}, 1e-9));
}

TEST(Polylines, OldStylePolylinesMeshesFacesAndSolids) {
    Drawing w;
    db::Polyline p2{.flags = db::Polyline::kClosed};
    for (auto [x, y] : {std::pair{0.0, 0.0}, {10.0, 0.0}, {10.0, 10.0}}) {
        p2.vertices.push_back({.position = {x, y, 0}});
    }
    w.Add(w.model, db::EntityType::Polyline, p2);
    // A 2 x 3 mesh: 2 runs of 3 and 3 runs of 2.
    db::Polyline mesh{.flags = db::Polyline::kPolygonMesh, .meshM = 2, .meshN = 3};
    for (int i = 0; i < 6; ++i) {
        mesh.vertices.push_back(
            {.position = {100.0 + i % 3 * 10, 100.0 + i / 3 * 10, 0}, .flags = 64});
    }
    w.Add(w.model, db::EntityType::Polyline, mesh);
    db::Face face{{{0, 50, 0}, {10, 50, 0}, {10, 60, 0}, {0, 60, 0}}};
    face.invisibleEdges = 2;  // the second edge hidden
    w.Add(w.model, db::EntityType::Face3d, face);
    // A solid's corners 1-2-4-3 make a square, not a bow tie.
    w.Add(w.model, db::EntityType::Solid,
          db::Face{{{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {10, 10, 0}}}, Props(0, Aci(1)));
    const auto p = Draw(w.d);
    std::vector<std::size_t> sizes;
    for (const auto& s : p->strokes) {
        sizes.push_back(s.points.size());
    }
    EXPECT_EQ(sizes,
              (std::vector<std::size_t>{3, 3, 3, 2, 2, 2, 2, 2, 2, 4}));  // the solid outlined
    EXPECT_TRUE(p->strokes[0].closed);
    const geom::Polygon& ring = p->fills.at(0).rings[0];
    EXPECT_TRUE(ring.size() == 4 && Near(ring[2], {10, 10}) && Near(ring[3], {0, 10}));
    EXPECT_EQ(p->fills[0].pen.color, (plotstyle::Rgb{255, 0, 0}));
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
}

TEST(BlockReferences, CyclesEndAtTheDepthLimit) {
    Drawing w;
    const auto a = w.Block("A"), b = w.Block("B");
    w.AddLine(a, {0, 0, 0}, {1, 0, 0});
    w.AddInsert(a, b, {0, 0, 0});
    w.AddInsert(b, a, {0, 0, 0});
    w.AddInsert(w.model, a, {0, 0, 0});
    const auto p = Draw(w.d);
    EXPECT_FALSE(p->strokes.empty());
    EXPECT_TRUE(Has(p.report.warnings.at(0), "nested deeper"));
}

// Construction lines reach across the visible page or plot area and no further; zooming to
// the extents leaves them out.
TEST(ConstructionLines, CutToTheVisiblePageAndLeftOutOfTheExtents) {
    Drawing w;
    w.AddLine(w.model, {10, 10, 0}, {20, 30, 0});
    w.Add(w.model, db::EntityType::XLine, db::XLine{{100, 100, 0}, {1, 1, 0}});
    w.Add(w.model, db::EntityType::Ray, db::XLine{{100, 50, 0}, {-2, 0, 0}});
    EXPECT_EQ(db::ModelExtents(w.d).max, (db::Vec3{20, 30, 0}));
    auto p = Draw(w.d);  // 420 x 297
    ASSERT_EQ(p->strokes.size(), 3u);
    EXPECT_TRUE(Near(p->strokes[1].points.front(), {0, 0}) &&
                Near(p->strokes[1].points.back(), {297, 297}));
    EXPECT_TRUE(Near(p->strokes[2].points.back(), {0, 50}));
}

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
        const Vec2 mid = (s.points[0] + s.points[1]) / 2;
        // Strictly inside the hole (a line along its edge is no fault).
        EXPECT_FALSE(mid.x > 30.001 && mid.x < 69.999 && mid.y > 30.001 && mid.y < 69.999);
        crossing += s.points[0].y > 30 && s.points[0].y < 70;
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
    EXPECT_TRUE(Near(geom::BoundsOf(rings[0]), {50, 50, 150, 150}, 0.01));
    EXPECT_TRUE(Near(geom::BoundsOf(rings[1]), {80, 90, 120, 110}, 0.01));
    EXPECT_NEAR(geom::EvenOddArea(rings), std::numbers::pi * (2500 - 200), 15);
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

namespace {

#define REQUIRE_STROKE_FONTS()                                                       \
    if (!std::filesystem::exists("/usr/share/librecad/fonts/romans.lff")) {          \
        GTEST_SKIP() << "LibreCAD's stroke fonts are not installed (librecad-data)"; \
    }

struct TextTest : ::testing::Test {
    Drawing w;
    fonts::FontResolver fonts;
    db::StyleId romans =
        w.Push(w.d.textStyles, db::TextStyle{.name = "R", .fontFile = "romans.shx"});

    db::Text Make(std::string s, double x, double y, double h = 10) {
        return {.position = {x, y, 0}, .height = h, .style = romans, .text = std::move(s)};
    }
    Plot DrawAll() {
        render::RenderOptions o;
        o.fonts = &fonts;
        return Draw(w.d, 0, o);
    }
    // Bounds of one text drawn alone; `last` keeps its plot.
    page::Rect Alone(const db::Text& t) {
        w.d.blocks[w.model].entities.clear();
        w.Add(w.model, db::EntityType::Text, t);
        last = DrawAll();
        return last->Bounds();
    }
    Plot last;
};

}  // namespace

// One text of "HIH", 10 high at (100, 100): where a change of its alignment or form puts its
// box (NaN: not checked), in terms of the plain text's width w.
TEST_F(TextTest, AlignmentsWidthRotationAndGeneration) {
    REQUIRE_STROKE_FONTS();
    const double w = Alone(Make("HIH", 100, 100)).Width(), x = std::nan("");
    EXPECT_GT(w, 15);
    const auto at = [](std::int16_t h, std::int16_t v) {
        return [h, v](db::Text& t) {
            t.alignPoint = {200, 100, 0};
            t.hasAlignPoint = true;
            t.halign = h;
            t.valign = v;
        };
    };
    const struct {
        const char* what;
        std::function<void(db::Text&)> change;
        page::Rect box;
    } cases[] = {
        {"plain: capitals one height high", [](db::Text&) {}, {100, 100, 100 + w, 110}},
        {"right", at(2, 0), {200 - w, x, 200, x}},
        {"middle", at(4, 0), {x, 95, x, 105}},
        {"turned left", [](db::Text& t) { t.rotation = 90; }, {x, 100, 100, 100 + w}},
        {"backwards", [](db::Text& t) { t.generation = 2; }, {100 - w, x, 100, x}},
    };
    for (const auto& c : cases) {
        auto t = Make("HIH", 100, 100);
        c.change(t);
        const auto box = Alone(t);
        const double got[] = {box.xmin, box.ymin, box.xmax, box.ymax};
        const double want[] = {c.box.xmin, c.box.ymin, c.box.xmax, c.box.ymax};
        for (int i = 0; i < 4; ++i) {
            if (!std::isnan(want[i])) {
                EXPECT_NEAR(got[i], want[i], 0.05) << c.what << ", side " << i;
            }
        }
    }
}

TEST_F(TextTest, UnderlineIsOneStrokeBelowTheText) {
    REQUIRE_STROKE_FONTS();
    const auto plain = Alone(Make("HIH", 10, 100));
    const auto plainStrokes = last->strokes.size();
    const auto under = Alone(Make("%%uHIH", 10, 100));
    EXPECT_EQ(last->strokes.size(), plainStrokes + 1);
    EXPECT_LT(under.ymin, plain.ymin - 1);
}

TEST_F(TextTest, TrueTypeTextIsFilledOutlinesAtCapitalHeight) {
    auto t = Make("HH", 50, 50);
    t.style = w.Push(w.d.textStyles, db::TextStyle{.name = "A", .fontFile = "arial.ttf"});
    const auto box = Alone(t);
    EXPECT_TRUE(!last->glyphs.empty() && last->strokes.empty());
    EXPECT_NEAR(box.ymin, 50, 0.1);
    EXPECT_NEAR(box.ymax, 60, 0.3);
}

TEST_F(TextTest, SubstitutionsAreReportedAndMissingFontsWarned) {
    REQUIRE_STROKE_FONTS();
    w.Add(w.model, db::EntityType::Text, Make("HI", 10, 10));
    EXPECT_TRUE(Has(DrawAll().report.substitutions.at(0), "romans.shx drawn with romans.lff"));
    const auto noFonts = Draw(w.d);
    EXPECT_TRUE(noFonts->strokes.empty());
    EXPECT_TRUE(Has(noFonts.report.warnings.at(0), "no fonts"));
}

TEST_F(TextTest, ComplexLinetypesCarryTheirTexts) {
    REQUIRE_STROKE_FONTS();
    w.d.textStyles[romans].handle = 0x11;
    db::Linetype gas{.name = "GAS_LINE"};
    gas.elements = {{.length = 0.5},
                    {.length = -0.2,
                     .type = 2,
                     .style = 0x11,
                     .scale = 0.1,
                     .offsetX = -0.1,
                     .offsetY = -0.05,
                     .text = "GAS"},
                    {.length = -0.25}};
    const auto lt = w.Push(w.d.linetypes, gas);
    w.d.header.ltScale = 20;  // a 19 mm pattern, texts 2 mm high
    w.AddLine(w.model, {0, 100, 0}, {190, 100, 0}, Props(0, {}, db::kLineweightByLayer, lt));
    const auto p = DrawAll();
    EXPECT_GE(p->strokes.size(), 10u + 10u * 4u);  // ten dashes; G, A, S: four strokes or more
    const auto box = p->Bounds();                  // the texts centred on the line
    EXPECT_TRUE(box.ymin >= 98.95 && box.ymax <= 101.05 && box.xmax <= 190.001);
    // A shape element cannot be drawn without its shape file: reported, the line still is.
    w.d.linetypes[lt].elements[1].type = 4;
    const auto shapes = DrawAll();
    EXPECT_EQ(shapes->strokes.size(), 10u);
    EXPECT_TRUE(Has(shapes.report.warnings.at(0), "GAS_LINE"));
}

// MTEXT on the page, attached at its top left: the capitals hang from the insertion and
// paragraphs are five thirds of the height apart; words wrap at the reference width.
TEST_F(TextTest, MTextParagraphsAndWrapping) {
    REQUIRE_STROKE_FONTS();
    db::MText m;
    m.position = {100, 100, 0};
    m.height = 10;
    m.attachment = 1;
    m.style = romans;
    m.text = "H\\PH";
    w.Add(w.model, db::EntityType::MText, m);
    auto box = DrawAll()->Bounds();
    EXPECT_NEAR(box.ymax, 100, 0.05);
    EXPECT_NEAR(box.ymin, 100 - 10 - 10 * 5.0 / 3, 0.05);
    m.text = "alpha beta gamma delta epsilon zeta eta theta";
    m.height = 5;
    m.rectWidth = 40;
    w.d.blocks[w.model].entities.clear();
    w.Add(w.model, db::EntityType::MText, m);
    box = DrawAll()->Bounds();
    EXPECT_LE(box.xmax, 140.001);
    EXPECT_LT(box.ymin, 100 - 5 - 2 * 5 * 5.0 / 3);  // three lines or more
}

// Text that names no text style is drawn in the drawing's "Standard" style and its font:
// TrueType outlines or strokes.
TEST_F(TextTest, WithoutAStyleInTheStandardStylesFont) {
    REQUIRE_STROKE_FONTS();
    const struct {
        const char* what;
        const char* standardFont;  // the Standard style's font, or nullptr for no such style
        bool ownStyle;             // the text names a style of its own (romans)
        bool mtext;
        bool outlines;
    } cases[] = {
        {"TEXT without a style, Standard in Arial", "arial.ttf", false, false, true},
        {"MTEXT without a style, Standard in Arial", "arial.ttf", false, true, true},
        {"TEXT without a style, Standard in a stroke font", "txt.shx", false, false, false},
        {"TEXT without a style and no Standard", nullptr, false, false, false},
        {"TEXT in a style of its own beside an Arial Standard", "arial.ttf", true, false, false},
    };
    for (const auto& c : cases) {
        w = Drawing();
        romans = w.Push(w.d.textStyles, db::TextStyle{.name = "R", .fontFile = "romans.shx"});
        if (c.standardFont) {
            w.Push(w.d.textStyles, db::TextStyle{.name = "Standard", .fontFile = c.standardFont});
        }
        db::Text text = Make("HH", 50, 50);
        text.style = c.ownStyle ? romans : db::kNone;
        if (c.mtext) {
            w.Add(w.model, db::EntityType::MText,
                  db::MText{.position = text.position, .height = 10, .text = "HH"});
        } else {
            w.Add(w.model, db::EntityType::Text, text);
        }
        const auto p = DrawAll();
        EXPECT_EQ(!p->glyphs.empty(), c.outlines) << c.what;
        EXPECT_EQ(p->strokes.empty(), c.outlines) << c.what;
    }
}

namespace {

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kYellow{255, 255, 0};
using Pen = std::pair<Rgb, double>;

// The colour and lineweight of each stroke, in order.
std::vector<Pen> Pens(const Plot& p) {
    std::vector<Pen> out;
    for (const auto& s : p->strokes) {
        out.emplace_back(s.pen.color, std::round(s.pen.lineweight * 1e6) / 1e6);
    }
    return out;
}

}  // namespace

TEST(ResolvedProperties, ByBlockFollowsTheReferenceThroughTwoLevels) {
    Drawing w;
    const auto byBlock = Props(0, Aci(0), db::kLineweightByBlock, db::kByBlock);
    const auto inner = w.Block("INNER");
    w.AddLine(inner, {0, 0, 0}, {10, 0, 0}, byBlock);
    const auto outer = w.Block("OUTER");
    w.AddInsert(outer, inner, {0, 0, 0}, byBlock);
    w.AddInsert(w.model, outer, {0, 0, 0}, Props(0, Aci(3), 70, w.Linetype("DASHED", {2, -1})));
    // ByLayer: the layer's colour, lineweight and linetype (ten dashes).
    const auto walls = w.Layer("WALLS", 5, 18);
    w.LayerAt(walls).linetype = w.Linetype("LONG", {5, -5});
    w.AddLine(w.model, {0, 50, 0}, {100, 50, 0}, Props(walls));
    // ByBlock at the top level: white on screen, black on paper, default lineweight.
    w.AddLine(w.model, {0, 100, 0}, {1, 100, 0}, Props(0, Aci(0), db::kLineweightByBlock));
    w.AddLine(w.model, {0, 101, 0}, {1, 101, 0}, Props(0, db::Color::FromRgb(0x336699, 5)));
    auto want = std::vector<Pen>(4, Pen{{0, 255, 0}, 0.70});  // 10 mm in 2+1 dashes
    want.insert(want.end(), 10, Pen{kBlue, 0.18});
    want.insert(want.end(), {Pen{plotstyle::kBlack, 0.25}, Pen{{0x33, 0x66, 0x99}, 0.25}});
    EXPECT_EQ(Pens(Draw(w.d)), want);
}

TEST(ResolvedProperties, LayerZeroInABlockFloatsWithTheReferencesLayer) {
    Drawing w;
    const auto red = w.Layer("RED", 1, 35);
    const auto fixed = w.Layer("FIXED", 2);
    const auto b = w.Block("B");
    w.AddLine(b, {0, 0, 0}, {10, 0, 0}, Props(0));
    w.AddLine(b, {0, 5, 0}, {10, 5, 0}, Props(fixed));
    w.AddInsert(w.model, b, {0, 0, 0}, Props(red));
    EXPECT_EQ(Pens(Draw(w.d)), (std::vector<Pen>{{kRed, 0.35}, {kYellow, 0.25}}));
    // The reference's layer off: what floats with it goes, the rest stays.
    w.LayerAt(red).on = false;
    EXPECT_EQ(Pens(Draw(w.d)), (std::vector<Pen>{{kYellow, 0.25}}));
    // Frozen: the whole reference goes.
    w.LayerAt(red).on = true;
    w.LayerAt(red).frozen = true;
    EXPECT_TRUE(Draw(w.d)->strokes.empty());
}

TEST(ResolvedProperties, LineweightsFromTheHeaderSwitchedOffAndScaledWithThePlot) {
    Drawing w;
    w.AddLine(w.model, {0, 1, 0}, {10, 1, 0}, Props(0, {}, db::kLineweightDefault));
    w.AddLine(w.model, {0, 2, 0}, {10, 2, 0}, Props(0, Aci(7), 50));
    w.d.header.lwDefault = 35;
    const auto weights = [&](bool scale, bool plot, double by) {
        render::RenderOptions o;
        o.scaleLineweights = scale;
        o.plotLineweights = plot;
        const auto pens = Pens(Draw(w.d, 0, o, page::Affine::Scaling(by, by)));
        return std::make_pair(pens.at(0).second, pens.at(1).second);
    };
    EXPECT_EQ(weights(false, true, 0.5), std::make_pair(0.35, 0.5));
    EXPECT_EQ(weights(true, true, 0.5), std::make_pair(0.175, 0.25));
    EXPECT_EQ(weights(true, false, 1), std::make_pair(0.0, 0.0));
}

TEST(PlotStyles, ColourDependentTableForcesColourLineweightAndScreening) {
    Drawing w;
    w.AddLine(w.model, {0, 0, 0}, {1, 0, 0}, Props(0, Aci(1), 25));
    w.AddLine(w.model, {0, 1, 0}, {1, 1, 0}, Props(0, Aci(2), 50));
    // A true colour picks the style of its nearest index colour (here red: 1).
    w.AddLine(w.model, {0, 2, 0}, {1, 2, 0}, Props(0, db::Color::FromRgb(0xF00000, 0), 25));
    auto table = plotstyle::NewColorDependentTable("test");
    auto& red = table.styles[0];
    red.color = plotstyle::EncodeStyleColor(kBlue);
    red.modeColor = red.color;
    red.screen = 50;
    red.lineweight = 17;  // 0.70 mm in the standard table
    render::RenderOptions options;
    options.plotStyles = &table;
    const Pen screened{{128, 128, 255}, 0.70};
    EXPECT_EQ(Pens(Draw(w.d, 0, options)), (std::vector<Pen>{screened, {kYellow, 0.5}, screened}));
}

TEST(Linetypes, DashLengthsScaleWithLtscaleEntityScaleAndPaper) {
    Drawing w;
    const auto dashed = w.Linetype("DASHED", {10, -5});
    auto& line = w.AddLine(w.model, {0, 0, 0}, {100, 0, 0}, Props(0, Aci(7), 25, dashed));
    line.props.linetypeScale = 0.5;
    w.d.header.ltScale = 2.0;  // 2 x 0.5: the pattern as defined, 10 + 5
    // 6 whole patterns and the start of the seventh.
    EXPECT_EQ(Draw(w.d)->Lengths(), (std::vector<double>{10, 10, 10, 10, 10, 10, 10}));
    EXPECT_EQ(Draw(w.d, 0, {}, page::Affine::Scaling(0.5, 0.5))->Lengths().at(0), 5);
    // A line shorter than one pattern is drawn solid.
    w.d.header.ltScale = 20;
    EXPECT_EQ(Draw(w.d)->Lengths(), (std::vector<double>{100}));
}

TEST(Linetypes, PolylinePatternRestartsAtVerticesUnlessGeneratedThrough) {
    Drawing w;
    db::LwPolyline p{.vertices = {{0, 0}, {15, 0}, {15, 15}}};
    auto& e = w.Add(w.model, db::EntityType::LwPolyline, p,
                    Props(0, Aci(7), 25, w.Linetype("DASHED", {6, -4})));
    // Each 15 mm side: dash 0-6, gap, dash 10-15 (cut by the vertex).
    EXPECT_EQ(Draw(w.d)->Lengths(), (std::vector<double>{6, 5, 6, 5}));
    // One pattern over the 30 mm run: dashes at 0, 10, 20 (the second turns the corner).
    e.As<db::LwPolyline>()->plinegen = true;
    EXPECT_EQ(Draw(w.d)->Lengths(), (std::vector<double>{6, 6, 6}));
}

TEST(Report, UnknownTypesNamedMissingBlocksAndUnloadedReferencesWarnedOnce) {
    Drawing w;
    for (const char* type : {"3DSOLID", "3DSOLID", "TOLERANCE"}) {
        w.Add(w.model, db::EntityType::Unknown, db::Unknown{type});
    }
    w.AddLine(w.model, {0, 0, 0}, {1, 1, 0}).props.invisible = true;
    w.Add(w.model, db::EntityType::Insert, db::Insert{.blockName = "GONE"});
    w.Add(w.model, db::EntityType::Insert, db::Insert{.blockName = "GONE"});
    const auto x = w.Block("XREF1");
    w.d.blocks[x].flags = db::Block::kXref;
    w.d.blocks[x].xref = db::Xref{"C:\\jobs\\grid.dwg", db::XrefStatus::NotFound, "not found"};
    w.AddInsert(w.model, x, {0, 0, 0});
    w.AddLine(w.model, {0, 0, 0}, {1, 0, 0});
    const auto p = Draw(w.d);
    ASSERT_EQ(p.report.warnings.size(), 2u);
    EXPECT_TRUE(Has(p.report.warnings[0], "GONE") && Has(p.report.warnings[1], "XREF1"));
    EXPECT_EQ(p.report.notDrawn,
              (std::map<std::string, std::int64_t>{{"3DSOLID", 2}, {"TOLERANCE", 1}}));
    EXPECT_EQ(p.report.visible, 1);  // the one line neither invisible nor in a lost block
}

TEST(Report, LoadedExternalReferencesDrawWithTheirOwnLayers) {
    Drawing host;
    auto ref = std::make_shared<Drawing>();
    ref->AddLine(ref->model, {0, 0, 0}, {10, 0, 0}, Props(ref->Layer("GRID", 4)));
    const auto x = host.Block("GRIDREF");
    host.d.blocks[x].flags = db::Block::kXref;
    host.d.blocks[x].xref = db::Xref{.path = "grid.dxf",
                                     .status = db::XrefStatus::Loaded,
                                     .database = std::shared_ptr<const db::Database>(ref, &ref->d)};
    host.AddInsert(host.model, x, {100, 0, 0}, Props(0), {2, 2, 1});
    auto p = Draw(host.d);
    EXPECT_EQ(Pens(p), (std::vector<Pen>{{plotstyle::AciPaperColor(4), 0.25}}));
    EXPECT_TRUE(Near(p->strokes[0].points.back(), {120, 0}));
    // The host keeps its own settings for the reference's layers: "GRIDREF|GRID".
    host.Layer("GRIDREF|GRID", 1, 70);
    EXPECT_EQ(Pens(Draw(host.d)), (std::vector<Pen>{{kRed, 0.70}}));
}

namespace {

struct ViewportTest : ::testing::Test {
    Drawing w;
    db::LayerId frame = w.Layer("VPORTS", 3);
    Plot p;

    // A viewport at paper (cx, cy), w x h, showing model space around (mx, my) at `scale`.
    db::Viewport& View(double cx, double cy, double wd, double h, double mx, double my,
                       double scale, std::int16_t id = 2, db::LayerId layer = 1) {
        const db::Viewport v{.center = {cx, cy, 0},
                             .width = wd,
                             .height = h,
                             .status = 1,
                             .id = id,
                             .viewCenter = {mx, my, 0},
                             .viewHeight = h / scale};
        return *w.Add(w.paper, db::EntityType::Viewport, v, Props(layer)).As<db::Viewport>();
    }
    std::vector<const RecordingSink::Stroke*> Clipped() {
        p = Draw(w.d, 1);
        std::vector<const RecordingSink::Stroke*> out;  // model space seen through a viewport
        for (const auto& s : p->strokes) {
            if (s.clipDepth > 0) {
                out.push_back(&s);
            }
        }
        return out;
    }
};

}  // namespace

TEST_F(ViewportTest, ModelSpaceAtTheViewportsScaleClippedToItsRectangle) {
    w.AddLine(w.model, {50, 50, 0}, {60, 50, 0});
    View(100, 100, 80, 60, 50, 50, 0.5);
    // The layout's own viewport (id 1) is the paper itself: neither frame nor content.
    View(210, 148, 420, 297, 210, 148, 1.0, 1);
    const auto inside = Clipped();
    ASSERT_EQ(p->clips.size(), 1u);
    EXPECT_EQ(p->pops, 1);
    EXPECT_EQ(geom::BoundsOf(p->clips[0]), (page::Rect{60, 70, 140, 130}));
    ASSERT_EQ(inside.size(), 1u);
    EXPECT_TRUE(Near(inside[0]->points[0], {100, 100}) && Near(inside[0]->points[1], {105, 100}));
    // The frame, on a plotted layer, outside the clip.
    ASSERT_EQ(p->strokes.size(), 2u);
    EXPECT_TRUE(p->strokes[0].clipDepth == 0 && p->strokes[0].closed);
}

TEST_F(ViewportTest, FrozenLayersPerViewportFramesFollowTheirLayer) {
    w.LayerAt(frame).plot = false;
    const auto trees = w.Layer("TREES");
    w.AddLine(w.model, {0, 0, 0}, {10, 0, 0}, Props(trees));
    w.AddLine(w.model, {0, 5, 0}, {10, 5, 0});
    View(100, 100, 80, 60, 5, 5, 1).frozenLayers = {trees};
    View(300, 100, 80, 60, 5, 5, 1, 3, 0);
    View(100, 250, 80, 60, 5, 5, 1, 4, 0).status = 0;  // switched off: shows nothing
    const auto inside = Clipped();
    ASSERT_EQ(inside.size(), 3u);  // one line in the first viewport, two in the second
    EXPECT_GT(inside[1]->points[0].x, 200);
    EXPECT_EQ(p->strokes.size(), 5u);  // and the frames on a plotted layer
}

TEST_F(ViewportTest, ClipBoundaryEntityAndCulling) {
    // A circle clips the viewport; model space far outside the view is not drawn at all.
    w.Add(w.paper, db::EntityType::Circle, db::Circle{{100, 100, 0}, 30, 0}, Props(frame))
        .props.handle = 0x99;
    View(100, 100, 80, 80, 0, 0, 1).clipBoundary = 0x99;
    w.AddLine(w.model, {0, 0, 0}, {5, 0, 0});
    for (int i = 0; i < 100; ++i) {
        w.AddLine(w.model, {5000.0 + i, 5000, 0}, {5001.0 + i, 5000, 0});
    }
    EXPECT_EQ(Clipped().size(), 1u);
    for (Vec2 q : p->clips.at(0)) {
        EXPECT_NEAR(std::hypot(q.x - 100, q.y - 100), 30, 1e-6);
    }
    EXPECT_LT(p.report.entities, 50);  // the far lines were culled before they were visited
}

namespace {

struct ImageTest : ::testing::Test {
    QTemporaryDir dir;
    Drawing w;

    // A 40 x 20 pixel image of 0.5 units per pixel at (10, 10), its file stored as `stored`.
    db::Image& AddImage(const std::string& stored) {
        w.d.images.push_back({.fileName = stored, .pixelsU = 40, .pixelsV = 20});
        const db::Image img{.position = {10, 10, 0},
                            .uVector = {0.5, 0, 0},
                            .vVector = {0, 0.5, 0},
                            .pixelsU = 40,
                            .pixelsV = 20,
                            .imageDef = static_cast<db::ImageDefId>(w.d.images.size() - 1)};
        return *w.Add(w.model, db::EntityType::Image, img).As<db::Image>();
    }
    Plot DrawAll() const {
        render::RenderOptions o;
        o.drawingFolder = dir.path().toStdString();
        return Draw(w.d, 0, o);
    }
};

}  // namespace

// One image found beside the drawing, the other missing twice: its frame drawn, one warning.
TEST_F(ImageTest, FoundBesideTheDrawingOrMissingAndReportedOnce) {
    QImage pic(40, 20, QImage::Format_RGB32);
    pic.fill(Qt::darkGreen);
    ASSERT_TRUE(pic.save(dir.filePath("site photo.png")));
    auto& img = AddImage("C:\\\\Photos\\\\site photo.png");  // where it was on another machine
    img.clipping = true;
    img.clipBoundary = {{0, 0, 0}, {20, 10, 0}};  // the left half of the top half
    AddImage("C:\\\\Photos\\\\gone.png");
    AddImage("C:\\\\Photos\\\\gone.png");
    const auto p = DrawAll();
    ASSERT_EQ(p->images.size(), 1u);
    const auto& out = p->images[0];
    EXPECT_EQ(out.image.size(), QSize(40, 20));
    EXPECT_TRUE(Near(out.origin, {10, 10}) && Near(out.width, {20, 0}) &&
                Near(out.height, {0, 10}));
    // Pixel coordinates counted from the top-left pixel, whose centre lies half a pixel
    // (0.25 units) right of and below the frame's top-left corner (10, 20).
    EXPECT_TRUE(Near(geom::BoundsOf(p->clips.at(0)), {10.25, 14.75, 20.25, 19.75}, 1e-9));
    ASSERT_EQ(p->strokes.size(), 2u);
    EXPECT_EQ(geom::BoundsOf(p->strokes[0].points), (page::Rect{10, 10, 30, 20}));
    ASSERT_EQ(p.report.warnings.size(), 1u);
    EXPECT_TRUE(Has(p.report.warnings[0], "gone.png"));
}

// Images that are there but unusable: the frame is drawn and the warning says why, and a pipe
// named like a picture is refused without waiting for a writer.
TEST_F(ImageTest, UnreadableImagesDrawTheirFrameAndSayWhy) {
    struct Case {
        const char* name;
        void (*make)(const QString& path);
        const char* why;
    };
    const Case cases[] = {
        {"damaged.png",
         [](const QString& path) {
             QFile f(path);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write("\x89PNG\r\n\x1a\n not a picture after all");
         },
         "could not be decoded"},
        {"folder.png", [](const QString& path) { ASSERT_TRUE(QDir().mkdir(path)); },
         "could not be read (is a folder"},
#ifndef _WIN32
        {"pipe.png",
         [](const QString& path) { ASSERT_EQ(::mkfifo(path.toStdString().c_str(), 0600), 0); },
         "could not be read (is a pipe"},
#endif
    };
    for (const Case& c : cases) {
        c.make(dir.filePath(c.name));
        AddImage(c.name);
    }
    const auto p = DrawAll();
    EXPECT_TRUE(p->images.empty());
    EXPECT_EQ(p->strokes.size(), std::size(cases));  // each image's frame
    ASSERT_EQ(p.report.warnings.size(), std::size(cases));
    for (size_t k = 0; k < std::size(cases); ++k) {
        EXPECT_TRUE(Has(p.report.warnings[k], cases[k].name) &&
                    Has(p.report.warnings[k], cases[k].why))
            << p.report.warnings[k];
    }
}

// Clipped inside out, the image is drawn whole, but the pixels inside its boundary cleared.
TEST_F(ImageTest, ClippedInsideOutShowsAllButTheBoundarysInside) {
    QImage pic(40, 20, QImage::Format_RGB32);
    pic.fill(Qt::darkGreen);
    ASSERT_TRUE(pic.save(dir.filePath("site.png")));
    auto& img = AddImage("site.png");
    img.clipping = img.clipInside = true;
    img.clipBoundary = {{0, 0, 0}, {20, 10, 0}};  // the left half of the top half
    const auto p = DrawAll();
    ASSERT_EQ(p->images.size(), 1u);
    EXPECT_TRUE(p->clips.empty());
    const QImage& out = p->images[0].image;
    for (const auto& [x, y, alpha] :
         {std::tuple{5, 5, 0}, {19, 9, 0}, {21, 5, 255}, {5, 11, 255}}) {
        EXPECT_EQ(qAlpha(out.pixel(x, y)), alpha) << x << "," << y;
    }
}

// A wipeout fills its boundary (an image's clip boundary on a frame of one pixel) with the
// paper's white, whatever its own colour, and is no ink.
TEST_F(ImageTest, WipeoutsMaskWithThePaperColour) {
    w.AddLine(w.model, {0, 15, 0}, {40, 15, 0});
    const db::Image wipe{
        .position = {10, 10, 0},
        .uVector = {20, 0, 0},
        .vVector = {0, 10, 0},
        .pixelsU = 1,
        .pixelsV = 1,
        .clipping = true,
        .clipBoundary = {{-0.5, 0.5, 0}, {0.5, 0.5, 0}, {0.5, -0.5, 0}, {-0.5, -0.5, 0}}};
    w.Add(w.model, db::EntityType::Wipeout, wipe, Props(0, Aci(1)));
    const auto p = DrawAll();
    EXPECT_EQ(p->fills.at(0).pen.color, plotstyle::kWhite);
    EXPECT_EQ(geom::BoundsOf(p->fills[0].rings[0]), (page::Rect{10, 10, 30, 20}));
    EXPECT_EQ(p->strokes.size(), 1u);  // no frame
    EXPECT_EQ(p.report.visible, 1);    // the line
}
