// Real drawings (the shared test data and our examples) rendered: every layout of every DXF
// file renders inside its sheet, and the annotation types the renderer knows are drawn.
#include <gtest/gtest.h>

#include <filesystem>

#include "RenderTools.h"
#include "engine/db/Extents.h"
#include "engine/fonts/FontResolver.h"
#include "engine/load/DrawingLoader.h"
#include "engine/page/PagePlacement.h"

using namespace vx::engine;
using vx::testing::RecordingSink;
namespace fs = std::filesystem;

TEST(RealDrawings, EveryLayoutOfEveryDrawingRendersInsideTheSheet) {
    std::vector<fs::path> files;
    for (const fs::path& root :
         {fs::path(VORMEX_TESTDATA_DIR) / "dxf", fs::path(VORMEX_SOURCE_DIR) / "examples"}) {
        for (const auto& e : fs::exists(root) ? fs::recursive_directory_iterator(root)
                                              : fs::recursive_directory_iterator()) {
            const auto ext = e.path().extension().string();
            if (e.is_regular_file() && (ext == ".dxf" || ext == ".dxfb")) {
                files.push_back(e.path());
            }
        }
    }
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
        for (std::uint32_t l = 0; l < d.layouts.size(); ++l, ++layouts) {
            // The layout's extents fitted into an A3 sheet (portrait feed) less 10 mm margins.
            const db::Box3 box = db::LayoutExtents(d, l);
            if (box.Empty()) {
                continue;
            }
            page::PlacementRequest req;
            req.plotArea = {box.min.x, box.min.y, box.max.x, box.max.y};
            req.media = *page::ParseMediaName("A3");
            req.media.margins = {10, 10, 10, 10};
            req.rotation = page::Rotation::R90;
            std::optional<page::Placement> placed;
            try {
                placed = page::PlacePage(req);
            } catch (const page::PlacementError&) {
                continue;  // a drawing of no extent
            }
            RecordingSink sink(output::PageFormat{297, 420});
            render::RenderOptions o;
            o.fonts = &fonts;
            const auto report = render::RenderLayout(d, l, placed->drawingToPaper, o, sink);
            if (report.visible == 0) {
                continue;
            }
            ++inked;
            EXPECT_GT(report.drawn, 0) << f << " " << d.layouts[l].name;
            for (const char* type :
                 {"ACAD_TABLE", "MLINE", "MULTILEADER", "WIPEOUT", "XLINE", "RAY", "HATCH"}) {
                EXPECT_EQ(report.notDrawn.count(type), 0u) << f << " " << type;
            }
            // Everything drawn lies on the sheet (clipped viewports may reach past it).
            const page::Rect sheet{-1, -1, 298, 421};
            if (sink.clips.empty()) {
                EXPECT_TRUE(sheet.Contains(sink.Bounds())) << f << " " << d.layouts[l].name;
            }
        }
    }
    EXPECT_GT(layouts, 60);
    EXPECT_GT(inked, 40);
}
