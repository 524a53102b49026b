// Paper-space layouts: viewports show model space at their scale, clipped to their
// rectangle or clip boundary, with their own frozen layers and twist; the layout's own
// viewport is not drawn; frames follow their layer; linetypes follow PSLTSCALE.
#include <gtest/gtest.h>

#include "RenderTools.h"

using namespace vx::engine;
using namespace vx::testing;

namespace {

// A viewport at paper (cx, cy), w x h, showing model space around (mx, my) at `scale`.
db::Viewport View(double cx, double cy, double w, double h, double mx, double my, double scale,
                  std::int16_t id = 2) {
    return {.center = {cx, cy, 0},
            .width = w,
            .height = h,
            .status = 1,
            .id = id,
            .viewCenter = {mx, my, 0},
            .viewHeight = h / scale};
}

struct ViewportTest : ::testing::Test {
    Drawing w;
    db::LayerId frame = w.Layer("VPORTS", 3);
    db::Entity& AddView(const db::Viewport& v, db::LayerId layer) {
        return w.Add(w.paper, db::EntityType::Viewport, v, Props(layer));
    }
    Plot p;
    std::vector<const RecordingSink::Stroke*> Clipped() {
        p = Draw(w.d, 1);
        return p->Clipped();
    }
};

}  // namespace

TEST_F(ViewportTest, ModelSpaceAtTheViewportsScaleClippedToItsRectangle) {
    w.AddLine(w.model, {50, 50, 0}, {60, 50, 0});
    AddView(View(100, 100, 80, 60, 50, 50, 0.5), frame);
    // The layout's own viewport (id 1) is the paper itself: neither frame nor content.
    AddView(View(210, 148, 420, 297, 210, 148, 1.0, 1), frame);
    const auto inside = Clipped();
    ASSERT_EQ(p->clips.size(), 1u);
    EXPECT_EQ(p->pops, 1);
    EXPECT_EQ(output::BoundsOf(p->clips[0]), (page::Rect{60, 70, 140, 130}));
    ASSERT_EQ(inside.size(), 1u);
    EXPECT_TRUE(Near(inside[0]->points[0], {100, 100}) && Near(inside[0]->points[1], {105, 100}));
    // The frame, on a plotted layer, outside the clip.
    ASSERT_EQ(p->strokes.size(), 2u);
    EXPECT_EQ(p->strokes[0].clipDepth, 0u);
    EXPECT_TRUE(p->strokes[0].closed);
    EXPECT_EQ(p.report.visible, 2);
}

TEST_F(ViewportTest, FrozenLayersPerViewport) {
    const auto trees = w.Layer("TREES");
    w.AddLine(w.model, {0, 0, 0}, {10, 0, 0}, Props(trees));
    w.AddLine(w.model, {0, 5, 0}, {10, 5, 0});
    auto a = View(100, 100, 80, 60, 5, 5, 1);
    a.frozenLayers = {trees};
    AddView(a, frame);
    AddView(View(300, 100, 80, 60, 5, 5, 1, 3), frame);
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
    EXPECT_EQ(Clipped().size(), 1u);
    ASSERT_EQ(p->strokes.size(), 2u);  // the content and the second viewport's frame
    EXPECT_TRUE(p->strokes[1].closed);
    EXPECT_GT(p->strokes[1].points[0].x(), 200);
}

// The twist turns the view; the view centre is given relative to the target; a view from
// below mirrors x.
TEST_F(ViewportTest, TwistTargetAndDirection) {
    w.AddLine(w.model, {1000, 1000, 0}, {1010, 1000, 0});
    auto twisted = View(100, 100, 80, 80, 0, 0, 2);
    twisted.twist = 90;
    auto below = View(300, 100, 80, 80, 0, 0, 1, 3);
    below.viewDirection = {0, 0, -1};
    twisted.viewTarget = below.viewTarget = {1000, 1000, 0};
    AddView(twisted, frame);
    AddView(below, frame);
    const auto inside = Clipped();
    ASSERT_EQ(inside.size(), 2u);
    EXPECT_TRUE(Near(inside[0]->points[0], {100, 100}));
    EXPECT_TRUE(Near(inside[0]->points[1], {100, 120}));  // model +x points up the paper
    EXPECT_TRUE(Near(inside[1]->points[1], {290, 100}));
}

TEST_F(ViewportTest, LinetypesInPaperUnitsWithPsltscale) {
    const auto dashed = w.Linetype("DASHED", {4, -2});
    w.AddLine(w.model, {0, 0, 0}, {100, 0, 0}, Props(0, {}, db::kLineweightByLayer, dashed));
    AddView(View(100, 100, 300, 60, 50, 0, 0.5), frame);
    for (auto [psLtScale, dash] : {std::pair{true, 4.0}, {false, 2.0}}) {
        // As on paper whatever the scale, or in model units scaled with the view.
        w.d.header.psLtScale = psLtScale;
        const auto inside = Clipped();
        ASSERT_FALSE(inside.empty());
        const QPointF d = inside[0]->points[1] - inside[0]->points[0];
        EXPECT_NEAR(std::hypot(d.x(), d.y()), dash, 1e-9);
    }
}

TEST_F(ViewportTest, ClipBoundaryEntityAndCulling) {
    // A circle clips the viewport; model space far outside the view is not drawn at all.
    w.Add(w.paper, db::EntityType::Circle, db::Circle{{100, 100, 0}, 30, 0}, Props(frame))
        .props.handle = 0x99;
    auto v = View(100, 100, 80, 80, 0, 0, 1);
    v.clipBoundary = 0x99;
    AddView(v, frame);
    w.AddLine(w.model, {0, 0, 0}, {5, 0, 0});
    for (int i = 0; i < 100; ++i) {
        w.AddLine(w.model, {5000.0 + i, 5000, 0}, {5001.0 + i, 5000, 0});
    }
    EXPECT_EQ(Clipped().size(), 1u);
    ASSERT_EQ(p->clips.size(), 1u);
    EXPECT_NEAR(output::BoundsOf(p->clips[0]).Width(), 60, 0.01);
    for (QPointF q : p->clips[0]) {
        EXPECT_NEAR(std::hypot(q.x() - 100, q.y() - 100), 30, 1e-6);
    }
    EXPECT_EQ(p.report.visible, 3);    // the circle, the viewport and the one line in view
    EXPECT_LT(p.report.entities, 50);  // the far lines were culled before they were visited
}
