// Feature-control frames (TOLERANCE), subdivision meshes (MESH), the dimensions that came
// with later releases (ARC_DIMENSION, LARGE_RADIAL_DIMENSION) and underlays (PDF, DWF and DGN
// underlays with their definition objects).
#include <optional>
#include <string>

#include "engine/dxf/DxfReaderImpl.h"

namespace vx::engine::dxf {

using namespace vx::engine::db;

namespace {

// Calls `own(subclass, tag)` for each tag after the common properties; the codes of the
// common properties before the first subclass marker go to the entity's properties.
template <class Own>
void EachOwnTag(Reader& r, const std::vector<Tag>& tags, EntityProps& p, Own own) {
    bool inGroup = false, ownerSeen = false;
    std::string_view sub;
    for (const auto& t : tags) {
        if (t.code == 102) {
            inGroup = TagSource::Trim(t.text).substr(0, 1) == "{";
        } else if (inGroup || t.code >= 1000) {
            continue;
        } else if (t.code == 100) {
            sub = TagSource::Trim(t.text);
        } else if (sub.empty() || sub == "AcDbEntity") {
            r.Props(t, p, ownerSeen);
        } else {
            own(sub, t);
        }
    }
}

bool Point(Reader& r, const Tag& t, int base, Vec3& p) {
    return IsPointCode(t.code, base) && Coord(t.code, base, r.Dbl(t), p);
}

}  // namespace

// Underlay clip boundaries hold at most this many points; more are dropped with a warning.
constexpr std::size_t kMaxUnderlayClipPoints = 100000;

void Reader::ParseUnderlayDefinition(std::string_view type, const std::vector<Tag>& tags) {
    const auto format = Underlay::FormatOf(type, "DEFINITION");
    if (!format) {
        return;
    }
    UnderlayDef d;
    d.format = *format;
    for (const auto& t : tags) {
        if (t.code == 5) {
            d.handle = Hnd(t);
        } else if (t.code == 1) {
            d.fileName = Str(t);
        } else if (t.code == 2) {
            d.pageName = Str(t);
        }
    }
    db_->underlays.push_back(std::move(d));
}

bool Reader::ParseKind(std::string_view type, const std::vector<Tag>& tags, Entity& e) {
    EntityProps& p = e.props;
    if (type == "TOLERANCE") {
        Tolerance g;
        EachOwnTag(*this, tags, p, [&](std::string_view, const Tag& t) {
            if (t.code == 1) {
                g.text = Str(t);
            } else if (t.code == 3) {
                g.styleName = Str(t);
            } else {
                Point(*this, t, 10, g.position) || Point(*this, t, 11, g.xAxis);
            }
        });
        e.Set(EntityType::Tolerance, std::move(g));
        return true;
    }
    if (type == "ARC_DIMENSION" || type == "LARGE_RADIAL_DIMENSION") {
        // Drawn from their picture blocks as every dimension is; the common dimension
        // codes come first, the subclass's own points (13..16) after them.
        Dimension g;
        g.typeName = std::string(type);
        EachOwnTag(*this, tags, p, [&](std::string_view sub, const Tag& t) {
            if (sub != "AcDbDimension") {
                for (int k = 0; k < 4; ++k) {
                    if (Point(*this, t, 13 + k, g.points[k])) {
                        return;
                    }
                }
                return;
            }
            switch (t.code) {
                case 1:
                    g.text = Str(t);
                    return;
                case 2:
                    g.blockName = Str(t);
                    return;
                case 3:
                    g.styleName = Str(t);
                    return;
                case 70:
                    g.dimType = I16(t);
                    return;
                case 42:
                    g.measurement = Dbl(t);
                    return;
                case 53:
                    g.textRotation = Dbl(t);
                    return;
                default:
                    Point(*this, t, 10, g.definitionPoint) || Point(*this, t, 11, g.textMidpoint) ||
                        Point(*this, t, 12, g.insertionPoint);
            }
        });
        e.Set(EntityType::Dimension, std::move(g));
        return true;
    }
    if (const auto format = Underlay::FormatOf(type, "UNDERLAY")) {
        Underlay g;
        g.format = *format;
        g.flags = 0;
        std::string dropped;  // where the points beyond the limit begin
        EachOwnTag(*this, tags, p, [&](std::string_view, const Tag& t) {
            switch (t.code) {
                case 340:
                    g.definitionHandle = Hnd(t);
                    return;
                case 41:
                    g.scale.x = Dbl(t);
                    return;
                case 42:
                    g.scale.y = Dbl(t);
                    return;
                case 43:
                    g.scale.z = Dbl(t);
                    return;
                case 50:
                    g.rotation = Dbl(t);
                    return;
                case 280:
                    g.flags = I16(t);
                    return;
                case 281:
                    g.contrast = I16(t);
                    return;
                case 282:
                    g.fade = I16(t);
                    return;
                case 11:
                    if (g.clipBoundary.size() < kMaxUnderlayClipPoints) {
                        g.clipBoundary.push_back({Dbl(t), 0, 0});
                    } else {
                        dropped = dropped.empty() ? Where(t) : dropped;
                    }
                    return;
                case 21:
                    if (!g.clipBoundary.empty() && dropped.empty()) {
                        g.clipBoundary.back().y = Dbl(t);
                    }
                    return;
                default:
                    Point(*this, t, 10, g.position) || Point(*this, t, 210, p.extrusion);
            }
        });
        if (!dropped.empty()) {
            Warn(dropped,
                 "An underlay's clip boundary has too many points; the rest are left out.");
        }
        e.Set(EntityType::Underlay, std::move(g));
        return true;
    }
    if (type != "MESH") {
        return false;
    }
    // Vertices (10), then three lists of 90 values, each announced by its size: faces (93,
    // entries: count then indices), edges (94, pairs) and creases (95). Only the faces of
    // level 0 are drawn; the lists are bounded by the tags the file really holds.
    Mesh g;
    std::vector<std::uint32_t> faceList;
    int list = 0;  // 93, 94 or 95: the list the 90 values belong to
    std::string where;
    EachOwnTag(*this, tags, p, [&](std::string_view, const Tag& t) {
        if (t.code == 10) {
            g.vertices.push_back({Dbl(t), 0, 0});
        } else if ((t.code == 20 || t.code == 30) && !g.vertices.empty()) {
            (t.code == 20 ? g.vertices.back().y : g.vertices.back().z) = Dbl(t);
        } else if (t.code == 93 || t.code == 94 || t.code == 95) {
            list = t.code;
        } else if (t.code == 90 && list == 93) {
            const std::int64_t v = Int(t);
            faceList.push_back(v < 0 || v > 0xFFFFFFF ? 0xFFFFFFFFu
                                                      : static_cast<std::uint32_t>(v));
            if (where.empty()) {
                where = Where(t);
            }
        }
    });
    bool damaged = false;
    for (std::size_t i = 0; i < faceList.size();) {
        const std::uint32_t n = faceList[i++];
        if (n < 2 || n > faceList.size() - i) {
            damaged = true;
            break;
        }
        bool ok = true;
        for (std::uint32_t k = 0; k < n; ++k) {
            ok = ok && faceList[i + k] < g.vertices.size();
        }
        if (ok) {
            g.faceSizes.push_back(n);
            g.faceIndices.insert(g.faceIndices.end(), faceList.begin() + static_cast<long>(i),
                                 faceList.begin() + static_cast<long>(i + n));
        }
        damaged = damaged || !ok;
        i += n;
    }
    if (damaged) {
        Warn(where, "A mesh's face list is damaged; the faces that can be read are drawn.");
    }
    e.Set(EntityType::Mesh, std::move(g));
    return true;
}

}  // namespace vx::engine::dxf
