#pragma once
// The layout a bitmap information header (BITMAPINFOHEADER, or a longer
// header that starts with it) gives its pixels: size, row order, depth,
// colour table and padded rows. Used for the format blocks of video streams
// and for the packed DIBs that frames are delivered and drawn as.

#include <cstdint>
#include <span>
#include <vector>

namespace crossmeld {

// Largest pixel block a frame may have (1 GiB, as for drawing surfaces).
inline constexpr std::uint64_t kMaxDibImageBytes = std::uint64_t{1} << 30;

struct DibLayout {
    std::uint32_t headerSize = 0;  // biSize
    std::int32_t width = 0;
    std::int32_t height = 0;  // rows, always positive
    bool topDown = false;     // biHeight was negative
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t colours = 0;  // colour-table entries: biClrUsed, or 2^bits when 0 (8 bits or fewer)
    std::uint32_t clrImportant = 0;
    std::uint32_t stride = 0;     // bytes per row, padded to four
    std::uint32_t rowBytes = 0;   // bytes per row without the padding
    std::uint32_t imageSize = 0;  // stride * height

    std::size_t TableBytes() const noexcept { return std::size_t{colours} * 4; }
};

// Reads the header at the start of the block. Raises Error(InvalidPicture)
// naming the fault when it is shorter than 40 bytes, biSize does not fit
// the block, a side is not positive, the depth is not 1, 4, 8, 16, 24 or
// 32, more colours are announced than the depth can index, or the padded
// pixels would exceed kMaxDibImageBytes.
DibLayout ReadDibLayout(std::span<const std::uint8_t> block);

// A 40-byte information header for the layout (biHeight negative when
// topDown), followed by nothing.
std::vector<std::uint8_t> BuildDibHeader(const DibLayout& layout);

}  // namespace crossmeld
