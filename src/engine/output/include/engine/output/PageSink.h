// The primitive interface: what the frontend hands to every output back end, and the
// back end's side of the contract.
//
// Coordinates are paper millimetres with the origin at the lower-left corner of the sheet
// as the device takes it, x to the right, y up (the page placement module's paper
// coordinates). The frontend has already placed, scaled, rotated and resolved everything:
// a back end never sees a drawing, a layer, a text style or a plot style table, only
// primitives that each carry their resolved pen.
//
// Primitives:
// - Polyline: an open or closed run of segments stroked with the pen (a single point is a
//   dot). A pen with dashes (a plot style linetype) is dashed here, in paper millimetres.
// - FilledArea: rings filled by the even-odd rule (holes are rings inside rings), solid or
//   in the pen's fill pattern; no outline (the frontend sends one if the object has one).
// - Image: a raster image on a parallelogram of the paper.
// - GlyphRun: text as filled outlines already laid out and placed (TrueType glyphs); stroke
//   font text comes as polylines. Back ends never lay out text.
// - PushClip/PopClip: a stack of clip polygons (paper-space viewports); what is drawn is
//   clipped to the intersection of the stack and to the sheet.
//
// Every back end counts what it put on the page: primitives, inked primitives (something
// drawn inside the sheet and the clip, in a colour other than paper white), their bounding
// box and the bytes written, so that the caller can refuse a plot that came out blank or
// too large. The HP-GL/2 writer judges by the clipped geometry itself; the QPainter back
// ends by bounding boxes against the sheet and the clip polygons' bounding boxes. Output files are
// written atomically: Finish() commits them, Abort() or destruction without Finish() leaves any
// earlier file of that name as it was and no temporary file behind.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/geom/Path.h"
#include "engine/geom/Polygon.h"
#include "engine/page/PageGeometry.h"
#include "engine/plotstyle/Pen.h"

namespace vx::engine::output {

using geom::Polygon;
using plotstyle::Pen;

// A plot that could not be written, with a description for the user.
class OutputError : public std::runtime_error {
public:
    explicit OutputError(const std::string& description) : std::runtime_error(description) {}
};

struct Polyline {
    Polygon points;
    bool closed = false;
    Pen pen;
};

struct FilledArea {
    std::vector<Polygon> rings;
    Pen pen;
};

// The image's pixel (0, 0) is its top-left corner. It lands on the parallelogram with its
// lower-left corner at `origin`, its bottom edge along `width` and its left edge along
// `height` (vectors in paper millimetres spanning the whole image). The pixels stay in the
// QImage they were decoded into: only the painter back ends draw them.
struct Image {
    QImage image;
    geom::Vec2 origin;
    geom::Vec2 width;
    geom::Vec2 height;

    // The corners counter-clockwise from `origin`.
    Polygon Corners() const {
        return {origin, origin + width, origin + width + height, origin + height};
    }
};

struct GlyphRun {
    geom::Path outline;  // paper millimetres, filled with the pen's colour (non-zero winding)
    Pen pen;
};

struct PageFormat {
    double widthMm = 210.0;
    double heightMm = 297.0;
};

struct PlotStats {
    std::int64_t primitives = 0;
    std::int64_t inkedPrimitives = 0;
    page::Rect inkBounds;  // paper mm; empty when nothing was inked
    std::int64_t bytesWritten = 0;
    // What the back end could not reproduce (for example raster images on a pen plotter).
    QStringList notes;
};

// A vector page of more than this is refused as a runaway plot.
inline constexpr std::int64_t kMaxVectorPageBytes = 50LL * 1024 * 1024;

struct FinishRules {
    // The plotted area holds visible entities, so a page without ink is a failed plot.
    bool requireInk = false;
};

class PageSink {
public:
    // `maxBytes`: the largest output accepted for the page; a back end stops writing beyond
    // it and the page fails.
    explicit PageSink(PageFormat format, std::int64_t maxBytes = kMaxVectorPageBytes);
    virtual ~PageSink();
    PageSink(const PageSink&) = delete;
    PageSink& operator=(const PageSink&) = delete;

    void Draw(const Polyline& polyline);
    void Draw(const FilledArea& area);
    void Draw(const Image& image);
    void Draw(const GlyphRun& glyphs);
    // A clip polygon (simple, any orientation, in paper mm) until the matching PopClip.
    void PushClip(const Polygon& polygon);
    void PopClip();

    // Completes the page: checks the rules, then commits the file (or sends the job).
    // Throws OutputError with a description when the page has no ink although ink was
    // required, is larger than allowed, or cannot be written; nothing is committed then.
    // Back ends that own a file call Abort() from their destructor, so a page dropped
    // without Finish() writes nothing.
    PlotStats Finish(const FinishRules& rules = {});
    // Drops the page: no file is written, an earlier file stays as it was.
    void Abort();

    const PlotStats& Stats() const { return stats_; }
    const PageFormat& Format() const { return format_; }
    std::int64_t MaxBytes() const { return maxBytes_; }
    page::Rect Sheet() const { return {0, 0, format_.widthMm, format_.heightMm}; }
    bool IsOpen() const { return open_; }

protected:
    // Back ends draw one primitive as given: dashes are already applied (polylines come
    // with an empty dash list) and fill patterns already turned into solid areas.
    virtual void DrawPolyline(const Polyline& polyline) = 0;
    virtual void DrawArea(const FilledArea& area) = 0;
    virtual void DrawImage(const Image& image) = 0;
    virtual void DrawGlyphs(const GlyphRun& glyphs) = 0;
    virtual void BeginClip(const Polygon& polygon) = 0;
    virtual void EndClip() = 0;
    // Ends the page and writes or sends it; throws OutputError.
    virtual void Commit() = 0;
    virtual void Discard() = 0;
    // Bytes of output so far (after the page is ended, the final size).
    virtual std::int64_t BytesWritten() const = 0;
    // Ends the page so that BytesWritten() is final, without committing it.
    virtual void EndPage() {}

    // Back ends report what they inked: `bounds` in paper mm, already cut to what is
    // visible; `color` the ink's colour.
    void NoteInk(const page::Rect& bounds, plotstyle::Rgb color);
    void Note(const QString& text);
    // The clip stack as pushed.
    const std::vector<Polygon>& Clips() const { return clips_; }
    // The intersection of the sheet with the bounding boxes of the clip stack.
    page::Rect VisibleBounds() const;

private:
    void Close();

    PageFormat format_;
    std::int64_t maxBytes_;
    PlotStats stats_;
    std::vector<Polygon> clips_;
    bool open_ = true;
};

}  // namespace vx::engine::output
