#pragma once
// Moving pixels between a picture box's persistent image and a pixel grid.

#include "morph/PixelGrid.h"
#include "raster/PictureBox.h"

namespace crossmeld {

// Reads the box's persistent image (with whatever is drawn on it) into the
// grid, sized to the image; an image of zero width or height is a
// subscript error.
void ReadPixels(PictureBox& picture, PixelGrid& grid);
// Writes the grid's blue, green and red bytes into the persistent image
// (no repaint).
void WritePixels(PictureBox& picture, const PixelGrid& grid);
// Cuts the grid's pixels to a single byte, keeping its header (and its
// memory, for the next read).
void ReleasePixels(PixelGrid& grid);

}  // namespace crossmeld
