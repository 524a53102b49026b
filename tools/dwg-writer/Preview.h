// The preview image a written DWG file carries: the drawing as it opens (model space, or
// the active paper-space layout when the drawing was saved in one), rendered by the
// engine's renderer with the objects' own colours on white, fitted into a small bitmap.
#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>
#include <vector>

#include "engine/db/Database.h"

namespace vx::engine::fonts {
class FontResolver;
}

namespace vx::dwgwriter {

// The layout the drawing opens in: model space unless it was saved in a paper-space
// layout; a paper-space layout also when model space holds nothing to show.
std::uint32_t PreviewLayout(const engine::db::Database& db);

// Renders `layout` (index into db.layouts) into an image of `size` pixels. Text needs
// `fonts` (and a QGuiApplication for TrueType fonts); without them it is left out. A layout
// with nothing to draw gives a blank white image.
QImage RenderPreview(const engine::db::Database& db, std::uint32_t layout, QSize size,
                     engine::fonts::FontResolver* fonts);

// The image as a device-independent bitmap of 256 colours, the form the file's image
// section stores (a BMP file less its 14-byte file header).
std::vector<std::uint8_t> BmpOfImage(const QImage& image);

}  // namespace vx::dwgwriter
