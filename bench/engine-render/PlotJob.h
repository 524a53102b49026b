// One drawing file plotted to one page, for the render tool and the benchmarks: the drawing
// read, its extents fitted to the paper (turned when that fits better), rendered and the
// page committed.
#pragma once

#include <QString>
#include <filesystem>
#include <string>

#include "engine/fonts/FontResolver.h"
#include "engine/output/PlotOutput.h"
#include "engine/plotstyle/PlotStyleTable.h"
#include "engine/render/Render.h"

namespace vx::bench {

struct PlotJob {
    std::filesystem::path drawing;
    QString output;
    engine::output::OutputKind kind = engine::output::OutputKind::Pdf;
    std::string layout;        // empty: model space
    std::string paper = "A3";  // a paper name the page module knows
    int dotsPerInch = 150;     // PNG
    double marginMm = 5;
    const engine::plotstyle::PlotStyleTable* table = nullptr;
    bool tablesFromCells = false;  // every table drawn from its cells
};

struct PlotResult {
    bool ok = false;
    std::string error;
    engine::render::RenderReport report;
    engine::output::PlotStats stats;
};

// Plots the job with `fonts` (one resolver per thread).
PlotResult Plot(const PlotJob& job, engine::fonts::FontResolver& fonts);

// The output kind an extension names (.pdf .png .svg .plt/.hpgl), Pdf otherwise.
engine::output::OutputKind KindOf(const QString& path);

}  // namespace vx::bench
