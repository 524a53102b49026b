// Real drawings (the shared test data and our examples) rendered: every layout of every DXF
// file renders inside its sheet and reports, and two drawings render on two threads as
// they do alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "RenderTools.h"
#include "engine/db/Extents.h"
#include "engine/fonts/FontResolver.h"
#include "engine/load/DrawingLoader.h"
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

vx::testing::Plot RenderLayout(const db::Database& d, std::uint32_t layout,
                               fonts::FontResolver& fonts) {
    vx::testing::Plot out{std::make_unique<RecordingSink>(output::PageFormat{297, 420}), {}};
    if (const auto placed = FitA3(d, layout)) {
        render::RenderOptions o;
        o.fonts = &fonts;
        out.report = render::RenderLayout(d, layout, placed->drawingToPaper, o, *out.sink);
    }
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
            const auto out = RenderLayout(d, l, fonts);
            ++layouts;
            const page::Rect box = out.sink->Bounds();
            if (out.report.visible == 0) {
                continue;
            }
            ++inked;
            EXPECT_GT(out.report.drawn, 0) << f << " " << d.layouts[l].name;
            // The annotation types the renderer knows are drawn wherever they stand.
            for (const char* type :
                 {"ACAD_TABLE", "MLINE", "MULTILEADER", "WIPEOUT", "XLINE", "RAY", "HATCH"}) {
                EXPECT_EQ(out.report.notDrawn.count(type), 0u) << f << " " << type;
            }
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
        {
            std::jthread t1([&] { ta = alone(*da); }), t2([&] { tb = alone(*db); });
            std::jthread t3([&] { tc = alone(*da); });  // the same database twice at once
        }
        EXPECT_EQ(std::tie(ta, tb, tc), std::tie(ra, rb, ra));
    }
}
