#pragma once
// Raster surfaces and colours of the model as Qt images and colours.

#include <QColor>
#include <QImage>
#include <QPalette>

#include "raster/Surface.h"

namespace crossmeld::gui {

// The surface's colours as an opaque 32-bit image (a copy), top row first.
QImage ImageFromSurface(const Surface& surface);

// A 32-bit surface whose fourth byte is opacity, as an image with alpha.
QImage ImageWithAlpha(const Surface& surface);

// A colour value; a system colour index (top bit set) is taken from the
// palette: 0x8000000F, the colour of button faces, is the palette's button
// colour, every other index the window colour.
QColor ColorFromRef(ColorRef color, const QPalette& palette);

}  // namespace crossmeld::gui
