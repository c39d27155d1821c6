#include "formats/gif/FrameDelta.h"

#include <array>
#include <cstring>

#include "base/Error.h"
#include "raster/DibSurface.h"

namespace crossmeld {

namespace {

const std::uint8_t* Row(const DibSurface& s, std::int32_t y) {
    return s.Bits() + static_cast<std::size_t>(y) * static_cast<std::size_t>(s.BytesPerScanline());
}

void CheckFrames(const DibSurface& previous, const DibSurface& current) {
    if (previous.BPP() != 8 || current.BPP() != 8 || previous.Width() != current.Width() ||
        previous.Height() != current.Height())
        throw Error(ErrorKind::InvalidProcedureCall, "Frames of indices of one size are compared");
}

void CheckInside(const DibSurface& frame, const IndexRect& rect) {
    if (rect.left < 0 || rect.top < 0 || rect.width <= 0 || rect.height <= 0 ||
        rect.left + rect.width > frame.Width() || rect.top + rect.height > frame.Height())
        throw Error(ErrorKind::InvalidProcedureCall, "The changed rectangle lies outside the frame");
}

}  // namespace

IndexRect ChangedRect(const DibSurface& previous, const DibSurface& current) {
    CheckFrames(previous, current);
    const std::int32_t width = current.Width(), height = current.Height();
    const auto bytes = static_cast<std::size_t>(width);
    auto same = [&](std::int32_t y) { return std::memcmp(Row(previous, y), Row(current, y), bytes) == 0; };
    std::int32_t top = 0;
    while (top < height && same(top)) ++top;
    if (top == height) return {};
    std::int32_t bottom = height - 1;
    while (same(bottom)) --bottom;
    // Columns: the first and last difference over the changed rows.
    std::int32_t left = width, right = -1;
    for (std::int32_t y = top; y <= bottom; ++y) {
        const std::uint8_t* p = Row(previous, y);
        const std::uint8_t* c = Row(current, y);
        std::int32_t x = 0;
        while (x < left && p[x] == c[x]) ++x;
        if (x < left) left = x;
        x = width - 1;
        while (x > right && p[x] == c[x]) --x;
        if (x > right) right = x;
    }
    return {left, top, right - left + 1, bottom - top + 1};
}

std::optional<std::uint8_t> FreeIndex(const DibSurface& previous, const DibSurface& current, const IndexRect& rect) {
    CheckFrames(previous, current);
    CheckInside(current, rect);
    std::array<bool, 256> used{};
    for (std::int32_t y = rect.top; y < rect.top + rect.height; ++y) {
        const std::uint8_t* p = Row(previous, y);
        const std::uint8_t* c = Row(current, y);
        for (std::int32_t x = rect.left; x < rect.left + rect.width; ++x)
            if (p[x] != c[x]) used[c[x]] = true;
    }
    for (std::size_t i = 0; i < used.size(); ++i)
        if (!used[i]) return static_cast<std::uint8_t>(i);
    return std::nullopt;
}

std::int64_t MakeDeltaFrame(const DibSurface& previous, const DibSurface& current, const IndexRect& rect,
                            std::optional<std::uint8_t> transparent, DibSurface& delta) {
    CheckFrames(previous, current);
    CheckInside(current, rect);
    if (delta.Width() != rect.width || delta.Height() != rect.height || delta.BPP() != 8)
        if (!delta.Create(rect.width, rect.height, 8)) throw Error(ErrorKind::OutOfMemory);
    std::int64_t unchanged = 0;
    for (std::int32_t y = 0; y < rect.height; ++y) {
        const std::uint8_t* p = Row(previous, rect.top + y) + rect.left;
        const std::uint8_t* c = Row(current, rect.top + y) + rect.left;
        std::uint8_t* out =
            delta.Bits() + static_cast<std::size_t>(y) * static_cast<std::size_t>(delta.BytesPerScanline());
        const std::uint8_t t = transparent.value_or(0);
        std::int32_t same = 0;
        for (std::int32_t x = 0; x < rect.width; ++x) {
            const bool kept = p[x] == c[x];
            same += kept ? 1 : 0;
            out[x] = kept && transparent ? t : c[x];
        }
        unchanged += same;
    }
    return unchanged;
}

}  // namespace crossmeld
