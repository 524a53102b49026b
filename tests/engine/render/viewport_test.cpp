// Paper-space layouts: viewports show model space at their scale, clipped to their
// rectangle or clip boundary, with their own frozen layers; the layout's own
// viewport is not drawn; frames follow their layer.
#include <gtest/gtest.h>

#include "RenderTools.h"

using namespace vx::engine;
using namespace vx::testing;

namespace {

struct ViewportTest : ::testing::Test {
    Drawing w;
    db::LayerId frame = w.Layer("VPORTS", 3);
    Plot p;

    // A viewport at paper (cx, cy), w x h, showing model space around (mx, my) at `scale`.
    db::Viewport& View(double cx, double cy, double wd, double h, double mx, double my,
                       double scale, std::int16_t id = 2, db::LayerId layer = 1) {
        const db::Viewport v{.center = {cx, cy, 0},
                             .width = wd,
                             .height = h,
                             .status = 1,
                             .id = id,
                             .viewCenter = {mx, my, 0},
                             .viewHeight = h / scale};
        return *w.Add(w.paper, db::EntityType::Viewport, v, Props(layer)).As<db::Viewport>();
    }
    std::vector<const RecordingSink::Stroke*> Clipped() {
        p = Draw(w.d, 1);
        std::vector<const RecordingSink::Stroke*> out;  // model space seen through a viewport
        for (const auto& s : p->strokes) {
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
    View(100, 100, 80, 60, 50, 50, 0.5);
    // The layout's own viewport (id 1) is the paper itself: neither frame nor content.
    View(210, 148, 420, 297, 210, 148, 1.0, 1);
    const auto inside = Clipped();
    ASSERT_EQ(p->clips.size(), 1u);
    EXPECT_EQ(p->pops, 1);
    EXPECT_EQ(output::BoundsOf(p->clips[0]), (page::Rect{60, 70, 140, 130}));
    ASSERT_EQ(inside.size(), 1u);
    EXPECT_TRUE(Near(inside[0]->points[0], {100, 100}) && Near(inside[0]->points[1], {105, 100}));
    // The frame, on a plotted layer, outside the clip.
    ASSERT_EQ(p->strokes.size(), 2u);
    EXPECT_TRUE(p->strokes[0].clipDepth == 0 && p->strokes[0].closed);
}

TEST_F(ViewportTest, FrozenLayersPerViewportFramesFollowTheirLayer) {
    w.LayerAt(frame).plot = false;
    const auto trees = w.Layer("TREES");
    w.AddLine(w.model, {0, 0, 0}, {10, 0, 0}, Props(trees));
    w.AddLine(w.model, {0, 5, 0}, {10, 5, 0});
    View(100, 100, 80, 60, 5, 5, 1).frozenLayers = {trees};
    View(300, 100, 80, 60, 5, 5, 1, 3, 0);
    View(100, 250, 80, 60, 5, 5, 1, 4, 0).status = 0;  // switched off: shows nothing
    const auto inside = Clipped();
    ASSERT_EQ(inside.size(), 3u);  // one line in the first viewport, two in the second
    EXPECT_GT(inside[1]->points[0].x(), 200);
    EXPECT_EQ(p->strokes.size(), 5u);  // and the frames on a plotted layer
}

TEST_F(ViewportTest, ClipBoundaryEntityAndCulling) {
    // A circle clips the viewport; model space far outside the view is not drawn at all.
    w.Add(w.paper, db::EntityType::Circle, db::Circle{{100, 100, 0}, 30, 0}, Props(frame))
        .props.handle = 0x99;
    View(100, 100, 80, 80, 0, 0, 1).clipBoundary = 0x99;
    w.AddLine(w.model, {0, 0, 0}, {5, 0, 0});
    for (int i = 0; i < 100; ++i) {
        w.AddLine(w.model, {5000.0 + i, 5000, 0}, {5001.0 + i, 5000, 0});
    }
    EXPECT_EQ(Clipped().size(), 1u);
    for (QPointF q : p->clips.at(0)) {
        EXPECT_NEAR(std::hypot(q.x() - 100, q.y() - 100), 30, 1e-6);
    }
    EXPECT_LT(p.report.entities, 50);  // the far lines were culled before they were visited
}
