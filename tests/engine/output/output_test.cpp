// The plot file writers: HP-GL/2 byte for byte and through hp2xx; the QPainter back ends as
// standard viewers see their pages; atomic writing, and never to what is no file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <array>
#include <tuple>

#include "engine/output/PageSink.h"
#include "engine/output/PlotOutput.h"
#include "engine/output/QtGeometry.h"
#include "files/AtomicFile.h"

using namespace vx::engine;
using namespace vx::engine::output;
using plotstyle::LineCap;
using plotstyle::LineJoin;
using plotstyle::Rgb;

namespace {

inline Pen MakePen(plotstyle::Rgb color, double lineweight, int number = 7,
                   plotstyle::LineCap cap = plotstyle::LineCap::Round,
                   plotstyle::LineJoin join = plotstyle::LineJoin::Round) {
    Pen p;
    std::tie(p.color, p.lineweight, p.number, p.cap, p.join) =
        std::tuple(color, lineweight, number, cap, join);
    return p;
}

inline Polyline Line(std::initializer_list<geom::Vec2> points, const Pen& pen,
                     bool closed = false) {
    return {Polygon(points), closed, pen};
}

inline bool HaveTool(const QString& name) {
    return !QStandardPaths::findExecutable(name).isEmpty();
}

struct ToolRun {
    int exitCode = -1;
    QString output;  // stdout and stderr together
};

inline ToolRun RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(program, args);
    const bool ran = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit;
    return {ran ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAll())};
}

// The bounding box of the pixels darker than `threshold` (any channel), or a null rect.
inline QRect InkBox(const QImage& image, int threshold = 200) {
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    int x0 = img.width(), y0 = img.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = row[x];
            if (qRed(c) < threshold || qGreen(c) < threshold || qBlue(c) < threshold) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
        }
    }
    return x1 < 0 ? QRect() : QRect(QPoint(x0, y0), QPoint(x1, y1));
}

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size())
        << path.toStdString();
}

// The description of the OutputError a call throws; "<no error>" when it succeeds.
template <class F>
std::string OutputErrorOf(F&& call) {
    try {
        call();
    } catch (const OutputError& e) {
        return e.what();
    }
    return "<no error>";
}

// Entries of a folder, hidden ones included (temporary files must not remain).
inline QStringList FolderEntries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

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
    area.rings = {Polygon({{100, 100}, {120, 100}, {120, 120}, {100, 120}}),
                  Polygon({{105, 105}, {115, 105}, {115, 115}, {105, 115}})};
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
    sink->PushClip(Polygon({{0, 0}, {100, 0}, {0, 100}}));  // x + y <= 100
    sink->Draw(Line({{10, 80}, {80, 80}}, pen));
    sink->PushClip(Polygon({{0, 0}, {15, 0}, {15, 200}, {0, 200}}));  // and x <= 15
    sink->Draw(Line({{10, 80}, {80, 80}}, pen));
    FilledArea area;
    area.pen = pen;
    area.rings = {Polygon({{10, 10}, {30, 10}, {30, 20}, {10, 20}})};
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
    WriteAll(file, "earlier plot");
    auto sink = Open({210, 297}, 2000);
    const Pen pen = MakePen({0, 0, 0}, 0.25, 1);
    for (int i = 0; i < 200; ++i) {
        sink->Draw(Line({{1.0 * i, 0}, {1.0 * i, 100}}, pen));
    }
    EXPECT_NE(OutputErrorOf([&] { sink->Finish(); }).find("too large"), std::string::npos);
    EXPECT_EQ(ReadAll(file), "earlier plot");
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"plot.plt"});
}

// hp2xx, an independent reader, renders the file: nothing ignored, the sheet's size, ink
// where it belongs. hp2xx shows a sheet with its long edge across: a portrait sheet comes
// out turned a quarter counter-clockwise, so paper (x, y) shows at column 297 - y and row
// 210 - x (millimetres).
TEST_F(HpglTest, Hp2xxRendersAPortraitSheetTurned) {
    if (!HaveTool("hp2xx")) {
        GTEST_SKIP() << "hp2xx is not installed";
    }
    auto sink = Open();
    sink->Draw(Line({{20, 30}, {60, 30}, {60, 50}, {20, 50}}, MakePen({0, 0, 0}, 0.5, 7), true));
    FilledArea area;
    area.pen = MakePen({0, 0, 255}, 0.25, 5);
    area.rings = {Polygon({{100, 200}, {150, 200}, {150, 250}, {100, 250}})};
    sink->Draw(area);
    sink->Finish();

    const QString png = dir.filePath("render.png");
    const auto run =
        RunTool("hp2xx", {"-m", "png", "-w", "297", "-h", "210", "-d", "127", "-f", png, file});
    const std::string said = run.output.toStdString();
    EXPECT_NE(said.find("HPGL command(s) ignored: 0"), std::string::npos) << said;
    EXPECT_NE(said.find("Coordinate range: (-11880, 0) ... (1e-10, 8400)"), std::string::npos);
    const QImage image(png);
    const double k = image.width() / 297.0;
    EXPECT_NEAR(image.height() / k, 210.0, 0.5);
    const QRect ink = InkBox(image);
    EXPECT_NEAR(ink.left(), (297 - 250) * k, 5);
    EXPECT_NEAR(ink.right(), (297 - 30) * k, 5);
    EXPECT_NEAR(ink.top(), (210 - 150) * k, 5);
    EXPECT_NEAR(ink.bottom(), (210 - 20) * k, 5);
    // The filled square is filled: its middle is blue.
    const QColor middle = image.pixelColor(int((297 - 225) * k), int((210 - 125) * k));
    EXPECT_LT(middle.red(), 100);
    EXPECT_GT(middle.blue(), 150);
}

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
    sink->PushClip(Polygon({{50, 50}, {80, 50}, {80, 80}, {50, 80}}));
    sink->Draw(Line({{0, 70}, {100, 70}}, MakePen({0, 0, 0}, 2)));
    sink->Draw(Line({{0, 10}, {100, 10}}, MakePen({0, 0, 0}, 2)));  // wholly outside the clip
    sink->PopClip();
    sink->Draw(Line({{0, 30}, {20, 30}}, MakePen({0, 0, 0}, 2)));
    EXPECT_EQ(sink->Stats().inkedPrimitives, 2);
    EXPECT_EQ(Colors(Finish(), {{40, 70}, {65, 70}, {90, 70}, {50, 10}, {10, 30}}),
              "#ffffff #000000 #ffffff #ffffff #000000 ");
}

TEST_F(PngPixels, GlyphOutlinesAndPatterns) {
    geom::Path glyph;
    glyph.MoveTo({10, 80});
    for (geom::Vec2 p : {geom::Vec2{20, 80}, {20, 90}, {10, 90}, {10, 80}}) {
        glyph.LineTo(p);
    }
    sink->Draw(GlyphRun{glyph, MakePen({0, 0, 255}, 0)});
    FilledArea hatched;
    hatched.pen = MakePen({0, 0, 0}, 0.25);
    hatched.pen.fill = plotstyle::FillStyle::HorizontalBars;  // bars 0.5 mm at y = 3k
    hatched.rings = {Polygon({{40, 40}, {60, 40}, {60, 60}, {40, 60}})};
    sink->Draw(hatched);
    // The glyph; on a bar at y = 45 and between bars.
    EXPECT_EQ(Colors(Finish(), {{15, 85}, {50, 45.05}, {50, 46.5}}), "#0000ff #000000 #ffffff ");
}

// The HP-GL/2 writer fills glyph outlines flattened by geom::Path; its points must be those
// of Qt's flattening, so that outlines plot the same through every back end.
TEST(GlyphOutlines, FlattenToTheSamePointsAsQt) {
    using P = geom::Vec2;
    const struct {
        const char* what;
        P start;
        std::vector<std::array<P, 3>> cubics;
    } cases[] = {
        {"a letter's bowl, a few mm", {10, 10}, {{P{10, 12.5}, P{12, 13}, P{13, 11}}}},
        {"under a unit long", {1, 1}, {{P{1.2, 1.4}, P{1.5, 1.4}, P{1.6, 1.1}}}},
        {"huge, split to the last level", {0, 0}, {{P{0, 1e6}, P{1e6, -1e6}, P{1e6, 0}}}},
        {"straight", {5, 5}, {{P{15, 5}, P{25, 5}, P{35, 5}}}},
        {"two in a row, with a loop",
         {50, 50},
         {{P{80, 90}, P{20, 90}, P{50, 50}}, {P{60, 40}, P{70, 45}, P{75, 60}}}},
    };
    for (const auto& c : cases) {
        geom::Path ours;
        QPainterPath qt;
        ours.MoveTo(c.start);
        qt.moveTo(c.start.x, c.start.y);
        for (const auto& [c1, c2, end] : c.cubics) {
            ours.CubicTo(c1, c2, end);
            qt.cubicTo(c1.x, c1.y, c2.x, c2.y, end.x, end.y);
        }
        ours.LineTo({0, 0});
        qt.lineTo(0, 0);
        ours.MoveTo({1, 2});  // a lone point is no run
        qt.moveTo(1, 2);
        const std::vector<Polygon> runs = ours.Flattened();
        const QList<QPolygonF> want = qt.toSubpathPolygons();
        ASSERT_EQ(runs.size(), static_cast<std::size_t>(want.size())) << c.what;
        for (std::size_t i = 0; i < runs.size(); ++i) {
            EXPECT_TRUE(runs[i] == FromQt(want[static_cast<qsizetype>(i)])) << c.what << " " << i;
        }
    }
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
    WriteAll(file, "earlier plot");
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
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"drawing.plt"});
}

INSTANTIATE_TEST_SUITE_P(EveryFileKind, AtomicWrite,
                         ::testing::Values(OutputKind::Pdf, OutputKind::Png, OutputKind::Hpgl),
                         [](const ::testing::TestParamInfo<OutputKind>& p) {
                             return std::to_string(static_cast<int>(p.param));
                         });

// The writer every file goes through never writes to what is no file: a folder, a pipe (a
// writer would block on it) or a name in a missing folder is refused with the reason, and
// nothing is left behind. (Full disks, planted links and names that are no valid text are
// checked through vormex-cli, for every kind of output.)
TEST(AtomicFile, WhatIsNoFileIsNeverWrittenTo) {
    QTemporaryDir temp;
    const std::filesystem::path dir(temp.path().toStdString());
    std::filesystem::create_directory(dir / "folder");
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    const struct {
        std::filesystem::path target;
        const char* reason;
    } cases[] = {{dir / "folder", "it is a folder"},
                 {dir / "pipe", "it is not a regular file"},
                 {dir / "missing" / "plan.plt", "No such file or directory"},
                 {dir / "", "no file name"}};
    for (const auto& c : cases) {
        vx::files::AtomicFile file(c.target);
        EXPECT_FALSE(file.Write("x") || file.Commit()) << c.target;
        EXPECT_EQ(file.Error(), c.reason) << c.target;
    }
    std::vector<std::filesystem::path> left(std::filesystem::directory_iterator(dir), {});
    EXPECT_EQ(left.size(), 2u);
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "pipe"));
}

}  // namespace
