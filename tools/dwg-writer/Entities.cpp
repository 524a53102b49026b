// The entities: each block's BLOCK, its entities in drawing order with their children
// (attributes, vertices, SEQEND) and its ENDBLK.
#include <cmath>
#include <numbers>

#include "WriterImpl.h"

namespace vx::dwgwriter {

using namespace vx::engine;

namespace {

constexpr double kRadians = std::numbers::pi / 180.0;

}  // namespace

void Builder::EntityCommon(ObjectOut& o, const db::EntityProps& p, const EntityLinks& l) {
    std::uint8_t ltFlags = 3;
    if (p.linetype == db::kByLayer) {
        ltFlags = 0;
    } else if (p.linetype == db::kByBlock) {
        ltFlags = 1;
    } else if (p.linetype < db_.linetypes.size()) {
        std::string n = db::FoldName(db_.linetypes[p.linetype].name);
        ltFlags = n == "BYLAYER" ? 0 : n == "BYBLOCK" ? 1 : 3;
    }
    o.d.B(false);  // no picture
    o.d.BB(l.entmode);
    o.d.BL(0);     // reactors
    o.d.B(false);  // neighbours stored
    o.d.CMC(ColorIndex(p.color));
    o.d.BD(p.linetypeScale);
    o.d.BB(ltFlags);
    o.d.BB(0);  // plot style by layer
    o.d.BS(p.invisible ? 1 : 0);
    o.d.RC(LineweightIndex(p.lineweight));
    if (l.entmode == 0) {
        o.h.H(kSoftPointer, l.owner);
    }
    o.h.H(kHardOwner, 0);  // no extension dictionary
    o.h.H(kSoftPointer, l.prev);
    o.h.H(kSoftPointer, l.next);
    o.h.H(kHardPointer, LayerHandle(p.layer));
    if (ltFlags == 3) {
        o.h.H(kHardPointer, LinetypeHandle(p.linetype));
    }
    if (p.color.kind == db::Color::Kind::True) {
        ++trueColours_;
    }
}

void Builder::WriteBlock(db::BlockId id) {
    const bool extra = id == extraPaperSpace_;
    const db::Block* b = extra ? nullptr : &db_.blocks[id];
    const BlockHandles& hs = extra ? extraPaper_ : blocks_[id];
    const std::string name = id == modelSpace_   ? std::string("*Model_Space")
                             : id == paperSpace_ ? std::string("*Paper_Space")
                                                 : b->name;
    db::EntityProps zero;
    zero.layer = db_.FindLayer("0");  // kNone is taken as layer "0" too
    // Entities of model space and of the active paper space say so instead of naming
    // their owner.
    const std::uint8_t entmode = id == modelSpace_ ? 2 : id == paperSpace_ ? 1 : 0;
    const EntityLinks ends{entmode, hs.record, 0, 0};

    ObjectOut begin = Begin(kBlock, hs.begin);
    EntityCommon(begin, zero, ends);
    begin.d.T(Enc(name));
    Finish(begin);

    if (b) {
        std::vector<const db::Entity*> list;
        for (const auto& e : b->entities) {
            if (Writable(e)) {
                list.push_back(&e);
            } else {
                ++leftOut_[std::string(e.TypeName())];
            }
        }
        for (std::size_t i = 0; i < list.size(); ++i) {
            EntityLinks links;
            links.entmode = entmode;
            links.owner = hs.record;
            links.prev = i > 0 ? entityHandles_.at(list[i - 1]) : 0;
            links.next = i + 1 < list.size() ? entityHandles_.at(list[i + 1]) : 0;
            WriteEntity(*list[i], entityHandles_.at(list[i]), links);
        }
    }

    ObjectOut end = Begin(kEndblk, hs.end);
    EntityCommon(end, zero, ends);
    Finish(end);
}

void Builder::WriteText(ObjectOut& o, const db::Text& t, db::Vec3 extrusion) {
    const double elevation = t.position.z;
    std::uint8_t flags = 0;
    flags |= elevation == 0 ? 0x01 : 0;
    flags |= t.hasAlignPoint ? 0 : 0x02;
    flags |= t.oblique == 0 ? 0x04 : 0;
    flags |= t.rotation == 0 ? 0x08 : 0;
    flags |= t.widthFactor == 1 ? 0x10 : 0;
    flags |= t.generation == 0 ? 0x20 : 0;
    flags |= t.halign == 0 ? 0x40 : 0;
    flags |= t.valign == 0 ? 0x80 : 0;
    o.d.RC(flags);
    if (!(flags & 0x01)) {
        o.d.RD(elevation);
    }
    o.d.R2D(t.position);
    if (!(flags & 0x02)) {
        o.d.DD(t.alignPoint.x, t.position.x);
        o.d.DD(t.alignPoint.y, t.position.y);
    }
    o.d.BE(extrusion);
    o.d.BT(t.thickness);
    if (!(flags & 0x04)) {
        o.d.RD(t.oblique * kRadians);
    }
    if (!(flags & 0x08)) {
        o.d.RD(t.rotation * kRadians);
    }
    o.d.RD(t.height);
    if (!(flags & 0x10)) {
        o.d.RD(t.widthFactor);
    }
    o.d.T(EncText(t.text));
    if (!(flags & 0x20)) {
        o.d.BS(t.generation);
    }
    if (!(flags & 0x40)) {
        o.d.BS(t.halign);
    }
    if (!(flags & 0x80)) {
        o.d.BS(t.valign);
    }
}

bool Builder::WriteEntity(const db::Entity& e, Handle self, const EntityLinks& links) {
    const db::EntityProps& p = e.props;
    switch (e.type) {
        case db::EntityType::Line: {
            const auto& g = *e.As<db::Line>();
            ObjectOut o = Begin(kLine, self);
            EntityCommon(o, p, links);
            bool flat = g.start.z == 0 && g.end.z == 0;
            o.d.B(flat);
            o.d.RD(g.start.x);
            o.d.DD(g.end.x, g.start.x);
            o.d.RD(g.start.y);
            o.d.DD(g.end.y, g.start.y);
            if (!flat) {
                o.d.RD(g.start.z);
                o.d.DD(g.end.z, g.start.z);
            }
            o.d.BT(g.thickness);
            o.d.BE(p.extrusion);
            Finish(o);
            return true;
        }
        case db::EntityType::Point: {
            const auto& g = *e.As<db::Point>();
            ObjectOut o = Begin(kPoint, self);
            EntityCommon(o, p, links);
            o.d.B3D(g.position);
            o.d.BT(g.thickness);
            o.d.BE(p.extrusion);
            o.d.BD(g.angle * kRadians);
            Finish(o);
            return true;
        }
        case db::EntityType::Circle:
        case db::EntityType::Arc: {
            const bool arc = e.type == db::EntityType::Arc;
            ObjectOut o = Begin(arc ? kArc : kCircle, self);
            EntityCommon(o, p, links);
            if (arc) {
                const auto& g = *e.As<db::Arc>();
                o.d.B3D(g.center);
                o.d.BD(g.radius);
                o.d.BT(g.thickness);
                o.d.BE(p.extrusion);
                o.d.BD(g.startAngle * kRadians);
                o.d.BD(g.endAngle * kRadians);
            } else {
                const auto& g = *e.As<db::Circle>();
                o.d.B3D(g.center);
                o.d.BD(g.radius);
                o.d.BT(g.thickness);
                o.d.BE(p.extrusion);
            }
            Finish(o);
            return true;
        }
        case db::EntityType::Ellipse: {
            const auto& g = *e.As<db::Ellipse>();
            ObjectOut o = Begin(kEllipse, self);
            EntityCommon(o, p, links);
            o.d.B3D(g.center);
            o.d.B3D(g.majorAxis);
            o.d.B3D(p.extrusion);
            o.d.BD(g.ratio);
            o.d.BD(g.startParam);
            o.d.BD(g.endParam);
            Finish(o);
            return true;
        }
        case db::EntityType::LwPolyline: {
            const auto& g = *e.As<db::LwPolyline>();
            bool bulges = false, widths = false;
            for (const auto& v : g.vertices) {
                bulges = bulges || v.bulge != 0;
                bool constant = v.startWidth == g.constantWidth && v.endWidth == g.constantWidth;
                bool none = v.startWidth == 0 && v.endWidth == 0;
                widths = widths || !(constant || none);
            }
            std::int16_t flags = 0;
            flags |= g.closed ? 512 : 0;
            flags |= g.plinegen ? 256 : 0;
            flags |= g.constantWidth != 0 ? 4 : 0;
            flags |= g.elevation != 0 ? 8 : 0;
            flags |= g.thickness != 0 ? 2 : 0;
            flags |= db::IsDefaultExtrusion(p.extrusion) ? 0 : 1;
            flags |= bulges ? 16 : 0;
            flags |= widths ? 32 : 0;
            ObjectOut o = Begin(kLwPolyline, self);
            EntityCommon(o, p, links);
            o.d.BS(flags);
            if (flags & 4) {
                o.d.BD(g.constantWidth);
            }
            if (flags & 8) {
                o.d.BD(g.elevation);
            }
            if (flags & 2) {
                o.d.BD(g.thickness);
            }
            if (flags & 1) {
                o.d.B3D(p.extrusion);
            }
            auto n = static_cast<std::int32_t>(g.vertices.size());
            o.d.BL(n);
            if (bulges) {
                o.d.BL(n);
            }
            if (widths) {
                o.d.BL(n);
            }
            for (std::size_t i = 0; i < g.vertices.size(); ++i) {
                if (i == 0) {
                    o.d.RD(g.vertices[i].x);
                    o.d.RD(g.vertices[i].y);
                } else {
                    o.d.DD(g.vertices[i].x, g.vertices[i - 1].x);
                    o.d.DD(g.vertices[i].y, g.vertices[i - 1].y);
                }
            }
            if (bulges) {
                for (const auto& v : g.vertices) {
                    o.d.BD(v.bulge);
                }
            }
            if (widths) {
                for (const auto& v : g.vertices) {
                    o.d.BD(v.startWidth);
                    o.d.BD(v.endWidth);
                }
            }
            Finish(o);
            return true;
        }
        case db::EntityType::Polyline:
            WritePolyline(e, *e.As<db::Polyline>(), self, links);
            return true;
        case db::EntityType::Spline: {
            const auto& g = *e.As<db::Spline>();
            ObjectOut o = Begin(kSpline, self);
            EntityCommon(o, p, links);
            const bool fit = g.controlPoints.empty();
            o.d.BL(fit ? 2 : 1);
            o.d.BL(g.degree);
            if (fit) {
                o.d.BD(1e-10);
                o.d.B3D(g.startTangent);
                o.d.B3D(g.endTangent);
                o.d.BL(static_cast<std::int32_t>(g.fitPoints.size()));
                for (const auto& f : g.fitPoints) {
                    o.d.B3D(f);
                }
            } else {
                const bool weighted = g.weights.size() == g.controlPoints.size();
                o.d.B((g.flags & 4) != 0 || weighted);
                o.d.B((g.flags & 1) != 0);
                o.d.B((g.flags & 2) != 0);
                o.d.BD(1e-10);
                o.d.BD(1e-10);
                o.d.BL(static_cast<std::int32_t>(g.knots.size()));
                o.d.BL(static_cast<std::int32_t>(g.controlPoints.size()));
                o.d.B(weighted);
                for (double k : g.knots) {
                    o.d.BD(k);
                }
                for (std::size_t i = 0; i < g.controlPoints.size(); ++i) {
                    o.d.B3D(g.controlPoints[i]);
                    if (weighted) {
                        o.d.BD(g.weights[i]);
                    }
                }
            }
            Finish(o);
            return true;
        }
        case db::EntityType::Solid:
        case db::EntityType::Trace: {
            const auto& g = *e.As<db::Face>();
            ObjectOut o = Begin(e.type == db::EntityType::Solid ? kSolid : kTrace, self);
            EntityCommon(o, p, links);
            o.d.BT(g.thickness);
            o.d.BD(g.corners[0].z);
            for (const auto& c : g.corners) {
                o.d.R2D(c);
            }
            o.d.BE(p.extrusion);
            Finish(o);
            return true;
        }
        case db::EntityType::Face3d: {
            const auto& g = *e.As<db::Face>();
            ObjectOut o = Begin(kFace3d, self);
            EntityCommon(o, p, links);
            bool flat = g.corners[0].z == 0;
            o.d.B(g.invisibleEdges == 0);
            o.d.B(flat);
            o.d.RD(g.corners[0].x);
            o.d.RD(g.corners[0].y);
            if (!flat) {
                o.d.RD(g.corners[0].z);
            }
            for (int k = 1; k < 4; ++k) {
                o.d.DD(g.corners[k].x, g.corners[k - 1].x);
                o.d.DD(g.corners[k].y, g.corners[k - 1].y);
                o.d.DD(g.corners[k].z, g.corners[k - 1].z);
            }
            if (g.invisibleEdges != 0) {
                o.d.BS(g.invisibleEdges);
            }
            Finish(o);
            return true;
        }
        case db::EntityType::Text: {
            const auto& g = *e.As<db::Text>();
            ObjectOut o = Begin(kText, self);
            EntityCommon(o, p, links);
            WriteText(o, g, p.extrusion);
            o.h.H(kHardPointer, StyleHandle(g.style));
            Finish(o);
            return true;
        }
        case db::EntityType::Attdef: {
            const auto& g = *e.As<db::Attribute>();
            ObjectOut o = Begin(kAttdef, self);
            EntityCommon(o, p, links);
            WriteText(o, g.text, p.extrusion);
            o.d.T(Enc(g.tag));
            o.d.BS(0);  // field length
            o.d.RC(static_cast<std::uint8_t>(g.flags));
            o.d.T(Enc(g.prompt));
            o.h.H(kHardPointer, StyleHandle(g.text.style));
            Finish(o);
            if (g.isMText) {
                Note("multi-line attribute definitions are written as single-line ones");
            }
            return true;
        }
        case db::EntityType::MText: {
            const auto& g = *e.As<db::MText>();
            ObjectOut o = Begin(kMText, self);
            EntityCommon(o, p, links);
            db::Vec3 xAxis = g.xAxis;
            if (!g.hasXAxis) {
                db::Vec3 ocs{std::cos(g.rotation * kRadians), std::sin(g.rotation * kRadians), 0};
                xAxis = db::OcsToWorld(p.extrusion).ApplyVector(ocs);
            }
            o.d.B3D(g.position);
            o.d.B3D(p.extrusion);
            o.d.B3D(xAxis);
            o.d.BD(g.rectWidth);
            o.d.BD(g.height);
            o.d.BS(g.attachment);
            o.d.BS(g.drawingDirection);
            o.d.BD(0);  // extents height and width: computed by the reader
            o.d.BD(0);
            o.d.T(EncText(g.text));
            o.h.H(kHardPointer, StyleHandle(g.style));
            o.d.BS(1);  // line spacing: at least
            o.d.BD(g.lineSpacing);
            o.d.B(false);
            Finish(o);
            return true;
        }
        case db::EntityType::Insert:
            WriteInsert(e, *e.As<db::Insert>(), self, links);
            return true;
        case db::EntityType::Dimension:
            WriteDimension(e, *e.As<db::Dimension>(), self, links);
            return true;
        case db::EntityType::Leader: {
            const auto& g = *e.As<db::Leader>();
            ObjectOut o = Begin(kLeader, self);
            EntityCommon(o, p, links);
            o.d.B(false);
            o.d.BS(3);  // no annotation
            o.d.BS(g.pathType);
            o.d.BL(static_cast<std::int32_t>(g.vertices.size()));
            for (const auto& v : g.vertices) {
                o.d.B3D(v);
            }
            o.d.B3D(g.vertices.empty() ? db::Vec3{} : g.vertices.back());
            o.d.B3D(p.extrusion);
            o.d.B3D(g.horizontalDirection);
            o.d.B3D({0, 0, 0});  // block offset
            o.d.B3D({0, 0, 0});  // annotation offset
            o.d.BD(0);           // box height and width
            o.d.BD(0);
            o.d.B(false);  // hook line
            o.d.B(g.arrowhead);
            o.d.BS(0);
            o.d.B(false);
            o.d.B(false);
            o.h.H(kHardPointer, 0);  // annotation
            o.h.H(kHardPointer, DimstyleHandle(g.styleName));
            Finish(o);
            return true;
        }
        case db::EntityType::Hatch: {
            ObjectOut o = Begin(kHatch, self);
            EntityCommon(o, p, links);
            WriteHatch(o, *e.As<db::Hatch>(), p.extrusion);
            Finish(o);
            return true;
        }
        case db::EntityType::Viewport:
            WriteViewport(e, *e.As<db::Viewport>(), self, links);
            return true;
        case db::EntityType::Image:
        case db::EntityType::XLine:
        case db::EntityType::Ray:
        case db::EntityType::MLine:
        case db::EntityType::MLeader:
        case db::EntityType::Table:
        case db::EntityType::Wipeout:
        case db::EntityType::Tolerance:
        case db::EntityType::Mesh:
        case db::EntityType::Underlay:
        case db::EntityType::Unknown:
            return false;
    }
    return false;
}

void Builder::WriteSeqend(Handle self, Handle owner, const db::EntityProps& props) {
    ObjectOut o = Begin(kSeqend, self);
    EntityCommon(o, props, {0, owner, 0, 0});
    Finish(o);
}

void Builder::WriteAttrib(const db::AttribEntity& a, Handle self, const EntityLinks& links) {
    const db::Text& t = a.attribute.text;
    ObjectOut o = Begin(kAttrib, self);
    EntityCommon(o, a.props, links);
    WriteText(o, t, a.props.extrusion);
    o.d.T(Enc(a.attribute.tag));
    o.d.BS(0);
    o.d.RC(static_cast<std::uint8_t>(a.attribute.flags));
    o.h.H(kHardPointer, StyleHandle(t.style));
    Finish(o);
    if (a.attribute.isMText) {
        Note("multi-line attributes are written as single-line ones");
    }
}

void Builder::WriteInsert(const db::Entity& e, const db::Insert& g, Handle self,
                          const EntityLinks& links) {
    const bool array = g.columns > 1 || g.rows > 1;
    db::BlockId block = g.block != db::kNone ? g.block : db_.FindBlock(g.blockName);
    if (block == db::kNone) {
        Note("an insert of block '" + g.blockName + "', which the drawing does not define");
    }
    std::vector<Handle> attribs;
    for (const auto& a : g.attribs) {
        attribs.push_back(entityHandles_.at(&a));
    }
    Handle seqend = attribs.empty() ? 0 : Keep(0);

    ObjectOut o = Begin(array ? kMinsert : kInsert, self);
    EntityCommon(o, e.props, links);
    o.d.B3D(g.position);
    const db::Vec3 s = g.scale;
    if (s.x == 1 && s.y == 1 && s.z == 1) {
        o.d.BB(3);
    } else if (s.x == 1) {
        o.d.BB(1);
        o.d.DD(s.y, 1.0);
        o.d.DD(s.z, 1.0);
    } else if (s.y == s.x && s.z == s.x) {
        o.d.BB(2);
        o.d.RD(s.x);
    } else {
        o.d.BB(0);
        o.d.RD(s.x);
        o.d.DD(s.y, s.x);
        o.d.DD(s.z, s.x);
    }
    o.d.BD(g.rotation * kRadians);
    o.d.B3D(e.props.extrusion);
    o.d.B(!attribs.empty());
    if (array) {
        o.d.BS(std::max<std::int16_t>(g.columns, 1));
        o.d.BS(std::max<std::int16_t>(g.rows, 1));
        o.d.BD(g.columnSpacing);
        o.d.BD(g.rowSpacing);
    }
    o.h.H(kHardPointer, block == db::kNone ? 0 : BlockRecordHandle(block));
    if (!attribs.empty()) {
        o.h.H(kSoftPointer, attribs.front());
        o.h.H(kSoftPointer, attribs.back());
        o.h.H(kHardOwner, seqend);
    }
    Finish(o);

    for (std::size_t i = 0; i < g.attribs.size(); ++i) {
        EntityLinks l;
        l.entmode = 0;
        l.owner = self;
        l.prev = i > 0 ? attribs[i - 1] : 0;
        l.next = i + 1 < attribs.size() ? attribs[i + 1] : 0;
        WriteAttrib(g.attribs[i], attribs[i], l);
    }
    if (seqend) {
        WriteSeqend(seqend, self, e.props);
    }
}

void Builder::WritePolyline(const db::Entity& e, const db::Polyline& g, Handle self,
                            const EntityLinks& links) {
    enum class Kind { Flat, Space, Mesh, Face } kind = Kind::Flat;
    if (g.flags & db::Polyline::kPolyfaceMesh) {
        kind = Kind::Face;
    } else if (g.flags & db::Polyline::kPolygonMesh) {
        kind = Kind::Mesh;
    } else if (g.flags & db::Polyline::kPolyline3d) {
        kind = Kind::Space;
    }
    std::vector<Handle> vertices;
    for (std::size_t i = 0; i < g.vertices.size(); ++i) {
        vertices.push_back(Keep(0));
    }
    Handle seqend = Keep(0);

    std::int16_t type = kind == Kind::Flat    ? kPolyline2d
                        : kind == Kind::Space ? kPolyline3d
                        : kind == Kind::Mesh  ? kPolylineMesh
                                              : kPolylinePface;
    ObjectOut o = Begin(type, self);
    EntityCommon(o, e.props, links);
    switch (kind) {
        case Kind::Flat:
            o.d.BS(g.flags);
            o.d.BS((g.flags & db::Polyline::kSplineFit) ? 6 : 0);
            o.d.BD(g.defaultStartWidth);
            o.d.BD(g.defaultEndWidth);
            o.d.BT(g.thickness);
            o.d.BD(g.elevation);
            o.d.BE(e.props.extrusion);
            break;
        case Kind::Space:
            o.d.RC((g.flags & db::Polyline::kSplineFit) ? 6 : 0);
            o.d.RC(static_cast<std::uint8_t>(g.flags & db::Polyline::kClosed));
            break;
        case Kind::Mesh:
            o.d.BS(g.flags);
            o.d.BS(0);
            o.d.BS(g.meshM);
            o.d.BS(g.meshN);
            o.d.BS(0);
            o.d.BS(0);
            break;
        case Kind::Face: {
            std::int16_t points = 0, faces = 0;
            for (const auto& v : g.vertices) {
                ((v.flags & 64) ? points : faces)++;
            }
            o.d.BS(points);
            o.d.BS(faces);
            break;
        }
    }
    o.h.H(kSoftPointer, vertices.empty() ? 0 : vertices.front());
    o.h.H(kSoftPointer, vertices.empty() ? 0 : vertices.back());
    o.h.H(kHardOwner, seqend);
    Finish(o);

    for (std::size_t i = 0; i < g.vertices.size(); ++i) {
        const db::PolyVertex& v = g.vertices[i];
        EntityLinks l;
        l.entmode = 0;
        l.owner = self;
        l.prev = i > 0 ? vertices[i - 1] : 0;
        l.next = i + 1 < vertices.size() ? vertices[i + 1] : 0;
        const bool face = kind == Kind::Face && !(v.flags & 64);
        std::int16_t vtype = kind == Kind::Flat    ? kVertex2d
                             : kind == Kind::Space ? kVertex3d
                             : kind == Kind::Mesh  ? kVertexMesh
                             : face                ? kVertexPfaceFace
                                                   : kVertexPface;
        ObjectOut x = Begin(vtype, vertices[i]);
        EntityCommon(x, e.props, l);
        if (face) {
            for (std::int16_t index : v.faceIndices) {
                x.d.BS(index);
            }
        } else {
            x.d.RC(static_cast<std::uint8_t>(v.flags));
            x.d.B3D(v.position);
            if (kind == Kind::Flat) {
                x.d.BD(std::abs(v.startWidth));
                x.d.BD(v.endWidth);
                x.d.BD(v.bulge);
                x.d.BD(0);  // tangent direction
            }
        }
        Finish(x);
    }
    WriteSeqend(seqend, self, e.props);
}

void Builder::WriteDimension(const db::Entity& e, const db::Dimension& g, Handle self,
                             const EntityLinks& links) {
    int kind = g.dimType & 0x0F;
    static constexpr std::int16_t kTypes[] = {kDimLinear,   kDimAligned, kDimAngular2ln,
                                              kDimDiameter, kDimRadius,  kDimAngular3pt,
                                              kDimOrdinate};
    if (kind > 6) {
        Note("dimension " + std::to_string(self) + " of an unknown kind is written as linear");
        kind = 0;
    }
    db::BlockId block = g.block != db::kNone ? g.block : db_.FindBlock(g.blockName);
    ObjectOut o = Begin(kTypes[kind], self);
    EntityCommon(o, e.props, links);
    o.d.B3D(e.props.extrusion);
    o.d.R2D(g.textMidpoint);
    o.d.BD(g.textMidpoint.z);
    std::uint8_t flags1 = static_cast<std::uint8_t>(((g.dimType & 128) ? 0 : 1) | 2);
    o.d.RC(flags1);
    o.d.T(EncText(g.text));
    o.d.BD(g.textRotation * kRadians);
    o.d.BD(g.horizontalDirection * kRadians);
    o.d.B3D({1, 1, 1});
    o.d.BD(0);
    o.d.BS(5);  // text attachment: middle centre
    o.d.BS(1);
    o.d.BD(1);
    o.d.BD(g.measurement);
    o.d.R2D(g.insertionPoint);
    switch (kind) {
        case 6:  // ordinate
            o.d.B3D(g.definitionPoint);
            o.d.B3D(g.points[0]);
            o.d.B3D(g.points[1]);
            o.d.RC((g.dimType & 64) ? 1 : 0);
            break;
        case 0:  // linear
            o.d.B3D(g.points[0]);
            o.d.B3D(g.points[1]);
            o.d.B3D(g.definitionPoint);
            o.d.BD(g.obliqueAngle * kRadians);
            o.d.BD(g.rotation * kRadians);
            break;
        case 1:  // aligned
            o.d.B3D(g.points[0]);
            o.d.B3D(g.points[1]);
            o.d.B3D(g.definitionPoint);
            o.d.BD(g.obliqueAngle * kRadians);
            break;
        case 5:  // angular, three points
            o.d.B3D(g.definitionPoint);
            o.d.B3D(g.points[0]);
            o.d.B3D(g.points[1]);
            o.d.B3D(g.points[2]);
            break;
        case 2:  // angular, two lines
            o.d.R2D(g.points[3]);
            o.d.B3D(g.points[0]);
            o.d.B3D(g.points[1]);
            o.d.B3D(g.points[2]);
            o.d.B3D(g.definitionPoint);
            break;
        case 4:  // radius
            o.d.B3D(g.definitionPoint);
            o.d.B3D(g.points[2]);
            o.d.BD(0);
            break;
        case 3:  // diameter
            o.d.B3D(g.points[2]);
            o.d.B3D(g.definitionPoint);
            o.d.BD(0);
            break;
        default:
            break;
    }
    o.h.H(kHardPointer, DimstyleHandle(g.styleName));
    o.h.H(kHardPointer, block == db::kNone ? 0 : BlockRecordHandle(block));
    Finish(o);
}

void Builder::WriteHatch(ObjectOut& o, const db::Hatch& g, db::Vec3 extrusion) {
    o.d.BD(g.elevation);
    o.d.B3D(extrusion);
    o.d.T(Enc(g.patternName.empty() && g.solid ? std::string("SOLID") : g.patternName));
    o.d.B(g.solid);
    o.d.B(false);  // not associative: the boundary objects are not kept
    o.d.BL(static_cast<std::int32_t>(g.paths.size()));
    bool derived = false;
    for (const auto& path : g.paths) {
        std::int32_t flags = path.isPolyline ? (path.flags | 2) : (path.flags & ~2);
        derived = derived || (flags & 4) != 0;
        o.d.BL(flags);
        if (path.isPolyline) {
            bool bulges = false;
            for (const auto& v : path.polyline) {
                bulges = bulges || v.bulge != 0;
            }
            o.d.B(bulges);
            o.d.B(path.closed);
            o.d.BL(static_cast<std::int32_t>(path.polyline.size()));
            for (const auto& v : path.polyline) {
                o.d.RD(v.x);
                o.d.RD(v.y);
                if (bulges) {
                    o.d.BD(v.bulge);
                }
            }
        } else {
            o.d.BL(static_cast<std::int32_t>(path.edges.size()));
            for (const auto& edge : path.edges) {
                o.d.RC(static_cast<std::uint8_t>(edge.type));
                switch (edge.type) {
                    case db::HatchEdge::Type::Line:
                        o.d.R2D(edge.p0);
                        o.d.R2D(edge.p1);
                        break;
                    case db::HatchEdge::Type::Arc:
                        o.d.R2D(edge.p0);
                        o.d.BD(edge.radius);
                        o.d.BD(edge.startAngle * kRadians);
                        o.d.BD(edge.endAngle * kRadians);
                        o.d.B(edge.ccw);
                        break;
                    case db::HatchEdge::Type::Ellipse:
                        o.d.R2D(edge.p0);
                        o.d.R2D(edge.p1);
                        o.d.BD(edge.ratio);
                        o.d.BD(edge.startAngle * kRadians);
                        o.d.BD(edge.endAngle * kRadians);
                        o.d.B(edge.ccw);
                        break;
                    case db::HatchEdge::Type::Spline: {
                        const bool weighted =
                            edge.rational && edge.weights.size() == edge.controlPoints.size();
                        o.d.BL(edge.degree);
                        o.d.B(weighted);
                        o.d.B(edge.periodic);
                        o.d.BL(static_cast<std::int32_t>(edge.knots.size()));
                        o.d.BL(static_cast<std::int32_t>(edge.controlPoints.size()));
                        for (double k : edge.knots) {
                            o.d.BD(k);
                        }
                        for (std::size_t i = 0; i < edge.controlPoints.size(); ++i) {
                            o.d.R2D(edge.controlPoints[i]);
                            if (weighted) {
                                o.d.BD(edge.weights[i]);
                            }
                        }
                        break;
                    }
                }
            }
        }
        o.d.BL(0);  // boundary objects
    }
    o.d.BS(g.style);
    o.d.BS(g.patternType);
    if (!g.solid) {
        o.d.BD(g.patternAngle * kRadians);
        o.d.BD(g.patternScale);
        o.d.B(g.patternDouble);
        o.d.BS(static_cast<std::int16_t>(g.patternLines.size()));
        for (const auto& line : g.patternLines) {
            o.d.BD(line.angle * kRadians);
            o.d.B2D(line.base);
            o.d.B2D(line.offset);
            o.d.BS(static_cast<std::int16_t>(line.dashes.size()));
            for (double dash : line.dashes) {
                o.d.BD(dash);
            }
        }
    }
    if (derived) {
        o.d.BD(1.0);  // pixel size
    }
    o.d.BL(0);  // seed points
}

void Builder::WriteViewport(const db::Entity& e, const db::Viewport& g, Handle self,
                            const EntityLinks& links) {
    ObjectOut o = Begin(kViewport, self);
    EntityCommon(o, e.props, links);
    o.d.B3D(g.center);
    o.d.BD(g.width);
    o.d.BD(g.height);
    o.d.B3D(g.viewTarget);
    o.d.B3D(g.viewDirection);
    o.d.BD(g.twist * kRadians);
    o.d.BD(g.viewHeight);
    o.d.BD(g.lensLength);
    o.d.BD(g.frontClip);
    o.d.BD(g.backClip);
    o.d.BD(0);  // snap angle
    o.d.R2D(g.viewCenter);
    o.d.R2D({0, 0, 0});    // snap base
    o.d.R2D({10, 10, 0});  // snap spacing
    o.d.R2D({10, 10, 0});  // grid spacing
    o.d.BS(100);           // circle zoom
    o.d.BL(static_cast<std::int32_t>(g.frozenLayers.size()));
    std::int32_t flags = g.flags;
    flags = g.status == 0 ? (flags | 0x20000) : (flags & ~0x20000);
    o.d.BL(flags);
    o.d.T(Enc(g.plotStyleSheet));
    o.d.RC(static_cast<std::uint8_t>(g.renderMode));
    o.d.B(false);  // UCS at origin
    o.d.B(false);  // UCS per viewport
    o.d.B3D({0, 0, 0});
    o.d.B3D({1, 0, 0});
    o.d.B3D({0, 1, 0});
    o.d.BD(0);
    o.d.BS(0);
    for (db::LayerId l : g.frozenLayers) {
        o.h.H(kHardPointer, LayerHandle(l));
    }
    // the clipping entity, under the handle it was written with
    auto clip = byDatabaseHandle_.find(g.clipBoundary);
    o.h.H(kHardPointer, g.clipBoundary != 0 && clip != byDatabaseHandle_.end() ? clip->second : 0);
    o.h.H(kHardPointer, 0);  // VX entry
    o.h.H(kHardPointer, 0);  // named UCS
    o.h.H(kHardPointer, 0);  // base UCS
    Finish(o);
}

}  // namespace vx::dwgwriter
