// Fuzz target for the JPEG decoder with its EXIF orientation: any input
// decodes or raises Error.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/Error.h"
#include "formats/jpeg/JpegDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A lower pixel limit than the loader's keeps each run fast; the decoding
    // paths are the same.
    constexpr std::int64_t kFuzzMaxPixels = std::int64_t{1} << 22;
    try {
        crossmeld::DecodeJpegPicture(std::span<const std::uint8_t>(data, size), kFuzzMaxPixels);
    } catch (const crossmeld::Error&) {
    }
    return 0;
}
