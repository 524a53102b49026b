// The preview image that a drawing file carries: in a DWG file (R13 and later) the image
// data that the header's image seeker points at, in a DXF file (text or binary) the
// THUMBNAILIMAGE section. Only the bytes needed are read; the file is opened for reading
// only, never locked against others, never changed.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>

namespace vx::search {

enum class PreviewOutcome {
    Image,       // `image` holds the preview
    NoPreview,   // the drawing carries none (or only a Windows metafile, see `detail`)
    NotDrawing,  // neither a DWG nor a DXF file
    Damaged,     // the preview's data is cut short or inconsistent
    Unreadable,  // missing, a folder, no permission, not an ordinary file
};

enum class PreviewFormat { None, Bmp, Png, Wmf };

struct DrawingPreview {
    PreviewOutcome outcome = PreviewOutcome::NoPreview;
    PreviewFormat format = PreviewFormat::None;
    QImage image;
    // The stored image bytes as a file of their own (a BMP gets its file header);
    // empty unless outcome is Image.
    QByteArray encoded;
    // Why there is no image, in words for a message.
    QString detail;
    // Bytes read from the drawing file.
    std::int64_t bytesRead = 0;
};

DrawingPreview ReadDrawingPreview(const QString& path);

// Upper bound for a stored preview image; a larger size counts as damage.
inline constexpr std::int64_t kMaxPreviewBytes = 16 * 1024 * 1024;

// A BMP file made of a device-independent bitmap (header, palette, pixels) as drawings
// store it; empty when the header makes no sense.
QByteArray BmpFileFromDib(const QByteArray& dib);

}  // namespace vx::search
