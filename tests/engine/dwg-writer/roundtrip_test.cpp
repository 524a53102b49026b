// The DWG writer through the engine's DWG reader: a drawing read from DXF, written as DWG
// and read back is the same drawing — header, tables, blocks with their references,
// layouts with their plot settings, entity counts by type in each layout, and every
// entity's properties, geometry and text under the handle it had in the DXF file. Run on
// the sample drawings, on real DXF files of the test data, and on the DWG twins of the
// samples that are checked in beside them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <set>
#include <unordered_map>

#include "DwgWriter.h"
#include "dxf/TestDxf.h"
#include "engine/db/Database.h"
#include "engine/dwg/DwgReader.h"
#include "engine/dxf/DxfReader.h"

namespace vx::engine {
namespace {

namespace fs = std::filesystem;
using db::Database;
using db::Entity;
using db::EntityType;
using db::Vec3;

fs::path Examples() {
    return fs::path(VORMEX_SOURCE_DIR) / "examples";
}

struct Case {
    fs::path dxf;
    bool testdata = false;
    std::string name;  // for the test's name
};

std::ostream& operator<<(std::ostream& os, const Case& c) {
    return os << c.dxf.string();
}

std::vector<Case> Cases() {
    std::vector<Case> cases;
    std::vector<fs::path> samples;
    for (const auto& f : fs::recursive_directory_iterator(Examples())) {
        if (f.path().extension() == ".dxf") {
            samples.push_back(f.path());
        }
    }
    std::sort(samples.begin(), samples.end());
    for (const auto& p : samples) {
        cases.push_back({p, false, p.stem().string()});
    }
    for (const char* rel :
         {"dxf/libredwg/example_2000.dxf", "dxf/libredwg/2000_TS1.dxf",
          "dxf/acadsharp/sample_AC1015_ascii.dxf", "dxf/ezdxf/hatches_1.dxf",
          "dxf/ezdxf/viewports.dxf", "dxf/ezdxf/dxf_unicode.dxf", "dxf/ezdxf/text.dxf",
          "dxf/ezdxf/colors.dxf", "dxf/libredwg/example_r12.dxf"}) {
        cases.push_back({test::TestData() / rel, true, fs::path(rel).stem().string()});
    }
    for (auto& c : cases) {
        for (char& ch : c.name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) {
                ch = '_';
            }
        }
    }
    return cases;
}

// What the writer keeps: entity types the engine knows up to VIEWPORT, raster images aside.
bool Written(const Entity& e) {
    return e.type < EntityType::XLine && e.type != EntityType::Image;
}

// A colour as the file keeps it: true colours as their palette index.
std::string ColorText(const db::Color& c) {
    switch (c.kind) {
        case db::Color::Kind::ByLayer:
            return "bylayer";
        case db::Color::Kind::ByBlock:
            return "byblock";
        default:
            return "aci " + std::to_string(c.index);
    }
}

std::string LinetypeName(const Database& d, db::LinetypeId id) {
    if (id == db::kByLayer) {
        return "BYLAYER";
    }
    if (id == db::kByBlock) {
        return "BYBLOCK";
    }
    return id < d.linetypes.size() ? db::FoldName(d.linetypes[id].name) : "CONTINUOUS";
}

std::string StyleName(const Database& d, db::StyleId id) {
    return db::FoldName(id == db::kNone ? std::string("Standard") : d.textStyles[id].name);
}

// A block by its name, model space and the active paper space by their role (R12 files
// name them $MODEL_SPACE and $PAPER_SPACE).
std::string BlockName(const Database& d, db::BlockId id) {
    if (id == d.modelSpace) {
        return "(model space)";
    }
    if (id == d.activePaperSpace) {
        return "(paper space)";
    }
    return id == db::kNone ? std::string("(none)") : db::FoldName(d.blocks[id].name);
}

// Control characters as DXF files spell them (^J), as the DWG file holds them.
std::string Uncaret(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '^' && i + 1 < s.size() &&
            (s[i + 1] == ' ' || (s[i + 1] >= '@' && s[i + 1] <= '_'))) {
            out += s[i + 1] == ' ' ? '^' : static_cast<char>(s[i + 1] - '@');
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

void Near(double a, double b, const std::string& what) {
    EXPECT_NEAR(a, b, 1e-9 * (1 + std::abs(b))) << what;
}

void Near(Vec3 a, Vec3 b, const std::string& what) {
    Near(a.x, b.x, what + " x");
    Near(a.y, b.y, what + " y");
    Near(a.z, b.z, what + " z");
}

std::map<std::string, std::map<std::string, int>> CountsByLayout(const Database& d) {
    std::map<std::string, std::map<std::string, int>> c;
    for (const auto& l : d.layouts) {
        auto& m = c[l.name];
        for (const auto& e : d.blocks[l.block].entities) {
            if (Written(e)) {
                ++m[std::string(e.TypeName())];
            }
        }
    }
    return c;
}

std::unordered_map<db::Handle, const Entity*> ByHandle(const Database& d) {
    std::unordered_map<db::Handle, const Entity*> m;
    for (const auto& b : d.blocks) {
        for (const auto& e : b.entities) {
            m.emplace(e.props.handle, &e);
        }
    }
    return m;
}

class DwgWriterRoundTrip : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        const Case& c = GetParam();
        if (c.testdata && !fs::exists(c.dxf)) {
            GTEST_SKIP() << "testdata absent: " << c.dxf;
        }
        auto in = dxf::ReadDxf(test::ReadBytes(c.dxf));
        ASSERT_TRUE(in.Ok()) << in.error.Text();
        source_ = std::move(in.database);
        dwgwriter::WriteResult written = dwgwriter::WriteDwg(*source_);
        bytes_.assign(written.bytes.begin(), written.bytes.end());
        auto back = dwg::ReadDwg(bytes_);
        ASSERT_TRUE(back.Ok()) << back.error.Text();
        read_ = std::move(back.database);
    }
    std::unique_ptr<Database> source_, read_;
    std::string bytes_;
};

TEST_P(DwgWriterRoundTrip, ReadsBackWithoutWarnings) {
    EXPECT_EQ(read_->header.acadVersion, "AC1015");
    for (const auto& w : read_->warnings) {
        ADD_FAILURE() << w.Text();
    }
}

TEST_P(DwgWriterRoundTrip, HeaderAndTablesMatch) {
    const auto& a = read_->header;
    const auto& b = source_->header;
    if (!b.codePage.empty()) {
        EXPECT_EQ(a.codePage, db::FoldName(b.codePage));
    }
    EXPECT_EQ(a.insUnits, b.insUnits);
    EXPECT_EQ(a.measurement, b.measurement);
    EXPECT_EQ(a.lunits, b.lunits);
    EXPECT_EQ(a.luprec, b.luprec);
    EXPECT_EQ(a.pdMode, b.pdMode);
    EXPECT_EQ(a.pdSize, b.pdSize);
    EXPECT_EQ(a.ltScale, b.ltScale);
    EXPECT_EQ(a.textSize, b.textSize);
    EXPECT_EQ(a.tileMode, b.tileMode);
    EXPECT_EQ(a.psLtScale, b.psLtScale);
    EXPECT_EQ(a.lwDisplay, b.lwDisplay);
    Near(a.extMin, b.extMin, "$EXTMIN");
    Near(a.extMax, b.extMax, "$EXTMAX");
    Near(a.limMin, b.limMin, "$LIMMIN");
    Near(a.limMax, b.limMax, "$LIMMAX");
    Near(a.insBase, b.insBase, "$INSBASE");
    // The next free handle lies above every handle of the file.
    for (const auto& [h, e] : ByHandle(*read_)) {
        EXPECT_LT(h, a.handSeed) << e->TypeName();
    }

    // Layers in table order (a made layer "0" may come first).
    std::vector<const db::Layer*> la, lb;
    for (const auto& l : read_->layers) {
        la.push_back(&l);
    }
    for (const auto& l : source_->layers) {
        lb.push_back(&l);
    }
    if (la.size() == lb.size() + 1 && la.front()->name == "0") {
        la.erase(la.begin());
    }
    ASSERT_EQ(la.size(), lb.size());
    for (std::size_t i = 0; i < lb.size(); ++i) {
        SCOPED_TRACE(lb[i]->name);
        EXPECT_EQ(la[i]->name, lb[i]->name);
        if (lb[i]->handle != 0) {
            EXPECT_EQ(la[i]->handle, lb[i]->handle);
        }
        EXPECT_EQ(ColorText(la[i]->color), ColorText(lb[i]->color));
        EXPECT_EQ(la[i]->on, lb[i]->on);
        EXPECT_EQ(la[i]->frozen, lb[i]->frozen);
        EXPECT_EQ(la[i]->locked, lb[i]->locked);
        EXPECT_EQ(la[i]->plot, lb[i]->plot);
        EXPECT_EQ(la[i]->lineweight, lb[i]->lineweight);
        auto lt = [](const Database& d, const db::Layer& l) {
            std::string n = LinetypeName(d, l.linetype == db::kNone ? 0xFFFFFFF0u : l.linetype);
            return n == "BYLAYER" || n == "BYBLOCK" ? std::string("CONTINUOUS") : n;
        };
        EXPECT_EQ(lt(*read_, *la[i]), lt(*source_, *lb[i]));
    }

    std::map<std::string, const db::Linetype*> ta;
    for (const auto& l : read_->linetypes) {
        ta[db::FoldName(l.name)] = &l;
    }
    for (const auto& l : source_->linetypes) {
        SCOPED_TRACE(l.name);
        ASSERT_TRUE(ta.count(db::FoldName(l.name)));
        const db::Linetype& a2 = *ta[db::FoldName(l.name)];
        EXPECT_EQ(a2.description, l.description);
        EXPECT_EQ(a2.patternLength, l.patternLength);
        ASSERT_EQ(a2.elements.size(), l.elements.size());
        for (std::size_t k = 0; k < l.elements.size(); ++k) {
            EXPECT_EQ(a2.elements[k].length, l.elements[k].length);
            EXPECT_EQ(a2.elements[k].type, l.elements[k].type);
            EXPECT_EQ(a2.elements[k].text, l.elements[k].text);
        }
    }

    std::map<std::string, std::string> sa, sb;
    for (const auto& s : read_->textStyles) {
        sa[db::FoldName(s.name)] = s.fontFile + "|" + s.bigFontFile + "|" + s.fontFamily + "|" +
                                   std::to_string(s.widthFactor) + "|" + std::to_string(s.height);
    }
    for (const auto& s : source_->textStyles) {
        sb[db::FoldName(s.name)] = s.fontFile + "|" + s.bigFontFile + "|" + s.fontFamily + "|" +
                                   std::to_string(s.widthFactor) + "|" + std::to_string(s.height);
    }
    for (const auto& [name, text] : sb) {
        EXPECT_EQ(sa[name], text) << name;
    }
}

TEST_P(DwgWriterRoundTrip, BlocksAndLayoutsMatch) {
    for (std::size_t i = 0; i < source_->blocks.size(); ++i) {
        const db::Block& b = source_->blocks[i];
        SCOPED_TRACE(b.name);
        // (model space and the active paper space go by their role: R12 names them
        // $MODEL_SPACE and $PAPER_SPACE)
        db::BlockId id = i == source_->modelSpace         ? read_->modelSpace
                         : i == source_->activePaperSpace ? read_->activePaperSpace
                                                          : read_->FindBlock(b.name);
        if (b.IsPaperSpace() && id == db::kNone) {
            continue;  // (a paper space without a layout has no place in the file)
        }
        ASSERT_NE(id, db::kNone);
        const db::Block& a = read_->blocks[id];
        EXPECT_EQ(a.flags & (1 | 4 | 8 | 16), b.flags & (1 | 4 | 8 | 16));
        Near(a.base, b.base, "base");
        std::size_t written = 0;
        for (const auto& e : b.entities) {
            written += Written(e) ? 1 : 0;
        }
        EXPECT_EQ(a.entities.size(), written);
        ASSERT_EQ(a.xref.has_value(), b.xref.has_value());
        if (b.xref) {
            EXPECT_EQ(a.xref->path, b.xref->path);
        }
        if (b.recordHandle != 0) {
            EXPECT_EQ(a.recordHandle, b.recordHandle);
        }
    }

    // Layouts: the source's, plus one made for a drawing without a paper-space layout.
    std::vector<const db::Layout*> la;
    for (const auto& l : read_->layouts) {
        la.push_back(&l);
    }
    const bool sourcePaper = std::any_of(source_->layouts.begin(), source_->layouts.end(),
                                         [](const db::Layout& l) { return !l.IsModel(); });
    if (!sourcePaper && la.size() == source_->layouts.size() + 1) {
        la.pop_back();
    }
    ASSERT_EQ(la.size(), source_->layouts.size());
    for (std::size_t i = 0; i < la.size(); ++i) {
        const db::Layout& a = *la[i];
        const db::Layout& b = source_->layouts[i];
        SCOPED_TRACE(b.name);
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.IsModel(), b.IsModel());
        if (!b.IsModel()) {
            EXPECT_EQ(a.tabOrder, b.tabOrder);
        }
        if (b.handle != 0) {
            EXPECT_EQ(a.handle, b.handle);
        }
        EXPECT_EQ(BlockName(*read_, a.block), BlockName(*source_, b.block));
        const db::PlotSettings& p = a.plot;
        const db::PlotSettings& q = b.plot;
        EXPECT_EQ(p.pageSetupName, q.pageSetupName);
        EXPECT_EQ(p.configName, q.configName);
        EXPECT_EQ(p.canonicalMediaName, q.canonicalMediaName);
        EXPECT_EQ(p.plotViewName, q.plotViewName);
        EXPECT_EQ(p.styleSheet, q.styleSheet);
        EXPECT_EQ(p.flags & ~db::PlotSettings::kModelType, q.flags & ~db::PlotSettings::kModelType);
        EXPECT_EQ(p.paperUnits, q.paperUnits);
        EXPECT_EQ(p.rotation, q.rotation);
        EXPECT_EQ(p.plotType, q.plotType);
        EXPECT_EQ(p.standardScaleType, q.standardScaleType);
        EXPECT_EQ(p.standardScale, q.standardScale);
        EXPECT_EQ(p.customScaleNumerator, q.customScaleNumerator);
        EXPECT_EQ(p.customScaleDenominator, q.customScaleDenominator);
        EXPECT_EQ(p.paperWidth, q.paperWidth);
        EXPECT_EQ(p.paperHeight, q.paperHeight);
        EXPECT_EQ(p.marginLeft, q.marginLeft);
        EXPECT_EQ(p.marginBottom, q.marginBottom);
        EXPECT_EQ(p.marginRight, q.marginRight);
        EXPECT_EQ(p.marginTop, q.marginTop);
        Near(p.plotOrigin, q.plotOrigin, "plot origin");
        Near(p.windowMin, q.windowMin, "window");
        Near(p.windowMax, q.windowMax, "window");
        Near(a.limitsMin, b.limitsMin, "limits");
        Near(a.limitsMax, b.limitsMax, "limits");
        Near(a.extentsMin, b.extentsMin, "extents");
        Near(a.extentsMax, b.extentsMax, "extents");
    }
    auto ca = CountsByLayout(*read_);
    for (const auto& [name, counts] : CountsByLayout(*source_)) {
        EXPECT_EQ(ca[name], counts) << name;
    }
}

void ExpectSameText(const db::Text& a, const db::Text& b, const std::string& what) {
    EXPECT_EQ(a.text, Uncaret(b.text)) << what;
    Near(a.position, b.position, what + " position");
    if (b.hasAlignPoint) {
        Near(a.alignPoint.x, b.alignPoint.x, what + " alignment");
        Near(a.alignPoint.y, b.alignPoint.y, what + " alignment");
    }
    EXPECT_EQ(a.hasAlignPoint, b.hasAlignPoint) << what;
    Near(a.height, b.height, what + " height");
    Near(a.rotation, b.rotation, what + " rotation");
    Near(a.oblique, b.oblique, what + " oblique");
    Near(a.widthFactor, b.widthFactor, what + " width");
    EXPECT_EQ(a.halign, b.halign) << what;
    EXPECT_EQ(a.valign, b.valign) << what;
    EXPECT_EQ(a.generation, b.generation) << what;
}

TEST_P(DwgWriterRoundTrip, EntitiesMatchByHandle) {
    auto read = ByHandle(*read_);
    int compared = 0, expected = 0;
    for (const auto& blk : source_->blocks) {
        for (const auto& x : blk.entities) {
            if (!Written(x)) {
                continue;
            }
            ++expected;  // (every entity of these drawings has a handle)
            if (x.props.handle == 0) {
                continue;
            }
            std::string what = std::string(x.TypeName()) + " " + std::to_string(x.props.handle) +
                               " in " + blk.name;
            auto it = read.find(x.props.handle);
            ASSERT_NE(it, read.end()) << what << " is missing";
            const Entity& e = *it->second;
            ASSERT_EQ(e.TypeName(), x.TypeName()) << what;
            ++compared;
            EXPECT_EQ(read_->layers[e.props.layer].name, source_->layers[x.props.layer].name)
                << what;
            EXPECT_EQ(ColorText(e.props.color), ColorText(x.props.color)) << what;
            EXPECT_EQ(LinetypeName(*read_, e.props.linetype),
                      LinetypeName(*source_, x.props.linetype))
                << what;
            EXPECT_EQ(e.props.lineweight, x.props.lineweight) << what;
            EXPECT_EQ(e.props.invisible, x.props.invisible) << what;
            EXPECT_EQ(e.props.linetypeScale, x.props.linetypeScale) << what;
            Near(e.props.extrusion, x.props.extrusion, what + " extrusion");

            if (const auto* g = e.As<db::Line>()) {
                Near(g->start, x.As<db::Line>()->start, what);
                Near(g->end, x.As<db::Line>()->end, what);
                Near(g->thickness, x.As<db::Line>()->thickness, what);
            } else if (const auto* c = e.As<db::Circle>()) {
                Near(c->center, x.As<db::Circle>()->center, what);
                Near(c->radius, x.As<db::Circle>()->radius, what);
            } else if (const auto* a = e.As<db::Arc>()) {
                const auto* b = x.As<db::Arc>();
                Near(a->center, b->center, what);
                Near(a->radius, b->radius, what);
                Near(a->startAngle, b->startAngle, what);
                Near(a->endAngle, b->endAngle, what);
            } else if (const auto* el = e.As<db::Ellipse>()) {
                const auto* b = x.As<db::Ellipse>();
                Near(el->center, b->center, what);
                Near(el->majorAxis, b->majorAxis, what);
                Near(el->ratio, b->ratio, what);
                Near(el->startParam, b->startParam, what);
                Near(el->endParam, b->endParam, what);
            } else if (const auto* pt = e.As<db::Point>()) {
                Near(pt->position, x.As<db::Point>()->position, what);
            } else if (const auto* t = e.As<db::Text>()) {
                ExpectSameText(*t, *x.As<db::Text>(), what);
                EXPECT_EQ(StyleName(*read_, t->style), StyleName(*source_, x.As<db::Text>()->style))
                    << what;
            } else if (const auto* m = e.As<db::MText>()) {
                const auto* b = x.As<db::MText>();
                EXPECT_EQ(m->text, Uncaret(b->text)) << what;
                Near(m->position, b->position, what);
                Near(m->height, b->height, what);
                Near(m->rectWidth, b->rectWidth, what);
                Near(m->lineSpacing, b->lineSpacing, what);
                EXPECT_EQ(m->attachment, b->attachment) << what;
                EXPECT_EQ(StyleName(*read_, m->style), StyleName(*source_, b->style)) << what;
                double r = b->rotation * std::numbers::pi / 180;
                Vec3 direction = b->hasXAxis ? b->xAxis : Vec3{std::cos(r), std::sin(r), 0};
                Near(db::Normalized(m->xAxis), db::Normalized(direction), what + " direction");
            } else if (const auto* lw = e.As<db::LwPolyline>()) {
                const auto* b = x.As<db::LwPolyline>();
                ASSERT_EQ(lw->vertices.size(), b->vertices.size()) << what;
                for (std::size_t k = 0; k < lw->vertices.size(); ++k) {
                    EXPECT_EQ(lw->vertices[k].x, b->vertices[k].x) << what;
                    EXPECT_EQ(lw->vertices[k].y, b->vertices[k].y) << what;
                    EXPECT_EQ(lw->vertices[k].bulge, b->vertices[k].bulge) << what;
                    EXPECT_EQ(lw->vertices[k].startWidth, b->vertices[k].startWidth) << what;
                    EXPECT_EQ(lw->vertices[k].endWidth, b->vertices[k].endWidth) << what;
                }
                EXPECT_EQ(lw->closed, b->closed) << what;
                EXPECT_EQ(lw->constantWidth, b->constantWidth) << what;
                EXPECT_EQ(lw->elevation, b->elevation) << what;
            } else if (const auto* pl = e.As<db::Polyline>()) {
                const auto* b = x.As<db::Polyline>();
                ASSERT_EQ(pl->vertices.size(), b->vertices.size()) << what;
                for (std::size_t k = 0; k < pl->vertices.size(); ++k) {
                    Near(pl->vertices[k].position, b->vertices[k].position, what);
                    EXPECT_EQ(pl->vertices[k].bulge, b->vertices[k].bulge) << what;
                    for (int f = 0; f < 4; ++f) {
                        EXPECT_EQ(pl->vertices[k].faceIndices[f], b->vertices[k].faceIndices[f])
                            << what;
                    }
                }
                EXPECT_EQ(pl->Closed(), b->Closed()) << what;
                EXPECT_EQ(pl->Is3d(), b->Is3d()) << what;
                EXPECT_EQ(pl->elevation, b->elevation) << what;
            } else if (const auto* sp = e.As<db::Spline>()) {
                const auto* b = x.As<db::Spline>();
                EXPECT_EQ(sp->degree, b->degree) << what;
                EXPECT_EQ(sp->knots, b->knots) << what;
                ASSERT_EQ(sp->controlPoints.size(), b->controlPoints.size()) << what;
                for (std::size_t k = 0; k < sp->controlPoints.size(); ++k) {
                    Near(sp->controlPoints[k], b->controlPoints[k], what);
                }
                if (b->controlPoints.empty()) {  // stored by its fit points
                    ASSERT_EQ(sp->fitPoints.size(), b->fitPoints.size()) << what;
                    for (std::size_t k = 0; k < sp->fitPoints.size(); ++k) {
                        Near(sp->fitPoints[k], b->fitPoints[k], what);
                    }
                }
            } else if (const auto* f = e.As<db::Face>()) {
                for (int k = 0; k < 4; ++k) {
                    Near(f->corners[k], x.As<db::Face>()->corners[k], what);
                }
            } else if (const auto* ins = e.As<db::Insert>()) {
                const auto* b = x.As<db::Insert>();
                Near(ins->position, b->position, what);
                Near(ins->scale, b->scale, what);
                Near(ins->rotation, b->rotation, what);
                EXPECT_EQ(ins->columns, b->columns) << what;
                EXPECT_EQ(ins->rows, b->rows) << what;
                Near(ins->columnSpacing, b->columnSpacing, what);
                Near(ins->rowSpacing, b->rowSpacing, what);
                EXPECT_EQ(BlockName(*read_, ins->block), BlockName(*source_, b->block)) << what;
                ASSERT_EQ(ins->attribs.size(), b->attribs.size()) << what;
                for (std::size_t k = 0; k < b->attribs.size(); ++k) {
                    EXPECT_EQ(ins->attribs[k].attribute.tag, b->attribs[k].attribute.tag) << what;
                    EXPECT_EQ(ins->attribs[k].attribute.flags, b->attribs[k].attribute.flags);
                    ExpectSameText(ins->attribs[k].attribute.text, b->attribs[k].attribute.text,
                                   what + " attribute");
                }
            } else if (const auto* dim = e.As<db::Dimension>()) {
                const auto* b = x.As<db::Dimension>();
                EXPECT_EQ(dim->dimType & 0x4F, b->dimType & 0x4F) << what;
                EXPECT_EQ(dim->dimType & 128, b->dimType & 128) << what;
                EXPECT_EQ(BlockName(*read_, dim->block), BlockName(*source_, b->block)) << what;
                Near(dim->definitionPoint, b->definitionPoint, what);
                Near(dim->textMidpoint, b->textMidpoint, what);
                Near(dim->insertionPoint.x, b->insertionPoint.x, what);
                Near(dim->insertionPoint.y, b->insertionPoint.y, what);
                for (int k = 0; k < 4; ++k) {
                    Near(dim->points[k], b->points[k], what + " point " + std::to_string(13 + k));
                }
                EXPECT_EQ(dim->text, Uncaret(b->text)) << what;
                Near(dim->measurement, b->measurement, what);
                Near(dim->textRotation, b->textRotation, what);
                Near(dim->obliqueAngle, b->obliqueAngle, what);
                if ((b->dimType & 7) == 0) {
                    Near(dim->rotation, b->rotation, what + " rotation");
                }
            } else if (const auto* h = e.As<db::Hatch>()) {
                const auto* b = x.As<db::Hatch>();
                EXPECT_EQ(h->solid, b->solid) << what;
                EXPECT_EQ(h->patternName, b->patternName) << what;
                EXPECT_EQ(h->style, b->style) << what;
                EXPECT_EQ(h->patternType, b->patternType) << what;
                Near(h->patternAngle, b->patternAngle, what);
                Near(h->patternScale, b->patternScale, what);
                ASSERT_EQ(h->paths.size(), b->paths.size()) << what;
                for (std::size_t k = 0; k < h->paths.size(); ++k) {
                    const auto& p = h->paths[k];
                    const auto& q = b->paths[k];
                    EXPECT_EQ(p.isPolyline, q.isPolyline) << what;
                    ASSERT_EQ(p.polyline.size(), q.polyline.size()) << what;
                    for (std::size_t v = 0; v < p.polyline.size(); ++v) {
                        EXPECT_EQ(p.polyline[v].x, q.polyline[v].x) << what;
                        EXPECT_EQ(p.polyline[v].y, q.polyline[v].y) << what;
                        EXPECT_EQ(p.polyline[v].bulge, q.polyline[v].bulge) << what;
                    }
                    ASSERT_EQ(p.edges.size(), q.edges.size()) << what;
                    for (std::size_t v = 0; v < p.edges.size(); ++v) {
                        EXPECT_EQ(p.edges[v].type, q.edges[v].type) << what;
                        Near(p.edges[v].p0.x, q.edges[v].p0.x, what);
                        Near(p.edges[v].p0.y, q.edges[v].p0.y, what);
                        Near(p.edges[v].radius, q.edges[v].radius, what);
                        Near(p.edges[v].startAngle, q.edges[v].startAngle, what);
                        Near(p.edges[v].endAngle, q.edges[v].endAngle, what);
                        EXPECT_EQ(p.edges[v].ccw, q.edges[v].ccw) << what;
                        EXPECT_EQ(p.edges[v].knots, q.edges[v].knots) << what;
                        EXPECT_EQ(p.edges[v].controlPoints.size(), q.edges[v].controlPoints.size())
                            << what;
                    }
                }
                ASSERT_EQ(h->patternLines.size(), b->patternLines.size()) << what;
                for (std::size_t k = 0; k < b->patternLines.size(); ++k) {
                    Near(h->patternLines[k].angle, b->patternLines[k].angle, what);
                    EXPECT_EQ(h->patternLines[k].dashes, b->patternLines[k].dashes) << what;
                }
            } else if (const auto* vp = e.As<db::Viewport>()) {
                const auto* b = x.As<db::Viewport>();
                Near(vp->center, b->center, what);
                Near(vp->width, b->width, what);
                Near(vp->height, b->height, what);
                Near(vp->viewCenter, b->viewCenter, what);
                Near(vp->viewHeight, b->viewHeight, what);
                Near(vp->viewTarget, b->viewTarget, what);
                Near(vp->viewDirection, b->viewDirection, what);
                Near(vp->twist, b->twist, what);
                EXPECT_EQ(vp->On(), b->On()) << what;
                std::vector<std::string> fa, fb;
                for (auto l : vp->frozenLayers) {
                    fa.push_back(read_->layers[l].name);
                }
                for (auto l : b->frozenLayers) {
                    fb.push_back(source_->layers[l].name);
                }
                EXPECT_EQ(fa, fb) << what;
            } else if (const auto* ld = e.As<db::Leader>()) {
                const auto* b = x.As<db::Leader>();
                ASSERT_EQ(ld->vertices.size(), b->vertices.size()) << what;
                for (std::size_t k = 0; k < b->vertices.size(); ++k) {
                    Near(ld->vertices[k], b->vertices[k], what);
                }
                EXPECT_EQ(ld->arrowhead, b->arrowhead) << what;
            } else if (const auto* at = e.As<db::Attribute>()) {
                const auto* b = x.As<db::Attribute>();
                EXPECT_EQ(at->tag, b->tag) << what;
                EXPECT_EQ(at->prompt, b->prompt) << what;
                EXPECT_EQ(at->flags, b->flags) << what;
                ExpectSameText(at->text, b->text, what);
            }
        }
    }
    EXPECT_EQ(compared, expected);
}

INSTANTIATE_TEST_SUITE_P(Drawings, DwgWriterRoundTrip, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& p) {
                             return (p.param.testdata ? "testdata_" : "sample_") + p.param.name;
                         });

// The DWG twins checked in beside the samples hold the drawing of their DXF file (only
// external references point at the twin of the referenced drawing), and read cleanly.
TEST(DwgSampleTwins, EverySampleHasACurrentTwin) {
    int twins = 0;
    for (const auto& f : fs::recursive_directory_iterator(Examples())) {
        if (f.path().extension() != ".dxf") {
            continue;
        }
        SCOPED_TRACE(f.path().string());
        fs::path dwgPath = f.path();
        dwgPath.replace_extension(".dwg");
        ASSERT_TRUE(fs::exists(dwgPath)) << "no DWG twin";
        auto a = dwg::ReadDwg(test::ReadBytes(dwgPath));
        ASSERT_TRUE(a.Ok()) << a.error.Text();
        auto b = dxf::ReadDxf(test::ReadBytes(f.path()));
        ASSERT_TRUE(b.Ok()) << b.error.Text();
        for (const auto& w : a.database->warnings) {
            ADD_FAILURE() << w.Text();
        }
        EXPECT_EQ(CountsByLayout(*a.database), CountsByLayout(*b.database));
        auto read = ByHandle(*a.database);
        for (const auto& [h, e] : ByHandle(*b.database)) {
            if (Written(*e)) {
                ASSERT_TRUE(read.count(h)) << std::hex << h;
                EXPECT_EQ(read[h]->TypeName(), e->TypeName());
            }
        }
        for (const auto& blk : b.database->blocks) {
            if (!blk.xref) {
                continue;
            }
            db::BlockId id = a.database->FindBlock(blk.name);
            ASSERT_NE(id, db::kNone) << blk.name;
            std::string expected = blk.xref->path;
            if (expected.size() > 4 && expected.substr(expected.size() - 4) == ".dxf") {
                expected.replace(expected.size() - 4, 4, ".dwg");
            }
            EXPECT_EQ(a.database->blocks[id].xref->path, expected);
        }
        ++twins;
    }
    EXPECT_GE(twins, 7);
}

}  // namespace
}  // namespace vx::engine
