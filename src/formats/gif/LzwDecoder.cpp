#include "formats/gif/LzwDecoder.h"

#include <array>

#include "raster/DibSurface.h"

namespace crossmeld::LzwDecoder {

namespace {

constexpr std::int32_t kMaxCode = 4096;       // the dictionary holds codes 0 .. 4096
// Pixels of one unwound string: the longest a dictionary of codes up to 4096
// can hold (the string of the code being defined included).
constexpr std::int32_t kStackSize = kMaxCode + 2;
constexpr std::int32_t kMaxWidth = 12;

// Codes from the data, least significant bit first.
class CodeReader {
public:
    explicit CodeReader(std::span<const std::uint8_t> data) : m_data(data) {}

    // False when the data end before the code is complete.
    bool Read(std::int32_t width, std::int32_t& code) {
        while (m_bits < width) {
            if (m_position >= m_data.size()) return false;
            m_buffer |= static_cast<std::uint32_t>(m_data[m_position++]) << m_bits;
            m_bits += 8;
        }
        code = static_cast<std::int32_t>(m_buffer & ((1u << width) - 1));
        m_buffer >>= width;
        m_bits -= width;
        return true;
    }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_position = 0;
    std::uint32_t m_buffer = 0;
    std::int32_t m_bits = 0;
};

// Where the next pixel goes: columns left to right, rows by the pass tables.
class PixelWriter {
public:
    PixelWriter(const DibSurface& surface, bool interlaced)
        : m_bits(surface.Bits()),
          m_stride(surface.BytesPerScanline()),
          m_width(surface.Width()),
          m_lastRow(surface.Height() - 1) {
        if (interlaced && surface.Height() > 4) {
            m_step = {8, 8, 4, 2};
            m_start = {0, 4, 2, 1};
        }
        m_rowStart = m_bits;
    }

    // False once the rows of the last pass are used up.
    bool Put(std::uint8_t pixel) {
        m_rowStart[m_column] = pixel;
        if (++m_column < m_width) return true;
        return NextRow();
    }

    // Pixels left in the current row, and where the next one goes; a caller
    // that writes n <= Room() pixels there then calls Advance(n).
    std::int32_t Room() const noexcept { return m_width - m_column; }
    std::uint8_t* Cursor() const noexcept { return m_rowStart + m_column; }
    bool Advance(std::int32_t n) {
        m_column += n;
        if (m_column < m_width) return true;
        return NextRow();
    }

private:
    bool NextRow() {
        m_column = 0;
        m_row += m_step[static_cast<std::size_t>(m_pass)];
        if (m_row > m_lastRow) {
            if (++m_pass >= 4) return false;
            m_row = m_start[static_cast<std::size_t>(m_pass)];
        }
        m_rowStart = m_bits + static_cast<std::ptrdiff_t>(m_row) * m_stride;
        return true;
    }

    std::uint8_t* m_bits;
    std::uint8_t* m_rowStart;
    std::int32_t m_stride;
    std::int32_t m_width;
    std::int32_t m_lastRow;
    std::array<std::int32_t, 4> m_step{1, 1, 1, 1};
    std::array<std::int32_t, 4> m_start{0, 0, 0, 0};
    std::int32_t m_pass = 0;
    std::int32_t m_row = 0;
    std::int32_t m_column = 0;
};

struct Dictionary {
    std::array<std::int32_t, kMaxCode + 1> prefix{};
    std::array<std::uint8_t, kMaxCode + 1> suffix{};
    // Pixels in the string of each code from the clear code on.
    std::array<std::int32_t, kMaxCode + 1> length{};
    std::array<std::uint8_t, kStackSize> stack{};

    std::int32_t Length(std::int32_t code, std::int32_t clear) const {
        return code < clear ? 1 : length[static_cast<std::size_t>(code)];
    }

    // Writes the string of code backwards from its last pixel at last;
    // returns its first pixel.
    std::uint8_t WriteBackwards(std::uint8_t* last, std::int32_t code, std::int32_t clear) const {
        while (code >= clear) {
            *last-- = suffix[static_cast<std::size_t>(code)];
            code = prefix[static_cast<std::size_t>(code)];
        }
        *last = static_cast<std::uint8_t>(code);
        return static_cast<std::uint8_t>(code);
    }

    // Unwinds the string of code onto the stack from index n; returns the
    // index of its first pixel, or -1 when the stack would overflow.
    std::int32_t Expand(std::int32_t n, std::int32_t code, std::int32_t clear) {
        while (code >= clear) {
            if (n >= kStackSize - 1) return -1;
            stack[static_cast<std::size_t>(n++)] = suffix[static_cast<std::size_t>(code)];
            code = prefix[static_cast<std::size_t>(code)];
        }
        stack[static_cast<std::size_t>(n)] = static_cast<std::uint8_t>(code);
        return n;
    }
};

void DecodeCodes(CodeReader& input, PixelWriter& output, std::int32_t minimumCodeSize) {
    thread_local Dictionary dictionary;
    auto& dict = dictionary;
    const std::int32_t clear = 1 << minimumCodeSize;
    const std::int32_t end = clear + 1;
    const std::int32_t initialWidth = minimumCodeSize + 1;
    std::int32_t width = initialWidth;
    std::int32_t largest = (1 << width) - 1;
    std::int32_t next = clear + 2;
    std::int32_t previous = 0;
    std::uint8_t first = 0;
    bool firstCode = true;

    // Encoders usually start with a clear code, but the format does not
    // require one: the first code may already be a pixel. The state above is
    // the state after a clear, so a leading clear changes nothing.
    std::int32_t code;
    for (;;) {
        if (!input.Read(width, code) || code == end) return;
        if (code == clear) {
            firstCode = true;
            width = initialWidth;
            largest = (1 << width) - 1;
            next = clear + 2;
            continue;
        }
        if (firstCode) {
            // A code right after a clear must be a pixel: no string exists yet.
            if (code >= clear) return;
            firstCode = false;
            previous = code;
            first = static_cast<std::uint8_t>(code);
            if (!output.Put(first)) return;
            continue;
        }
        if (code > next) return;  // a code that no string has yet: the data are broken
        const bool repeat = code == next;  // the previous string plus its own first pixel
        const std::int32_t length = repeat ? dict.Length(previous, clear) + 1 : dict.Length(code, clear);
        if (length <= output.Room()) {
            // The string fits in the current row: written there directly.
            std::uint8_t* last = output.Cursor() + length - 1;
            if (repeat) {
                *last-- = first;
                first = dict.WriteBackwards(last, previous, clear);
            } else {
                first = dict.WriteBackwards(last, code, clear);
            }
            if (!output.Advance(length)) return;
        } else {
            std::int32_t n;
            if (repeat) {
                dict.stack[0] = first;
                n = dict.Expand(1, previous, clear);
            } else {
                n = dict.Expand(0, code, clear);
            }
            if (n < 0) return;
            first = dict.stack[static_cast<std::size_t>(n)];
            for (std::int32_t k = n; k >= 0; --k)
                if (!output.Put(dict.stack[static_cast<std::size_t>(k)])) return;
        }
        // A full dictionary takes no more entries until the next clear code
        // (encoders may defer the clear); the codes go on being decoded.
        if (next <= kMaxCode) {
            dict.prefix[static_cast<std::size_t>(next)] = previous;
            dict.suffix[static_cast<std::size_t>(next)] = first;
            dict.length[static_cast<std::size_t>(next)] = dict.Length(previous, clear) + 1;
            ++next;
            if (next > largest && width < kMaxWidth) {
                ++width;
                largest = (1 << width) - 1;
            }
        }
        previous = code;
    }
}

}  // namespace

void DecodeFrame(DibSurface& surface, bool interlaced, std::uint8_t minimumCodeSize, std::span<const std::uint8_t> data) {
    if (surface.BPP() != 8 || surface.Bits() == nullptr || surface.Width() <= 0 || surface.Height() <= 0) return;
    if (minimumCodeSize > 11) return;
    CodeReader input(data);
    PixelWriter output(surface, interlaced);
    DecodeCodes(input, output, minimumCodeSize);
}

}  // namespace crossmeld::LzwDecoder
