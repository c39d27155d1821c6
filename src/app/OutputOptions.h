#pragma once
// The output's options beyond the first design's controls: the timing of
// every output and the GIF's palette, dither, frame optimisation and plays.
// The window keeps them with its settings in a section of their own; the
// command line takes them from its arguments.

#include <cstdint>

#include "base/SettingsStore.h"
#include "colour/ColourReducer.h"
#include "morph/FadeTiming.h"

namespace crossmeld {

struct OutputOptions {
    FadeTiming timing;
    PaletteMode palette = PaletteMode::Halftone;
    DitherMethod dither = DitherMethod::Ordered;
    bool optimize = false;  // GIF frames store only what changed
    std::int32_t quality = -1;  // lossy outputs, 0 .. 100; -1: each format's default
    friend bool operator==(const OutputOptions&, const OutputOptions&) = default;
};

// The stored options; a value that is missing or cannot be read (or lies
// outside its range) takes its default.
OutputOptions ReadOutputOptions(SettingsStore& settings);
void SaveOutputOptions(SettingsStore& settings, const OutputOptions& options);

}  // namespace crossmeld
