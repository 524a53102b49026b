#include "engine/render/Render.h"

#include <algorithm>
#include <cctype>

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
