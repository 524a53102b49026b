// The render context through the frontend: effective colour, lineweight and linetype of
// entities (ByLayer, ByBlock through nested references, layer 0 in blocks), layer states,
// true colours, plot style tables, linetype patterns on paper, and the report. Paper-space
// layouts: viewports show model space at their scale, clipped to their rectangle or clip
// boundary, with their own frozen layers; the layout's own viewport is not drawn; frames
// follow their layer. Raster images: the file found at its stored path or beside the
// drawing, placed on its frame with its clip boundary; a missing file draws the frame and is
// reported once; wipeouts mask with the paper colour.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <map>

#include "RenderTools.h"
#include "engine/plotstyle/Aci.h"
#include "engine/plotstyle/PlotStyleTable.h"

using namespace vx::engine;
using plotstyle::Rgb;
using namespace vx::testing;

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
    EXPECT_EQ(output::BoundsOf(p->clips[0]), (page::Rect{60, 70, 140, 130}));
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
    EXPECT_GT(inside[1]->points[0].x(), 200);
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
    for (QPointF q : p->clips.at(0)) {
        EXPECT_NEAR(std::hypot(q.x() - 100, q.y() - 100), 30, 1e-6);
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
    EXPECT_TRUE(Near(output::BoundsOf(p->clips.at(0)), {10.25, 14.75, 20.25, 19.75}, 1e-9));
    ASSERT_EQ(p->strokes.size(), 2u);
    EXPECT_EQ(output::BoundsOf(p->strokes[0].points), (page::Rect{10, 10, 30, 20}));
    ASSERT_EQ(p.report.warnings.size(), 1u);
    EXPECT_TRUE(Has(p.report.warnings[0], "gone.png"));
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
    EXPECT_EQ(output::BoundsOf(p->fills[0].rings[0]), (page::Rect{10, 10, 30, 20}));
    EXPECT_EQ(p->strokes.size(), 1u);  // no frame
    EXPECT_EQ(p.report.visible, 1);    // the line
}
