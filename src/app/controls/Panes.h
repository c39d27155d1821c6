#pragma once
// Preview panes: a bordered pane shows its picture at 1:1 from its top-left
// corner and, when the picture is larger, scroll bars along its bottom and
// right edges with a small square in the corner between them.

#include <cstdint>

#include "app/controls/Frame.h"
#include "app/controls/ScrollBar.h"
#include "raster/PictureBox.h"

namespace crossmeld {

// Thickness of the scroll bars and the side of the corner square.
inline constexpr std::int32_t kScrollBarThickness = 12;

// The controls of one pane. Positions inside the pane are pixels relative
// to its inner area.
struct PreviewPane {
    PictureBox& pane;     // StartScrollArea / EndScrollArea
    PictureBox& picture;  // StartPreview / EndPreview, sized to its picture
    ScrollBar& horizontal;
    ScrollBar& vertical;
    Frame& corner;  // StartPaneCorner / EndPaneCorner
};

// Lays the pane out from the picture box's size (pw, ph) and the pane's
// outer size (sw, sh). A bar shows when the picture is strictly larger than
// the pane in its direction; a picture at least 24 pixels smaller than the
// pane keeps the bars against its own edges, otherwise they sit 12 pixels in
// from the pane's outer edge. Bar ranges are 16-bit: a picture beyond 32767
// pixels raises an overflow (after the bars have been placed).
void LayoutPane(const PreviewPane& pane);

}  // namespace crossmeld
