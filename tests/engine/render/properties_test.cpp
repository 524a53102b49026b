// The render context through the frontend: effective colour, lineweight and linetype of
// entities (ByLayer, ByBlock through nested references, layer 0 in blocks, defaults), layer
// states, true colours, plot style tables, linetype patterns on paper, and the report.
#include <gtest/gtest.h>

#include <map>

#include "RenderTools.h"
#include "engine/plotstyle/Aci.h"
#include "engine/plotstyle/PlotStyleFile.h"
#include "engine/plotstyle/PlotStyleTable.h"

using namespace vx::engine;
using plotstyle::Rgb;
using vx::testing::Drawing;
using vx::testing::Props;
using vx::testing::RecordingSink;
using vx::testing::Render;

namespace {

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kYellow{255, 255, 0};

db::Color Aci(int i) {
    return db::Color::FromIndex(i);
}

// Lengths of the strokes, in order.
std::vector<double> Lengths(const RecordingSink& sink) {
    std::vector<double> out;
    for (const auto& s : sink.strokes) {
        double len = 0;
        for (qsizetype i = 1; i < s.points.size(); ++i) {
            const QPointF d = s.points[i] - s.points[i - 1];
            len += std::hypot(d.x(), d.y());
        }
        out.push_back(len);
    }
    return out;
}

}  // namespace

TEST(ResolvedProperties, ByLayerTakesTheLayersColourLineweightAndLinetype) {
    Drawing w;
    const auto walls = w.Layer("WALLS", 1, 50);
    const auto dashed = w.Linetype("DASHED", {5, -5});
    w.LayerAt(walls).linetype = dashed;
    w.AddLine(w.model, {0, 0, 0}, {100, 0, 0}, Props(walls));
    RecordingSink sink;
    Render(w.d, sink);
    ASSERT_EQ(sink.strokes.size(), 10u);  // ten dashes of the layer's linetype
    for (const auto& s : sink.strokes) {
        EXPECT_EQ(s.pen.color, kRed);
        EXPECT_DOUBLE_EQ(s.pen.lineweight, 0.5);
    }
}

TEST(ResolvedProperties, ByBlockFollowsTheReferenceThroughTwoLevels) {
    Drawing w;
    const auto inner = w.Block("INNER");
    w.AddLine(inner, {0, 0, 0}, {10, 0, 0}, Props(0, Aci(0), db::kLineweightByBlock, db::kByBlock));
    const auto outer = w.Block("OUTER");
    w.AddInsert(outer, inner, {0, 0, 0}, Props(0, Aci(0), db::kLineweightByBlock, db::kByBlock));
    const auto dashed = w.Linetype("DASHED", {2, -1});
    w.AddInsert(w.model, outer, {0, 0, 0}, Props(0, Aci(3), 70, dashed));
    w.AddInsert(w.model, outer, {0, 50, 0}, Props(0, Aci(5), 18));
    // ByBlock at the top level: white on screen, black on paper, default lineweight.
    w.AddLine(w.model, {0, 100, 0}, {1, 100, 0}, Props(0, Aci(0), db::kLineweightByBlock));
    RecordingSink sink;
    Render(w.d, sink);
    ASSERT_GE(sink.strokes.size(), 3u);
    // The first reference: green, 0.70 mm and its dashes (10 mm in 2+1 patterns).
    std::size_t green = 0;
    for (const auto& s : sink.strokes) {
        if (s.pen.color == kGreen) {
            ++green;
            EXPECT_DOUBLE_EQ(s.pen.lineweight, 0.70);
        }
    }
    EXPECT_EQ(green, 4u);
    const auto& blue = sink.strokes[green];
    EXPECT_EQ(blue.pen.color, kBlue);
    EXPECT_DOUBLE_EQ(blue.pen.lineweight, 0.18);
    const auto& top = sink.strokes.back();
    EXPECT_EQ(top.pen.color, plotstyle::kBlack);
    EXPECT_DOUBLE_EQ(top.pen.lineweight, 0.25);
}

TEST(ResolvedProperties, LayerZeroInABlockFloatsWithTheReferencesLayer) {
    Drawing w;
    const auto red = w.Layer("RED", 1, 35);
    const auto fixed = w.Layer("FIXED", 2);
    const auto b = w.Block("B");
    w.AddLine(b, {0, 0, 0}, {10, 0, 0}, Props(0));
    w.AddLine(b, {0, 5, 0}, {10, 5, 0}, Props(fixed));
    w.AddInsert(w.model, b, {0, 0, 0}, Props(red));
    {
        RecordingSink sink;
        Render(w.d, sink);
        ASSERT_EQ(sink.strokes.size(), 2u);
        EXPECT_EQ(sink.strokes[0].pen.color, kRed);
        EXPECT_DOUBLE_EQ(sink.strokes[0].pen.lineweight, 0.35);
        EXPECT_EQ(sink.strokes[1].pen.color, kYellow);
    }
    // The reference's layer off: what floats with it goes, the rest stays.
    w.LayerAt(red).on = false;
    {
        RecordingSink sink;
        Render(w.d, sink);
        ASSERT_EQ(sink.strokes.size(), 1u);
        EXPECT_EQ(sink.strokes[0].pen.color, kYellow);
    }
    // Frozen: the whole reference goes.
    w.LayerAt(red).on = true;
    w.LayerAt(red).frozen = true;
    {
        RecordingSink sink;
        Render(w.d, sink);
        EXPECT_TRUE(sink.strokes.empty());
    }
}

TEST(ResolvedProperties, OffFrozenAndNoPlotLayersLeaveNoInk) {
    Drawing w;
    const auto off = w.Layer("OFF");
    const auto frozen = w.Layer("FROZEN");
    const auto noplot = w.Layer("NOPLOT");
    w.LayerAt(off).on = false;
    w.LayerAt(frozen).frozen = true;
    w.LayerAt(noplot).plot = false;
    for (auto l : {off, frozen, noplot}) {
        w.AddLine(w.model, {0, 0, 0}, {10, 10, 0}, Props(l));
    }
    RecordingSink sink;
    auto report = Render(w.d, sink);
    EXPECT_TRUE(sink.strokes.empty());
    EXPECT_EQ(report.entities, 3);
    EXPECT_EQ(report.visible, 0);
    w.AddLine(w.model, {0, 0, 0}, {10, 10, 0}, Props(0));
    RecordingSink again;
    report = Render(w.d, again);
    EXPECT_EQ(again.strokes.size(), 1u);
    EXPECT_EQ(report.drawn, 1);
    EXPECT_EQ(report.visible, 1);
}

TEST(ResolvedProperties, DefaultLineweightFromTheHeaderAndSwitchedOff) {
    Drawing w;
    const auto layer = w.Layer("L", 7, db::kLineweightDefault);
    w.AddLine(w.model, {0, 0, 0}, {10, 0, 0}, Props(layer));
    w.AddLine(w.model, {0, 1, 0}, {10, 1, 0}, Props(0, {}, db::kLineweightDefault));
    {
        RecordingSink sink;
        Render(w.d, sink);
        ASSERT_EQ(sink.strokes.size(), 2u);
        EXPECT_DOUBLE_EQ(sink.strokes[0].pen.lineweight, 0.25);
        EXPECT_DOUBLE_EQ(sink.strokes[1].pen.lineweight, 0.25);
    }
    w.d.header.lwDefault = 35;
    {
        RecordingSink sink;
        Render(w.d, sink);
        EXPECT_DOUBLE_EQ(sink.strokes[0].pen.lineweight, 0.35);
        EXPECT_DOUBLE_EQ(sink.strokes[1].pen.lineweight, 0.35);
    }
    render::RenderOptions thin;
    thin.plotLineweights = false;
    RecordingSink sink;
    Render(w.d, sink, 0, thin);
    EXPECT_DOUBLE_EQ(sink.strokes[0].pen.lineweight, 0.0);
}

TEST(ResolvedProperties, TrueColoursIndexColoursAndWhiteOnPaper) {
    Drawing w;
    w.AddLine(w.model, {0, 0, 0}, {1, 0, 0}, Props(0, db::Color::FromRgb(0x336699, 5)));
    w.AddLine(w.model, {0, 1, 0}, {1, 1, 0}, Props(0, Aci(7)));
    w.AddLine(w.model, {0, 2, 0}, {1, 2, 0}, Props(0, Aci(30)));
    const auto tc = w.Layer("TC");
    w.LayerAt(tc).color = db::Color::FromRgb(0x102030, 250);
    w.AddLine(w.model, {0, 3, 0}, {1, 3, 0}, Props(tc));
    RecordingSink sink;
    Render(w.d, sink);
    ASSERT_EQ(sink.strokes.size(), 4u);
    EXPECT_EQ(sink.strokes[0].pen.color, (Rgb{0x33, 0x66, 0x99}));
    EXPECT_EQ(sink.strokes[1].pen.color, plotstyle::kBlack);
    EXPECT_EQ(sink.strokes[2].pen.color, plotstyle::AciToRgb(30));
    EXPECT_EQ(sink.strokes[3].pen.color, (Rgb{0x10, 0x20, 0x30}));
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
    RecordingSink sink;
    Render(w.d, sink, 0, options);
    ASSERT_EQ(sink.strokes.size(), 3u);
    EXPECT_EQ(sink.strokes[0].pen.color, (Rgb{128, 128, 255}));
    EXPECT_DOUBLE_EQ(sink.strokes[0].pen.lineweight, 0.70);
    EXPECT_EQ(sink.strokes[1].pen.color, kYellow);  // its own colour: the style is neutral
    EXPECT_DOUBLE_EQ(sink.strokes[1].pen.lineweight, 0.25);
    EXPECT_EQ(sink.strokes[2].pen.color, (Rgb{128, 128, 255}));
}

TEST(PlotStyles, RealColourDependentTableGivesEachColourItsPen) {
    const std::string file = std::string(VORMEX_TESTDATA_DIR) + "/ctb/ezdxf/ctbtest.ctb";
    if (!std::filesystem::exists(file)) {
        GTEST_SKIP() << file << " is not available";
    }
    const auto table = plotstyle::ReadPlotStyleFile(file);
    Drawing w;
    for (int aci = 1; aci <= 255; ++aci) {
        w.AddLine(w.model, {0, double(aci), 0}, {1, double(aci), 0}, Props(0, Aci(aci), 50));
    }
    render::RenderOptions options;
    options.plotStyles = &table;
    RecordingSink sink;
    Render(w.d, sink, 0, options);
    // Styles with a linetype come back from the sink in dashes, so compare what a dash keeps.
    ASSERT_GE(sink.strokes.size(), 255u);
    std::map<double, const vx::testing::RecordingSink::Stroke*> byRow;
    for (const auto& s : sink.strokes) {
        byRow.emplace(s.points.front().y(), &s);
    }
    ASSERT_EQ(byRow.size(), 255u);
    int differing = 0;
    for (int aci = 1; aci <= 255; ++aci) {
        plotstyle::ObjectProperties o;
        o.aci = aci;
        o.lineweight = 0.5;
        plotstyle::Pen want = table.PenFor(o);
        want.dashes.clear();
        const auto& got = byRow.at(double(aci))->pen;
        EXPECT_EQ(got.color, want.color) << "colour " << aci;
        EXPECT_EQ(got.lineweight, want.lineweight) << "colour " << aci;
        EXPECT_EQ(got.number, want.number) << "colour " << aci;
        EXPECT_EQ(got.cap, want.cap) << "colour " << aci;
        differing += got.color != plotstyle::ObjectPen(o).color ||
                     got.lineweight != plotstyle::ObjectPen(o).lineweight;
    }
    EXPECT_GT(differing, 0) << "the table should change some pens";
}

TEST(Linetypes, DashLengthsScaleWithLtscaleEntityScaleAndPaper) {
    Drawing w;
    const auto dashed = w.Linetype("DASHED", {10, -5});
    auto& line = w.AddLine(w.model, {0, 0, 0}, {100, 0, 0}, Props(0, Aci(7), 25, dashed));
    line.props.linetypeScale = 0.5;
    w.d.header.ltScale = 2.0;  // 2 x 0.5: the pattern as defined, 10 + 5
    {
        RecordingSink sink;
        Render(w.d, sink);
        const auto lengths = Lengths(sink);
        ASSERT_EQ(lengths.size(), 7u);  // 6 whole patterns and the start of the seventh
        for (std::size_t i = 0; i + 1 < lengths.size(); ++i) {
            EXPECT_NEAR(lengths[i], 10.0, 1e-9);
        }
        EXPECT_NEAR(sink.strokes[1].points.front().x(), 15.0, 1e-9);  // after a 5 mm gap
    }
    {
        // Half size on paper: dashes of 5 mm.
        RecordingSink sink;
        Render(w.d, sink, 0, {}, page::Affine::Scaling(0.5, 0.5));
        const auto lengths = Lengths(sink);
        ASSERT_FALSE(lengths.empty());
        EXPECT_NEAR(lengths[0], 5.0, 1e-9);
        EXPECT_EQ(lengths.size(), 7u);
    }
    // A line shorter than one pattern is drawn solid.
    w.d.header.ltScale = 20;
    RecordingSink sink;
    Render(w.d, sink);
    ASSERT_EQ(sink.strokes.size(), 1u);
    EXPECT_NEAR(Lengths(sink)[0], 100.0, 1e-9);
}

TEST(Linetypes, PolylinePatternRestartsAtVerticesUnlessGeneratedThrough) {
    Drawing w;
    const auto dashed = w.Linetype("DASHED", {6, -4});
    db::LwPolyline p;
    p.vertices = {{0, 0}, {15, 0}, {15, 15}};
    auto& e = w.Add(w.model, db::EntityType::LwPolyline, p, Props(0, Aci(7), 25, dashed));
    {
        RecordingSink sink;
        Render(w.d, sink);
        // Each 15 mm side: dash 0-6, gap, dash 10-15 (cut by the vertex).
        const auto lengths = Lengths(sink);
        ASSERT_EQ(lengths.size(), 4u);
        EXPECT_NEAR(lengths[1], 5.0, 1e-9);
        EXPECT_TRUE(vx::testing::Near(sink.strokes[2].points.front(), {15, 0}));
        EXPECT_NEAR(lengths[2], 6.0, 1e-9);
    }
    e.As<db::LwPolyline>()->plinegen = true;
    RecordingSink sink;
    Render(w.d, sink);
    // One pattern over the 30 mm run: dashes at 0, 10, 20 (the second turns the corner).
    const auto lengths = Lengths(sink);
    ASSERT_EQ(lengths.size(), 3u);
    EXPECT_NEAR(lengths[1], 6.0, 1e-9);
    EXPECT_EQ(sink.strokes[1].points.size(), 3);  // around the corner
}

TEST(Linetypes, PlotStyleLinetypeReplacesTheEntitysOwn) {
    Drawing w;
    const auto dashed = w.Linetype("DASHED", {10, -5});
    w.AddLine(w.model, {0, 0, 0}, {100, 0, 0}, Props(0, Aci(1), 25, dashed));
    auto table = plotstyle::NewColorDependentTable("test");
    table.styles[0].linetype = 1;  // a plot style linetype: the sink dashes it
    render::RenderOptions options;
    options.plotStyles = &table;
    RecordingSink sink;
    Render(w.d, sink, 0, options);
    // The sink applies the pen's dashes itself; the frontend sent the whole line.
    double total = sink.StrokeLength();
    EXPECT_LT(total, 100.0);
    EXPECT_GT(sink.strokes.size(), 7u);
    EXPECT_NEAR(sink.strokes[0].points.front().x(), 0.0, 1e-9);
}

TEST(Report, UnknownTypesAreNamedAndInvisibleEntitiesSkipped) {
    Drawing w;
    w.Add(w.model, db::EntityType::Unknown, db::Unknown{"3DSOLID"});
    w.Add(w.model, db::EntityType::Unknown, db::Unknown{"3DSOLID"});
    w.Add(w.model, db::EntityType::Unknown, db::Unknown{"TOLERANCE"});
    auto& hidden = w.AddLine(w.model, {0, 0, 0}, {1, 1, 0});
    hidden.props.invisible = true;
    RecordingSink sink;
    const auto report = Render(w.d, sink);
    EXPECT_EQ(report.entities, 4);
    EXPECT_EQ(report.drawn, 0);
    EXPECT_EQ(report.notDrawn.at("3DSOLID"), 2);
    EXPECT_EQ(report.notDrawn.at("TOLERANCE"), 1);
    EXPECT_TRUE(sink.strokes.empty());
}

TEST(Report, MissingBlocksAndUnloadedReferencesAreWarnedOnce) {
    Drawing w;
    db::Insert missing;
    missing.blockName = "GONE";
    w.Add(w.model, db::EntityType::Insert, missing);
    w.Add(w.model, db::EntityType::Insert, missing);
    const auto x = w.Block("XREF1");
    w.d.blocks[x].flags = db::Block::kXref;
    w.d.blocks[x].xref =
        db::Xref{"C:\\jobs\\grid.dwg", db::XrefStatus::NotFound, "not found", {}, nullptr};
    w.AddInsert(w.model, x, {0, 0, 0});
    w.AddLine(w.model, {0, 0, 0}, {1, 0, 0});
    RecordingSink sink;
    const auto report = Render(w.d, sink);
    ASSERT_EQ(report.warnings.size(), 2u);
    EXPECT_NE(report.warnings[0].find("GONE"), std::string::npos);
    EXPECT_NE(report.warnings[1].find("XREF1"), std::string::npos);
    EXPECT_EQ(report.visible, 1);
}

TEST(Report, LoadedExternalReferencesDrawWithTheirOwnLayers) {
    Drawing host;
    auto ref = std::make_shared<Drawing>();
    const auto grid = ref->Layer("GRID", 4);
    ref->AddLine(ref->model, {0, 0, 0}, {10, 0, 0}, Props(grid));
    const auto x = host.Block("GRIDREF");
    host.d.blocks[x].flags = db::Block::kXref;
    host.d.blocks[x].xref = db::Xref{"grid.dxf",
                                     db::XrefStatus::Loaded,
                                     {},
                                     "grid.dxf",
                                     std::shared_ptr<const db::Database>(ref, &ref->d)};
    host.AddInsert(host.model, x, {100, 0, 0}, Props(0), {2, 2, 1});
    {
        RecordingSink sink;
        Render(host.d, sink);
        ASSERT_EQ(sink.strokes.size(), 1u);
        EXPECT_EQ(sink.strokes[0].pen.color, plotstyle::AciPaperColor(4));
        EXPECT_TRUE(vx::testing::Near(sink.strokes[0].points.back(), {120, 0}));
    }
    // The host keeps its own settings for the reference's layers: "GRIDREF|GRID".
    const auto kept = host.Layer("GRIDREF|GRID", 1, 70);
    {
        RecordingSink sink;
        Render(host.d, sink);
        ASSERT_EQ(sink.strokes.size(), 1u);
        EXPECT_EQ(sink.strokes[0].pen.color, kRed);
        EXPECT_DOUBLE_EQ(sink.strokes[0].pen.lineweight, 0.70);
    }
    host.LayerAt(kept).frozen = true;
    RecordingSink sink;
    Render(host.d, sink);
    EXPECT_TRUE(sink.strokes.empty());
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
    RecordingSink sink;
    Render(w.d, sink, 0, options);
    ASSERT_EQ(sink.strokes.size(), 2u);
    EXPECT_EQ(sink.strokes[0].pen.color, kBlue);
    EXPECT_EQ(sink.strokes[1].pen.color, kBlue);
    EXPECT_DOUBLE_EQ(sink.strokes[1].pen.lineweight, 0.5);
}

TEST(ResolvedProperties, LineweightsScaleWithThePlotWhenAsked) {
    Drawing w;
    w.AddLine(w.model, {0, 0, 0}, {100, 0, 0}, Props(0, Aci(1), 50));
    render::RenderOptions options;
    RecordingSink plain;
    Render(w.d, plain, 0, options, page::Affine::Scaling(0.5, 0.5));
    EXPECT_DOUBLE_EQ(plain.strokes[0].pen.lineweight, 0.5);
    options.scaleLineweights = true;
    RecordingSink scaled;
    Render(w.d, scaled, 0, options, page::Affine::Scaling(0.5, 0.5));
    EXPECT_DOUBLE_EQ(scaled.strokes[0].pen.lineweight, 0.25);
}

TEST(Report, LayoutsThatDoNotExistAreWarnedAndModelSpaceNeedsNoLayout) {
    Drawing w;
    w.AddLine(w.model, {0, 0, 0}, {10, 0, 0});
    RecordingSink none;
    const auto missing = Render(w.d, none, 7);
    EXPECT_TRUE(none.strokes.empty());
    ASSERT_EQ(missing.warnings.size(), 1u);
    // A database a reader filled without layout objects: model space is layout 0 all the same.
    w.d.layouts.clear();
    RecordingSink sink;
    const auto report = Render(w.d, sink, 0);
    EXPECT_EQ(sink.strokes.size(), 1u);
    EXPECT_TRUE(report.warnings.empty());
}
