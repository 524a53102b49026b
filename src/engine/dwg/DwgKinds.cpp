// Feature-control frames (TOLERANCE), subdivision meshes (MESH), the dimensions of later
// releases (ARC_DIMENSION, LARGE_RADIAL_DIMENSION) and underlays (PDF, DWF, DGN), from their
// DWG objects.
#include "engine/dwg/DwgReaderImpl.h"

namespace vx::engine::dwg {

using namespace vx::engine::db;

bool DwgReaderImpl::ReadKind(std::uint32_t type, const std::string& cls, ObjectStreams& o,
                             PendingEntity& p) {
    BitReader& d = o.d;
    Entity& e = p.entity;
    if (type == 46) {  // TOLERANCE
        Tolerance g;
        if (version_ <= 1014) {
            d.BS();
            d.BD();  // height and gap at the time it was made: the header's are used
            d.BD();
        }
        g.position = d.B3D();
        g.xAxis = d.B3D();
        e.props.extrusion = d.B3D();
        g.text = Str(o.T());
        e.Set(EntityType::Tolerance, std::move(g));
        return true;
    }
    if (cls == "ARC_DIMENSION" || cls == "LARGE_RADIAL_DIMENSION") {
        // The common dimension data and its block are all the picture needs.
        ReadDimension(type, o, p);
        if (auto* g = e.As<Dimension>()) {
            g->typeName = cls;
            if (cls == "ARC_DIMENSION") {
                // the definition point, the extension lines' points and the arc's centre
                g->definitionPoint = d.B3D();
                for (int k = 0; k < 3; ++k) {
                    g->points[k] = d.B3D();
                }
                g->dimType = static_cast<std::int16_t>((g->dimType & ~0x0F) | 5);
            }
        }
        return true;
    }
    if (const auto format = Underlay::FormatOf(cls, "UNDERLAY")) {
        Underlay g;
        g.format = *format;
        e.props.extrusion = d.B3D();  // all three, even when (0, 0, 1)
        g.position = d.B3D();
        g.rotation = d.BD() * 180.0 / 3.14159265358979323846;
        g.scale = d.B3D();
        g.flags = d.RC();
        g.contrast = d.RC();
        g.fade = d.RC();
        const std::size_t n = Count(d.BL(), d, 128, "underlay clip points");
        for (std::size_t i = 0; i < n; ++i) {
            g.clipBoundary.push_back(d.R2D());
        }
        g.definitionHandle = o.H();
        e.Set(EntityType::Underlay, std::move(g));
        return true;
    }
    if (cls != "MESH") {
        return false;
    }
    Mesh g;
    d.BS();  // version
    d.B();   // blend crease
    d.BL();  // subdivision level: the level-0 faces are drawn
    const std::size_t vertices = Count(d.BL(), d, 3 * 2, "mesh vertices");
    g.vertices.reserve(vertices);
    for (std::size_t i = 0; i < vertices; ++i) {
        g.vertices.push_back(d.B3D());
    }
    const std::size_t size = Count(d.BL(), d, 2, "mesh face entries");
    bool damaged = false;
    for (std::size_t i = 0; i < size;) {
        const auto n = static_cast<std::uint32_t>(d.BL());
        ++i;
        if (n < 2 || n > size - i) {
            damaged = true;
            for (; i < size; ++i) {
                d.BL();
            }
            break;
        }
        const std::size_t at = g.faceIndices.size();
        bool ok = true;
        for (std::uint32_t k = 0; k < n; ++k, ++i) {
            const auto index = static_cast<std::uint32_t>(d.BL());
            ok = ok && index < g.vertices.size();
            g.faceIndices.push_back(index);
        }
        if (ok) {
            g.faceSizes.push_back(n);
        } else {
            g.faceIndices.resize(at);
            damaged = true;
        }
    }
    if (damaged) {
        Warn("handle " + HandleText(o.self),
             "a mesh's face list is damaged; the faces that can be read are drawn");
    }
    e.Set(EntityType::Mesh, std::move(g));
    return true;
}

}  // namespace vx::engine::dwg
