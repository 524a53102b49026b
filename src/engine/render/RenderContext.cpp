#include "engine/render/RenderContext.h"

#include <cmath>

#include "engine/plotstyle/Aci.h"

namespace vx::engine::render {

namespace {

constexpr std::int16_t kFallbackLineweight = 25;  // 0.25 mm

std::int16_t HeaderLineweight(const db::Header& h) {
    return h.lwDefault >= 0 && h.lwDefault <= 211 ? h.lwDefault : kFallbackLineweight;
}

const db::Linetype* LinetypeAt(const db::Database& d, db::LinetypeId id) {
    if (id >= d.linetypes.size()) {
        return nullptr;
    }
    const db::Linetype& lt = d.linetypes[id];
    return lt.elements.empty() ? nullptr : &lt;
}

db::Color Drawable(db::Color c) {
    if (c.kind == db::Color::Kind::ByLayer || c.kind == db::Color::Kind::ByBlock) {
        return db::Color::FromIndex(7);
    }
    return c;
}

}  // namespace

RenderContext::RenderContext(const db::Database& db, const plotstyle::PlotStyleTable* table,
                             bool plotLineweights, double lineweightScale)
    : db_(db),
      table_(table),
      plotLineweights_(plotLineweights),
      lineweightScale_(lineweightScale > 0 ? lineweightScale : 1.0),
      defaultLineweight_(HeaderLineweight(db.header)) {}

BlockScope RenderContext::TopScope() const {
    BlockScope s;
    s.db = &db_;
    return s;
}

bool RenderContext::IsLayerZero(const db::Database& d, db::LayerId id) const {
    return id < d.layers.size() && d.layers[id].name == "0";
}

RenderContext::LayerRef RenderContext::LayerOf(const db::EntityProps& props,
                                               const BlockScope& scope) const {
    const db::Database& d = *scope.db;
    if (scope.layer && IsLayerZero(d, props.layer)) {
        return {scope.layer, scope.layerDb ? scope.layerDb : &d, true};
    }
    if (props.layer >= d.layers.size()) {
        // A broken reference: behave like layer 0.
        return {scope.layer, scope.layerDb ? scope.layerDb : &d, scope.layer != nullptr};
    }
    if (!scope.xrefName.empty() && &d != &db_) {
        // An external reference's layer as the host keeps it ("GRID|WALLS"): its state and
        // properties there win, as the host drawing retains them.
        const auto key = std::make_pair(&d, props.layer);
        auto it = xrefLayers_.find(key);
        if (it == xrefLayers_.end()) {
            const db::LayerId id =
                db_.FindLayer(std::string(scope.xrefName) + "|" + d.layers[props.layer].name);
            it = xrefLayers_.emplace(key, id < db_.layers.size() ? &db_.layers[id] : nullptr).first;
        }
        if (it->second) {
            return {it->second, &db_, false};
        }
    }
    return {&d.layers[props.layer], &d, false};
}

Visibility RenderContext::Check(const db::EntityProps& props, const BlockScope& scope) const {
    const LayerRef ref = LayerOf(props, scope);
    const db::Layer* layer = ref.layer;
    if (!layer) {
        return Visibility::Shown;
    }
    if (ref.floating) {
        // The reference itself was checked on its layer when it was entered.
        return scope.layerHidden ? Visibility::Hidden : Visibility::Shown;
    }
    if (layer->frozen) {
        return Visibility::Frozen;
    }
    if (ref.owner == &db_ && !frozenInViewport_.empty()) {
        const auto id = static_cast<std::size_t>(layer - db_.layers.data());
        if (id < frozenInViewport_.size() && frozenInViewport_[id]) {
            return Visibility::Frozen;
        }
    }
    if (!layer->on || !layer->plot) {
        return Visibility::Hidden;
    }
    return Visibility::Shown;
}

Resolved RenderContext::Resolve(const db::EntityProps& props, const BlockScope& scope) const {
    Resolved r;
    const db::Database& d = *scope.db;
    const LayerRef ref = LayerOf(props, scope);
    r.layer = ref.layer;
    r.layerDb = ref.owner;
    r.floating = ref.floating;
    switch (props.color.kind) {
        case db::Color::Kind::ByLayer:
            r.color = Drawable(r.layer ? r.layer->color : db::Color::FromIndex(7));
            break;
        case db::Color::Kind::ByBlock:
            r.color = Drawable(scope.color);
            break;
        default:
            r.color = props.color;
            break;
    }
    std::int16_t lw = props.lineweight;
    if (lw == db::kLineweightByLayer) {
        lw = r.layer ? r.layer->lineweight : db::kLineweightDefault;
    } else if (lw == db::kLineweightByBlock) {
        lw = scope.lineweight;
    }
    r.lineweight = lw >= 0 ? lw : defaultLineweight_;
    if (props.linetype == db::kByLayer) {
        // The layer's linetype, in the database the layer belongs to.
        r.linetype = r.layer ? LinetypeAt(*ref.owner, r.layer->linetype) : nullptr;
    } else if (props.linetype == db::kByBlock) {
        r.linetype = scope.linetype;
    } else {
        r.linetype = LinetypeAt(d, props.linetype);
    }
    return r;
}

BlockScope RenderContext::Enter(const db::EntityProps& props, const BlockScope& scope) const {
    const Resolved r = Resolve(props, scope);
    BlockScope s;
    s.db = scope.db;
    s.host = scope.host;
    s.color = r.color;
    s.lineweight = r.lineweight;
    s.linetype = r.linetype;
    s.layer = r.layer;
    s.layerDb = r.layerDb;
    s.xrefName = scope.xrefName;
    s.layerHidden = r.floating ? scope.layerHidden : (r.layer && (!r.layer->on || !r.layer->plot));
    return s;
}

const plotstyle::Pen& RenderContext::PenFor(const Resolved& r) {
    return PenFor(r, r.color);
}

const plotstyle::Pen& RenderContext::PenFor(const Resolved& r, db::Color color) {
    color = Drawable(color);
    const bool trueColor = color.kind == db::Color::Kind::True;
    const std::uint64_t key = (std::uint64_t{static_cast<std::uint16_t>(color.index)} << 48) |
                              (std::uint64_t{trueColor} << 47) |
                              (std::uint64_t{trueColor ? color.rgb & 0xFFFFFFu : 0u} << 16) |
                              std::uint64_t{static_cast<std::uint16_t>(r.lineweight)};
    if (const auto it = pens_.find(key); it != pens_.end()) {
        return it->second;
    }
    plotstyle::ObjectProperties o;
    if (trueColor) {
        const plotstyle::Rgb rgb{static_cast<std::uint8_t>((color.rgb >> 16) & 0xFF),
                                 static_cast<std::uint8_t>((color.rgb >> 8) & 0xFF),
                                 static_cast<std::uint8_t>(color.rgb & 0xFF)};
        o.trueColor = rgb;
        o.aci = color.index >= 1 && color.index <= 255 ? color.index : plotstyle::NearestAci(rgb);
    } else {
        o.aci = color.index >= 1 && color.index <= 255 ? color.index : 7;
    }
    o.lineweight = r.lineweight / 100.0;
    plotstyle::Pen pen = table_ ? table_->PenFor(o) : plotstyle::ObjectPen(o);
    // Scaled with the plot when asked, whether the object or its plot style gave it.
    pen.lineweight = plotLineweights_ ? pen.lineweight * lineweightScale_ : 0.0;
    return pens_.emplace(key, std::move(pen)).first->second;
}

void RenderContext::SetLineweightScale(double scale) {
    lineweightScale_ = scale > 0 && std::isfinite(scale) ? scale : 1.0;
    pens_.clear();
}

void RenderContext::SetViewportFrozen(const std::vector<db::LayerId>& layers) {
    frozenInViewport_.assign(db_.layers.size(), false);
    for (db::LayerId id : layers) {
        if (id < frozenInViewport_.size()) {
            frozenInViewport_[id] = true;
        }
    }
}

void RenderContext::ClearViewportFrozen() {
    frozenInViewport_.clear();
}

}  // namespace vx::engine::render
