#include "formats/gif/LzwEncoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/Error.h"
#include "formats/gif/LzwCodeSpace.h"
#include "raster/MapSurfaceRows.h"
#include "raster/DibSurface.h"

namespace crossmeld::LzwEncoder {
namespace {

// Dictionary hash: 5003 slots (a prime, so the displacement probe visits
// every slot). A string is keyed prefix + pixel * 4096; its probe starts at
// (pixel * 16) XOR prefix, 16 being 2^(8 - 4) where 4 doublings take 5003
// to 65536 or more.
constexpr std::int32_t kHashSlots = 5003;
constexpr std::int32_t kProbeShift = 4;
constexpr std::int32_t kKeyShift = 12;
// Full sub-blocks carry 254 data bytes, not the 255 the format allows.
constexpr std::size_t kSubBlockData = 254;
// Code bytes collected before they are cut into sub-blocks and written.
constexpr std::size_t kChunkBlocks = 64;
constexpr std::size_t kChunkData = kSubBlockData * kChunkBlocks;

// The stored rows in the order the encoder reads them: top to bottom, or the
// four interlace passes (every 8th row from 0, every 8th from 4, every 4th
// from 2, every 2nd from 1). Pictures of 4 rows or fewer are never
// interlaced.
std::vector<std::int32_t> DeliveryOrder(std::int32_t height, bool interlaced) {
    std::vector<std::int32_t> rows;
    rows.reserve(static_cast<std::size_t>(height));
    if (!interlaced || height <= 4) {
        for (std::int32_t y = 0; y < height; ++y) rows.push_back(y);
        return rows;
    }
    constexpr std::int32_t kStart[4] = {0, 4, 2, 1};
    constexpr std::int32_t kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (std::int32_t y = kStart[pass]; y < height; y += kStep[pass]) rows.push_back(y);
    return rows;
}

// A dictionary slot packs a string's key and its code into 32 bits so that
// the whole table (20 KB) stays in the first-level cache: bits 12 and up
// hold key + 1 (0 marks a free slot; keys are at most 2^20 - 1, and a key
// whose prefix is 4095 is never stored, since code 4095 fills the
// dictionary), bits 0 .. 11 the code. A query key + 1 may reach 2^20, which
// matches no slot.
using Slot = std::uint32_t;
constexpr Slot kFreeSlot = 0;
constexpr Slot kCodeMask = 0xFFF;
// Keys as the probe sees them: a free slot is below kFirstKeyed (key -1), a
// slot keyed 0 is below kAboveZero.
constexpr Slot kFirstKeyed = Slot{1} << 12;
constexpr Slot kAboveZero = Slot{2} << 12;

// Collects the code stream and writes it as sub-blocks: every 254 bytes of
// codes make one full sub-block, and the end of the stream one shorter
// block (none when the stream ends on a block boundary).
class SubBlockWriter {
public:
    explicit SubBlockWriter(ByteWriter& out) : m_out(out) {}

    // Room for at least 8 more bytes at Cursor().
    std::uint8_t* Cursor() noexcept { return m_data.data() + m_used; }
    void Advance(std::size_t n) {
        m_used += n;
        if (m_used >= kChunkData) WriteFullBlocks();
    }
    // Writes what is left, the last block possibly short.
    void Finish() {
        WriteBlocks(m_used);
        m_used = 0;
    }

private:
    void WriteFullBlocks() {
        const std::size_t full = m_used - m_used % kSubBlockData;
        WriteBlocks(full);
        std::memmove(m_data.data(), m_data.data() + full, m_used - full);
        m_used -= full;
    }
    void WriteBlocks(std::size_t bytes) {
        std::size_t framed = 0;
        for (std::size_t at = 0; at < bytes; at += kSubBlockData) {
            const std::size_t n = std::min(kSubBlockData, bytes - at);
            m_framed[framed++] = static_cast<std::uint8_t>(n);
            std::memcpy(m_framed.data() + framed, m_data.data() + at, n);
            framed += n;
        }
        if (framed == 0) return;
        m_out.bytes(std::span<const std::uint8_t>(m_framed.data(), framed));
        if (!m_out.ok()) throw Error(ErrorKind::PathFileAccessError, "The GIF image data could not be written");
    }

    ByteWriter& m_out;
    std::size_t m_used = 0;
    std::array<std::uint8_t, kChunkData + 16> m_data{};
    std::array<std::uint8_t, kChunkData + kChunkBlocks + 1> m_framed{};
};

// One frame's encoding: the dictionary, the code state and the bit packing.
// Codes are packed least significant bit first into a 64-bit accumulator
// and leave it four bytes at a time; the sub-block cutting is the writer's.
class Encoder {
public:
    Encoder(ByteWriter& out, std::int32_t initialWidth) : m_blocks(out), m_codes(initialWidth) {}

    void CompressPixels(const SurfaceRowsView& view, std::int32_t width, std::span<const std::int32_t> order);

private:
    std::array<Slot, kHashSlots> m_slots{};
    SubBlockWriter m_blocks;
    const LzwCodeSpace m_codes;
};

void Encoder::CompressPixels(const SurfaceRowsView& view, std::int32_t width, std::span<const std::int32_t> order) {
    // The code state lives in locals so that it stays in registers while
    // bytes are stored.
    const std::int32_t initialWidth = m_codes.InitialWidth;
    const std::int32_t clearCode = m_codes.ClearCode;
    std::int32_t codeWidth = initialWidth;
    std::int32_t largest = LzwCodeSpace::LargestCode(initialWidth);
    std::int32_t next = m_codes.FirstFreeCode;
    bool clearFlag = false;
    std::uint64_t accumulator = 0;
    std::int32_t bitCount = 0;
    Slot* const slots = m_slots.data();

    // Packs one code at the width in force, then widens the codes when the
    // next free code has passed the largest code of the width (or falls back
    // to the initial width after a clear): the width changes only after the
    // code that made it necessary went out at the old width.
    auto output = [&](std::int32_t code) {
        accumulator |= static_cast<std::uint64_t>(code) << bitCount;
        bitCount += codeWidth;
        if (bitCount >= 32) {
            const auto low = static_cast<std::uint32_t>(accumulator);
            std::uint8_t* cursor = m_blocks.Cursor();
            cursor[0] = static_cast<std::uint8_t>(low);
            cursor[1] = static_cast<std::uint8_t>(low >> 8);
            cursor[2] = static_cast<std::uint8_t>(low >> 16);
            cursor[3] = static_cast<std::uint8_t>(low >> 24);
            m_blocks.Advance(4);
            accumulator >>= 32;
            bitCount -= 32;
        }
        if (next > largest || clearFlag) [[unlikely]] {
            if (clearFlag) {
                codeWidth = initialWidth;
                largest = LzwCodeSpace::LargestCode(codeWidth);
                clearFlag = false;
            } else {
                ++codeWidth;
                // At 12 bits the limit is 4096 itself: the next free code
                // never passes it, so the width stays at 12 until the clear.
                largest = codeWidth == LzwCodeSpace::kMaxWidth ? LzwCodeSpace::kMaxCodes
                                                               : LzwCodeSpace::LargestCode(codeWidth);
            }
        }
    };
    auto clearHash = [&] { std::fill_n(slots, kHashSlots, kFreeSlot); };

    clearHash();
    output(clearCode);

    std::int32_t prefix = -1;
    for (const std::int32_t y : order) {
        const std::uint8_t* p = view.Row(y).first(static_cast<std::size_t>(width)).data();
        const std::uint8_t* const end = p + width;
        if (prefix < 0) prefix = *p++;
        for (; p != end; ++p) {
            const std::int32_t c = *p;
            const std::int32_t key = prefix + (c << kKeyShift);
            // key + 1 as a slot holds it (up to 2^20, which no slot holds).
            const Slot keyed = static_cast<Slot>(key) + 1;
            std::int32_t i = (c << kProbeShift) ^ prefix;
            Slot slot = slots[i];
            if ((slot >> 12) == keyed) {
                prefix = static_cast<std::int32_t>(slot & kCodeMask);
                continue;
            }
            if (slot >= kFirstKeyed) {
                // Secondary probe by displacement. A slot keyed 0 (pixel 0
                // after code 0) ends the probe like a free one, and the new
                // string then takes that slot.
                const std::int32_t displacement = i == 0 ? 1 : kHashSlots - i;
                bool found = false;
                for (;;) {
                    i -= displacement;
                    if (i < 0) i += kHashSlots;
                    slot = slots[i];
                    if ((slot >> 12) == keyed) {
                        found = true;
                        break;
                    }
                    if (slot < kAboveZero) break;
                }
                if (found) {
                    prefix = static_cast<std::int32_t>(slot & kCodeMask);
                    continue;
                }
            }
            output(prefix);
            if (next < LzwCodeSpace::kMaxCodes) [[likely]] {
                slots[i] = (keyed << 12) | static_cast<Slot>(next++);
            } else {
                // Dictionary full: the clear code goes out at 12 bits and
                // the width falls back right after it.
                clearHash();
                next = m_codes.FirstFreeCode;
                clearFlag = true;
                output(clearCode);
            }
            prefix = c;
        }
    }
    output(prefix);
    output(m_codes.EndCode);

    // The bits left over, the last byte padded with zero bits.
    std::uint8_t* cursor = m_blocks.Cursor();
    std::size_t n = 0;
    for (; bitCount > 0; bitCount -= 8, accumulator >>= 8) cursor[n++] = static_cast<std::uint8_t>(accumulator);
    m_blocks.Advance(n);
    m_blocks.Finish();
}

// The largest of the first `width` bytes of the rows.
std::uint8_t LargestPixel(const SurfaceRowsView& view, std::int32_t width) {
    std::uint8_t largest = 0;
    for (std::int32_t y = 0; y < view.Rows(); ++y) {
        const std::span<const std::uint8_t> row = view.Row(y).first(static_cast<std::size_t>(width));
        largest = std::max(largest, *std::max_element(row.begin(), row.end()));
    }
    return largest;
}

}  // namespace

std::uint8_t MinimumCodeSizeFor(const DibSurface& surface, std::uint8_t tableCodeSize) {
    std::uint8_t size = tableCodeSize;
    if (size >= 8 || surface.BPP() != 8 || surface.Bitmap() == nullptr) return size;
    const std::int32_t width = surface.Width();
    const SurfaceRowsView view = MapSurfaceRows(surface);
    if (width < 1 || view.Rows() < 1 || width > view.BytesPerRow()) return size;
    const std::uint8_t largest = LargestPixel(view, width);
    while (size < 8 && largest >= (1u << size)) ++size;
    return size;
}

void EncodeFrame(ByteWriter& out, const DibSurface& surface, std::uint8_t initialWidth, bool interlaced) {
    if (surface.BPP() != 8 || surface.Bitmap() == nullptr) return;
    if (!LzwCodeSpace::ValidInitialWidth(initialWidth))
        throw Error(ErrorKind::InvalidProcedureCall,
                    "LZW initial code width " + std::to_string(initialWidth) + " is outside 3 to 9");
    const std::int32_t width = surface.Width();
    const std::int32_t height = surface.Height();
    if (width < 1 || height < 1) return;
    const SurfaceRowsView view = MapSurfaceRows(surface);
    if (width > view.BytesPerRow())
        throw Error(ErrorKind::SubscriptOutOfRange, "Surface rows are narrower than its width");
    // A pixel at or past the clear code would read as a control code (or
    // lose its high bits) and corrupt the stream.
    const LzwCodeSpace codes(initialWidth);
    if (codes.ClearCode <= 255 && LargestPixel(view, width) >= codes.ClearCode)
        throw Error(ErrorKind::SubscriptOutOfRange, "A pixel value does not fit the LZW code size " +
                                                        std::to_string(initialWidth - 1));
    const std::vector<std::int32_t> order = DeliveryOrder(height, interlaced);
    // The dictionary is large; keep it off the stack.
    auto encoder = std::make_unique<Encoder>(out, initialWidth);
    encoder->CompressPixels(view, width, order);
}

}  // namespace crossmeld::LzwEncoder
