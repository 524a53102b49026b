// The DXF reader on small files written for one feature each: entity geometry, common
// properties, tables, blocks, layouts and text encodings, in ASCII and binary form.
#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

#include "dxf/TestDxf.h"
#include "engine/db/Database.h"
#include "engine/dxf/CodePage.h"
#include "engine/dxf/DxfReader.h"

namespace vx::engine {
namespace {

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

}  // namespace
}  // namespace vx::engine
