// Extents computed from entities: exact bounds of curves, block references through their
// full transform, nesting and cycles, what is left out, and real drawings.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "dxf/TestDxf.h"
#include "engine/db/Database.h"
#include "engine/db/Extents.h"
#include "engine/dxf/DxfReader.h"

namespace vx::engine::db {
namespace {

// A database with layer "0", model space and one paper space.
struct Fixture {
    Database d;
    Fixture() {
        d.layers.push_back(Layer{.name = "0"});
        d.blocks.push_back(Block{.name = "*Model_Space"});
        d.blocks.push_back(Block{.name = "*Paper_Space"});
        d.modelSpace = 0;
        d.activePaperSpace = 1;
        d.RebuildIndexes();
    }
    template <class T>
    Entity& Add(EntityType type, T geometry, BlockId block = 0) {
        Entity e;
        e.Set(type, std::move(geometry));
        d.blocks[block].entities.push_back(std::move(e));
        return d.blocks[block].entities.back();
    }
    BlockId AddBlock(const std::string& name, Vec3 base = {}) {
        d.blocks.push_back(Block{.name = name, .base = base});
        d.RebuildIndexes();
        return static_cast<BlockId>(d.blocks.size() - 1);
    }
    Entity& AddInsert(BlockId target, Insert ins, BlockId into = 0) {
        ins.block = target;
        ins.blockName = d.blocks[target].name;
        return Add(EntityType::Insert, std::move(ins), into);
    }
};

void ExpectBox(const Box3& b, Vec3 min, Vec3 max, double tol = 1e-9) {
    ASSERT_FALSE(b.Empty());
    EXPECT_NEAR(b.min.x, min.x, tol);
    EXPECT_NEAR(b.min.y, min.y, tol);
    EXPECT_NEAR(b.min.z, min.z, tol);
    EXPECT_NEAR(b.max.x, max.x, tol);
    EXPECT_NEAR(b.max.y, max.y, tol);
    EXPECT_NEAR(b.max.z, max.z, tol);
}

TEST(Extents, CurvesAreBoundedByTheirExtremes) {
    {
        Fixture f;  // an arc from 45° to 135°: the top of the circle, not its box
        f.Add(EntityType::Arc,
              Arc{.center = {0, 0, 0}, .radius = 2, .startAngle = 45, .endAngle = 135});
        double s = std::sqrt(2.0);
        ExpectBox(ModelExtents(f.d), {-s, s, 0}, {s, 2, 0});
    }
    {
        Fixture f;  // an arc across 0°: from 300° to 60°
        f.Add(EntityType::Arc,
              Arc{.center = {10, 0, 0}, .radius = 1, .startAngle = 300, .endAngle = 60});
        ExpectBox(ModelExtents(f.d), {10.5, -std::sqrt(3.0) / 2, 0}, {11, std::sqrt(3.0) / 2, 0});
    }
    {
        Fixture f;  // a circle whose OCS is mirrored (extrusion 0,0,-1): x flips
        auto& e = f.Add(EntityType::Circle, Circle{.center = {5, 1, 0}, .radius = 1});
        e.props.extrusion = {0, 0, -1};
        ExpectBox(ModelExtents(f.d), {-6, 0, 0}, {-4, 2, 0});
    }
    {
        Fixture f;  // an ellipse turned by 90°, full
        f.Add(EntityType::Ellipse,
              Ellipse{.center = {0, 0, 0}, .majorAxis = {0, 4, 0}, .ratio = 0.5});
        ExpectBox(ModelExtents(f.d), {-2, -4, 0}, {2, 4, 0});
    }
    {
        Fixture f;  // a half ellipse: parameters 0 to pi
        f.Add(EntityType::Ellipse, Ellipse{.center = {0, 0, 0},
                                           .majorAxis = {3, 0, 0},
                                           .ratio = 0.5,
                                           .startParam = 0,
                                           .endParam = std::numbers::pi});
        ExpectBox(ModelExtents(f.d), {-3, 0, 0}, {3, 1.5, 0});
    }
}

TEST(Extents, PolylineBulgesAndSplines) {
    {
        Fixture f;  // bulge 1 = a half circle below the chord from (0,0) to (2,0) (clockwise
                    // when negative): -1 bulges down, +1 bulges up
        LwPolyline pl;
        pl.vertices = {{.x = 0, .y = 0, .bulge = 1}, {.x = 2, .y = 0}};
        f.Add(EntityType::LwPolyline, pl);
        ExpectBox(ModelExtents(f.d), {0, -1, 0}, {2, 0, 0});
        f.d.blocks[0].entities[0].As<LwPolyline>()->vertices[0].bulge = -1;
        ExpectBox(ModelExtents(f.d), {0, 0, 0}, {2, 1, 0});
    }
    {
        Fixture f;  // a quadratic Bézier from (0,0) over (1,2) to (2,0) peaks at y = 1
        Spline s;
        s.degree = 2;
        s.knots = {0, 0, 0, 1, 1, 1};
        s.controlPoints = {{0, 0, 0}, {1, 2, 0}, {2, 0, 0}};
        f.Add(EntityType::Spline, s);
        ExpectBox(ModelExtents(f.d), {0, 0, 0}, {2, 1, 0}, 1e-6);
        // Broken knots: the control polygon bounds it instead.
        f.d.blocks[0].entities[0].As<Spline>()->knots = {0, 1};
        ExpectBox(ModelExtents(f.d), {0, 0, 0}, {2, 2, 0});
    }
}

TEST(Extents, InsertsThroughTheirTransform) {
    Fixture f;
    BlockId sq = f.AddBlock("SQ", {1, 1, 0});
    f.Add(EntityType::Line, Line{{1, 1, 0}, {2, 1, 0}}, sq);
    f.Add(EntityType::Line, Line{{2, 1, 0}, {2, 2, 0}}, sq);
    // Base (1,1) at (10,0), scale 2, rotated 90°: the unit square spans x 8..10, y 0..2.
    f.AddInsert(sq, Insert{.position = {10, 0, 0}, .scale = {2, 2, 1}, .rotation = 90});
    ExpectBox(ModelExtents(f.d), {8, 0, 0}, {10, 2, 0});
    // An array of 3 columns and 2 rows, 5 apart, unrotated.
    f.d.blocks[0].entities.clear();
    f.AddInsert(
        sq,
        Insert{
            .position = {0, 0, 0}, .columns = 3, .rows = 2, .columnSpacing = 5, .rowSpacing = 5});
    ExpectBox(ModelExtents(f.d), {0, 0, 0}, {11, 6, 0});
    // Nested: a block holding the rotated insert, inserted again at (100, 100).
    BlockId outer = f.AddBlock("OUTER");
    f.AddInsert(sq, Insert{.position = {10, 0, 0}, .scale = {2, 2, 1}, .rotation = 90}, outer);
    f.d.blocks[0].entities.clear();
    f.AddInsert(outer, Insert{.position = {100, 100, 0}});
    ExpectBox(ModelExtents(f.d), {108, 100, 0}, {110, 102, 0});
}

TEST(Extents, ReferenceCyclesEndAndHugeNestingsStayBounded) {
    Fixture f;
    BlockId a = f.AddBlock("A");
    BlockId b = f.AddBlock("B");
    f.Add(EntityType::Point, Point{{1, 1, 0}}, a);
    f.AddInsert(b, Insert{.position = {1, 0, 0}}, a);
    f.AddInsert(a, Insert{.position = {1, 0, 0}}, b);  // A → B → A → ...
    f.AddInsert(a, Insert{});
    Box3 box = ModelExtents(f.d);  // ends: by depth, with every level one step further
    ASSERT_FALSE(box.Empty());
    EXPECT_DOUBLE_EQ(box.min.x, 1);
    EXPECT_LE(box.max.x, 1 + 33);

    // Ten levels of ten references each: 10^10 visits if walked naively.
    Fixture g;
    BlockId prev = g.AddBlock("L0");
    g.Add(EntityType::Point, Point{{0, 0, 0}}, prev);
    for (int level = 1; level <= 10; ++level) {
        BlockId cur = g.AddBlock("L" + std::to_string(level));
        for (int k = 0; k < 10; ++k) {
            g.AddInsert(prev, Insert{.position = {static_cast<double>(k), 0, 0}}, cur);
        }
        prev = cur;
    }
    g.AddInsert(prev, Insert{});
    ExtentsOptions o;
    o.exactBudget = 100000;
    ExpectBox(ModelExtents(g.d, o), {0, 0, 0}, {90, 0, 0});
}

TEST(Extents, FrozenInvisibleAndDefinitionsAreLeftOut) {
    Fixture f;
    f.d.layers.push_back(Layer{.name = "F", .frozen = true});
    f.d.layers.push_back(Layer{.name = "OFF", .on = false});
    f.d.RebuildIndexes();
    f.Add(EntityType::Point, Point{{0, 0, 0}});
    f.Add(EntityType::Point, Point{{100, 0, 0}}).props.layer = 1;          // frozen: out
    f.Add(EntityType::Point, Point{{0, 50, 0}}).props.layer = 2;           // off: in
    f.Add(EntityType::Point, Point{{-100, 0, 0}}).props.invisible = true;  // out
    BlockId blk = f.AddBlock("TAG");
    f.Add(EntityType::Point, Point{{1, 1, 0}}, blk);
    Attribute def;
    def.text.position = {500, 500, 0};
    def.text.height = 1;
    def.text.text = "T";
    f.Add(EntityType::Attdef, def, blk);  // not shown where the block is inserted
    f.AddInsert(blk, Insert{});
    ExpectBox(ModelExtents(f.d), {0, 0, 0}, {1, 50, 0});
    // The paper view itself (viewport 1) is no content; other viewports are.
    f.Add(EntityType::Viewport,
          Viewport{.center = {0, 0, 0}, .width = 1000, .height = 1000, .id = 1}, 1);
    f.Add(EntityType::Viewport, Viewport{.center = {10, 10, 0}, .width = 4, .height = 2, .id = 2},
          1);
    f.d.layouts.push_back(Layout{.name = "Layout1", .block = 1});
    ExpectBox(LayoutExtents(f.d, 0), {8, 9, 0}, {12, 11, 0});
}

TEST(Extents, ExternalReferencesThroughTheirDrawing) {
    auto xdb = std::make_shared<Database>();
    xdb->layers.push_back(Layer{.name = "0"});
    xdb->blocks.push_back(Block{.name = "*Model_Space"});
    xdb->modelSpace = 0;
    xdb->header.insBase = {5, 5, 0};
    Entity e;
    e.Set(EntityType::Line, Line{{5, 5, 0}, {6, 7, 0}});
    xdb->blocks[0].entities.push_back(e);

    Fixture f;
    BlockId x = f.AddBlock("XR");
    f.d.blocks[x].flags = Block::kXref;
    f.AddInsert(x, Insert{.position = {100, 0, 0}});
    f.Add(EntityType::Point, Point{{0, 0, 0}});
    // Not loaded: the reference adds nothing.
    ExpectBox(ModelExtents(f.d), {0, 0, 0}, {0, 0, 0});
    f.d.blocks[x].xref = Xref{.path = "x.dxf", .status = XrefStatus::Loaded, .database = xdb};
    ExpectBox(ModelExtents(f.d), {0, 0, 0}, {101, 2, 0});
}

TEST(Extents, TextIsBoundedApproximately) {
    Fixture f;
    Text t;
    t.position = {0, 0, 0};
    t.height = 2;
    t.text = "ABCDE";
    f.Add(EntityType::Text, t);
    Box3 b = ModelExtents(f.d);
    ASSERT_FALSE(b.Empty());
    EXPECT_NEAR(b.max.y, 2, 1e-9);    // cap height
    EXPECT_GT(b.max.x, 5 * 2 * 0.5);  // about a character per height
    EXPECT_LT(b.max.x, 5 * 2 * 1.0);
    // Right-aligned at (10, 0): the text ends there.
    auto& r = *f.d.blocks[0].entities[0].As<Text>();
    r.halign = 2;
    r.alignPoint = {10, 0, 0};
    r.hasAlignPoint = true;
    b = ModelExtents(f.d);
    EXPECT_NEAR(b.max.x, 10, 1e-9);
    EXPECT_LT(b.min.x, 10);
}

// The computed extents of real drawings agree with the extents their writer stored.
TEST(Extents, AgreeWithStoredExtentsOfRealDrawings) {
    for (const char* rel :
         {"dxf/acadsharp/sample_AC1018_ascii.dxf", "dxf/libredwg/example_2000.dxf",
          "dxf/ezdxf/images.dxf", "dxf/ezdxf/small_r13.dxf", "dxf/ezdxf/bin_dxf_r14.dxf",
          "dxf/ezdxf/recover02.dxf"}) {
        SCOPED_TRACE(rel);
        VX_TESTDATA_OR_SKIP(rel, bytes);
        auto r = dxf::ReadDxf(bytes);
        ASSERT_TRUE(r.Ok());
        const auto& d = *r.database;
        Box3 b = ModelExtents(d);
        ASSERT_FALSE(b.Empty());
        double size =
            std::max(d.header.extMax.x - d.header.extMin.x, d.header.extMax.y - d.header.extMin.y);
        double tol = 0.02 * size;
        EXPECT_NEAR(b.min.x, d.header.extMin.x, tol);
        EXPECT_NEAR(b.min.y, d.header.extMin.y, tol);
        EXPECT_NEAR(b.max.x, d.header.extMax.x, tol);
        EXPECT_NEAR(b.max.y, d.header.extMax.y, tol);
    }
}

}  // namespace
}  // namespace vx::engine::db
