// The data of each object type: entities, table entries, dictionaries, layouts.
#include <cmath>
#include <numbers>

#include "engine/dwg/DwgReaderImpl.h"

namespace vx::engine::dwg {

using namespace vx::engine::db;

namespace {

void SetData(Entity& e, EntityType type, auto value) {
    e.type = type;
    e.data = std::move(value);
}

// The children of an INSERT with attributes or of a POLYLINE: before R2004 the first and
// the last of them, from R2004 `owned` handles; then their SEQEND.
void ReadChildren(ObjectStreams& o, PendingEntity& p, int version, std::size_t owned) {
    p.hasChildren = true;
    if (version < 1018) {
        p.firstChild = o.H();
        p.lastChild = o.H();
    } else {
        for (std::size_t i = 0; i < owned; ++i) {
            p.owned.push_back(o.H());
        }
    }
    o.H();  // SEQEND
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Text-like entities

void DwgReaderImpl::ReadText(ObjectStreams& o, Text& t, EntityProps& props) {
    BitReader& d = o.d;
    if (version_ <= 1014) {
        double elevation = d.BD();
        t.position = d.R2D();
        t.alignPoint = d.R2D();
        t.position.z = t.alignPoint.z = elevation;
        props.extrusion = d.B3D();
        t.thickness = d.BD();
        t.oblique = d.BD() * kDegrees;
        t.rotation = d.BD() * kDegrees;
        t.height = d.BD();
        t.widthFactor = d.BD();
        t.text = Str(o.T());
        t.generation = d.BS();
        t.halign = d.BS();
        t.valign = d.BS();
        t.hasAlignPoint = t.halign != 0 || t.valign != 0;
        return;
    }
    std::uint8_t flags = d.RC();
    double elevation = (flags & 1) ? 0.0 : d.RD();
    t.position = d.R2D();
    if (!(flags & 2)) {
        t.alignPoint.x = d.DD(t.position.x);
        t.alignPoint.y = d.DD(t.position.y);
        t.hasAlignPoint = true;
    }
    t.position.z = t.alignPoint.z = elevation;
    props.extrusion = d.BE();
    t.thickness = d.BT();
    t.oblique = (flags & 4) ? 0.0 : d.RD() * kDegrees;
    t.rotation = (flags & 8) ? 0.0 : d.RD() * kDegrees;
    t.height = d.RD();
    t.widthFactor = (flags & 0x10) ? 1.0 : d.RD();
    t.text = Str(o.T());
    t.generation = (flags & 0x20) ? 0 : d.BS();
    t.halign = (flags & 0x40) ? 0 : d.BS();
    t.valign = (flags & 0x80) ? 0 : d.BS();
}

Handle DwgReaderImpl::ReadMText(ObjectStreams& o, MText& m, EntityProps& props) {
    BitReader& d = o.d;
    m.position = d.B3D();
    props.extrusion = d.B3D();
    m.xAxis = d.B3D();
    m.hasXAxis = true;
    m.rectWidth = d.BD();
    if (version_ >= 1021) {
        d.BD();
    }
    m.height = d.BD();
    m.attachment = d.BS();
    m.drawingDirection = d.BS();
    d.BD();
    d.BD();
    m.text = Str(o.T());
    Handle style = o.H();
    if (version_ >= 1015) {
        m.lineSpacingStyle = d.BS();
        m.lineSpacing = d.BD();
        d.B();
    }
    if (version_ >= 1018) {
        auto fill = static_cast<std::uint32_t>(d.BL());
        if ((fill & 1) || (version_ >= 1032 && (fill & 16))) {
            d.BD();
            d.CMC();
            d.BL();
        }
    }
    if (version_ >= 1032) {
        bool notAnnotative = d.B();
        if (notAnnotative) {
            d.BS();
            d.B();
            o.H();
            d.BL();
            d.B3D();
            d.B3D();
            d.BD();
            d.BD();
            d.BD();
            d.BD();
            std::int16_t columns = d.BS();
            if (columns != 0) {
                auto count = static_cast<std::int64_t>(d.BL());
                d.BD();
                d.BD();
                bool autoHeight = d.B();
                d.B();
                if (!autoHeight && columns == 2) {
                    std::size_t n = Count(count, d, 2, "column heights");
                    for (std::size_t i = 0; i < n; ++i) {
                        d.BD();
                    }
                }
            }
        }
    }
    return style;
}

void DwgReaderImpl::ReadAttribute(ObjectStreams& o, PendingEntity& p, Attribute& a, bool definition,
                                  EntityProps& props) {
    BitReader& d = o.d;
    ReadText(o, a.text, props);
    p.ref = o.H();  // text style
    if (version_ >= 1024) {
        d.RC();
    }
    if (version_ >= 1032) {
        std::uint8_t kind = d.RC();
        if (kind == 2 || kind == 4) {
            // A multi-line attribute: an embedded MTEXT with its own common entity part.
            PendingEntity inner;
            CommonEntity(o, inner, true);
            ReadMText(o, a.mtext, inner.entity.props);
            a.isMText = true;
            auto annotative = static_cast<std::uint16_t>(d.BS());
            if (annotative > 0) {
                d.Skip(static_cast<std::size_t>(annotative) * 8);
                o.H();
                d.BS();
            }
        }
    }
    a.tag = Str(o.T());
    d.BS();
    a.flags = d.RC();
    if (version_ >= 1021) {
        d.B();
    }
    if (definition) {
        if (version_ >= 1024) {
            d.RC();
        }
        a.prompt = Str(o.T());
    }
    if (a.isMText && a.mtext.text.empty()) {
        a.mtext.text = a.text.text;
    }
}

// ---------------------------------------------------------------------------------------
// Dimensions

void DwgReaderImpl::ReadDimension(std::uint32_t type, ObjectStreams& o, PendingEntity& p) {
    BitReader& d = o.d;
    Dimension g;
    if (version_ >= 1024) {
        d.RC();
    }
    Vec3 extrusion = d.B3D();
    (void)extrusion;
    Vec3 mid = d.R2D();
    double elevation = d.BD();
    mid.z = elevation;
    g.textMidpoint = mid;
    std::uint8_t flags1 = d.RC();
    g.text = Str(o.T());
    g.textRotation = d.BD() * kDegrees;
    g.horizontalDirection = d.BD() * kDegrees;
    d.B3D();  // insertion scale
    d.BD();   // insertion rotation
    if (version_ >= 1015) {
        d.BS();
        d.BS();
        d.BD();
        g.measurement = d.BD();
    }
    if (version_ >= 1021) {
        d.B();
        d.B();
        d.B();
    }
    g.insertionPoint = d.R2D();
    g.insertionPoint.z = elevation;
    int kind = 0;
    switch (type) {
        case 20: {  // ordinate
            g.definitionPoint = d.B3D();
            g.points[0] = d.B3D();
            g.points[1] = d.B3D();
            std::uint8_t flags2 = d.RC();
            kind = 6 | ((flags2 & 1) ? 64 : 0);
            break;
        }
        case 21:  // linear
            g.points[0] = d.B3D();
            g.points[1] = d.B3D();
            g.definitionPoint = d.B3D();
            g.obliqueAngle = d.BD() * kDegrees;
            g.rotation = d.BD() * kDegrees;
            kind = 0;
            break;
        case 22:  // aligned
            g.points[0] = d.B3D();
            g.points[1] = d.B3D();
            g.definitionPoint = d.B3D();
            g.obliqueAngle = d.BD() * kDegrees;
            kind = 1;
            break;
        case 23:  // angular, three points
            g.definitionPoint = d.B3D();
            g.points[0] = d.B3D();
            g.points[1] = d.B3D();
            g.points[2] = d.B3D();
            kind = 5;
            break;
        case 24: {  // angular, two lines
            g.points[3] = d.R2D();
            g.points[0] = d.B3D();
            g.points[1] = d.B3D();
            g.points[2] = d.B3D();
            g.definitionPoint = d.B3D();
            kind = 2;
            break;
        }
        case 25:  // radius
            g.definitionPoint = d.B3D();
            g.points[2] = d.B3D();
            d.BD();
            kind = 4;
            break;
        case 26:  // diameter: the chord point comes first
            g.points[2] = d.B3D();
            g.definitionPoint = d.B3D();
            d.BD();
            kind = 3;
            break;
        default:
            break;
    }
    g.dimType = static_cast<std::int16_t>(kind | 32 | ((flags1 & 1) ? 0 : 128));
    o.H();           // dimension style
    p.ref2 = o.H();  // its block
    SetData(p.entity, EntityType::Dimension, std::move(g));
}

// ---------------------------------------------------------------------------------------
// Hatch

void DwgReaderImpl::ReadHatch(ObjectStreams& o, Hatch& g) {
    BitReader& d = o.d;
    if (version_ >= 1018) {
        g.gradient = d.BL() != 0;
        d.BL();
        d.BD();
        d.BD();
        d.BL();
        d.BD();
        std::size_t colors = Count(d.BL(), d, 8, "gradient colours");
        for (std::size_t i = 0; i < colors; ++i) {
            d.BD();
            d.CMC();
        }
        g.gradientName = Str(o.T());
    }
    g.elevation = d.BD();
    (void)d.B3D();
    g.patternName = Str(o.T());
    g.solid = d.B();
    d.B();
    std::size_t paths = Count(d.BL(), d, 4, "hatch paths");
    bool derived = false;
    for (std::size_t i = 0; i < paths; ++i) {
        HatchPath path;
        path.flags = d.BL();
        derived = derived || (path.flags & 4);
        if (!(path.flags & 2)) {
            std::size_t segs = Count(d.BL(), d, 8, "boundary edges");
            for (std::size_t k = 0; k < segs; ++k) {
                HatchEdge e;
                std::uint8_t t = d.RC();
                switch (t) {
                    case 1:
                        e.type = HatchEdge::Type::Line;
                        e.p0 = d.R2D();
                        e.p1 = d.R2D();
                        break;
                    case 2:
                        e.type = HatchEdge::Type::Arc;
                        e.p0 = d.R2D();
                        e.radius = d.BD();
                        e.startAngle = d.BD() * kDegrees;
                        e.endAngle = d.BD() * kDegrees;
                        e.ccw = d.B();
                        break;
                    case 3:
                        e.type = HatchEdge::Type::Ellipse;
                        e.p0 = d.R2D();
                        e.p1 = d.R2D();
                        e.ratio = d.BD();
                        e.startAngle = d.BD() * kDegrees;
                        e.endAngle = d.BD() * kDegrees;
                        e.ccw = d.B();
                        break;
                    case 4: {
                        e.type = HatchEdge::Type::Spline;
                        e.degree = d.BL();
                        e.rational = d.B();
                        e.periodic = d.B();
                        std::size_t knots = Count(d.BL(), d, 2, "knots");
                        std::size_t ctrl = Count(d.BL(), d, 128, "control points");
                        for (std::size_t j = 0; j < knots; ++j) {
                            e.knots.push_back(d.BD());
                        }
                        for (std::size_t j = 0; j < ctrl; ++j) {
                            e.controlPoints.push_back(d.R2D());
                            if (e.rational) {
                                e.weights.push_back(d.BD());
                            }
                        }
                        if (version_ >= 1024) {
                            std::size_t fit = Count(d.BL(), d, 128, "fit points");
                            if (fit > 0) {
                                for (std::size_t j = 0; j < fit; ++j) {
                                    e.fitPoints.push_back(d.R2D());
                                }
                                d.R2D();
                                d.R2D();
                            }
                        }
                        break;
                    }
                    default:
                        throw DwgError("a hatch edge of unknown type " + std::to_string(t));
                }
                path.edges.push_back(std::move(e));
            }
        } else {
            path.isPolyline = true;
            bool bulges = d.B();
            path.closed = d.B();
            std::size_t n = Count(d.BL(), d, 128, "polyline vertices");
            for (std::size_t k = 0; k < n; ++k) {
                LwVertex v;
                Vec3 pt = d.R2D();
                v.x = pt.x;
                v.y = pt.y;
                if (bulges) {
                    v.bulge = d.BD();
                }
                path.polyline.push_back(v);
            }
        }
        std::size_t boundary = Count(d.BL(), o.h, 8, "boundary objects");
        for (std::size_t k = 0; k < boundary; ++k) {
            o.H();
        }
        g.paths.push_back(std::move(path));
    }
    g.style = d.BS();
    g.patternType = d.BS();
    if (!g.solid) {
        g.patternAngle = d.BD() * kDegrees;
        g.patternScale = d.BD();
        g.patternDouble = d.B();
        std::size_t lines = Count(d.BS(), d, 10, "pattern lines");
        for (std::size_t i = 0; i < lines; ++i) {
            HatchPatternLine l;
            l.angle = d.BD() * kDegrees;
            l.base = d.B2D();
            l.offset = d.B2D();
            std::size_t dashes = Count(d.BS(), d, 2, "dashes");
            for (std::size_t k = 0; k < dashes; ++k) {
                l.dashes.push_back(d.BD());
            }
            g.patternLines.push_back(std::move(l));
        }
    }
    if (derived) {
        d.BD();
    }
}

// ---------------------------------------------------------------------------------------
// Viewport

void DwgReaderImpl::ReadViewport(ObjectStreams& o, Viewport& g) {
    BitReader& d = o.d;
    g.center = d.B3D();
    g.width = d.BD();
    g.height = d.BD();
    std::size_t frozen = 0;
    if (version_ >= 1015) {
        g.viewTarget = d.B3D();
        g.viewDirection = d.B3D();
        g.twist = d.BD() * kDegrees;
        g.viewHeight = d.BD();
        g.lensLength = d.BD();
        g.frontClip = d.BD();
        g.backClip = d.BD();
        d.BD();  // snap angle
        g.viewCenter = d.R2D();
        d.R2D();
        d.R2D();
        d.R2D();
        d.BS();
        if (version_ >= 1021) {
            d.BS();
        }
        frozen = Count(d.BL(), o.h, 8, "frozen layers");
        g.flags = d.BL();
        g.plotStyleSheet = Str(o.T());
        g.renderMode = d.RC();
        d.B();
        d.B();
        d.B3D();
        d.B3D();
        d.B3D();
        d.BD();
        d.BS();
        if (version_ >= 1018) {
            d.BS();
        }
        if (version_ >= 1021) {
            d.B();
            d.RC();
            d.BD();
            d.BD();
            d.CMC();
        }
    }
    if (version_ <= 1014) {
        o.H();  // the viewport's table record
        EedViewData(g, o.self);
    }
    for (std::size_t i = 0; i < frozen; ++i) {
        g.frozenLayerHandles.push_back(o.H());
    }
    if (version_ >= 1015) {
        g.clipBoundary = o.H();
    }
}

// ---------------------------------------------------------------------------------------
// Entities

void DwgReaderImpl::ReadEntityData(std::uint32_t type, const std::string& name, ObjectStreams& o,
                                   PendingEntity& p) {
    BitReader& d = o.d;
    Entity& e = p.entity;
    const int v = version_;
    // custom classes by their DXF name
    std::string cls = type >= 500 ? name : std::string();
    if (cls == "LWPOLYLINE") {
        type = 77;
    } else if (cls == "HATCH") {
        type = 78;
    }
    switch (type) {
        case 1: {
            Text t;
            ReadText(o, t, e.props);
            p.ref = o.H();
            t.style = kNone;
            SetData(e, EntityType::Text, std::move(t));
            return;
        }
        case 2: {
            p.kind = PendingEntity::Kind::Attrib;
            ReadAttribute(o, p, p.attrib.attribute, false, e.props);
            p.attrib.props = e.props;
            return;
        }
        case 3: {
            Attribute a;
            ReadAttribute(o, p, a, true, e.props);
            SetData(e, EntityType::Attdef, std::move(a));
            return;
        }
        case 4:
            p.kind = PendingEntity::Kind::BlockBegin;
            p.name = Str(o.T());
            return;
        case 5:
            p.kind = PendingEntity::Kind::BlockEnd;
            return;
        case 6:
            p.kind = PendingEntity::Kind::Seqend;
            return;
        case 7:
        case 8: {
            Insert g;
            g.position = d.B3D();
            g.scale = InsertScale(d, v);
            g.rotation = d.BD() * kDegrees;
            e.props.extrusion = d.B3D();
            bool attribs = d.B();
            std::size_t owned = 0;
            if (v >= 1018 && attribs) {
                owned = Count(d.BL(), o.h, 8, "attributes");
            }
            if (type == 8) {
                g.columns = d.BS();
                g.rows = d.BS();
                g.columnSpacing = d.BD();
                g.rowSpacing = d.BD();
            }
            p.ref = o.H();
            if (attribs) {
                ReadChildren(o, p, v, owned);
            }
            SetData(e, EntityType::Insert, std::move(g));
            return;
        }
        case 10: {
            p.kind = PendingEntity::Kind::Vertex;
            PolyVertex& x = p.vertex;
            x.flags = d.RC();
            x.position = d.B3D();
            double sw = d.BD();
            if (sw < 0) {
                x.startWidth = x.endWidth = -sw;
            } else {
                x.startWidth = sw;
                x.endWidth = d.BD();
            }
            x.bulge = d.BD();
            if (v >= 1024) {
                d.BL();
            }
            d.BD();  // tangent direction
            return;
        }
        case 11:
        case 12:
        case 13: {
            p.kind = PendingEntity::Kind::Vertex;
            p.vertex.flags = static_cast<std::int16_t>(d.RC() | (type == 11   ? 32
                                                                 : type == 12 ? 64
                                                                              : 192));
            p.vertex.position = d.B3D();
            return;
        }
        case 14: {
            p.kind = PendingEntity::Kind::Vertex;
            p.vertex.flags = 128;
            for (auto& i : p.vertex.faceIndices) {
                i = d.BS();
            }
            return;
        }
        case 15:
        case 16:
        case 29:
        case 30: {
            Polyline g;
            if (type == 15) {
                g.flags = d.BS();
                d.BS();  // curve type
                g.defaultStartWidth = d.BD();
                g.defaultEndWidth = d.BD();
                g.thickness = d.BT();
                g.elevation = d.BD();
                e.props.extrusion = d.BE();
            } else if (type == 16) {
                std::uint8_t spline = d.RC();
                std::uint8_t closed = d.RC();
                g.flags = static_cast<std::int16_t>(Polyline::kPolyline3d | (closed & 1) |
                                                    (spline ? Polyline::kSplineFit : 0));
            } else if (type == 29) {
                g.meshM = d.BS();
                g.meshN = d.BS();
                g.flags = Polyline::kPolyfaceMesh;
            } else {
                g.flags = static_cast<std::int16_t>(d.BS() | Polyline::kPolygonMesh);
                d.BS();
                g.meshM = d.BS();
                g.meshN = d.BS();
                d.BS();
                d.BS();
            }
            std::size_t owned = 0;
            if (v >= 1018) {
                owned = Count(d.BL(), o.h, 8, "vertices");
            }
            ReadChildren(o, p, v, owned);
            SetData(e, EntityType::Polyline, std::move(g));
            return;
        }
        case 17:
        case 18: {
            Arc g;
            g.center = d.B3D();
            g.radius = d.BD();
            g.thickness = d.BT();
            e.props.extrusion = d.BE();
            if (type == 17) {
                g.startAngle = d.BD() * kDegrees;
                g.endAngle = d.BD() * kDegrees;
                SetData(e, EntityType::Arc, std::move(g));
            } else {
                SetData(e, EntityType::Circle, Circle{g.center, g.radius, g.thickness});
            }
            return;
        }
        case 19: {
            Line g;
            if (v <= 1014) {
                g.start = d.B3D();
                g.end = d.B3D();
            } else {
                bool zZero = d.B();
                g.start.x = d.RD();
                g.end.x = d.DD(g.start.x);
                g.start.y = d.RD();
                g.end.y = d.DD(g.start.y);
                if (!zZero) {
                    g.start.z = d.RD();
                    g.end.z = d.DD(g.start.z);
                }
            }
            g.thickness = d.BT();
            e.props.extrusion = d.BE();
            SetData(e, EntityType::Line, std::move(g));
            return;
        }
        case 20:
        case 21:
        case 22:
        case 23:
        case 24:
        case 25:
        case 26:
            ReadDimension(type, o, p);
            return;
        case 27: {
            Point g;
            g.position = d.B3D();
            g.thickness = d.BT();
            e.props.extrusion = d.BE();
            g.angle = d.BD() * kDegrees;
            SetData(e, EntityType::Point, std::move(g));
            return;
        }
        case 28: {
            Face g;
            if (v <= 1014) {
                for (auto& c : g.corners) {
                    c = d.B3D();
                }
                g.invisibleEdges = d.BS();
            } else {
                bool noFlags = d.B();
                bool zZero = d.B();
                g.corners[0].x = d.RD();
                g.corners[0].y = d.RD();
                if (!zZero) {
                    g.corners[0].z = d.RD();
                }
                for (int k = 1; k < 4; ++k) {
                    g.corners[k].x = d.DD(g.corners[k - 1].x);
                    g.corners[k].y = d.DD(g.corners[k - 1].y);
                    g.corners[k].z = d.DD(g.corners[k - 1].z);
                }
                if (!noFlags) {
                    g.invisibleEdges = d.BS();
                }
            }
            SetData(e, EntityType::Face3d, std::move(g));
            return;
        }
        case 31:
        case 32: {
            Face g;
            g.thickness = d.BT();
            double elevation = d.BD();
            for (auto& c : g.corners) {
                c = d.R2D();
                c.z = elevation;
            }
            e.props.extrusion = d.BE();
            SetData(e, type == 31 ? EntityType::Solid : EntityType::Trace, std::move(g));
            return;
        }
        case 34: {
            Viewport g;
            ReadViewport(o, g);
            SetData(e, EntityType::Viewport, std::move(g));
            return;
        }
        case 35: {
            Ellipse g;
            g.center = d.B3D();
            g.majorAxis = d.B3D();
            e.props.extrusion = d.B3D();
            g.ratio = d.BD();
            g.startParam = d.BD();
            g.endParam = d.BD();
            SetData(e, EntityType::Ellipse, std::move(g));
            return;
        }
        case 36: {
            Spline g;
            std::int32_t scenario = d.BL();
            if (v >= 1027) {
                auto flags = static_cast<std::uint32_t>(d.BL());
                auto knotParam = static_cast<std::uint32_t>(d.BL());
                // fit data only when the knots follow a parametrization (flag 8) that
                // is not a custom one
                scenario = (knotParam == 15 || (flags & 8) == 0) ? 1 : 2;
            }
            g.degree = d.BL();
            if (scenario == 2) {
                d.BD();
                g.startTangent = d.B3D();
                g.endTangent = d.B3D();
                std::size_t fit = Count(d.BL(), d, 6, "fit points");
                for (std::size_t i = 0; i < fit; ++i) {
                    g.fitPoints.push_back(d.B3D());
                }
                g.flags = 8;
            } else {
                bool rational = d.B();
                bool closed = d.B();
                bool periodic = d.B();
                d.BD();
                d.BD();
                std::size_t knots = Count(d.BL(), d, 2, "knots");
                std::size_t ctrl = Count(d.BL(), d, 6, "control points");
                bool weighted = d.B();
                for (std::size_t i = 0; i < knots; ++i) {
                    g.knots.push_back(d.BD());
                }
                for (std::size_t i = 0; i < ctrl; ++i) {
                    g.controlPoints.push_back(d.B3D());
                    if (weighted) {
                        g.weights.push_back(d.BD());
                    }
                }
                g.flags = static_cast<std::int16_t>(8 | (closed ? 1 : 0) | (periodic ? 2 : 0) |
                                                    (rational ? 4 : 0));
            }
            SetData(e, EntityType::Spline, std::move(g));
            return;
        }
        case 44: {
            MText g;
            p.ref = ReadMText(o, g, e.props);
            SetData(e, EntityType::MText, std::move(g));
            return;
        }
        case 45: {
            Leader g;
            d.B();
            d.BS();
            g.pathType = d.BS();
            std::size_t n = Count(d.BL(), d, 6, "leader vertices");
            for (std::size_t i = 0; i < n; ++i) {
                g.vertices.push_back(d.B3D());
            }
            d.B3D();
            e.props.extrusion = d.B3D();
            g.horizontalDirection = d.B3D();
            d.B3D();
            if (v >= 1014) {
                d.B3D();  // annotation offset
            }
            if (v <= 1014) {
                d.BD();  // dimension line gap
            }
            if (v <= 1021) {
                d.BD();  // text height
                d.BD();  // text width
            }
            d.B();
            g.arrowhead = d.B();
            if (v <= 1014) {
                d.BS();
                d.BD();
                d.B();
                d.B();
                d.BS();
                d.BS();
                d.B();
                d.B();
            } else {
                d.BS();
                d.B();
                d.B();
            }
            o.H();  // annotation
            o.H();  // dimension style
            SetData(e, EntityType::Leader, std::move(g));
            return;
        }
        case 77: {
            LwPolyline g;
            auto flags = static_cast<std::uint16_t>(d.BS());
            if (flags & 4) {
                g.constantWidth = d.BD();
            }
            if (flags & 8) {
                g.elevation = d.BD();
            }
            if (flags & 2) {
                g.thickness = d.BD();
            }
            if (flags & 1) {
                e.props.extrusion = d.B3D();
            }
            std::size_t n = Count(d.BL(), d, 2, "vertices");
            std::size_t bulges = (flags & 16) ? Count(d.BL(), d, 2, "bulges") : 0;
            std::size_t ids = (v >= 1024 && (flags & 1024)) ? Count(d.BL(), d, 2, "vertex ids") : 0;
            std::size_t widths = (flags & 32) ? Count(d.BL(), d, 4, "widths") : 0;
            g.closed = (flags & 512) != 0;
            g.plinegen = (flags & 256) != 0;
            g.vertices.resize(n);
            for (std::size_t i = 0; i < n; ++i) {
                if (v <= 1014 || i == 0) {
                    Vec3 pt = d.R2D();
                    g.vertices[i].x = pt.x;
                    g.vertices[i].y = pt.y;
                } else {
                    g.vertices[i].x = d.DD(g.vertices[i - 1].x);
                    g.vertices[i].y = d.DD(g.vertices[i - 1].y);
                }
            }
            for (std::size_t i = 0; i < bulges; ++i) {
                double b = d.BD();
                if (i < n) {
                    g.vertices[i].bulge = b;
                }
            }
            for (std::size_t i = 0; i < ids; ++i) {
                d.BL();
            }
            for (std::size_t i = 0; i < widths; ++i) {
                double s = d.BD();
                double w = d.BD();
                if (i < n) {
                    g.vertices[i].startWidth = s;
                    g.vertices[i].endWidth = w;
                }
            }
            if (g.constantWidth != 0) {
                for (auto& x : g.vertices) {
                    if (x.startWidth == 0 && x.endWidth == 0) {
                        x.startWidth = x.endWidth = g.constantWidth;
                    }
                }
            }
            SetData(e, EntityType::LwPolyline, std::move(g));
            return;
        }
        case 78: {
            Hatch g;
            ReadHatch(o, g);
            SetData(e, EntityType::Hatch, std::move(g));
            return;
        }
        default:
            break;
    }
    if (ReadAnnotation(type, cls, o, p) || ReadKind(type, cls, o, p)) {
        return;
    }
    if (cls == "IMAGE" || cls == "WIPEOUT") {
        Image g;
        d.BL();
        g.position = d.B3D();
        g.uVector = d.B3D();
        g.vVector = d.B3D();
        g.pixelsU = d.RD();
        g.pixelsV = d.RD();
        g.displayFlags = d.BS();
        g.clipping = d.B();
        g.brightness = d.RC();
        g.contrast = d.RC();
        g.fade = d.RC();
        if (v >= 1024) {
            g.clipInside = d.B();
        }
        std::int16_t clipType = d.BS();
        if (clipType == 1) {
            g.clipBoundary.push_back(d.R2D());
            g.clipBoundary.push_back(d.R2D());
        } else {
            std::size_t n = Count(d.BL(), d, 128, "clip vertices");
            for (std::size_t i = 0; i < n; ++i) {
                g.clipBoundary.push_back(d.R2D());
            }
        }
        g.imageDefHandle = o.H();
        SetData(e, cls == "WIPEOUT" ? EntityType::Wipeout : EntityType::Image, std::move(g));
        return;
    }
    Unknown u;
    u.typeName = name.empty() ? "ACAD_PROXY_ENTITY" : name;
    SetData(e, EntityType::Unknown, std::move(u));
}

// ---------------------------------------------------------------------------------------
// Non-entity objects

void DwgReaderImpl::ReadTableObject(std::uint32_t type, const std::string& name, ObjectStreams& o) {
    BitReader& d = o.d;
    const int v = version_;
    Handle owner = 0;
    CommonObject(o, owner);
    if (ReadAnnotationObject(type, name, o)) {
        return;
    }
    // control objects: the order of their entries is the table's order
    if (type == 48 || type == 50 || type == 52 || type == 56) {
        std::size_t n = Count(type == 56 ? d.BS() : d.BL(), o.h, 8, "table entries");
        auto& list = controls_[o.self];
        for (std::size_t i = 0; i < n; ++i) {
            list.push_back(o.H());
        }
        if (type == 48) {
            // *Model_Space and *Paper_Space first, as the table lists them
            Handle model = o.H();
            Handle paper = o.H();
            list.insert(list.begin(), {model, paper});
        } else if (type == 56) {
            // ByBlock and ByLayer first, as the table lists them
            Handle byBlock = o.H();
            Handle byLayer = o.H();
            list.insert(list.begin(), {byBlock, byLayer});
        }
        return;
    }
    // the common start of table entries
    auto entryName = [&](std::int16_t& flags) {
        std::string n = Str(o.T());
        if (v < 1021) {
            bool ref64 = d.B();
            d.BS();
            bool dep = d.B();
            flags = static_cast<std::int16_t>((ref64 ? 64 : 0) | (dep ? 16 : 0));
        } else {
            std::int16_t resolved = d.BS();
            flags = static_cast<std::int16_t>(64 | (resolved == 256 ? 16 : 0));
        }
        return n;
    };
    // A dictionary: the entry count, what `head` reads, the entries' names, their handles.
    auto dictionary = [&](auto head) {
        DictionaryRecord r;
        std::size_t n = Count(d.BL(), d, 8, "dictionary entries");
        head();
        std::vector<std::string> keys;
        for (std::size_t i = 0; i < n; ++i) {
            keys.push_back(Str(o.T()));
        }
        r.owner = owner;
        for (std::size_t i = 0; i < n; ++i) {
            r.entries.emplace_back(std::move(keys[i]), o.H());
        }
        dictionaries_[o.self] = std::move(r);
    };
    switch (type) {
        case 49: {  // BLOCK_HEADER
            BlockRecord b;
            b.handle = o.self;
            std::int16_t tflags = 0;
            b.name = entryName(tflags);
            bool anonymous = d.B();
            bool attribs = d.B();
            bool xref = d.B();
            bool overlay = d.B();
            bool loaded = v >= 1015 ? d.B() : false;
            b.flags = static_cast<std::int16_t>((anonymous ? 1 : 0) | (attribs ? 2 : 0) |
                                                (xref ? 4 : 0) | (overlay ? 8 : 0) | (tflags & 16) |
                                                (xref && loaded ? 32 : 0));
            std::size_t owned = 0;
            if (v >= 1018 && !xref && !overlay) {
                owned = Count(d.BL(), o.h, 8, "block entities");
                b.ownedList = true;
            }
            b.base = d.B3D();
            b.xrefPath = Str(o.T());
            std::size_t inserts = 0;
            if (v >= 1015) {
                while (d.RC() != 0) {
                    ++inserts;
                }
                b.description = Str(o.T());
                std::size_t preview = Count(d.BL(), d, 8, "preview bytes");
                d.Skip(preview * 8);
            }
            if (v >= 1021) {
                b.units = d.BS();
                d.B();
                d.RC();
            }
            o.H();  // xref block
            b.blockEntity = o.H();
            if (v < 1018 && !xref && !overlay) {
                b.first = o.H();
                b.last = o.H();
            }
            for (std::size_t i = 0; i < owned; ++i) {
                b.owned.push_back(o.H());
            }
            o.H();  // ENDBLK
            if (v >= 1015) {
                o.SkipHandles(inserts, "inserts");
                b.layout = o.H();
            }
            blocks_[o.self] = std::move(b);
            return;
        }
        case 51: {  // LAYER
            Layer l;
            l.handle = o.self;
            std::int16_t tflags = 0;
            l.name = entryName(tflags);
            bool off = false;
            if (v <= 1014) {
                l.frozen = d.B();
                off = d.B();
                d.B();
                l.locked = d.B();
            } else {
                auto f = static_cast<std::uint16_t>(d.BS());
                l.frozen = (f & 1) != 0;
                off = (f & 2) != 0;
                l.locked = (f & 8) != 0;
                l.plot = (f & 16) != 0;
                l.lineweight = LineweightOf((f & 0x03E0) >> 5);
            }
            BitReader::CmColor c = d.CMC();
            l.on = !off && c.index >= 0;
            int index = std::abs(static_cast<int>(c.index));
            if (index == 0 || index > 255) {
                index = 7;
            }
            l.color = c.hasRgb ? Color::FromRgb(c.rgb, static_cast<std::int16_t>(index))
                               : Color::FromIndex(index);
            o.H();  // xref block
            Handle linetype = 0;
            if (v >= 1015) {
                l.plotStyle = o.H();
            }
            if (v >= 1021) {
                o.H();
            }
            linetype = o.H();
            layers_[o.self] = {std::move(l), linetype};
            return;
        }
        case 53: {  // STYLE
            TextStyle s;
            s.handle = o.self;
            std::int16_t tflags = 0;
            s.name = entryName(tflags);
            bool shape = d.B();
            bool vertical = d.B();
            s.flags = static_cast<std::int16_t>((shape ? 1 : 0) | (vertical ? 4 : 0));
            s.height = d.BD();
            s.widthFactor = d.BD();
            s.oblique = d.BD() * kDegrees;
            s.generation = d.RC();
            d.BD();
            s.fontFile = Str(o.T());
            s.bigFontFile = Str(o.T());
            if (!eed_.empty()) {
                styleEed_[o.self] = eed_;  // read once the application names are known
            }
            styles_[o.self] = std::move(s);
            return;
        }
        case 57: {  // LTYPE
            Linetype lt;
            lt.handle = o.self;
            std::int16_t tflags = 0;
            lt.name = entryName(tflags);
            lt.description = Str(o.T());
            lt.patternLength = d.BD();
            d.RC();
            std::size_t dashes = d.RC();
            bool strings = false;
            o.H();  // xref block
            for (std::size_t i = 0; i < dashes; ++i) {
                LinetypeElement el;
                el.length = d.BD();
                el.shape = d.BS();
                el.style = o.H();
                el.offsetX = d.RD();
                el.offsetY = d.RD();
                el.scale = d.BD();
                el.rotation = d.BD() * kDegrees;
                el.type = d.BS();
                if (el.type & 2) {
                    strings = true;
                }
                lt.elements.push_back(std::move(el));
            }
            if (v <= 1018 || strings) {
                std::size_t n = v <= 1018 ? 256 : 512;
                std::string area(n, '\0');
                d.Bytes(reinterpret_cast<std::uint8_t*>(area.data()), n);
                std::size_t at = 0;
                for (auto& el : lt.elements) {
                    if (!(el.type & 2) || at >= n) {
                        continue;
                    }
                    if (v <= 1018) {
                        std::size_t end = area.find('\0', at);
                        end = end == std::string::npos ? n : end;
                        el.text = Str(area.substr(at, end - at));
                        at = end + 1;
                    } else {
                        std::size_t k = at;
                        while (k + 1 < n && (area[k] || area[k + 1])) {
                            k += 2;
                        }
                        el.text = Utf16ToUtf8(
                            reinterpret_cast<const std::uint8_t*>(area.data()) + at, (k - at) / 2);
                        at = k + 2;
                    }
                }
            }
            linetypes_[o.self] = std::move(lt);
            return;
        }
        case 67: {  // APPID
            std::int16_t tflags = 0;
            appIds_.emplace(FoldName(entryName(tflags)), o.self);
            return;
        }
        case 42:  // DICTIONARY
            dictionary([&] {
                if (v >= 1015) {
                    d.BS();
                    d.RC();
                } else if (v == 1014 || file_.maintenance > 4) {
                    d.RC();
                }
            });
            return;
        case 82:
            ReadLayout(o, owner);
            return;
        default:
            break;
    }
    if (name == "ACDBDICTIONARYWDFLT" || name == "DICTIONARYWDFLT") {
        dictionary([&] {
            d.BS();
            d.RC();
        });
    } else if (name == "LAYOUT") {
        ReadLayout(o, owner);
    } else if (name == "DBCOLOR") {
        bookColors_[o.self] = d.CMC();
    } else if (name == "IMAGEDEF") {
        ImageDef def;
        def.handle = o.self;
        d.BL();
        Vec3 size = d.R2D();
        def.pixelsU = size.x;
        def.pixelsV = size.y;
        def.fileName = Str(o.T());
        imageDefs_.push_back(std::move(def));
    } else if (const auto format = db::Underlay::FormatOf(name, "DEFINITION")) {
        UnderlayDef def;
        def.handle = o.self;
        def.format = *format;
        def.fileName = Str(o.T());
        def.pageName = Str(o.T());
        underlayDefs_.push_back(std::move(def));
    }
}

void DwgReaderImpl::ReadLayout(ObjectStreams& o, Handle owner) {
    BitReader& d = o.d;
    const int v = version_;
    LayoutRecord r;
    Layout& l = r.layout;
    PlotSettings& p = l.plot;
    l.handle = o.self;
    p.pageSetupName = Str(o.T());
    p.configName = Str(o.T());
    p.flags = d.BS();
    p.marginLeft = d.BD();
    p.marginBottom = d.BD();
    p.marginRight = d.BD();
    p.marginTop = d.BD();
    p.paperWidth = d.BD();
    p.paperHeight = d.BD();
    p.canonicalMediaName = Str(o.T());
    p.plotOrigin = d.B2D();
    p.paperUnits = d.BS();
    p.rotation = d.BS();
    p.plotType = d.BS();
    p.windowMin = d.B2D();
    p.windowMax = d.B2D();
    (void)owner;
    if (v < 1018) {
        p.plotViewName = Str(o.T());
    } else {
        o.H();  // the plot view
    }
    p.customScaleNumerator = d.BD();
    p.customScaleDenominator = d.BD();
    p.styleSheet = Str(o.T());
    p.standardScaleType = d.BS();
    p.standardScale = d.BD();
    p.paperImageOrigin = d.B2D();
    if (v >= 1018) {
        d.BS();
        d.BS();
        d.BS();
    }
    if (v >= 1021) {
        o.H();
    }
    l.name = Str(o.T());
    l.tabOrder = d.BS();
    l.flags = d.BS();
    l.insertionBase = d.B3D();
    l.limitsMin = d.R2D();
    l.limitsMax = d.R2D();
    d.B3D();
    d.B3D();
    d.B3D();
    d.BD();
    d.BS();
    l.extentsMin = d.B3D();
    l.extentsMax = d.B3D();
    std::size_t viewports = 0;
    if (v >= 1018) {
        viewports = Count(d.BL(), o.h, 8, "viewports");
    }
    l.blockRecordHandle = o.H();
    l.lastActiveViewport = o.H();
    (void)viewports;
    layouts_.push_back(std::move(r));
}

}  // namespace vx::engine::dwg
