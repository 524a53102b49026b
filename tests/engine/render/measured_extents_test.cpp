// Plots fitted to their measured extents keep all their ink on the printable part of the
// sheet, where extents estimated from the entities alone cut it: a wide polyline, text laid
// out wider than its box, dimension text beyond its line, a thick lineweight.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <filesystem>
#include <functional>

#include "RenderTools.h"
#include "engine/db/Extents.h"
#include "engine/fonts/FontResolver.h"
#include "engine/output/PlotOutput.h"

using namespace vx::engine;
using namespace vx::testing;

namespace {

constexpr double kPxPerMm = 100 / 25.4;
const page::Media kA4{"A4", 210, 297, page::PaperUnits::Millimeters, {10, 10, 10, 10}};

// Model space fitted to kA4, by `area` or else by its measured extents, plotted to a PNG:
// the box of its ink on the sheet, in mm.
page::Rect InkOfPlot(const db::Database& d, const page::Rect* area, fonts::FontResolver& fonts,
                     const QString& file) {
    render::RenderOptions o;
    o.fonts = &fonts;
    page::PlacementRequest r;
    r.media = kA4;
    page::Placement placed;
    if (area) {
        r.plotArea = *area;
        placed = page::PlacePage(r);
    } else {
        placed = render::PlaceBounds(render::MeasureLayout(d, 0, o), r);
    }
    output::OutputTarget target;
    target.kind = output::OutputKind::Png;
    target.file = file.toStdString();
    target.dotsPerInch = 100;
    auto sink = output::OpenPage(target, {210, 297});
    o.plotArea = placed.plotted;
    render::RenderLayout(d, 0, placed.drawingToPaper, o, *sink);
    sink->Finish();
    const QImage img = QImage(file).convertToFormat(QImage::Format_RGB32);
    page::Rect ink = page::Rect::Empty();
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (qGray(line[x]) < 128) {
                ink.Include(page::Point{(x + 0.5) / kPxPerMm, (img.height() - y - 0.5) / kPxPerMm});
            }
        }
    }
    return ink;
}

struct Case {
    const char* what;
    bool text;
    std::function<void(Drawing&, db::StyleId)> add;
};

}  // namespace

// A square frame 100 across, so that the fit is set by its width, with something that pokes
// out to the right.
TEST(MeasuredExtents, FittedPlotsKeepTheirInkOnThePrintableArea) {
    const bool fontsThere = std::filesystem::exists("/usr/share/librecad/fonts/romans.lff");
    const Case cases[] = {
        {"wide polyline along the right edge", false,
         [](Drawing& w, db::StyleId) {
             w.Add(w.model, db::EntityType::LwPolyline,
                   db::LwPolyline{.vertices = {{100, 0}, {100, 100}}, .constantWidth = 12});
         }},
        {"mtext wider than its box", true,
         [](Drawing& w, db::StyleId s) {
             w.Add(w.model, db::EntityType::MText,
                   db::MText{.position = {100, 50, 0},
                             .height = 5,
                             .rectWidth = 5,
                             .style = s,
                             .text = "ABCDEFGHIJKL"});
         }},
        {"dimension text beyond its line", true,
         [](Drawing& w, db::StyleId s) {
             const db::BlockId b = w.Block("*D1");
             w.AddLine(b, {0, -10, 0}, {100, -10, 0});
             w.Add(b, db::EntityType::MText,
                   db::MText{.position = {102, -10, 0},
                             .height = 5,
                             .attachment = 4,
                             .style = s,
                             .text = "\\W3;100"});
             db::Dimension dim;
             dim.block = b;
             w.Add(w.model, db::EntityType::Dimension, dim);
         }},
        {"thick lineweight on the right edge", false,
         [](Drawing& w, db::StyleId) {
             w.AddLine(w.model, {100, 0, 0}, {100, 100, 0}, Props(0, {}, 211));
         }},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.text && !fontsThere) {
            continue;  // LibreCAD's stroke fonts (librecad-data) are not installed
        }
        Drawing w;
        w.Add(w.model, db::EntityType::LwPolyline,
              db::LwPolyline{.vertices = {{100, 0}, {0, 0}, {0, 100}, {100, 100}}});
        c.add(w, w.Push(w.d.textStyles, db::TextStyle{.name = "R", .fontFile = "romans.shx"}));
        fonts::FontResolver fonts;
        const page::Rect printable = kA4.PrintableArea();
        const db::Box3 b = db::ModelExtents(w.d);
        const page::Rect estimate{b.min.x, b.min.y, b.max.x, b.max.y};
        const page::Rect old = InkOfPlot(w.d, &estimate, fonts, dir.filePath("old.png"));
        EXPECT_FALSE(printable.Contains(old, 2 / kPxPerMm)) << "the case fits the estimate";
        const page::Rect ink = InkOfPlot(w.d, nullptr, fonts, dir.filePath("new.png"));
        EXPECT_TRUE(printable.Contains(ink, 2 / kPxPerMm));
        EXPECT_GT(ink.Width(), printable.Width() - 1);  // still fitted, not shrunk
    }
}
