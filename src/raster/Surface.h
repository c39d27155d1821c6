#pragma once
// A raster surface of our own: the replacement of a GDI DIB
// sections and bitmaps. 1, 4, 8, 16 (5-5-5), 24 and 32 bits per pixel; rows
// padded to four bytes; stored top-down or bottom-up; a colour table of
// 2^bpp entries for 8 bits per pixel or fewer.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace crossmeld {

// A colour as GDI stores it in a 32-bit value: 0x00BBGGRR.
using ColorRef = std::uint32_t;

constexpr ColorRef Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<ColorRef>(r) | (static_cast<ColorRef>(g) << 8) | (static_cast<ColorRef>(b) << 16);
}
constexpr std::uint8_t RedOf(ColorRef c) { return static_cast<std::uint8_t>(c); }
constexpr std::uint8_t GreenOf(ColorRef c) { return static_cast<std::uint8_t>(c >> 8); }
constexpr std::uint8_t BlueOf(ColorRef c) { return static_cast<std::uint8_t>(c >> 16); }

// Colour-table entry, in file order blue, green, red, reserved.
struct RgbQuad {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;
    friend bool operator==(const RgbQuad&, const RgbQuad&) = default;
};

enum class RowOrder { TopDown, BottomUp };

class Surface {
public:
    // Largest pixel memory a surface may own (1 GiB); larger requests fail.
    static constexpr std::size_t kMaxBytes = std::size_t{1} << 30;

    // Row stride in bytes for a width and depth: rows padded to four bytes.
    static std::int64_t StrideFor(std::int64_t width, int bpp) { return ((width * bpp + 31) / 32) * 4; }
    static bool SupportedDepth(int bpp) { return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32; }

    // Returns null when the depth is unsupported, a side is below 1, or the
    // memory would exceed kMaxBytes. Pixel memory starts zeroed; the colour
    // table starts all black.
    static std::shared_ptr<Surface> Create(std::int32_t width, std::int32_t height, int bpp,
                                           RowOrder order = RowOrder::TopDown);

    std::int32_t width() const noexcept { return m_width; }
    std::int32_t height() const noexcept { return m_height; }
    int bpp() const noexcept { return m_bpp; }
    std::int32_t stride() const noexcept { return m_stride; }
    RowOrder rowOrder() const noexcept { return m_order; }
    std::size_t sizeBytes() const noexcept { return m_pixels.size(); }

    // Pixel memory in storage order: the first stored row first.
    std::uint8_t* bits() noexcept { return m_pixels.data(); }
    const std::uint8_t* bits() const noexcept { return m_pixels.data(); }
    // Row y counted from the top, whatever the storage order.
    std::uint8_t* row(std::int32_t y) noexcept;
    const std::uint8_t* row(std::int32_t y) const noexcept;

    // 2^bpp entries for 8 bits per pixel or fewer, empty otherwise.
    std::span<RgbQuad> colorTable() noexcept { return m_table; }
    std::span<const RgbQuad> colorTable() const noexcept { return m_table; }

    // Colour of a pixel (palette resolved; 5-5-5 channels widened by bit
    // replication: v becomes (v << 3) | (v >> 2)).
    ColorRef GetPixel(std::int32_t x, std::int32_t y) const noexcept;
    // Raw stored value of a pixel: the index, the 16-bit word, or 0x00RRGGBB.
    std::uint32_t GetRaw(std::int32_t x, std::int32_t y) const noexcept;
    void SetRaw(std::int32_t x, std::int32_t y, std::uint32_t value) noexcept;
    // Stores a colour: the nearest table entry for paletted surfaces,
    // 5-5-5 truncation for 16 bits, exact for 24 and 32 bits.
    void SetPixel(std::int32_t x, std::int32_t y, ColorRef color) noexcept;
    // The raw value that SetPixel would store for a colour.
    std::uint32_t RawFromColor(ColorRef color) const noexcept;
    ColorRef ColorFromRaw(std::uint32_t raw) const noexcept;

    // Index of the nearest colour-table entry (squared RGB distance, ties to
    // the lowest index); 0 for surfaces without a table.
    std::uint32_t NearestIndex(ColorRef color) const noexcept;

    // Whole surface as 32-bit top-down blue, green, red, x pixels (4 x W x H
    // bytes, no row filler), and back. WriteBgrx ignores the fourth byte.
    void ReadBgrx(std::span<std::uint8_t> out) const;
    void WriteBgrx(std::span<const std::uint8_t> in);

private:
    Surface() = default;

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    int m_bpp = 0;
    std::int32_t m_stride = 0;
    RowOrder m_order = RowOrder::TopDown;
    std::vector<std::uint8_t> m_pixels;
    std::vector<RgbQuad> m_table;
};

}  // namespace crossmeld
