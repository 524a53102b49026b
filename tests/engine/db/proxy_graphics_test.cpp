// The decoder of custom objects' pictures: commands written here byte by byte, and the
// plain entities that come out of them, described in one line each.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>

#include "db/ProxyStream.h"
#include "db/TestBitWriter.h"

namespace {

using namespace vx::engine::db;
using namespace vx::test::proxy;

std::string Num(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%g", std::abs(v) < 1e-9 ? 0.0 : std::round(v * 1e6) / 1e6);
    return b;
}
std::string Pt(Vec3 p) {
    return Num(p.x) + "," + Num(p.y) + "," + Num(p.z);
}

std::string Geometry(const Entity& e) {
    const Transform ocs = OcsToWorld(e.props.extrusion);
    if (const auto* g = e.As<Line>())
        return "LINE " + Pt(g->start) + " " + Pt(g->end);
    if (const auto* g = e.As<Circle>())
        return "CIRCLE " + Pt(ocs.Apply(g->center)) + " r" + Num(g->radius);
    if (const auto* g = e.As<Arc>())
        return "ARC " + Pt(ocs.Apply(g->center)) + " r" + Num(g->radius) + " " +
               Num(g->startAngle) + ".." + Num(g->endAngle);
    if (const auto* g = e.As<Polyline>())
        return "POLYLINE " + std::to_string(g->vertices.size()) + (g->Closed() ? " closed" : "");
    if (const auto* g = e.As<LwPolyline>())
        return "LWPOLYLINE " + std::to_string(g->vertices.size()) + " bulge " +
               Num(g->vertices[0].bulge) + (g->closed ? " closed" : "");
    if (const auto* g = e.As<Hatch>()) {
        std::string s = "HATCH";
        for (const auto& p : g->paths)
            s += " " + std::to_string(p.polyline.size());
        return s;
    }
    if (const auto* g = e.As<Text>())
        return "TEXT " + g->text + " " + Pt(ocs.Apply(g->position)) + " h" + Num(g->height) +
               " rot" + Num(g->rotation) + " style" + std::to_string(static_cast<int>(g->style));
    return std::string(e.TypeName());
}

// One line per entity, in world coordinates where the entity is planar, with the
// properties that differ from the start's (layer 0, ByBlock).
std::string Describe(const Entity& e) {
    const EntityProps& p = e.props;
    static const char* const kColors[] = {" bylayer", "", " aci", " rgb"};
    const auto kind = static_cast<int>(p.color.kind);
    std::string s = Geometry(e) + (p.layer ? " layer" + std::to_string(p.layer) : "") +
                    kColors[kind] +
                    (kind == 2   ? std::to_string(p.color.index)
                     : kind == 3 ? std::to_string(p.color.rgb)
                                 : "");
    if (p.linetype != kByBlock)
        s += " lt" + std::to_string(static_cast<int>(p.linetype));
    return p.lineweight != kLineweightByBlock ? s + " lw" + std::to_string(p.lineweight) : s;
}

Database Tables() {
    Database db;
    db.layers = {Layer{.name = "0"}, Layer{.name = "WALLS"}};
    db.linetypes = {Linetype{.name = "ByBlock"}, Linetype{.name = "ByLayer"},
                    Linetype{.name = "DASHED"}};
    db.textStyles = {TextStyle{.name = "Standard", .fontFile = "txt"},
                     TextStyle{.name = "S", .fontFile = "TXT.SHX"}};
    return db;
}

std::vector<std::string> Decode(const std::string& data,
                                std::vector<std::string>* warnings = nullptr) {
    const Database db = Tables();
    ProxyGraphics g = DecodeProxyGraphics(data, db);
    std::vector<std::string> out;
    for (const Entity& e : g.entities)
        out.push_back(Describe(e));
    if (warnings)
        *warnings = g.warnings;
    return out;
}

std::string Compressed() {  // two vertices, the first with a half-circle bulge
    vx::test::BitWriter w;
    w.Code(1).RC(16 | 0);           // flags: bulges present
    w.Code(1).RC(2).Code(1).RC(2);  // 2 vertices, 2 bulges
    for (double v : {0.0, 0.0})
        w.Le(std::bit_cast<std::uint64_t>(v), 8);
    w.Bits(3, 2).Le(std::bit_cast<std::uint64_t>(2.0), 8).Bits(0, 2);  // x = 2 in full, y as before
    w.Code(1).Code(2);                                                 // bulges 1 and 0
    std::string bytes(w.Data().begin(), w.Data().end());
    return L(static_cast<std::uint32_t>(bytes.size())) + S(bytes, 0);
}

struct Case {
    const char* name;
    Stream stream;
    std::vector<std::string> expected;
};

TEST(ProxyGraphics, CommandsBecomeEntities) {
    const double pi = std::acos(-1.0);
    const std::string up = P(0, 0, 1);
    auto matrix = [](std::initializer_list<double> rows) {  // the top three rows
        std::string m;
        for (double v : rows)
            m += D(v);
        return m + P(0, 0) + D(1);
    };
    const std::string move10x2 = matrix({2, 0, 0, 10, 0, 2, 0, 0, 0, 0, 2, 0});
    const std::string up5 = matrix({1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1, 0});
    const std::string circle = P(0, 0) + D(1) + up;
    const std::string tri = L(3) + P(0, 0) + P(4, 0) + P(0, 3);
    const Case cases[] = {
        {"circle", Stream().Op(ProxyOp::Circle, P(1, 2) + D(3) + up), {"CIRCLE 1,2,0 r3"}},
        {"circle through three points",
         Stream().Op(ProxyOp::Circle3P, P(0, 0) + P(2, 0) + P(1, 1)),
         {"CIRCLE 1,0,0 r1"}},
        {"arc with a negative sweep",
         Stream().Op(ProxyOp::CircularArc, P(0, 0) + D(2) + up + P(1, 0) + D(-pi / 2) + L(0)),
         {"ARC 0,0,0 r2 -90..0"}},
        {"arc through three points with its chord",
         Stream().Op(ProxyOp::CircularArc3P, P(1, 0) + P(0, 1) + P(-1, 0) + L(2)),
         {"ARC 0,0,0 r1 0..180", "LINE 1,0,0 -1,0,0"}},
        {"polylines of one, two and three points",
         Stream()
             .Op(ProxyOp::Polyline, L(1) + P(7, 7))
             .Op(ProxyOp::Polyline, L(2) + P(0, 0) + P(1, 1))
             .Op(ProxyOp::PolylineWithNormal, tri + up),
         {"POINT", "LINE 0,0,0 1,1,0", "POLYLINE 3"}},
        {"polygon outlined, then filled",
         Stream().Op(ProxyOp::Polygon, tri).Op(ProxyOp::Fill, L(1)).Op(ProxyOp::Polygon, tri),
         {"POLYLINE 3 closed", "HATCH 3"}},
        {"shell faces outlined, a face with a hole filled",
         Stream()
             .Op(ProxyOp::Shell, L(4) + P(0, 0) + P(4, 0) + P(4, 4) + P(0, 4) + L(8) + L(3) + L(0) +
                                     L(1) + L(2) + L(3) + L(0) + L(2) + L(3))
             .Op(ProxyOp::Fill, L(1))
             .Op(ProxyOp::Shell, L(4) + P(0, 0) + P(4, 0) + P(4, 4) + P(0, 4) + L(9) + L(4) + L(0) +
                                     L(1) + L(2) + L(3) + L(-3) + L(0) + L(1) + L(2)),
         {"POLYLINE 3 closed", "POLYLINE 3 closed", "HATCH 4 3"}},
        {"text with its font's style",
         Stream().Op(ProxyOp::Text2, P(5, 5) + up + P(0, 1) + S("xx") + L(2) + L(1) + D(2) + D(1) +
                                         D(0) + D(1) + L(0) + L(0) + L(0) + L(0) + L(0) +
                                         S("txt.shx") + S("")),
         {"TEXT xx 5,5,0 h2 rot90 style1"}},
        {"unicode text",
         Stream().Op(ProxyOp::UnicodeText, P(0, 0) + up + P(1, 0) + D(1) + D(1) + D(0) +
                                               S(std::string("\xC4\0\xAC\x20", 4), 2)),
         {"TEXT \xC3\x84\xE2\x82\xAC 0,0,0 h1 rot0 style-1"}},
        {"model transforms nest and pop",
         Stream()
             .Op(ProxyOp::PushTransform, move10x2)
             .Op(ProxyOp::Circle, circle)
             .Op(ProxyOp::PushTransform, up5)
             .Op(ProxyOp::Circle, circle)
             .Op(ProxyOp::PopTransform)
             .Op(ProxyOp::PopTransform)
             .Op(ProxyOp::PopTransform)
             .Op(ProxyOp::Circle, circle),
         {"CIRCLE 10,0,0 r2", "CIRCLE 10,10,0 r2", "CIRCLE 0,0,0 r1"}},
        {"compressed polyline, as is and under a transform",
         Stream()
             .Op(ProxyOp::LwPolyline, Compressed())
             .Op(ProxyOp::PushTransform, up5)
             .Op(ProxyOp::LwPolyline, Compressed()),
         {"LWPOLYLINE 2 bulge 1", "ARC 1,5,0 r1 -180..0"}},
        {"attributes apply to the commands after them",
         Stream()
             .Op(ProxyOp::Color, L(1))
             .Op(ProxyOp::Layer, L(1))
             .Op(ProxyOp::Linetype, L(2))
             .Op(ProxyOp::Lineweight, L(50))
             .Op(ProxyOp::Circle, circle)
             .Op(ProxyOp::TrueColor, L(0xC200FF00))
             .Op(ProxyOp::Linetype, L(32767))
             .Op(ProxyOp::Layer, L(99))
             .Op(ProxyOp::Circle, circle)  // no such layer
             .Op(ProxyOp::TrueColor, L(0xC0000000))
             .Op(ProxyOp::Circle, circle),
         {"CIRCLE 0,0,0 r1 layer1 aci1 lt2 lw50", "CIRCLE 0,0,0 r1 layer1 rgb65280 lt-2 lw50",
          "CIRCLE 0,0,0 r1 layer1 bylayer lt-2 lw50"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> warnings;
        EXPECT_EQ(Decode(c.stream.Data(), &warnings), c.expected) << c.name;
        EXPECT_TRUE(warnings.empty()) << c.name << ": " << (warnings.empty() ? "" : warnings[0]);
    }
}

TEST(ProxyGraphics, DamageEndsInAWarningAndKeepsWhatCameBefore) {
    const std::string circle = P(0, 0) + D(1) + P(0, 0, 1);
    std::string tooLong = Stream().Op(ProxyOp::Circle, circle).Op(ProxyOp::Circle, circle).Data();
    tooLong[8 + 64] = 0x7F;  // the second command claims more than there is
    Stream nested;
    for (int i = 0; i < 100; ++i)
        nested.Op(ProxyOp::PushTransform,
                  D(1) + P(0, 0) + D(0) + D(1) + P(0, 0) + P(0, 1) + P(0, 0) + D(1));
    const struct {
        const char* name;
        std::string data;
        std::size_t entities;
    } cases[] = {
        {"shorter than its head", "abc", 0},
        {"a command past the end", tooLong, 1},
        {"a vertex count past the command",
         Stream().Op(ProxyOp::Polyline, L(0x10000000) + P(0, 0)).Op(ProxyOp::Circle, circle).Data(),
         1},
        {"a shell face longer than its list",
         Stream().Op(ProxyOp::Shell, L(1) + P(0, 0) + L(2) + L(5) + L(0)).Data(), 0},
        {"transforms nested too deep", nested.Op(ProxyOp::Circle, circle).Data(), 1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> warnings;
        EXPECT_EQ(Decode(c.data, &warnings).size(), c.entities) << c.name;
        EXPECT_FALSE(warnings.empty()) << c.name;
    }
}

}  // namespace
