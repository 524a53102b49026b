// Putting the objects of a DWG file together into the database: tables in table order,
// blocks with their entities in drawing order, the children of polylines and inserts,
// layouts and the links between them.
#include <algorithm>
#include <set>
#include <unordered_set>

#include "engine/dwg/DwgReaderImpl.h"

namespace vx::engine::dwg {

using namespace vx::engine::db;

namespace {

// The handles of a table in its control object's order, then any entries of that type
// the control object does not list (in handle order).
template <class Map>
std::vector<Handle> TableOrder(const Map& items, const std::vector<Handle>* listed) {
    std::vector<Handle> order;
    std::unordered_set<Handle> seen;
    if (listed) {
        for (Handle h : *listed) {
            if (items.count(h) && seen.insert(h).second) {
                order.push_back(h);
            }
        }
    }
    std::vector<Handle> rest;
    for (const auto& kv : items) {
        if (!seen.count(kv.first)) {
            rest.push_back(kv.first);
        }
    }
    std::sort(rest.begin(), rest.end());
    order.insert(order.end(), rest.begin(), rest.end());
    return order;
}

}  // namespace

LayerId DwgReaderImpl::LayerOf(Handle h) {
    auto it = layerIds_.find(h);
    if (it != layerIds_.end()) {
        return it->second;
    }
    // An entity on a layer that is not in the table: layer "0", or one made for it.
    LayerId zero = db_->FindLayer("0");
    if (zero == kNone) {
        zero = db_->AddImplicitLayer("0");
    }
    return zero;
}

LinetypeId DwgReaderImpl::LinetypeOf(const PendingEntity& p) {
    switch (p.linetypeFlags) {
        case 0:
            return kByLayer;
        case 1:
            return kByBlock;
        case 2: {
            LinetypeId c = db_->FindLinetype("Continuous");
            return c == kNone ? kByLayer : c;
        }
        default: {
            auto it = linetypeIds_.find(p.linetype);
            if (it == linetypeIds_.end()) {
                return kByLayer;
            }
            const std::string n = FoldName(db_->linetypes[it->second].name);
            if (n == "BYLAYER") {
                return kByLayer;
            }
            if (n == "BYBLOCK") {
                return kByBlock;
            }
            return it->second;
        }
    }
}

std::vector<Handle> DwgReaderImpl::BlockEntities(const BlockRecord& b) {
    if (b.ownedList) {
        return b.owned;
    }
    std::vector<Handle> list;
    if (b.first == 0) {
        return list;
    }
    std::unordered_set<Handle> seen;
    Handle h = b.first;
    while (h != 0 && seen.insert(h).second) {
        auto it = entities_.find(h);
        if (it == entities_.end()) {
            Warn("block '" + Str(b.name) + "'", "the entity chain breaks at handle " +
                                                    HandleText(h) +
                                                    "; entities after it are missing");
            break;
        }
        list.push_back(h);
        if (h == b.last || !it->second.hasLinks) {
            break;
        }
        h = it->second.next;
    }
    return list;
}

void DwgReaderImpl::AddEntity(Block& block, BlockId id, PendingEntity& p) {
    (void)id;
    Entity& e = p.entity;
    e.props.layer = LayerOf(p.layer);
    e.props.linetype = LinetypeOf(p);
    e.props.owner = block.recordHandle;
    if (p.colorBook != 0) {
        auto it = bookColors_.find(p.colorBook);
        if (it != bookColors_.end() && it->second.hasRgb) {
            std::int16_t index = e.props.color.index;
            e.props.color = Color::FromRgb(it->second.rgb, index > 0 && index < 256 ? index : 7);
        }
    }
    auto styleOf = [&](Handle h) {
        auto it = styleIds_.find(h);
        return it == styleIds_.end() ? kNone : it->second;
    };
    auto blockName = [&](Handle h) {
        auto it = blocks_.find(h);
        return it == blocks_.end() ? std::string() : it->second.name;
    };
    // children of polylines and inserts
    std::vector<Handle> children;
    if (p.hasChildren) {
        if (!p.owned.empty()) {
            children = p.owned;
        } else if (p.firstChild != 0) {
            std::unordered_set<Handle> seen;
            Handle h = p.firstChild;
            while (h != 0 && seen.insert(h).second) {
                auto it = entities_.find(h);
                if (it == entities_.end()) {
                    break;
                }
                children.push_back(h);
                if (h == p.lastChild || !it->second.hasLinks) {
                    break;
                }
                h = it->second.next;
            }
        }
    }
    if (auto* t = e.As<Text>()) {
        t->style = styleOf(p.ref);
    } else if (auto* m = e.As<MText>()) {
        m->style = styleOf(p.ref);
    } else if (auto* a = e.As<Attribute>()) {
        a->text.style = styleOf(p.ref);
        a->mtext.style = a->text.style;
    } else if (auto* ins = e.As<Insert>()) {
        ins->blockName = blockName(p.ref);
        for (Handle h : children) {
            auto it = entities_.find(h);
            if (it == entities_.end() || it->second.kind != PendingEntity::Kind::Attrib) {
                continue;
            }
            AttribEntity attrib = it->second.attrib;
            attrib.props.layer = LayerOf(it->second.layer);
            attrib.props.linetype = LinetypeOf(it->second);
            attrib.props.owner = p.entity.props.handle;
            attrib.attribute.text.style = styleOf(it->second.ref);
            ins->attribs.push_back(std::move(attrib));
        }
    } else if (auto* pl = e.As<Polyline>()) {
        for (Handle h : children) {
            auto it = entities_.find(h);
            if (it == entities_.end() || it->second.kind != PendingEntity::Kind::Vertex) {
                continue;
            }
            PolyVertex v = it->second.vertex;
            if (!pl->Is3d() && v.startWidth == 0 && v.endWidth == 0) {
                v.startWidth = pl->defaultStartWidth;
                v.endWidth = pl->defaultEndWidth;
            }
            pl->vertices.push_back(v);
        }
    } else if (auto* d = e.As<Dimension>()) {
        d->blockName = blockName(p.ref2);
    } else if (auto* im = e.As<Image>()) {
        for (std::size_t i = 0; i < db_->images.size(); ++i) {
            if (db_->images[i].handle == im->imageDefHandle) {
                im->imageDef = static_cast<ImageDefId>(i);
            }
        }
    } else if (auto* u = e.As<Underlay>()) {
        for (std::size_t i = 0; i < db_->underlays.size(); ++i) {
            const UnderlayDef& def = db_->underlays[i];
            if (def.handle == u->definitionHandle && def.format == u->format) {
                u->definition = static_cast<std::uint32_t>(i);
            }
        }
    } else if (auto* vp = e.As<Viewport>()) {
        for (Handle h : vp->frozenLayerHandles) {
            auto it = layerIds_.find(h);
            if (it != layerIds_.end()) {
                vp->frozenLayers.push_back(it->second);
            }
        }
        std::int16_t n = 1;
        for (const auto& other : block.entities) {
            if (other.type == EntityType::Viewport) {
                ++n;
            }
        }
        vp->id = n;
        vp->status = (vp->flags & 0x20000) ? 0 : n;
    }
    block.entities.push_back(std::move(e));
}

// Anonymous blocks are stored without the number their name carries elsewhere ("*D"
// for "*D3", "*Paper_Space" for every paper space but the active one). The BLOCK entity
// usually has the full name; otherwise a number is made up. Names end up unique, so that
// inserts and dimensions find their block by name.
void DwgReaderImpl::NameBlocks(const std::vector<Handle>& order) {
    std::set<std::string> used;
    int counter = 0;
    int paper = 0;
    for (Handle h : order) {
        BlockRecord& r = blocks_[h];
        auto be = entities_.find(r.blockEntity);
        const std::string folded = FoldName(r.name);
        bool bare = !r.name.empty() && r.name[0] == '*' && r.name.size() <= 2;
        bool otherPaper = folded == "*PAPER_SPACE" && h != paperRecord_;
        if ((bare || otherPaper) && be != entities_.end() &&
            be->second.name.size() > r.name.size() &&
            FoldName(be->second.name).rfind(folded, 0) == 0) {
            r.name = be->second.name;
        } else if (otherPaper) {
            r.name += std::to_string(paper++);
        } else if (bare) {
            r.name += std::to_string(counter);
        }
        ++counter;
        std::string name = r.name;
        bool anonymous = bare || otherPaper || (r.flags & Block::kAnonymous) != 0;
        if (used.count(FoldName(name)) && anonymous && name.size() >= 2) {
            // a stale number of an anonymous block: number it anew
            name = name.substr(0, 2) + std::to_string(counter - 1);
        }
        for (int k = 1; used.count(FoldName(name)); ++k) {
            name = r.name + "_" + std::to_string(k);
        }
        if (name != r.name) {
            if (!anonymous) {
                Warn("blocks",
                     "block name '" + r.name + "' appears twice; the second is '" + name + "'");
            }
            r.name = name;
        }
        used.insert(FoldName(name));
    }
}

void DwgReaderImpl::Assemble() {
    Database& d = *db_;
    auto listed = [&](Handle control) -> const std::vector<Handle>* {
        auto it = controls_.find(control);
        return it == controls_.end() ? nullptr : &it->second;
    };
    // linetypes
    for (Handle h : TableOrder(linetypes_, listed(linetypeControl_))) {
        linetypeIds_[h] = static_cast<LinetypeId>(d.linetypes.size());
        d.linetypes.push_back(std::move(linetypes_[h]));
    }
    // layers
    for (Handle h : TableOrder(layers_, listed(layerControl_))) {
        auto& [layer, linetype] = layers_[h];
        auto it = linetypeIds_.find(linetype);
        layer.linetype = it == linetypeIds_.end() ? kNone : it->second;
        if (layer.linetype != kNone) {
            std::string n = FoldName(d.linetypes[layer.linetype].name);
            if (n == "BYLAYER" || n == "BYBLOCK") {
                layer.linetype = kNone;
            }
        }
        layerIds_[h] = static_cast<LayerId>(d.layers.size());
        d.layers.push_back(std::move(layer));
    }
    // text styles (unnamed entries are the shape files of complex linetypes)
    for (Handle h : TableOrder(styles_, listed(styleControl_))) {
        TextStyle& s = styles_[h];
        if (s.name.empty()) {
            continue;
        }
        auto eed = styleEed_.find(h);
        if (eed != styleEed_.end()) {
            s.fontFamily = Str(EedFontFamily(eed->second));
        }
        styleIds_[h] = static_cast<StyleId>(d.textStyles.size());
        d.textStyles.push_back(std::move(s));
    }
    d.images = std::move(imageDefs_);
    d.underlays = std::move(underlayDefs_);
    d.RebuildIndexes();
    // blocks
    std::vector<Handle> order = TableOrder(blocks_, listed(blockControl_));
    NameBlocks(order);
    for (Handle h : order) {
        const BlockRecord& r = blocks_[h];
        Block b;
        b.name = r.name;
        b.recordHandle = r.handle;
        b.base = r.base;
        b.flags = r.flags;
        b.description = r.description;
        b.units = r.units;
        b.layoutHandle = r.layout;
        if (b.IsXref()) {
            Xref x;
            x.path = r.xrefPath;
            b.xref = std::move(x);
        }
        blockIds_[h] = static_cast<BlockId>(d.blocks.size());
        d.blocks.push_back(std::move(b));
    }
    auto findSpace = [&](Handle record, bool model) -> BlockId {
        auto it = blockIds_.find(record);
        if (it != blockIds_.end()) {
            return it->second;
        }
        for (std::size_t i = 0; i < d.blocks.size(); ++i) {
            if (model ? d.blocks[i].IsModelSpace() : FoldName(d.blocks[i].name) == "*PAPER_SPACE") {
                return static_cast<BlockId>(i);
            }
        }
        Block b;
        b.name = model ? "*Model_Space" : "*Paper_Space";
        Warn("blocks",
             std::string("the drawing has no ") + b.name + " block; an empty one was made");
        d.blocks.push_back(std::move(b));
        return static_cast<BlockId>(d.blocks.size() - 1);
    };
    d.modelSpace = findSpace(modelRecord_, true);
    d.activePaperSpace = findSpace(paperRecord_, false);
    // entities of each block
    std::unordered_set<Handle> placed;
    for (Handle h : order) {
        BlockId id = blockIds_[h];
        for (Handle eh : BlockEntities(blocks_[h])) {
            auto it = entities_.find(eh);
            if (it == entities_.end()) {
                Warn("block '" + d.blocks[id].name + "'",
                     "entity " + HandleText(eh) + " is listed but could not be read");
                continue;
            }
            PendingEntity& p = it->second;
            if (p.kind != PendingEntity::Kind::Normal || !placed.insert(eh).second) {
                continue;
            }
            AddEntity(d.blocks[id], id, p);
        }
    }
    // Entities of model or paper space that no list named (a damaged chain).
    std::vector<Handle> loose;
    for (const auto& [h, p] : entities_) {
        if (p.kind == PendingEntity::Kind::Normal && !placed.count(h) && p.entmode != 0) {
            loose.push_back(h);
        }
    }
    std::sort(loose.begin(), loose.end());
    if (!loose.empty()) {
        Warn("blocks",
             std::to_string(loose.size()) +
                 " entities of model or paper space were in no entity list; added at the end");
    }
    for (Handle h : loose) {
        PendingEntity& p = entities_[h];
        BlockId id = p.entmode == 1 ? d.activePaperSpace : d.modelSpace;
        AddEntity(d.blocks[id], id, p);
    }
    d.RebuildIndexes();
    std::set<std::string> missing;
    for (auto& b : d.blocks) {
        for (auto& e : b.entities) {
            if (auto* ins = e.As<Insert>()) {
                ins->block = d.FindBlock(ins->blockName);
                if (ins->block == kNone) {
                    missing.insert(ins->blockName);
                }
            } else if (auto* dim = e.As<Dimension>()) {
                if (!dim->blockName.empty()) {
                    dim->block = d.FindBlock(dim->blockName);
                    if (dim->block == kNone) {
                        missing.insert(dim->blockName);
                    }
                }
            }
        }
    }
    for (const auto& name : missing) {
        Warn("", "block '" + name + "' is referenced but not defined; its references show nothing");
    }
    ResolveAnnotations();
    BuildLayouts();
    d.RebuildIndexes();
}

void DwgReaderImpl::BuildLayouts() {
    Database& d = *db_;
    // The layout dictionary lists the layouts; without it every LAYOUT object counts.
    std::vector<LayoutRecord> objs;
    Handle dict = layoutDictionary_;
    if (dict == 0 || !dictionaries_.count(dict)) {
        auto root = dictionaries_.find(namedObjects_);
        if (root != dictionaries_.end()) {
            for (const auto& [k, h] : root->second.entries) {
                if (k == "ACAD_LAYOUT") {
                    dict = h;
                }
            }
        }
    }
    auto listedDict = dictionaries_.find(dict);
    if (listedDict != dictionaries_.end() && !layouts_.empty()) {
        for (const auto& [k, h] : listedDict->second.entries) {
            auto it = std::find_if(layouts_.begin(), layouts_.end(),
                                   [h = h](const LayoutRecord& r) { return r.layout.handle == h; });
            if (it == layouts_.end()) {
                Warn("layouts", "layout '" + k + "' is listed but its LAYOUT object is missing");
                continue;
            }
            if (it->layout.name.empty()) {
                it->layout.name = k;
            }
            objs.push_back(*it);
        }
        if (objs.empty()) {
            objs = layouts_;
        }
    } else {
        objs = layouts_;
    }
    std::vector<bool> used(d.blocks.size(), false);
    bool haveModel = false;
    for (auto& o : objs) {
        Layout l = o.layout;
        auto it = blockIds_.find(l.blockRecordHandle);
        BlockId id = kNone;
        if (it != blockIds_.end()) {
            id = it->second;
        } else {
            id = d.BlockOfLayout(l.handle);
            if (id == kNone) {
                Warn("layouts", "layout '" + l.name + "' has no block; layout left out");
                continue;
            }
        }
        if (used[id]) {
            Warn("layouts", "layout '" + l.name + "' shares block '" + d.blocks[id].name +
                                "' with another layout; layout left out");
            continue;
        }
        if (id != d.modelSpace && !d.blocks[id].IsPaperSpace()) {
            Warn("layouts", "layout '" + l.name + "' points at block '" + d.blocks[id].name +
                                "', which is no paper space; layout left out");
            continue;
        }
        used[id] = true;
        l.block = id;
        if (id == d.modelSpace) {
            haveModel = true;
            l.plot.flags = static_cast<std::int16_t>(l.plot.flags | PlotSettings::kModelType);
        }
        d.layouts.push_back(std::move(l));
    }
    if (!haveModel && !objs.empty()) {
        Warn("layouts", "no layout for model space; a 'Model' layout was made");
    }
    d.CompleteLayouts(!haveModel);
}

}  // namespace vx::engine::dwg
