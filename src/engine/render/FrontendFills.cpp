#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <algorithm>
#include <cmath>

#include "engine/load/DrawingLoader.h"
#include "engine/load/InputFile.h"
#include "engine/render/FrontendParts.h"
#include "engine/render/Pictures.h"

namespace vx::engine::render {

void Frontend::Impl::DrawSolid(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::Face>();
    if (!g) {
        return;
    }
    const Transform m = OcsFrame(f, e.props.extrusion);
    // Corners are stored in the order 1-2-4-3.
    Polygon ring;
    for (int k : {0, 1, 3, 2}) {
        if (!Finite(g->corners[k])) {
            return;
        }
        ring.push_back(Map(m, g->corners[k]));
    }
    const Resolved r = ctx.Resolve(e.props, f.scope);
    const plotstyle::Pen& pen = ctx.PenFor(r);
    page.Fill({ring}, pen);
    // The outline too, so that a solid thinner than the lineweight still shows.
    page.Stroke(ring, true, pen);
}

void Frontend::Impl::Draw3dFace(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::Face>();
    if (!g) {
        return;
    }
    const Resolved r = ctx.Resolve(e.props, f.scope);
    const plotstyle::Pen& pen = ctx.PenFor(r);
    const double ltMm = LinetypeMm(e.props, f);
    for (int k = 0; k < 4; ++k) {
        if (g->invisibleEdges & (1 << k)) {
            continue;
        }
        const Vec3 a = g->corners[k], b = g->corners[(k + 1) % 4];
        if (a == b || !Finite(a) || !Finite(b)) {
            continue;
        }
        local = {a, b};
        StrokeLocal(f.toPaper, false, r, pen, ltMm);
    }
}

void Frontend::Impl::DrawHatch(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::Hatch>();
    if (!g) {
        return;
    }
    const Transform m = OcsFrame(f, e.props.extrusion);
    const double mm = PlaneScale(m, {1, 0, 0}, {0, 1, 0});
    HatchLoops(*g, mm, page.Measuring() ? CurveTol(HatchSpan(*g) * mm) : tol, loops);
    if (loops.empty()) {
        return;
    }
    const Resolved r = ctx.Resolve(e.props, f.scope);
    const plotstyle::Pen& pen = ctx.PenFor(r);
    // Cull on the boundary's box before any pattern work.
    page::Rect box = page::Rect::Empty();
    for (const auto& loop : loops) {
        for (const Vec3& p : loop) {
            box.Include(Map(m, p));
        }
    }
    if (!page.MayShow(box)) {
        return;
    }
    if (page.Measuring()) {
        // The pattern lies within the boundary, so the boundary's box is the hatch's.
        page.Fill({geom::RectRing(box)}, pen);
        return;
    }
    const auto fillSolid = [&] {
        std::vector<Polygon> rings;
        rings.reserve(loops.size());
        for (const auto& loop : loops) {
            Polygon ring;
            ring.reserve(loop.size());
            for (const Vec3& p : loop) {
                ring.push_back(Map(m, p));
            }
            rings.push_back(std::move(ring));
        }
        page.Fill(std::move(rings), pen);
    };
    if (g->solid || g->gradient) {
        fillSolid();
        return;
    }
    bool unknown = false;
    const std::vector<db::HatchPatternLine> pattern =
        EffectivePattern(*g, db.header.measurement == 1, unknown);
    if (unknown) {
        Warn("The hatch pattern \"" + g->patternName +
             "\" is neither stored in the drawing nor a standard pattern; its hatches are "
             "drawn with ANSI31.");
        db::Hatch copy;
        copy.patternName = "ANSI31";
        copy.patternScale = g->patternScale;
        copy.patternAngle = g->patternAngle;
        bool dummy = false;
        const auto fallback = EffectivePattern(copy, db.header.measurement == 1, dummy);
        DrawPattern(fallback, m, pen, g, fillSolid);
        return;
    }
    DrawPattern(pattern, m, pen, g, fillSolid);
}

template <class FillSolid>
void Frontend::Impl::DrawPattern(const std::vector<db::HatchPatternLine>& pattern,
                                 const Transform& m, const plotstyle::Pen& pen, const db::Hatch* g,
                                 FillSolid fillSolid) {
    if (pattern.empty()) {
        return;
    }
    if (!PatternSegments(pattern, loops, kMaxHatchSegments, segments)) {
        Warn("The hatch pattern \"" + g->patternName +
             "\" is too dense for its area; such hatches are filled solid.");
        fillSolid();
        return;
    }
    const double z = g->elevation;
    for (const PatternSegment& s : segments) {
        run = {Map(m, {s.ax, s.ay, z}), Map(m, {s.bx, s.by, z})};
        const bool dot = s.ax == s.bx && s.ay == s.by;
        page.Stroke(run.data(), dot ? 1 : 2, false, pen);
    }
}

std::filesystem::path Frontend::Impl::FindImage(const std::string& stored) {
    if (stored.empty()) {
        return {};
    }
    std::error_code ec;
    const std::filesystem::path folder = options.drawingFolder;
    // Whatever exists under the name counts as found; what it is (a folder, a pipe, a file too
    // large) is for the read to say.
    const std::filesystem::path asStored = load::ResolveXrefPath(stored, folder);
    if (std::filesystem::exists(asStored, ec)) {
        return asStored;
    }
    // Beside the drawing, by its file name alone.
    std::string name = stored.substr(stored.find_last_of("/\\") + 1);
    if (!folder.empty() && !name.empty()) {
        const auto beside = folder / name;
        if (std::filesystem::exists(beside, ec)) {
            return beside;
        }
    }
    return {};
}

namespace {

// Image files are untrusted like drawings: read whole only when they are regular files of a
// bounded size (a pipe or a device named like a picture never blocks the plot), then decoded
// from memory with the decoder's own allocation limit.
constexpr std::uintmax_t kMaxImageFileBytes = std::uintmax_t{256} << 20;
constexpr int kMaxImageDecodeMiB = 256;

// The image at `path`, or a null image with `problem` saying why not.
QImage ReadImageFile(const std::filesystem::path& path, std::string& problem) {
    std::string bytes;
    std::string error;
    if (!load::ReadRegularFile(path, kMaxImageFileBytes, bytes, error)) {
        problem = "could not be read (" + error + ")";
        return {};
    }
    QByteArray data = QByteArray::fromStdString(bytes);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    reader.setAllocationLimit(kMaxImageDecodeMiB);
    QImage image = reader.read();
    if (image.isNull()) {
        problem = "could not be decoded (" + reader.errorString().toStdString() + ")";
    }
    return image;
}

}  // namespace

void Frontend::Impl::DrawImage(const db::Entity& e, const Frame& f) {
    const auto* g = e.As<db::Image>();
    if (!g || !Finite(g->position) || !Finite(g->uVector) || !Finite(g->vVector)) {
        return;
    }
    const db::Database& d = *f.scope.db;
    const Vec3 w = g->uVector * g->pixelsU, h = g->vVector * g->pixelsV;
    const Resolved r = ctx.Resolve(e.props, f.scope);
    const plotstyle::Pen& pen = ctx.PenFor(r);
    if (page.Measuring()) {
        // The frame, as drawn when the image is missing; the image is not read.
        local = {g->position, g->position + w, g->position + w + h, g->position + h};
        StrokeLocal(f.toPaper, true, r, pen, LinetypeMm(e.props, f));
        return;
    }
    const std::string stored =
        g->imageDef < d.images.size() ? d.images[g->imageDef].fileName : std::string();
    QImage* img = nullptr;
    if (!stored.empty()) {
        auto it = images.find(stored);
        if (it == images.end()) {
            QImage loaded;
            const auto path = FindImage(stored);
            std::string problem = "was not found beside the drawing or at its path";
            if (!path.empty()) {
                loaded = ReadImageFile(path, problem);
            }
            if (loaded.isNull()) {
                Warn("The image \"" + stored + "\" " + problem + "; its frame is drawn instead.");
            }
            it = images.emplace(stored, std::move(loaded)).first;
        }
        img = it->second.isNull() ? nullptr : &it->second;
    }
    // The clip boundary: pixel coordinates from the image's top-left corner, whose centre
    // is pixel (0, 0). Clipped inside out, the image is drawn with those pixels cleared.
    Polygon clip;
    QPolygonF hole;  // in the image's pixels
    if (g->clipping && g->clipBoundary.size() >= 2) {
        const Vec3 origin = g->position + g->uVector * 0.5 - g->vVector * 0.5;
        std::vector<Vec3> bp = g->clipBoundary;
        if (bp.size() == 2) {
            bp = {bp[0], {bp[1].x, bp[0].y, 0}, bp[1], {bp[0].x, bp[1].y, 0}};
        }
        const bool inside = g->clipInside && img && g->pixelsU > 0 && g->pixelsV > 0;
        for (const Vec3& p : bp) {
            if (inside) {
                hole << QPointF((p.x + 0.5) * img->width() / g->pixelsU,
                                (p.y + 0.5) * img->height() / g->pixelsV);
            } else {
                clip.push_back(
                    Map(f.toPaper, origin + g->uVector * p.x + g->vVector * (g->pixelsV - p.y)));
            }
        }
    }
    if (!clip.empty()) {
        page.PushClip(clip);
    }
    if (img) {
        output::Image out;
        out.image = *img;
        AdjustImage(out.image, g->brightness, g->contrast, g->fade);
        HideInside(out.image, hole);
        out.origin = Map(f.toPaper, g->position);
        const Vec3 wp = f.toPaper.ApplyVector(w), hp = f.toPaper.ApplyVector(h);
        out.width = {wp.x, wp.y};
        out.height = {hp.x, hp.y};
        page.Picture(out);
    } else {
        local = {g->position, g->position + w, g->position + w + h, g->position + h};
        StrokeLocal(f.toPaper, true, r, pen, LinetypeMm(e.props, f));
    }
    if (!clip.empty()) {
        page.PopClip();
    }
}

void Frontend::Impl::DrawUnderlay(const db::Entity& e, const Frame& f) {
    using U = db::Underlay;
    const auto* g = e.As<U>();
    if (!g || !Finite(g->position) || !Finite(g->scale) || !std::isfinite(g->rotation) ||
        !(g->flags & U::kOn)) {
        return;  // an underlay turned off shows nothing
    }
    const db::Database& d = *f.scope.db;
    const db::UnderlayDef* def =
        g->definition < d.underlays.size() ? &d.underlays[g->definition] : nullptr;
    const Transform m = OcsFrame(f, e.props.extrusion) * g->ToOcs();
    const std::vector<Vec3> clip = g->ClipPolygon();
    const bool pdf = g->format == U::Format::Pdf;
    std::filesystem::path path;
    underlay::PdfPages::Page sheet;
    if (!def || def->fileName.empty()) {
        sheet.error = "has no file";
    } else if (pdf) {
        path = FindImage(def->fileName);
        if (path.empty()) {
            sheet.error = "was not found beside the drawing or at its path";
        } else {
            sheet = pdfs.Open(path, def->pageName);
        }
    }
    // The page in underlay units: an inch is 72 of the page's points.
    const double wide = sheet.widthPt / 72, high = sheet.heightPt / 72;
    const bool clipped = (g->flags & U::kClipping) && !clip.empty();
    std::vector<Vec3> frame = clip;
    if (sheet.ok && (!clipped || (g->flags & U::kClipInside))) {
        frame = {{0, 0, 0}, {wide, 0, 0}, {wide, high, 0}, {0, high, 0}};
    }
    const Resolved r = ctx.Resolve(e.props, f.scope);
    const auto drawFrame = [&] {
        if (frame.empty()) {
            return NotDrawn(e);
        }
        local = frame;
        StrokeLocal(m, true, r, ctx.PenFor(r), LinetypeMm(e.props, f));
    };
    const std::string file = def && !def->fileName.empty() ? def->fileName : "(none)";
    if (!pdf) {
        const std::string kind = g->format == U::Format::Dwf ? "DWF" : "DGN";
        Warn("The " + kind + " underlay \"" + file + "\" is drawn as its frame: " + kind +
             " files are not read.");
        return drawFrame();
    }
    if (!sheet.ok) {
        Warn("The PDF underlay \"" + file + "\" " + sheet.error + "; its frame is drawn instead.");
        return drawFrame();
    }
    Polygon framePaper;
    for (const Vec3& p : frame) {
        framePaper.push_back(Map(m, p));
    }
    if (page.Measuring()) {
        page.Stroke(framePaper, true, ctx.PenFor(r));  // the page covers its frame
        return;
    }
    if (!page.MayShow(geom::BoundsOf(framePaper))) {
        return;
    }
    // The part of the page to draw: the frame's box on the page, cut to what can show.
    const std::optional<geom::Affine> back =
        geom::Affine{m.m[0][0], m.m[1][0], m.m[0][1], m.m[1][1], m.t.x, m.t.y}.Inverted();
    if (!back) {
        return;  // seen edge-on
    }
    const geom::Rect seen = geom::BoundsOf(framePaper).Intersected(page.Visible());
    const geom::Rect region = seen.Width() > 0 && seen.Height() > 0
                                  ? back->MapRect(seen).Intersected(geom::Rect{0, 0, wide, high})
                                  : geom::Rect::Empty();
    if (!(region.Width() > 0 && region.Height() > 0)) {
        return;
    }
    // Pixels per underlay unit for the plot's resolution, within the pixel budget.
    double perUnit =
        PlaneScale(m, {1, 0, 0}, {0, 1, 0}) / 25.4 * std::max(options.underlayDpi, 1.0);
    const double budgetPx = static_cast<double>(pdfs.Limits().maxPixels) * 0.98;
    const double pixels = region.Width() * region.Height() * perUnit * perUnit;
    if (!(pixels <= budgetPx) && pixels > 0) {
        perUnit *= std::sqrt(budgetPx / pixels);
    }
    QRectF part(region.xmin * 72, (high - region.ymax) * 72, region.Width() * 72,
                region.Height() * 72);
    std::string error;
    QImage img = pdfs.Render(path, def->pageName, part, perUnit / 72, error);
    if (img.isNull()) {
        Warn("The PDF underlay \"" + file + "\" " + error + "; its frame is drawn instead.");
        return drawFrame();
    }
    AdjustPicture(img, (g->flags & U::kMonochrome) != 0, g->contrast, g->fade);
    if (clipped && (g->flags & U::kClipInside)) {
        // Inside the boundary nothing of the page shows: those pixels are cleared.
        const double sx = img.width() / part.width(), sy = img.height() / part.height();
        QPolygonF hole;
        for (const Vec3& p : clip) {
            hole << QPointF((p.x * 72 - part.left()) * sx, ((high - p.y) * 72 - part.top()) * sy);
        }
        HideInside(img, hole);
    }
    output::Image out;
    out.image = std::move(img);
    const double left = part.left() / 72, bottom = high - part.bottom() / 72;
    out.origin = Map(m, {left, bottom, 0});
    const Vec3 w = m.ApplyVector({part.width() / 72, 0, 0});
    const Vec3 h = m.ApplyVector({0, part.height() / 72, 0});
    out.width = {w.x, w.y};
    out.height = {h.x, h.y};
    const bool push = clipped && !(g->flags & U::kClipInside);
    if (push) {
        page.PushClip(framePaper);
    }
    page.Picture(out);
    if (push) {
        page.PopClip();
    }
}

}  // namespace vx::engine::render
