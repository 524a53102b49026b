// Raster images: the file found at its stored path or beside the drawing, placed on its
// frame with its clip boundary; a missing file draws the frame and is reported once;
// wipeouts mask with the paper colour.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include "RenderTools.h"

using namespace vx::engine;
using namespace vx::testing;

namespace {

struct ImageTest : ::testing::Test {
    QTemporaryDir dir;
    Drawing w;

    // A 40 x 20 pixel image of 0.5 units per pixel at (10, 10), its file stored as `stored`.
    db::Image& AddImage(const std::string& stored) {
        w.d.images.push_back({.fileName = stored, .pixelsU = 40, .pixelsV = 20});
        const db::Image img{.position = {10, 10, 0},
                            .uVector = {0.5, 0, 0},
                            .vVector = {0, 0.5, 0},
                            .pixelsU = 40,
                            .pixelsV = 20,
                            .imageDef = static_cast<db::ImageDefId>(w.d.images.size() - 1)};
        return *w.Add(w.model, db::EntityType::Image, img).As<db::Image>();
    }
    Plot DrawAll() const {
        render::RenderOptions o;
        o.drawingFolder = dir.path().toStdString();
        return Draw(w.d, 0, o);
    }
};

}  // namespace

// One image found beside the drawing, the other missing twice: its frame drawn, one warning.
TEST_F(ImageTest, FoundBesideTheDrawingOrMissingAndReportedOnce) {
    QImage pic(40, 20, QImage::Format_RGB32);
    pic.fill(Qt::darkGreen);
    ASSERT_TRUE(pic.save(dir.filePath("site photo.png")));
    auto& img = AddImage("C:\\\\Photos\\\\site photo.png");  // where it was on another machine
    img.clipping = true;
    img.clipBoundary = {{0, 0, 0}, {20, 10, 0}};  // the left half of the top half
    AddImage("C:\\\\Photos\\\\gone.png");
    AddImage("C:\\\\Photos\\\\gone.png");
    const auto p = DrawAll();
    ASSERT_EQ(p->images.size(), 1u);
    const auto& out = p->images[0];
    EXPECT_EQ(out.image.size(), QSize(40, 20));
    EXPECT_TRUE(Near(out.origin, {10, 10}) && Near(out.width, {20, 0}) &&
                Near(out.height, {0, 10}));
    // Pixel coordinates counted from the top-left pixel, whose centre lies half a pixel
    // (0.25 units) right of and below the frame's top-left corner (10, 20).
    EXPECT_TRUE(Near(output::BoundsOf(p->clips.at(0)), {10.25, 14.75, 20.25, 19.75}, 1e-9));
    ASSERT_EQ(p->strokes.size(), 2u);
    EXPECT_EQ(output::BoundsOf(p->strokes[0].points), (page::Rect{10, 10, 30, 20}));
    ASSERT_EQ(p.report.warnings.size(), 1u);
    EXPECT_TRUE(Has(p.report.warnings[0], "gone.png"));
}

// A wipeout fills its boundary (an image's clip boundary on a frame of one pixel) with the
// paper's white, whatever its own colour, and is no ink.
TEST_F(ImageTest, WipeoutsMaskWithThePaperColour) {
    w.AddLine(w.model, {0, 15, 0}, {40, 15, 0});
    const db::Image wipe{
        .position = {10, 10, 0},
        .uVector = {20, 0, 0},
        .vVector = {0, 10, 0},
        .pixelsU = 1,
        .pixelsV = 1,
        .clipping = true,
        .clipBoundary = {{-0.5, 0.5, 0}, {0.5, 0.5, 0}, {0.5, -0.5, 0}, {-0.5, -0.5, 0}}};
    w.Add(w.model, db::EntityType::Wipeout, wipe, Props(0, Aci(1)));
    const auto p = DrawAll();
    EXPECT_EQ(p->fills.at(0).pen.color, plotstyle::kWhite);
    EXPECT_EQ(output::BoundsOf(p->fills[0].rings[0]), (page::Rect{10, 10, 30, 20}));
    EXPECT_EQ(p->strokes.size(), 1u);  // no frame
    EXPECT_EQ(p.report.visible, 1);    // the line
}
