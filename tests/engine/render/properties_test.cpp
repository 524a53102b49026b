// The render context through the frontend: effective colour, lineweight and linetype of
// entities (ByLayer, ByBlock through nested references, layer 0 in blocks), layer states,
// true colours, plot style tables, linetype patterns on paper, and the report.
#include <gtest/gtest.h>

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
