// The DXF entities that annotate and construct: XLINE, RAY, MLINE (with the MLINESTYLE
// objects), ACAD_TABLE, WIPEOUT and MULTILEADER.
#include <cmath>

#include "engine/db/ColorMethod.h"
#include "engine/dxf/DxfReaderImpl.h"

namespace vx::engine::dxf {

using namespace vx::engine::db;

namespace {

// Sets one coordinate of `p` from a point group code (base = 10, 11, ...); false for
// other codes (their values are not read: they need not be numbers).
bool SetCoord(Reader& r, const Tag& t, int base, Vec3& p) {
    if (t.code == base) {
        p.x = r.Dbl(t);
    } else if (t.code == base + 10) {
        p.y = r.Dbl(t);
    } else if (t.code == base + 20) {
        p.z = r.Dbl(t);
    } else {
        return false;
    }
    return true;
}

// Walks an entity's tags. Everything up to and in the AcDbEntity subclass is a common
// property; the tags of the later subclasses go to `own(subclass, tag)` alone, since
// these types reuse the common group codes for their own data. Application groups and
// extended data are passed over.
template <class Own>
void WalkSubclasses(Reader& r, const std::vector<Tag>& tags, EntityProps& p, Own own) {
    bool inGroup = false, ownerSeen = false;
    std::string_view sub;
    for (const auto& t : tags) {
        if (t.code == 102) {
            inGroup = TagSource::Trim(t.text).substr(0, 1) == "{";
            continue;
        }
        if (inGroup || t.code >= 1000) {
            continue;
        }
        if (t.code == 100) {
            sub = TagSource::Trim(t.text);
            continue;
        }
        if (sub.empty() || sub == "AcDbEntity") {
            r.Props(t, p, ownerSeen);
        } else {
            own(sub, t);
        }
    }
}

// A colour as MULTILEADER stores it: the top byte says by layer (0xC0), by block (0xC1),
// true colour (0xC2) or index (0xC3); the rest is the value.
Color RawColor(std::int64_t raw) {
    const auto v = static_cast<std::uint32_t>(raw);
    if ((v >> 24) == 0xC3 && (v & 0xFF) == 0) {
        return Color::FromIndex(256);  // index 0 here means by layer
    }
    return db::ColorFromMethod(v, 7).value_or(Color::FromIndex(256));
}

}  // namespace

bool Reader::ParseAnnotation(std::string_view type, const std::vector<Tag>& tags, Entity& e) {
    EntityProps& p = e.props;
    if (type == "XLINE" || type == "RAY") {
        XLine g;
        WalkSubclasses(*this, tags, p, [&](std::string_view, const Tag& t) {
            SetCoord(*this, t, 10, g.base) || SetCoord(*this, t, 11, g.direction);
        });
        e.Set(type == "RAY" ? EntityType::Ray : EntityType::XLine, g);
        return true;
    }
    if (type == "ACAD_TABLE") {
        // The table's picture is its anonymous block; it is inserted as an INSERT is.
        Insert g;
        Vec3 direction{1, 0, 0};
        TableGrid grid;
        bool inValue = false;  // between a cell's CELL_VALUE and ACVALUE_END
        std::string chunks;
        WalkSubclasses(*this, tags, p, [&](std::string_view sub, const Tag& t) {
            if (sub == "AcDbBlockReference") {
                switch (t.code) {
                    case 2:
                        g.blockName = Str(t);
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
                    case 210:
                    case 220:
                    case 230:
                        SetCoord(*this, t, 210, p.extrusion);
                        return;
                    default:
                        SetCoord(*this, t, 10, g.position);
                        return;
                }
            }
            if (sub == "AcDbTable") {
                TableCell(t, grid, inValue, chunks);
                SetCoord(*this, t, 11, direction);
            }
        });
        if (!grid.rowHeights.empty() && !grid.columnWidths.empty()) {
            tableGrids_[p.handle] = std::move(grid);
        }
        if (std::hypot(direction.x, direction.y) > 0 && g.rotation == 0) {
            g.rotation = std::atan2(direction.y, direction.x) * 180.0 / 3.14159265358979323846;
        }
        e.Set(EntityType::Table, std::move(g));
        KeepProxyGraphics(tags, p.handle);  // drawn when the picture block is missing
        return true;
    }
    if (type == "WIPEOUT") {
        Image g;
        WalkSubclasses(*this, tags, p, [&](std::string_view, const Tag& t) {
            switch (t.code) {
                case 13:
                    g.pixelsU = Dbl(t);
                    return;
                case 23:
                    g.pixelsV = Dbl(t);
                    return;
                case 70:
                    g.displayFlags = I16(t);
                    return;
                case 280:
                    g.clipping = Int(t) != 0;
                    return;
                case 14:
                    g.clipBoundary.push_back({Dbl(t), 0, 0});
                    return;
                case 24:
                    if (!g.clipBoundary.empty()) {
                        g.clipBoundary.back().y = Dbl(t);
                    }
                    return;
                default:
                    SetCoord(*this, t, 10, g.position) || SetCoord(*this, t, 11, g.uVector) ||
                        SetCoord(*this, t, 12, g.vVector);
                    return;
            }
        });
        e.Set(EntityType::Wipeout, std::move(g));
        return true;
    }
    if (type == "MLINE") {
        MLine g;
        Vec3* point = nullptr;  // the point the next 10..33 codes belong to
        Vec3 start;
        std::vector<double>* params = nullptr;
        std::size_t paramsLeft = 0;
        WalkSubclasses(*this, tags, p, [&](std::string_view, const Tag& t) {
            switch (t.code) {
                case 2:
                    g.styleName = Str(t);
                    return;
                case 340:
                    g.styleHandle = Hnd(t);
                    return;
                case 40:
                    g.scale = Dbl(t);
                    return;
                case 70:
                    g.justification = I16(t);
                    return;
                case 71:
                    g.flags = I16(t);
                    return;
                case 10:
                    point = &start;
                    break;
                case 11:
                    g.vertices.emplace_back();
                    point = &g.vertices.back().position;
                    break;
                case 12:
                    point = g.vertices.empty() ? nullptr : &g.vertices.back().direction;
                    break;
                case 13:
                    point = g.vertices.empty() ? nullptr : &g.vertices.back().miter;
                    break;
                case 74:
                    if (!g.vertices.empty()) {
                        g.vertices.back().params.emplace_back();
                        params = &g.vertices.back().params.back();
                        paramsLeft = static_cast<std::size_t>(std::max<std::int64_t>(Int(t), 0));
                    }
                    return;
                case 41:
                    if (params && paramsLeft > 0) {
                        params->push_back(Dbl(t));
                        --paramsLeft;
                    }
                    return;
                case 210:
                case 220:
                case 230:
                    SetCoord(*this, t, 210, p.extrusion);
                    return;
                default:
                    break;
            }
            // 1x, 2x and 3x: x, y and z of the point last begun
            if (point && t.code >= 10 && t.code <= 33 && t.code % 10 <= 3) {
                (t.code < 20 ? point->x : t.code < 30 ? point->y : point->z) = Dbl(t);
            }
        });
        e.Set(EntityType::MLine, std::move(g));
        return true;
    }
    if (type == "MULTILEADER" || type == "MLEADER") {
        ParseMLeader(tags, e);
        return true;
    }
    return false;
}

void Reader::ParseMLeader(const std::vector<Tag>& tags, Entity& e) {
    MLeader g;
    g.text.attachment = 1;
    // Where the tags are: the entity's own part, its context data, one leader of it, one
    // leader line of that.
    enum class In { Entity, Context, Leader, Line } in = In::Entity;
    bool ownBlockColor = false;
    WalkSubclasses(*this, tags, e.props, [&](std::string_view, const Tag& t) {
        if (t.code >= 300 && t.code <= 305) {
            const std::string_view s = TagSource::Trim(t.text);
            if (t.code == 300 && s == "CONTEXT_DATA{") {
                in = In::Context;
            } else if (t.code == 302 && s == "LEADER{") {
                in = In::Leader;
                g.branches.emplace_back();
            } else if (t.code == 304 && s == "LEADER_LINE{" && in == In::Leader) {
                in = In::Line;
                g.branches.back().lines.emplace_back();
            } else if (t.code == 305) {
                in = In::Leader;
            } else if (t.code == 303) {
                in = In::Context;
            } else if (t.code == 301) {
                in = In::Entity;
            } else if (t.code == 304 && in == In::Context) {
                g.text.text = Str(t);
            }
            return;
        }
        switch (in) {
            case In::Line: {
                MLeaderLine& l = g.branches.back().lines.back();
                if (t.code == 10) {
                    l.vertices.push_back({Dbl(t), 0, 0});
                } else if ((t.code == 20 || t.code == 30) && !l.vertices.empty()) {
                    (t.code == 20 ? l.vertices.back().y : l.vertices.back().z) = Dbl(t);
                }
                return;
            }
            case In::Leader: {
                MLeaderBranch& b = g.branches.back();
                if (t.code == 290) {
                    b.hasLanding = Int(t) != 0;
                } else if (t.code == 40) {
                    b.doglegLength = Dbl(t);
                } else {
                    SetCoord(*this, t, 10, b.landing) || SetCoord(*this, t, 11, b.doglegDirection);
                }
                return;
            }
            case In::Context:
                switch (t.code) {
                    case 41:
                        g.text.height = Dbl(t);
                        return;
                    case 140:
                        g.arrowSize = Dbl(t);
                        return;
                    case 145:
                        g.landingGap = Dbl(t);
                        return;
                    case 290:
                        g.hasText = Int(t) != 0;
                        return;
                    case 340:
                        g.textStyleHandle = Hnd(t);
                        return;
                    case 43:
                        g.text.rectWidth = Dbl(t);
                        return;
                    case 45:
                        g.text.lineSpacing = Dbl(t);
                        return;
                    case 90:
                        g.textColor = RawColor(Int(t));
                        return;
                    case 170:
                        g.text.lineSpacingStyle = I16(t);
                        return;
                    case 171:
                        g.text.attachment = I16(t);
                        return;
                    case 172:
                        g.text.drawingDirection = I16(t);
                        return;
                    case 296:
                        g.hasBlock = Int(t) != 0;
                        return;
                    case 341:
                        g.blockHandle = Hnd(t);
                        return;
                    case 46:
                        g.blockRotation = Dbl(t) * 180.0 / 3.14159265358979323846;
                        return;
                    case 93:
                        g.blockColor = RawColor(Int(t));
                        ownBlockColor = true;
                        return;
                    default:
                        if (SetCoord(*this, t, 12, g.text.position)) {
                            return;
                        }
                        if (SetCoord(*this, t, 13, g.text.xAxis)) {
                            g.text.hasXAxis = true;
                            return;
                        }
                        SetCoord(*this, t, 15, g.blockPosition) ||
                            SetCoord(*this, t, 16, g.blockScale);
                        return;
                }
            case In::Entity:
                switch (t.code) {
                    case 170:
                        g.lineType = I16(t);
                        return;
                    case 91:
                        g.lineColor = RawColor(Int(t));
                        return;
                    case 291:
                        g.dogleg = Int(t) != 0;
                        return;
                    case 292:
                        g.textFrame = Int(t) != 0;
                        return;
                    case 172:
                        g.contentType = I16(t);
                        return;
                    case 93:
                        if (!ownBlockColor) {
                            g.blockColor = RawColor(Int(t));
                        }
                        return;
                    default:
                        return;
                }
        }
    });
    if (g.contentType != 2) {
        g.hasText = false;
    }
    if (g.contentType != 1) {
        g.hasBlock = false;
    }
    e.Set(EntityType::MLeader, std::move(g));
}

void Reader::ParseAnnotationObject(std::string_view type, const std::vector<Tag>& tags) {
    if (type == "MLINESTYLE") {
        ParseMLineStyle(tags);
        return;
    }
    if (type == "TABLESTYLE") {
        ParseTableStyle(tags);
        return;
    }
    for (const auto& t : tags) {  // WIPEOUTVARIABLES
        if (t.code == 70) {
            db_->header.wipeoutFrame = I16(t);
        }
    }
}

namespace {

std::size_t EdgeOf(int code) {
    const int digit = code % 10;
    return digit == 9 ? 0 : digit == 5 ? 1 : digit == 6 ? 2 : 3;
}

}  // namespace

void Reader::TableCell(const Tag& t, TableGrid& g, bool& inValue, std::string& chunks) {
    // Cells follow the rows' heights and the columns' widths, each from its group 171. From
    // R2007 a cell's value lies between CELL_VALUE and ACVALUE_END, its text shown in 302;
    // before, the text is the cell's group 1 (after 2 or 3 for long texts).
    constexpr std::size_t kMaxTracks = 10'000;
    switch (t.code) {
        case 141:
            if (g.rowHeights.size() < kMaxTracks) {
                g.rowHeights.push_back(Dbl(t));
            }
            return;
        case 142:
            if (g.columnWidths.size() < kMaxTracks) {
                g.columnWidths.push_back(Dbl(t));
            }
            return;
        case 342:
            g.style = Hnd(t);
            return;
        case 171:
            if (g.cells.size() < g.rowHeights.size() * g.columnWidths.size()) {
                g.cells.emplace_back();
            }
            inValue = false;
            chunks.clear();
            return;
        case 301:
            inValue = TagSource::Trim(t.text) == "CELL_VALUE";
            return;
        case 304:
            inValue = false;
            return;
        default:
            break;
    }
    if (g.cells.empty()) {
        return;
    }
    db::TableCell& c = g.cells.back();
    if (inValue) {
        if (t.code == 302 && !Raw(t).empty()) {
            c.text = Str(t);
        }
        return;
    }
    switch (t.code) {
        case 173:
            c.covered = Int(t) != 0;
            return;
        case 175:
            c.spanColumns = static_cast<int>(std::clamp<std::int64_t>(Int(t), 1, kMaxTracks));
            return;
        case 176:
            c.spanRows = static_cast<int>(std::clamp<std::int64_t>(Int(t), 1, kMaxTracks));
            return;
        case 140:
            c.textHeight = Dbl(t);
            return;
        case 170:
            c.alignment = I16(t);
            return;
        case 63:
            c.background = Color::FromIndex(Int(t));
            return;
        case 340:  // a block cell's block, its scale, fitted
            c.block = Hnd(t);
            return;
        case 144:
            c.blockScale = Dbl(t);
            return;
        case 174:
            c.fitted = Int(t) != 0;
            return;
        case 283:  // no background
            c.filled = Int(t) != 0 ? 0 : 1;
            return;
        case 69:  // edges by their last digit: 9 top, 5 right, 6 bottom, 8 left
        case 65:
        case 66:
        case 68:
            c.edges[EdgeOf(t.code)].color = Color::FromIndex(Int(t));
            return;
        case 279:
        case 275:
        case 276:
        case 278:
            c.edges[EdgeOf(t.code)].lineweight = I16(t);
            return;
        case 289:
        case 285:
        case 286:
        case 288:
            c.edges[EdgeOf(t.code)].visible = Int(t) != 0;
            return;
        case 2:
        case 3:
            chunks += Str(t);
            return;
        case 1:
            c.text = chunks + Str(t);
            chunks.clear();
            return;
        default:
            return;
    }
}

void Reader::ParseTableStyle(const std::vector<Tag>& tags) {
    // The rows' settings follow in the order data, title, header, each from its group 7.
    TableStyle s;
    Handle handle = 0;
    int row = -1;
    TableStyle::Row* rows[] = {&s.data, &s.title, &s.header};
    for (const auto& t : tags) {
        switch (t.code) {
            case 5:
                handle = Hnd(t);
                break;
            case 40:
                s.marginX = Dbl(t);
                break;
            case 41:
                s.marginY = Dbl(t);
                break;
            case 280:
                s.noTitle = row < 0 && Int(t) != 0;
                break;
            case 281:
                s.noHeader = row < 0 && Int(t) != 0;
                break;
            case 7:
                ++row;
                break;
            case 140:
                if (row >= 0 && row < 3) {
                    rows[row]->textHeight = Dbl(t);
                }
                break;
            case 170:
                if (row >= 0 && row < 3) {
                    rows[row]->alignment = I16(t);
                }
                break;
            case 63:
                if (row >= 0 && row < 3) {
                    rows[row]->background = Color::FromIndex(Int(t));
                }
                break;
            case 283:
                if (row >= 0 && row < 3) {
                    rows[row]->filled = Int(t) != 0;
                }
                break;
            default:
                break;
        }
    }
    tableStyles_[handle] = s;
}

void Reader::ParseMLineStyle(const std::vector<Tag>& tags) {
    MLineStyle s;
    bool elements = false;  // past the element count: 62 and 6 belong to the elements
    for (const auto& t : tags) {
        switch (t.code) {
            case 5:
                s.handle = Hnd(t);
                break;
            case 2:
                s.name = Str(t);
                break;
            case 70:
                s.flags = I16(t);
                break;
            case 71:
                elements = true;
                break;
            case 49:
                s.elements.emplace_back();
                s.elements.back().offset = Dbl(t);
                break;
            case 62:
                if (!elements) {
                    s.fillColor = Color::FromIndex(I16(t));
                } else if (!s.elements.empty()) {
                    s.elements.back().color = Color::FromIndex(I16(t));
                }
                break;
            case 6:
                if (elements && !s.elements.empty()) {
                    s.elements.back().linetypeName = Str(t);
                }
                break;
            default:
                break;
        }
    }
    db_->mlineStyles.push_back(std::move(s));
}

void Reader::ResolveAnnotations() {
    for (auto& s : db_->mlineStyles) {
        for (auto& el : s.elements) {
            const std::string name = FoldName(el.linetypeName);
            el.linetype = name.empty() || name == "BYLAYER" ? kByLayer
                          : name == "BYBLOCK"               ? kByBlock
                                                            : db_->FindLinetype(name);
            if (el.linetype == kNone) {
                el.linetype = kByLayer;
            }
        }
    }
    auto styleOf = [&](const MLine& m) {
        for (std::size_t i = 0; i < db_->mlineStyles.size(); ++i) {
            const MLineStyle& s = db_->mlineStyles[i];
            if ((m.styleHandle != 0 && s.handle == m.styleHandle) ||
                (m.styleHandle == 0 && FoldName(s.name) == FoldName(m.styleName))) {
                return static_cast<std::uint32_t>(i);
            }
        }
        return kNone;
    };
    for (auto& b : db_->blocks) {
        for (auto& e : b.entities) {
            if (auto* m = e.As<MLine>()) {
                m->style = styleOf(*m);
            } else if (auto* l = e.As<MLeader>()) {
                auto it = blockByRecord_.find(l->blockHandle);
                l->block = it != blockByRecord_.end() ? it->second : kNone;
                for (std::size_t i = 0; i < db_->textStyles.size(); ++i) {
                    if (l->textStyleHandle != 0 &&
                        db_->textStyles[i].handle == l->textStyleHandle) {
                        l->text.style = static_cast<StyleId>(i);
                    }
                }
            }
        }
    }
}

}  // namespace vx::engine::dxf
