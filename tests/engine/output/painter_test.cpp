// The QPainter back ends: page size and ink position as standard viewers see them (pdfinfo,
// pdftoppm, rsvg-convert), image size at the resolution, images, clipping, patterns,
// dashes and the ink count; atomic writing for every file kind.
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

// A4 portrait and A3 landscape: the page size pdfinfo reads, the ink where it was drawn in
// its colour when pdftoppm renders the page (k px per mm).
TEST_F(PainterTest, PdfPageIsExactlyTheSheetAndTheInkWhereDrawn) {
    if (!HaveTool("pdfinfo") || !HaveTool("pdftoppm")) {
        GTEST_SKIP() << "poppler-utils are not installed";
    }
    auto sink = Open(OutputKind::Pdf, "a4.pdf", {210, 297});
    DrawFrame(*sink);
    const PlotStats stats = sink->Finish({true});
    EXPECT_EQ(stats.inkedPrimitives, 1);
    EXPECT_EQ(stats.inkBounds, (page::Rect{19.5, 29.5, 60.5, 50.5}));
    sink = Open(OutputKind::Pdf, "a3.pdf", {420, 297});
    sink->Draw(Line({{10, 10}, {410, 287}}, MakePen({255, 0, 0}, 0.5)));
    sink->Finish({true});
    const struct {
        const char* name;
        const char* size;
        const char* dpi;
        double k, w, h;
        page::Rect ink;
    } pages[] = {
        {"a4", "595.276 x 841.89 pts \\(A4\\)", "127", 5, 210, 297, {19.5, 29.5, 60.5, 50.5}},
        {"a3", "1190.55 x 841.89 pts \\(A3\\)", "50.8", 2, 420, 297, {10, 10, 410, 287}}};
    for (const auto& p : pages) {
        const QString pdf = dir.filePath(QString(p.name) + ".pdf");
        const auto info = RunTool("pdfinfo", {pdf});
        EXPECT_EQ(info.exitCode, 0) << info.output.toStdString();
        EXPECT_TRUE(info.output.contains(QRegularExpression(QString("Page size: +") + p.size)))
            << info.output.toStdString();
        EXPECT_TRUE(info.output.contains(QRegularExpression("Pages: +1\n")));
        EXPECT_TRUE(info.output.contains(QRegularExpression("Title: +Test plot\n")));
        EXPECT_FALSE(info.output.contains("Error")) << info.output.toStdString();
        // Lines stay vectors: no image in the file.
        EXPECT_FALSE(ReadAll(pdf).contains("/Subtype /Image"));
        const auto render =
            RunTool("pdftoppm", {"-r", p.dpi, "-singlefile", pdf, dir.filePath(p.name)});
        ASSERT_EQ(render.exitCode, 0) << render.output.toStdString();
        const QImage image(dir.filePath(QString(p.name) + ".ppm"));
        // (pdftoppm may round a fraction of a pixel up)
        EXPECT_NEAR(image.width(), p.w * p.k, 1);
        EXPECT_NEAR(image.height(), p.h * p.k, 1);
        ExpectInkAt(InkBox(image), p.k, p.h, p.ink.xmin, p.ink.ymin, p.ink.xmax, p.ink.ymax, 2);
    }
    // The A3 line is red: its core pixels are.
    const QImage a3(dir.filePath("a3.ppm"));
    int red = 0;
    for (int y = 0; y < a3.height(); ++y) {
        for (int x = 0; x < a3.width(); ++x) {
            const QColor c = a3.pixelColor(x, y);
            red += c.red() > 200 && c.green() < 60 && c.blue() < 60;
        }
    }
    EXPECT_GT(red, 200);
}

TEST_F(PainterTest, SvgHasItsViewBoxInMillimetresAndRendersWithRsvg) {
    auto sink = Open(OutputKind::Svg, "a4.svg", {210, 297});
    DrawFrame(*sink);
    sink->Finish({true});
    const QByteArray svg = ReadAll(dir.filePath("a4.svg"));
    EXPECT_TRUE(svg.contains("viewBox=\"0 0 210 297\"")) << svg.left(600).toStdString();
    EXPECT_TRUE(svg.contains("width=\"210mm\"")) << svg.left(600).toStdString();
    EXPECT_TRUE(svg.contains("height=\"297mm\""));
    if (!HaveTool("rsvg-convert")) {
        GTEST_SKIP() << "librsvg2-bin is not installed";
    }
    const auto run = RunTool("rsvg-convert", {"-d", "127", "-p", "127", "-b", "white", "-o",
                                              dir.filePath("svg.png"), dir.filePath("a4.svg")});
    ASSERT_EQ(run.exitCode, 0) << run.output.toStdString();
    const QImage image(dir.filePath("svg.png"));
    ASSERT_EQ(image.size(), QSize(1050, 1485));
    ExpectInkAt(InkBox(image), 5, 297, 19.5, 29.5, 60.5, 50.5, 2);
}

TEST_F(PainterTest, PngAtTheDeviceResolutionOnWhite) {
    auto sink = Open(OutputKind::Png, "a4.png", {210, 297}, 100);
    DrawFrame(*sink);
    sink->Finish({true});
    const QImage image(dir.filePath("a4.png"));
    ASSERT_EQ(image.size(), QSize(827, 1169));  // 210 and 297 mm at 100 dpi
    EXPECT_EQ(image.dotsPerMeterX(), 3937);
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white));
    ExpectInkAt(InkBox(image), 100 / 25.4, 297, 19.5, 29.5, 60.5, 50.5, 2);
}

TEST_F(PainterTest, PngOfAnImpossibleSizeIsRefused) {
    EXPECT_THROW(Open(OutputKind::Png, "huge.png", {1189 * 4, 841 * 4}, 1200), OutputError);
    EXPECT_THROW(Open(OutputKind::Png, "zero.png", {210, 297}, 0), OutputError);
    EXPECT_FALSE(QFile::exists(dir.filePath("huge.png")));
}

// 10 px per mm on a 100 x 100 mm sheet: paper (x, y) is pixel (10x, 1000 - 10y).
struct PngPixels : PainterTest {
    std::unique_ptr<PageSink> sink = Open(OutputKind::Png, "p.png", {100, 100}, 254);
    QImage Finish() {
        sink->Finish();
        return QImage(dir.filePath("p.png"));
    }
    static QColor At(const QImage& image, double x, double y) {
        const QColor c =
            image.pixelColor(static_cast<int>(x * 10), static_cast<int>(1000 - y * 10));
        // Smooth image scaling may leave a pure colour a step off.
        const auto snap = [](int v) { return v <= 2 ? 0 : v >= 253 ? 255 : v; };
        return QColor(snap(c.red()), snap(c.green()), snap(c.blue()));
    }
    // The colours at paper points, as #rrggbb names.
    static std::string Colors(const QImage& image, std::initializer_list<QPointF> points) {
        std::string out;
        for (QPointF p : points) {
            out += At(image, p.x(), p.y()).name().toStdString() + " ";
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
    // Upright on 10..50 x 10..50, and turned a quarter counter-clockwise on 50..90 x 50..90
    // (its bottom edge running up, its left edge running left).
    sink->Draw(Image{image, {10, 10}, {40, 0}, {0, 40}});
    sink->Draw(Image{image, {90, 50}, {0, 40}, {-40, 0}});
    const QImage out = Finish();
    // Turned: the top-left pixel lies at the lower-left of the placed square.
    EXPECT_EQ(
        Colors(out,
               {{20, 40}, {40, 40}, {20, 20}, {40, 20}, {60, 60}, {60, 80}, {80, 60}, {80, 80}}),
        "#ff0000 #00ff00 #0000ff #000000 #ff0000 #00ff00 #0000ff #000000 ");
}

TEST_F(PngPixels, ClipStackLimitsInkAndItsCount) {
    sink->PushClip(QPolygonF({{50, 50}, {80, 50}, {80, 80}, {50, 80}}));
    sink->Draw(Line({{0, 70}, {100, 70}}, MakePen({0, 0, 0}, 2)));
    sink->Draw(Line({{0, 10}, {100, 10}}, MakePen({0, 0, 0}, 2)));  // wholly outside the clip
    sink->PopClip();
    sink->Draw(Line({{0, 30}, {20, 30}}, MakePen({0, 0, 0}, 2)));
    EXPECT_EQ(sink->Stats().inkedPrimitives, 2);
    EXPECT_DOUBLE_EQ(sink->Stats().inkBounds.xmax, 80);
    const QImage out = Finish();
    EXPECT_EQ(Colors(out, {{40, 70}, {65, 70}, {90, 70}, {50, 10}, {10, 30}}),
              "#ffffff #000000 #ffffff #ffffff #000000 ");
}

TEST_F(PngPixels, GlyphOutlinesPatternsAndDashes) {
    QPainterPath glyph;
    glyph.addRect(QRectF(10, 80, 10, 10));
    sink->Draw(GlyphRun{glyph, MakePen({0, 0, 255}, 0)});
    FilledArea hatched;
    hatched.pen = MakePen({0, 0, 0}, 0.25);
    hatched.pen.fill = plotstyle::FillStyle::HorizontalBars;  // bars 0.5 mm at y = 3k
    hatched.rings = {QPolygonF({{40, 40}, {60, 40}, {60, 60}, {40, 60}})};
    sink->Draw(hatched);
    Pen dashed = MakePen({0, 0, 0}, 1);
    dashed.dashes = {6, 3};
    dashed.adaptiveDashes = false;
    sink->Draw(Line({{10, 20}, {40, 20}}, dashed));
    const QImage out = Finish();
    // The glyph; on a bar at y = 45 and between bars; first dash 10..16, gap, second dash 19..
    EXPECT_EQ(Colors(out, {{15, 85}, {50, 45.05}, {50, 46.5}, {13, 20}, {17.5, 20}, {22, 20}}),
              "#0000ff #000000 #ffffff #000000 #ffffff #000000 ");
}

TEST_F(PainterTest, WhiteOrOffTheSheetIsNoInk) {
    auto sink = Open(OutputKind::Pdf, "blank.pdf", {210, 297});
    sink->Draw(Line({{10, 10}, {100, 100}}, MakePen({255, 255, 255}, 1)));
    sink->Draw(Line({{300, 10}, {400, 100}}, MakePen({0, 0, 0}, 1)));
    sink->Draw(Line({{-50, -50}, {-10, -10}}, MakePen({0, 0, 0}, 1)));
    EXPECT_EQ(sink->Stats().primitives, 3);
    EXPECT_EQ(sink->Stats().inkedPrimitives, 0);
    EXPECT_NE(OutputErrorOf([&] { sink->Finish({true}); }).find("blank"), std::string::npos);
    EXPECT_FALSE(QFile::exists(dir.filePath("blank.pdf")));
}

TEST_F(PainterTest, OversizedVectorPageIsRefused) {
    OutputTarget t;
    t.kind = OutputKind::Pdf;
    t.file = dir.filePath("big.pdf").toStdString();
    t.maxBytes = 4000;
    auto sink = OpenPage(t, {210, 297});
    for (int i = 0; i < 2000; ++i) {
        sink->Draw(Line({{0.1 * i, 0}, {0.1 * i, 297}}, MakePen({0, 0, 0}, 0.1)));
    }
    EXPECT_THROW(sink->Finish(), OutputError);
    EXPECT_TRUE(vx::testing::FolderEntries(dir.path()).isEmpty());
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

// Atomic writes, for every file kind.
struct AtomicWrite : ::testing::TestWithParam<OutputKind> {
    QTemporaryDir dir;
    QString file = dir.filePath("drawing.plt");

    void SetUp() override { vx::testing::WriteAll(file, "earlier plot"); }
    std::unique_ptr<PageSink> Open() {
        OutputTarget t;
        t.kind = GetParam();
        t.file = file.toStdString();
        t.dotsPerInch = 50;
        return OpenPage(t, {210, 297});
    }
    void ExpectUntouched() {
        EXPECT_EQ(ReadAll(file), "earlier plot");
        EXPECT_EQ(vx::testing::FolderEntries(dir.path()), QStringList{"drawing.plt"});
    }
};

// Aborted, dropped before it was finished (as when a run stops or an error unwinds), or
// failed as blank: the earlier file stays as it was.
TEST_P(AtomicWrite, APlotNotFinishedLeavesTheEarlierFile) {
    auto aborted = Open();
    DrawFrame(*aborted);
    aborted->Abort();
    ExpectUntouched();
    EXPECT_THROW(aborted->Finish(), OutputError);  // nothing left to finish
    DrawFrame(*Open());
    ExpectUntouched();
    auto blank = Open();
    blank->Draw(Line({{-20, -20}, {-10, -10}}, MakePen({0, 0, 0}, 1)));
    EXPECT_THROW(blank->Finish({true}), OutputError);
    ExpectUntouched();
}

TEST_P(AtomicWrite, FinishedPlotReplacesTheFileAndLeavesNoTemporary) {
    auto sink = Open();
    DrawFrame(*sink);
    const PlotStats stats = sink->Finish({true});
    const QByteArray bytes = ReadAll(file);
    EXPECT_NE(bytes, "earlier plot");
    EXPECT_EQ(stats.bytesWritten, bytes.size());
    EXPECT_EQ(vx::testing::FolderEntries(dir.path()), QStringList{"drawing.plt"});
}

TEST_P(AtomicWrite, UnwritableFolderIsAnErrorWithThePath) {
    OutputTarget t;
    t.kind = GetParam();
    t.file = dir.filePath("missing-folder/drawing.plt").toStdString();
    EXPECT_NE(OutputErrorOf([&] {
                  OpenPage(t, {210, 297});
              }).find("missing-folder/drawing.plt"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(EveryFileKind, AtomicWrite,
                         ::testing::Values(OutputKind::Pdf, OutputKind::Svg, OutputKind::Png,
                                           OutputKind::Hpgl),
                         [](const ::testing::TestParamInfo<OutputKind>& p) {
                             return std::to_string(static_cast<int>(p.param));
                         });

}  // namespace
