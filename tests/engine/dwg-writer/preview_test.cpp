// The preview image of written DWG files, read back by the search's preview reader (the
// one the window's preview and vormex-cli thumbnail use).
#include <gtest/gtest.h>

#include <QImage>

#include "DwgWriter.h"
#include "Preview.h"
#include "dxf/TestDxf.h"
#include "engine/dxf/DxfReader.h"
#include "engine/fonts/FontResolver.h"
#include "search/DrawingPreview.h"

namespace vx::engine {
namespace {

namespace fs = std::filesystem;

fs::path Examples() {
    return fs::path(VORMEX_SOURCE_DIR) / "examples";
}

// The share of pixels that are not paper white.
double Ink(const QImage& image) {
    QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    qint64 inked = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            inked += (rgb.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF ? 1 : 0;
        }
    }
    return static_cast<double>(inked) / (static_cast<double>(rgb.width()) * rgb.height());
}

void WriteFile(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
    test::WriteBytes(p, std::string(bytes.begin(), bytes.end()));
}

TEST(DwgWriterPreview, TheStoredBitmapIsTheRenderedDrawing) {
    auto r = dxf::ReadDxf(test::ReadBytes(Examples() / "flange.dxf"));
    ASSERT_TRUE(r.Ok()) << r.error.Text();
    fonts::FontResolver fonts;
    const QImage rendered = dwgwriter::RenderPreview(
        *r.database, dwgwriter::PreviewLayout(*r.database), QSize(256, 180), &fonts);
    dwgwriter::WriteOptions options;
    options.previewBmp = dwgwriter::BmpOfImage(rendered);
    ASSERT_FALSE(options.previewBmp.empty());

    test::TempDir dir;
    WriteFile(dir.Path() / "flange.dwg", dwgwriter::WriteDwg(*r.database, options).bytes);
    search::DrawingPreview p =
        search::ReadDrawingPreview(QString::fromStdString((dir.Path() / "flange.dwg").string()));
    ASSERT_EQ(p.outcome, search::PreviewOutcome::Image) << p.detail.toStdString();
    EXPECT_EQ(p.format, search::PreviewFormat::Bmp);
    ASSERT_EQ(p.image.size(), QSize(256, 180));
    // Pixel for pixel the rendered picture, reduced to the 256 colours of the bitmap.
    const QImage expected =
        rendered.convertToFormat(QImage::Format_Indexed8, Qt::AutoColor | Qt::ThresholdDither)
            .convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(p.image.convertToFormat(QImage::Format_RGB32) == expected);
    // ... and the picture shows the flange, not a blank page.
    EXPECT_GT(Ink(p.image), 0.01);
    EXPECT_LT(Ink(p.image), 0.5);

    // Without an image the file says it has none.
    WriteFile(dir.Path() / "bare.dwg", dwgwriter::WriteDwg(*r.database).bytes);
    search::DrawingPreview none =
        search::ReadDrawingPreview(QString::fromStdString((dir.Path() / "bare.dwg").string()));
    EXPECT_EQ(none.outcome, search::PreviewOutcome::NoPreview);
}

TEST(DwgWriterPreview, EverySampleTwinShowsItsPreview) {
    int twins = 0;
    for (const auto& f : fs::recursive_directory_iterator(Examples())) {
        if (f.path().extension() != ".dwg") {
            continue;
        }
        SCOPED_TRACE(f.path().string());
        search::DrawingPreview p =
            search::ReadDrawingPreview(QString::fromStdString(f.path().string()));
        ASSERT_EQ(p.outcome, search::PreviewOutcome::Image) << p.detail.toStdString();
        EXPECT_EQ(p.image.size(), QSize(256, 180));
        EXPECT_GT(Ink(p.image), 0.005);
        ++twins;
    }
    EXPECT_GE(twins, 7);
}

}  // namespace
}  // namespace vx::engine
