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
        d.blocks = {Block{.name = "*Model_Space"}, Block{.name = "*Paper_Space"}};
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

// A box as text, to the 1e-5: "(x y z)-(x y z)".
std::string Str(Vec3 min, Vec3 max) {
    const auto v = [](double x) { return std::abs(x) < 5e-6 ? 0.0 : x; };
    char s[200];
    std::snprintf(s, sizeof s, "(%.5f %.5f %.5f)-(%.5f %.5f %.5f)", v(min.x), v(min.y), v(min.z),
                  v(max.x), v(max.y), v(max.z));
    return s;
}
std::string Str(const Box3& b) {
    return b.Empty() ? "empty" : Str(b.min, b.max);
}

// The model extents of a drawing of one entity.
template <class T>
std::string ExtentsOf(EntityType type, T geometry, Vec3 extrusion = {0, 0, 1}) {
    Fixture f;
    f.Add(type, std::move(geometry)).props.extrusion = extrusion;
    return Str(ModelExtents(f.d));
}

TEST(Extents, CurvesPolylinesAndSplinesAreBoundedByTheirExtremes) {
    const double r3 = std::sqrt(3.0);
    using E = EntityType;
    // An arc across 0 degrees.
    EXPECT_EQ(ExtentsOf(E::Arc, Arc{{10, 0, 0}, 1, 300, 60}),
              Str({10.5, -r3 / 2, 0}, {11, r3 / 2, 0}));
    // A circle in a mirrored OCS: x flips.
    EXPECT_EQ(ExtentsOf(E::Circle, Circle{{5, 1, 0}, 1}, {0, 0, -1}), Str({-6, 0, 0}, {-4, 2, 0}));
    // Half an ellipse; bulge +1: a half circle below the chord.
    EXPECT_EQ(ExtentsOf(E::Ellipse, Ellipse{{0, 0, 0}, {3, 0, 0}, 0.5, 0, std::numbers::pi}),
              Str({-3, 0, 0}, {3, 1.5, 0}));
    EXPECT_EQ(ExtentsOf(E::LwPolyline, LwPolyline{.vertices = {{0, 0, 0, 0, 1}, {2, 0}}}),
              Str({0, -1, 0}, {2, 0, 0}));
    // A quadratic Bezier over (1,2) peaks at y = 1.
    Spline s{.degree = 2, .knots = {0, 0, 0, 1, 1, 1}};
    s.controlPoints = {{0, 0, 0}, {1, 2, 0}, {2, 0, 0}};
    EXPECT_EQ(ExtentsOf(E::Spline, s), Str({0, 0, 0}, {2, 1, 0}));
    // A polyface mesh: its points count, its face records' positions do not.
    Polyline mesh{.flags = Polyline::kPolyfaceMesh};
    mesh.vertices = {{.position = {1, 1, 1}, .flags = 192},
                     {.position = {2, 1, 1}, .flags = 192},
                     {.position = {1, 3, 1}, .flags = 192},
                     {.position = {50, 50, 50}, .flags = 128, .faceIndices = {1, 2, 3, 0}}};
    EXPECT_EQ(ExtentsOf(E::Polyline, mesh), Str({1, 1, 1}, {2, 3, 1}));
}

TEST(Extents, InsertsThroughTheirTransform) {
    Fixture f;
    BlockId sq = f.AddBlock("SQ", {1, 1, 0});
    f.Add(EntityType::Line, Line{{1, 1, 0}, {2, 1, 0}}, sq);
    f.Add(EntityType::Line, Line{{2, 1, 0}, {2, 2, 0}}, sq);
    // Base (1,1) at (10,0), scale 2, rotated 90: the unit square spans x 8..10, y 0..2.
    const Insert turned{.position = {10, 0, 0}, .scale = {2, 2, 1}, .rotation = 90};
    f.AddInsert(sq, turned);
    EXPECT_EQ(Str(ModelExtents(f.d)), Str({8, 0, 0}, {10, 2, 0}));
    f.d.blocks[0].entities.clear();
    f.AddInsert(sq, Insert{.columns = 3, .rows = 2, .columnSpacing = 5, .rowSpacing = 5});
    EXPECT_EQ(Str(ModelExtents(f.d)), Str({0, 0, 0}, {11, 6, 0}));
}

TEST(Extents, ReferenceCyclesEndAndHugeNestingsStayBounded) {
    Fixture f;
    BlockId a = f.AddBlock("A"), b = f.AddBlock("B");
    f.Add(EntityType::Point, Point{{1, 1, 0}}, a);
    f.AddInsert(b, Insert{.position = {1, 0, 0}}, a);
    f.AddInsert(a, Insert{.position = {1, 0, 0}}, b);  // A -> B -> A -> ...
    f.AddInsert(a, Insert{});
    const Box3 box = ModelExtents(f.d);  // ends by depth, every level one step further
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
    EXPECT_EQ(Str(ModelExtents(g.d, o)), Str({0, 0, 0}, {90, 0, 0}));
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
    def.text = Text{.position = {500, 500, 0}, .height = 1, .text = "T"};
    f.Add(EntityType::Attdef, def, blk);  // not shown where the block is inserted
    f.AddInsert(blk, Insert{});
    EXPECT_EQ(Str(ModelExtents(f.d)), Str({0, 0, 0}, {1, 50, 0}));
    // The paper view itself (viewport 1) is no content; other viewports are.
    f.Add(EntityType::Viewport, Viewport{.width = 1000, .height = 1000, .id = 1}, 1);
    f.Add(EntityType::Viewport, Viewport{.center = {10, 10, 0}, .width = 4, .height = 2, .id = 2},
          1);
    f.d.layouts.push_back(Layout{.name = "Layout1", .block = 1});
    EXPECT_EQ(Str(LayoutExtents(f.d, 0)), Str({8, 9, 0}, {12, 11, 0}));
}

// The computed extents of real drawings agree with the extents their writer stored.
TEST(Extents, AgreeWithStoredExtentsOfRealDrawings) {
    for (const char* rel : {"dxf/acadsharp/sample_AC1018_ascii.dxf", "dxf/ezdxf/bin_dxf_r14.dxf"}) {
        SCOPED_TRACE(rel);
        VX_TESTDATA_OR_SKIP(rel, bytes);
        auto r = dxf::ReadDxf(bytes);
        ASSERT_TRUE(r.Ok());
        const auto& h = r.database->header;
        const Box3 b = ModelExtents(*r.database);
        const double tol = 0.02 * std::max(h.extMax.x - h.extMin.x, h.extMax.y - h.extMin.y);
        EXPECT_LE(std::max({std::abs(b.min.x - h.extMin.x), std::abs(b.min.y - h.extMin.y),
                            std::abs(b.max.x - h.extMax.x), std::abs(b.max.y - h.extMax.y)}),
                  tol)
            << Str(b) << " stored " << Str(h.extMin, h.extMax);
    }
}

}  // namespace
}  // namespace vx::engine::db
