#pragma once
// One frame as a complete PNG file in memory, made by libpng: 8-bit RGB,
// not interlaced, libpng's own filter choice and zlib compression. The
// animated PNG output takes its header and image data from it.

#include <cstdint>
#include <vector>

#include "export/FrameSink.h"

namespace crossmeld {

class PngFrameEncoder {
public:
    // Error(OutOfMemory) or Error(InvalidPicture) when libpng fails.
    const std::vector<std::uint8_t>& Encode(const FrameView& frame);

private:
    std::vector<std::uint8_t> m_rgb;  // one frame's rows as libpng takes them
    std::vector<std::uint8_t> m_png;  // the last frame encoded
};

}  // namespace crossmeld
