// Solids, regions and bodies keep their shape as modeler data the renderer does not
// evaluate: each is counted and named in the plot's notes, never dropped without a word.
#include <gtest/gtest.h>

#include "RenderTools.h"
#include "engine/load/DrawingLoader.h"

using namespace vx::engine;
using namespace vx::testing;

namespace {

bool Warned(const render::RenderReport& r, const std::string& part) {
    const auto notes = render::NotDrawnNotes(r);
    return std::count_if(notes.begin(), notes.end(),
                         [&](const std::string& w) { return Has(w, part); }) == 1;
}

TEST(ModelerEntities, CountedByTypeInTheNotes) {
    Drawing w;
    for (const char* type : {"3DSOLID", "3DSOLID", "REGION", "BODY", "TOLERANCE"}) {
        w.Add(w.model, db::EntityType::Unknown, db::Unknown{type});
    }
    const auto p = Draw(w.d);
    EXPECT_EQ(p.report.modelerNotDrawn, 4);
    EXPECT_TRUE(Warned(p.report, "2 3DSOLID entities are not drawn"));
    EXPECT_TRUE(Warned(p.report, "1 BODY entity is not drawn"));
    EXPECT_TRUE(Warned(p.report, "1 TOLERANCE not drawn"));
}

// One drawing as DXF and as DWG of two versions: both readers keep its two solids and region.
TEST(ModelerEntities, KeptByTheDxfAndDwgReaders) {
    for (const char* file :
         {"dxf/acadsharp/sample_AC1015_ascii.dxf", "dwg/acadsharp/sample_AC1015.dwg",
          "dwg/acadsharp/sample_AC1032.dwg"}) {
        const std::filesystem::path path = std::filesystem::path(VORMEX_TESTDATA_DIR) / file;
        if (!std::filesystem::exists(path)) {
            GTEST_SKIP() << path << " is missing";
        }
        auto r = load::LoadDrawing(path);
        ASSERT_TRUE(r.Ok()) << file;
        const auto p = Draw(*r.database, 0);
        EXPECT_EQ(p.report.modelerNotDrawn, 3) << file;
        EXPECT_TRUE(Warned(p.report, "2 3DSOLID entities") && Warned(p.report, "1 REGION entity"))
            << file;
    }
}

}  // namespace
