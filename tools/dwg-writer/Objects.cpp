// The non-entity objects: control objects and table entries, block records, dictionaries
// and layouts.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "WriterImpl.h"
#include "engine/db/Extents.h"
#include "engine/dwg/Compression.h"

namespace vx::dwgwriter {

using namespace vx::engine;

namespace {

constexpr double kRadians = std::numbers::pi / 180.0;

bool IsSpecialLinetype(const std::string& name) {
    std::string n = db::FoldName(name);
    return n == "BYLAYER" || n == "BYBLOCK";
}

}  // namespace

const ClassEntry kClasses[3] = {
    {"ACDBDICTIONARYWDFLT", "AcDbDictionaryWithDefault", false},
    {"ACDBPLACEHOLDER", "AcDbPlaceHolder", false},
    {"LAYOUT", "AcDbLayout", false},
};

std::uint8_t LineweightIndex(std::int16_t lw) {
    constexpr std::int16_t kWeights[] = {0,  5,  9,  13, 15, 18,  20,  25,  30,  35,  40,  50,
                                         53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211};
    if (lw == db::kLineweightByLayer) {
        return 29;
    }
    if (lw == db::kLineweightByBlock) {
        return 30;
    }
    if (lw < 0) {
        return 31;
    }
    // the nearest standard weight
    std::uint8_t best = 0;
    for (std::uint8_t i = 0; i < 24; ++i) {
        if (std::abs(kWeights[i] - lw) < std::abs(kWeights[best] - lw)) {
            best = i;
        }
    }
    return best;
}

std::int16_t ColorIndex(const db::Color& c) {
    switch (c.kind) {
        case db::Color::Kind::ByLayer:
            return 256;
        case db::Color::Kind::ByBlock:
            return 0;
        default:
            return c.index > 0 && c.index < 256 ? c.index : 7;
    }
}

// ---------------------------------------------------------------------------------------
// The parts every object has

ObjectOut Builder::Begin(std::int16_t type, Handle self, const std::vector<EedBlock>& eed) {
    ObjectOut o;
    o.self = self;
    o.d.BS(type);
    o.sizeAt = o.d.BitCount();
    o.d.RL(0);
    o.d.H(kNoCode, self);
    for (const auto& block : eed) {
        o.d.BS(static_cast<std::int16_t>(block.data.size()));
        o.d.H(kHardPointer, block.app);
        o.d.RawBytes(block.data.data(), block.data.size());
    }
    o.d.BS(0);
    return o;
}

void Builder::ObjectCommon(ObjectOut& o, Handle owner, const std::vector<Handle>& reactors) {
    o.d.BL(static_cast<std::int32_t>(reactors.size()));
    o.h.H(kSoftPointer, owner);
    for (Handle r : reactors) {
        o.h.H(kSoftPointer, r);
    }
    o.h.H(kHardOwner, 0);  // no extension dictionary
}

void Builder::TableCommon(ObjectOut& o, std::string_view name, Handle owner, std::int16_t flags) {
    ObjectCommon(o, owner);
    o.d.T(Enc(name));
    o.d.B(true);  // referenced
    o.d.BS(0);    // not from an external reference
    o.d.B((flags & 16) != 0);
    o.h.H(kHardPointer, 0);  // the external reference's block
}

void Builder::Finish(ObjectOut& o) {
    std::size_t dataBits = o.d.BitCount();
    if (dataBits > 0x7FFFFFFF) {
        throw WriteError("an object larger than the format allows");
    }
    o.d.PatchRL(o.sizeAt, static_cast<std::int32_t>(dataBits));
    o.d.Append(o.h);
    o.d.AlignByte();
    const auto& data = o.d.Bytes();
    std::vector<std::uint8_t> out;
    PutMS(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    PutRS(out, dwg::Crc16(0xC0C1, out.data(), out.size()));
    if (objects_.count(o.self)) {
        throw WriteError("two objects with the handle " + std::to_string(o.self));
    }
    objects_[o.self] = std::move(out);
}

// ---------------------------------------------------------------------------------------
// Control objects

void Builder::WriteControls() {
    auto control = [&](std::int16_t type, Handle self, const std::vector<Handle>& entries,
                       bool longCount) {
        ObjectOut o = Begin(type, self);
        ObjectCommon(o, 0);
        if (longCount) {
            o.d.BL(static_cast<std::int32_t>(entries.size()));
        } else {
            o.d.BS(static_cast<std::int16_t>(entries.size()));
        }
        if (type == kDimstyleControl) {
            o.d.RC(0);  // no further handles
        }
        for (Handle h : entries) {
            o.h.H(kSoftOwner, h);
        }
        return o;
    };

    // Blocks: *Model_Space and *Paper_Space after the list.
    std::vector<Handle> blocks;
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        if (i != modelSpace_ && i != paperSpace_) {
            blocks.push_back(blocks_[i].record);
        }
    }
    ObjectOut b = control(kBlockControl, blockControl_, blocks, true);
    b.h.H(kHardOwner, blocks_[modelSpace_].record);
    b.h.H(kHardOwner, BlockRecordHandle(paperSpace_));
    Finish(b);

    std::vector<Handle> layers;
    if (needLayerZero_) {
        layers.push_back(layerZero_);
    }
    layers.insert(layers.end(), layers_.begin(), layers_.end());
    ObjectOut l = control(kLayerControl, layerControl_, layers, true);
    Finish(l);

    std::vector<Handle> styles;
    if (needStandardStyle_) {
        styles.push_back(standardStyle_);
    }
    styles.insert(styles.end(), styles_.begin(), styles_.end());
    ObjectOut s = control(kStyleControl, styleControl_, styles, true);
    Finish(s);

    // Linetypes: ByBlock and ByLayer after the list.
    std::vector<Handle> linetypes;
    for (std::size_t i = 0; i < linetypes_.size(); ++i) {
        if (linetypes_[i] != ltByLayer_ && linetypes_[i] != ltByBlock_) {
            linetypes.push_back(linetypes_[i]);
        }
    }
    for (const auto& [name, h] : extraLinetypes_) {
        if (h != ltByLayer_ && h != ltByBlock_) {
            linetypes.push_back(h);
        }
    }
    ObjectOut lt = control(kLtypeControl, ltypeControl_, linetypes, false);
    lt.h.H(kHardOwner, ltByBlock_);
    lt.h.H(kHardOwner, ltByLayer_);
    Finish(lt);

    ObjectOut view = control(kViewControl, viewControl_, {}, true);
    Finish(view);
    ObjectOut ucs = control(kUcsControl, ucsControl_, {}, false);
    Finish(ucs);
    ObjectOut vport = control(kVportControl, vportControl_, {vportActive_}, false);
    Finish(vport);
    ObjectOut appid = control(kAppidControl, appidControl_, {appidAcad_}, false);
    Finish(appid);
    std::vector<Handle> dimstyles;
    for (const auto& [key, v] : dimstyles_) {
        dimstyles.push_back(v.second);
    }
    ObjectOut dim = control(kDimstyleControl, dimstyleControl_, dimstyles, false);
    Finish(dim);
    ObjectOut vx = control(kVxControl, vxControl_, {}, false);
    Finish(vx);
}

// ---------------------------------------------------------------------------------------
// Table entries

Handle Builder::StyleOfElement(Handle stored) const {
    // (shape files are not kept: only text styles can be named)
    for (std::size_t i = 0; stored != 0 && i < db_.textStyles.size(); ++i) {
        if (db_.textStyles[i].handle == stored) {
            return styles_[i];
        }
    }
    return 0;
}

void Builder::WriteLinetypes() {
    auto write = [&](const db::Linetype& lt, Handle self) {
        ObjectOut o = Begin(kLtype, self);
        TableCommon(o, lt.name, ltypeControl_);
        o.d.T(Enc(lt.description));
        o.d.BD(lt.patternLength);
        o.d.RC('A');
        std::size_t n = std::min<std::size_t>(lt.elements.size(), 255);
        if (n < lt.elements.size()) {
            Note("linetype '" + lt.name + "' has more than 255 elements; the rest are left out");
        }
        o.d.RC(static_cast<std::uint8_t>(n));
        // Texts of text elements go into a strings area of 256 bytes, zero-terminated in
        // turn; an element's shape number is then the text's offset there.
        std::string area;
        for (std::size_t i = 0; i < n; ++i) {
            const db::LinetypeElement& el = lt.elements[i];
            std::int16_t shape = el.shape;
            if (el.type & 2) {
                std::string t = Enc(el.text);
                if (area.size() + t.size() + 1 <= 256) {
                    shape = static_cast<std::int16_t>(area.size());
                    area += t;
                    area += '\0';
                } else {
                    Note("linetype '" + lt.name + "': text '" + el.text + "' left out");
                }
            }
            o.d.BD(el.length);
            o.d.BS(shape);
            o.h.H(kHardPointer, StyleOfElement(el.style));
            o.d.RD(el.offsetX);
            o.d.RD(el.offsetY);
            o.d.BD(el.scale);
            o.d.BD(el.rotation * kRadians);
            o.d.BS(el.type);
        }
        area.resize(256, '\0');
        o.d.RawBytes(area);
        Finish(o);
    };
    for (std::size_t i = 0; i < db_.linetypes.size(); ++i) {
        write(db_.linetypes[i], linetypes_[i]);
    }
    for (const auto& [name, h] : extraLinetypes_) {
        db::Linetype lt;
        lt.name = name;
        lt.description = name == "Continuous" ? "Solid line" : "";
        write(lt, h);
    }
}

void Builder::WriteLayers() {
    auto write = [&](const db::Layer& l, Handle self) {
        ObjectOut o = Begin(kLayer, self);
        TableCommon(o, l.name, layerControl_);
        int flags = (l.frozen ? 1 : 0) | (l.on ? 0 : 2) | (l.locked ? 8 : 0) | (l.plot ? 16 : 0) |
                    (LineweightIndex(l.lineweight) << 5);
        o.d.BS(static_cast<std::int16_t>(flags));
        std::int16_t index = ColorIndex(l.color);
        if (index == 0 || index == 256) {
            index = 7;
        }
        o.d.CMC(static_cast<std::int16_t>(l.on ? index : -index));
        o.h.H(kHardPointer, normalStyle_);
        Handle lt = ltContinuous_;
        if (l.linetype != db::kNone && !IsSpecialLinetype(db_.linetypes[l.linetype].name)) {
            lt = LinetypeHandle(l.linetype);
        }
        o.h.H(kHardPointer, lt);
        Finish(o);
        if (l.color.kind == db::Color::Kind::True) {
            Note("layer '" + l.name + "': its true colour is kept as palette colour " +
                 std::to_string(index));
        }
    };
    if (needLayerZero_) {
        db::Layer zero;
        zero.name = "0";
        write(zero, layerZero_);
    }
    for (std::size_t i = 0; i < db_.layers.size(); ++i) {
        write(db_.layers[i], layers_[i]);
    }
}

void Builder::WriteStyles() {
    auto write = [&](const db::TextStyle& s, Handle self) {
        std::vector<EedBlock> eed;
        if (!s.fontFamily.empty()) {
            // ACAD: the TrueType family (1000) and its flags (1071)
            EedBlock block;
            block.app = appidAcad_;
            std::string family = Enc(s.fontFamily).substr(0, 255);
            block.data.push_back(0);
            block.data.push_back(static_cast<std::uint8_t>(family.size()));
            PutRS(block.data, static_cast<std::uint16_t>(codePage_));
            block.data.insert(block.data.end(), family.begin(), family.end());
            block.data.push_back(71);
            PutRL(block.data, 34);
            eed.push_back(std::move(block));
        }
        ObjectOut o = Begin(kStyle, self, eed);
        TableCommon(o, s.name, styleControl_);
        o.d.B((s.flags & 1) != 0);
        o.d.B((s.flags & 4) != 0);
        o.d.BD(s.height);
        o.d.BD(s.widthFactor);
        o.d.BD(s.oblique * kRadians);
        o.d.RC(static_cast<std::uint8_t>(s.generation));
        o.d.BD(s.height > 0 ? s.height : db_.header.textSize);
        o.d.T(Enc(s.fontFile));
        o.d.T(Enc(s.bigFontFile));
        Finish(o);
    };
    if (needStandardStyle_) {
        db::TextStyle standard;
        standard.name = "Standard";
        standard.fontFile = "txt";
        write(standard, standardStyle_);
    }
    for (std::size_t i = 0; i < db_.textStyles.size(); ++i) {
        write(db_.textStyles[i], styles_[i]);
    }
}

void Builder::WriteVport() {
    // *Active: model space's extents, with a margin.
    db::Box3 box;
    if (db_.header.hasExtents && db_.header.extMin.x <= db_.header.extMax.x &&
        std::isfinite(db_.header.extMin.x) && std::isfinite(db_.header.extMax.x)) {
        box.Add(db_.header.extMin);
        box.Add(db_.header.extMax);
    } else {
        box = db::ModelExtents(db_);
    }
    double height = 10, width = 15;
    db::Vec3 center{};
    if (!box.Empty()) {
        center = {(box.min.x + box.max.x) / 2, (box.min.y + box.max.y) / 2, 0};
        width = std::max(box.max.x - box.min.x, 1e-6) * 1.1;
        height = std::max(box.max.y - box.min.y, 1e-6) * 1.1;
        height = std::max(height, width / 1.5);
        width = height * 1.5;
    }
    ObjectOut o = Begin(kVport, vportActive_);
    TableCommon(o, "*Active", vportControl_);
    o.d.BD(height);
    o.d.BD(width);
    o.d.R2D(center);
    o.d.B3D({0, 0, 0});  // target
    o.d.B3D({0, 0, 1});  // view direction
    o.d.BD(0);           // twist
    o.d.BD(50);          // lens length
    o.d.BD(0);           // front clip
    o.d.BD(0);           // back clip
    o.d.Bits(0, 4);      // view mode
    o.d.RC(0);           // render mode
    o.d.R2D({0, 0, 0});  // lower left
    o.d.R2D({1, 1, 0});  // upper right
    o.d.B(false);        // UCS follow
    o.d.BS(1000);        // circle zoom
    o.d.B(true);         // fast zoom
    o.d.BB(3);           // UCS icon on, at the origin
    o.d.B(false);        // grid
    o.d.R2D({10, 10, 0});
    o.d.B(false);  // snap
    o.d.B(false);  // snap style
    o.d.BS(0);     // isometric plane
    o.d.BD(0);     // snap angle
    o.d.R2D({0, 0, 0});
    o.d.R2D({10, 10, 0});
    o.d.B(false);  // UCS at origin
    o.d.B(true);   // UCS per viewport
    o.d.B3D({0, 0, 0});
    o.d.B3D({1, 0, 0});
    o.d.B3D({0, 1, 0});
    o.d.BD(0);               // UCS elevation
    o.d.BS(0);               // orthographic type
    o.h.H(kHardPointer, 0);  // named UCS
    o.h.H(kHardPointer, 0);  // base UCS
    Finish(o);
}

void Builder::WriteAppids() {
    ObjectOut o = Begin(kAppid, appidAcad_);
    TableCommon(o, "ACAD", appidControl_);
    o.d.RC(0);
    Finish(o);
}

void Builder::WriteDimstyles() {
    const db::Header& h = db_.header;
    for (const auto& [key, v] : dimstyles_) {
        ObjectOut o = Begin(kDimstyle, v.second);
        TableCommon(o, v.first, dimstyleControl_);
        o.d.T(Enc(VarText(h, "$DIMPOST", "")));
        o.d.T(Enc(VarText(h, "$DIMAPOST", "")));
        for (auto [name, def] : {std::pair{"$DIMSCALE", 1.0},
                                 {"$DIMASZ", 0.18},
                                 {"$DIMEXO", 0.0625},
                                 {"$DIMDLI", 0.38},
                                 {"$DIMEXE", 0.18},
                                 {"$DIMRND", 0.0},
                                 {"$DIMDLE", 0.0},
                                 {"$DIMTP", 0.0},
                                 {"$DIMTM", 0.0}}) {
            o.d.BD(VarNum(h, name, def));
        }
        o.d.B(VarInt(h, "$DIMTOL", 0) != 0);
        o.d.B(VarInt(h, "$DIMLIM", 0) != 0);
        o.d.B(VarInt(h, "$DIMTIH", 1) != 0);
        o.d.B(VarInt(h, "$DIMTOH", 1) != 0);
        o.d.B(VarInt(h, "$DIMSE1", 0) != 0);
        o.d.B(VarInt(h, "$DIMSE2", 0) != 0);
        o.d.BS(VarInt(h, "$DIMTAD", 0));
        o.d.BS(VarInt(h, "$DIMZIN", 0));
        o.d.BS(VarInt(h, "$DIMAZIN", 0));
        for (auto [name, def] : {std::pair{"$DIMTXT", 0.18},
                                 {"$DIMCEN", 0.09},
                                 {"$DIMTSZ", 0.0},
                                 {"$DIMALTF", 25.4},
                                 {"$DIMLFAC", 1.0},
                                 {"$DIMTVP", 0.0},
                                 {"$DIMTFAC", 1.0},
                                 {"$DIMGAP", 0.09},
                                 {"$DIMALTRND", 0.0}}) {
            o.d.BD(VarNum(h, name, def));
        }
        o.d.B(VarInt(h, "$DIMALT", 0) != 0);
        o.d.BS(VarInt(h, "$DIMALTD", 2));
        o.d.B(VarInt(h, "$DIMTOFL", 0) != 0);
        o.d.B(VarInt(h, "$DIMSAH", 0) != 0);
        o.d.B(VarInt(h, "$DIMTIX", 0) != 0);
        o.d.B(VarInt(h, "$DIMSOXD", 0) != 0);
        o.d.CMC(VarInt(h, "$DIMCLRD", 0));
        o.d.CMC(VarInt(h, "$DIMCLRE", 0));
        o.d.CMC(VarInt(h, "$DIMCLRT", 0));
        for (auto [name, def] : {std::pair{"$DIMADEC", std::int16_t{0}},
                                 {"$DIMDEC", std::int16_t{4}},
                                 {"$DIMTDEC", std::int16_t{4}},
                                 {"$DIMALTU", std::int16_t{2}},
                                 {"$DIMALTTD", std::int16_t{2}},
                                 {"$DIMAUNIT", std::int16_t{0}},
                                 {"$DIMFRAC", std::int16_t{0}},
                                 {"$DIMLUNIT", std::int16_t{2}},
                                 {"$DIMDSEP", std::int16_t{'.'}},
                                 {"$DIMTMOVE", std::int16_t{0}},
                                 {"$DIMJUST", std::int16_t{0}}}) {
            o.d.BS(VarInt(h, name, def));
        }
        o.d.B(VarInt(h, "$DIMSD1", 0) != 0);
        o.d.B(VarInt(h, "$DIMSD2", 0) != 0);
        o.d.BS(VarInt(h, "$DIMTOLJ", 1));
        o.d.BS(VarInt(h, "$DIMTZIN", 0));
        o.d.BS(VarInt(h, "$DIMALTZ", 0));
        o.d.BS(VarInt(h, "$DIMALTTZ", 0));
        o.d.B(VarInt(h, "$DIMUPT", 0) != 0);
        o.d.BS(VarInt(h, "$DIMATFIT", 3));
        o.d.BS(VarInt(h, "$DIMLWD", -2));
        o.d.BS(VarInt(h, "$DIMLWE", -2));
        o.d.B(false);
        o.h.H(kHardPointer, standardStyle_);  // text style
        for (int i = 0; i < 4; ++i) {
            o.h.H(kHardPointer, 0);  // arrow blocks: the default arrows
        }
        Finish(o);
    }
}

// ---------------------------------------------------------------------------------------
// Block records

void Builder::WriteBlockRecords() {
    auto write = [&](const db::Block* b, const BlockHandles& hs, const std::string& name,
                     const std::vector<Handle>& entities) {
        std::int16_t flags = b ? b->flags : 0;
        bool xref = (flags & db::Block::kXref) != 0;
        bool overlay = (flags & db::Block::kOverlay) != 0;
        bool attdefs =
            b && std::any_of(b->entities.begin(), b->entities.end(),
                             [](const db::Entity& e) { return e.type == db::EntityType::Attdef; });
        ObjectOut o = Begin(kBlockHeader, hs.record);
        TableCommon(o, name, blockControl_, flags);
        o.d.B((flags & db::Block::kAnonymous) != 0);
        o.d.B((flags & db::Block::kHasAttributes) != 0 || attdefs);
        o.d.B(xref);
        o.d.B(overlay);
        o.d.B((flags & db::Block::kXrefResolved) != 0);
        o.d.B3D(b ? b->base : db::Vec3{});
        o.d.T(b && b->xref ? Enc(b->xref->path) : std::string());
        o.d.RC(0);  // the inserts are not listed
        o.d.T(b ? Enc(b->description) : std::string());
        o.d.BL(0);  // no preview
        o.h.H(kHardOwner, hs.begin);
        if (!xref && !overlay) {
            o.h.H(kSoftPointer, entities.empty() ? 0 : entities.front());
            o.h.H(kSoftPointer, entities.empty() ? 0 : entities.back());
        }
        o.h.H(kHardOwner, hs.end);
        o.h.H(kHardPointer, hs.layout);
        Finish(o);
    };
    for (std::size_t i = 0; i < db_.blocks.size(); ++i) {
        const db::Block& b = db_.blocks[i];
        std::vector<Handle> entities;
        for (const auto& e : b.entities) {
            if (Writable(e)) {
                entities.push_back(entityHandles_.at(&e));
            }
        }
        std::string name = b.name;
        if (i == modelSpace_) {
            name = "*Model_Space";
        } else if (i == paperSpace_) {
            name = "*Paper_Space";
        }
        write(&b, blocks_[i], name, entities);
    }
    if (extraPaperSpace_ != db::kNone) {
        write(nullptr, extraPaper_, "*Paper_Space", {});
    }
}

// ---------------------------------------------------------------------------------------
// Dictionaries, the plot style placeholder and the multiline style

void Builder::WriteDictionaries() {
    auto dictionary = [&](Handle self, Handle owner,
                          std::vector<std::pair<std::string, Handle>> items) {
        ObjectOut o = Begin(kDictionary, self);
        ObjectCommon(o, owner, owner ? std::vector<Handle>{owner} : std::vector<Handle>{});
        o.d.BL(static_cast<std::int32_t>(items.size()));
        o.d.BS(1);  // cloning: keep existing
        o.d.RC(0);  // not a hard owner
        for (const auto& [key, h] : items) {
            o.d.T(Enc(key));
        }
        for (const auto& [key, h] : items) {
            o.h.H(kSoftOwner, h);
        }
        Finish(o);
    };
    dictionary(nod_, 0,
               {{"ACAD_GROUP", groupDict_},
                {"ACAD_LAYOUT", layoutDict_},
                {"ACAD_MLINESTYLE", mlineDict_},
                {"ACAD_PLOTSETTINGS", plotSettingsDict_},
                {"ACAD_PLOTSTYLENAME", plotStyleDict_}});
    dictionary(groupDict_, nod_, {});
    std::vector<std::pair<std::string, Handle>> layouts;
    for (const auto& l : layouts_) {
        layouts.emplace_back(l.name, l.handle);
    }
    std::sort(layouts.begin(), layouts.end());
    dictionary(layoutDict_, nod_, layouts);
    dictionary(mlineDict_, nod_, {{"Standard", mlineStandard_}});
    dictionary(plotSettingsDict_, nod_, {});

    // ACAD_PLOTSTYLENAME: a dictionary with a default, holding "Normal".
    {
        ObjectOut o = Begin(kDictionaryWithDefault, plotStyleDict_);
        ObjectCommon(o, nod_, {nod_});
        o.d.BL(1);
        o.d.BS(1);
        o.d.RC(0);
        o.d.T("Normal");
        o.h.H(kSoftOwner, normalStyle_);
        o.h.H(kHardPointer, normalStyle_);
        Finish(o);
    }
    {
        ObjectOut o = Begin(kPlaceholder, normalStyle_);
        ObjectCommon(o, plotStyleDict_, {plotStyleDict_});
        Finish(o);
    }
    {
        ObjectOut o = Begin(kMlineStyle, mlineStandard_);
        ObjectCommon(o, mlineDict_, {mlineDict_});
        o.d.T("Standard");
        o.d.T("");
        o.d.BS(0);
        o.d.CMC(256);
        o.d.BD(std::numbers::pi / 2);
        o.d.BD(std::numbers::pi / 2);
        o.d.RC(2);
        for (double offset : {0.5, -0.5}) {
            o.d.BD(offset);
            o.d.CMC(256);
            o.d.BS(32767);  // by layer
        }
        Finish(o);
    }
}

// ---------------------------------------------------------------------------------------
// Layouts

void Builder::WriteLayouts() {
    for (const auto& out : layouts_) {
        const bool model = out.block == modelSpace_;
        db::Layout made;
        if (!out.layout) {
            made.name = out.name;
            made.tabOrder = out.tabOrder;
            made.flags = 1;
            made.plot.flags = static_cast<std::int16_t>(model ? 1712 : 688);
            made.plot.paperUnits = 1;
            made.plot.plotType = model ? 0 : 5;
            made.plot.paperWidth = 297;
            made.plot.paperHeight = 210;
            made.limitsMax = model ? db_.header.limMax : db::Vec3{297, 210, 0};
            made.limitsMin = model ? db_.header.limMin : db::Vec3{};
        }
        const db::Layout& l = out.layout ? *out.layout : made;
        const db::PlotSettings& p = l.plot;
        ObjectOut o = Begin(kLayout, out.handle);
        ObjectCommon(o, layoutDict_, {layoutDict_});
        o.d.T(Enc(p.pageSetupName));
        o.d.T(Enc(p.configName));
        std::int16_t flags = p.flags;
        if (model) {
            flags = static_cast<std::int16_t>(flags | db::PlotSettings::kModelType);
        } else {
            flags = static_cast<std::int16_t>(flags & ~db::PlotSettings::kModelType);
        }
        o.d.BS(flags);
        o.d.BD(p.marginLeft);
        o.d.BD(p.marginBottom);
        o.d.BD(p.marginRight);
        o.d.BD(p.marginTop);
        o.d.BD(p.paperWidth);
        o.d.BD(p.paperHeight);
        o.d.T(Enc(p.canonicalMediaName));
        o.d.B2D(p.plotOrigin);
        o.d.BS(p.paperUnits);
        o.d.BS(p.rotation);
        o.d.BS(p.plotType);
        o.d.B2D(p.windowMin);
        o.d.B2D(p.windowMax);
        o.d.T(Enc(p.plotViewName));
        o.d.BD(p.customScaleNumerator);
        o.d.BD(p.customScaleDenominator);
        o.d.T(Enc(p.styleSheet));
        o.d.BS(p.standardScaleType);
        o.d.BD(p.standardScale);
        o.d.B2D(p.paperImageOrigin);
        o.d.T(Enc(out.name));
        o.d.BS(out.tabOrder);
        o.d.BS(l.flags);
        o.d.B3D(l.insertionBase);
        o.d.R2D(l.limitsMin);
        o.d.R2D(l.limitsMax);
        o.d.B3D({0, 0, 0});  // UCS origin
        o.d.B3D({1, 0, 0});  // UCS x axis
        o.d.B3D({0, 1, 0});  // UCS y axis
        o.d.BD(0);           // elevation
        o.d.BS(0);           // orthographic type
        o.d.B3D(l.extentsMin);
        o.d.B3D(l.extentsMax);
        o.h.H(kSoftPointer, BlockRecordHandle(out.block));
        // The viewport last active: the stored one when it is written, else the first.
        Handle active = 0;
        if (out.block < db_.blocks.size()) {
            for (const auto& e : db_.blocks[out.block].entities) {
                if (e.type != db::EntityType::Viewport) {
                    continue;
                }
                if (active == 0 ||
                    (l.lastActiveViewport != 0 && e.props.handle == l.lastActiveViewport)) {
                    active = entityHandles_.at(&e);
                }
            }
        }
        o.h.H(kSoftPointer, active);
        o.h.H(kHardPointer, 0);  // base UCS
        o.h.H(kHardPointer, 0);  // named UCS
        Finish(o);
    }
}

}  // namespace vx::dwgwriter
