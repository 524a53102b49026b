// A drawing saved as DWG and as DXF plots the same: a leader added to either reading gets
// the arrowhead the drawing's dimension variables give it.
#include <gtest/gtest.h>

#include <filesystem>

#include "RenderTools.h"
#include "engine/load/DrawingLoader.h"

using namespace vx::engine;
namespace fs = std::filesystem;

namespace {

struct TwinCase {
    fs::path dwg, dxf;
};

const fs::path kExamples = fs::path(VORMEX_SOURCE_DIR) / "examples";
const fs::path kData = fs::path(VORMEX_TESTDATA_DIR);

const TwinCase kTwins[] = {
    {kExamples / "flange.dwg", kExamples / "flange.dxf"},
    {kExamples / "floor-plan.dwg", kExamples / "floor-plan.dxf"},
    {kExamples / "text-styles.dwg", kExamples / "text-styles.dxf"},
    {kData / "dwg/libredwg/example_2000.dwg", kData / "dxf/libredwg/example_2000.dxf"},
    {kData / "dwg/acadsharp/sample_AC1018.dwg", kData / "dxf/acadsharp/sample_AC1018_ascii.dxf"},
    {kData / "dwg/acadsharp/sample_AC1032.dwg", kData / "dxf/acadsharp/sample_AC1032_ascii.dxf"},
};

// The length of the arrowhead of a leader drawn alone with the drawing's header.
double ArrowLength(const fs::path& file) {
    auto read = load::ReadDrawingFile(file);
    EXPECT_TRUE(read.Ok()) << file << ": " << read.error.Text();
    if (!read.Ok()) {
        return 0;
    }
    vx::testing::Drawing w;
    w.d.header = read.database->header;
    db::Leader l;
    l.vertices = {{0, 0, 0}, {50, 0, 0}};
    w.Add(w.model, db::EntityType::Leader, l);
    const auto p = vx::testing::Draw(w.d);
    EXPECT_EQ(p->fills.size(), 1u) << file;
    return p->fills.empty() ? 0 : output::BoundsOf(p->fills[0].rings[0]).Width();
}

struct TwinLeaders : ::testing::TestWithParam<TwinCase> {};

TEST_P(TwinLeaders, GetTheSameArrowheadFromDwgAndDxf) {
    const TwinCase& c = GetParam();
    if (!fs::exists(c.dwg) || !fs::exists(c.dxf)) {
        GTEST_SKIP() << "no twin at " << c.dwg;
    }
    const double fromDxf = ArrowLength(c.dxf);
    EXPECT_GT(fromDxf, 0);
    EXPECT_NEAR(ArrowLength(c.dwg), fromDxf, 1e-9 * fromDxf) << c.dwg;
}

INSTANTIATE_TEST_SUITE_P(Drawings, TwinLeaders, ::testing::ValuesIn(kTwins));

}  // namespace
