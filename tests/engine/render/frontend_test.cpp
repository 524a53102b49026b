// The frontend's geometry: curves tessellated to the tolerance on paper, OCS entities,
// polylines with bulges and widths, filled shapes, block references with their arrays,
// splines and construction lines; hatches: pattern lines clipped by the even-odd rule, PAT
// files, solid fills with curved boundary edges, patterns too dense for their area or
// unknown. Text: TEXT alignments, rotation, backwards and underline; MTEXT paragraphs and
// wrapping; complex linetypes; fonts (the Standard style's for text naming no style) and
// their substitutions in the report.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <numbers>

#include "RenderTools.h"
#include "engine/db/Extents.h"
#include "engine/fonts/FontResolver.h"
#include "engine/output/PaperGeometry.h"
#include "engine/render/Hatching.h"

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

bool Passes(const QPolygonF& pts, QPointF p) {
    return std::any_of(pts.begin(), pts.end(), [&](QPointF q) { return Near(q, p, 1e-9); });
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
    const QPointF want[][2] = {
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
    EXPECT_TRUE(Near(output::BoundsOf(p->fills[0].rings[0]), {100, 198, 130, 202}, 1e-9));
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
    std::vector<qsizetype> sizes;
    for (const auto& s : p->strokes) {
        sizes.push_back(s.points.size());
    }
    EXPECT_EQ(sizes, (std::vector<qsizetype>{3, 3, 3, 2, 2, 2, 2, 2, 2, 4}));  // the solid outlined
    EXPECT_TRUE(p->strokes[0].closed);
    const QPolygonF& ring = p->fills.at(0).rings[0];
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
