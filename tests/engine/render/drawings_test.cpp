// Real drawings (the shared test data and our examples) rendered through the output back
// ends: every layout of every DXF file renders and reports, PDF pages open in the standard
// viewers at the paper's size with the ink where the renderer put it, and the drawings
// that exercise one feature show it (true colours, lineweights, per-viewport frozen layers,
// hatch patterns, text, missing images).
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <filesystem>
#include <set>
#include <thread>

#include "OutputTools.h"
#include "RenderTools.h"
#include "engine/db/Extents.h"
#include "engine/fonts/FontResolver.h"
#include "engine/load/DrawingLoader.h"
#include "engine/output/PlotOutput.h"
#include "engine/page/PagePlacement.h"

using namespace vx::engine;
using vx::testing::RecordingSink;

namespace fs = std::filesystem;

namespace {

const fs::path kTestData = VORMEX_TESTDATA_DIR;
const fs::path kExamples = fs::path(VORMEX_SOURCE_DIR) / "examples";

#define REQUIRE_FILE(path)                                      \
    if (!fs::exists(path)) {                                    \
        GTEST_SKIP() << (path).string() << " is not available"; \
    }

std::shared_ptr<db::Database> Load(const fs::path& file) {
    auto r = load::LoadDrawing(file);
    EXPECT_TRUE(r.Ok()) << file << ": " << r.error.Text();
    return r.database;
}

// The layout's extents fitted into an A3 sheet (portrait feed) less 10 mm margins.
std::optional<page::Placement> FitA3(const db::Database& d, std::uint32_t layout) {
    const db::Box3 box = db::LayoutExtents(d, layout);
    if (box.Empty()) {
        return std::nullopt;
    }
    page::PlacementRequest r;
    r.plotArea = {box.min.x, box.min.y, box.max.x, box.max.y};
    r.media = *page::ParseMediaName("A3");
    r.media.margins = {10, 10, 10, 10};
    r.rotation = page::Rotation::R90;
    try {
        return page::PlacePage(r);
    } catch (const page::PlacementError&) {
        return std::nullopt;  // a drawing of no extent
    }
}

std::vector<fs::path> DxfFiles() {
    std::vector<fs::path> files;
    for (const fs::path& root : {kTestData / "dxf", kExamples}) {
        if (!fs::exists(root)) {
            continue;
        }
        for (const auto& e : fs::recursive_directory_iterator(root)) {
            const auto ext = e.path().extension().string();
            if (e.is_regular_file() && (ext == ".dxf" || ext == ".dxfb")) {
                files.push_back(e.path());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

struct Rendered {
    std::unique_ptr<RecordingSink> sink =
        std::make_unique<RecordingSink>(output::PageFormat{297, 420});
    render::RenderReport report;
};

Rendered RenderLayout(const db::Database& d, std::uint32_t layout, fonts::FontResolver& fonts,
                      const render::RenderOptions& base = {}) {
    Rendered out;
    const auto placed = FitA3(d, layout);
    if (!placed) {
        return out;
    }
    render::RenderOptions o = base;
    o.fonts = &fonts;
    out.report = render::RenderLayout(d, layout, placed->drawingToPaper, o, *out.sink);
    return out;
}

}  // namespace

TEST(RealDrawings, EveryLayoutOfEveryDrawingRendersInsideTheSheet) {
    const auto files = DxfFiles();
    if (files.empty()) {
        GTEST_SKIP() << "no drawings";
    }
    fonts::FontResolver fonts;
    int layouts = 0, inked = 0;
    for (const fs::path& f : files) {
        auto r = load::LoadDrawing(f);
        if (!r.Ok()) {
            continue;  // damaged on purpose: the reader's tests cover them
        }
        const db::Database& d = *r.database;
        for (std::uint32_t l = 0; l < d.layouts.size(); ++l) {
            Rendered out = RenderLayout(d, l, fonts);
            ++layouts;
            const page::Rect box = out.sink->Bounds();
            if (out.report.visible == 0) {
                continue;
            }
            ++inked;
            EXPECT_GT(out.report.drawn, 0) << f << " " << d.layouts[l].name;
            // Everything drawn lies on the sheet (clipped viewports may reach past it).
            const page::Rect sheet{-1, -1, 298, 421};
            if (out.sink->clips.empty()) {
                EXPECT_TRUE(sheet.Contains(box)) << f << " " << d.layouts[l].name;
            }
        }
    }
    EXPECT_GT(layouts, 60);
    EXPECT_GT(inked, 40);
}

TEST(RealDrawings, PdfPageOpensAtItsSizeWithTheInkWhereItWasDrawn) {
    const fs::path file = kExamples / "flange.dxf";
    REQUIRE_FILE(file);
    if (!vx::testing::HaveTool("pdfinfo") || !vx::testing::HaveTool("pdftoppm")) {
        GTEST_SKIP() << "poppler-utils are not installed";
    }
    const auto d = Load(file);
    fonts::FontResolver fonts;
    QTemporaryDir dir;
    output::OutputTarget t;
    t.kind = output::OutputKind::Pdf;
    t.file = dir.filePath("flange.pdf").toStdString();
    auto sink = output::OpenPage(t, {297, 420});
    const auto placed = FitA3(*d, 0);
    ASSERT_TRUE(placed);
    render::RenderOptions o;
    o.fonts = &fonts;
    const auto report = render::RenderLayout(*d, 0, placed->drawingToPaper, o, *sink);
    const auto stats = sink->Finish({report.visible > 0});
    EXPECT_GT(report.visible, 20);
    const auto info = vx::testing::RunTool("pdfinfo", {dir.filePath("flange.pdf")});
    ASSERT_EQ(info.exitCode, 0) << info.output.toStdString();
    EXPECT_TRUE(
        info.output.contains(QRegularExpression("Page size:\\s+841\\.8\\d x 1190\\.5\\d pts")))
        << info.output.toStdString();
    // The ink on the rasterised page matches what the back end counted (10 px per mm).
    const auto png = dir.filePath("page");
    ASSERT_EQ(vx::testing::RunTool(
                  "pdftoppm", {"-png", "-r", "254", "-singlefile", dir.filePath("flange.pdf"), png})
                  .exitCode,
              0);
    const QImage img(png + ".png");
    ASSERT_FALSE(img.isNull());
    const QRect ink = vx::testing::InkBox(img);
    ASSERT_FALSE(ink.isNull());
    EXPECT_NEAR(ink.left() / 10.0, stats.inkBounds.xmin, 1.0);
    EXPECT_NEAR((ink.right() + 1) / 10.0, stats.inkBounds.xmax, 1.0);
    EXPECT_NEAR(420 - (ink.bottom() + 1) / 10.0, stats.inkBounds.ymin, 1.0);
    EXPECT_NEAR(420 - ink.top() / 10.0, stats.inkBounds.ymax, 1.0);
    // Fitted to the printable area: the ink reaches two opposite margins.
    const bool fillsWidth = stats.inkBounds.xmin < 11 && stats.inkBounds.xmax > 286;
    const bool fillsHeight = stats.inkBounds.ymin < 11 && stats.inkBounds.ymax > 409;
    EXPECT_TRUE(fillsWidth || fillsHeight);
}

TEST(RealDrawings, TrueColoursAndLineweightsComeThrough) {
    const fs::path colors = kTestData / "dxf/ezdxf/colors.dxf";
    const fs::path weights = kTestData / "dxf/ezdxf/valid_lineweights.dxf";
    REQUIRE_FILE(colors);
    REQUIRE_FILE(weights);
    fonts::FontResolver fonts;
    {
        const auto d = Load(colors);
        const auto out = RenderLayout(*d, 0, fonts);
        std::set<plotstyle::Rgb> seen;
        for (const auto& f : out.sink->fills) {
            seen.insert(f.pen.color);
        }
        for (const auto& s : out.sink->strokes) {
            seen.insert(s.pen.color);
        }
        // ByLayer, ByBlock and own colours of blocks on red and blue layers: a reference
        // made yellow turns its ByBlock parts yellow; ByBlock at the top plots black.
        for (plotstyle::Rgb c : {plotstyle::Rgb{255, 0, 0}, plotstyle::Rgb{0, 0, 255},
                                 plotstyle::Rgb{255, 255, 0}, plotstyle::kBlack}) {
            EXPECT_TRUE(seen.count(c)) << int(c.r) << "," << int(c.g) << "," << int(c.b);
        }
    }
    {
        const auto d = Load(weights);
        const auto out = RenderLayout(*d, 0, fonts);
        std::set<double> widths;
        for (const auto& s : out.sink->strokes) {
            widths.insert(s.pen.lineweight);
        }
        EXPECT_GE(widths.size(), 20u);
        EXPECT_EQ(*widths.rbegin(), 2.11);
    }
}

TEST(RealDrawings, FrozenLayersOfEachViewportStayHidden) {
    const fs::path file = kTestData / "dxf/ezdxf/viewport_frozen_layers.dxf";
    REQUIRE_FILE(file);
    auto d = Load(file);
    const std::uint32_t layout = d->FindLayout("Layout1");
    ASSERT_NE(layout, db::kNone);
    fonts::FontResolver fonts;
    const auto frozen = RenderLayout(*d, layout, fonts);
    int withFrozen = 0;
    for (auto& e : d->blocks[d->layouts[layout].block].entities) {
        if (auto* v = e.As<db::Viewport>(); v && !v->frozenLayers.empty()) {
            ++withFrozen;
            v->frozenLayers.clear();
        }
    }
    ASSERT_GT(withFrozen, 0);
    const auto thawed = RenderLayout(*d, layout, fonts);
    EXPECT_GT(frozen.sink->clips.size(), 1u);
    EXPECT_LT(frozen.report.visible, thawed.report.visible);
}

TEST(RealDrawings, HatchPatternsTextAndMissingImages) {
    const fs::path hatches = kExamples / "floor-plan.dxf";
    const fs::path text = kTestData / "dxf/ezdxf/text.dxf";
    const fs::path images = kTestData / "dxf/ezdxf/images.dxf";
    REQUIRE_FILE(hatches);
    REQUIRE_FILE(text);
    REQUIRE_FILE(images);
    fonts::FontResolver fonts;
    {
        const auto d = Load(hatches);
        const auto out = RenderLayout(*d, 0, fonts);
        EXPECT_EQ(out.report.notDrawn.count("HATCH"), 0u);
        // The walls' ANSI31: short strokes at 45 degrees on the drawing, turned with the
        // page by 90 degrees.
        const auto diagonal =
            std::count_if(out.sink->strokes.begin(), out.sink->strokes.end(), [](const auto& st) {
                if (st.points.size() != 2) {
                    return false;
                }
                const QPointF v = st.points[1] - st.points[0];
                return std::abs(std::abs(v.x()) - std::abs(v.y())) < 1e-6 * std::abs(v.x()) + 1e-9;
            });
        EXPECT_GT(diagonal, 150);
    }
    {
        const auto d = Load(text);
        const auto out = RenderLayout(*d, 0, fonts);
        EXPECT_GT(out.sink->strokes.size() + out.sink->glyphs.size(), 500u);
        EXPECT_FALSE(out.report.substitutions.empty());
    }
    {
        const auto d = Load(images);
        const auto out = RenderLayout(*d, 0, fonts);
        ASSERT_FALSE(out.report.warnings.empty());
        EXPECT_NE(out.report.warnings[0].find("not found"), std::string::npos);
        EXPECT_TRUE(out.sink->images.empty());
        EXPECT_GT(out.report.visible, 0);  // the frames
    }
}

// The sample's table, multilines, wipeout and multileaders are drawn: each multileader
// with a filled arrowhead at the start of its line, the wipeout as the paper's white.
TEST(RealDrawings, AnnotationsOfTheSampleAreDrawn) {
    const fs::path file = kTestData / "dxf/acadsharp/sample_AC1018_ascii.dxf";
    REQUIRE_FILE(file);
    const auto d = Load(file);
    fonts::FontResolver fonts;
    const auto out = RenderLayout(*d, 0, fonts);
    for (const char* type : {"ACAD_TABLE", "MLINE", "MULTILEADER", "WIPEOUT", "XLINE", "RAY"}) {
        EXPECT_EQ(out.report.notDrawn.count(type), 0u) << type;
    }
    const auto white =
        std::count_if(out.sink->fills.begin(), out.sink->fills.end(),
                      [](const auto& f) { return f.pen.color == plotstyle::kWhite; });
    EXPECT_EQ(white, 1);
    const auto placed = FitA3(*d, 0);
    ASSERT_TRUE(placed);
    int leaders = 0, arrows = 0;
    for (const auto& e : d->blocks[d->modelSpace].entities) {
        const auto* g = e.As<db::MLeader>();
        if (!g || g->branches.empty() || g->branches[0].lines.empty()) {
            continue;
        }
        ++leaders;
        const db::Vec3 tip = g->branches[0].lines[0].vertices.at(0);
        const page::Point p = placed->drawingToPaper.Map({tip.x, tip.y});
        arrows += std::any_of(out.sink->fills.begin(), out.sink->fills.end(), [&](const auto& f) {
            return std::any_of(f.rings[0].begin(), f.rings[0].end(), [&](QPointF q) {
                return std::hypot(q.x() - p.x, q.y() - p.y) < 1e-6;
            });
        });
    }
    EXPECT_EQ(leaders, 15);
    EXPECT_EQ(arrows, leaders);
}

TEST(RealDrawings, ExampleLayoutsShowTheirViewports) {
    const fs::path file = kExamples / "site-layouts.dxf";
    REQUIRE_FILE(file);
    const auto d = Load(file);
    fonts::FontResolver fonts;
    for (const char* name : {"Site Plan A3", "Details A4"}) {
        const std::uint32_t l = d->FindLayout(name);
        ASSERT_NE(l, db::kNone) << name;
        const auto out = RenderLayout(*d, l, fonts);
        EXPECT_FALSE(out.sink->clips.empty()) << name;
        const auto inside = std::count_if(out.sink->strokes.begin(), out.sink->strokes.end(),
                                          [](const auto& s) { return s.clipDepth > 0; });
        EXPECT_GT(inside, 10) << name;
        EXPECT_TRUE(out.report.warnings.empty()) << name << ": " << out.report.warnings[0];
    }
}

TEST(RealDrawings, SvgAndHpglPlotsOpenInTheirViewers) {
    const fs::path file = kExamples / "floor-plan.dxf";
    REQUIRE_FILE(file);
    const auto d = Load(file);
    fonts::FontResolver fonts;
    QTemporaryDir dir;
    const auto placed = FitA3(*d, 0);
    ASSERT_TRUE(placed);
    struct Case {
        output::OutputKind kind;
        const char* name;
        const char* tool;
        QStringList args;
    };
    const QString svg = dir.filePath("plan.svg"), plt = dir.filePath("plan.plt");
    for (const Case& c : {Case{output::OutputKind::Svg,
                               "plan.svg",
                               "rsvg-convert",
                               {"-w", "400", "-o", dir.filePath("svg.png"), svg}},
                          Case{output::OutputKind::Hpgl,
                               "plan.plt",
                               "hp2xx",
                               {"-q", "-m", "png", "-f", dir.filePath("plt.png"), plt}}}) {
        if (!vx::testing::HaveTool(c.tool)) {
            continue;
        }
        output::OutputTarget t;
        t.kind = c.kind;
        t.file = dir.filePath(c.name).toStdString();
        auto sink = output::OpenPage(t, {297, 420});
        render::RenderOptions o;
        o.fonts = &fonts;
        const auto report = render::RenderLayout(*d, 0, placed->drawingToPaper, o, *sink);
        const auto stats = sink->Finish({report.visible > 0});
        EXPECT_GT(stats.inkedPrimitives, 1000) << c.name;
        const auto run = vx::testing::RunTool(c.tool, c.args);
        EXPECT_EQ(run.exitCode, 0) << c.tool << ": " << run.output.toStdString();
        const QImage png(c.args[c.args.indexOf("-o") >= 0 ? c.args.indexOf("-o") + 1
                                                          : c.args.indexOf("-f") + 1]);
        EXPECT_FALSE(vx::testing::InkBox(png).isNull()) << c.name;
    }
}

TEST(RealDrawings, TwoDrawingsRenderOnTwoThreadsAsTheyDoAlone) {
    const fs::path a = kExamples / "text-styles.dxf";
    const fs::path b = kExamples / "floor-plan.dxf";
    REQUIRE_FILE(a);
    REQUIRE_FILE(b);
    const auto da = Load(a);
    const auto db = Load(b);
    const auto alone = [](const db::Database& d) {
        fonts::FontResolver fonts;
        auto out = RenderLayout(d, 0, fonts);
        return std::make_pair(
            out.sink->strokes.size() + out.sink->glyphs.size() + out.sink->fills.size(),
            out.sink->Bounds());
    };
    const auto ra = alone(*da);
    const auto rb = alone(*db);
    for (int round = 0; round < 3; ++round) {
        std::pair<std::size_t, page::Rect> ta, tb, tc;
        std::thread t1([&] { ta = alone(*da); });
        std::thread t2([&] { tb = alone(*db); });
        std::thread t3([&] { tc = alone(*da); });  // the same database twice at once
        t1.join();
        t2.join();
        t3.join();
        EXPECT_EQ(ta, ra);
        EXPECT_EQ(tb, rb);
        EXPECT_EQ(tc, ra);
    }
}
