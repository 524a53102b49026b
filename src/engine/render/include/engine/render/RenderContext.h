// The render context: what an entity looks like on paper, from its own properties, its
// layer, the block references it is seen through and the plot style table.
//
// - Colour: ByLayer takes the layer's colour, ByBlock the colour of the block reference
//   the entity is drawn through (white/black at the top level); index 7 plots black on
//   white paper; true colours stay true colours.
// - Lineweight: ByLayer the layer's, ByBlock the reference's, Default (and a layer's
//   Default) the drawing's $LWDEFAULT, 0.25 mm when it has none.
// - Linetype: ByLayer the layer's, ByBlock the reference's; CONTINUOUS and missing
//   linetypes draw solid.
// - Layers: entities on layer "0" inside a block take the layer of the reference (colour,
//   linetype, lineweight and visibility float with it). Off, frozen and no-plot layers hide
//   their entities; a block reference on a frozen layer hides the whole block, one on an
//   off layer only what floats with it. A viewport may freeze layers of its own.
// - Pens: through the plot style table (by colour or by style name), or the object's own.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/db/Database.h"
#include "engine/plotstyle/Pen.h"
#include "engine/plotstyle/PlotStyleTable.h"

namespace vx::engine::render {

// What a block reference hands on to the entities of its block.
struct BlockScope {
    const db::Database* db = nullptr;  // whose tables the entities refer to
    db::Color color = db::Color::FromIndex(7);
    std::int16_t lineweight = db::kLineweightDefault;
    const db::Linetype* linetype = nullptr;
    // The reference's layer, taken by the block's entities on layer "0"; null at the top.
    const db::Layer* layer = nullptr;
    const db::Database* layerDb = nullptr;  // the database `layer` belongs to
    // True inside a block whose reference lies on an off or no-plot layer: what floats
    // with that layer is hidden.
    bool layerHidden = false;
    // The host drawing (not an external reference's).
    bool host = true;
    // Inside an external reference: its block's name in the host, whose layers
    // "<name>|<layer>" carry the host's settings for the reference's layers.
    std::string_view xrefName;
};

// An entity's properties as it is drawn.
struct Resolved {
    const db::Layer* layer = nullptr;        // the layer that governs it
    const db::Database* layerDb = nullptr;   // the database `layer` belongs to
    bool floating = false;                   // the reference's layer, taken on layer "0"
    db::Color color{};                       // Index or True
    std::int16_t lineweight = 25;            // hundredths of a millimetre, >= 0
    const db::Linetype* linetype = nullptr;  // null: solid
};

enum class Visibility {
    Shown,
    Hidden,  // off, no-plot or (for what floats) the reference's layer hidden
    Frozen,  // frozen, or frozen in the current viewport: block references hide entirely
};

class RenderContext {
public:
    RenderContext(const db::Database& db, const plotstyle::PlotStyleTable* table,
                  bool plotLineweights, double lineweightScale);

    // The scope of the layout's own entities.
    BlockScope TopScope() const;

    Visibility Check(const db::EntityProps& props, const BlockScope& scope) const;
    Resolved Resolve(const db::EntityProps& props, const BlockScope& scope) const;
    // The scope a block reference with these properties gives its block.
    BlockScope Enter(const db::EntityProps& props, const BlockScope& scope) const;

    // The pen for resolved properties (cached: pens are looked up once per combination).
    const plotstyle::Pen& PenFor(const Resolved& r);
    // The same with another colour (inline MTEXT colours).
    const plotstyle::Pen& PenFor(const Resolved& r, db::Color color);

    // Lineweights times this on paper (a plot that scales lineweights with its scale).
    void SetLineweightScale(double scale);

    // Layers frozen in the viewport being drawn (ids of the host drawing); empty outside
    // viewports.
    void SetViewportFrozen(const std::vector<db::LayerId>& layers);
    void ClearViewportFrozen();

    // The drawing's default lineweight, hundredths of a millimetre.
    std::int16_t DefaultLineweight() const { return defaultLineweight_; }

private:
    struct LayerRef {
        const db::Layer* layer;
        const db::Database* owner;
        bool floating;  // taken from the reference for an entity on layer "0"
    };
    LayerRef LayerOf(const db::EntityProps& props, const BlockScope& scope) const;
    bool IsLayerZero(const db::Database& d, db::LayerId id) const;

    const db::Database& db_;
    const plotstyle::PlotStyleTable* table_;
    bool plotLineweights_;
    double lineweightScale_;
    std::int16_t defaultLineweight_ = 25;
    std::vector<bool> frozenInViewport_;
    std::unordered_map<std::uint64_t, plotstyle::Pen> pens_;
    // External-reference layers to the host's "<reference>|<layer>" entries (or null).
    mutable std::map<std::pair<const db::Database*, db::LayerId>, const db::Layer*> xrefLayers_;
};

}  // namespace vx::engine::render
