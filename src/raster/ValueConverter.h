#pragma once
// Converts stored values of one surface into stored values of another by
// colour: the source value's colour is looked up (colour table or 5-5-5
// widening) and stored the way the target stores that colour (nearest table
// entry, 5-5-5 truncation or exact). Between 32-bit surfaces the whole pixel,
// fourth byte included, passes unchanged.

#include <array>
#include <cstdint>
#include <vector>

#include "raster/Surface.h"

namespace crossmeld::raster {

class ValueConverter {
public:
    ValueConverter(const Surface& source, const Surface& target);

    // True when every value converts to itself, so rows may be copied as bytes.
    bool identity() const noexcept { return m_identity; }
    // For paletted sources: the converted value of every index; else null.
    const std::uint32_t* table() const noexcept { return m_kind == Kind::Table ? m_table.data() : nullptr; }

    std::uint32_t operator()(std::uint32_t value) {
        switch (m_kind) {
            case Kind::Pass:
                return value & m_mask;
            case Kind::Table:
                return m_table[value];
            default:
                return Convert(value);
        }
    }

private:
    enum class Kind { Pass, Table, Colour };

    std::uint32_t Convert(std::uint32_t value);

    const Surface& m_source;
    const Surface& m_target;
    Kind m_kind = Kind::Colour;
    std::uint32_t m_mask = 0xFFFFFFFFu;
    bool m_identity = false;
    std::vector<std::uint32_t> m_table;  // paletted sources: one entry per index
    // Nearest-entry searches of paletted targets, cached by colour.
    struct CacheSlot {
        std::uint32_t key = 0xFFFFFFFFu;
        std::uint32_t value = 0;
    };
    std::vector<CacheSlot> m_cache;
};

}  // namespace crossmeld::raster
