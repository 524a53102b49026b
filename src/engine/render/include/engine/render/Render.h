// The renderer: one layout of a drawing turned into primitives on a page.
//
// It is split as renderers of the field are: a render context resolves each entity's
// effective properties (ByLayer and ByBlock colour, linetype and lineweight through nested
// block references, layer on/off/frozen/no-plot, frozen layers per viewport, the plot style
// table); a frontend turns every entity type of the drawing database into primitives
// (polylines, filled areas, glyph outlines or stroke-font polylines, images) in paper
// millimetres; the output back end behind the PageSink draws them and knows nothing of
// drawings.
//
//   page::Placement placement = page::PlacePage(request);
//   render::RenderOptions options;
//   options.plotStyles = table;          // or null: the objects' own colours
//   options.fonts = &fonts;
//   render::RenderReport report =
//       render::RenderLayout(db, layoutIndex, placement.drawingToPaper, options, *sink);
//   sink->Finish({.requireInk = report.visible > 0});
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/Budget.h"
#include "engine/db/Database.h"
#include "engine/output/PageSink.h"
#include "engine/page/PageGeometry.h"
#include "engine/page/PagePlacement.h"

namespace vx::engine::plotstyle {
class PlotStyleTable;
}
namespace vx::engine::fonts {
class FontResolver;
}

namespace vx::engine::render {

struct RenderOptions {
    // The plot style table to apply, or null to plot with the objects' own properties.
    const plotstyle::PlotStyleTable* plotStyles = nullptr;
    // Plot lineweights (otherwise every line is drawn thin).
    bool plotLineweights = true;
    // Scale lineweights with the plot scale (a layout's setting): every lineweight times
    // the paper millimetres one drawing unit becomes.
    bool scaleLineweights = false;
    // Fonts for text; the resolver logs every substitution. Without one, text is not drawn
    // (and reported). A resolver is not thread-safe: give each rendering thread its own.
    fonts::FontResolver* fonts = nullptr;
    // The drawing's folder: raster images, underlay files and their relative paths are
    // looked for there.
    std::filesystem::path drawingFolder;
    // Pages of PDF underlays become images of this many dots per inch of paper (fewer when
    // a page would pass the pixel budget of one underlay).
    double underlayDpi = 300;
    // Largest distance of a drawn chord from its true curve, in paper millimetres.
    double curveTolerance = 0.01;
    // Draw the frames of paper-space viewports that lie on plotted layers.
    bool viewportBorders = true;
    // The plot area on the paper (page::Placement::plotted): construction lines (XLINE,
    // RAY) end at its edges. Empty: they run to the edges of the page.
    page::Rect plotArea = page::Rect::Empty();
    // The page's budgets: primitives (entity visits through blocks and arrays count too)
    // and bytes of what is sent to the sink. Passing either ends the rendering with
    // db::ExpansionError.
    std::int64_t maxPrimitives = db::kMaxPagePrimitives;
    std::int64_t maxPageBytes = db::kMaxPageBytes;
};

struct RenderReport {
    std::int64_t entities = 0;  // entities visited, through blocks too
    std::int64_t drawn = 0;     // entities that produced primitives
    // Entities that ought to leave ink on the page: a plot of them that comes out
    // blank has failed.
    std::int64_t visible = 0;
    // Entities not drawn, by DXF type name (unknown or not plottable types).
    std::map<std::string, std::int64_t> notDrawn;
    // Of those, the solids, regions and bodies.
    std::int64_t modelerNotDrawn = 0;
    std::vector<std::string> warnings;
    // Font substitutions made for this layout ("romans.shx" drawn with romans.lff, ...).
    std::vector<std::string> substitutions;
};

// Whether entities of the type hold their shape as solid-modeler data (3DSOLID, REGION,
// BODY), which the renderer does not evaluate.
bool IsModelerType(std::string_view typeName);

// A note for each type of entity the rendering did not draw ("2 TOLERANCE not drawn"); those
// of solids, regions and bodies say why.
std::vector<std::string> NotDrawnNotes(const RenderReport& report);

// Draws layout `layout` of `db` (index into db.layouts: 0 is model space) onto `sink`,
// drawing units mapped to paper millimetres by `drawingToPaper`. Paper-space layouts draw
// their own entities and, through each viewport, model space clipped to the viewport.
//
// The renderer keeps no global mutable state: two drawings may be rendered on two threads
// at once, each with its own sink and its own font resolver (a database may be shared, it
// is only read). Throws db::ExpansionError when the page passes its budgets.
RenderReport RenderLayout(const db::Database& db, std::uint32_t layout,
                          const page::Affine& drawingToPaper, const RenderOptions& options,
                          output::PageSink& sink);

// What a layout covers when it is drawn, in drawing units: measured by drawing it, so it holds
// text as laid out with its font, polyline widths, dimension text and arrows, hatch
// boundaries, and lines as wide as they are plotted. Lines whose plotted width is fixed on
// the paper (lineweights in millimetres) reach past their centre lines by a distance in
// drawing units that depends on the plot's scale; they are kept by width and added at the
// scale of the plot.
struct LayoutBounds {
    // At most this many distinct paper widths are kept; the rest join the widest.
    static constexpr std::size_t kMaxWidths = 32;
    struct Width {
        double reachMm = 0;  // how far the ink reaches past the centre line on paper
        page::Rect lines;    // the centre lines drawn with that reach
    };
    // Everything whose size goes with the drawing, including the centre lines of `widths`.
    page::Rect box = page::Rect::Empty();
    std::vector<Width> widths;

    bool IsEmpty() const { return box.IsEmpty(); }
    // Adds the box of ink whose size goes with the drawing.
    void Include(const page::Rect& r);
    // Adds centre lines whose ink reaches `reachMm` past them on the paper.
    void IncludeLines(const page::Rect& lines, double reachMm);
    // The covered box for a plot at `mmPerUnit` paper millimetres per drawing unit.
    page::Rect At(double mmPerUnit) const;
};

// Measures layout `layout` of `db` by drawing it without a page: every entity a plot would
// draw, with `options`' plot styles, lineweight settings and fonts, and the same budgets (a
// hostile drawing throws db::ExpansionError here as it would when plotted). Construction
// lines, which are endless, are left out; a paper-space viewport counts by its outline, as
// what it shows is clipped to it.
LayoutBounds MeasureLayout(const db::Database& db, std::uint32_t layout,
                           const RenderOptions& options);

// Places `bounds` on the paper as `request` says (its plot area is replaced): the plot
// area is the bounds at the scale the placement comes to, so that fixed paper widths fit
// too when the plot is scaled to fit.
page::Placement PlaceBounds(const LayoutBounds& bounds, page::PlacementRequest request);

}  // namespace vx::engine::render
