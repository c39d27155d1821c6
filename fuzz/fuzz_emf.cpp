// Fuzz target: the EMF player. Refusals (crossmeld::Error) are expected;
// anything else, or a run that does not end, is a finding. Pictures are
// limited to 2^16 pixels so that the search stays fast.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/Error.h"
#include "formats/metafile/MetafilePicture.h"

namespace {
volatile std::uint32_t g_sink;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        auto surface = crossmeld::DecodeEmfPicture(std::span<const std::uint8_t>(data, size), std::int64_t{1} << 16);
        std::uint32_t sum = 0;
        for (std::int32_t y = 0; y < surface->height(); ++y)
            for (std::int32_t x = 0; x < surface->width(); ++x) sum += surface->GetPixel(x, y);
        g_sink = sum;
    } catch (const crossmeld::Error&) {
    }
    return 0;
}
