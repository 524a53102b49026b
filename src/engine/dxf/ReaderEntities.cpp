// The entities of a DXF file: common properties and each type's geometry.
#include <algorithm>
#include <cmath>

#include "engine/dxf/DxfReaderImpl.h"

namespace vx::engine::dxf {

using namespace vx::engine::db;

namespace {

// Points given coordinate by coordinate: the base code starts a point, the code +10 (y) and
// +20 (z) set the last one. False when `t` is none of the three.
bool PointList(Reader& r, const Tag& t, int base, std::vector<Vec3>& points, const char* noX) {
    if (t.code == base) {
        points.push_back({r.Dbl(t), 0, 0});
        return true;
    }
    if (t.code != base + 10 && t.code != base + 20) {
        return false;
    }
    if (points.empty()) {
        throw ItemError(r.Where(t), noX);
    }
    (t.code == base + 10 ? points.back().y : points.back().z) = r.Dbl(t);
    return true;
}

}  // namespace

void Reader::ParseProps(const Tag& t, EntityProps& p, bool& ownerSeen) {
    switch (t.code) {
        case 5:
            p.handle = Hnd(t);
            break;
        case 330:
            if (!ownerSeen) {
                p.owner = Hnd(t);
                ownerSeen = true;
            }
            break;
        case 8:
            p.layer = LayerByName(TagSource::Trim(t.text).empty() ? "0" : Str(t));
            break;
        case 6:
            p.linetype = LinetypeByName(Str(t));
            break;
        case 62: {
            Color c = Color::FromIndex(static_cast<int>(Int(t)));
            if (p.color.kind == Color::Kind::True) {
                p.color.index = c.index;  // the nearest index of a true colour
            } else {
                p.color = c;
            }
            break;
        }
        case 420: {
            std::int16_t idx = p.color.kind == Color::Kind::Index ? p.color.index : 7;
            p.color = Color::FromRgb(static_cast<std::uint32_t>(Int(t)), idx);
            break;
        }
        case 370:
            p.lineweight = I16(t);
            break;
        case 48:
            p.linetypeScale = Dbl(t);
            break;
        case 60:
            p.invisible = Int(t) != 0;
            break;
        case 67:
            p.paperSpace = Int(t) != 0;
            break;
        case 210:
            p.extrusion.x = Dbl(t);
            break;
        case 220:
            p.extrusion.y = Dbl(t);
            break;
        case 230:
            p.extrusion.z = Dbl(t);
            break;
        case 440:
            p.transparency = static_cast<std::uint32_t>(Int(t));
            break;
        case 390:
            p.plotStyle = Hnd(t);
            break;
        default:
            break;
    }
}

namespace {

// Walks an item's tags: application groups ({...}) are passed over, extended data
// (codes >= 1000) goes to `xdata`, the rest to `specific` first and to the common
// properties when `specific` does not take it.
template <class Specific, class XData>
void Walk(Reader& r, const std::vector<Tag>& tags, EntityProps& p, Specific specific, XData xdata) {
    bool inGroup = false, ownerSeen = false;
    for (const auto& t : tags) {
        if (t.code == 102) {
            inGroup = TagSource::Trim(t.text).substr(0, 1) == "{";
            continue;
        }
        if (inGroup) {
            continue;
        }
        if (t.code >= 1000) {
            xdata(t);
            continue;
        }
        if (!specific(t)) {
            r.Props(t, p, ownerSeen);
        }
    }
}

template <class Specific>
void Walk(Reader& r, const std::vector<Tag>& tags, EntityProps& p, Specific specific) {
    Walk(r, tags, p, specific, [](const Tag&) {});
}

}  // namespace

void Reader::ParseVertex(const std::vector<Tag>& tags, Polyline& pl) {
    PolyVertex v;
    v.startWidth = pl.defaultStartWidth;
    v.endWidth = pl.defaultEndWidth;
    EntityProps ignored;
    static constexpr Group<PolyVertex> kGroups[] = {{10, &PolyVertex::position},
                                                    {40, &PolyVertex::startWidth},
                                                    {41, &PolyVertex::endWidth},
                                                    {42, &PolyVertex::bulge},
                                                    {70, &PolyVertex::flags},
                                                    // a vertex's own properties are not used
                                                    {8},
                                                    {62},
                                                    {6},
                                                    {370},
                                                    {5},
                                                    {330}};
    Walk(*this, tags, ignored, [&](const Tag& t) {
        if (t.code >= 71 && t.code <= 74) {
            v.faceIndices[t.code - 71] = I16(t);
            return true;
        }
        return TakeGroup(*this, t, v, kGroups);
    });
    pl.vertices.push_back(v);
}

namespace {

// TEXT, ATTRIB and ATTDEF share their text groups; `attribute` switches 73/74.
bool TextGroup(Reader& r, const Tag& t, Text& x, bool attribute) {
    static constexpr Group<Text> kGroups[] = {{10, &Text::position}, {11, &Text::alignPoint},
                                              {40, &Text::height},   {1, &Text::text},
                                              {50, &Text::rotation}, {41, &Text::widthFactor},
                                              {51, &Text::oblique},  {71, &Text::generation},
                                              {72, &Text::halign},   {39, &Text::thickness}};
    switch (t.code) {
        case 11:
            x.hasAlignPoint = true;
            break;
        case 7:
            x.style = r.StyleByName(r.Str(t));
            return true;
        case 73:
        case 74:
            if ((t.code == 74) == attribute)
                x.valign = r.I16(t);
            return true;
        default:
            break;
    }
    return TakeGroup(r, t, x, kGroups);
}

bool MTextGroup(Reader& r, const Tag& t, MText& m, std::string& chunks) {
    static constexpr Group<MText> kGroups[] = {
        {10, &MText::position},        {11, &MText::xAxis},
        {40, &MText::height},          {41, &MText::rectWidth},
        {44, &MText::lineSpacing},     {50, &MText::rotation},
        {71, &MText::attachment},      {72, &MText::drawingDirection},
        {73, &MText::lineSpacingStyle}};
    switch (t.code) {
        case 11:
            m.hasXAxis = true;
            break;
        case 7:
            m.style = r.StyleByName(r.Str(t));
            return true;
        case 3:
            chunks += r.Str(t);
            return true;
        case 1:
            m.text = chunks + r.Str(t);
            chunks.clear();
            return true;
        default:
            break;
    }
    return TakeGroup(r, t, m, kGroups);
}

}  // namespace

void Reader::ParseAttrib(const std::vector<Tag>& tags, AttribEntity& a) {
    Attribute& at = a.attribute;
    a.props.layer = LayerByName("0");
    bool embedded = false;
    std::string chunks;
    Walk(*this, tags, a.props, [&](const Tag& t) {
        if (t.code == 101) {
            embedded = true;
            return true;
        }
        if (embedded) {
            if (MTextGroup(*this, t, at.mtext, chunks)) {
                at.isMText = true;
            }
            return true;
        }
        if (t.code == 2) {
            at.tag = Str(t);
            return true;
        }
        if (t.code == 70) {
            at.flags = I16(t);
            return true;
        }
        if (t.code == 3) {
            at.prompt = Str(t);
            return true;
        }
        return TextGroup(*this, t, at.text, true);
    });
    if (at.isMText && at.mtext.text.empty()) {
        at.mtext.text = at.text.text;
    }
}

void Reader::ParseEntity(std::string_view type, const std::vector<Tag>& tags, Entity& e) {
    EntityProps& p = e.props;
    p.layer = LayerByName("0");
    auto set = [&](EntityType et, auto value) { e.Set(et, std::move(value)); };
    if (ParseAnnotation(type, tags, e) || ParseKind(type, tags, e)) {
        return;
    }
    if (type == "LINE") {
        Line g;
        static constexpr Group<Line> kGroups[] = {
            {39, &Line::thickness}, {10, &Line::start}, {11, &Line::end}};
        Walk(*this, tags, p, [&](const Tag& t) { return TakeGroup(*this, t, g, kGroups); });
        set(EntityType::Line, std::move(g));
    } else if (type == "POINT") {
        Point g;
        static constexpr Group<Point> kGroups[] = {
            {39, &Point::thickness}, {50, &Point::angle}, {10, &Point::position}};
        Walk(*this, tags, p, [&](const Tag& t) { return TakeGroup(*this, t, g, kGroups); });
        set(EntityType::Point, std::move(g));
    } else if (type == "CIRCLE" || type == "ARC") {
        Arc g;
        static constexpr Group<Arc> kGroups[] = {{40, &Arc::radius},
                                                 {50, &Arc::startAngle},
                                                 {51, &Arc::endAngle},
                                                 {39, &Arc::thickness},
                                                 {10, &Arc::center}};
        Walk(*this, tags, p, [&](const Tag& t) { return TakeGroup(*this, t, g, kGroups); });
        if (type == "CIRCLE") {
            set(EntityType::Circle, Circle{g.center, g.radius, g.thickness});
        } else {
            set(EntityType::Arc, std::move(g));
        }
    } else if (type == "ELLIPSE") {
        Ellipse g;
        static constexpr Group<Ellipse> kGroups[] = {{40, &Ellipse::ratio},
                                                     {41, &Ellipse::startParam},
                                                     {42, &Ellipse::endParam},
                                                     {10, &Ellipse::center},
                                                     {11, &Ellipse::majorAxis}};
        Walk(*this, tags, p, [&](const Tag& t) { return TakeGroup(*this, t, g, kGroups); });
        set(EntityType::Ellipse, std::move(g));
    } else if (type == "LWPOLYLINE") {
        LwPolyline g;
        static constexpr Group<LwPolyline> kGroups[] = {
            {43, &LwPolyline::constantWidth},
            {38, &LwPolyline::elevation},
            {39, &LwPolyline::thickness},
            {90},  // count: the vertices themselves tell
            {91}};
        static constexpr Group<LwVertex> kVertex[] = {{20, &LwVertex::y},
                                                      {40, &LwVertex::startWidth},
                                                      {41, &LwVertex::endWidth},
                                                      {42, &LwVertex::bulge}};
        Walk(*this, tags, p, [&](const Tag& t) {
            switch (t.code) {
                case 70: {
                    auto f = Int(t);
                    g.closed = (f & 1) != 0;
                    g.plinegen = (f & 128) != 0;
                    return true;
                }
                case 10:
                    g.vertices.push_back({});
                    g.vertices.back().x = Dbl(t);
                    return true;
                case 20:
                case 40:
                case 41:
                case 42:
                    if (g.vertices.empty()) {
                        throw ItemError(Where(t), "a vertex value before the first vertex");
                    }
                    return TakeGroup(*this, t, g.vertices.back(), kVertex);
                default:
                    return TakeGroup(*this, t, g, kGroups);
            }
        });
        if (g.constantWidth != 0) {
            for (auto& v : g.vertices) {
                if (v.startWidth == 0 && v.endWidth == 0) {
                    v.startWidth = v.endWidth = g.constantWidth;
                }
            }
        }
        set(EntityType::LwPolyline, std::move(g));
    } else if (type == "POLYLINE") {
        Polyline g;
        static constexpr Group<Polyline> kGroups[] = {{70, &Polyline::flags},
                                                      {30, &Polyline::elevation},
                                                      {10},  // always 0
                                                      {20},
                                                      {40, &Polyline::defaultStartWidth},
                                                      {41, &Polyline::defaultEndWidth},
                                                      {71, &Polyline::meshM},
                                                      {72, &Polyline::meshN},
                                                      {39, &Polyline::thickness},
                                                      {66}};
        Walk(*this, tags, p, [&](const Tag& t) { return TakeGroup(*this, t, g, kGroups); });
        set(EntityType::Polyline, std::move(g));
    } else if (type == "SPLINE") {
        Spline g;
        static constexpr Group<Spline> kGroups[] = {{70, &Spline::flags},
                                                    {71, &Spline::degree},
                                                    {72},
                                                    {73},
                                                    {74},
                                                    {42},
                                                    {43},
                                                    {44},
                                                    {12, &Spline::startTangent},
                                                    {13, &Spline::endTangent}};
        Walk(*this, tags, p, [&](const Tag& t) {
            if (t.code == 40) {
                g.knots.push_back(Dbl(t));
                return true;
            }
            if (t.code == 41) {
                g.weights.push_back(Dbl(t));
                return true;
            }
            return PointList(*this, t, 10, g.controlPoints, "a control point without x") ||
                   PointList(*this, t, 11, g.fitPoints, "a fit point without x") ||
                   TakeGroup(*this, t, g, kGroups);
        });
        set(EntityType::Spline, std::move(g));
    } else if (type == "SOLID" || type == "TRACE" || type == "3DFACE") {
        Face g;
        bool seen[4] = {false, false, false, false};
        Walk(*this, tags, p, [&](const Tag& t) {
            if (t.code == 39) {
                g.thickness = Dbl(t);
                return true;
            }
            if (t.code == 70) {
                g.invisibleEdges = I16(t);
                return true;
            }
            for (int k = 0; k < 4; ++k) {
                if (IsPointCode(t.code, 10 + k)) {
                    seen[k] = true;
                    return Coord(t.code, 10 + k, Dbl(t), g.corners[k]);
                }
            }
            return false;
        });
        if (!seen[3]) {
            g.corners[3] = g.corners[2];  // a triangle
        }
        set(type == "SOLID"   ? EntityType::Solid
            : type == "TRACE" ? EntityType::Trace
                              : EntityType::Face3d,
            std::move(g));
    } else if (type == "TEXT") {
        Text g;
        Walk(*this, tags, p, [&](const Tag& t) { return TextGroup(*this, t, g, false); });
        set(EntityType::Text, std::move(g));
    } else if (type == "MTEXT") {
        MText g;
        std::string chunks;
        bool embedded = false;
        Walk(*this, tags, p, [&](const Tag& t) {
            if (t.code == 101)
                embedded = true;
            if (embedded)
                return true;  // column data
            return MTextGroup(*this, t, g, chunks);
        });
        if (!chunks.empty()) {
            g.text = chunks + g.text;
        }
        set(EntityType::MText, std::move(g));
    } else if (type == "ATTDEF") {
        AttribEntity a;
        ParseAttrib(tags, a);
        p = a.props;
        if (p.layer == kNone)
            p.layer = LayerByName("0");
        set(EntityType::Attdef, std::move(a.attribute));
    } else if (type == "INSERT") {
        Insert g;
        static constexpr Group<Insert> kGroups[] = {{2, &Insert::blockName},
                                                    {50, &Insert::rotation},
                                                    {70, &Insert::columns},
                                                    {71, &Insert::rows},
                                                    {44, &Insert::columnSpacing},
                                                    {45, &Insert::rowSpacing},
                                                    {66},
                                                    {10, &Insert::position}};
        Walk(*this, tags, p, [&](const Tag& t) {
            switch (t.code) {
                case 41:
                    g.scale.x = Dbl(t);
                    return true;
                case 42:
                    g.scale.y = Dbl(t);
                    return true;
                case 43:
                    g.scale.z = Dbl(t);
                    return true;
                default:
                    return TakeGroup(*this, t, g, kGroups);
            }
        });
        set(EntityType::Insert, std::move(g));
    } else if (type == "DIMENSION") {
        Dimension g;
        static constexpr Group<Dimension> kGroups[] = {{2, &Dimension::blockName},
                                                       {3, &Dimension::styleName},
                                                       {1, &Dimension::text},
                                                       {70, &Dimension::dimType},
                                                       {42, &Dimension::measurement},
                                                       {50, &Dimension::rotation},
                                                       {51, &Dimension::horizontalDirection},
                                                       {52, &Dimension::obliqueAngle},
                                                       {53, &Dimension::textRotation},
                                                       {10, &Dimension::definitionPoint},
                                                       {11, &Dimension::textMidpoint},
                                                       {12, &Dimension::insertionPoint}};
        Walk(*this, tags, p, [&](const Tag& t) {
            for (int k = 0; k < 4; ++k) {
                if (IsPointCode(t.code, 13 + k))
                    return Coord(t.code, 13 + k, Dbl(t), g.points[k]);
            }
            return TakeGroup(*this, t, g, kGroups);
        });
        set(EntityType::Dimension, std::move(g));
    } else if (type == "LEADER") {
        Leader g;
        static constexpr Group<Leader> kGroups[] = {{3, &Leader::styleName},
                                                    {71, &Leader::arrowhead},
                                                    {72, &Leader::pathType},
                                                    {211, &Leader::horizontalDirection},
                                                    {73},
                                                    {74},
                                                    {75},
                                                    {76},
                                                    {40},
                                                    {41},
                                                    {77},
                                                    {340}};
        Walk(*this, tags, p, [&](const Tag& t) {
            return PointList(*this, t, 10, g.vertices, "a vertex without x") ||
                   TakeGroup(*this, t, g, kGroups) || IsPointCode(t.code, 212) ||
                   IsPointCode(t.code, 213);
        });
        set(EntityType::Leader, std::move(g));
    } else if (type == "HATCH") {
        Hatch g;
        // Properties and the head up to the path count (91); then paths by counts.
        std::vector<Tag> head, tail;
        std::size_t i = 0;
        const std::size_t n = tags.size();
        bool inGroup = false;
        for (; i < n; ++i) {
            if (tags[i].code == 102)
                inGroup = TagSource::Trim(tags[i].text).substr(0, 1) == "{";
            if (!inGroup && tags[i].code == 91)
                break;
            head.push_back(tags[i]);
        }
        static constexpr Group<Hatch> kHead[] = {{2, &Hatch::patternName},
                                                 {70, &Hatch::solid},
                                                 {71},
                                                 {30, &Hatch::elevation},
                                                 {10},
                                                 {20}};
        Walk(*this, head, p, [&](const Tag& t) { return TakeGroup(*this, t, g, kHead); });
        auto at = [&](int code) { return i < n && tags[i].code == code; };
        auto take = [&](int code, double& v) {
            if (at(code))
                v = Dbl(tags[i++]);
        };
        if (at(91)) {
            std::int64_t paths = Int(tags[i++]);
            for (std::int64_t k = 0; k < paths && at(92); ++k) {
                HatchPath path;
                path.flags = static_cast<std::int32_t>(Int(tags[i++]));
                if (path.flags & 2) {
                    path.isPolyline = true;
                    bool bulges = false;
                    if (at(72))
                        bulges = Int(tags[i++]) != 0;
                    if (at(73))
                        path.closed = Int(tags[i++]) != 0;
                    std::int64_t count = at(93) ? Int(tags[i++]) : 0;
                    for (std::int64_t v = 0; v < count && at(10); ++v) {
                        LwVertex vx;
                        take(10, vx.x);
                        take(20, vx.y);
                        if (bulges)
                            take(42, vx.bulge);
                        path.polyline.push_back(vx);
                    }
                } else {
                    std::int64_t count = at(93) ? Int(tags[i++]) : 0;
                    for (std::int64_t k2 = 0; k2 < count && at(72); ++k2) {
                        HatchEdge ed;
                        auto et = Int(tags[i++]);
                        if (et < 1 || et > 4) {
                            throw ItemError(Where(tags[i - 1]),
                                            "unknown hatch edge type " + std::to_string(et));
                        }
                        ed.type = static_cast<HatchEdge::Type>(et);
                        double ccw = 1;
                        switch (ed.type) {
                            case HatchEdge::Type::Line:
                                take(10, ed.p0.x);
                                take(20, ed.p0.y);
                                take(11, ed.p1.x);
                                take(21, ed.p1.y);
                                break;
                            case HatchEdge::Type::Arc:
                                take(10, ed.p0.x);
                                take(20, ed.p0.y);
                                take(40, ed.radius);
                                take(50, ed.startAngle);
                                take(51, ed.endAngle);
                                take(73, ccw);
                                ed.ccw = ccw != 0;
                                break;
                            case HatchEdge::Type::Ellipse:
                                take(10, ed.p0.x);
                                take(20, ed.p0.y);
                                take(11, ed.p1.x);
                                take(21, ed.p1.y);
                                take(40, ed.ratio);
                                take(50, ed.startAngle);
                                take(51, ed.endAngle);
                                take(73, ccw);
                                ed.ccw = ccw != 0;
                                break;
                            case HatchEdge::Type::Spline: {
                                double deg = 3, rat = 0, per = 0, nk = 0, nc = 0;
                                take(94, deg);
                                take(73, rat);
                                take(74, per);
                                take(95, nk);
                                take(96, nc);
                                ed.degree = static_cast<std::int32_t>(deg);
                                ed.rational = rat != 0;
                                ed.periodic = per != 0;
                                while (at(40))
                                    ed.knots.push_back(Dbl(tags[i++]));
                                while (at(10)) {
                                    Vec3 c;
                                    take(10, c.x);
                                    take(20, c.y);
                                    ed.controlPoints.push_back(c);
                                    if (at(42))
                                        ed.weights.push_back(Dbl(tags[i++]));
                                }
                                if (version_ >= 1024 && at(97)) {
                                    ++i;
                                    while (at(11)) {
                                        Vec3 f;
                                        take(11, f.x);
                                        take(21, f.y);
                                        ed.fitPoints.push_back(f);
                                    }
                                    Vec3 tmp;
                                    take(12, tmp.x);
                                    take(22, tmp.y);
                                    take(13, tmp.x);
                                    take(23, tmp.y);
                                }
                                break;
                            }
                        }
                        path.edges.push_back(std::move(ed));
                    }
                }
                if (at(97)) {
                    std::int64_t src = Int(tags[i++]);
                    for (std::int64_t s = 0; s < src && at(330); ++s)
                        ++i;
                }
                g.paths.push_back(std::move(path));
            }
        }
        for (; i < n; ++i)
            tail.push_back(tags[i]);
        static constexpr Group<Hatch> kTail[] = {
            {75, &Hatch::style},
            {76, &Hatch::patternType},
            {52, &Hatch::patternAngle},
            {41, &Hatch::patternScale},
            {77, &Hatch::patternDouble},
            {78},
            {450, &Hatch::gradient},
            {470, &Hatch::gradientName},
            // seed points, gradient details and colours: not used
            {47},
            {98},
            {10},
            {20},
            {451},
            {452},
            {453},
            {460},
            {461},
            {462},
            {463},
            {421},
            {63}};
        Walk(*this, tail, p, [&](const Tag& t) {
            switch (t.code) {
                case 53:
                    g.patternLines.push_back({});
                    g.patternLines.back().angle = Dbl(t);
                    return true;
                case 43:
                case 44:
                case 45:
                case 46:
                case 79:
                case 49:
                    if (g.patternLines.empty())
                        return true;
                    if (t.code == 43)
                        g.patternLines.back().base.x = Dbl(t);
                    if (t.code == 44)
                        g.patternLines.back().base.y = Dbl(t);
                    if (t.code == 45)
                        g.patternLines.back().offset.x = Dbl(t);
                    if (t.code == 46)
                        g.patternLines.back().offset.y = Dbl(t);
                    if (t.code == 49)
                        g.patternLines.back().dashes.push_back(Dbl(t));
                    return true;
                default:
                    return TakeGroup(*this, t, g, kTail);
            }
        });
        set(EntityType::Hatch, std::move(g));
    } else if (type == "IMAGE") {
        Image g;
        static constexpr Group<Image> kGroups[] = {
            {13, &Image::pixelsU},         {23, &Image::pixelsV},
            {340, &Image::imageDefHandle}, {70, &Image::displayFlags},
            {280, &Image::clipping},       {290, &Image::clipInside},
            {281, &Image::brightness},     {282, &Image::contrast},
            {283, &Image::fade},           {33},
            {10, &Image::position},        {11, &Image::uVector},
            {12, &Image::vVector}};
        Walk(*this, tags, p, [&](const Tag& t) {
            switch (t.code) {
                case 14:
                    g.clipBoundary.push_back({Dbl(t), 0, 0});
                    return true;
                case 24:
                    if (!g.clipBoundary.empty())
                        g.clipBoundary.back().y = Dbl(t);
                    return true;
                default:
                    return TakeGroup(*this, t, g, kGroups);
            }
        });
        set(EntityType::Image, std::move(g));
    } else if (type == "VIEWPORT") {
        Viewport g;
        bool hasViewData = false;
        // R12 keeps the view in extended data of the application ACAD ("MVIEW").
        std::vector<double> xReals;
        std::vector<Vec3> xPoints;
        std::vector<std::string> xFrozen;
        bool acad = false;
        static constexpr Group<Viewport> kGroups[] = {
            {40, &Viewport::width},         {41, &Viewport::height},
            {68, &Viewport::status},        {69, &Viewport::id},
            {42, &Viewport::lensLength},    {43, &Viewport::frontClip},
            {44, &Viewport::backClip},      {45, &Viewport::viewHeight},
            {51, &Viewport::twist},         {90, &Viewport::flags},
            {340, &Viewport::clipBoundary}, {1, &Viewport::plotStyleSheet},
            {281, &Viewport::renderMode},   {10, &Viewport::center},
            {16, &Viewport::viewDirection}, {17, &Viewport::viewTarget}};
        Walk(
            *this, tags, p,
            [&](const Tag& t) {
                switch (t.code) {
                    case 12:
                        g.viewCenter.x = Dbl(t);
                        hasViewData = true;
                        return true;
                    case 22:
                        g.viewCenter.y = Dbl(t);
                        return true;
                    case 331:
                        g.frozenLayerHandles.push_back(Hnd(t));
                        return true;
                    case 45:
                        hasViewData = true;
                        break;
                    default:
                        break;
                }
                if (TakeGroup(*this, t, g, kGroups))
                    return true;
                // other view, snap, grid and UCS settings: not needed to plot
                return t.code != 8 && t.code != 6 && t.code != 62 && t.code != 420 &&
                       t.code != 370 && t.code != 5 && t.code != 330 && t.code != 67 &&
                       t.code != 48 && t.code != 60 && t.code != 440 && t.code != 390;
            },
            [&](const Tag& t) {
                if (t.code == 1001) {
                    acad = Str(t) == "ACAD";
                    return;
                }
                if (!acad)
                    return;
                if (t.code == 1010)
                    xPoints.push_back({Dbl(t), 0, 0});
                else if (t.code == 1020 && !xPoints.empty())
                    xPoints.back().y = Dbl(t);
                else if (t.code == 1030 && !xPoints.empty())
                    xPoints.back().z = Dbl(t);
                else if (t.code == 1040)
                    xReals.push_back(Dbl(t));
                else if (t.code == 1003)
                    xFrozen.push_back(Str(t));
            });
        if (!hasViewData && (xPoints.size() >= 2 || xReals.size() >= 4)) {
            if (xPoints.size() >= 1)
                g.viewTarget = xPoints[0];
            if (xPoints.size() >= 2)
                g.viewDirection = xPoints[1];
            if (xReals.size() >= 4) {
                g.twist = xReals[0];
                g.viewHeight = xReals[1];
                g.viewCenter = {xReals[2], xReals[3], 0};
            }
            if (xReals.size() >= 7) {
                g.lensLength = xReals[4];
                g.frontClip = xReals[5];
                g.backClip = xReals[6];
            }
            for (const auto& name : xFrozen) {
                auto it = layerByName_.find(FoldName(name));
                if (it != layerByName_.end()) {
                    g.frozenLayers.push_back(it->second);
                }
            }
        }
        set(EntityType::Viewport, std::move(g));
    } else {
        Unknown g;
        g.typeName = std::string(type);
        Walk(*this, tags, p, [&](const Tag& t) {
            // Unknown types use the common codes for their own data too; only the
            // properties before their first subclass are the common ones.
            (void)t;
            return false;
        });
        set(EntityType::Unknown, std::move(g));
        KeepProxyGraphics(tags, p.handle);
    }
}

void Reader::KeepProxyGraphics(const std::vector<Tag>& tags, Handle handle) {
    // The picture's byte count (92, or 160 in newer files) directly followed by its chunks
    // (310); other 92 groups of custom types mean other things.
    for (std::size_t i = 0; i + 1 < tags.size(); ++i) {
        if ((tags[i].code != 92 && tags[i].code != 160) || tags[i + 1].code != 310) {
            continue;
        }
        const std::int64_t size = Int(tags[i]);
        if (size <= 0 || size > kMaxProxyGraphics || handle == 0) {
            return;
        }
        std::string bytes;
        for (std::size_t j = i + 1; j < tags.size() && tags[j].code == 310 &&
                                    bytes.size() < static_cast<std::size_t>(size);
             ++j) {
            const Tag& t = tags[j];
            if (t.binary) {
                bytes += t.text;
                continue;
            }
            std::string_view hex = TagSource::Trim(t.text);
            auto nibble = [](char c) {
                return c >= '0' && c <= '9'   ? c - '0'
                       : c >= 'A' && c <= 'F' ? c - 'A' + 10
                       : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                              : -1;
            };
            for (std::size_t k = 0; k + 1 < hex.size(); k += 2) {
                const int hi = nibble(hex[k]), lo = nibble(hex[k + 1]);
                if (hi < 0 || lo < 0) {
                    Warn(Where(t), "the picture data of a custom object is not hexadecimal");
                    return;
                }
                bytes += static_cast<char>(hi * 16 + lo);
            }
        }
        bytes.resize(std::min(bytes.size(), static_cast<std::size_t>(size)));
        proxyGraphics_[handle] = std::move(bytes);
        return;
    }
}

}  // namespace vx::engine::dxf
