#pragma once
// The AVI writer: turns the numbered frame files Morph_0.bmp ... in the
// temporary folder into one video file, with the codec the user picks.

#include <cstdint>
#include <functional>
#include <string>

#include "base/Host.h"
#include "raster/PictureBox.h"

namespace crossmeld {

namespace avi {
class CodecChooser;
}

// What the writer uses of the main window.
struct AviOutputContext {
    Host& host;                               // messages, progress bar, pending events
    avi::CodecChooser& codecs;                // the codec dialog
    PictureBox& SaveCanvas;                      // each frame is re-saved through it
    std::function<std::int16_t()> imageCount;  // N: the image-count field read as a 16-bit integer (may raise)
    std::string tempFolder;                   // the temporary folder, used unchanged
};

// Shows its own messages; errors raised while reading frame files reach the
// caller (after the unfinished file has been removed).
void ExportAvi(AviOutputContext& context, const std::string& path, std::int16_t fps);

}  // namespace crossmeld
