// The DXF reader on small files written for one feature each, on the real drawings of the
// shared testdata, and on damaged files: errors that say what and where, warnings for damage
// the drawing survives, never a crash, hang or runaway allocation (see check-engine-reader).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <stdexcept>
#include <tuple>

#include "dwg/EntityReading.h"
#include "dxf/TestDxf.h"
#include "engine/db/Database.h"
#include "engine/dxf/CodePage.h"
#include "engine/dxf/DxfReader.h"

namespace vx::engine {
namespace {

using db::Database;
using test::TestDxf;

// The geometry an entity holds; a failure when it holds another kind.
template <class T>
const T& Get(const db::Entity& e) {
    if (const T* g = e.As<T>()) {
        return *g;
    }
    throw std::runtime_error("the entity is a " + std::string(e.TypeName()));
}

// A drawing of version `version` whose ENTITIES section holds what `body` writes.
template <class Body>
std::string Drawing(Body body, const char* version = "AC1015", const char* codePage = "ANSI_1252") {
    TestDxf t;
    t.Header(version, codePage);
    t.Section("TABLES")
        .Groups(
            "0 TABLE|2 LAYER|0 LAYER|5 10|2 0|70 0|62 7|6 CONTINUOUS|0 LAYER|5 11|2 Walls|"
            "70 0|62 -1|420 1193046|370 50|290 0|0 LAYER|5 12|2 Frozen|70 1|62 3|0 ENDTAB|"
            "0 TABLE|2 LTYPE|0 LTYPE|2 DASHED|3 __ __|73 2|40 0.75|49 0.5|74 0|49 -0.25|"
            "74 0|0 ENDTAB|0 TABLE|2 STYLE|0 STYLE|2 Notes|70 0|40 0.0|41 0.8|3 arial.ttf|"
            "0 ENDTAB")
        .EndSection();
    t.Section("BLOCKS")
        .Groups(
            "0 BLOCK|2 DOOR|70 2|10 1,1|0 LINE|8 0|10 0,0|11 1,0|0 ATTDEF|8 0|10 0,0|40 0.2|"
            "1 |3 Number?|2 NO|70 0|0 ENDBLK")
        .EndSection();
    t.Section("ENTITIES");
    body(t);
    t.EndSection().Eof();
    return t.Ascii();
}

std::unique_ptr<db::Database> ReadOk(const std::string& bytes) {
    auto r = dxf::ReadDxf(bytes);
    EXPECT_TRUE(r.Ok()) << r.error.Text();
    if (r.Ok()) {
        for (const auto& w : r.database->warnings) {
            ADD_FAILURE() << "unexpected warning: " << w.Text();
        }
    }
    return std::move(r.database);
}

const db::Entity& Only(const db::Database& d) {
    const auto& ents = d.blocks[d.modelSpace].entities;
    EXPECT_EQ(ents.size(), 1u);
    return ents.at(0);
}

TEST(ReaderTables, LayersLinetypesAndStyles) {
    auto d = ReadOk(Drawing([](TestDxf&) {}));
    ASSERT_TRUE(d);
    // Names ignore letter case; a negative colour number is a layer off.
    const auto& walls = d->layers[d->FindLayer("walls")];
    EXPECT_EQ(std::tuple(walls.name, walls.on, walls.color, walls.lineweight, walls.plot),
              std::tuple("Walls", false, db::Color{db::Color::Kind::True, 1, 0x123456}, 50, false));
    const auto& frozen = d->layers[d->FindLayer("Frozen")];
    EXPECT_EQ(std::tuple(frozen.frozen, frozen.on, frozen.color),
              std::tuple(true, true, db::Color::FromIndex(3)));
    const auto& dashed = d->linetypes[d->FindLinetype("DASHED")];
    ASSERT_EQ(dashed.elements.size(), 2u);
    EXPECT_EQ(
        std::tuple(dashed.elements[0].length, dashed.elements[1].length, dashed.patternLength),
        std::tuple(0.5, -0.25, 0.75));
    const auto& notes = d->textStyles[d->FindTextStyle("NOTES")];
    EXPECT_EQ(std::pair(notes.widthFactor, notes.fontFile),
              std::pair(0.8, std::string("arial.ttf")));
    // Layer "0" names a linetype the table does not define: it is made, empty.
    EXPECT_NE(d->FindLinetype("CONTINUOUS"), db::kNone);
}

TEST(ReaderEntities, CommonPropertiesColoursAndLayers) {
    auto d = ReadOk(Drawing([](TestDxf& t) {
        t.Groups("0 LINE|5 2A|8 Walls|6 DASHED|62 0|370 -2|48 2.5|10 0,0|11 10,0|210 0,0,1");
        t.Groups("0 LINE|8 Unlisted|62 5|420 16744448|60 1|10 0,0|11 1,1");
    }));
    ASSERT_TRUE(d);
    const auto& ents = d->blocks[d->modelSpace].entities;
    ASSERT_EQ(ents.size(), 2u);
    const auto& a = ents[0].props;
    EXPECT_EQ(std::tuple(a.handle, d->layers[a.layer].name, d->linetypes[a.linetype].name,
                         a.color.kind, a.lineweight, a.linetypeScale),
              std::tuple(0x2Au, "Walls", "DASHED", db::Color::Kind::ByBlock, db::kLineweightByBlock,
                         2.5));
    EXPECT_EQ(ents[0].As<db::Line>()->end, (db::Vec3{10, 0, 0}));
    // A layer missing from the table is made with default properties.
    const auto& b = ents[1].props;
    EXPECT_EQ(
        std::tuple(d->layers[b.layer].name, d->layers[b.layer].implicit, b.color, b.invisible),
        std::tuple("Unlisted", true, db::Color{db::Color::Kind::True, 5, 0xFF8000}, true));
}

TEST(ReaderEntities, InsertWithArrayAndAttributes) {
    auto d = ReadOk(Drawing([](TestDxf& t) {
        t.Groups(
            "0 INSERT|66 1|2 door|10 5,6|41 2.0|42 3.0|50 90.0|70 4|71 2|44 10.0|45 20.0|"
            "0 ATTRIB|8 Walls|10 5,6|40 0.25|1 12A|2 NO|70 0|74 2|0 SEQEND");
    }));
    ASSERT_TRUE(d);
    const auto* ins = &Get<db::Insert>(Only(*d));
    ASSERT_NE(ins->block, db::kNone);
    // The block found ignoring letter case.
    EXPECT_EQ(std::tuple(d->blocks[ins->block].name, d->blocks[ins->block].base, ins->scale,
                         ins->columns, ins->rows, ins->rowSpacing),
              std::tuple("DOOR", db::Vec3{1, 1, 0}, db::Vec3{2, 3, 1}, 4, 2, 20.0));
    ASSERT_EQ(ins->attribs.size(), 1u);
    const auto& at = ins->attribs[0];  // its vertical alignment in 74
    EXPECT_EQ(std::tuple(at.attribute.tag, at.attribute.text.text, at.attribute.text.valign,
                         d->layers[at.props.layer].name),
              std::tuple("NO", "12A", 2, "Walls"));
}

TEST(ReaderEntities, HatchBoundariesOfEveryKind) {
    auto d = ReadOk(Drawing([](TestDxf& t) {
        t.Groups(
             "0 HATCH|100 AcDbEntity|8 Walls|100 AcDbHatch|10 0,0,1.5|210 0,0,1|2 ANSI31|"
             "70 0|71 0|91 2")
            // a polyline path with a bulge
            .Groups("92 2|72 1|73 1|93 2|10 0.0|20 0.0|42 0.5|10 4.0|20 0.0|42 0.0|97 0")
            // an edge path: line, arc, ellipse, spline
            .Groups(
                "92 1|93 4|72 1|10 0.0|20 0.0|11 1.0|21 0.0|72 2|10 1.0|20 1.0|40 1.0|50 270.0|"
                "51 360.0|73 1|72 3|10 2.0|20 2.0|11 1.0|21 0.0|40 0.5|50 0.0|51 180.0|73 0|"
                "72 4|94 3|73 0|74 0|95 8|96 4|40 0.0|40 0.0|40 0.0|40 0.0|40 1.0|40 1.0|40 1.0|"
                "40 1.0|10 1.0|20 2.0|10 0.0|20 3.0|10 -1.0|20 2.0|10 0.0|20 0.0|97 1|330 1F|"
                "75 1|76 1|52 45.0|41 2.0|77 0|78 1|53 45.0|43 0.0|44 0.0|45 -2.2|46 2.2|79 0|"
                "98 1|10 1.0|20 1.0");
    }));
    ASSERT_TRUE(d);
    const auto& h = Get<db::Hatch>(Only(*d));
    ASSERT_EQ(h.paths.size(), 2u);
    ASSERT_EQ(h.patternLines.size(), 1u);
    EXPECT_EQ(std::tuple(h.patternName, h.solid, h.elevation, h.style, h.patternAngle,
                         h.patternScale, h.patternLines[0].offset.y),
              std::tuple("ANSI31", false, 1.5, 1, 45.0, 2.0, 2.2));
    ASSERT_EQ(std::tuple(h.paths[0].isPolyline, h.paths[0].polyline.size()), std::tuple(true, 2u));
    EXPECT_DOUBLE_EQ(h.paths[0].polyline[0].bulge, 0.5);
    const auto& edges = h.paths[1].edges;
    ASSERT_EQ(edges.size(), 4u);
    using T = db::HatchEdge::Type;
    EXPECT_EQ(std::tuple(edges[0].type, edges[1].type, edges[2].type, edges[3].type),
              std::tuple(T::Line, T::Arc, T::Ellipse, T::Spline));
    EXPECT_EQ(std::tuple(edges[1].startAngle, edges[2].ccw, edges[3].knots.size(),
                         edges[3].controlPoints.size()),
              std::tuple(270.0, false, 8u, 4u));
    // The source boundary handle is not the hatch's owner.
    EXPECT_EQ(Only(*d).props.owner, 0u);
}

// Text and layer names in $DWGCODEPAGE before R2007 (its name's case ignored, an unknown
// one read as ANSI_1252), UTF-8 from R2007 whatever it says; invalid UTF-8 replaced; \U+
// escapes decoded, a malformed one kept; \M+1889F is the Shift-JIS character 0x889F.
TEST(ReaderText, CodePagesUtf8AndEscapes) {
    const struct {
        const char* version;
        const char* codePage;
        std::string bytes;
        std::string utf8;
    } cases[] = {
        {"AC1015", "ansi_1251", "\xD6", "\xD0\xA6"},         // "Ц"
        {"AC1015", "ANSI_932", "\x93\xFA", "\xE6\x97\xA5"},  // "日"
        {"AC1021", "ANSI_1251", "\xC3\xA4 \\U+00E9 \\U+D83D\\U+DE00 \\U+zz",
         "\xC3\xA4 \xC3\xA9 \xF0\x9F\x98\x80 \\U+zz"},
        {"AC1015", "ANSI_1252", "\\M+1889F and \\U+0416", "\xE4\xBA\x9C and \xD0\x96"},
        {"AC1032", "ANSI_1252", "a\xFF\xC3", "a\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.version) + " " + c.codePage + " " + c.bytes);
        const auto body = [&](TestDxf& t) {
            t.G(0, "TEXT").G(8, "L" + c.bytes).Point(10, 0, 0).G(40, 1.0).G(1, "x" + c.bytes);
        };
        auto d = ReadOk(Drawing(body, c.version, c.codePage));
        ASSERT_TRUE(d);
        EXPECT_EQ(std::tuple(Get<db::Text>(Only(*d)).text, d->layers[Only(*d).props.layer].name),
                  std::tuple("x" + c.utf8, "L" + c.utf8));
    }
    dxf::CodePageConverter unknown("KLINGON");
    EXPECT_FALSE(unknown.Known());
    EXPECT_EQ(unknown.Convert("\xE4"), "\xC3\xA4");
}

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

TEST(ReaderTestdata, ImagesKeepWhetherTheirBoundaryHidesItsInside) {
    VX_TESTDATA_OR_SKIP("dxf/ezdxf/viewports.dxf", bytes);
    auto d = Read(bytes);
    ASSERT_TRUE(d);
    int images = 0, inside = 0;
    for (const auto& b : d->blocks) {
        for (const auto& e : b.entities) {
            if (const auto* im = e.As<db::Image>(); im && e.type == db::EntityType::Image) {
                ++images;
                inside += im->clipInside ? 1 : 0;
            }
        }
    }
    EXPECT_EQ(images, 5);
    EXPECT_EQ(inside, 1);  // (group 290)
}

TestDxf ThreeLines() {
    TestDxf t;
    t.Header("AC1015").Section("ENTITIES");
    for (int i = 0; i < 3; ++i) {
        t.G(0, "LINE").G(8, "0").Point(10, i, 0).Point(11, i, 1);
    }
    return t;
}

bool Contains(const std::string& s, const std::string& part) {
    return s.find(part) != std::string::npos;
}

std::string AllWarnings(const db::Database& d) {
    std::string s;
    for (const auto& w : d.warnings) {
        s += w.Text() + "\n";
    }
    return s;
}

TEST(ReaderErrors, NotADrawingOrCutShort) {
    const std::string three = ThreeLines().EndSection().Eof().Ascii();
    std::string badCode = three;  // the second LINE's layer code, on line 37, is garbage
    badCode.replace(badCode.find("0\nLINE\n8\n0\n", badCode.find("0\nLINE\n") + 1) + 7, 1, "x8");
    const struct {
        std::string bytes;
        const char* where;
        const char* what;
    } cases[] = {
        {"", "", "the file is empty"},
        {"Dear reader,\nthis is a letter.\n", "", "not a DXF file"},
        {"0\nEOF\n", "", "no SECTION"},
        {three.substr(0, three.find("ENDSEC", three.find("ENTITIES")) - 3), "",
         "ends inside the ENTITIES section that starts at line 15"},
        {badCode, "line 37", "expected a group code, found 'x8'"},
    };
    for (const auto& c : cases) {
        const auto r = dxf::ReadDxf(c.bytes);
        ASSERT_FALSE(r.Ok()) << c.what;
        EXPECT_PRED2(Contains, r.error.where, c.where);
        EXPECT_PRED2(Contains, r.error.what, c.what);
    }
}

// Damage the drawing survives: each is reported, the rest is read.
TEST(ReaderWarnings, DamageTheDrawingSurvives) {
    TestDxf brokenCircle = ThreeLines();
    brokenCircle.Groups("0 CIRCLE|8 0|10 1.0|20 one|30 0|40 2.0").EndSection().Eof();
    TestDxf optional;
    optional.Header("AC1018")
        .Section("CLASSES")
        .Groups("0 CLASS|1 X|999999 bad")
        .EndSection()
        .Section("ENTITIES")
        .Groups("0 LINE|8 0|10 0,0|11 1,1")
        .EndSection()
        .Section("OBJECTS")
        .Groups("0 DICTIONARY|5 C|99999 broken")
        .EndSection()
        .Section("THUMBNAILIMAGE")
        .Groups("90 3|310 ABCDEF")
        .EndSection()
        .Eof();
    TestDxf noEnds;
    noEnds.Header("AC1009")
        .Section("BLOCKS")
        .Groups("0 BLOCK|2 B|70 0|10 0,0|0 LINE|8 0|10 0,0|11 1,1")
        .EndSection()
        .Section("ENTITIES")
        .Groups("0 INSERT|8 0|2 B|10 0,0")
        .EndSection();
    TestDxf header;
    header.Section("HEADER")
        .Groups("9 $ACADVER|1 AC1015|9 $INSUNITS|70 6")
        .Section("ENTITIES")
        .Groups("0 LINE|8 0|10 0,0|11 1,1")
        .EndSection()
        .Eof();
    TestDxf stray = ThreeLines();
    stray.Groups("0 VERTEX|8 0|10 0,0|0 INSERT|8 0|2 NOWHERE|10 0,0").EndSection().Eof();
    // The model space's entity count, block B's, the layout count and $INSUNITS after.
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::string> warnings;
        std::string counts;
    } cases[] = {
        {"broken entity",
         brokenCircle.Ascii(),
         {"line 73, group code 20: 'one' is not a number; CIRCLE skipped"},
         "3 - 2 0"},
        {"optional sections", optional.Ascii(), {"optional section", "OBJECTS section"}, "1 - 2 0"},
        {"no ENDBLK, no EOF", noEnds.Ascii(), {"missing ENDBLK", "no EOF marker"}, "1 1 2 0"},
        {"header without ENDSEC",
         header.Ascii(),
         {"line 13, group code 0: the HEADER section ends without ENDSEC"},
         "1 - 2 6"},
        {"stray vertex",
         stray.Ascii(),
         {"VERTEX outside of its POLYLINE", "block 'NOWHERE' is referenced but not defined"},
         "4 - 2 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = dxf::ReadDxf(c.bytes);
        ASSERT_TRUE(r.Ok()) << r.error.Text();
        const auto& d = *r.database;
        const std::string w = AllWarnings(d);
        EXPECT_EQ(d.warnings.size(), c.warnings.size()) << w;
        for (const auto& part : c.warnings) {
            EXPECT_PRED2(Contains, w, part);
        }
        const auto b = d.FindBlock("B");
        EXPECT_EQ(std::to_string(d.blocks[d.modelSpace].entities.size()) + " " +
                      (b == db::kNone ? "-" : std::to_string(d.blocks[b].entities.size())) + " " +
                      std::to_string(d.layouts.size()) + " " + std::to_string(d.header.insUnits),
                  c.counts);
    }
}

TEST(ReaderWarnings, ManyWarningsAreCapped) {
    TestDxf t;
    t.Header("AC1015").Section("ENTITIES");
    for (int i = 0; i < 500; ++i) {
        t.G(0, "POINT").G(8, "0").G(10, "x").G(20, "0");
    }
    dxf::DxfReadOptions o;
    o.maxWarnings = 10;
    auto r = dxf::ReadDxf(t.EndSection().Eof().Ascii(), o);
    ASSERT_TRUE(r.Ok());
    ASSERT_EQ(r.database->warnings.size(), 11u);
    EXPECT_EQ(r.database->warnings.back().what, "and 490 more warnings");
}

// Prefixes of a real file: an error or a drawing, never a crash (the sanitizer builds
// run this too).
TEST(ReaderRobustness, EveryTruncationOfARealFile) {
    VX_TESTDATA_OR_SKIP("dxf/ezdxf/bin_dxf_r2000.dxf", binary);
    VX_TESTDATA_OR_SKIP("dxf/ezdxf/small_r13.dxf", ascii);
    for (const std::string* bytes : {&binary, &ascii}) {
        int errors = 0, atOffset = 0;
        for (std::size_t n = 0; n < bytes->size(); n += 13) {
            auto r = dxf::ReadDxf(std::string_view(*bytes).substr(0, n));
            if (r.Ok()) {
                EXPECT_FALSE(r.database->warnings.empty()) << "cut at " << n << " gave no warning";
            } else {
                ++errors;
                atOffset += r.error.where.find("offset ") != std::string::npos;
                EXPECT_FALSE(r.error.what.empty());
            }
        }
        EXPECT_GT(errors, 0);
        // A binary file's damage is placed by its byte offset, a text file's by its line.
        EXPECT_EQ(atOffset > 0, bytes == &binary);
    }
}

TEST(ReaderRobustness, BitFlippedCopies) {
    VX_TESTDATA_OR_SKIP("dxf/acadsharp/sample_AC1015_binary.dxf", binary);
    VX_TESTDATA_OR_SKIP("dxf/ezdxf/text.dxf", ascii);
    std::mt19937 rng(20261206);
    for (const std::string* original : {&binary, &ascii}) {
        for (int round = 0; round < 60; ++round) {
            std::string s = *original;
            std::uniform_int_distribution<std::size_t> pos(0, s.size() - 1);
            for (int k = 0; k < 1 + round % 8; ++k) {
                s[pos(rng)] ^= static_cast<char>(1 << (rng() % 8));
            }
            auto r = dxf::ReadDxf(s);
            if (!r.Ok()) {
                EXPECT_FALSE(r.error.where.empty()) << r.error.what;
            }
        }
    }
}

TEST(ReaderRobustness, HugeCountsDoNotAllocate) {
    // Counts in the file are hints only: a hatch that claims two billion paths, a
    // polyline that claims a huge vertex count.
    TestDxf t;
    t.Header("AC1015")
        .Section("ENTITIES")
        .Groups(
            "0 HATCH|8 0|2 SOLID|70 1|91 2000000000|92 2|93 2000000000|0 LWPOLYLINE|8 0|"
            "90 2000000000|10 0.0|20 0.0|0 INSERT|8 0|2 X|70 32767|71 32767|10 0,0")
        .EndSection()
        .Eof();
    auto r = dxf::ReadDxf(t.Ascii());
    ASSERT_TRUE(r.Ok()) << r.error.Text();
    const auto& e = r.database->blocks[r.database->modelSpace].entities;
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].As<db::Hatch>()->paths.size(), 1u);
    EXPECT_EQ(e[1].As<db::LwPolyline>()->vertices.size(), 1u);
}

}  // namespace
}  // namespace vx::engine
