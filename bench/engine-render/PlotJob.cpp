#include "PlotJob.h"

#include <algorithm>

#include "engine/load/DrawingLoader.h"
#include "engine/page/PagePlacement.h"

namespace vx::bench {

using namespace vx::engine;

output::OutputKind KindOf(const QString& path) {
    const QString p = path.toLower();
    if (p.endsWith(".png")) {
        return output::OutputKind::Png;
    }
    if (p.endsWith(".svg")) {
        return output::OutputKind::Svg;
    }
    if (p.endsWith(".plt") || p.endsWith(".hpgl") || p.endsWith(".hpg")) {
        return output::OutputKind::Hpgl;
    }
    return output::OutputKind::Pdf;
}

PlotResult Plot(const PlotJob& job, fonts::FontResolver& fonts) {
    PlotResult result;
    try {
        const load::LoadResult loaded = load::LoadDrawing(job.drawing, [&] {
            load::LoadOptions o;
            o.tablesFromCells = job.tablesFromCells;
            return o;
        }());
        if (!loaded.Ok()) {
            result.error = loaded.error.Text();
            return result;
        }
        const db::Database& d = *loaded.database;
        std::uint32_t layout = 0;
        if (!job.layout.empty() && job.layout != "Model") {
            layout = d.FindLayout(job.layout);
            if (layout == db::kNone) {
                result.error = "no layout named " + job.layout;
                return result;
            }
        }
        render::RenderOptions options;
        options.plotStyles = job.table;
        options.fonts = &fonts;
        options.drawingFolder = job.drawing.parent_path();
        const render::LayoutBounds bounds = render::MeasureLayout(d, layout, options);
        const page::Rect& box = bounds.box;
        if (box.IsEmpty()) {
            result.error = "the layout is empty";
            return result;
        }
        auto media = page::ParseMediaName(job.paper);
        if (!media) {
            result.error = "unknown paper " + job.paper;
            return result;
        }
        media->margins = {job.marginMm, job.marginMm, job.marginMm, job.marginMm};
        page::PlacementRequest req;
        req.media = *media;
        req.scale = page::PlotScale::Fit();
        const bool wide = box.Width() > box.Height();
        req.rotation = wide != media->IsLandscape() ? page::Rotation::R90 : page::Rotation::R0;
        req.center = true;
        const page::Placement placed = render::PlaceBounds(bounds, req);

        output::OutputTarget target;
        target.kind = job.kind;
        target.file = job.output.toStdString();
        target.dotsPerInch = job.dotsPerInch;
        target.title = QString::fromStdString(job.drawing.filename().string());
        auto sink = output::OpenPage(target, {media->widthMm, media->heightMm});
        options.plotArea = placed.plotted;
        result.report = render::RenderLayout(d, layout, placed.drawingToPaper, options, *sink);
        result.stats = sink->Finish({result.report.visible > 0});
        result.ok = true;
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

}  // namespace vx::bench
