// Custom objects drawn from the pictures they carry: a DXF written here, read and plotted,
// and the real drawings with custom objects in the shared test data.
#include <gtest/gtest.h>

#include <set>

#include "RenderTools.h"
#include "db/ProxyStream.h"
#include "dxf/TestDxf.h"
#include "engine/db/Extents.h"
#include "engine/load/DrawingLoader.h"

using namespace vx::engine;
using namespace vx::test::proxy;

TEST(CustomObjects, DrawTheirPictureInTheirPropertiesAndCountWhenTheyHaveNone) {
    const std::string walls = Stream()
                                  .Op(ProxyOp::Polyline, L(2) + P(0, 0) + P(10, 0))
                                  .Op(ProxyOp::Color, L(1))
                                  .Op(ProxyOp::Polyline, L(2) + P(0, 5) + P(10, 5))
                                  .Data();
    const std::string hex = Hex(walls);
    const std::string door =
        Hex(Stream().Op(ProxyOp::Circle, P(20, 20) + D(2) + P(0, 0, 1)).Data());
    vx::test::TestDxf dxf;
    dxf.Header("AC1015").Section("ENTITIES");
    dxf.Groups(
           "0 ACAD_PROXY_ENTITY|5 2A|100 AcDbEntity|8 WALLS|62 3|100 AcDbProxyEntity|90 498|91 500")
        .G(92, static_cast<int>(walls.size()))
        .G(310, hex.substr(0, 100))
        .G(310, hex.substr(100))
        .Groups("93 16|310 00FF|94 0");  // the object's own data is no picture
    dxf.Groups("0 AEC_DOOR|5 2B|100 AcDbEntity|8 0")
        .G(92, static_cast<int>(door.size() / 2))
        .G(310, door);
    dxf.Groups("100 AcDbDoor|92 7|0 AEC_THING|5 2C|100 AcDbEntity|8 0|92 4|90 1");
    dxf.EndSection().Eof();
    const auto read = dxf::ReadDxf(dxf.Ascii());
    ASSERT_TRUE(read.Ok()) << read.error.Text();
    const db::Database& d = *read.database;
    EXPECT_TRUE(d.warnings.empty()) << d.warnings[0].Text();

    const auto plot = vx::testing::Draw(d);
    EXPECT_EQ(plot.report.notDrawn, (std::map<std::string, std::int64_t>{{"AEC_THING", 1}}));
    ASSERT_EQ(plot->strokes.size(), 3u);
    EXPECT_EQ(plot->strokes[0].pen.color, (plotstyle::Rgb{0, 255, 0}));  // the object's colour
    EXPECT_EQ(plot->strokes[1].pen.color, (plotstyle::Rgb{255, 0, 0}));  // the picture's own
    const db::Box3 box = db::LayoutExtents(d, 0);
    EXPECT_EQ(box.max.x, 22);
    EXPECT_EQ(box.min.y, 0);
}

TEST(CustomObjects, TablesDrawTheirOwnPictureWhenTheirBlockIsMissingOrEmpty) {
    // The picture: a circle at (20, 20) in world coordinates; the block "*T1" a line to
    // (50, 0), inserted at (5, 5); "*T2" is empty, "*T3" missing.
    const std::string picture =
        Hex(Stream().Op(ProxyOp::Circle, P(20, 20) + D(2) + P(0, 0, 1)).Data());
    const struct {
        const char* block;
        double right;  // of what is drawn
    } cases[] = {{"*T1", 55}, {"*T2", 22}, {"*T3", 22}};
    for (const auto& c : cases) {
        vx::test::TestDxf dxf;
        dxf.Header("AC1018").Section("BLOCKS");
        dxf.Groups("0 BLOCK|8 0|2 *T1|70 1|10 0,0,0|0 LINE|8 0|10 0,0,0|11 50,0,0|0 ENDBLK");
        dxf.Groups("0 BLOCK|8 0|2 *T2|70 1|10 0,0,0|0 ENDBLK").EndSection().Section("ENTITIES");
        dxf.Groups("0 ACAD_TABLE|5 2A|100 AcDbEntity|8 0")
            .G(92, static_cast<int>(picture.size() / 2))
            .G(310, picture)
            .Groups("100 AcDbBlockReference|10 5,5,0")
            .G(2, c.block)
            .Groups("100 AcDbTable|92 1|91 1");
        dxf.EndSection().Eof();
        const auto read = dxf::ReadDxf(dxf.Ascii());
        ASSERT_TRUE(read.Ok()) << read.error.Text();
        const auto plot = vx::testing::Draw(*read.database);
        EXPECT_TRUE(plot.report.notDrawn.empty()) << c.block;
        ASSERT_EQ(plot->strokes.size(), 1u) << c.block;
        EXPECT_NEAR(db::LayoutExtents(*read.database, 0).max.x, c.right, 1e-9) << c.block;
    }
}

TEST(CustomObjects, RealDrawingsShowTheirCustomObjects) {
    // (the DWG file's tables carry pictures too, but draw from their blocks)
    const std::pair<const char*, bool> files[] = {{"dxf/libredwg/example_r14.dxf", true},
                                                  {"dwg/acadsharp/sample_AC1032.dwg", false}};
    for (const auto& [rel, custom] : files) {
        const auto path = vx::test::TestData() / rel;
        if (!std::filesystem::exists(path)) {
            GTEST_SKIP() << "testdata absent: " << path;
        }
        const auto r = load::LoadDrawing(path);
        ASSERT_TRUE(r.Ok()) << rel << ": " << r.error.Text();
        std::set<std::string> pictured;  // types of model space objects with a picture
        for (const db::Entity& e : r.database->blocks[r.database->layouts[0].block].entities) {
            if (const auto* u = e.As<db::Unknown>(); u && u->graphics != db::kNone) {
                pictured.insert(u->typeName);
            }
        }
        EXPECT_EQ(pictured.empty(), !custom) << rel;
        for (const auto& [type, count] : vx::testing::Draw(*r.database).report.notDrawn) {
            EXPECT_TRUE(pictured.count(type) == 0 && type != "ACAD_TABLE")
                << rel << ": " << count << " " << type;
        }
    }
}
