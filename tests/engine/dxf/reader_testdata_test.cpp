// The DXF reader on real drawings of the shared testdata: counts, layouts, images and
// annotations, and the same drawing across versions and encodings.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "dwg/EntityReading.h"
#include "dxf/TestDxf.h"
#include "engine/db/Database.h"
#include "engine/dxf/DxfReader.h"

namespace vx::engine {
namespace {

using db::Database;

std::map<std::string, int> Counts(const Database& d) {
    std::map<std::string, int> c;
    for (const auto& l : d.layouts) {
        for (const auto& e : d.blocks[l.block].entities) {
            ++c[std::string(e.TypeName())];
        }
    }
    return c;
}

std::vector<std::string> LayoutNames(const Database& d) {
    std::vector<std::string> names;
    for (const auto& l : d.layouts) {
        names.push_back(l.name);
    }
    return names;
}

std::unique_ptr<Database> Read(const std::string& bytes) {
    auto r = dxf::ReadDxf(bytes);
    EXPECT_TRUE(r.Ok()) << r.error.Text();
    return std::move(r.database);
}

// The ACadSharp sample exists as ASCII and binary DXF of every version from R2000 on: all
// must give the same drawing.
class SampleVersions : public ::testing::TestWithParam<const char*> {};

TEST_P(SampleVersions, SameDrawingInAsciiAndBinary) {
    std::string base = std::string("dxf/acadsharp/sample_") + GetParam();
    VX_TESTDATA_OR_SKIP(base + "_ascii.dxf", ascii);
    VX_TESTDATA_OR_SKIP(base + "_binary.dxf", binary);
    auto a = Read(ascii);
    auto b = Read(binary);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->header.acadVersion, GetParam());
    EXPECT_EQ(LayoutNames(*a),
              (std::vector<std::string>{"Model", "Layout1", "Layout2", "MyLayout"}));
    auto counts = Counts(*a);
    EXPECT_EQ(counts, Counts(*b));
    std::string some;
    for (const char* type : {"LINE", "LWPOLYLINE", "HATCH", "VIEWPORT", "MULTILEADER", "ACAD_TABLE",
                             "MLINE", "TEXT"}) {
        some += std::to_string(counts[type]) + " ";
    }
    EXPECT_EQ(some, "26 21 8 6 15 2 3 29 ");  // in the order of the types above
    EXPECT_TRUE(a->warnings.empty()) << a->warnings.front().Text();
    EXPECT_TRUE(b->warnings.empty()) << b->warnings.front().Text();
    // Geometry agrees between the two encodings.
    const auto& la = a->blocks[a->modelSpace].entities;
    const auto& lb = b->blocks[b->modelSpace].entities;
    for (std::size_t i = 0; i < std::min(la.size(), lb.size()); ++i) {
        test::ExpectSameReading(test::ReadingOf(*a, la[i]), test::ReadingOf(*b, lb[i]),
                                std::string(la[i].TypeName()) + " " + std::to_string(i));
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, SampleVersions, ::testing::Values("AC1015", "AC1021", "AC1032"));

TEST(ReaderTestdata, R12PaperSpaceIsLayout1) {
    VX_TESTDATA_OR_SKIP("dxf/acadsharp/sample_AC1009_ascii.dxf", ascii);
    VX_TESTDATA_OR_SKIP("dxf/acadsharp/sample_AC1009_binary.dxf", binary);
    auto a = Read(ascii);
    auto b = Read(binary);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(LayoutNames(*a), (std::vector<std::string>{"Model", "Layout1"}));
    EXPECT_EQ(Counts(*a), Counts(*b));
    // The two viewports of the file are its paper-space content.
    const auto& paper = a->blocks[a->layouts[1].block].entities;
    ASSERT_EQ(paper.size(), 2u);
    for (const auto& e : paper) {
        EXPECT_EQ(std::tuple(e.type, e.props.paperSpace),
                  std::tuple(db::EntityType::Viewport, true));
    }
    // R12 keeps the view in extended data: the second viewport shows model space.
    const auto* vp = paper[1].As<db::Viewport>();
    EXPECT_GT(vp->viewHeight, 0);
    EXPECT_GT(vp->Scale(), 0);
}

TEST(ReaderTestdata, BrokenLayoutLinksOpenWithWarnings) {
    VX_TESTDATA_OR_SKIP("dxf/ezdxf/layout_broken_links.dxf", bytes);
    auto d = Read(bytes);
    ASSERT_TRUE(d);
    EXPECT_EQ(LayoutNames(*d), (std::vector<std::string>{"Model", "Layout1", "Layout2"}));
    EXPECT_EQ(d->layouts[0].block, d->modelSpace);
    EXPECT_EQ(d->blocks[d->layouts[2].block].name, "*Paper_Space0");
    ASSERT_EQ(d->warnings.size(), 3u);
    EXPECT_NE(d->warnings[1].what.find("'Layout1'"), std::string::npos);
    EXPECT_NE(d->warnings[1].what.find("missing block record"), std::string::npos);
}

TEST(ReaderTestdata, FileWithoutLayoutObjectsGetsModelAndLayout1) {
    VX_TESTDATA_OR_SKIP("dxf/ezdxf/no_layouts.dxf", bytes);
    auto d = Read(bytes);
    ASSERT_TRUE(d);
    EXPECT_EQ(LayoutNames(*d), (std::vector<std::string>{"Model", "Layout1"}));
    EXPECT_EQ(Counts(*d)["SPLINE"], 2);
    EXPECT_EQ(d->header.codePage, "ANSI_1256");
}

// The sample's construction lines, multilines, tables, wipeout and multileaders are read
// with what they draw: tables find their picture blocks, multilines their style.
TEST(ReaderTestdata, AnnotationsFindTheirBlocksAndStyles) {
    VX_TESTDATA_OR_SKIP("dxf/acadsharp/sample_AC1018_ascii.dxf", bytes);
    auto d = Read(bytes);
    ASSERT_TRUE(d);
    for (const auto& e : d->blocks[d->modelSpace].entities) {
        if (const auto* m = e.As<db::MLine>()) {
            ASSERT_LT(m->style, d->mlineStyles.size());
            EXPECT_EQ(d->mlineStyles[m->style].elements.size(), 2u);
            ASSERT_FALSE(m->vertices.empty());
            EXPECT_EQ(m->vertices[0].params.size(), 2u);
        } else if (e.type == db::EntityType::Table) {
            const auto* t = e.As<db::Insert>();
            ASSERT_LT(t->block, d->blocks.size());
            EXPECT_EQ(t->blockName.substr(0, 2), "*T");
            EXPECT_FALSE(d->blocks[t->block].entities.empty());
        } else if (const auto* l = e.As<db::MLeader>()) {
            ASSERT_FALSE(l->branches.empty());
            ASSERT_FALSE(l->branches[0].lines.empty());
            EXPECT_FALSE(l->branches[0].lines[0].vertices.empty());
            EXPECT_TRUE(l->hasText || l->hasBlock || l->contentType == 0) << l->contentType;
            EXPECT_GT(l->arrowSize, 0);
        }
    }
    EXPECT_EQ(d->header.wipeoutFrame, 1);  // its WIPEOUTVARIABLES object
}

}  // namespace
}  // namespace vx::engine
