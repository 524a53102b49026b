#include "engine/render/Render.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "engine/Strings.h"
#include "engine/fonts/FontResolver.h"
#include "engine/render/Frontend.h"

namespace vx::engine::render {

bool IsModelerType(std::string_view typeName) {
    const std::string t = Upper(typeName);
    return t == "3DSOLID" || t == "REGION" || t == "BODY";
}

std::vector<std::string> NotDrawnNotes(const RenderReport& report) {
    std::vector<std::string> notes;
    for (const auto& [type, count] : report.notDrawn) {
        if (!IsModelerType(type)) {
            notes.push_back(std::to_string(count) + " " + type + " not drawn");
        } else {
            notes.push_back(std::to_string(count) + " " + type +
                            (count == 1 ? " entity is" : " entities are") +
                            " not drawn: the shape is stored as solid-modeler (ACIS) data, "
                            "which this program does not evaluate.");
        }
    }
    return notes;
}

namespace {

page::Rect Grown(const page::Rect& r, double by) {
    return {r.xmin - by, r.ymin - by, r.xmax + by, r.ymax + by};
}

}  // namespace

void LayoutBounds::Include(const page::Rect& r) {
    if (r.IsFinite()) {
        box.Include(r);
    }
}

void LayoutBounds::IncludeLines(const page::Rect& lines, double reachMm) {
    if (!lines.IsFinite() || lines.IsEmpty()) {
        return;
    }
    box.Include(lines);
    if (!(reachMm > 0) || !std::isfinite(reachMm)) {
        return;
    }
    for (Width& w : widths) {
        if (w.reachMm == reachMm) {
            w.lines.Include(lines);
            return;
        }
    }
    if (widths.size() < kMaxWidths) {
        widths.push_back({reachMm, lines});
        return;
    }
    // Too many widths: the widest takes these lines, and reaches as far as the widest of both.
    Width& widest =
        *std::max_element(widths.begin(), widths.end(),
                          [](const Width& a, const Width& b) { return a.reachMm < b.reachMm; });
    widest.reachMm = std::max(widest.reachMm, reachMm);
    widest.lines.Include(lines);
}

page::Rect LayoutBounds::At(double mmPerUnit) const {
    page::Rect r = box;
    if (mmPerUnit > 0 && std::isfinite(mmPerUnit)) {
        for (const Width& w : widths) {
            r.Include(Grown(w.lines, w.reachMm / mmPerUnit));
        }
    }
    return r;
}

LayoutBounds MeasureLayout(const db::Database& db, std::uint32_t layout,
                           const RenderOptions& options) {
    LayoutBounds bounds;
    RenderReport report;
    Frontend frontend(db, options, bounds, report);
    // Drawing units are measured as they are: the frontend's millimetres are drawing units.
    frontend.DrawLayout(layout, page::Affine{});
    return bounds;
}

page::Placement PlaceBounds(const LayoutBounds& bounds, page::PlacementRequest request) {
    // A fitted plot's scale shrinks as the paper widths widen the area, which widens it a
    // little more: a few rounds settle it, the last area taken at the scale it gives.
    request.plotArea = bounds.box;
    page::Placement placed = page::PlacePage(request);
    for (int round = 0; round < 8 && !bounds.widths.empty(); ++round) {
        const page::Rect area = bounds.At(placed.mmPerDrawingUnit);
        if (area == request.plotArea) {
            break;
        }
        request.plotArea = area;
        placed = page::PlacePage(request);
    }
    return placed;
}

RenderReport RenderLayout(const db::Database& db, std::uint32_t layout,
                          const page::Affine& drawingToPaper, const RenderOptions& options,
                          output::PageSink& sink) {
    RenderReport report;
    const std::size_t before = options.fonts ? options.fonts->Substitutions().size() : 0;
    std::vector<std::string> asked, used;
    {
        Frontend frontend(db, options, sink, report);
        frontend.DrawLayout(layout, drawingToPaper);
        frontend.FontNames(asked, used);
    }
    for (const auto& [type, count] : report.notDrawn) {
        if (IsModelerType(type)) {
            report.modelerNotDrawn += count;
        }
    }
    if (options.fonts) {
        // The resolver reports each substitution once over its life: name those of the
        // fonts this layout used, whenever they were first made.
        for (std::string& n : asked) {
            n = Lower(n);
        }
        for (std::string& n : used) {
            n = " in " + Lower(n);
        }
        const auto& subs = options.fonts->Substitutions();
        for (std::size_t i = 0; i < subs.size(); ++i) {
            const fonts::Substitution& s = subs[i];
            const std::string a = Lower(s.asked);
            const bool ours =
                i >= before || std::find(asked.begin(), asked.end(), a) != asked.end() ||
                std::any_of(used.begin(), used.end(), [&](const std::string& u) {
                    return a.size() >= u.size() && a.compare(a.size() - u.size(), u.size(), u) == 0;
                });
            if (ours) {
                report.substitutions.push_back(s.asked + " drawn with " + s.used + ": " + s.reason);
            }
        }
    }
    return report;
}

}  // namespace vx::engine::render
