// The frontend: every entity type of the drawing database turned into primitives on the
// page, through block references, external references and paper-space viewports.
//
// Geometry goes from the entity's coordinates (its OCS for planar entities) through the
// transforms of the block references it is seen through, a viewport's view and the page
// placement to paper millimetres; curves are tessellated there to a tolerance in paper
// millimetres. The render context gives each entity its pen; linetypes are laid along the
// geometry on the paper; text is laid out by TextLayout and hatches by Hatching.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/db/Database.h"
#include "engine/output/PageSink.h"
#include "engine/page/PageGeometry.h"
#include "engine/render/Render.h"

namespace vx::engine::render {

class Frontend {
public:
    Frontend(const db::Database& db, const RenderOptions& options, output::PageSink& sink,
             RenderReport& report);
    // Measures instead of drawing: what would be drawn goes into `bounds`, in the units
    // the layout is drawn in (DrawLayout's map to "paper" is then a map to those units).
    Frontend(const db::Database& db, const RenderOptions& options, LayoutBounds& bounds,
             RenderReport& report);
    ~Frontend();
    Frontend(const Frontend&) = delete;
    Frontend& operator=(const Frontend&) = delete;

    // Draws one layout (model space or a paper space with its viewports).
    void DrawLayout(std::uint32_t layout, const page::Affine& drawingToPaper);
    // The font names text asked for and the fonts drawn for them (lower case not implied).
    void FontNames(std::vector<std::string>& asked, std::vector<std::string>& used) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vx::engine::render
