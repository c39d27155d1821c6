#pragma once
// Palette256: one colour table of up to 256 entries for 8-bit pictures, with a
// nearest-colour search. The table can be filled with fixed tables (grey
// ramps, the 16 standard colours, uniform colour cubes, a 256-colour web
// table) or with an adaptive palette for a 32-bit picture computed by an
// octree colour quantizer (CreateOptimal).
//
// Entries are four bytes each, blue, green, red, reserved (0), the layout of
// a bitmap colour table. The table always has 256 entries once made;
// Entries() says how many of them are in use.
//
// The nearest-colour search runs on a logical palette (NearestColourTable) built from the
// table by BuildLogicalPalette, so it sees the table as it was then; every
// filler ends by building it.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "colour/LogicalPalette.h"

namespace crossmeld {

class DibSurface;

// The grey ramps of CreateGreyScale: 2 entries (0, 255), 16 entries (step
// 17) or all 256 greys.
enum class GreyLevels { Two, Sixteen, All };
// The colour cubes of CreateHalftone by levels per channel: 2 (8 entries),
// 3 (27), 4 (64), 5 (125) or 6 (216, 0, 51 ... 255 per channel).
enum class HalftoneLevels { Two, Three, Four, Five, Six };

class Palette256 {
public:
    Palette256() = default;
    Palette256(const Palette256&) = delete;
    Palette256& operator=(const Palette256&) = delete;

    // Destroy, then Entries = initialEntries and a fresh all-black table.
    void Initialize(std::int16_t initialEntries);
    // (Re)creates the logical palette from the table's first Entries entries.
    void BuildLogicalPalette();
    // Entries = 0, the table released, the logical palette deleted.
    void Destroy() noexcept;

    // The colour of the entry nearest to (red, green, blue).
    void ClosestColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& closestRed,
                      std::uint8_t& closestGreen, std::uint8_t& closestBlue) const;
    // The index of the entry nearest to (red, green, blue): least squared RGB
    // distance, ties to the lowest index. Without a logical palette the
    // search has no valid answer and raises Error(Overflow).
    std::uint8_t ClosestIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const;
    // True when Entries >= 1 and every entry in use has red = green = blue.
    bool IsGreyScale() const;

    // A grey ramp from black to white.
    void CreateGreyScale(GreyLevels levels);
    // The 16 standard colours.
    void CreateEGA();
    // A uniform colour cube from black to white, red changing fastest.
    void CreateHalftone(HalftoneLevels levels);
    // The 256-entry web table: the standard colours at 0 .. 7 and
    // 248 .. 255, the rest of the 6 x 6 x 6 cube at 8 .. 215, black at 216
    // and greys 8, 16 ... 248 at 217 .. 247.
    void CreateWebsafe();
    // Adaptive palette of at most maxColors entries for a 32-bit surface,
    // from an octree whose leaves lie levels deep (1 .. 8); each component
    // is multiplied by its weight before it is compared with a split point.
    // A surface of another depth leaves everything unchanged.
    void CreateOptimal(const DibSurface& surface, std::int32_t maxColors, std::int32_t levels, float redWeight,
                       float greenWeight, float blueWeight);

    // The 1024 bytes of the table (all 256 entries). Valid until the next
    // operation that rebuilds the table. Error(SubscriptOutOfRange) while
    // there is no table.
    std::span<std::uint8_t, 1024> Bytes();
    std::span<const std::uint8_t, 1024> Bytes() const;
    // The logical palette; null when none.
    const LogicalPalette* NearestColourTable() const noexcept { return m_nearestColourTable.get(); }

    std::int16_t Entries() const noexcept { return m_entries; }
    // Changes only the count.
    void SetEntries(std::int16_t entries) noexcept { m_entries = entries; }

    // One component of one entry (Error(SubscriptOutOfRange) without a table).
    std::uint8_t Red(std::uint8_t entry) const;
    std::uint8_t Green(std::uint8_t entry) const;
    std::uint8_t Blue(std::uint8_t entry) const;
    void SetRed(std::uint8_t entry, std::uint8_t value);
    void SetGreen(std::uint8_t entry, std::uint8_t value);
    void SetBlue(std::uint8_t entry, std::uint8_t value);

private:
    struct OctreeNode {
        bool leaf = false;
        bool listed = false;
        std::int32_t redSum = 0;
        std::int32_t greenSum = 0;
        std::int32_t blueSum = 0;
        std::int32_t count = 0;
        std::array<std::int32_t, 8> child{};
        std::int32_t next = 0;
    };
    struct Range {
        std::uint8_t low = 0;
        std::uint8_t high = 255;
    };

    std::uint8_t& TableByte(std::int32_t entry, int offset);
    std::uint8_t TableByte(std::int32_t entry, int offset) const;
    void SetEntry(std::int32_t entry, std::uint8_t r, std::uint8_t g, std::uint8_t b);
    void SetDarkColors(std::int32_t first);
    void SetBrightColors(std::int32_t first);

    OctreeNode& Node(std::int32_t number);
    std::int32_t& LevelHead(std::int32_t level);
    void AddColorToTree(std::int32_t node, std::int32_t level, Range redRange, Range greenRange, Range blueRange,
                        std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    bool ReduceTree();
    std::int32_t AllocateNode();
    void FreeNode(std::int32_t node);

    std::int16_t m_entries = 0;
    std::unique_ptr<LogicalPalette> m_nearestColourTable;
    std::vector<std::uint8_t> m_table;  // 0 or 1024 bytes

    // Octree of CreateOptimal; node 0 is unused so that numbers start at 1.
    std::vector<OctreeNode> m_nodes;
    std::int32_t m_nodeCount = 0;
    std::int32_t m_freeHead = 0;
    std::int32_t m_leafCount = 0;
    std::array<std::int32_t, 8> m_levelHeads{};  // levels 1 .. 8
    std::uint8_t m_depthLimit = 0;
    float m_redWeight = 0.0f;
    float m_greenWeight = 0.0f;
    float m_blueWeight = 0.0f;
};

}  // namespace crossmeld
