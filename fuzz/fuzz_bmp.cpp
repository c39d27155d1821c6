// Fuzz target: the bitmap decoder, as a file and as a packed DIB. Refusals
// (crossmeld::Error) are expected; anything else is a finding.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/Error.h"
#include "formats/bmp/BitmapFile.h"

namespace {
volatile std::uint32_t g_sink;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    for (bool isDib : {false, true}) {
        try {
            auto surface = crossmeld::DecodeBitmapFile(input, isDib);
            // Touch every pixel of small surfaces so that a surface of the
            // wrong size shows (large ones would only slow the search).
            if (std::int64_t{surface->width()} * surface->height() > (1 << 20)) continue;
            std::uint32_t sum = 0;
            for (std::int32_t y = 0; y < surface->height(); ++y)
                for (std::int32_t x = 0; x < surface->width(); ++x) sum += surface->GetPixel(x, y);
            g_sink = sum;
        } catch (const crossmeld::Error&) {
        }
    }
    return 0;
}
