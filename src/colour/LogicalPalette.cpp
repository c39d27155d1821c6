#include "colour/LogicalPalette.h"

#include <limits>

namespace crossmeld {

namespace {

constexpr std::size_t kCacheSlots = 32768;
constexpr std::uint32_t kValid = 0x01000000u;

std::size_t CacheSlot(std::uint32_t colour) {
    return ((colour >> 3) & 0x1Fu) | (((colour >> 11) & 0x1Fu) << 5) | (((colour >> 19) & 0x1Fu) << 10);
}

}  // namespace

LogicalPalette::LogicalPalette(std::span<const std::uint8_t> entries) : m_entries(entries.begin(), entries.end()) {
    const std::size_t n = m_entries.size() / 4;
    m_entries.resize(n * 4);
    m_first.resize(n);
    m_second.resize(n);
    m_third.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        m_first[i] = m_entries[4 * i];
        m_second[i] = m_entries[4 * i + 1];
        m_third[i] = m_entries[4 * i + 2];
    }
}

std::uint32_t LogicalPalette::Search(std::int32_t c0, std::int32_t c1, std::int32_t c2) const noexcept {
    const std::size_t n = m_first.size();
    std::int32_t best = std::numeric_limits<std::int32_t>::max();
    std::uint32_t bestIndex = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t d0 = m_first[i] - c0;
        const std::int32_t d1 = m_second[i] - c1;
        const std::int32_t d2 = m_third[i] - c2;
        const std::int32_t d = d0 * d0 + d1 * d1 + d2 * d2;
        // Strictly less: among equally near entries the first one stays.
        if (d < best) {
            best = d;
            bestIndex = static_cast<std::uint32_t>(i);
            if (d == 0) break;
        }
    }
    return bestIndex;
}

std::uint32_t LogicalPalette::GetNearestPaletteIndex(std::uint32_t packed) const {
    const std::uint32_t colour = packed & 0x00FFFFFFu;
    if (m_cacheTag.empty()) {
        m_cacheTag.assign(kCacheSlots, 0);
        m_cacheIndex.assign(kCacheSlots, 0);
    }
    const std::size_t slot = CacheSlot(colour);
    if (m_cacheTag[slot] == (colour | kValid)) return m_cacheIndex[slot];
    const std::uint32_t index = Search(static_cast<std::int32_t>(colour & 0xFFu),
                                       static_cast<std::int32_t>((colour >> 8) & 0xFFu),
                                       static_cast<std::int32_t>((colour >> 16) & 0xFFu));
    m_cacheTag[slot] = colour | kValid;
    m_cacheIndex[slot] = static_cast<std::uint8_t>(index);
    return index;
}

}  // namespace crossmeld
