// The frontend's end of the output: primitives in paper millimetres go to the sink, those
// wholly outside the visible part of the page (the sheet, or the viewport being drawn) are
// dropped, and what was sent is counted so that the report can say which entities drew
// and which left ink. Every primitive offered counts against the page's budget, those sent
// once more by their size on the visible page, and their points against its bytes.
//
// Without a sink the writer measures instead: the whole plane is visible, nothing is drawn,
// and the box of every primitive, widened by its pen, goes into a LayoutBounds. Offered
// primitives still count against the budget; the size and byte counts of the page do not.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/db/Budget.h"
#include "engine/geom/Path.h"
#include "engine/geom/Polygon.h"
#include "engine/output/PageSink.h"
#include "engine/page/PageGeometry.h"
#include "engine/render/Render.h"

namespace vx::engine::render {

class PageWriter {
public:
    PageWriter(output::PageSink& sink, db::ExpansionBudget& budget);
    // Measures into `bounds`. `paperWidths`: pen widths are millimetres on the paper (else
    // they are in the units of the primitives, as polyline widths always are).
    PageWriter(LayoutBounds& bounds, db::ExpansionBudget& budget, bool paperWidths);

    bool Measuring() const { return bounds_ != nullptr; }
    // While measuring: how far the true shapes may lie outside the primitives offered
    // (chords of curves), and whether pen widths are in the primitives' units for now.
    void SetSlack(double slack) { slack_ = slack; }
    double Slack() const { return slack_; }
    void SetShapeWidths(bool on) { shapeWidths_ = on; }

    // The part of the sheet primitives can show on (the sheet, or a viewport's box on it).
    void SetVisible(const page::Rect& visible) { visible_ = visible; }
    const page::Rect& Visible() const { return visible_; }
    // True when a box on the paper (mm) may show.
    bool MayShow(const page::Rect& box) const;

    void Stroke(const geom::Vec2* points, std::size_t n, bool closed, const plotstyle::Pen& pen);
    void Stroke(const geom::Polygon& points, bool closed, const plotstyle::Pen& pen) {
        Stroke(points.data(), points.size(), closed, pen);
    }
    void Fill(std::vector<geom::Polygon> rings, const plotstyle::Pen& pen);
    void Glyphs(geom::Path outline, const plotstyle::Pen& pen);
    void Picture(const output::Image& image);
    void PushClip(const geom::Polygon& polygon) {
        if (sink_) {
            sink_->PushClip(polygon);
        }
    }
    void PopClip() {
        if (sink_) {
            sink_->PopClip();
        }
    }

    // Running counts of primitives sent and of those that carry ink (a colour other than
    // paper white): compare them before and after an entity.
    std::int64_t Sent() const { return sent_; }
    std::int64_t Inked() const { return inked_; }

    const page::Rect& Sheet() const { return sheet_; }

private:
    bool Accept(const page::Rect& box, const plotstyle::Pen& pen);
    std::int64_t InkCost(const page::Rect& box, bool area) const;
    // Measuring: adds a primitive's box, its pen reaching `reach` widths past it.
    void Measure(const page::Rect& box, const plotstyle::Pen& pen, double reach);

    output::PageSink* sink_ = nullptr;
    LayoutBounds* bounds_ = nullptr;
    bool paperWidths_ = false;
    bool shapeWidths_ = false;
    double slack_ = 0;
    db::ExpansionBudget& budget_;
    page::Rect sheet_;
    page::Rect visible_;
    std::int64_t sent_ = 0;
    std::int64_t inked_ = 0;
};

}  // namespace vx::engine::render
