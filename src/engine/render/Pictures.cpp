#include "engine/render/Pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

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

void AdjustImage(QImage& img, int brightness, int contrast, int fade) {
    brightness = std::clamp(brightness, 0, 100);
    contrast = std::clamp(contrast, 0, 100);
    fade = std::clamp(fade, 0, 100);
    if (img.isNull() || (brightness == 50 && contrast == 50 && fade == 0)) {
        return;
    }
    // One table for the three channels: the steepness grows without bound towards
    // contrast 100, where every channel falls to one side of the middle grey.
    const double shift = (brightness - 50) * 255.0 / 50;
    const double steep = contrast == 50    ? 1.0
                         : contrast >= 100 ? 1e9
                                           : std::tan(contrast * std::numbers::pi / 200);
    std::array<int, 256> table{};
    for (int v = 0; v < 256; ++v) {
        const double spread = std::clamp(127.5 + (v + shift - 127.5) * steep, 0.0, 255.0);
        table[static_cast<std::size_t>(v)] =
            static_cast<int>(std::lround(spread + (255 - spread) * fade / 100));
    }
    img = img.convertToFormat(img.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const auto at = [&](int v) { return table[static_cast<std::size_t>(v)]; };
            row[x] = qRgba(at(qRed(row[x])), at(qGreen(row[x])), at(qBlue(row[x])), qAlpha(row[x]));
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
