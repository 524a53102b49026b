// Helpers for the renderer's tests: a page sink that records every primitive, and a small
// builder of drawing databases so that each test states the drawing it renders.
#pragma once

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/db/Database.h"
#include "engine/geom/Path.h"
#include "engine/geom/Polygon.h"
#include "engine/output/PageSink.h"
#include "engine/output/QtGeometry.h"
#include "engine/page/PageGeometry.h"
#include "engine/render/Render.h"

namespace vx::testing {

using namespace vx::engine;

// Records what the frontend sends, in paper millimetres, with the clip depth at the time.
class RecordingSink : public output::PageSink {
public:
    explicit RecordingSink(output::PageFormat format = {420, 297}) : PageSink(format) {}

    struct Stroke {
        geom::Polygon points;
        bool closed;
        output::Pen pen;
        std::size_t clipDepth;
    };
    struct Fill {
        std::vector<geom::Polygon> rings;
        output::Pen pen;
    };
    std::vector<Stroke> strokes;
    std::vector<Fill> fills;
    std::vector<geom::Path> glyphs;
    std::vector<output::Image> images;
    std::vector<geom::Polygon> clips;
    int pops = 0;

    page::Rect Bounds() const {
        page::Rect r = page::Rect::Empty();
        for (const auto& s : strokes) {
            r.Include(geom::BoundsOf(s.points));
        }
        for (const auto& f : fills) {
            for (const auto& ring : f.rings) {
                r.Include(geom::BoundsOf(ring));
            }
        }
        for (const auto& g : glyphs) {
            const QRectF b = output::ToQt(g).boundingRect();
            r.Include(page::Rect{b.left(), b.top(), b.right(), b.bottom()});
        }
        return r;
    }
    // Lengths of the strokes in order, to the micrometre.
    std::vector<double> Lengths() const {
        std::vector<double> out;
        for (const auto& s : strokes) {
            double len = 0;
            for (std::size_t i = 1; i < s.points.size(); ++i) {
                len += geom::Length(s.points[i] - s.points[i - 1]);
            }
            out.push_back(std::round(len * 1e6) / 1e6);
        }
        return out;
    }

protected:
    void DrawPolyline(const output::Polyline& p) override {
        strokes.push_back({p.points, p.closed, p.pen, Clips().size()});
    }
    void DrawArea(const output::FilledArea& a) override { fills.push_back({a.rings, a.pen}); }
    void DrawImage(const output::Image& i) override { images.push_back(i); }
    void DrawGlyphs(const output::GlyphRun& g) override { glyphs.push_back(g.outline); }
    void BeginClip(const geom::Polygon& p) override { clips.push_back(p); }
    void EndClip() override { ++pops; }
    void Commit() override {}
    void Discard() override {}
    std::int64_t BytesWritten() const override { return 0; }
};

// A drawing built in code: layer "0", linetype CONTINUOUS, model space, one paper space
// with its layout "Layout1".
struct Drawing {
    db::Database d;
    db::BlockId model = 0, paper = 1;

    Drawing() {
        d.layers.push_back(db::Layer{.name = "0", .color = db::Color::FromIndex(7)});
        d.linetypes.push_back(db::Linetype{.name = "CONTINUOUS"});
        d.blocks = {db::Block{.name = "*Model_Space"}, db::Block{.name = "*Paper_Space"}};
        d.modelSpace = 0;
        d.activePaperSpace = 1;
        d.layouts = {db::Layout{.name = "Model", .block = 0},
                     db::Layout{.name = "Layout1", .block = 1}};
        d.RebuildIndexes();
    }
    template <class T>
    std::uint32_t Push(std::vector<T>& table, T entry) {
        table.push_back(std::move(entry));
        d.RebuildIndexes();
        return static_cast<std::uint32_t>(table.size() - 1);
    }
    db::LayerId Layer(const std::string& name, int aci = 7, std::int16_t lineweight = -3) {
        return Push(
            d.layers,
            db::Layer{.name = name, .color = db::Color::FromIndex(aci), .lineweight = lineweight});
    }
    db::Layer& LayerAt(db::LayerId id) { return d.layers[id]; }
    db::LinetypeId Linetype(const std::string& name, std::vector<double> lengths) {
        db::Linetype lt{.name = name};
        for (double v : lengths) {
            lt.elements.push_back(db::LinetypeElement{.length = v});
            lt.patternLength += std::abs(v);
        }
        return Push(d.linetypes, lt);
    }
    db::BlockId Block(const std::string& name, db::Vec3 base = {}) {
        return Push(d.blocks, db::Block{.name = name, .base = base});
    }
    template <class T>
    db::Entity& Add(db::BlockId block, db::EntityType type, T geometry,
                    db::EntityProps props = {}) {
        db::Entity e;
        e.props = props;
        e.Set(type, std::move(geometry));
        d.blocks[block].entities.push_back(std::move(e));
        return d.blocks[block].entities.back();
    }
    db::Entity& AddLine(db::BlockId block, db::Vec3 a, db::Vec3 b, db::EntityProps props = {}) {
        return Add(block, db::EntityType::Line, db::Line{a, b, 0}, props);
    }
    db::Entity& AddInsert(db::BlockId block, db::BlockId target, db::Vec3 at,
                          db::EntityProps props = {}, db::Vec3 scale = {1, 1, 1},
                          double rotation = 0) {
        return Add(block, db::EntityType::Insert,
                   db::Insert{.blockName = d.blocks[target].name,
                              .block = target,
                              .position = at,
                              .scale = scale,
                              .rotation = rotation},
                   props);
    }
};

inline db::EntityProps Props(db::LayerId layer = 0, db::Color color = {},
                             std::int16_t lineweight = db::kLineweightByLayer,
                             db::LinetypeId linetype = db::kByLayer) {
    return {.layer = layer, .linetype = linetype, .color = color, .lineweight = lineweight};
}

inline db::Color Aci(int i) {
    return db::Color::FromIndex(i);
}

// A layout rendered into a recording sink (1 drawing unit = 1 mm by default), with its report.
struct Plot {
    std::unique_ptr<RecordingSink> sink;
    render::RenderReport report;
    RecordingSink* operator->() const { return sink.get(); }
};

inline Plot Draw(const db::Database& d, std::uint32_t layout = 0,
                 render::RenderOptions options = {}, page::Affine map = {}) {
    Plot p{std::make_unique<RecordingSink>(), {}};
    p.report = render::RenderLayout(d, layout, map, options, *p.sink);
    return p;
}

inline bool Near(geom::Vec2 a, geom::Vec2 b, double tol = 1e-6) {
    return std::abs(a.x - b.x) <= tol && std::abs(a.y - b.y) <= tol;
}

inline bool Near(const page::Rect& a, const page::Rect& b, double tol = 1e-6) {
    using geom::Vec2;
    return Near(Vec2{a.xmin, a.ymin}, Vec2{b.xmin, b.ymin}, tol) &&
           Near(Vec2{a.xmax, a.ymax}, Vec2{b.xmax, b.ymax}, tol);
}

inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace vx::testing
