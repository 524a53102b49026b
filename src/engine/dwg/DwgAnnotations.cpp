// The DWG objects that annotate and construct: XLINE, RAY, MLINE with its MLINESTYLE,
// ACAD_TABLE (DwgTables.cpp) and MULTILEADER. (WIPEOUT is read as IMAGE is.)
#include <cmath>
#include <numbers>

#include "engine/dwg/DwgReaderImpl.h"

namespace vx::engine::dwg {

using namespace vx::engine::db;

namespace {

Color ColorOf(const BitReader::CmColor& c) {
    return c.hasRgb ? Color::FromRgb(c.rgb, c.index) : Color::FromIndex(c.index);
}

}  // namespace

bool DwgReaderImpl::ReadAnnotation(std::uint32_t type, const std::string& cls, ObjectStreams& o,
                                   PendingEntity& p) {
    BitReader& d = o.d;
    Entity& e = p.entity;
    if (type == 40 || type == 41) {  // RAY, XLINE
        XLine g;
        g.base = d.B3D();
        g.direction = d.B3D();
        e.Set(type == 40 ? EntityType::Ray : EntityType::XLine, g);
        return true;
    }
    if (type == 47) {  // MLINE
        MLine g;
        g.scale = d.BD();
        g.justification = d.RC();
        d.B3D();  // base point: the first vertex repeats it
        e.props.extrusion = d.B3D();
        g.flags = d.BS();
        const std::size_t lines = d.RC();
        const std::size_t verts = Count(d.BS(), d, 9 * 2, "multiline vertices");
        for (std::size_t i = 0; i < verts; ++i) {
            MLineVertex& v = g.vertices.emplace_back();
            v.position = d.B3D();
            v.direction = d.B3D();
            v.miter = d.B3D();
            for (std::size_t j = 0; j < lines; ++j) {
                std::vector<double>& params = v.params.emplace_back();
                const std::size_t n = Count(d.BS(), d, 2, "multiline parameters");
                for (std::size_t k = 0; k < n; ++k) {
                    params.push_back(d.BD());
                }
                const std::size_t fill = Count(d.BS(), d, 2, "multiline fill parameters");
                for (std::size_t k = 0; k < fill; ++k) {
                    d.BD();
                }
            }
        }
        g.styleHandle = o.H();
        e.Set(EntityType::MLine, std::move(g));
        return true;
    }
    if (cls == "MULTILEADER") {
        ReadMLeader(o, e);
        return true;
    }
    if (cls == "ACAD_TABLE") {
        ReadTable(o, p);
        return true;
    }
    return false;
}

// A multileader: its leaders come first, then the rest of its context (the content), then
// its own properties.
void DwgReaderImpl::ReadMLeader(ObjectStreams& o, Entity& e) {
    BitReader& d = o.d;
    const bool r2010 = version_ >= 1024;
    MLeader g;
    if (r2010) {
        d.BS();  // class version
    }
    const std::size_t leaders = Count(d.BL(), d, 4, "leaders");
    for (std::size_t i = 0; i < leaders; ++i) {
        MLeaderBranch& b = g.branches.emplace_back();
        b.hasLanding = d.B();
        const bool hasDogleg = d.B();
        if (b.hasLanding) {
            b.landing = d.B3D();
        }
        if (hasDogleg) {
            b.doglegDirection = d.B3D();
        }
        const std::size_t breaks = Count(d.BL(), d, 12, "leader breaks");
        for (std::size_t k = 0; k < breaks; ++k) {
            d.B3D();
            d.B3D();
        }
        d.BL();  // branch index
        b.doglegLength = d.BD();
        const std::size_t lines = Count(d.BL(), d, 4, "leader lines");
        for (std::size_t k = 0; k < lines; ++k) {
            MLeaderLine& l = b.lines.emplace_back();
            const std::size_t points = Count(d.BL(), d, 6, "leader points");
            for (std::size_t q = 0; q < points; ++q) {
                l.vertices.push_back(d.B3D());
            }
            const std::size_t lineBreaks = Count(d.BL(), d, 12, "leader line breaks");
            for (std::size_t q = 0; q < lineBreaks; ++q) {
                d.B3D();
                d.B3D();
            }
            d.BL();  // line index
            if (r2010) {
                d.BS();
                d.CMC();
                o.H();
                d.BL();
                d.BD();
                o.H();
                d.BL();
            }
        }
        if (r2010) {
            d.BS();  // attachment direction
        }
    }
    d.BD();   // scale
    d.B3D();  // content base point
    g.text.height = d.BD();
    g.arrowSize = d.BD();
    g.landingGap = d.BD();
    for (int k = 0; k < 4; ++k) {
        d.BS();
    }
    g.hasText = d.B();
    if (g.hasText) {
        g.text.text = Str(o.T());
        d.B3D();  // normal
        g.textStyleHandle = o.H();
        g.text.position = d.B3D();
        g.text.xAxis = d.B3D();
        g.text.hasXAxis = true;
        d.BD();  // rotation
        g.text.rectWidth = d.BD();
        d.BD();
        g.text.lineSpacing = d.BD();
        g.text.lineSpacingStyle = d.BS();
        g.textColor = ColorOf(d.CMC());
        g.text.attachment = d.BS();
        g.text.drawingDirection = d.BS();
        d.CMC();  // background
        d.BD();
        d.BL();
        d.B();
        d.B();
        d.BS();  // columns
        d.B();
        d.BD();
        d.BD();
        d.B();
        const std::size_t columns = Count(d.BL(), d, 2, "text columns");
        for (std::size_t k = 0; k < columns; ++k) {
            d.BD();
        }
        d.B();
        d.B();
    } else {
        g.hasBlock = d.B();
        if (g.hasBlock) {
            g.blockHandle = o.H();
            d.B3D();  // normal
            g.blockPosition = d.B3D();
            g.blockScale = d.B3D();
            g.blockRotation = d.BD() * kDegrees;
            g.blockColor = ColorOf(d.CMC());
            for (int k = 0; k < 16; ++k) {
                d.BD();
            }
        }
    }
    d.B3D();  // the plane: origin, x and y directions, normal reversed
    d.B3D();
    d.B3D();
    d.B();
    if (r2010) {
        d.BS();
        d.BS();
    }
    o.H();   // style
    d.BL();  // which properties override the style
    g.lineType = d.BS();
    g.lineColor = ColorOf(d.CMC());
    o.H();   // linetype
    d.BL();  // lineweight
    d.B();   // landing
    g.dogleg = d.B();
    d.BD();  // landing distance
    o.H();   // arrowhead
    d.BD();  // arrowhead size (of the style; the context has the one drawn)
    g.contentType = d.BS();
    o.H();  // text style
    for (int k = 0; k < 4; ++k) {
        d.BS();  // left and right attachment, angle type, alignment
    }
    d.CMC();  // text colour (the context holds the one drawn)
    g.textFrame = d.B();
    // What follows (block style and the overrides) is not needed to draw.
    if (g.contentType != 2) {
        g.hasText = false;
    }
    if (g.contentType != 1) {
        g.hasBlock = false;
    }
    e.Set(EntityType::MLeader, std::move(g));
}

bool DwgReaderImpl::ReadAnnotationObject(std::uint32_t type, const std::string& name,
                                         ObjectStreams& o) {
    if (type == 73) {
        ReadMLineStyle(o);
        return true;
    }
    if (name == "TABLESTYLE") {
        ReadTableStyle(o);
        return true;
    }
    if (name == "WIPEOUTVARIABLES") {
        db_->header.wipeoutFrame = o.d.BS();
        return true;
    }
    return false;
}

void DwgReaderImpl::ReadMLineStyle(ObjectStreams& o) {
    BitReader& d = o.d;
    MLineStyle s;
    s.handle = o.self;
    s.name = Str(o.T());
    o.T();  // description
    s.flags = d.BS();
    s.fillColor = ColorOf(d.CMC());
    d.BD();  // start and end angles
    d.BD();
    const std::size_t n = d.RC();
    for (std::size_t i = 0; i < n; ++i) {
        MLineStyleElement& el = s.elements.emplace_back();
        el.offset = d.BD();
        el.color = ColorOf(d.CMC());
        if (version_ < 1032) {
            const std::int16_t index = d.BS();
            el.linetype = index == 32766 ? kByBlock : kByLayer;
        } else {
            o.H();
        }
    }
    db_->mlineStyles.push_back(std::move(s));
}

void DwgReaderImpl::ResolveAnnotations() {
    for (auto& b : db_->blocks) {
        for (auto& e : b.entities) {
            if (auto* m = e.As<MLine>()) {
                for (std::size_t i = 0; i < db_->mlineStyles.size(); ++i) {
                    if (db_->mlineStyles[i].handle == m->styleHandle) {
                        m->style = static_cast<std::uint32_t>(i);
                        m->styleName = db_->mlineStyles[i].name;
                    }
                }
            } else if (auto* l = e.As<MLeader>()) {
                auto block = blockIds_.find(l->blockHandle);
                l->block = block != blockIds_.end() ? block->second : kNone;
                auto style = styleIds_.find(l->textStyleHandle);
                l->text.style = style != styleIds_.end() ? style->second : kNone;
            }
        }
    }
}

}  // namespace vx::engine::dwg
