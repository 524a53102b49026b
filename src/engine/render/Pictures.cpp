#include "engine/render/Pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace vx::engine::render {

void AdjustPicture(QImage& img, bool monochrome, int contrast, int fade) {
    const int keep = 100 - std::clamp(fade, 0, 100);
    const int spread = std::clamp(contrast, 0, 100);
    if (!monochrome && keep == 100 && spread == 100) {
        return;
    }
    if (!img.hasAlphaChannel()) {
        img = img.convertToFormat(QImage::Format_RGB32);
    } else {
        img = img.convertToFormat(QImage::Format_ARGB32);
    }
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            int c[3] = {qRed(row[x]), qGreen(row[x]), qBlue(row[x])};
            if (monochrome) {
                c[0] = c[1] = c[2] = qGray(row[x]);
            }
            for (int& v : c) {
                // Twice the values, so that the middle grey (127.5) stays exact.
                const int around = 255 + (2 * v - 255) * spread / 100;
                v = 255 - (510 - around) * keep / 200;
            }
            row[x] = qRgba(c[0], c[1], c[2], qAlpha(row[x]));
        }
    }
}

void HideInside(QImage& img, const QPolygonF& polygon) {
    if (img.isNull() || polygon.size() < 3) {
        return;
    }
    img = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    p.fillPath(path, Qt::transparent);
}

}  // namespace vx::engine::render
