// The HP-GL/2 writer: the exact byte stream for known primitives (pens, units, rotation,
// clipping), limits, and what hp2xx makes of the files.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "OutputTools.h"
#include "engine/output/PlotOutput.h"

using namespace vx::engine;
using namespace vx::engine::output;
using plotstyle::LineCap;
using plotstyle::LineJoin;
using plotstyle::Rgb;
using vx::testing::Line;
using vx::testing::MakePen;
using vx::testing::ReadAll;

namespace {

struct HpglTest : ::testing::Test {
    QTemporaryDir dir;
    QString file = dir.filePath("plot.plt");
    std::unique_ptr<PageSink> Open(PageFormat format = {210, 297}, std::int64_t maxBytes = 0) {
        OutputTarget t;
        t.kind = OutputKind::Hpgl;
        t.file = file.toStdString();
        t.maxBytes = maxBytes;
        return OpenPage(t, format);
    }
};

TEST_F(HpglTest, ExactBytesForKnownPrimitives) {
    auto sink = Open();
    const Pen black = MakePen({0, 0, 0}, 0.35, 7);
    sink->Draw(Line({{10, 10}, {50, 10}, {50, 30}}, black));
    // Pen 7 again, but red and wider with other ends: it gets the first free pen, 1.
    sink->Draw(
        Line({{20, 200}, {30, 210}}, MakePen({255, 0, 0}, 0.5, 7, LineCap::Butt, LineJoin::Miter)));
    // A square with a square hole, filled by the even-odd rule.
    FilledArea area;
    area.pen = MakePen({0, 0, 255}, 0.25, 5);
    area.rings = {QPolygonF({{100, 100}, {120, 100}, {120, 120}, {100, 120}}),
                  QPolygonF({{105, 105}, {115, 105}, {115, 115}, {105, 115}})};
    sink->Draw(area);
    sink->Draw(Line({{60, 60}}, black));                // a dot
    sink->Draw(Line({{200, 10}, {220, 10}}, black));    // cut at the sheet's edge
    sink->Draw(Line({{300, 300}, {310, 310}}, black));  // off the sheet
    const PlotStats stats = sink->Finish({true});

    EXPECT_EQ(ReadAll(file).toStdString(),
              "BP;IN;PS11880,8400;RO90;WU0;NP256;"
              "PC7,0,0,0;PW0.35,7;LA1,4,2,4;SP7;PU400,400;PD2000,400,2000,1200;"
              "PC1,255,0,0;PW0.5,1;LA1,1,2,1;SP1;PU800,8000;PD1200,8400;"
              "PC5,0,0,255;PW0.25,5;SP5;"
              "PM0;PU4000,4000;PD4800,4000,4800,4800,4000,4800,4000,4000;"
              "PM1;PU4200,4200;PD4600,4200,4600,4600,4200,4600,4200,4200;PM2;FP0;"
              "LA1,4,2,4;SP7;PU2400,2400;PD2400,2400;"
              "PU8000,400;PD8400,400;"
              "PU;SP0;PG;");
    EXPECT_EQ(stats.inkedPrimitives, 5);
    EXPECT_EQ(stats.inkBounds, (page::Rect{10, 10, 210, 210}));
    EXPECT_EQ(stats.bytesWritten, ReadAll(file).size());
}

TEST_F(HpglTest, ClipStackCutsTheGeometryItself) {
    auto sink = Open();
    const Pen pen = MakePen({0, 0, 0}, 0.25, 1);
    sink->PushClip(QPolygonF({{0, 0}, {100, 0}, {0, 100}}));  // x + y <= 100
    sink->Draw(Line({{10, 80}, {80, 80}}, pen));
    sink->PushClip(QPolygonF({{0, 0}, {15, 0}, {15, 200}, {0, 200}}));  // and x <= 15
    sink->Draw(Line({{10, 80}, {80, 80}}, pen));
    FilledArea area;
    area.pen = pen;
    area.rings = {QPolygonF({{10, 10}, {30, 10}, {30, 20}, {10, 20}})};
    sink->Draw(area);
    sink->PopClip();
    sink->PopClip();
    sink->Draw(Line({{10, 80}, {80, 80}}, pen));
    sink->Finish();
    const std::string bytes = ReadAll(file).toStdString();
    EXPECT_NE(bytes.find("SP1;PU400,3200;PD800,3200;PU400,3200;PD600,3200;PM0;"), std::string::npos)
        << bytes;
    EXPECT_NE(bytes.find("PM2;FP0;PU400,3200;PD3200,3200;PU;SP0;PG;"), std::string::npos) << bytes;
}

TEST_F(HpglTest, DashedPenBecomesStrokes) {
    auto sink = Open();
    Pen dashed = MakePen({0, 0, 0}, 0.25, 1);
    dashed.dashes = {6, 3};
    dashed.adaptiveDashes = false;
    sink->Draw(Line({{0, 10}, {20, 10}}, dashed));
    sink->Finish();
    EXPECT_NE(ReadAll(file).toStdString().find(
                  "PU0,400;PD240,400;PU360,400;PD600,400;PU720,400;PD800,400;"),
              std::string::npos);
}

TEST_F(HpglTest, RasterImagesAreLeftOutWithANote) {
    auto sink = Open();
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::black);
    sink->Draw(Image{image, {10, 10}, {20, 0}, {0, 20}});
    EXPECT_EQ(sink->Stats().inkedPrimitives, 0);
    EXPECT_TRUE(sink->Stats().notes.value(0).contains("Raster images"));
    EXPECT_THROW(sink->Finish({true}), OutputError);
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(HpglTest, RunawayOutputIsRefusedAndWritesNothing) {
    vx::testing::WriteAll(file, "earlier plot");
    auto sink = Open({210, 297}, 2000);
    const Pen pen = MakePen({0, 0, 0}, 0.25, 1);
    for (int i = 0; i < 200; ++i) {
        sink->Draw(Line({{1.0 * i, 0}, {1.0 * i, 100}}, pen));
    }
    EXPECT_NE(vx::testing::OutputErrorOf([&] { sink->Finish(); }).find("too large"),
              std::string::npos);
    EXPECT_EQ(ReadAll(file), "earlier plot");
    EXPECT_EQ(vx::testing::FolderEntries(dir.path()), QStringList{"plot.plt"});
}

// hp2xx, an independent reader, renders the file: nothing ignored, the sheet's size, ink
// where it belongs. hp2xx shows a sheet with its long edge across: a portrait sheet comes
// out turned a quarter counter-clockwise, so paper (x, y) shows at column 297 - y and row
// 210 - x (millimetres).
TEST_F(HpglTest, Hp2xxRendersAPortraitSheetTurned) {
    if (!vx::testing::HaveTool("hp2xx")) {
        GTEST_SKIP() << "hp2xx is not installed";
    }
    auto sink = Open();
    sink->Draw(Line({{20, 30}, {60, 30}, {60, 50}, {20, 50}}, MakePen({0, 0, 0}, 0.5, 7), true));
    FilledArea area;
    area.pen = MakePen({0, 0, 255}, 0.25, 5);
    area.rings = {QPolygonF({{100, 200}, {150, 200}, {150, 250}, {100, 250}})};
    sink->Draw(area);
    sink->Finish();

    const QString png = dir.filePath("render.png");
    const auto run = vx::testing::RunTool(
        "hp2xx", {"-m", "png", "-w", "297", "-h", "210", "-d", "127", "-f", png, file});
    const std::string said = run.output.toStdString();
    EXPECT_NE(said.find("HPGL command(s) ignored: 0"), std::string::npos) << said;
    EXPECT_NE(said.find("Coordinate range: (-11880, 0) ... (1e-10, 8400)"), std::string::npos);
    const QImage image(png);
    const double k = image.width() / 297.0;
    EXPECT_NEAR(image.height() / k, 210.0, 0.5);
    const QRect ink = vx::testing::InkBox(image);
    EXPECT_NEAR(ink.left(), (297 - 250) * k, 5);
    EXPECT_NEAR(ink.right(), (297 - 30) * k, 5);
    EXPECT_NEAR(ink.top(), (210 - 150) * k, 5);
    EXPECT_NEAR(ink.bottom(), (210 - 20) * k, 5);
    // The filled square is filled: its middle is blue.
    const QColor middle = image.pixelColor(int((297 - 225) * k), int((210 - 125) * k));
    EXPECT_LT(middle.red(), 100);
    EXPECT_GT(middle.blue(), 150);
}

}  // namespace
