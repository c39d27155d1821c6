#pragma once
// Lloyd refinement of a palette on sample pixels: each pass gives every
// sample to its nearest entry (least squared RGB distance, ties to the
// lowest index) and moves each entry that got samples to their mean. An
// octree palette places its entries by where the tree was cut, not by the
// colours' spread; a few passes bring the entries to the middle of the
// colours they stand for and lower the error of every picture that mixes
// them.

#include <cstdint>

namespace crossmeld {

class DibSurface;
class Palette256;

// Refines the palette's first Entries entries on a 32-bit surface's pixels
// for the given number of passes (stopping early once no entry moves) and
// rebuilds its logical palette. Error(InvalidProcedureCall) for another
// depth or a palette without entries.
void RefinePalette(Palette256& palette, const DibSurface& samples, std::int32_t passes);

}  // namespace crossmeld
