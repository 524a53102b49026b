#include "engine/output/HpglWriter.h"

#include <cmath>
#include <cstdio>

#include "engine/geom/Area.h"
#include "engine/geom/Polygon.h"
#include "engine/output/PainterBackend.h"

namespace vx::engine::output {

namespace {

constexpr std::size_t kFlushBytes = 64 * 1024;
// Points per PD command: long runs are split to keep commands a plotter's buffer can take.
constexpr std::size_t kPointsPerCommand = 128;

std::string Number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    std::string s(buf);
    while (!s.empty() && s.back() == '0') {
        s.pop_back();
    }
    if (!s.empty() && s.back() == '.') {
        s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

int CapCode(plotstyle::LineCap cap) {
    switch (cap) {
        case plotstyle::LineCap::Butt:
            return 1;
        case plotstyle::LineCap::Square:
            return 2;
        case plotstyle::LineCap::Diamond:
            return 3;
        case plotstyle::LineCap::Round:
            break;
    }
    return 4;
}

int JoinCode(plotstyle::LineJoin join) {
    switch (join) {
        case plotstyle::LineJoin::Miter:
            return 1;
        case plotstyle::LineJoin::Diamond:
            return 3;
        case plotstyle::LineJoin::Bevel:
            return 5;
        case plotstyle::LineJoin::Round:
            break;
    }
    return 4;
}

// Equal but for the last few bits of either coordinate.
bool NearlySame(geom::Vec2 a, geom::Vec2 b) {
    const auto same = [](double u, double v) {
        return u == 0 || v == 0 ? std::abs(u - v) <= 1e-12
                                : std::abs(u - v) * 1e12 <= std::min(std::abs(u), std::abs(v));
    };
    return same(a.x, b.x) && same(a.y, b.y);
}

Polygon SheetPolygon(const PageFormat& f) {
    return geom::RectRing({0, 0, f.widthMm, f.heightMm});
}

}  // namespace

HpglSink::HpglSink(const std::filesystem::path& path, PageFormat format, std::int64_t maxBytes,
                   const std::vector<PlotterPen>& pens)
    : PageSink(format, maxBytes), file_(path) {
    CheckPlotFile(file_);
    // The plotter's x axis runs along the long edge of the sheet; a portrait sheet turns the
    // coordinate system a quarter counter-clockwise so that our coordinates stay as they are.
    const long w = std::lround(format.widthMm * kUnitsPerMm);
    const long h = std::lround(format.heightMm * kUnitsPerMm);
    Write("BP;IN;PS" + std::to_string(std::max(w, h)) + "," + std::to_string(std::min(w, h)) +
          (w < h ? ";RO90" : "") + ";WU0;NP256;");
    for (const PlotterPen& pen : pens) {
        const int n = std::clamp(pen.number, 1, 255);
        slots_[static_cast<std::size_t>(n)] = {true, pen.color, std::max(0.0, pen.widthMm)};
        Write("PC" + std::to_string(n) + "," + std::to_string(pen.color.r) + "," +
              std::to_string(pen.color.g) + "," + std::to_string(pen.color.b) + ";PW" +
              Number(std::max(0.0, pen.widthMm)) + "," + std::to_string(n) + ";");
    }
}

HpglSink::~HpglSink() {
    if (IsOpen()) {
        Abort();
    }
}

std::string HpglSink::Point(geom::Vec2 p) const {
    return std::to_string(std::lround(p.x * kUnitsPerMm)) + "," +
           std::to_string(std::lround(p.y * kUnitsPerMm));
}

void HpglSink::Write(const std::string& text) {
    bytes_ += static_cast<std::int64_t>(text.size());
    if (bytes_ > MaxBytes() || failed_) {
        // Past the limit nothing more is written; Finish refuses the page.
        return;
    }
    buffer_ += text;
    if (buffer_.size() >= kFlushBytes) {
        Flush();
    }
}

void HpglSink::Flush() {
    if (!buffer_.empty() && !failed_) {
        failed_ = !file_.Write(buffer_);
    }
    buffer_.clear();
}

void HpglSink::SelectPen(const Pen& pen, bool forFill) {
    // A fill needs only the colour; any pen of that colour will do.
    const double width = std::max(0.0, pen.lineweight);
    const auto matches = [&](const Slot& s) {
        return s.defined && s.color == pen.color && (forFill || s.width == width);
    };
    int n = std::clamp(pen.number, 1, 255);
    if (!matches(slots_[static_cast<std::size_t>(n)]) &&
        slots_[static_cast<std::size_t>(n)].defined) {
        // The number already stands for another pen: one that matches, else a free one.
        int other = 0;
        for (int i = 1; i <= 255 && other == 0; ++i) {
            if (matches(slots_[static_cast<std::size_t>(i)])) {
                other = i;
            }
        }
        for (int i = 1; i <= 255 && other == 0; ++i) {
            if (!slots_[static_cast<std::size_t>(i)].defined) {
                other = i;
            }
        }
        if (other != 0) {
            n = other;
        }
    }
    Slot& slot = slots_[static_cast<std::size_t>(n)];
    if (!matches(slot)) {
        slot = {true, pen.color, width};
        Write("PC" + std::to_string(n) + "," + std::to_string(pen.color.r) + "," +
              std::to_string(pen.color.g) + "," + std::to_string(pen.color.b) + ";PW" +
              Number(width) + "," + std::to_string(n) + ";");
        currentPen_ = 0;  // a redefined pen is selected again
    }
    if (!forFill) {
        const std::string attributes = "LA1," + std::to_string(CapCode(pen.cap)) + ",2," +
                                       std::to_string(JoinCode(pen.join)) + ";";
        if (attributes != currentLineAttributes_) {
            Write(attributes);
            currentLineAttributes_ = attributes;
        }
    }
    if (currentPen_ != n) {
        Write("SP" + std::to_string(n) + ";");
        currentPen_ = n;
    }
}

void HpglSink::DrawPolyline(const Polyline& line) {
    std::vector<Polygon> pieces =
        geom::ClipPolyline(line.points, line.closed, SheetPolygon(Format()));
    for (const Polygon& clip : Clips()) {
        std::vector<Polygon> next;
        for (const Polygon& piece : pieces) {
            for (Polygon& part : geom::ClipPolyline(piece, false, clip)) {
                next.push_back(std::move(part));
            }
        }
        pieces = std::move(next);
    }
    if (pieces.empty()) {
        return;
    }
    SelectPen(line.pen, false);
    page::Rect inked = page::Rect::Empty();
    for (const Polygon& piece : pieces) {
        inked.Include(geom::BoundsOf(piece));
        std::string text = "PU" + Point(piece.front()) + ";";
        if (piece.size() == 1) {
            text += "PD" + Point(piece.front()) + ";";
        }
        for (std::size_t i = 1; i < piece.size(); i += kPointsPerCommand) {
            text += "PD";
            for (std::size_t k = i; k < std::min(piece.size(), i + kPointsPerCommand); ++k) {
                if (k > i) {
                    text += ",";
                }
                text += Point(piece[k]);
            }
            text += ";";
        }
        Write(text);
    }
    NoteInk(inked, line.pen.color);
}

void HpglSink::Fill(const std::vector<Polygon>& rings, const Pen& pen) {
    std::vector<Polygon> area = geom::ClipArea(rings, SheetPolygon(Format()));
    for (const Polygon& clip : Clips()) {
        if (area.empty()) {
            break;
        }
        area = geom::ClipArea(area, clip);
    }
    if (area.empty()) {
        return;
    }
    SelectPen(pen, true);
    std::string text = "PM0;";
    page::Rect inked = page::Rect::Empty();
    bool first = true;
    for (const Polygon& ring : area) {
        if (ring.size() < 3) {
            continue;
        }
        inked.Include(geom::BoundsOf(ring));
        if (!first) {
            text += "PM1;";
        }
        first = false;
        text += "PU" + Point(ring.front()) + ";PD";
        for (std::size_t k = 1; k < ring.size(); ++k) {
            text += Point(ring[k]) + ",";
        }
        text += Point(ring.front()) + ";";
    }
    text += "PM2;FP0;";
    if (!first) {
        Write(text);
        NoteInk(inked, pen.color);
    }
}

void HpglSink::DrawArea(const FilledArea& area) {
    Fill(area.rings, area.pen);
}

void HpglSink::DrawGlyphs(const GlyphRun& glyphs) {
    // Outlines are filled by the even-odd rule here, as areas are.
    std::vector<Polygon> rings;
    for (Polygon& ring : glyphs.outline.Flattened()) {
        if (ring.size() > 1 && NearlySame(ring.front(), ring.back())) {
            ring.pop_back();
        }
        if (ring.size() >= 3) {
            rings.push_back(std::move(ring));
        }
    }
    Fill(rings, glyphs.pen);
}

void HpglSink::DrawImage(const Image&) {
    Note("Raster images are left out of HP-GL/2 plots: pen plotters draw no pixels.");
}

void HpglSink::EndPage() {
    if (!ended_) {
        ended_ = true;
        Write("PU;SP0;PG;");
        Flush();
    }
}

void HpglSink::Commit() {
    CommitPlotFile(file_);
}

void HpglSink::Discard() {
    buffer_.clear();
    file_.Discard();
}

}  // namespace vx::engine::output
