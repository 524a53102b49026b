// How pictures are shown: the colour settings a drawing gives an underlay's page, and the
// part of a picture that an inverted clip boundary hides.
#pragma once

#include <QImage>
#include <QPolygonF>

namespace vx::engine::render {

// An underlay's look: grey when `monochrome` (luminance kept), its contrast cut to
// `contrast` per cent (each channel drawn towards the grey half-way between paper white
// and black), then faded towards the paper by `fade` per cent. Contrast 100 and fade 0
// leave the colours as they are; values out of 0..100 are taken at the nearer end.
void AdjustPicture(QImage& img, bool monochrome, int contrast, int fade);

// A raster image's look, from its brightness, contrast and fade (each 0..100, taken at the
// nearer end when out of range): brightness moves every channel from black (0) through
// as is (50) to white (100); contrast then spreads the channels from the middle grey, from
// all grey (0) through as is (50) to black and white (100); fade last draws the image
// towards the paper. 50, 50 and 0 leave the colours as they are.
void AdjustImage(QImage& img, int brightness, int contrast, int fade);

// Makes the pixels inside `polygon` (pixel units, y down from the top-left corner)
// transparent, so that what lies beneath the picture shows there.
void HideInside(QImage& img, const QPolygonF& polygon);

}  // namespace vx::engine::render
