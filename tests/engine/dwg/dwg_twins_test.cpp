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

struct Twin {
    enum Kind {
        Exact,       // the DXF export of this very file: everything matches
        Resaved,     // the drawing saved again in another version: handles, table
                     // details and header variables of newer versions differ
        Downgraded,  // an R13/R14 DXF: no layouts, custom objects turned into blocks
    };
    const char* dwg;
    const char* dxf;
    Kind kind = Exact;
};

std::ostream& operator<<(std::ostream& os, const Twin& t) {
    return os << t.dwg;
}

std::unique_ptr<Database> ReadDwgFile(const std::string& bytes) {
    auto r = dwg::ReadDwg(bytes);
    EXPECT_TRUE(r.Ok()) << r.error.Text();
    return std::move(r.database);
}

std::unique_ptr<Database> ReadDxfFile(const std::string& bytes) {
    auto r = dxf::ReadDxf(bytes);
    EXPECT_TRUE(r.Ok()) << r.error.Text();
    return std::move(r.database);
}

// Entity counts by type, per layout name.
std::map<std::string, std::map<std::string, int>> CountsByLayout(const Database& d) {
    std::map<std::string, std::map<std::string, int>> c;
    for (const auto& l : d.layouts) {
        auto& m = c[l.name];
        for (const auto& e : d.blocks[l.block].entities) {
            ++m[std::string(e.TypeName())];
        }
    }
    return c;
}

// Colours as the drawing means them: by layer and by block carry no index.
std::string ColorText(const db::Color& c) {
    switch (c.kind) {
        case db::Color::Kind::ByLayer:
            return "bylayer";
        case db::Color::Kind::ByBlock:
            return "byblock";
        case db::Color::Kind::Index:
            return "aci " + std::to_string(c.index);
        case db::Color::Kind::True:
            return "rgb " + std::to_string(c.rgb);
    }
    return "?";
}

// DXF files write control characters as ^J, ^I, ...; the DWG file holds the characters.
std::string Uncaret(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '^' && i + 1 < s.size()) {
            char c = s[i + 1];
            out += c == ' ' ? '^' : static_cast<char>(c & 0x1F);
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string StyleName(const Database& d, db::StyleId id) {
    return id == db::kNone ? std::string("Standard") : d.textStyles[id].name;
}

bool Anonymous(const std::string& name) {
    return !name.empty() && name[0] == '*';
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

void ExpectNear(Vec3 a, Vec3 b, const std::string& what) {
    double tol = 1e-9 * (1 + std::abs(a.x) + std::abs(a.y) + std::abs(a.z));
    EXPECT_NEAR(a.x, b.x, tol) << what;
    EXPECT_NEAR(a.y, b.y, tol) << what;
    EXPECT_NEAR(a.z, b.z, tol) << what;
}

std::unordered_map<db::Handle, const Entity*> ByHandle(const Database& d) {
    std::unordered_map<db::Handle, const Entity*> m;
    for (const auto& b : d.blocks) {
        for (const auto& e : b.entities) {
            m[e.props.handle] = &e;
        }
    }
    return m;
}

class DwgTwins : public ::testing::TestWithParam<Twin> {
protected:
    void SetUp() override {
        auto dwgPath = test::TestData() / GetParam().dwg;
        auto dxfPath = test::TestData() / GetParam().dxf;
        if (!std::filesystem::exists(dwgPath) || !std::filesystem::exists(dxfPath)) {
            GTEST_SKIP() << "testdata absent: " << dwgPath;
        }
        dwg_ = ReadDwgFile(test::ReadBytes(dwgPath));
        dxf_ = ReadDxfFile(test::ReadBytes(dxfPath));
        ASSERT_TRUE(dwg_ && dxf_);
    }
    std::unique_ptr<Database> dwg_, dxf_;
};

TEST_P(DwgTwins, ReadsWithoutWarnings) {
    for (const auto& w : dwg_->warnings) {
        ADD_FAILURE() << w.Text();
    }
}

TEST_P(DwgTwins, HeaderMatches) {
    const auto& a = dwg_->header;
    const auto& b = dxf_->header;
    if (GetParam().kind != Twin::Resaved) {
        EXPECT_EQ(a.acadVersion, b.acadVersion);
        if (!b.codePage.empty()) {
            EXPECT_EQ(a.codePage, db::FoldName(b.codePage));
        }
        EXPECT_EQ(a.insUnits, b.insUnits);
        if (b.variables.count("$MEASUREMENT")) {  // (not in R13 DXF files)
            EXPECT_EQ(a.measurement, b.measurement);
        }
    }
    EXPECT_EQ(a.lunits, b.lunits);
    EXPECT_EQ(a.luprec, b.luprec);
    EXPECT_EQ(a.pdMode, b.pdMode);
    EXPECT_DOUBLE_EQ(a.ltScale, b.ltScale);
    EXPECT_DOUBLE_EQ(a.textSize, b.textSize);
    EXPECT_EQ(a.tileMode, b.tileMode);
    // (the extents are recomputed by some exports: near is enough)
    double span = std::abs(b.extMax.x - b.extMin.x) + std::abs(b.extMax.y - b.extMin.y) + 1;
    EXPECT_NEAR(a.extMin.x, b.extMin.x, 1e-4 * span);
    EXPECT_NEAR(a.extMin.y, b.extMin.y, 1e-4 * span);
    EXPECT_NEAR(a.extMax.x, b.extMax.x, 1e-4 * span);
    EXPECT_NEAR(a.extMax.y, b.extMax.y, 1e-4 * span);
    ExpectNear(a.limMin, b.limMin, "$LIMMIN");
    ExpectNear(a.limMax, b.limMax, "$LIMMAX");
    ExpectNear(a.insBase, b.insBase, "$INSBASE");
    // (a DXF export takes handles of its own, so $HANDSEED moves on)
    EXPECT_GT(a.handSeed, 0u);
    EXPECT_LE(a.handSeed, b.handSeed);
}

TEST_P(DwgTwins, LayersMatch) {
    if (GetParam().kind == Twin::Resaved) {
        GTEST_SKIP() << "another save of the drawing: its layers changed";
    }
    ASSERT_EQ(dwg_->layers.size(), dxf_->layers.size());
    for (std::size_t i = 0; i < dxf_->layers.size(); ++i) {
        const auto& a = dwg_->layers[i];
        const auto& b = dxf_->layers[i];
        SCOPED_TRACE(b.name);
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(ColorText(a.color), ColorText(b.color));
        EXPECT_EQ(a.on, b.on);
        EXPECT_EQ(a.frozen, b.frozen);
        EXPECT_EQ(a.locked, b.locked);
        EXPECT_EQ(a.plot, b.plot);
        EXPECT_EQ(a.lineweight, b.lineweight);
        auto ltName = [](const Database& d, const db::Layer& l) {
            return l.linetype == db::kNone ? std::string("Continuous")
                                           : d.linetypes[l.linetype].name;
        };
        EXPECT_EQ(db::FoldName(ltName(*dwg_, a)), db::FoldName(ltName(*dxf_, b)));
    }
}

TEST_P(DwgTwins, LinetypesAndTextStylesMatch) {
    std::map<std::string, const db::Linetype*> la, lb;
    for (const auto& l : dwg_->linetypes) {
        la[db::FoldName(l.name)] = &l;
    }
    for (const auto& l : dxf_->linetypes) {
        lb[db::FoldName(l.name)] = &l;
    }
    ASSERT_EQ(la.size(), lb.size());
    for (const auto& [name, b] : lb) {
        ASSERT_TRUE(la.count(name)) << name;
        const db::Linetype* a = la[name];
        EXPECT_NEAR(a->patternLength, b->patternLength, 1e-9) << name;
        ASSERT_EQ(a->elements.size(), b->elements.size()) << name;
        for (std::size_t k = 0; k < a->elements.size(); ++k) {
            EXPECT_NEAR(a->elements[k].length, b->elements[k].length, 1e-9) << name;
            EXPECT_EQ(a->elements[k].text, b->elements[k].text) << name;
        }
    }
    std::map<std::string, std::string> sa, sb;
    for (const auto& st : dwg_->textStyles) {
        sa[db::FoldName(st.name)] = db::FoldName(st.fontFile) + "|" + st.fontFamily;
    }
    for (const auto& st : dxf_->textStyles) {
        sb[db::FoldName(st.name)] = db::FoldName(st.fontFile) + "|" + st.fontFamily;
    }
    EXPECT_EQ(sa, sb);
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
        const auto& a = dwg_->layouts[i];
        const auto& b = dxf_->layouts[i];
        SCOPED_TRACE(b.name);
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.tabOrder, b.tabOrder);
        EXPECT_EQ(a.IsModel(), b.IsModel());
        EXPECT_EQ(a.plot.pageSetupName, b.plot.pageSetupName);
        EXPECT_EQ(a.plot.configName, b.plot.configName);
        EXPECT_EQ(a.plot.canonicalMediaName, b.plot.canonicalMediaName);
        EXPECT_EQ(a.plot.styleSheet, b.plot.styleSheet);
        EXPECT_EQ(a.plot.plotViewName, b.plot.plotViewName);
        EXPECT_DOUBLE_EQ(a.plot.paperWidth, b.plot.paperWidth);
        EXPECT_DOUBLE_EQ(a.plot.paperHeight, b.plot.paperHeight);
        EXPECT_DOUBLE_EQ(a.plot.marginLeft, b.plot.marginLeft);
        EXPECT_DOUBLE_EQ(a.plot.marginTop, b.plot.marginTop);
        EXPECT_EQ(a.plot.flags & ~db::PlotSettings::kModelType,
                  b.plot.flags & ~db::PlotSettings::kModelType);
        EXPECT_EQ(a.plot.plotType, b.plot.plotType);
        EXPECT_EQ(a.plot.rotation, b.plot.rotation);
        EXPECT_EQ(a.plot.paperUnits, b.plot.paperUnits);
        EXPECT_EQ(a.plot.standardScaleType, b.plot.standardScaleType);
        EXPECT_DOUBLE_EQ(a.plot.customScaleNumerator, b.plot.customScaleNumerator);
        EXPECT_DOUBLE_EQ(a.plot.customScaleDenominator, b.plot.customScaleDenominator);
        ExpectNear(a.limitsMax, b.limitsMax, "limits");
        ExpectNear(a.extentsMax, b.extentsMax, "extents");
        EXPECT_EQ(dwg_->blocks[a.block].IsModelSpace(), dxf_->blocks[b.block].IsModelSpace());
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
    auto other = ByHandle(*dxf_);
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
            EXPECT_EQ(dwg_->layers[e.props.layer].name, dxf_->layers[x.props.layer].name) << what;
            EXPECT_EQ(ColorText(e.props.color), ColorText(x.props.color)) << what;
            EXPECT_EQ(e.props.lineweight, x.props.lineweight) << what;
            EXPECT_EQ(e.props.invisible, x.props.invisible) << what;
            ExpectNear(e.props.extrusion, x.props.extrusion, what + " extrusion");
            EXPECT_DOUBLE_EQ(e.props.linetypeScale, x.props.linetypeScale) << what;
            ++compared;
            if (const auto* g = e.As<db::Line>()) {
                ExpectNear(g->start, x.As<db::Line>()->start, what);
                ExpectNear(g->end, x.As<db::Line>()->end, what);
            } else if (const auto* c = e.As<db::Circle>()) {
                ExpectNear(c->center, x.As<db::Circle>()->center, what);
                EXPECT_NEAR(c->radius, x.As<db::Circle>()->radius, 1e-9) << what;
            } else if (const auto* a = e.As<db::Arc>()) {
                const auto* b = x.As<db::Arc>();
                ExpectNear(a->center, b->center, what);
                EXPECT_NEAR(a->radius, b->radius, 1e-9) << what;
                EXPECT_NEAR(a->startAngle, b->startAngle, 1e-9) << what;
                EXPECT_NEAR(a->endAngle, b->endAngle, 1e-9) << what;
            } else if (const auto* t = e.As<db::Text>()) {
                const auto* b = x.As<db::Text>();
                EXPECT_EQ(t->text, b->text) << what;
                ExpectNear(t->position, b->position, what);
                EXPECT_NEAR(t->height, b->height, 1e-9) << what;
                EXPECT_NEAR(t->rotation, b->rotation, 1e-9) << what;
                EXPECT_EQ(t->halign, b->halign) << what;
                EXPECT_EQ(t->valign, b->valign) << what;
                // a DXF TEXT without a style group means the STANDARD style
                EXPECT_EQ(db::FoldName(StyleName(*dwg_, t->style)),
                          db::FoldName(StyleName(*dxf_, b->style)))
                    << what;
            } else if (const auto* m = e.As<db::MText>()) {
                const auto* b = x.As<db::MText>();
                EXPECT_EQ(m->text, Uncaret(b->text)) << what;
                ExpectNear(m->position, b->position, what);
                EXPECT_NEAR(m->height, b->height, 1e-9) << what;
                EXPECT_EQ(m->attachment, b->attachment) << what;
            } else if (const auto* lw = e.As<db::LwPolyline>()) {
                const auto* b = x.As<db::LwPolyline>();
                ASSERT_EQ(lw->vertices.size(), b->vertices.size()) << what;
                for (std::size_t k = 0; k < lw->vertices.size(); ++k) {
                    EXPECT_NEAR(lw->vertices[k].x, b->vertices[k].x, 1e-9) << what;
                    EXPECT_NEAR(lw->vertices[k].y, b->vertices[k].y, 1e-9) << what;
                    EXPECT_NEAR(lw->vertices[k].bulge, b->vertices[k].bulge, 1e-9) << what;
                }
                EXPECT_EQ(lw->closed, b->closed) << what;
            } else if (const auto* pl = e.As<db::Polyline>()) {
                const auto* b = x.As<db::Polyline>();
                ASSERT_EQ(pl->vertices.size(), b->vertices.size()) << what;
                for (std::size_t k = 0; k < pl->vertices.size(); ++k) {
                    ExpectNear(pl->vertices[k].position, b->vertices[k].position, what);
                }
                EXPECT_EQ(pl->Closed(), b->Closed()) << what;
                EXPECT_EQ(pl->Is3d(), b->Is3d()) << what;
            } else if (const auto* ins = e.As<db::Insert>()) {
                const auto* b = x.As<db::Insert>();
                ExpectNear(ins->position, b->position, what);
                ExpectNear(ins->scale, b->scale, what);
                EXPECT_NEAR(ins->rotation, b->rotation, 1e-9) << what;
                EXPECT_EQ(ins->attribs.size(), b->attribs.size()) << what;
                for (std::size_t k = 0; k < ins->attribs.size() && k < b->attribs.size(); ++k) {
                    EXPECT_EQ(ins->attribs[k].attribute.tag, b->attribs[k].attribute.tag);
                    EXPECT_EQ(ins->attribs[k].attribute.text.text,
                              b->attribs[k].attribute.text.text);
                }
                if (!Anonymous(b->blockName)) {
                    EXPECT_EQ(ins->blockName, b->blockName) << what;
                }
            } else if (const auto* dim = e.As<db::Dimension>()) {
                const auto* b = x.As<db::Dimension>();
                EXPECT_EQ(dim->dimType & 0x0F, b->dimType & 0x0F) << what;
                ExpectNear(dim->definitionPoint, b->definitionPoint, what);
                ExpectNear(dim->textMidpoint, b->textMidpoint, what);
                EXPECT_EQ(dim->text, b->text) << what;
                EXPECT_NEAR(dim->measurement, b->measurement, 1e-9) << what;
            } else if (const auto* sp = e.As<db::Spline>()) {
                const auto* b = x.As<db::Spline>();
                EXPECT_EQ(sp->degree, b->degree) << what;
                if (!sp->controlPoints.empty()) {
                    ASSERT_EQ(sp->controlPoints.size(), b->controlPoints.size()) << what;
                    EXPECT_EQ(sp->knots.size(), b->knots.size()) << what;
                    ExpectNear(sp->controlPoints.back(), b->controlPoints.back(), what);
                } else {
                    // Stored by its fit points only; a DXF export may list the control
                    // points it computed instead.
                    ASSERT_FALSE(sp->fitPoints.empty()) << what;
                    if (!b->fitPoints.empty()) {
                        ASSERT_EQ(sp->fitPoints.size(), b->fitPoints.size()) << what;
                        ExpectNear(sp->fitPoints.back(), b->fitPoints.back(), what);
                    }
                }
            } else if (const auto* el = e.As<db::Ellipse>()) {
                const auto* b = x.As<db::Ellipse>();
                ExpectNear(el->center, b->center, what);
                ExpectNear(el->majorAxis, b->majorAxis, what);
                EXPECT_NEAR(el->ratio, b->ratio, 1e-9) << what;
                EXPECT_NEAR(el->endParam, b->endParam, 1e-9) << what;
            } else if (const auto* f = e.As<db::Face>()) {
                const auto* b = x.As<db::Face>();
                for (int k = 0; k < 4; ++k) {
                    ExpectNear(f->corners[k], b->corners[k], what);
                }
            } else if (const auto* h = e.As<db::Hatch>()) {
                const auto* b = x.As<db::Hatch>();
                EXPECT_EQ(h->patternName, b->patternName) << what;
                EXPECT_EQ(h->solid, b->solid) << what;
                ASSERT_EQ(h->paths.size(), b->paths.size()) << what;
                for (std::size_t k = 0; k < h->paths.size(); ++k) {
                    EXPECT_EQ(h->paths[k].edges.size(), b->paths[k].edges.size()) << what;
                    EXPECT_EQ(h->paths[k].polyline.size(), b->paths[k].polyline.size()) << what;
                }
                EXPECT_EQ(h->patternLines.size(), b->patternLines.size()) << what;
                EXPECT_NEAR(h->patternAngle, b->patternAngle, 1e-9) << what;
            } else if (const auto* vp = e.As<db::Viewport>()) {
                const auto* b = x.As<db::Viewport>();
                ExpectNear(vp->center, b->center, what);
                EXPECT_NEAR(vp->width, b->width, 1e-9) << what;
                EXPECT_NEAR(vp->height, b->height, 1e-9) << what;
                EXPECT_NEAR(vp->viewHeight, b->viewHeight, 1e-9) << what;
                ExpectNear(vp->viewCenter, b->viewCenter, what);
                if (b->id != 0) {  // (some writers leave the number out)
                    EXPECT_EQ(vp->On(), b->On()) << what;
                    EXPECT_EQ(vp->id, b->id) << what;
                }
                EXPECT_EQ(vp->frozenLayers, b->frozenLayers) << what;
            } else if (const auto* im = e.As<db::Image>()) {
                const auto* b = x.As<db::Image>();
                ExpectNear(im->position, b->position, what);
                ExpectNear(im->uVector, b->uVector, what);
                // (a DXF export may repeat the first vertex at the end)
                EXPECT_LE(b->clipBoundary.size() - im->clipBoundary.size(), 1u) << what;
                if (e.type == EntityType::Image) {  // a wipeout has no picture
                    ASSERT_NE(im->imageDef, db::kNone) << what;
                    EXPECT_EQ(dwg_->images[im->imageDef].fileName,
                              dxf_->images[b->imageDef].fileName);
                }
            } else if (const auto* mld = e.As<db::MLeader>()) {
                const auto* b = x.As<db::MLeader>();
                EXPECT_EQ(mld->contentType, b->contentType) << what;
                EXPECT_EQ(mld->lineType, b->lineType) << what;
                EXPECT_NEAR(mld->arrowSize, b->arrowSize, 1e-9) << what;
                EXPECT_EQ(mld->hasText, b->hasText) << what;
                EXPECT_EQ(mld->text.text, b->text.text) << what;
                ExpectNear(mld->text.position, b->text.position, what);
                EXPECT_NEAR(mld->text.height, b->text.height, 1e-9) << what;
                ASSERT_EQ(mld->branches.size(), b->branches.size()) << what;
                for (std::size_t k = 0; k < mld->branches.size(); ++k) {
                    const auto& p = mld->branches[k];
                    const auto& q = b->branches[k];
                    ExpectNear(p.landing, q.landing, what);
                    EXPECT_NEAR(p.doglegLength, q.doglegLength, 1e-9) << what;
                    ASSERT_EQ(p.lines.size(), q.lines.size()) << what;
                    for (std::size_t j = 0; j < p.lines.size(); ++j) {
                        ASSERT_EQ(p.lines[j].vertices.size(), q.lines[j].vertices.size()) << what;
                        ExpectNear(p.lines[j].vertices.front(), q.lines[j].vertices.front(), what);
                    }
                }
            } else if (const auto* xl = e.As<db::XLine>()) {
                ExpectNear(xl->base, x.As<db::XLine>()->base, what);
                ExpectNear(xl->direction, x.As<db::XLine>()->direction, what);
            } else if (const auto* ml = e.As<db::MLine>()) {
                const auto* b = x.As<db::MLine>();
                EXPECT_NEAR(ml->scale, b->scale, 1e-9) << what;
                EXPECT_EQ(ml->flags, b->flags) << what;
                ASSERT_EQ(ml->vertices.size(), b->vertices.size()) << what;
                for (std::size_t k = 0; k < ml->vertices.size(); ++k) {
                    ExpectNear(ml->vertices[k].position, b->vertices[k].position, what);
                    ExpectNear(ml->vertices[k].miter, b->vertices[k].miter, what);
                    const auto& pa = ml->vertices[k].params;
                    const auto& pb = b->vertices[k].params;
                    ASSERT_EQ(pa.size(), pb.size()) << what;
                    for (std::size_t j = 0; j < pa.size(); ++j) {
                        ASSERT_EQ(pa[j].size(), pb[j].size()) << what;
                        for (std::size_t q = 0; q < pa[j].size(); ++q) {
                            EXPECT_NEAR(pa[j][q], pb[j][q], 1e-9 * (1 + std::abs(pb[j][q])));
                        }
                    }
                }
                ASSERT_NE(ml->style, db::kNone) << what;
                EXPECT_EQ(dwg_->mlineStyles[ml->style].name, dxf_->mlineStyles[b->style].name);
            } else if (const auto* p = e.As<db::Point>()) {
                ExpectNear(p->position, x.As<db::Point>()->position, what);
            } else if (const auto* ld = e.As<db::Leader>()) {
                const auto* b = x.As<db::Leader>();
                // a DXF export adds the end of the hook line as a vertex
                ASSERT_FALSE(ld->vertices.empty()) << what;
                ASSERT_GE(b->vertices.size(), ld->vertices.size()) << what;
                EXPECT_LE(b->vertices.size(), ld->vertices.size() + 1) << what;
                ExpectNear(ld->vertices.front(), b->vertices.front(), what);
            } else if (const auto* at = e.As<db::Attribute>()) {
                const auto* b = x.As<db::Attribute>();
                EXPECT_EQ(at->tag, b->tag) << what;
                EXPECT_EQ(at->prompt, b->prompt) << what;
                EXPECT_EQ(at->text.text, b->text.text) << what;
            }
        }
    }
    EXPECT_GT(compared, 0);
    EXPECT_EQ(dwg_->header.wipeoutFrame, dxf_->header.wipeoutFrame);
}

INSTANTIATE_TEST_SUITE_P(
    Testdata, DwgTwins,
    ::testing::Values(
        Twin{"dwg/libredwg/example_r13.dwg", "dxf/libredwg/example_r13.dxf", Twin::Downgraded},
        Twin{"dwg/libredwg/example_r14.dwg", "dxf/libredwg/example_r14.dxf", Twin::Downgraded},
        Twin{"dwg/libredwg/example_2000.dwg", "dxf/libredwg/example_2000.dxf"},
        Twin{"dwg/libredwg/2000_TS1.dwg", "dxf/libredwg/2000_TS1.dxf"},
        Twin{"dwg/acadsharp/sample_AC1015.dwg", "dxf/acadsharp/sample_AC1015_ascii.dxf"},
        Twin{"dwg/acadsharp/sample_AC1018.dwg", "dxf/acadsharp/sample_AC1018_ascii.dxf"},
        Twin{"dwg/acadsharp/sample_AC1021.dwg", "dxf/acadsharp/sample_AC1021_ascii.dxf"},
        Twin{"dwg/acadsharp/sample_AC1024.dwg", "dxf/acadsharp/sample_AC1024_ascii.dxf"},
        Twin{"dwg/acadsharp/sample_AC1027.dwg", "dxf/acadsharp/sample_AC1027_ascii.dxf"},
        Twin{"dwg/acadsharp/sample_AC1032.dwg", "dxf/acadsharp/sample_AC1032_ascii.dxf"},
        Twin{"dwg/acadsharp/sample_AC1014.dwg", "dxf/acadsharp/sample_AC1015_ascii.dxf",
             Twin::Resaved},
        Twin{"dwg/libredwg/example_2004.dwg", "dxf/libredwg/example_2000.dxf", Twin::Resaved},
        Twin{"dwg/libredwg/example_2007.dwg", "dxf/libredwg/example_2000.dxf", Twin::Resaved},
        Twin{"dwg/libredwg/example_2010.dwg", "dxf/libredwg/example_2000.dxf", Twin::Resaved},
        Twin{"dwg/libredwg/example_2013.dwg", "dxf/libredwg/example_2000.dxf", Twin::Resaved},
        Twin{"dwg/libredwg/example_2018.dwg", "dxf/libredwg/example_2000.dxf", Twin::Resaved}),
    [](const ::testing::TestParamInfo<Twin>& p) {
        std::string n = std::filesystem::path(p.param.dwg).stem().string();
        for (char& c : n) {
            if (!std::isalnum(static_cast<unsigned char>(c))) {
                c = '_';
            }
        }
        return n;
    });

}  // namespace
}  // namespace vx::engine

namespace vx::engine {
namespace {

// Every DWG file of the test data from R13 on reads without a warning, with the objects
// a plot needs: a model space, layouts, layers.
TEST(DwgTestdata, EveryFileReadsCleanly) {
    auto dir = test::TestData() / "dwg";
    if (!std::filesystem::exists(dir)) {
        GTEST_SKIP() << "testdata absent";
    }
    int files = 0;
    for (const auto& f : std::filesystem::recursive_directory_iterator(dir)) {
        if (f.path().extension() != ".dwg" || f.path().parent_path().filename() == "pre_r13") {
            continue;
        }
        SCOPED_TRACE(f.path().string());
        auto r = dwg::ReadDwg(test::ReadBytes(f.path()));
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
