// The HP-GL/2 back end: a plot file for pen plotters and the large-format printers that
// take HP-GL/2.
//
// The file, byte for byte:
//
//     BP;IN;PS<long>,<short>[;RO90];WU0;NP256; begin, initialise, sheet size (long edge
//                                             first, as plotters take it; RO90 for a
//                                             portrait sheet), pen widths in millimetres,
//                                             256 pens
//     PC<n>,<r>,<g>,<b>;PW<mm>,<n>;            a pen defined when first needed (colour and
//                                             width; PW0 is the thinnest line)
//     LA1,<cap>,2,<join>;                      line ends and joins when they change
//     SP<n>;                                  pen select
//     PU<x>,<y>;PD<x>,<y>,<x>,<y>,...;         a polyline (PU x,y;PD x,y; is a dot)
//     PM0;PU..;PD..;PM1;PU..;PD..;PM2;FP0;     a filled area, rings in polygon mode, filled
//                                             by the even-odd rule
//     PU;SP0;PG;                              end of the page
//
// Coordinates are absolute plotter units, 40 per millimetre (1016 per inch), the origin at
// the lower-left corner of the sheet, x across it and y up it, as the paper coordinates of
// the primitives (on a portrait sheet RO90 makes the plotter's axes these). Viewers show
// the sheet with its long edge across, so a portrait sheet appears turned a quarter
// counter-clockwise. Pen numbers come from the pens (the plot style's physical pen, else the
// colour number); a number asked for with a second colour or width gets another free pen
// number, so every pen in the file stands for one colour and width. Clipping (sheet and
// viewports) is applied to the geometry itself. Raster images cannot be drawn by pens and
// are left out with a note.
#pragma once

#include <array>
#include <filesystem>
#include <string>

#include "engine/output/PageSink.h"
#include "engine/output/PlotOutput.h"
#include "files/AtomicFile.h"

namespace vx::engine::output {

class HpglSink final : public PageSink {
public:
    // `pens`: the plotter's pens, declared right after the header.
    HpglSink(const std::filesystem::path& path, PageFormat format,
             std::int64_t maxBytes = kMaxVectorPageBytes, const std::vector<PlotterPen>& pens = {});
    ~HpglSink() override;

    static constexpr double kUnitsPerMm = 40.0;

protected:
    void DrawPolyline(const Polyline& polyline) override;
    void DrawArea(const FilledArea& area) override;
    void DrawImage(const Image& image) override;
    void DrawGlyphs(const GlyphRun& glyphs) override;
    void BeginClip(const Polygon&) override {}
    void EndClip() override {}
    void EndPage() override;
    void Commit() override;
    void Discard() override;
    std::int64_t BytesWritten() const override { return bytes_; }

private:
    struct Slot {
        bool defined = false;
        plotstyle::Rgb color;
        double width = 0.0;
    };

    void Write(const std::string& text);
    void Flush();
    void SelectPen(const Pen& pen, bool forFill);
    void Fill(const std::vector<Polygon>& rings, const Pen& pen);
    std::string Point(geom::Vec2 p) const;

    files::AtomicFile file_;
    std::string buffer_;
    std::int64_t bytes_ = 0;
    bool failed_ = false;
    bool ended_ = false;
    std::array<Slot, 256> slots_{};
    int currentPen_ = 0;
    std::string currentLineAttributes_;
};

}  // namespace vx::engine::output
