// The DWG reader against the DXF reader: the test data hold the same drawings as DWG and
// as DXF. What the DWG reader reads must match what the DXF reader reads from the twin:
// version, units, layers and their properties, block names and external references,
// layouts with their plot settings, entity counts by type in each layout, and the
// geometry and text of the entities (matched by handle, which both files share).
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <unordered_map>

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
using db::Vec3;
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

std::ostream& operator<<(std::ostream& os, const Twin& t) {
    return os << t.dwg;
}

// The drawing a reader makes of the file (the DWG file's warnings: DwgTestdata).
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

std::set<std::string> NamedBlocks(const Database& d) {
    std::set<std::string> s;
    for (const auto& b : d.blocks) {
        if (!Anonymous(b.name)) {
            s.insert(db::FoldName(b.name));
        }
    }
    return s;
}

// A number to nine decimals, so that the two readings compare as equal.
double R(double x) {
    return std::round(x * 1e9) / 1e9;
}

void ExpectNear(Vec3 a, Vec3 b, const std::string& what) {
    const double tol = 1e-9 * (1 + std::abs(a.x) + std::abs(a.y) + std::abs(a.z));
    EXPECT_LE(std::max({std::abs(a.x - b.x), std::abs(a.y - b.y), std::abs(a.z - b.z)}), tol)
        << what << ": " << a.x << "," << a.y << "," << a.z << " vs " << b.x << "," << b.y << ","
        << b.z;
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
    }
    std::unique_ptr<Database> dwg_, dxf_;
};

TEST_P(DwgTwins, HeaderMatches) {
    const auto& a = dwg_->header;
    const auto& b = dxf_->header;
    if (GetParam().kind != Twin::Resaved) {
        EXPECT_EQ(a.acadVersion, b.acadVersion);
        EXPECT_TRUE(b.codePage.empty() || a.codePage == db::FoldName(b.codePage)) << a.codePage;
        EXPECT_EQ(a.insUnits, b.insUnits);
        if (b.variables.count("$MEASUREMENT")) {  // (not in R13 DXF files)
            EXPECT_EQ(a.measurement, b.measurement);
        }
    }
    const auto key = [](const db::Header& h) {
        return std::tuple(h.lunits, h.luprec, h.pdMode, R(h.ltScale), R(h.textSize), h.tileMode);
    };
    EXPECT_EQ(key(a), key(b));
    // (the extents are recomputed by some exports: near is enough)
    double span = std::abs(b.extMax.x - b.extMin.x) + std::abs(b.extMax.y - b.extMin.y) + 1;
    for (auto [p, q] : {std::pair{a.extMin, b.extMin}, {a.extMax, b.extMax}}) {
        EXPECT_NEAR(std::hypot(p.x - q.x, p.y - q.y), 0, 1e-4 * span);
    }
    ExpectNear(a.limMin, b.limMin, "$LIMMIN");
    ExpectNear(a.limMax, b.limMax, "$LIMMAX");
    ExpectNear(a.insBase, b.insBase, "$INSBASE");
    // (a DXF export takes handles of its own, so $HANDSEED moves on)
    EXPECT_GT(a.handSeed, 0u);
    EXPECT_LE(a.handSeed, b.handSeed);
}

TEST_P(DwgTwins, LayersLinetypesAndTextStylesMatch) {
    const auto layers = [](const Database& d) {
        std::vector<std::string> out;
        for (const auto& l : d.layers) {
            const auto lt = l.linetype == db::kNone ? "Continuous" : d.linetypes[l.linetype].name;
            out.push_back(l.name + " " + ColorText(l.color) + " on " + std::to_string(l.on) +
                          " frozen " + std::to_string(l.frozen) + " locked " +
                          std::to_string(l.locked) + " plot " + std::to_string(l.plot) + " lw " +
                          std::to_string(l.lineweight) + " " + db::FoldName(lt));
        }
        return out;
    };
    if (GetParam().kind != Twin::Resaved) {  // another save of the drawing changed its layers
        EXPECT_EQ(layers(*dwg_), layers(*dxf_));
    }
    const auto linetypes = [](const Database& d) {
        std::map<std::string, std::vector<std::pair<double, std::string>>> out;
        for (const auto& l : d.linetypes) {
            auto& e = out[db::FoldName(l.name)];
            e.emplace_back(R(l.patternLength), "");
            for (const auto& x : l.elements) {
                e.emplace_back(R(x.length), x.text);
            }
        }
        return out;
    };
    EXPECT_EQ(linetypes(*dwg_), linetypes(*dxf_));
    const auto styles = [](const Database& d) {
        std::map<std::string, std::string> out;
        for (const auto& st : d.textStyles) {
            out[db::FoldName(st.name)] = db::FoldName(st.fontFile) + "|" + st.fontFamily;
        }
        return out;
    };
    EXPECT_EQ(styles(*dwg_), styles(*dxf_));
}

TEST_P(DwgTwins, BlocksAndReferencesMatch) {
    if (GetParam().kind == Twin::Downgraded) {
        GTEST_SKIP() << "the DXF file turned custom objects into blocks";
    }
    EXPECT_EQ(NamedBlocks(*dwg_), NamedBlocks(*dxf_));
    if (GetParam().kind == Twin::Exact) {
        EXPECT_EQ(dwg_->blocks.size(), dxf_->blocks.size());
    }
    for (const auto& b : dxf_->blocks) {
        if (Anonymous(b.name)) {
            continue;
        }
        db::BlockId id = dwg_->FindBlock(b.name);
        ASSERT_NE(id, db::kNone) << b.name;
        const auto& a = dwg_->blocks[id];
        EXPECT_EQ(a.entities.size(), b.entities.size()) << b.name;
        EXPECT_EQ(a.flags & 0x1F, b.flags & 0x1F) << b.name;
        ExpectNear(a.base, b.base, b.name);
        ASSERT_EQ(a.xref.has_value(), b.xref.has_value()) << b.name;
        if (b.xref) {
            EXPECT_EQ(a.xref->path, b.xref->path);
        }
    }
    // every insert and dimension finds its block
    for (const auto& b : dwg_->blocks) {
        for (const auto& e : b.entities) {
            if (const auto* ins = e.As<db::Insert>()) {
                EXPECT_NE(ins->block, db::kNone) << ins->blockName;
            }
            if (const auto* dim = e.As<db::Dimension>()) {
                EXPECT_NE(dim->block, db::kNone) << dim->blockName;
            }
        }
    }
}

TEST_P(DwgTwins, LayoutsAndPlotSettingsMatch) {
    if (GetParam().kind == Twin::Downgraded) {
        GTEST_SKIP() << "an R13/R14 DXF file has no layouts";
    }
    ASSERT_EQ(dwg_->layouts.size(), dxf_->layouts.size());
    for (std::size_t i = 0; i < dxf_->layouts.size(); ++i) {
        const auto key = [](const Database& d, const db::Layout& l) {
            const auto& p = l.plot;
            return std::tuple(l.name, l.tabOrder, l.IsModel(), p.pageSetupName, p.configName,
                              p.canonicalMediaName, p.styleSheet, p.plotViewName, R(p.paperWidth),
                              R(p.paperHeight), R(p.marginLeft), R(p.marginTop),
                              p.flags & ~db::PlotSettings::kModelType, p.plotType, p.rotation,
                              p.paperUnits, p.standardScaleType, R(p.customScaleNumerator),
                              R(p.customScaleDenominator), d.blocks[l.block].IsModelSpace());
        };
        EXPECT_EQ(key(*dwg_, dwg_->layouts[i]), key(*dxf_, dxf_->layouts[i]));
        ExpectNear(dwg_->layouts[i].limitsMax, dxf_->layouts[i].limitsMax, "limits");
        ExpectNear(dwg_->layouts[i].extentsMax, dxf_->layouts[i].extentsMax, "extents");
    }
}

TEST_P(DwgTwins, EntityCountsByLayoutMatch) {
    auto a = CountsByLayout(*dwg_);
    auto b = CountsByLayout(*dxf_);
    if (GetParam().kind == Twin::Downgraded) {
        // Model space: the entities an R13/R14 DXF file holds as they are.
        for (const char* type : {"LINE", "ARC", "CIRCLE", "TEXT", "MTEXT", "POLYLINE", "SPLINE",
                                 "ELLIPSE", "SOLID", "3DFACE", "DIMENSION", "POINT", "ATTDEF"}) {
            EXPECT_EQ(a["Model"][type], b["Model"][type]) << type;
        }
        EXPECT_EQ(a["Layout1"], b["Layout1"]);
        return;
    }
    EXPECT_EQ(a, b);
}

// Geometry and text of the entities both files hold under the same handle.
TEST_P(DwgTwins, GeometryAndTextMatch) {
    if (GetParam().kind == Twin::Resaved) {
        GTEST_SKIP() << "another save of the drawing: handles differ";
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
            // an R13/R14 export keeps a table as a reference to its block, a multileader
            // as a proxy
            if (x.type == EntityType::Unknown && GetParam().kind == Twin::Downgraded) {
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
                    ExpectNear(sp->fitPoints.back(), fit.back(), what);
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
                      Twin{"libredwg/example_r14", "libredwg/example_r14", Twin::Downgraded},
                      Twin{"libredwg/example_2000", "libredwg/example_2000"},
                      Twin{"libredwg/2000_TS1", "libredwg/2000_TS1"},
                      Twin{"acadsharp/sample_AC1015", "acadsharp/sample_AC1015_ascii"},
                      Twin{"acadsharp/sample_AC1018", "acadsharp/sample_AC1018_ascii"},
                      Twin{"acadsharp/sample_AC1021", "acadsharp/sample_AC1021_ascii"},
                      Twin{"acadsharp/sample_AC1024", "acadsharp/sample_AC1024_ascii"},
                      Twin{"acadsharp/sample_AC1027", "acadsharp/sample_AC1027_ascii"},
                      Twin{"acadsharp/sample_AC1032", "acadsharp/sample_AC1032_ascii"},
                      Twin{"acadsharp/sample_AC1014", "acadsharp/sample_AC1015_ascii",
                           Twin::Resaved},
                      Twin{"libredwg/example_2004", "libredwg/example_2000", Twin::Resaved},
                      Twin{"libredwg/example_2007", "libredwg/example_2000", Twin::Resaved},
                      Twin{"libredwg/example_2010", "libredwg/example_2000", Twin::Resaved},
                      Twin{"libredwg/example_2013", "libredwg/example_2000", Twin::Resaved},
                      Twin{"libredwg/example_2018", "libredwg/example_2000", Twin::Resaved}),
    [](const ::testing::TestParamInfo<Twin>& p) { return test::StemName(p.param.dwg); });

// Every DWG file of the test data from R13 on reads without a warning, with the objects
// a plot needs: a model space, layouts, layers; older ones are refused, saying so.
TEST(DwgTestdata, EveryFileReadsCleanly) {
    auto dir = test::TestData() / "dwg";
    if (!std::filesystem::exists(dir)) {
        GTEST_SKIP() << "testdata absent";
    }
    int files = 0;
    for (const auto& f : std::filesystem::recursive_directory_iterator(dir)) {
        if (f.path().extension() != ".dwg") {
            continue;
        }
        SCOPED_TRACE(f.path().string());
        auto r = dwg::ReadDwg(test::ReadBytes(f.path()));
        if (f.path().parent_path().filename() == "pre_r13") {
            EXPECT_NE(r.error.what.find("is older than R13 and cannot be read"), std::string::npos);
            continue;
        }
        ASSERT_TRUE(r.Ok()) << r.error.Text();
        const Database& d = *r.database;
        for (const auto& w : d.warnings) {
            ADD_FAILURE() << w.Text();
        }
        ASSERT_NE(d.ModelSpace(), nullptr);
        EXPECT_TRUE(d.layouts.front().IsModel());
        EXPECT_GE(d.layouts.size(), 2u);
        EXPECT_NE(d.FindLayer("0"), db::kNone);
        EXPECT_FALSE(d.header.codePage.empty());
        ++files;
    }
    EXPECT_GE(files, 26);
}

// The same text in every version of one drawing: code page text before R2007, UTF-16 after.
TEST(DwgTestdata, TheSameTextInEveryVersion) {
    std::vector<std::string> seen;
    for (const char* v : {"2000", "2004", "2007", "2010", "2013", "2018"}) {
        auto p = test::TestData() / "dwg" / "libredwg" / (std::string(v) + "_Text.dwg");
        if (!std::filesystem::exists(p)) {
            GTEST_SKIP() << "testdata absent";
        }
        auto r = dwg::ReadDwg(test::ReadBytes(p));
        ASSERT_TRUE(r.Ok()) << r.error.Text();
        std::string all;
        for (const auto& e : r.database->ModelSpace()->entities) {
            if (const auto* m = e.As<db::MText>()) {
                all += m->text + "|";
            }
        }
        seen.push_back(all);
    }
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_NE(seen[0].find("This a multiline text"), std::string::npos) << seen[0];
    for (const auto& s : seen) {
        EXPECT_EQ(s, seen[0]);
    }
}

}  // namespace
}  // namespace vx::engine
