#include "gif/mGIFLZWEnc.h"

#include <array>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "gif/LzwCodeSpace.h"
#include "imaging/MapSurfaceRows.h"
#include "imaging/cDIB.h"
#include "platform/Error.h"

namespace crossmeld::mGIFLZWEnc {
namespace {

// Dictionary hash: 5003 slots (a prime, so the displacement probe visits
// every slot). A string is keyed prefix + pixel * 4096; its probe starts at
// (pixel * 16) XOR prefix, 16 being 2^(8 - 4) where 4 doublings take 5003
// to 65536 or more.
constexpr std::int32_t kHashSlots = 5003;
constexpr std::int32_t kProbeShift = 4;
constexpr std::int32_t kKeyShift = 12;
constexpr std::int32_t kEmptySlot = -1;
// Full sub-blocks carry 254 data bytes, not the 255 the format allows.
constexpr std::int32_t kSubBlockData = 254;

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

// One frame's encoding state: the code state, the bit accumulator, the
// pending sub-block and the dictionary.
class Encoder {
public:
    Encoder(ByteWriter& out, std::int32_t initialWidth)
        : m_out(out),
          m_codes(initialWidth),
          m_width(initialWidth),
          m_largest(LzwCodeSpace::LargestCode(initialWidth)),
          m_next(m_codes.FirstFreeCode) {}

    void CompressPixels(const SurfaceRowsView& view, std::int32_t width, std::span<const std::int32_t> order);

private:
    void OutputCode(std::int32_t code);
    void ClearBlock();
    void ClearHash() { m_keys.fill(kEmptySlot); }
    void PutBlockByte(std::uint8_t b) {
        m_block[static_cast<std::size_t>(++m_count)] = b;
        if (m_count == kSubBlockData) FlushBlock();
    }
    void FlushBlock();

    ByteWriter& m_out;
    const LzwCodeSpace m_codes;
    std::int32_t m_width;    // current code width
    std::int32_t m_largest;  // largest code of the current width
    std::int32_t m_next;     // next free code
    bool m_clearFlag = false;

    std::uint64_t m_accumulator = 0;  // pending bits, least significant first
    std::int32_t m_bitCount = 0;

    std::array<std::uint8_t, 256> m_block{};  // byte 0: the length, data from byte 1
    std::int32_t m_count = 0;

    std::array<std::int32_t, kHashSlots> m_keys{};
    std::array<std::int32_t, kHashSlots> m_hashCodes{};  // never cleared: a slot's code counts only with its key
};

void Encoder::FlushBlock() {
    if (m_count == 0) return;
    m_block[0] = static_cast<std::uint8_t>(m_count);
    m_out.bytes(std::span<const std::uint8_t>(m_block.data(), static_cast<std::size_t>(m_count) + 1));
    if (!m_out.ok()) throw Error(ErrorKind::PathFileAccessError, "The GIF image data could not be written");
    m_count = 0;
}

void Encoder::OutputCode(std::int32_t code) {
    // A code never carries bits above the width: the bits past the width of
    // an out-of-table pixel are dropped, as the next code's packing would.
    m_accumulator |= static_cast<std::uint64_t>(code & LzwCodeSpace::LargestCode(m_width)) << m_bitCount;
    m_bitCount += m_width;
    while (m_bitCount >= 8) {
        PutBlockByte(static_cast<std::uint8_t>(m_accumulator));
        m_accumulator >>= 8;
        m_bitCount -= 8;
    }
    // The width changes only after the code that needed it went out at the
    // old width.
    if (m_next > m_largest || m_clearFlag) {
        if (m_clearFlag) {
            m_width = m_codes.InitialWidth;
            m_largest = LzwCodeSpace::LargestCode(m_width);
            m_clearFlag = false;
        } else {
            ++m_width;
            // At 12 bits the limit is 4096 itself: the next free code never
            // passes it, so the width stays at 12 until the clear.
            m_largest = m_width == LzwCodeSpace::kMaxWidth ? LzwCodeSpace::kMaxCodes
                                                           : LzwCodeSpace::LargestCode(m_width);
        }
    }
    if (code == m_codes.EndCode) {
        while (m_bitCount > 0) {
            PutBlockByte(static_cast<std::uint8_t>(m_accumulator));
            m_accumulator >>= 8;
            m_bitCount -= 8;
        }
        m_bitCount = 0;
        FlushBlock();
    }
}

void Encoder::ClearBlock() {
    ClearHash();
    m_next = m_codes.FirstFreeCode;
    m_clearFlag = true;
    OutputCode(m_codes.ClearCode);
}

void Encoder::CompressPixels(const SurfaceRowsView& view, std::int32_t width, std::span<const std::int32_t> order) {
    ClearHash();
    OutputCode(m_codes.ClearCode);

    std::int32_t* const keys = m_keys.data();
    std::int32_t* const codes = m_hashCodes.data();
    std::int32_t prefix = -1;
    for (const std::int32_t y : order) {
        const std::span<const std::uint8_t> row = view.Row(y).first(static_cast<std::size_t>(width));
        std::size_t x = 0;
        if (prefix < 0) prefix = row[x++];
        for (; x < row.size(); ++x) {
            const std::int32_t c = row[x];
            const std::int32_t key = prefix + (c << kKeyShift);
            std::int32_t i = (c << kProbeShift) ^ prefix;
            if (keys[i] == key) {
                prefix = codes[i];
                continue;
            }
            if (keys[i] >= 0) {
                // Secondary probe by displacement. A slot keyed 0 (pixel 0
                // after code 0) ends the probe like an empty one, and the
                // new string then takes that slot.
                const std::int32_t displacement = i == 0 ? 1 : kHashSlots - i;
                bool found = false;
                for (;;) {
                    i -= displacement;
                    if (i < 0) i += kHashSlots;
                    if (keys[i] == key) {
                        found = true;
                        break;
                    }
                    if (keys[i] <= 0) break;
                }
                if (found) {
                    prefix = codes[i];
                    continue;
                }
            }
            OutputCode(prefix);
            if (m_next < LzwCodeSpace::kMaxCodes) {
                codes[i] = m_next++;
                keys[i] = key;
            } else {
                ClearBlock();
            }
            prefix = c;
        }
    }
    OutputCode(prefix);
    OutputCode(m_codes.EndCode);
}

}  // namespace

void EncodeFrame(ByteWriter& out, const cDIB& surface, std::uint8_t initialWidth, bool interlaced) {
    if (surface.BPP() != 8 || surface.hDIB() == nullptr) return;
    if (!LzwCodeSpace::ValidInitialWidth(initialWidth))
        throw Error(ErrorKind::InvalidProcedureCall,
                    "LZW initial code width " + std::to_string(initialWidth) + " is outside 3 to 9");
    const std::int32_t width = surface.Width();
    const std::int32_t height = surface.Height();
    if (width < 1 || height < 1) return;
    const SurfaceRowsView view = MapSurfaceRows(surface);
    if (width > view.BytesPerRow())
        throw Error(ErrorKind::SubscriptOutOfRange, "Surface rows are narrower than its width");
    const std::vector<std::int32_t> order = DeliveryOrder(height, interlaced);
    // The dictionary is large; keep it off the stack.
    auto encoder = std::make_unique<Encoder>(out, initialWidth);
    encoder->CompressPixels(view, width, order);
}

}  // namespace crossmeld::mGIFLZWEnc
