// Helpers for the renderer's tests: a page sink that records every primitive, and a small
// builder of drawing databases (layers, linetypes, blocks, entities, a paper-space layout)
// so that each test states the drawing it renders.
#pragma once

#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <string>
#include <vector>

#include "engine/db/Database.h"
#include "engine/output/PageSink.h"
#include "engine/page/Geometry.h"
#include "engine/render/Render.h"

namespace vx::testing {

using namespace vx::engine;

// Records what the frontend sends, in paper millimetres, with the clip depth at the time.
class RecordingSink : public output::PageSink {
public:
    explicit RecordingSink(output::PageFormat format = {420, 297}) : PageSink(format) {}

    struct Stroke {
        QPolygonF points;
        bool closed;
        output::Pen pen;
        std::size_t clipDepth;
    };
    struct Fill {
        std::vector<QPolygonF> rings;
        output::Pen pen;
        std::size_t clipDepth;
    };
    struct Glyphs {
        QPainterPath outline;
        output::Pen pen;
    };
    std::vector<Stroke> strokes;
    std::vector<Fill> fills;
    std::vector<Glyphs> glyphs;
    std::vector<output::Image> images;
    std::vector<QPolygonF> clips;  // every clip pushed, in order
    int pops = 0;

    // The box of everything drawn (points of strokes and fills, glyph outlines).
    page::Rect Bounds() const {
        page::Rect r = page::Rect::Empty();
        for (const auto& s : strokes) {
            r.Include(output::BoundsOf(s.points));
        }
        for (const auto& f : fills) {
            for (const auto& ring : f.rings) {
                r.Include(output::BoundsOf(ring));
            }
        }
        for (const auto& g : glyphs) {
            r.Include(output::BoundsOf(g.outline.boundingRect()));
        }
        return r;
    }
    // Total length of all strokes (mm).
    double StrokeLength() const {
        double sum = 0;
        for (const auto& s : strokes) {
            for (qsizetype i = 1; i < s.points.size(); ++i) {
                const QPointF d = s.points[i] - s.points[i - 1];
                sum += std::hypot(d.x(), d.y());
            }
            if (s.closed && s.points.size() > 2) {
                const QPointF d = s.points.front() - s.points.back();
                sum += std::hypot(d.x(), d.y());
            }
        }
        return sum;
    }

protected:
    void DrawPolyline(const output::Polyline& p) override {
        strokes.push_back({p.points, p.closed, p.pen, Clips().size()});
    }
    void DrawArea(const output::FilledArea& a) override {
        fills.push_back({a.rings, a.pen, Clips().size()});
    }
    void DrawImage(const output::Image& i) override { images.push_back(i); }
    void DrawGlyphs(const output::GlyphRun& g) override { glyphs.push_back({g.outline, g.pen}); }
    void BeginClip(const QPolygonF& p) override { clips.push_back(p); }
    void EndClip() override { ++pops; }
    void Commit() override {}
    void Discard() override {}
    std::int64_t BytesWritten() const override { return 0; }
};

// A drawing built in code: layer "0", linetype CONTINUOUS, model space, one paper space
// with its layout "Layout1"; entities are added with their properties.
struct Drawing {
    db::Database d;
    db::BlockId model = 0, paper = 1;

    Drawing() {
        d.layers.push_back(MakeLayer("0", 7));
        db::Linetype cont;
        cont.name = "CONTINUOUS";
        d.linetypes.push_back(cont);
        db::Block m;
        m.name = "*Model_Space";
        db::Block p;
        p.name = "*Paper_Space";
        d.blocks.push_back(m);
        d.blocks.push_back(p);
        d.modelSpace = 0;
        d.activePaperSpace = 1;
        db::Layout lm;
        lm.name = "Model";
        lm.block = 0;
        db::Layout lp;
        lp.name = "Layout1";
        lp.block = 1;
        d.layouts = {lm, lp};
        d.RebuildIndexes();
    }

    static db::Layer MakeLayer(const std::string& name, int aci) {
        db::Layer l;
        l.name = name;
        l.color = db::Color::FromIndex(aci);
        return l;
    }
    db::LayerId Layer(const std::string& name, int aci = 7, std::int16_t lineweight = -3) {
        db::Layer l = MakeLayer(name, aci);
        l.lineweight = lineweight;
        d.layers.push_back(l);
        d.RebuildIndexes();
        return static_cast<db::LayerId>(d.layers.size() - 1);
    }
    db::Layer& LayerAt(db::LayerId id) { return d.layers[id]; }
    db::LinetypeId Linetype(const std::string& name, std::vector<double> lengths) {
        db::Linetype lt;
        lt.name = name;
        for (double v : lengths) {
            db::LinetypeElement e;
            e.length = v;
            lt.elements.push_back(e);
            lt.patternLength += std::abs(v);
        }
        d.linetypes.push_back(lt);
        d.RebuildIndexes();
        return static_cast<db::LinetypeId>(d.linetypes.size() - 1);
    }
    db::BlockId Block(const std::string& name, db::Vec3 base = {}) {
        db::Block b;
        b.name = name;
        b.base = base;
        d.blocks.push_back(b);
        d.RebuildIndexes();
        return static_cast<db::BlockId>(d.blocks.size() - 1);
    }
    db::StyleId Style(const std::string& name, const std::string& font) {
        db::TextStyle s;
        s.name = name;
        s.fontFile = font;
        d.textStyles.push_back(s);
        d.RebuildIndexes();
        return static_cast<db::StyleId>(d.textStyles.size() - 1);
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
        db::Insert i;
        i.block = target;
        i.blockName = d.blocks[target].name;
        i.position = at;
        i.scale = scale;
        i.rotation = rotation;
        return Add(block, db::EntityType::Insert, i, props);
    }
};

inline db::EntityProps Props(db::LayerId layer = 0, db::Color color = {},
                             std::int16_t lineweight = db::kLineweightByLayer,
                             db::LinetypeId linetype = db::kByLayer) {
    db::EntityProps p;
    p.layer = layer;
    p.color = color;
    p.lineweight = lineweight;
    p.linetype = linetype;
    return p;
}

// Renders a layout with 1 drawing unit = 1 mm, origin at the sheet's corner.
inline render::RenderReport Render(const db::Database& d, RecordingSink& sink,
                                   std::uint32_t layout = 0, render::RenderOptions options = {},
                                   page::Affine map = {}) {
    return render::RenderLayout(d, layout, map, options, sink);
}

inline bool Near(QPointF a, QPointF b, double tol = 1e-6) {
    return std::abs(a.x() - b.x()) <= tol && std::abs(a.y() - b.y()) <= tol;
}

}  // namespace vx::testing
