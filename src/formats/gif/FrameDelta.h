#pragma once
// A frame of palette indices stored as its change to the frame before: the
// rectangle around every pixel whose index differs, and inside it the
// unchanged pixels as a transparent index. Drawn over the earlier frame
// (disposal "do not dispose") it shows the new frame exactly, and the
// transparent runs compress far better than the pixels they stand for.

#include <cstdint>
#include <optional>

namespace crossmeld {

class DibSurface;

struct IndexRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;  // 0: nothing changed
    std::int32_t height = 0;
};

// The smallest rectangle holding every pixel whose index differs between
// two 8-bit surfaces of one size; width and height 0 when none does.
// Error(InvalidProcedureCall) for other depths or differing sizes.
IndexRect ChangedRect(const DibSurface& previous, const DibSurface& current);

// The lowest index that no changed pixel inside the rectangle has (one the
// frame can spare for transparency), or none when the changed pixels use
// all 256. Same surfaces as ChangedRect; the rectangle must lie inside.
std::optional<std::uint8_t> FreeIndex(const DibSurface& previous, const DibSurface& current, const IndexRect& rect);

// Recreates delta as an 8-bit surface of the rectangle's size holding the
// current frame's indices inside it. With a transparent index, which no
// changed pixel may have, every unchanged pixel becomes transparent.
// Without one the rectangle is copied. Returns the number of unchanged
// pixels in the rectangle. The rectangle must lie inside both surfaces
// (Error(InvalidProcedureCall) otherwise).
std::int64_t MakeDeltaFrame(const DibSurface& previous, const DibSurface& current, const IndexRect& rect,
                            std::optional<std::uint8_t> transparent, DibSurface& delta);

}  // namespace crossmeld
