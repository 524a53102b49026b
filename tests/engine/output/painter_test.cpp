// The QPainter back ends: page size and ink position as standard viewers see them (pdfinfo,
// pdftoppm), image size at the resolution, images, clipping, patterns and the ink count;
// atomic writing for every file kind.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include "OutputTools.h"
#include "engine/output/PlotOutput.h"

using namespace vx::engine;
using namespace vx::engine::output;
using plotstyle::Rgb;
using vx::testing::HaveTool;
using vx::testing::InkBox;
using vx::testing::Line;
using vx::testing::MakePen;
using vx::testing::OutputErrorOf;
using vx::testing::ReadAll;
using vx::testing::RunTool;

namespace {

// The frame (20,30)-(60,50) drawn 1 mm wide: its ink spans 19.5..60.5 x 29.5..50.5 mm.
void DrawFrame(PageSink& sink) {
    sink.Draw(Line({{20, 30}, {60, 30}, {60, 50}, {20, 50}}, MakePen({0, 0, 0}, 1.0), true));
}

// Pixel box of paper mm (x0, y0)-(x1, y1) on a sheet `heightMm` high at `k` px per mm.
void ExpectInkAt(const QRect& ink, double k, double heightMm, double x0, double y0, double x1,
                 double y1, double tolerancePx) {
    ASSERT_FALSE(ink.isNull());
    EXPECT_NEAR(ink.left(), x0 * k, tolerancePx);
    EXPECT_NEAR(ink.right() + 1, x1 * k, tolerancePx);
    EXPECT_NEAR(ink.top(), (heightMm - y1) * k, tolerancePx);
    EXPECT_NEAR(ink.bottom() + 1, (heightMm - y0) * k, tolerancePx);
}

struct PainterTest : ::testing::Test {
    QTemporaryDir dir;
    std::unique_ptr<PageSink> Open(OutputKind kind, const QString& name, PageFormat format,
                                   int dpi = 200) {
        OutputTarget t;
        t.kind = kind;
        t.file = dir.filePath(name).toStdString();
        t.dotsPerInch = dpi;
        t.title = "Test plot";
        return OpenPage(t, format);
    }
};

// The page size pdfinfo reads, and the ink where it was drawn when pdftoppm renders it.
TEST_F(PainterTest, PdfPageIsExactlyTheSheetAndTheInkWhereDrawn) {
    if (!HaveTool("pdfinfo") || !HaveTool("pdftoppm")) {
        GTEST_SKIP() << "poppler-utils are not installed";
    }
    auto sink = Open(OutputKind::Pdf, "a4.pdf", {210, 297});
    DrawFrame(*sink);
    const PlotStats stats = sink->Finish({true});
    EXPECT_EQ(stats.inkBounds, (page::Rect{19.5, 29.5, 60.5, 50.5}));
    const QString pdf = dir.filePath("a4.pdf");
    const auto info = RunTool("pdfinfo", {pdf});
    EXPECT_TRUE(info.output.contains(QRegularExpression("Page size: +595.276 x 841.89 pts")))
        << info.output.toStdString();
    EXPECT_TRUE(info.output.contains(QRegularExpression("Title: +Test plot\n")));
    EXPECT_FALSE(ReadAll(pdf).contains("/Subtype /Image"));  // lines stay vectors
    const auto render = RunTool("pdftoppm", {"-r", "127", "-singlefile", pdf, dir.filePath("a4")});
    ASSERT_EQ(render.exitCode, 0) << render.output.toStdString();
    ExpectInkAt(InkBox(QImage(dir.filePath("a4.ppm"))), 5, 297, 19.5, 29.5, 60.5, 50.5, 2);
}

TEST_F(PainterTest, SvgHasItsViewBoxInMillimetres) {
    auto sink = Open(OutputKind::Svg, "a4.svg", {210, 297});
    DrawFrame(*sink);
    sink->Finish({true});
    const QByteArray svg = ReadAll(dir.filePath("a4.svg"));
    EXPECT_TRUE(svg.contains("viewBox=\"0 0 210 297\"") && svg.contains("width=\"210mm\""))
        << svg.left(600).toStdString();
}

TEST_F(PainterTest, PngOfAnImpossibleSizeIsRefused) {
    EXPECT_THROW(Open(OutputKind::Png, "huge.png", {1189 * 4, 841 * 4}, 1200), OutputError);
    EXPECT_FALSE(QFile::exists(dir.filePath("huge.png")));
}

// 10 px per mm on a 100 x 100 mm sheet: paper (x, y) is pixel (10x, 1000 - 10y).
struct PngPixels : PainterTest {
    std::unique_ptr<PageSink> sink = Open(OutputKind::Png, "p.png", {100, 100}, 254);
    QImage Finish() {
        sink->Finish();
        return QImage(dir.filePath("p.png"));
    }
    // The colours at paper points, as #rrggbb names; smooth image scaling may leave a pure
    // colour a step off.
    static std::string Colors(const QImage& image, std::initializer_list<QPointF> points) {
        const auto snap = [](int v) { return v <= 2 ? 0 : v >= 253 ? 255 : v; };
        std::string out;
        for (QPointF p : points) {
            const QColor c = image.pixelColor(int(p.x() * 10), int(1000 - p.y() * 10));
            out +=
                QColor(snap(c.red()), snap(c.green()), snap(c.blue())).name().toStdString() + " ";
        }
        return out;
    }
};

TEST_F(PngPixels, ImagePixelZeroIsItsTopLeftCorner) {
    QImage image(2, 2, QImage::Format_RGB32);
    image.setPixelColor(0, 0, Qt::red);
    image.setPixelColor(1, 0, Qt::green);
    image.setPixelColor(0, 1, Qt::blue);
    image.setPixelColor(1, 1, Qt::black);
    // Turned a quarter counter-clockwise on 50..90 x 50..90 (its bottom edge running up, its
    // left edge running left): the top-left pixel lies at the lower-left of the square.
    sink->Draw(Image{image, {90, 50}, {0, 40}, {-40, 0}});
    EXPECT_EQ(Colors(Finish(), {{60, 60}, {60, 80}, {80, 60}, {80, 80}}),
              "#ff0000 #00ff00 #0000ff #000000 ");
}

TEST_F(PngPixels, ClipStackLimitsInkAndItsCount) {
    sink->PushClip(QPolygonF({{50, 50}, {80, 50}, {80, 80}, {50, 80}}));
    sink->Draw(Line({{0, 70}, {100, 70}}, MakePen({0, 0, 0}, 2)));
    sink->Draw(Line({{0, 10}, {100, 10}}, MakePen({0, 0, 0}, 2)));  // wholly outside the clip
    sink->PopClip();
    sink->Draw(Line({{0, 30}, {20, 30}}, MakePen({0, 0, 0}, 2)));
    EXPECT_EQ(sink->Stats().inkedPrimitives, 2);
    EXPECT_EQ(Colors(Finish(), {{40, 70}, {65, 70}, {90, 70}, {50, 10}, {10, 30}}),
              "#ffffff #000000 #ffffff #ffffff #000000 ");
}

TEST_F(PngPixels, GlyphOutlinesAndPatterns) {
    QPainterPath glyph;
    glyph.addRect(QRectF(10, 80, 10, 10));
    sink->Draw(GlyphRun{glyph, MakePen({0, 0, 255}, 0)});
    FilledArea hatched;
    hatched.pen = MakePen({0, 0, 0}, 0.25);
    hatched.pen.fill = plotstyle::FillStyle::HorizontalBars;  // bars 0.5 mm at y = 3k
    hatched.rings = {QPolygonF({{40, 40}, {60, 40}, {60, 60}, {40, 60}})};
    sink->Draw(hatched);
    // The glyph; on a bar at y = 45 and between bars.
    EXPECT_EQ(Colors(Finish(), {{15, 85}, {50, 45.05}, {50, 46.5}}), "#0000ff #000000 #ffffff ");
}

TEST(Printers, UnknownPrinterIsRefused) {
    OutputTarget t;
    t.kind = OutputKind::Printer;
    t.printer = "No such printer here";
    EXPECT_NE(OutputErrorOf([&] {
                  OpenPage(t, {210, 297});
              }).find("No such printer here"),
              std::string::npos);
}

// Aborted, dropped unfinished (as when a run stops or an error unwinds) or blank (white or
// off the sheet is no ink):
// the earlier file stays as it was; finished: it is replaced, with no temporary left.
struct AtomicWrite : ::testing::TestWithParam<OutputKind> {};

TEST_P(AtomicWrite, OnlyAFinishedPlotReplacesTheEarlierFile) {
    QTemporaryDir dir;
    const QString file = dir.filePath("drawing.plt");
    vx::testing::WriteAll(file, "earlier plot");
    const auto open = [&] {
        OutputTarget t;
        t.kind = GetParam();
        t.file = file.toStdString();
        t.dotsPerInch = 50;
        return OpenPage(t, {210, 297});
    };
    auto aborted = open();
    DrawFrame(*aborted);
    aborted->Abort();
    DrawFrame(*open());
    auto blank = open();
    blank->Draw(Line({{10, 10}, {100, 100}}, MakePen({255, 255, 255}, 1)));  // white
    blank->Draw(Line({{-20, -20}, {-10, -10}}, MakePen({0, 0, 0}, 1)));      // off the sheet
    EXPECT_NE(OutputErrorOf([&] { blank->Finish({true}); }).find("blank"), std::string::npos);
    EXPECT_EQ(ReadAll(file), "earlier plot");
    auto sink = open();
    DrawFrame(*sink);
    const PlotStats stats = sink->Finish({true});
    EXPECT_EQ(stats.bytesWritten, ReadAll(file).size());
    EXPECT_EQ(vx::testing::FolderEntries(dir.path()), QStringList{"drawing.plt"});
}

INSTANTIATE_TEST_SUITE_P(EveryFileKind, AtomicWrite,
                         ::testing::Values(OutputKind::Pdf, OutputKind::Png, OutputKind::Hpgl),
                         [](const ::testing::TestParamInfo<OutputKind>& p) {
                             return std::to_string(static_cast<int>(p.param));
                         });

}  // namespace
