// The examples generator's DWG writer through the engine's DWG reader: a drawing read from
// DXF, written as DWG and read back holds the same layouts, the same entity counts by type
// in each layout, and under each handle the same type, layer, colour, lineweight, texts
// and geometry.
// The samples' checked-in DWG twins read cleanly with the counts of their DXF files.
#include <gtest/gtest.h>

#include <algorithm>

#include "DwgWriter.h"
#include "dwg/EntityReading.h"
#include "dxf/TestDxf.h"
#include "engine/db/Database.h"
#include "engine/dwg/DwgReader.h"
#include "engine/dxf/DxfReader.h"

namespace vx::engine {
namespace {

namespace fs = std::filesystem;
using db::Database;
using db::Entity;

// What the writer keeps: entity types the engine knows up to VIEWPORT, raster images and
// the later dimension kinds aside.
bool Written(const Entity& e) {
    const auto* d = e.As<db::Dimension>();
    return e.type < db::EntityType::XLine && e.type != db::EntityType::Image &&
           !(d && !d->typeName.empty());
}

std::vector<fs::path> Cases() {
    std::vector<fs::path> cases;
    for (const auto& f :
         fs::recursive_directory_iterator(fs::path(VORMEX_SOURCE_DIR) / "examples")) {
        if (f.path().extension() == ".dxf") {
            cases.push_back(f.path());
        }
    }
    std::sort(cases.begin(), cases.end());
    for (const char* rel :
         {"dxf/libredwg/example_2000.dxf", "dxf/acadsharp/sample_AC1015_ascii.dxf",
          "dxf/ezdxf/hatches_1.dxf", "dxf/ezdxf/viewports.dxf", "dxf/ezdxf/text.dxf",
          "dxf/libredwg/example_r12.dxf"}) {
        cases.push_back(test::TestData() / rel);
    }
    return cases;
}

class DwgWriterRoundTrip : public ::testing::TestWithParam<fs::path> {};

TEST_P(DwgWriterRoundTrip, ReadsBackTheSameDrawing) {
    const fs::path& file = GetParam();
    if (!fs::exists(file)) {
        GTEST_SKIP() << "testdata absent: " << file;
    }
    auto in = dxf::ReadDxf(test::ReadBytes(file));
    ASSERT_TRUE(in.Ok()) << in.error.Text();
    const Database& source = *in.database;
    const auto written = dwgwriter::WriteDwg(source);
    auto back = dwg::ReadDwg(std::string(written.bytes.begin(), written.bytes.end()));
    ASSERT_TRUE(back.Ok()) << back.error.Text();
    const Database& read = *back.database;
    EXPECT_EQ(read.header.acadVersion, "AC1015");
    EXPECT_EQ(test::ArrowSizing(read.header), test::ArrowSizing(source.header));
    for (const auto& w : read.warnings) {
        ADD_FAILURE() << w.Text();
    }
    auto counts = test::CountsByLayout(read, Written);
    for (const auto& [name, c] : test::CountsByLayout(source, Written)) {
        EXPECT_EQ(counts[name], c) << name;
    }
    const auto readByHandle = test::ByHandle(read);
    int compared = 0;
    for (const auto& [h, x] : test::ByHandle(source)) {
        if (!Written(*x) || h == 0) {
            continue;
        }
        const std::string what = std::string(x->TypeName()) + " " + std::to_string(h);
        auto it = readByHandle.find(h);
        ASSERT_NE(it, readByHandle.end()) << what << " is missing";
        const Entity& e = *it->second;
        ASSERT_EQ(e.TypeName(), x->TypeName()) << what;
        EXPECT_EQ(read.layers[e.props.layer].name, source.layers[x->props.layer].name) << what;
        EXPECT_EQ(e.props.color.kind, x->props.color.kind) << what;
        EXPECT_EQ(e.props.color.index, x->props.color.index) << what;
        EXPECT_EQ(e.props.lineweight, x->props.lineweight) << what;
        test::ExpectSameReading(test::ReadingOf(read, e), test::ReadingOf(source, *x), what);
        ++compared;
    }
    EXPECT_GT(compared, 0);

    // A sample's checked-in DWG twin holds its drawing and reads cleanly.
    fs::path twin = file;
    twin.replace_extension(".dwg");
    if (file.string().starts_with(VORMEX_SOURCE_DIR)) {
        ASSERT_TRUE(fs::exists(twin)) << "no DWG twin";
        auto t = dwg::ReadDwg(test::ReadBytes(twin));
        ASSERT_TRUE(t.Ok()) << t.error.Text();
        EXPECT_TRUE(t.database->warnings.empty());
        EXPECT_EQ(test::ArrowSizing(t.database->header), test::ArrowSizing(source.header));
        EXPECT_EQ(test::CountsByLayout(*t.database, Written),
                  test::CountsByLayout(source, Written));
    }
}

INSTANTIATE_TEST_SUITE_P(Drawings, DwgWriterRoundTrip, ::testing::ValuesIn(Cases()),
                         [](const auto& p) { return test::StemName(p.param); });

}  // namespace
}  // namespace vx::engine
