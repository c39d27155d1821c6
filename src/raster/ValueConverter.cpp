#include "raster/ValueConverter.h"

#include <algorithm>

namespace crossmeld::raster {

namespace {
constexpr std::size_t kCacheSize = 4096;
}

ValueConverter::ValueConverter(const Surface& source, const Surface& target) : m_source(source), m_target(target) {
    const int sb = source.bpp(), tb = target.bpp();
    if (sb <= 8) {
        m_kind = Kind::Table;
        m_table.resize(std::size_t{1} << sb);
        // Between surfaces of one depth with equal colour tables every index
        // stays as it is, repeated colours included (a fresh all-black table,
        // unused entries of a GIF palette): no nearest-colour search.
        if (sb == tb && std::equal(source.colorTable().begin(), source.colorTable().end(),
                                   target.colorTable().begin(), target.colorTable().end())) {
            for (std::uint32_t i = 0; i < m_table.size(); ++i) m_table[i] = i;
            m_identity = true;
            return;
        }
        m_identity = sb == tb;
        for (std::uint32_t i = 0; i < m_table.size(); ++i) {
            m_table[i] = target.RawFromColor(source.ColorFromRaw(i));
            if (m_table[i] != i) m_identity = false;
        }
        return;
    }
    if (sb == tb || (sb == 24 && tb == 32)) {
        // 24 -> 32 stores the same three bytes and a zero fourth byte.
        m_kind = Kind::Pass;
        m_identity = sb == tb;
        return;
    }
    if (sb == 32 && tb == 24) {
        m_kind = Kind::Pass;
        m_mask = 0x00FFFFFFu;
        return;
    }
    m_kind = Kind::Colour;
    if (tb <= 8) m_cache.resize(kCacheSize);
}

std::uint32_t ValueConverter::Convert(std::uint32_t value) {
    const ColorRef colour = m_source.ColorFromRaw(value & (m_source.bpp() == 16 ? 0xFFFFu : 0xFFFFFFu));
    if (m_cache.empty()) return m_target.RawFromColor(colour);
    CacheSlot& slot = m_cache[(colour ^ (colour >> 12) ^ (colour >> 20)) % kCacheSize];
    if (slot.key != colour) {
        slot.key = colour;
        slot.value = m_target.NearestIndex(colour);
    }
    return slot.value;
}

}  // namespace crossmeld::raster
