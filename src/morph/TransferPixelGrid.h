#pragma once
// Moving pixels between a picture box's persistent image and a pixel grid.

#include <cstdint>

#include "morph/PixelGrid.h"
#include "raster/PictureBox.h"

namespace crossmeld {

// Mode 1: read the box's persistent image (with whatever is drawn on it) into
// the grid, sized to the image; an image of zero width or height is a
// subscript error. Mode 2: write the grid's blue, green and red bytes into
// the persistent image (no repaint). Mode 3: release the grid's storage to a
// single byte, keeping its header. Any other mode does nothing.
void TransferPixelGrid(PictureBox& picture, PixelGrid& grid, std::int16_t mode);

}  // namespace crossmeld
