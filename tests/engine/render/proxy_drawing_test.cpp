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

TEST(CustomObjects, RealDrawingsShowTheirCustomObjects) {
    for (const char* rel : {"dxf/libredwg/example_r14.dxf", "dwg/acadsharp/sample_AC1032.dwg"}) {
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
        EXPECT_FALSE(pictured.empty()) << rel;
        for (const auto& [type, count] : vx::testing::Draw(*r.database).report.notDrawn) {
            EXPECT_EQ(pictured.count(type), 0u) << rel << ": " << count << " " << type;
        }
    }
}
