// The entities of a DXF file: common properties and each type's geometry.
#include <algorithm>
#include <cmath>

#include "engine/dxf/ReaderImpl.h"

namespace vx::engine::dxf {

using namespace vx::engine::db;

namespace {

// Sets one coordinate of `p` from a point group code (base = 10, 11, ...).
inline bool Coord(int code, int base, double v, Vec3& p) {
    if (code == base) {
        p.x = v;
    } else if (code == base + 10) {
        p.y = v;
    } else if (code == base + 20) {
        p.z = v;
    } else {
        return false;
    }
    return true;
}

bool IsPointCode(int code, int base) {
    return code == base || code == base + 10 || code == base + 20;
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
    Walk(*this, tags, ignored, [&](const Tag& t) {
        switch (t.code) {
            case 10:
                v.position.x = Dbl(t);
                return true;
            case 20:
                v.position.y = Dbl(t);
                return true;
            case 30:
                v.position.z = Dbl(t);
                return true;
            case 40:
                v.startWidth = Dbl(t);
                return true;
            case 41:
                v.endWidth = Dbl(t);
                return true;
            case 42:
                v.bulge = Dbl(t);
                return true;
            case 70:
                v.flags = I16(t);
                return true;
            case 71:
            case 72:
            case 73:
            case 74:
                v.faceIndices[t.code - 71] = I16(t);
                return true;
            case 8:
            case 62:
            case 6:
            case 370:
            case 5:
            case 330:
                return true;  // a vertex's own properties are not used
            default:
                return false;
        }
    });
    pl.vertices.push_back(v);
}

namespace {

// TEXT, ATTRIB and ATTDEF share their text groups; `attribute` switches 73/74.
bool TextGroup(Reader& r, const Tag& t, Text& x, bool attribute) {
    switch (t.code) {
        case 10:
            x.position.x = r.Dbl(t);
            return true;
        case 20:
            x.position.y = r.Dbl(t);
            return true;
        case 30:
            x.position.z = r.Dbl(t);
            return true;
        case 11:
            x.alignPoint.x = r.Dbl(t);
            x.hasAlignPoint = true;
            return true;
        case 21:
            x.alignPoint.y = r.Dbl(t);
            return true;
        case 31:
            x.alignPoint.z = r.Dbl(t);
            return true;
        case 40:
            x.height = r.Dbl(t);
            return true;
        case 1:
            x.text = r.Str(t);
            return true;
        case 50:
            x.rotation = r.Dbl(t);
            return true;
        case 41:
            x.widthFactor = r.Dbl(t);
            return true;
        case 51:
            x.oblique = r.Dbl(t);
            return true;
        case 7:
            x.style = r.StyleByName(r.Str(t));
            return true;
        case 71:
            x.generation = r.I16(t);
            return true;
        case 72:
            x.halign = r.I16(t);
            return true;
        case 73:
            if (!attribute)
                x.valign = r.I16(t);
            return true;
        case 74:
            if (attribute)
                x.valign = r.I16(t);
            return true;
        case 39:
            x.thickness = r.Dbl(t);
            return true;
        default:
            return false;
    }
}

bool MTextGroup(Reader& r, const Tag& t, MText& m, std::string& chunks) {
    switch (t.code) {
        case 10:
            m.position.x = r.Dbl(t);
            return true;
        case 20:
            m.position.y = r.Dbl(t);
            return true;
        case 30:
            m.position.z = r.Dbl(t);
            return true;
        case 11:
            m.xAxis.x = r.Dbl(t);
            m.hasXAxis = true;
            return true;
        case 21:
            m.xAxis.y = r.Dbl(t);
            return true;
        case 31:
            m.xAxis.z = r.Dbl(t);
            return true;
        case 40:
            m.height = r.Dbl(t);
            return true;
        case 41:
            m.rectWidth = r.Dbl(t);
            return true;
        case 44:
            m.lineSpacing = r.Dbl(t);
            return true;
        case 50:
            m.rotation = r.Dbl(t);
            return true;
        case 71:
            m.attachment = r.I16(t);
            return true;
        case 72:
            m.drawingDirection = r.I16(t);
            return true;
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
            return false;
    }
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
    if (ParseAnnotation(type, tags, e)) {
        return;
    }
    if (type == "LINE") {
        Line g;
        Walk(*this, tags, p, [&](const Tag& t) {
            if (t.code == 39) {
                g.thickness = Dbl(t);
                return true;
            }
            if (IsPointCode(t.code, 10))
                return Coord(t.code, 10, Dbl(t), g.start);
            if (IsPointCode(t.code, 11))
                return Coord(t.code, 11, Dbl(t), g.end);
            return false;
        });
        set(EntityType::Line, std::move(g));
    } else if (type == "POINT") {
        Point g;
        Walk(*this, tags, p, [&](const Tag& t) {
            if (t.code == 39) {
                g.thickness = Dbl(t);
                return true;
            }
            if (t.code == 50) {
                g.angle = Dbl(t);
                return true;
            }
            return IsPointCode(t.code, 10) && Coord(t.code, 10, Dbl(t), g.position);
        });
        set(EntityType::Point, std::move(g));
    } else if (type == "CIRCLE" || type == "ARC") {
        Arc g;
        Walk(*this, tags, p, [&](const Tag& t) {
            switch (t.code) {
                case 40:
                    g.radius = Dbl(t);
                    return true;
                case 50:
                    g.startAngle = Dbl(t);
                    return true;
                case 51:
                    g.endAngle = Dbl(t);
                    return true;
                case 39:
                    g.thickness = Dbl(t);
                    return true;
                default:
                    return IsPointCode(t.code, 10) && Coord(t.code, 10, Dbl(t), g.center);
            }
        });
        if (type == "CIRCLE") {
            set(EntityType::Circle, Circle{g.center, g.radius, g.thickness});
        } else {
            set(EntityType::Arc, std::move(g));
        }
    } else if (type == "ELLIPSE") {
        Ellipse g;
        Walk(*this, tags, p, [&](const Tag& t) {
            switch (t.code) {
                case 40:
                    g.ratio = Dbl(t);
                    return true;
                case 41:
                    g.startParam = Dbl(t);
                    return true;
                case 42:
                    g.endParam = Dbl(t);
                    return true;
                default:
                    if (IsPointCode(t.code, 10))
                        return Coord(t.code, 10, Dbl(t), g.center);
                    if (IsPointCode(t.code, 11))
                        return Coord(t.code, 11, Dbl(t), g.majorAxis);
                    return false;
            }
        });
        set(EntityType::Ellipse, std::move(g));
    } else if (type == "LWPOLYLINE") {
        LwPolyline g;
        Walk(*this, tags, p, [&](const Tag& t) {
            switch (t.code) {
                case 70: {
                    auto f = Int(t);
                    g.closed = (f & 1) != 0;
                    g.plinegen = (f & 128) != 0;
                    return true;
                }
                case 43:
                    g.constantWidth = Dbl(t);
                    return true;
                case 38:
                    g.elevation = Dbl(t);
                    return true;
                case 39:
                    g.thickness = Dbl(t);
                    return true;
                case 90:
                    return true;  // count: the vertices themselves tell
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
                    if (t.code == 20)
                        g.vertices.back().y = Dbl(t);
                    if (t.code == 40)
                        g.vertices.back().startWidth = Dbl(t);
                    if (t.code == 41)
                        g.vertices.back().endWidth = Dbl(t);
                    if (t.code == 42)
                        g.vertices.back().bulge = Dbl(t);
                    return true;
                case 91:
                    return true;
                default:
                    return false;
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
        Walk(*this, tags, p, [&](const Tag& t) {
            switch (t.code) {
                case 70:
                    g.flags = I16(t);
                    return true;
                case 30:
                    g.elevation = Dbl(t);
                    return true;
                case 10:
                case 20:
                    return true;  // always 0
                case 40:
                    g.defaultStartWidth = Dbl(t);
                    return true;
                case 41:
                    g.defaultEndWidth = Dbl(t);
                    return true;
                case 71:
                    g.meshM = I16(t);
                    return true;
                case 72:
                    g.meshN = I16(t);
                    return true;
                case 39:
                    g.thickness = Dbl(t);
                    return true;
                case 66:
                    return true;
                default:
                    return false;
            }
        });
        set(EntityType::Polyline, std::move(g));
    } else if (type == "SPLINE") {
        Spline g;
        Walk(*this, tags, p, [&](const Tag& t) {
            switch (t.code) {
                case 70:
                    g.flags = I16(t);
                    return true;
                case 71:
                    g.degree = static_cast<std::int32_t>(Int(t));
                    return true;
                case 72:
                case 73:
                case 74:
                case 42:
                case 43:
                case 44:
                    return true;
                case 40:
                    g.knots.push_back(Dbl(t));
                    return true;
                case 41:
                    g.weights.push_back(Dbl(t));
                    return true;
                case 10:
                    g.controlPoints.push_back({Dbl(t), 0, 0});
                    return true;
                case 11:
                    g.fitPoints.push_back({Dbl(t), 0, 0});
                    return true;
                case 20:
                case 30:
                    if (g.controlPoints.empty())
                        throw ItemError(Where(t), "a control point without x");
                    (t.code == 20 ? g.controlPoints.back().y : g.controlPoints.back().z) = Dbl(t);
                    return true;
                case 21:
                case 31:
                    if (g.fitPoints.empty())
                        throw ItemError(Where(t), "a fit point without x");
                    (t.code == 21 ? g.fitPoints.back().y : g.fitPoints.back().z) = Dbl(t);
                    return true;
                default:
                    if (IsPointCode(t.code, 12))
                        return Coord(t.code, 12, Dbl(t), g.startTangent);
                    if (IsPointCode(t.code, 13))
                        return Coord(t.code, 13, Dbl(t), g.endTangent);
                    return false;
            }
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
        Walk(*this, tags, p, [&](const Tag& t) {
            switch (t.code) {
                case 2:
                    g.blockName = Str(t);
                    return true;
                case 41:
                    g.scale.x = Dbl(t);
                    return true;
                case 42:
                    g.scale.y = Dbl(t);
                    return true;
                case 43:
                    g.scale.z = Dbl(t);
                    return true;
                case 50:
                    g.rotation = Dbl(t);
                    return true;
                case 70:
                    g.columns = I16(t);
                    return true;
                case 71:
                    g.rows = I16(t);
                    return true;
                case 44:
                    g.columnSpacing = Dbl(t);
                    return true;
                case 45:
                    g.rowSpacing = Dbl(t);
                    return true;
                case 66:
                    return true;
                default:
                    return IsPointCode(t.code, 10) && Coord(t.code, 10, Dbl(t), g.position);
            }
        });
        set(EntityType::Insert, std::move(g));
    } else if (type == "DIMENSION") {
        Dimension g;
        Walk(*this, tags, p, [&](const Tag& t) {
            switch (t.code) {
                case 2:
                    g.blockName = Str(t);
                    return true;
                case 3:
                    g.styleName = Str(t);
                    return true;
                case 1:
                    g.text = Str(t);
                    return true;
                case 70:
                    g.dimType = I16(t);
                    return true;
                case 42:
                    g.measurement = Dbl(t);
                    return true;
                case 50:
                    g.rotation = Dbl(t);
                    return true;
                case 51:
                    g.horizontalDirection = Dbl(t);
                    return true;
                case 52:
                    g.obliqueAngle = Dbl(t);
                    return true;
                case 53:
                    g.textRotation = Dbl(t);
                    return true;
                default:
                    if (IsPointCode(t.code, 10))
                        return Coord(t.code, 10, Dbl(t), g.definitionPoint);
                    if (IsPointCode(t.code, 11))
                        return Coord(t.code, 11, Dbl(t), g.textMidpoint);
                    if (IsPointCode(t.code, 12))
                        return Coord(t.code, 12, Dbl(t), g.insertionPoint);
                    for (int k = 0; k < 4; ++k) {
                        if (IsPointCode(t.code, 13 + k))
                            return Coord(t.code, 13 + k, Dbl(t), g.points[k]);
                    }
                    return false;
            }
        });
        set(EntityType::Dimension, std::move(g));
    } else if (type == "LEADER") {
        Leader g;
        Walk(*this, tags, p, [&](const Tag& t) {
            switch (t.code) {
                case 3:
                    g.styleName = Str(t);
                    return true;
                case 71:
                    g.arrowhead = Int(t) != 0;
                    return true;
                case 72:
                    g.pathType = I16(t);
                    return true;
                case 10:
                    g.vertices.push_back({Dbl(t), 0, 0});
                    return true;
                case 20:
                case 30:
                    if (g.vertices.empty())
                        throw ItemError(Where(t), "a vertex without x");
                    (t.code == 20 ? g.vertices.back().y : g.vertices.back().z) = Dbl(t);
                    return true;
                default:
                    if (IsPointCode(t.code, 211))
                        return Coord(t.code, 211, Dbl(t), g.horizontalDirection);
                    return t.code == 73 || t.code == 74 || t.code == 75 || t.code == 76 ||
                           t.code == 40 || t.code == 41 || t.code == 77 || t.code == 340 ||
                           IsPointCode(t.code, 212) || IsPointCode(t.code, 213);
            }
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
        Walk(*this, head, p, [&](const Tag& t) {
            switch (t.code) {
                case 2:
                    g.patternName = Str(t);
                    return true;
                case 70:
                    g.solid = Int(t) != 0;
                    return true;
                case 71:
                    return true;
                case 30:
                    g.elevation = Dbl(t);
                    return true;
                case 10:
                case 20:
                    return true;
                default:
                    return false;
            }
        });
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
        Walk(*this, tail, p, [&](const Tag& t) {
            switch (t.code) {
                case 75:
                    g.style = I16(t);
                    return true;
                case 76:
                    g.patternType = I16(t);
                    return true;
                case 52:
                    g.patternAngle = Dbl(t);
                    return true;
                case 41:
                    g.patternScale = Dbl(t);
                    return true;
                case 77:
                    g.patternDouble = Int(t) != 0;
                    return true;
                case 78:
                    return true;
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
                case 450:
                    g.gradient = Int(t) != 0;
                    return true;
                case 470:
                    g.gradientName = Str(t);
                    return true;
                case 47:
                case 98:
                case 10:
                case 20:
                case 451:
                case 452:
                case 453:
                case 460:
                case 461:
                case 462:
                case 463:
                case 421:
                case 63:
                    return true;
                default:
                    return false;
            }
        });
        set(EntityType::Hatch, std::move(g));
    } else if (type == "IMAGE") {
        Image g;
        Walk(*this, tags, p, [&](const Tag& t) {
            switch (t.code) {
                case 13:
                    g.pixelsU = Dbl(t);
                    return true;
                case 23:
                    g.pixelsV = Dbl(t);
                    return true;
                case 340:
                    g.imageDefHandle = Hnd(t);
                    return true;
                case 70:
                    g.displayFlags = I16(t);
                    return true;
                case 280:
                    g.clipping = Int(t) != 0;
                    return true;
                case 14:
                    g.clipBoundary.push_back({Dbl(t), 0, 0});
                    return true;
                case 24:
                    if (!g.clipBoundary.empty())
                        g.clipBoundary.back().y = Dbl(t);
                    return true;
                case 33:
                    return true;
                default:
                    if (IsPointCode(t.code, 10))
                        return Coord(t.code, 10, Dbl(t), g.position);
                    if (IsPointCode(t.code, 11))
                        return Coord(t.code, 11, Dbl(t), g.uVector);
                    if (IsPointCode(t.code, 12))
                        return Coord(t.code, 12, Dbl(t), g.vVector);
                    return false;
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
        Walk(
            *this, tags, p,
            [&](const Tag& t) {
                switch (t.code) {
                    case 40:
                        g.width = Dbl(t);
                        return true;
                    case 41:
                        g.height = Dbl(t);
                        return true;
                    case 68:
                        g.status = I16(t);
                        return true;
                    case 69:
                        g.id = I16(t);
                        return true;
                    case 12:
                        g.viewCenter.x = Dbl(t);
                        hasViewData = true;
                        return true;
                    case 22:
                        g.viewCenter.y = Dbl(t);
                        return true;
                    case 42:
                        g.lensLength = Dbl(t);
                        return true;
                    case 43:
                        g.frontClip = Dbl(t);
                        return true;
                    case 44:
                        g.backClip = Dbl(t);
                        return true;
                    case 45:
                        g.viewHeight = Dbl(t);
                        hasViewData = true;
                        return true;
                    case 51:
                        g.twist = Dbl(t);
                        return true;
                    case 90:
                        g.flags = static_cast<std::int32_t>(Int(t));
                        return true;
                    case 331:
                        g.frozenLayerHandles.push_back(Hnd(t));
                        return true;
                    case 340:
                        g.clipBoundary = Hnd(t);
                        return true;
                    case 1:
                        g.plotStyleSheet = Str(t);
                        return true;
                    case 281:
                        g.renderMode = I16(t);
                        return true;
                    default:
                        if (IsPointCode(t.code, 10))
                            return Coord(t.code, 10, Dbl(t), g.center);
                        if (IsPointCode(t.code, 16))
                            return Coord(t.code, 16, Dbl(t), g.viewDirection);
                        if (IsPointCode(t.code, 17))
                            return Coord(t.code, 17, Dbl(t), g.viewTarget);
                        // other view, snap, grid and UCS settings: not needed to plot
                        return t.code != 8 && t.code != 6 && t.code != 62 && t.code != 420 &&
                               t.code != 370 && t.code != 5 && t.code != 330 && t.code != 67 &&
                               t.code != 48 && t.code != 60 && t.code != 440 && t.code != 390;
                }
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
    }
}

}  // namespace vx::engine::dxf
