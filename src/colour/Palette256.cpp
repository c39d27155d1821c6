#include "colour/Palette256.h"

#include <cstddef>

#include "base/Error.h"
#include "base/Numeric.h"
#include "raster/MapPixelsAsArray.h"
#include "raster/DibSurface.h"

namespace crossmeld {

namespace {

constexpr std::size_t kTableBytes = 1024;
constexpr std::int32_t kInitialNodes = 50;
constexpr std::int32_t kLevelLists = 8;

// Byte offsets within a table entry.
constexpr int kBlue = 0;
constexpr int kGreen = 1;
constexpr int kRed = 2;

struct Rgb3 {
    std::uint8_t r, g, b;
};

constexpr Rgb3 kDarkColors[8] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                 {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {192, 192, 192}};
constexpr Rgb3 kBrightColors[8] = {{128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                   {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

// Split point between low and high: each half taken in double precision,
// their sum rounded to a byte (halves to even), so the full range splits at 128.
std::uint8_t SplitPoint(std::uint8_t low, std::uint8_t high) {
    return ToByte(static_cast<double>(low) / 2.0 + static_cast<double>(high) / 2.0);
}

// One channel's step down the tree: the bit for the child slot, and the
// range narrowed to that half. A value equal to the split point goes low.
int Descend(std::uint8_t component, float weight, std::uint8_t& low, std::uint8_t& high) {
    const std::uint8_t mid = SplitPoint(low, high);
    const float weighted = static_cast<float>(component) * weight;
    if (weighted > static_cast<float>(mid)) {
        low = mid;
        return 1;
    }
    high = mid;
    return 0;
}

}  // namespace

void Palette256::Initialize(std::int16_t initialEntries) {
    Destroy();
    m_entries = initialEntries;
    m_table.assign(kTableBytes, 0);
}

void Palette256::BuildLogicalPalette() {
    m_nearestColourTable.reset();
    const std::span<const std::uint8_t, 1024> table = Bytes();
    if (m_entries < 1 || m_entries > 256) return;  // GDI refuses such a palette
    m_nearestColourTable = std::make_unique<LogicalPalette>(table.first(static_cast<std::size_t>(m_entries) * 4));
}

void Palette256::Destroy() noexcept {
    m_entries = 0;
    m_table.clear();
    m_table.shrink_to_fit();
    m_nearestColourTable.reset();
}

std::uint8_t Palette256::ClosestIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
    // GDI's search answers an invalid index (all bits set) without
    // a palette; that value does not fit the byte result.
    if (!m_nearestColourTable) throw Error(ErrorKind::Overflow, "There is no logical palette to search");
    // Red and blue change places twice: the logical palette holds the table's
    // blue where the query's low byte is compared, so blue is packed low.
    const std::uint32_t packed =
        static_cast<std::uint32_t>(red) * 65536u + static_cast<std::uint32_t>(green) * 256u + blue;
    return static_cast<std::uint8_t>(m_nearestColourTable->GetNearestPaletteIndex(packed));
}

void Palette256::ClosestColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& closestRed,
                              std::uint8_t& closestGreen, std::uint8_t& closestBlue) const {
    const std::uint8_t index = ClosestIndex(red, green, blue);
    closestRed = Red(index);
    closestGreen = Green(index);
    closestBlue = Blue(index);
}

bool Palette256::IsGreyScale() const {
    if (m_entries < 1) return false;
    for (std::int32_t i = 0; i < m_entries; ++i) {
        const std::uint8_t r = TableByte(i, kRed);
        if (r != TableByte(i, kGreen) || r != TableByte(i, kBlue)) return false;
    }
    return true;
}

void Palette256::CreateGreyScale(GreyLevels levels) {
    Initialize(0);
    std::int32_t step = 1;
    switch (levels) {
        case GreyLevels::Two:
            m_entries = 2;
            step = 255;
            break;
        case GreyLevels::Sixteen:
            m_entries = 16;
            step = 17;
            break;
        case GreyLevels::All:
            m_entries = 256;
            step = 1;
            break;
    }
    for (std::int32_t i = 0; i < m_entries; ++i) {
        const auto grey = static_cast<std::uint8_t>(i * step);
        SetEntry(i, grey, grey, grey);
    }
    BuildLogicalPalette();
}

void Palette256::CreateEGA() {
    Initialize(0);
    m_entries = 16;
    SetDarkColors(0);
    SetBrightColors(8);
    BuildLogicalPalette();
}

void Palette256::CreateHalftone(HalftoneLevels levels) {
    Initialize(0);
    struct Cube {
        std::int16_t entries;
        std::int32_t step;
    };
    // By HalftoneLevels, two to six levels per channel.
    constexpr Cube kCubes[] = {{8, 256}, {27, 128}, {64, 85}, {125, 64}, {216, 51}};
    const Cube& cube = kCubes[static_cast<std::size_t>(levels)];
    m_entries = cube.entries;
    const std::int32_t step = cube.step;
    // A loop value of exactly 256 stands for full intensity.
    auto level = [](std::int32_t v) { return static_cast<std::uint8_t>(v == 256 ? 255 : v); };
    std::int32_t entry = 0;
    for (std::int32_t b = 0; b <= 256; b += step)
        for (std::int32_t g = 0; g <= 256; g += step)
            for (std::int32_t r = 0; r <= 256; r += step) SetEntry(entry++, level(r), level(g), level(b));
    BuildLogicalPalette();
}

void Palette256::CreateWebsafe() {
    Initialize(0);
    m_entries = 256;
    SetDarkColors(0);
    SetBrightColors(248);
    std::int32_t entry = 8;
    for (std::int32_t b = 0; b <= 255; b += 51)
        for (std::int32_t g = 0; g <= 255; g += 51)
            for (std::int32_t r = 0; r <= 255; r += 51) {
                const std::int32_t sum = r + g + b;
                const int zeros = (r == 0) + (g == 0) + (b == 0);
                // The standard colours already in the table: black, white,
                // the three two-component colours and the three primaries.
                if (sum == 0 || sum == 765 || (sum == 510 && zeros == 1) || (sum == 255 && zeros == 2)) continue;
                SetEntry(entry++, static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                         static_cast<std::uint8_t>(b));
            }
    // Entry 216 stays black; then greys 8 .. 248.
    for (std::int32_t k = 0; k <= 30; ++k) {
        const auto grey = static_cast<std::uint8_t>(8 * (k + 1));
        SetEntry(217 + k, grey, grey, grey);
    }
    BuildLogicalPalette();
}

void Palette256::CreateOptimal(const DibSurface& surface, std::int32_t maxColors, std::int32_t levels, float redWeight,
                               float greenWeight, float blueWeight) {
    if (surface.BPP() != 32) return;

    m_redWeight = redWeight;
    m_greenWeight = greenWeight;
    m_blueWeight = blueWeight;
    m_nodes.assign(kInitialNodes + 1, OctreeNode{});
    m_levelHeads.fill(0);
    if (levels < 0 || levels > 255) throw Error(ErrorKind::Overflow, "Octree depth out of range");
    m_depthLimit = static_cast<std::uint8_t>(levels);
    m_nodeCount = 1;
    m_freeHead = 0;
    m_leafCount = 0;

    const MapPixelsAsArray pixels(surface);
    for (std::int32_t y = 0; y < pixels.Rows(); ++y) {
        const std::span<const std::uint8_t> row = pixels.Row(y);
        for (std::size_t p = 0; p < row.size(); p += 4) {
            AddColorToTree(1, 1, Range{}, Range{}, Range{}, row[p + kRed], row[p + kGreen], row[p + kBlue]);
            while (m_leafCount > maxColors)
                if (!ReduceTree()) break;
        }
    }

    Initialize(0);
    std::int32_t entry = 0;
    for (std::size_t i = 1; i < m_nodes.size(); ++i) {
        const OctreeNode& node = m_nodes[i];
        if (!node.leaf) continue;
        const double count = node.count;
        SetEntry(entry, ToByte(node.redSum / count), ToByte(node.greenSum / count), ToByte(node.blueSum / count));
        ++entry;
    }
    m_entries = CheckedInt16(entry);
    BuildLogicalPalette();
}

std::span<std::uint8_t, 1024> Palette256::Bytes() {
    if (m_table.size() != kTableBytes) throw Error(ErrorKind::SubscriptOutOfRange, "The palette has no table");
    return std::span<std::uint8_t, 1024>(m_table.data(), kTableBytes);
}

std::span<const std::uint8_t, 1024> Palette256::Bytes() const {
    if (m_table.size() != kTableBytes) throw Error(ErrorKind::SubscriptOutOfRange, "The palette has no table");
    return std::span<const std::uint8_t, 1024>(m_table.data(), kTableBytes);
}

std::uint8_t Palette256::Red(std::uint8_t entry) const { return TableByte(entry, kRed); }
std::uint8_t Palette256::Green(std::uint8_t entry) const { return TableByte(entry, kGreen); }
std::uint8_t Palette256::Blue(std::uint8_t entry) const { return TableByte(entry, kBlue); }
void Palette256::SetRed(std::uint8_t entry, std::uint8_t value) { TableByte(entry, kRed) = value; }
void Palette256::SetGreen(std::uint8_t entry, std::uint8_t value) { TableByte(entry, kGreen) = value; }
void Palette256::SetBlue(std::uint8_t entry, std::uint8_t value) { TableByte(entry, kBlue) = value; }

std::uint8_t& Palette256::TableByte(std::int32_t entry, int offset) {
    if (entry < 0 || entry > 255 || m_table.size() != kTableBytes)
        throw Error(ErrorKind::SubscriptOutOfRange, "Palette entry out of range");
    return m_table[static_cast<std::size_t>(entry) * 4 + offset];
}

std::uint8_t Palette256::TableByte(std::int32_t entry, int offset) const {
    if (entry < 0 || entry > 255 || m_table.size() != kTableBytes)
        throw Error(ErrorKind::SubscriptOutOfRange, "Palette entry out of range");
    return m_table[static_cast<std::size_t>(entry) * 4 + offset];
}

void Palette256::SetEntry(std::int32_t entry, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    TableByte(entry, kRed) = r;
    TableByte(entry, kGreen) = g;
    TableByte(entry, kBlue) = b;
    TableByte(entry, 3) = 0;
}

void Palette256::SetDarkColors(std::int32_t first) {
    for (std::int32_t i = 0; i < 8; ++i) SetEntry(first + i, kDarkColors[i].r, kDarkColors[i].g, kDarkColors[i].b);
}

void Palette256::SetBrightColors(std::int32_t first) {
    for (std::int32_t i = 0; i < 8; ++i)
        SetEntry(first + i, kBrightColors[i].r, kBrightColors[i].g, kBrightColors[i].b);
}

Palette256::OctreeNode& Palette256::Node(std::int32_t number) {
    if (number < 1 || static_cast<std::size_t>(number) >= m_nodes.size())
        throw Error(ErrorKind::SubscriptOutOfRange, "Octree node out of range");
    return m_nodes[static_cast<std::size_t>(number)];
}

std::int32_t& Palette256::LevelHead(std::int32_t level) {
    if (level < 1 || level > kLevelLists) throw Error(ErrorKind::SubscriptOutOfRange, "Octree level out of range");
    return m_levelHeads[static_cast<std::size_t>(level - 1)];
}

void Palette256::AddColorToTree(std::int32_t node, std::int32_t level, Range redRange, Range greenRange,
                                Range blueRange, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    // Iterative form of the descent: each pass handles one level below `node`.
    for (;;) {
        const int slot = Descend(red, m_redWeight, redRange.low, redRange.high) +
                         2 * Descend(green, m_greenWeight, greenRange.low, greenRange.high) +
                         4 * Descend(blue, m_blueWeight, blueRange.low, blueRange.high);
        std::int32_t child = Node(node).child[slot];
        if (child == 0) {
            child = AllocateNode();
            OctreeNode& parent = Node(node);
            parent.child[slot] = child;
            parent.count += 1;
            OctreeNode& fresh = Node(child);
            fresh.next = 0;
            fresh.redSum = fresh.greenSum = fresh.blueSum = 0;
            fresh.count = 0;
            fresh.leaf = (level == m_depthLimit);
        }
        OctreeNode& c = Node(child);
        if (c.leaf) {
            if (c.count == 0) m_leafCount += 1;
            c.count = CheckedAdd(c.count, 1);
            c.redSum = CheckedAdd(c.redSum, red);
            c.greenSum = CheckedAdd(c.greenSum, green);
            c.blueSum = CheckedAdd(c.blueSum, blue);
            return;
        }
        if (!c.listed) {
            std::int32_t& head = LevelHead(level);
            c.next = head;
            head = child;
            c.listed = true;
        }
        node = child;
        ++level;
    }
}

bool Palette256::ReduceTree() {
    std::int32_t level = m_depthLimit;
    while (level >= 1 && LevelHead(level) == 0) --level;
    if (level < 1) return false;

    // The most recently listed node of the deepest level goes first.
    std::int32_t& head = LevelHead(level);
    const std::int32_t number = head;
    head = Node(number).next;

    std::int32_t red = 0, green = 0, blue = 0, count = 0;
    for (int slot = 0; slot < 8; ++slot) {
        const std::int32_t child = Node(number).child[slot];
        if (child == 0) continue;
        const OctreeNode& c = Node(child);
        red = CheckedAdd(red, c.redSum);
        green = CheckedAdd(green, c.greenSum);
        blue = CheckedAdd(blue, c.blueSum);
        count = CheckedAdd(count, c.count);
        FreeNode(child);
        m_leafCount -= 1;
        Node(number).child[slot] = 0;
    }
    m_leafCount += 1;
    OctreeNode& node = Node(number);
    node.leaf = true;
    node.redSum = red;
    node.greenSum = green;
    node.blueSum = blue;
    node.count = count;
    return true;
}

std::int32_t Palette256::AllocateNode() {
    m_nodeCount = CheckedAdd(m_nodeCount, 1);
    if (m_freeHead == 0) {
        const std::int32_t number = m_nodeCount;
        const auto upper = static_cast<std::int32_t>(m_nodes.size()) - 1;
        // Grow by ten per cent, keeping what is there.
        if (upper < number) m_nodes.resize(static_cast<std::size_t>(ToInt32(number * 1.1)) + 1);
        return number;
    }
    const std::int32_t number = m_freeHead;
    OctreeNode& node = Node(number);
    m_freeHead = node.next;
    node.child.fill(0);
    return number;
}

void Palette256::FreeNode(std::int32_t number) {
    OctreeNode& node = Node(number);
    node.next = m_freeHead;
    m_freeHead = number;
    node.leaf = false;
    node.listed = false;
    m_nodeCount -= 1;
}

}  // namespace crossmeld
