#include "Preview.h"

#include <QBuffer>
#include <algorithm>
#include <cmath>

#include "engine/db/Extents.h"
#include "engine/output/PainterBackend.h"
#include "engine/page/PagePlacement.h"
#include "engine/render/Render.h"

namespace vx::dwgwriter {

using namespace vx::engine;

namespace {

// Paints on an image held in memory: one pixel per paper millimetre.
class ImageSink final : public output::PainterSink {
public:
    explicit ImageSink(QImage& image)
        : PainterSink({static_cast<double>(image.width()), static_cast<double>(image.height())},
                      output::kMaxVectorPageBytes) {
        Begin(&image, 1.0, 0.0);
    }
    ~ImageSink() override { EndPainting(); }

protected:
    void EndPage() override { EndPainting(); }
    void Commit() override {}
    void Discard() override { EndPainting(); }
    std::int64_t BytesWritten() const override { return 0; }
};

bool HasEntities(const db::Database& db, db::BlockId block) {
    return block < db.blocks.size() && !db.blocks[block].entities.empty();
}

}  // namespace

std::uint32_t PreviewLayout(const db::Database& db) {
    std::uint32_t model = db::kNone, active = db::kNone, firstPaper = db::kNone;
    for (std::uint32_t i = 0; i < db.layouts.size(); ++i) {
        const db::Layout& l = db.layouts[i];
        if (l.block == db.modelSpace && model == db::kNone) {
            model = i;
        } else if (l.block != db.modelSpace && l.block < db.blocks.size()) {
            if (l.block == db.activePaperSpace && active == db::kNone) {
                active = i;
            }
            if (firstPaper == db::kNone || l.tabOrder < db.layouts[firstPaper].tabOrder) {
                firstPaper = i;
            }
        }
    }
    std::uint32_t paper = active != db::kNone ? active : firstPaper;
    if (db.header.tileMode == 0 && paper != db::kNone) {
        return paper;
    }
    if (model != db::kNone && (HasEntities(db, db.modelSpace) || paper == db::kNone)) {
        return model;
    }
    return paper != db::kNone ? paper : 0;
}

QImage RenderPreview(const db::Database& db, std::uint32_t layout, QSize size,
                     fonts::FontResolver* fonts) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (layout >= db.layouts.size()) {
        return image;
    }
    const db::Box3 box = db::LayoutExtents(db, layout);
    if (box.Empty()) {
        return image;
    }
    page::PlacementRequest r;
    r.plotArea = {box.min.x, box.min.y, box.max.x, box.max.y};
    // A drawing of no width or height (one line) still gets a box to fit.
    const double span = std::max(r.plotArea.Width(), r.plotArea.Height());
    if (span <= 0 || !std::isfinite(span)) {
        return image;
    }
    if (r.plotArea.Width() < span * 1e-3) {
        r.plotArea.xmin -= span * 5e-4;
        r.plotArea.xmax += span * 5e-4;
    }
    if (r.plotArea.Height() < span * 1e-3) {
        r.plotArea.ymin -= span * 5e-4;
        r.plotArea.ymax += span * 5e-4;
    }
    r.media.widthMm = size.width();
    r.media.heightMm = size.height();
    const double margin = std::max(2.0, std::min(size.width(), size.height()) * 0.04);
    r.media.margins = {margin, margin, margin, margin};
    r.scale = page::PlotScale::Fit();
    r.center = true;
    const page::Placement placed = page::PlacePage(r);

    render::RenderOptions options;
    options.plotLineweights = false;  // every line one pixel
    options.fonts = fonts;
    options.viewportBorders = true;
    ImageSink sink(image);
    render::RenderLayout(db, layout, placed.drawingToPaper, options, sink);
    sink.Finish();
    return image;
}

std::vector<std::uint8_t> BmpOfImage(const QImage& image) {
    QImage indexed =
        image.convertToFormat(QImage::Format_Indexed8, Qt::AutoColor | Qt::ThresholdDither);
    QByteArray file;
    QBuffer buffer(&file);
    buffer.open(QIODevice::WriteOnly);
    if (!indexed.save(&buffer, "BMP") || file.size() <= 14 || !file.startsWith("BM")) {
        return {};
    }
    return std::vector<std::uint8_t>(file.begin() + 14, file.end());
}

}  // namespace vx::dwgwriter
