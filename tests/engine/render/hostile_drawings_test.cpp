// Drawings made to expand without end (blocks that insert themselves, arrays of arrays,
// hatches and linetypes finer than any page) end at once with a clear error or a clear
// warning, while a real drawing still renders whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "dxf/TestDxf.h"
#include "engine/db/Extents.h"
#include "engine/dxf/DxfReader.h"
#include "engine/load/DrawingLoader.h"
#include "engine/output/PageSink.h"
#include "engine/render/Render.h"

namespace vx::engine::render {
namespace {

using test::TestDxf;

// Counts what reaches the page and keeps nothing.
class CountingSink : public output::PageSink {
public:
    CountingSink() : PageSink({420, 297}) {}
    std::int64_t drawn = 0;

protected:
    void DrawPolyline(const output::Polyline&) override { ++drawn; }
    void DrawArea(const output::FilledArea&) override { ++drawn; }
    void DrawImage(const output::Image&) override { ++drawn; }
    void DrawGlyphs(const output::GlyphRun&) override { ++drawn; }
    void BeginClip(const output::Polygon&) override {}
    void EndClip() override {}
    void Commit() override {}
    void Discard() override {}
    std::int64_t BytesWritten() const override { return 0; }
};

// Blocks ("name" then its entities' groups), model space's groups and, before them, tables.
std::string Dxf(const std::vector<std::pair<std::string, std::string>>& blocks,
                const std::string& entities, const std::string& tables = {}) {
    TestDxf t;
    t.Header("AC1015");
    if (!tables.empty()) {
        t.Section("TABLES").Groups(tables).EndSection();
    }
    t.Section("BLOCKS");
    for (const auto& [name, groups] : blocks) {
        t.Groups("0 BLOCK|8 0|2 " + name + "|70 0|10 0,0").Groups(groups).G(0, "ENDBLK");
    }
    t.EndSection().Section("ENTITIES").Groups(entities).EndSection().Eof();
    return t.Ascii();
}

std::string Repeat(int n, const std::function<std::string(int)>& item) {
    std::string s;
    for (int i = 0; i < n; ++i) {
        s += (i ? "|" : "") + item(i);
    }
    return s;
}

std::string Num(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%.17g", v);
    return b;
}

// A hatch over the rectangle (x0, y0)-(x1, y1) with one pattern line of its own.
std::string Hatch(double x0, double y0, double x1, double y1, const std::string& patternLine) {
    std::string s = "0 HATCH|8 0|10 0,0,0|210 0,0,1|2 TRAP|70 0|71 0|91 1|92 2|72 0|73 1|93 4";
    for (const auto& [x, y] : {std::pair{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}) {
        s += "|10 " + Num(x) + "|20 " + Num(y);
    }
    return s + "|97 0|75 0|76 2|52 0|41 1|77 0|78 1|" + patternLine + "|98 0";
}

const std::string kLine = "0 LINE|8 0|10 0,0|11 1,1";

struct Outcome {
    std::string error;  // the expansion error, if any
    std::vector<std::string> warnings;
    std::int64_t drawn = 0;
};

// Renders model space: fitted to the sheet, or one drawing unit to a millimetre.
Outcome Render(const db::Database& d, bool fit, std::int64_t maxPrimitives) {
    Outcome out;
    CountingSink sink;
    try {
        page::Affine m;
        if (fit) {
            const db::Box3 box = db::ModelExtents(d);
            const double s = 400 / std::max({box.max.x - box.min.x, box.max.y - box.min.y, 1e-300});
            m = {s, 0, 0, s, 10 - box.min.x * s, 10 - box.min.y * s};
        }
        RenderOptions options;
        options.maxPrimitives = maxPrimitives;
        const RenderReport r = RenderLayout(d, 0, m, options, sink);
        out.warnings = r.warnings;
    } catch (const db::ExpansionError& e) {
        out.error = e.what();
    }
    out.drawn = sink.drawn;
    return out;
}

const std::string kTooMany = "The drawing expands to more than 20000000 primitives.";

struct Case {
    const char* name;
    std::string dxf;
    bool fit;
    std::string error;    // the error expected; empty: it renders
    std::string warning;  // a warning expected (a part of it)
};

TEST(HostileDrawings, EndAtOnceWithAClearMessage) {
    const std::string tooDense = "is too dense for its area; such hatches are filled solid.";
    const Case cases[] = {
        {"a block inserting itself twice",
         Dxf({{"A", kLine + "|0 INSERT|8 0|2 A|10 0,0|0 INSERT|8 0|2 A|10 0.001,0"}},
             "0 INSERT|8 0|2 A|10 0,0"),
         true, kTooMany, ""},
        {"an array of arrays",
         Dxf({{"B0", kLine},
              {"B1", "0 INSERT|8 0|2 B0|10 0,0|70 300|71 300|44 0.01|45 0.01"},
              {"B2", "0 INSERT|8 0|2 B1|10 0,0|70 300|71 300|44 0.01|45 0.01"}},
             "0 INSERT|8 0|2 B2|10 0,0"),
         true, kTooMany, ""},
        // Dashes a billionth long where doubles are a tenth of a millionth apart.
        {"a dash period below the spacing of doubles",
         Dxf({}, Hatch(1e9, 0, 1e9 + 1000, 1, "53 0|43 0|44 0|45 0|46 1|79 2|49 1e-9|49 -1e-9")),
         true, "", tooDense},
        // Lines 1e-9 apart, 1e8 from the pattern's base: numbers past 2^53.
        {"lines too close for their distance from the base",
         Dxf({}, Hatch(0, 1e8, 1, 1e8 + 1e-4, "53 0|43 0|44 0|45 0|46 1e-9|79 0")), true, "",
         tooDense},
        {"300 hatches just under the limit of one",
         Dxf({},
             Repeat(300,
                    [](int) { return Hatch(0, 0, 1, 1, "53 0|43 0|44 0|45 0|46 2.6e-6|79 0"); })),
         true, "The drawing expands to more than", ""},
        {"huge lines of tiny dashes",
         Dxf({},
             Repeat(300,
                    [](int i) {
                        return "0 LINE|8 0|6 FINE|10 0," + std::to_string(i) + "|11 190000," +
                               std::to_string(i);
                    }),
             "0 TABLE|2 LTYPE|70 1|0 LTYPE|2 FINE|70 0|3 x|72 65|73 2|40 2|49 1|74 0|49 -1|74 "
             "0|0 ENDTAB"),
         false, kTooMany, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        db::ReadResult read = dxf::ReadDxf(c.dxf);
        ASSERT_TRUE(read.Ok()) << read.error.Text();
        const Outcome o = Render(*read.database, c.fit, db::kMaxPagePrimitives);
        EXPECT_EQ(o.error.substr(0, c.error.size()), c.error);
        EXPECT_EQ(c.error.empty(), o.error.empty()) << o.error;
        if (!c.warning.empty()) {
            EXPECT_TRUE(std::any_of(o.warnings.begin(), o.warnings.end(), [&](const auto& w) {
                return w.find(c.warning) != std::string::npos;
            }));
            EXPECT_GT(o.drawn, 0);  // filled solid
        }
    }
}

// The budget counts the real work: a real drawing renders whole under the default, and a
// budget just below what it needs stops it with the number given.
TEST(HostileDrawings, ARealDrawingRendersWholeUnderTheBudget) {
    const auto file = std::filesystem::path(VORMEX_SOURCE_DIR) / "examples/floor-plan.dxf";
    const load::LoadResult r = load::LoadDrawing(file);
    ASSERT_TRUE(r.Ok()) << r.error.Text();
    const Outcome whole = Render(*r.database, true, db::kMaxPagePrimitives);
    EXPECT_EQ(whole.error, "");
    EXPECT_GT(whole.drawn, 100);
    const Outcome cut = Render(*r.database, true, whole.drawn / 2);
    EXPECT_EQ(cut.error, "The drawing expands to more than " + std::to_string(whole.drawn / 2) +
                             " primitives.");
    EXPECT_LE(cut.drawn, whole.drawn / 2);
}

}  // namespace
}  // namespace vx::engine::render
