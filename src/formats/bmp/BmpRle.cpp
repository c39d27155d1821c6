#include "formats/bmp/BmpRle.h"

#include <algorithm>
#include <string>

#include "base/ByteReader.h"
#include "base/Error.h"

namespace crossmeld {
namespace {

class RleCursor {
public:
    // Runs may reach into the row's padding (some writers encode whole
    // padded rows); the pixels there are dropped.
    RleCursor(Surface& surface, bool rle4)
        : m_surface(surface),
          m_rle4(rle4),
          m_rowEnd(static_cast<std::int32_t>(Surface::StrideFor(surface.width(), surface.bpp()) * 8 / surface.bpp())) {}

    // Room for count more pixels on the current row; refuses otherwise.
    void Reserve(std::uint32_t count) const {
        if (m_y >= m_surface.height() || count > static_cast<std::uint32_t>(m_rowEnd - m_x))
            Refuse("run of " + std::to_string(count) + " pixels crosses the end of row " + std::to_string(m_y));
    }
    void Put(std::uint32_t index) {
        if (m_x < m_surface.width()) m_surface.SetRaw(m_x, m_surface.height() - 1 - m_y, index);
        ++m_x;
    }
    void EndOfLine() {
        m_x = 0;
        ++m_y;
    }
    void Move(std::uint32_t dx, std::uint32_t dy) {
        if (dx > static_cast<std::uint32_t>(m_rowEnd - m_x) ||
            dy > static_cast<std::uint32_t>(std::max(0, m_surface.height() - m_y)))
            Refuse("delta moves past the picture at row " + std::to_string(m_y));
        m_x += static_cast<std::int32_t>(dx);
        m_y += static_cast<std::int32_t>(dy);
    }
    bool rle4() const { return m_rle4; }

private:
    [[noreturn]] static void Refuse(const std::string& what) {
        throw Error(ErrorKind::InvalidPicture, "bitmap file: RLE " + what);
    }

    Surface& m_surface;
    bool m_rle4;
    std::int32_t m_rowEnd;  // pixels in a padded row
    std::int32_t m_x = 0;
    std::int32_t m_y = 0;  // file row: 0 is the bottom row
};

// Absolute mode: count literal pixels, padded to a 16-bit boundary. Returns
// false when the data ends inside the run.
bool AbsoluteRun(ByteReader& in, RleCursor& cursor, std::uint32_t count) {
    cursor.Reserve(count);
    const std::size_t bytes = cursor.rle4() ? (count + 1) / 2 : count;
    const std::size_t present = std::min(bytes, in.remaining());
    const auto literal = in.bytes(present);
    std::uint32_t left = count;
    for (std::uint8_t b : literal) {
        if (!cursor.rle4()) {
            cursor.Put(b);
            continue;
        }
        // Two pixels per byte, high nibble first; an odd run leaves the
        // last low nibble unused.
        cursor.Put(b >> 4);
        if (--left > 0) {
            cursor.Put(b & 0x0F);
            --left;
        }
    }
    if (present < bytes) return false;
    if ((bytes & 1) != 0 && in.has(1)) in.skip(1);
    return true;
}

}  // namespace

void DecodeBmpRle(std::span<const std::uint8_t> data, Surface& surface, bool rle4) {
    ByteReader in(data);
    RleCursor cursor(surface, rle4);
    while (in.has(2)) {
        const std::uint8_t count = in.u8();
        const std::uint8_t value = in.u8();
        if (count > 0) {
            // Encoded mode: count pixels of one index, or of two alternating
            // indices for RLE4.
            cursor.Reserve(count);
            for (std::uint32_t i = 0; i < count; ++i)
                cursor.Put(!rle4 ? value : (i % 2 == 0 ? value >> 4 : value & 0x0F));
            continue;
        }
        switch (value) {
            case 0:  // end of line
                cursor.EndOfLine();
                break;
            case 1:  // end of bitmap
                return;
            case 2: {  // delta: right and up by two unsigned bytes
                if (!in.has(2)) return;
                const std::uint8_t dx = in.u8();
                const std::uint8_t dy = in.u8();
                cursor.Move(dx, dy);
                break;
            }
            default:
                if (!AbsoluteRun(in, cursor, value)) return;
                break;
        }
    }
}

}  // namespace crossmeld
