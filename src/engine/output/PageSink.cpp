#include "engine/output/PageSink.h"

#include <string>

#include "engine/geom/Dashes.h"
#include "engine/output/PaperGeometry.h"

namespace vx::engine::output {

PageSink::PageSink(PageFormat format, std::int64_t maxBytes)
    : format_(format), maxBytes_(maxBytes) {}

PageSink::~PageSink() = default;

void PageSink::Draw(const Polyline& polyline) {
    if (!open_) {
        return;
    }
    ++stats_.primitives;
    if (polyline.points.empty()) {
        return;
    }
    if (polyline.pen.dashes.empty()) {
        DrawPolyline(polyline);
        return;
    }
    Polyline dash;
    dash.pen = polyline.pen;
    dash.pen.dashes.clear();
    for (Polygon& piece : geom::ApplyDashes(polyline.points, polyline.closed, polyline.pen.dashes,
                                            polyline.pen.adaptiveDashes)) {
        dash.points = std::move(piece);
        DrawPolyline(dash);
    }
}

void PageSink::Draw(const FilledArea& area) {
    if (!open_) {
        return;
    }
    ++stats_.primitives;
    if (area.rings.empty()) {
        return;
    }
    if (area.pen.fill == plotstyle::FillStyle::Solid) {
        DrawArea(area);
        return;
    }
    FilledArea part;
    part.pen = area.pen;
    part.pen.fill = plotstyle::FillStyle::Solid;
    for (auto& shapes : FillPatternShapes(area.rings, area.pen.fill, VisibleBounds())) {
        part.rings = std::move(shapes);
        DrawArea(part);
    }
}

void PageSink::Draw(const Image& image) {
    if (!open_) {
        return;
    }
    ++stats_.primitives;
    if (!image.image.isNull()) {
        DrawImage(image);
    }
}

void PageSink::Draw(const GlyphRun& glyphs) {
    if (!open_) {
        return;
    }
    ++stats_.primitives;
    if (!glyphs.outline.Empty()) {
        DrawGlyphs(glyphs);
    }
}

void PageSink::PushClip(const Polygon& polygon) {
    if (!open_) {
        return;
    }
    clips_.push_back(polygon);
    BeginClip(polygon);
}

void PageSink::PopClip() {
    if (!open_ || clips_.empty()) {
        return;
    }
    clips_.pop_back();
    EndClip();
}

page::Rect PageSink::VisibleBounds() const {
    page::Rect visible = Sheet();
    for (const Polygon& clip : clips_) {
        const page::Rect c = geom::BoundsOf(clip);
        visible = {std::max(visible.xmin, c.xmin), std::max(visible.ymin, c.ymin),
                   std::min(visible.xmax, c.xmax), std::min(visible.ymax, c.ymax)};
        if (visible.IsEmpty()) {
            return page::Rect::Empty();
        }
    }
    return visible;
}

void PageSink::NoteInk(const page::Rect& bounds, plotstyle::Rgb color) {
    if (bounds.IsEmpty() || color == plotstyle::kWhite) {
        return;
    }
    ++stats_.inkedPrimitives;
    stats_.inkBounds.Include(bounds);
}

void PageSink::Note(const QString& text) {
    if (!stats_.notes.contains(text)) {
        stats_.notes.push_back(text);
    }
}

void PageSink::Close() {
    open_ = false;
}

PlotStats PageSink::Finish(const FinishRules& rules) {
    if (!open_) {
        throw OutputError("The plot was already finished or abandoned.");
    }
    Close();
    try {
        while (!clips_.empty()) {
            clips_.pop_back();
            EndClip();
        }
        EndPage();
        stats_.bytesWritten = BytesWritten();
        if (stats_.bytesWritten > maxBytes_) {
            throw OutputError("The plot is too large: its page would take more than " +
                              std::to_string(maxBytes_ / (1024 * 1024)) +
                              " MB, far more than a drawing of this page needs.");
        }
        if (rules.requireInk && stats_.inkedPrimitives == 0) {
            throw OutputError(
                "The plot came out blank: the plotted area holds visible objects, but nothing "
                "was drawn on the paper.");
        }
        Commit();
    } catch (...) {
        Discard();
        throw;
    }
    return stats_;
}

void PageSink::Abort() {
    if (!open_) {
        return;
    }
    Close();
    Discard();
}

}  // namespace vx::engine::output
