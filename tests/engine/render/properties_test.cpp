// The render context through the frontend: effective colour, lineweight and linetype of
// entities (ByLayer, ByBlock through nested references, layer 0 in blocks, defaults), layer
// states, true colours, plot style tables, linetype patterns on paper, and the report.
#include <gtest/gtest.h>

#include <map>
#include <numeric>

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

// The colour and lineweight of each stroke, in order.
std::vector<std::pair<Rgb, double>> Pens(const Plot& p) {
    std::vector<std::pair<Rgb, double>> out;
    for (const auto& s : p->strokes) {
        out.emplace_back(s.pen.color, std::round(s.pen.lineweight * 1e6) / 1e6);
    }
    return out;
}
using Pen = std::pair<Rgb, double>;

}  // namespace

TEST(ResolvedProperties, ByLayerTakesTheLayersColourLineweightAndLinetype) {
    Drawing w;
    const auto walls = w.Layer("WALLS", 1, 50);
    w.LayerAt(walls).linetype = w.Linetype("DASHED", {5, -5});
    w.AddLine(w.model, {0, 0, 0}, {100, 0, 0}, Props(walls));
    EXPECT_EQ(Pens(Draw(w.d)), std::vector<Pen>(10, Pen{kRed, 0.5}));  // ten dashes
}

TEST(ResolvedProperties, ByBlockFollowsTheReferenceThroughTwoLevels) {
    Drawing w;
    const auto byBlock = Props(0, Aci(0), db::kLineweightByBlock, db::kByBlock);
    const auto inner = w.Block("INNER");
    w.AddLine(inner, {0, 0, 0}, {10, 0, 0}, byBlock);
    const auto outer = w.Block("OUTER");
    w.AddInsert(outer, inner, {0, 0, 0}, byBlock);
    w.AddInsert(w.model, outer, {0, 0, 0}, Props(0, Aci(3), 70, w.Linetype("DASHED", {2, -1})));
    w.AddInsert(w.model, outer, {0, 50, 0}, Props(0, Aci(5), 18));
    // ByBlock at the top level: white on screen, black on paper, default lineweight.
    w.AddLine(w.model, {0, 100, 0}, {1, 100, 0}, Props(0, Aci(0), db::kLineweightByBlock));
    // The first reference: green, 0.70 mm and its dashes (10 mm in 2+1 patterns).
    auto want = std::vector<Pen>(4, Pen{{0, 255, 0}, 0.70});
    want.insert(want.end(), {Pen{kBlue, 0.18}, Pen{plotstyle::kBlack, 0.25}});
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

TEST(ResolvedProperties, OffFrozenAndNoPlotLayersLeaveNoInk) {
    Drawing w;
    const auto off = w.Layer("OFF"), frozen = w.Layer("FROZEN"), noplot = w.Layer("NOPLOT");
    w.LayerAt(off).on = false;
    w.LayerAt(frozen).frozen = true;
    w.LayerAt(noplot).plot = false;
    for (auto l : {off, frozen, noplot}) {
        w.AddLine(w.model, {0, 0, 0}, {10, 10, 0}, Props(l));
    }
    auto p = Draw(w.d);
    EXPECT_TRUE(p->strokes.empty());
    EXPECT_EQ(p.report.entities, 3);
    EXPECT_EQ(p.report.visible, 0);
    w.AddLine(w.model, {0, 0, 0}, {10, 10, 0}, Props(0));
    p = Draw(w.d);
    EXPECT_EQ(p->strokes.size(), 1u);
    EXPECT_EQ(p.report.drawn, 1);
    EXPECT_EQ(p.report.visible, 1);
}

TEST(ResolvedProperties, LineweightsFromTheHeaderSwitchedOffAndScaledWithThePlot) {
    Drawing w;
    const auto layer = w.Layer("L", 7, db::kLineweightDefault);
    w.AddLine(w.model, {0, 0, 0}, {10, 0, 0}, Props(layer));
    w.AddLine(w.model, {0, 1, 0}, {10, 1, 0}, Props(0, {}, db::kLineweightDefault));
    w.AddLine(w.model, {0, 2, 0}, {10, 2, 0}, Props(0, Aci(7), 50));
    const auto weights = [&](render::RenderOptions o = {}, double scale = 1) {
        std::vector<double> out;
        for (const auto& [c, lw] : Pens(Draw(w.d, 0, o, page::Affine::Scaling(scale, scale)))) {
            out.push_back(lw);
        }
        return out;
    };
    EXPECT_EQ(weights(), (std::vector<double>{0.25, 0.25, 0.5}));
    w.d.header.lwDefault = 35;
    EXPECT_EQ(weights(), (std::vector<double>{0.35, 0.35, 0.5}));
    EXPECT_EQ(weights({}, 0.5), (std::vector<double>{0.35, 0.35, 0.5}));  // not scaled by default
    render::RenderOptions o;
    o.scaleLineweights = true;
    EXPECT_EQ(weights(o, 0.5), (std::vector<double>{0.175, 0.175, 0.25}));
    o.plotLineweights = false;
    EXPECT_EQ(weights(o), (std::vector<double>{0, 0, 0}));
}

TEST(ResolvedProperties, TrueColoursIndexColoursAndWhiteOnPaper) {
    Drawing w;
    w.AddLine(w.model, {0, 0, 0}, {1, 0, 0}, Props(0, db::Color::FromRgb(0x336699, 5)));
    w.AddLine(w.model, {0, 1, 0}, {1, 1, 0}, Props(0, Aci(7)));
    w.AddLine(w.model, {0, 2, 0}, {1, 2, 0}, Props(0, Aci(30)));
    const auto tc = w.Layer("TC");
    w.LayerAt(tc).color = db::Color::FromRgb(0x102030, 250);
    w.AddLine(w.model, {0, 3, 0}, {1, 3, 0}, Props(tc));
    std::vector<Rgb> colors;
    for (const auto& [c, lw] : Pens(Draw(w.d))) {
        colors.push_back(c);
    }
    EXPECT_EQ(
        colors,
        (std::vector<Rgb>{
            {0x33, 0x66, 0x99}, plotstyle::kBlack, plotstyle::AciToRgb(30), {0x10, 0x20, 0x30}}));
}

TEST(PlotStyles, ColourDependentTableForcesColourLineweightAndScreening) {
    Drawing w;
    w.AddLine(w.model, {0, 0, 0}, {1, 0, 0}, Props(0, Aci(1), 25));
    w.AddLine(w.model, {0, 1, 0}, {1, 1, 0}, Props(0, Aci(2), 25));
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
    // The second keeps its own colour: the style is neutral.
    EXPECT_EQ(
        Pens(Draw(w.d, 0, options)),
        (std::vector<Pen>{{{128, 128, 255}, 0.70}, {kYellow, 0.25}, {{128, 128, 255}, 0.70}}));
}

TEST(PlotStyles, NamedTableGivesEveryObjectItsNormalStyle) {
    // Objects name no style the drawing maps (the stored style handles are not resolved):
    // "Normal" applies to all of them.
    Drawing w;
    w.AddLine(w.model, {0, 0, 0}, {1, 0, 0}, Props(0, Aci(1), 25));
    w.AddLine(w.model, {0, 1, 0}, {1, 1, 0}, Props(0, Aci(3), 50));
    auto table = plotstyle::NewNamedTable("named");
    table.styles[0].color = plotstyle::EncodeStyleColor(kBlue);
    table.styles[0].modeColor = table.styles[0].color;
    render::RenderOptions options;
    options.plotStyles = &table;
    EXPECT_EQ(Pens(Draw(w.d, 0, options)), (std::vector<Pen>{{kBlue, 0.25}, {kBlue, 0.5}}));
}

TEST(Linetypes, DashLengthsScaleWithLtscaleEntityScaleAndPaper) {
    Drawing w;
    const auto dashed = w.Linetype("DASHED", {10, -5});
    auto& line = w.AddLine(w.model, {0, 0, 0}, {100, 0, 0}, Props(0, Aci(7), 25, dashed));
    line.props.linetypeScale = 0.5;
    w.d.header.ltScale = 2.0;  // 2 x 0.5: the pattern as defined, 10 + 5
    auto p = Draw(w.d);
    auto lengths = p->Lengths();
    ASSERT_EQ(lengths.size(), 7u);  // 6 whole patterns and the start of the seventh
    for (std::size_t i = 0; i + 1 < lengths.size(); ++i) {
        EXPECT_NEAR(lengths[i], 10.0, 1e-9);
    }
    EXPECT_NEAR(p->strokes[1].points.front().x(), 15.0, 1e-9);  // after a 5 mm gap
    // Half size on paper: dashes of 5 mm.
    lengths = Draw(w.d, 0, {}, page::Affine::Scaling(0.5, 0.5))->Lengths();
    ASSERT_EQ(lengths.size(), 7u);
    EXPECT_NEAR(lengths[0], 5.0, 1e-9);
    // A line shorter than one pattern is drawn solid.
    w.d.header.ltScale = 20;
    lengths = Draw(w.d)->Lengths();
    ASSERT_EQ(lengths.size(), 1u);
    EXPECT_NEAR(lengths[0], 100.0, 1e-9);
}

TEST(Linetypes, PolylinePatternRestartsAtVerticesUnlessGeneratedThrough) {
    Drawing w;
    db::LwPolyline p{.vertices = {{0, 0}, {15, 0}, {15, 15}}};
    auto& e = w.Add(w.model, db::EntityType::LwPolyline, p,
                    Props(0, Aci(7), 25, w.Linetype("DASHED", {6, -4})));
    // Each 15 mm side: dash 0-6, gap, dash 10-15 (cut by the vertex).
    auto plot = Draw(w.d);
    EXPECT_EQ(plot->Lengths(), (std::vector<double>{6, 5, 6, 5}));
    EXPECT_TRUE(Near(plot->strokes[2].points.front(), {15, 0}));
    // One pattern over the 30 mm run: dashes at 0, 10, 20 (the second turns the corner).
    e.As<db::LwPolyline>()->plinegen = true;
    plot = Draw(w.d);
    EXPECT_EQ(plot->Lengths(), (std::vector<double>{6, 6, 6}));
    EXPECT_EQ(plot->strokes[1].points.size(), 3);  // around the corner
}

TEST(Linetypes, PlotStyleLinetypeReplacesTheEntitysOwn) {
    Drawing w;
    w.AddLine(w.model, {0, 0, 0}, {100, 0, 0}, Props(0, Aci(1), 25, w.Linetype("D", {10, -5})));
    auto table = plotstyle::NewColorDependentTable("test");
    table.styles[0].linetype = 1;  // a plot style linetype: the sink dashes it
    render::RenderOptions options;
    options.plotStyles = &table;
    // The frontend sent the whole line, the sink applied the pen's dashes itself.
    const auto p = Draw(w.d, 0, options);
    const auto lengths = p->Lengths();
    EXPECT_LT(std::accumulate(lengths.begin(), lengths.end(), 0.0), 100.0);
    EXPECT_GT(lengths.size(), 7u);
    EXPECT_NEAR(p->strokes[0].points.front().x(), 0.0, 1e-9);
}

TEST(Report, UnknownTypesAreNamedAndInvisibleEntitiesSkipped) {
    Drawing w;
    for (const char* type : {"3DSOLID", "3DSOLID", "TOLERANCE"}) {
        w.Add(w.model, db::EntityType::Unknown, db::Unknown{type});
    }
    w.AddLine(w.model, {0, 0, 0}, {1, 1, 0}).props.invisible = true;
    const auto p = Draw(w.d);
    EXPECT_EQ(p.report.entities, 4);
    EXPECT_EQ(p.report.drawn, 0);
    EXPECT_EQ(p.report.notDrawn,
              (std::map<std::string, std::int64_t>{{"3DSOLID", 2}, {"TOLERANCE", 1}}));
    EXPECT_TRUE(p->strokes.empty());
}

TEST(Report, MissingBlocksAndUnloadedReferencesAreWarnedOnce) {
    Drawing w;
    w.Add(w.model, db::EntityType::Insert, db::Insert{.blockName = "GONE"});
    w.Add(w.model, db::EntityType::Insert, db::Insert{.blockName = "GONE"});
    const auto x = w.Block("XREF1");
    w.d.blocks[x].flags = db::Block::kXref;
    w.d.blocks[x].xref = db::Xref{"C:\\jobs\\grid.dwg", db::XrefStatus::NotFound, "not found"};
    w.AddInsert(w.model, x, {0, 0, 0});
    w.AddLine(w.model, {0, 0, 0}, {1, 0, 0});
    const auto p = Draw(w.d);
    ASSERT_EQ(p.report.warnings.size(), 2u);
    EXPECT_NE(p.report.warnings[0].find("GONE"), std::string::npos);
    EXPECT_NE(p.report.warnings[1].find("XREF1"), std::string::npos);
    EXPECT_EQ(p.report.visible, 1);
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
    const auto kept = host.Layer("GRIDREF|GRID", 1, 70);
    EXPECT_EQ(Pens(Draw(host.d)), (std::vector<Pen>{{kRed, 0.70}}));
    host.LayerAt(kept).frozen = true;
    EXPECT_TRUE(Draw(host.d)->strokes.empty());
}

TEST(Report, LayoutsThatDoNotExistAreWarnedAndModelSpaceNeedsNoLayout) {
    Drawing w;
    w.AddLine(w.model, {0, 0, 0}, {10, 0, 0});
    const auto missing = Draw(w.d, 7);
    EXPECT_TRUE(missing->strokes.empty());
    EXPECT_EQ(missing.report.warnings.size(), 1u);
    // A database a reader filled without layout objects: model space is layout 0 all the same.
    w.d.layouts.clear();
    const auto p = Draw(w.d, 0);
    EXPECT_EQ(p->strokes.size(), 1u);
    EXPECT_TRUE(p.report.warnings.empty());
}
