// Paper-space layouts: viewports show model space at their scale, clipped to their
// rectangle or clip boundary, with their own frozen layers and twist; the layout's own
// viewport is not drawn; frames follow their layer; linetypes follow PSLTSCALE.
#include <gtest/gtest.h>

#include <numbers>

#include "RenderTools.h"

using namespace vx::engine;
using vx::testing::Drawing;
using vx::testing::Near;
using vx::testing::Props;
using vx::testing::RecordingSink;
using vx::testing::Render;

namespace {

// A viewport at paper (cx, cy), w x h, showing model space around (mx, my) at `scale`.
db::Viewport View(double cx, double cy, double w, double h, double mx, double my, double scale,
                  std::int16_t id = 2) {
    db::Viewport v;
    v.center = {cx, cy, 0};
    v.width = w;
    v.height = h;
    v.status = 1;
    v.id = id;
    v.viewCenter = {mx, my, 0};
    v.viewHeight = h / scale;
    return v;
}

struct ViewportTest : ::testing::Test {
    Drawing w;
    db::LayerId frame = w.Layer("VPORTS", 3);
    db::Entity& AddView(const db::Viewport& v, db::LayerId layer) {
        return w.Add(w.paper, db::EntityType::Viewport, v, Props(layer));
    }
    RecordingSink sink;
    render::RenderReport Draw() { return Render(w.d, sink, 1); }
    // Strokes drawn inside a clip (model space seen through a viewport).
    std::vector<const RecordingSink::Stroke*> Clipped() const {
        std::vector<const RecordingSink::Stroke*> out;
        for (const auto& s : sink.strokes) {
            if (s.clipDepth > 0) {
                out.push_back(&s);
            }
        }
        return out;
    }
};

}  // namespace

TEST_F(ViewportTest, ModelSpaceAtTheViewportsScaleClippedToItsRectangle) {
    w.AddLine(w.model, {50, 50, 0}, {60, 50, 0});
    AddView(View(100, 100, 80, 60, 50, 50, 0.5), frame);
    // The layout's own viewport (id 1) is the paper itself: neither frame nor content.
    AddView(View(210, 148, 420, 297, 210, 148, 1.0, 1), frame);
    const auto report = Draw();
    ASSERT_EQ(sink.clips.size(), 1u);
    EXPECT_EQ(sink.pops, 1);
    const auto clip = output::BoundsOf(sink.clips[0]);
    EXPECT_EQ(clip, (page::Rect{60, 70, 140, 130}));
    const auto inside = Clipped();
    ASSERT_EQ(inside.size(), 1u);
    EXPECT_TRUE(Near(inside[0]->points[0], {100, 100}));
    EXPECT_TRUE(Near(inside[0]->points[1], {105, 100}));
    // The frame, on a plotted layer, outside the clip.
    ASSERT_EQ(sink.strokes.size(), 2u);
    EXPECT_EQ(sink.strokes[0].clipDepth, 0u);
    EXPECT_TRUE(sink.strokes[0].closed);
    EXPECT_EQ(report.visible, 2);
}

TEST_F(ViewportTest, FrozenLayersPerViewport) {
    const auto trees = w.Layer("TREES");
    w.AddLine(w.model, {0, 0, 0}, {10, 0, 0}, Props(trees));
    w.AddLine(w.model, {0, 5, 0}, {10, 5, 0});
    auto a = View(100, 100, 80, 60, 5, 5, 1);
    a.frozenLayers = {trees};
    AddView(a, frame);
    AddView(View(300, 100, 80, 60, 5, 5, 1, 3), frame);
    Draw();
    const auto inside = Clipped();
    ASSERT_EQ(inside.size(), 3u);  // one line in the first viewport, two in the second
    EXPECT_GT(inside[1]->points[0].x(), 200);
}

TEST_F(ViewportTest, FramesFollowTheirLayerContentDoesNot) {
    w.LayerAt(frame).plot = false;
    w.AddLine(w.model, {0, 0, 0}, {10, 0, 0});
    AddView(View(100, 100, 80, 60, 5, 0, 1), frame);
    auto off = View(300, 100, 80, 60, 5, 0, 1, 3);
    off.status = 0;  // switched off: shows nothing
    AddView(off, 0);
    Draw();
    const auto inside = Clipped();
    ASSERT_EQ(inside.size(), 1u);
    ASSERT_EQ(sink.strokes.size(), 2u);  // the content and the second viewport's frame
    EXPECT_TRUE(sink.strokes[1].closed);
    EXPECT_GT(sink.strokes[1].points[0].x(), 200);
}

TEST_F(ViewportTest, TwistTurnsTheView) {
    w.AddLine(w.model, {0, 0, 0}, {10, 0, 0});
    auto v = View(100, 100, 80, 80, 0, 0, 2);
    v.twist = 90;
    AddView(v, frame);
    Draw();
    const auto inside = Clipped();
    ASSERT_EQ(inside.size(), 1u);
    EXPECT_TRUE(Near(inside[0]->points[0], {100, 100}));
    EXPECT_TRUE(Near(inside[0]->points[1], {100, 120}));  // model +x points up the paper
}

TEST_F(ViewportTest, ViewTargetAndDirection) {
    // The view centre is given relative to the target; a view from below mirrors x.
    w.AddLine(w.model, {1000, 1000, 0}, {1010, 1000, 0});
    auto v = View(100, 100, 80, 80, 0, 0, 1);
    v.viewTarget = {1000, 1000, 0};
    AddView(v, frame);
    auto below = View(300, 100, 80, 80, 0, 0, 1, 3);
    below.viewTarget = {1000, 1000, 0};
    below.viewDirection = {0, 0, -1};
    AddView(below, frame);
    Draw();
    const auto inside = Clipped();
    ASSERT_EQ(inside.size(), 2u);
    EXPECT_TRUE(Near(inside[0]->points[1], {110, 100}));
    EXPECT_TRUE(Near(inside[1]->points[1], {290, 100}));
}

TEST_F(ViewportTest, LinetypesInPaperUnitsWithPsltscale) {
    const auto dashed = w.Linetype("DASHED", {4, -2});
    w.AddLine(w.model, {0, 0, 0}, {100, 0, 0}, Props(0, {}, db::kLineweightByLayer, dashed));
    AddView(View(100, 100, 300, 60, 50, 0, 0.5), frame);
    w.d.header.psLtScale = true;
    Draw();
    auto inside = Clipped();
    ASSERT_FALSE(inside.empty());
    const QPointF d1 = inside[0]->points[1] - inside[0]->points[0];
    EXPECT_NEAR(std::hypot(d1.x(), d1.y()), 4, 1e-9);  // as on paper, whatever the scale
    w.d.header.psLtScale = false;
    RecordingSink second;
    Render(w.d, second, 1);
    const auto& line = second.strokes[1];  // after the frame
    ASSERT_EQ(line.clipDepth, 1u);
    const QPointF d2 = line.points[1] - line.points[0];
    EXPECT_NEAR(std::hypot(d2.x(), d2.y()), 2, 1e-9);  // model units, scaled with the view
}

TEST_F(ViewportTest, ClipBoundaryEntityAndCulling) {
    // A circle clips the viewport; model space far outside the view is not drawn at all.
    db::Circle c{{100, 100, 0}, 30, 0};
    auto& circle = w.Add(w.paper, db::EntityType::Circle, c, Props(frame));
    circle.props.handle = 0x99;
    auto v = View(100, 100, 80, 80, 0, 0, 1);
    v.clipBoundary = 0x99;
    AddView(v, frame);
    w.AddLine(w.model, {0, 0, 0}, {5, 0, 0});
    for (int i = 0; i < 100; ++i) {
        w.AddLine(w.model, {5000.0 + i, 5000, 0}, {5001.0 + i, 5000, 0});
    }
    const auto report = Draw();
    ASSERT_EQ(sink.clips.size(), 1u);
    const auto box = output::BoundsOf(sink.clips[0]);
    EXPECT_NEAR(box.Width(), 60, 0.01);
    for (QPointF p : sink.clips[0]) {
        EXPECT_NEAR(std::hypot(p.x() - 100, p.y() - 100), 30, 1e-6);
    }
    EXPECT_EQ(Clipped().size(), 1u);
    EXPECT_EQ(report.visible, 3);    // the circle, the viewport and the one line in view
    EXPECT_LT(report.entities, 50);  // the far lines were culled before they were visited
}
