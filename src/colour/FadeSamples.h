#pragma once
// The pictures an octree palette for a whole fade is built from: the start
// and end pictures scaled down to fit a box, and their exact blends at a
// few weights, stacked into one 32-bit surface. A palette built on the
// first frame alone (the start picture) loses the end picture's colours;
// the blends add the mixed colours the middle frames show.

#include <cstdint>
#include <span>

namespace crossmeld {

class DibSurface;

// The blend weights between the two pictures (0 = start, 1 = end) whose
// thumbnails go into the samples, in order, and the box each thumbnail is
// scaled to fit. On the sample pair (ordered dither, 30 frames) eighths
// with a 64-pixel box and ten refinement passes gave the best worst frame
// of the choices tried (quarters, eighths; boxes of 50 to 400 pixels).
inline constexpr double kFadeSampleWeights[] = {0.0, 0.125, 0.25, 0.375, 0.5, 0.625, 0.75, 0.875, 1.0};
inline constexpr std::int32_t kFadeSampleBox = 64;
inline constexpr std::int32_t kFadeRefinementPasses = 10;

// Recreates samples as a 32-bit surface of one thumbnail per weight, one
// below the other: pixel by pixel start + (end - start) x weight, rounded
// (halves to even). start and end are 24- or 32-bit surfaces of one size,
// scaled (when larger than the box) to the same thumbnail size.
// Error(InvalidProcedureCall) for other depths, differing sizes or no weight.
void MakeFadeSamples(const DibSurface& start, const DibSurface& end, std::span<const double> weights, std::int32_t box,
                     DibSurface& samples);

}  // namespace crossmeld
