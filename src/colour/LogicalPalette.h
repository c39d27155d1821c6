#pragma once
// LogicalPalette: our record of a GDI logical palette, the object
// that nearest-colour searches run on. It holds version 0x300 and up to 256
// four-byte entries (first, second, third, flags) copied byte for byte from
// a colour table, and answers GetNearestPaletteIndex queries.
//
// A query is a packed colour value whose low byte is compared with each
// entry's first byte, the next with the second and the third with the third.
// Copying a blue-green-red table unchanged puts blue first, so callers pack
// their query as R * 65536 + G * 256 + B to compare like with like.
//
// The search takes the least squared distance, ties going to the lowest
// index. Answers are remembered in a small direct-mapped cache (made on the
// first query), since callers ask for the same colours many times.

#include <cstdint>
#include <span>
#include <vector>

namespace crossmeld {

class LogicalPalette {
public:
    static constexpr std::uint16_t kVersion = 0x300;

    // entries: numEntries x 4 bytes (1 .. 256 entries).
    explicit LogicalPalette(std::span<const std::uint8_t> entries);

    std::uint16_t Version() const noexcept { return kVersion; }
    std::uint16_t EntryCount() const noexcept { return static_cast<std::uint16_t>(m_entries.size() / 4); }
    std::span<const std::uint8_t> Entries() const noexcept { return m_entries; }

    // Index of the entry nearest to the packed colour (low byte first).
    std::uint32_t GetNearestPaletteIndex(std::uint32_t packed) const;

private:
    std::uint32_t Search(std::int32_t c0, std::int32_t c1, std::int32_t c2) const noexcept;

    std::vector<std::uint8_t> m_entries;
    // The entries' bytes as separate arrays, so the distance loop vectorizes.
    std::vector<std::int32_t> m_first, m_second, m_third;
    // Cache slot = the top five bits of each byte; tag = colour + a valid bit.
    mutable std::vector<std::uint32_t> m_cacheTag;
    mutable std::vector<std::uint8_t> m_cacheIndex;
};

}  // namespace crossmeld
