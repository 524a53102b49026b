// The DWG reader against the DXF reader: the test data hold the same drawings as DWG and
// as DXF, and what the DWG reader reads must match what the DXF reader reads from the twin:
// layouts with their plot settings, entity counts by type in each layout, and the
// geometry and text of the entities (matched by handle, which both files share).
#include <gtest/gtest.h>

#include <cmath>

#include "dwg/EntityReading.h"
#include "dxf/TestDxf.h"
#include "engine/db/Database.h"
#include "engine/dwg/DwgReader.h"
#include "engine/dxf/DxfReader.h"

namespace vx::engine {
namespace {

using db::Database;
using db::Entity;
using db::EntityType;
using test::Anonymous;
using test::CountsByLayout;

struct Twin {
    enum Kind {
        Exact,       // the DXF export of this very file: everything matches
        Resaved,     // the drawing saved again in another version: handles, table
                     // details and header variables of newer versions differ
        Downgraded,  // an R13/R14 DXF: no layouts, custom objects turned into blocks
    };
    const char* dwg;  // under dwg/, without ".dwg"
    const char* dxf;  // under dxf/, without ".dxf"
    Kind kind = Exact;
};

// The drawing a reader makes of the file.
template <class Reader>
std::unique_ptr<Database> ReadFile(Reader read, const std::filesystem::path& file) {
    auto r = read(test::ReadBytes(file), {});
    EXPECT_TRUE(r.Ok()) << r.error.Text();
    return std::move(r.database);
}

// Colours as the drawing means them: by layer and by block carry no index.
std::string ColorText(const db::Color& c) {
    using K = db::Color::Kind;
    return c.kind == K::ByLayer   ? "bylayer"
           : c.kind == K::ByBlock ? "byblock"
           : c.kind == K::Index   ? "aci " + std::to_string(c.index)
                                  : "rgb " + std::to_string(c.rgb);
}

// A number to nine decimals, so that the two readings compare as equal.
double R(double x) {
    return std::round(x * 1e9) / 1e9;
}

class DwgTwins : public ::testing::TestWithParam<Twin> {
protected:
    void SetUp() override {
        const auto dwgPath = test::TestData() / "dwg" / (GetParam().dwg + std::string(".dwg"));
        const auto dxfPath = test::TestData() / "dxf" / (GetParam().dxf + std::string(".dxf"));
        if (!std::filesystem::exists(dwgPath) || !std::filesystem::exists(dxfPath)) {
            GTEST_SKIP() << "testdata absent: " << dwgPath;
        }
        dwg_ = ReadFile(dwg::ReadDwg, dwgPath);
        dxf_ = ReadFile(dxf::ReadDxf, dxfPath);
        ASSERT_TRUE(dwg_ && dxf_);
        for (const auto& w : dwg_->warnings) {
            ADD_FAILURE() << w.Text();
        }
    }
    std::unique_ptr<Database> dwg_, dxf_;
};

TEST_P(DwgTwins, SameDrawingAsTheDxfTwin) {
    auto a = CountsByLayout(*dwg_);
    auto b = CountsByLayout(*dxf_);
    if (GetParam().kind == Twin::Downgraded) {
        // Model space: the entities an R13/R14 DXF file holds as they are.
        for (const char* type : {"LINE", "ARC", "CIRCLE", "TEXT", "MTEXT", "POLYLINE", "SPLINE",
                                 "ELLIPSE", "SOLID", "3DFACE", "DIMENSION", "POINT", "ATTDEF"}) {
            EXPECT_EQ(a["Model"][type], b["Model"][type]) << type;
        }
        EXPECT_EQ(a["Layout1"], b["Layout1"]);
    } else {
        EXPECT_EQ(a, b);
        ASSERT_EQ(dwg_->layouts.size(), dxf_->layouts.size());
        for (std::size_t i = 0; i < dxf_->layouts.size(); ++i) {
            const auto key = [](const db::Layout& l) {
                const auto& p = l.plot;
                return std::tuple(l.name, l.tabOrder, p.configName, p.canonicalMediaName,
                                  p.styleSheet, R(p.paperWidth), R(p.marginLeft),
                                  p.flags & ~db::PlotSettings::kModelType, p.plotType, p.rotation,
                                  p.standardScaleType, R(p.customScaleDenominator),
                                  R(p.plotOrigin.x), R(p.windowMin.y), R(p.windowMax.x));
            };
            EXPECT_EQ(key(dwg_->layouts[i]), key(dxf_->layouts[i]));
        }
    }
    if (GetParam().kind == Twin::Resaved) {
        return;  // another save of the drawing: handles differ
    }
    auto other = test::ByHandle(*dxf_);
    int compared = 0;
    for (const auto& blk : dwg_->blocks) {
        if (Anonymous(blk.name) && !blk.IsModelSpace() && !blk.IsPaperSpace()) {
            continue;  // made again by the program that exported the DXF file
        }
        for (const auto& e : blk.entities) {
            if (e.type == EntityType::Unknown) {
                continue;  // (some exports turn custom objects into blocks)
            }
            auto it = other.find(e.props.handle);
            if (it == other.end() && GetParam().kind == Twin::Downgraded && blk.IsPaperSpace() &&
                &blk != &dwg_->blocks[dwg_->activePaperSpace]) {
                continue;  // a layout the R13/R14 file has no room for
            }
            ASSERT_NE(it, other.end()) << "handle " << std::hex << e.props.handle << " ("
                                       << e.TypeName() << ") is not in the DXF file";
            const Entity& x = *it->second;
            std::string what = std::string(e.TypeName()) + " " + std::to_string(e.props.handle);
            // an R13/R14 export keeps a table or an arc-length dimension as a reference to
            // its block, a multileader as a proxy
            if ((x.type == EntityType::Unknown ||
                 (e.type == EntityType::Dimension && x.type == EntityType::Insert)) &&
                GetParam().kind == Twin::Downgraded) {
                continue;
            }
            if (!(e.type == EntityType::Table && x.type == EntityType::Insert)) {
                ASSERT_EQ(e.TypeName(), x.TypeName()) << what;
            }
            const auto props = [](const Database& d, const Entity& y) {
                const auto& p = y.props;
                return std::tuple(d.layers[p.layer].name, ColorText(p.color), p.lineweight,
                                  p.invisible, R(p.linetypeScale), R(p.extrusion.x),
                                  R(p.extrusion.y), R(p.extrusion.z));
            };
            EXPECT_EQ(props(*dwg_, e), props(*dxf_, x)) << what;
            ++compared;
            if (const auto* ld = e.As<db::Leader>()) {
                // a DXF export adds the end of the hook line as a vertex
                const std::size_t n = x.As<db::Leader>()->vertices.size();
                EXPECT_TRUE(n == ld->vertices.size() || n == ld->vertices.size() + 1) << what;
            }
            if (const auto* sp = e.As<db::Spline>(); sp && sp->controlPoints.empty()) {
                // Stored by its fit points only; a DXF export may list the control points it
                // computed instead, and may keep the fit points too.
                const auto& fit = x.As<db::Spline>()->fitPoints;
                ASSERT_FALSE(sp->fitPoints.empty()) << what;
                if (!fit.empty()) {
                    ASSERT_EQ(sp->fitPoints.size(), fit.size()) << what;
                    const auto p = sp->fitPoints.back(), q = fit.back();
                    EXPECT_NEAR(std::hypot(p.x - q.x, p.y - q.y, p.z - q.z), 0,
                                1e-9 * (1 + std::abs(q.x) + std::abs(q.y)))
                        << what;
                }
                continue;
            }
            if (const auto* vp = e.As<db::Viewport>(); vp && x.As<db::Viewport>()->id != 0) {
                EXPECT_EQ(vp->id, x.As<db::Viewport>()->id) << what;  // (some writers leave it out)
                EXPECT_EQ(vp->On(), x.As<db::Viewport>()->On()) << what;
            }
            if (const auto* im = e.As<db::Image>()) {
                // (a DXF export may repeat the first vertex at the end)
                EXPECT_LE(x.As<db::Image>()->clipBoundary.size() - im->clipBoundary.size(), 1u)
                    << what;
            }
            test::ExpectSameReading(test::ReadingOf(*dwg_, e), test::ReadingOf(*dxf_, x), what);
        }
    }
    EXPECT_GT(compared, 0);
    EXPECT_EQ(dwg_->header.wipeoutFrame, dxf_->header.wipeoutFrame);
}

INSTANTIATE_TEST_SUITE_P(
    Testdata, DwgTwins,
    ::testing::Values(Twin{"libredwg/example_r13", "libredwg/example_r13", Twin::Downgraded},
                      Twin{"libredwg/example_2000", "libredwg/example_2000"},
                      Twin{"acadsharp/sample_AC1018", "acadsharp/sample_AC1018_ascii"},
                      Twin{"acadsharp/sample_AC1032", "acadsharp/sample_AC1032_ascii"},
                      Twin{"acadsharp/sample_AC1014", "acadsharp/sample_AC1015_ascii",
                           Twin::Resaved},
                      Twin{"libredwg/example_2018", "libredwg/example_2000", Twin::Resaved}),
    [](const ::testing::TestParamInfo<Twin>& p) { return test::StemName(p.param.dwg); });

}  // namespace
}  // namespace vx::engine