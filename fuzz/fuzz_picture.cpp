// Fuzz target for the picture loader: recognition by content and every
// decoder behind it. Any input loads or raises Error.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/Error.h"
#include "formats/LoadPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        crossmeld::LoadPictureFromMemory(std::span<const std::uint8_t>(data, size));
    } catch (const crossmeld::Error&) {
    }
    return 0;
}
