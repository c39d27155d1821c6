// Fuzz target: icon and cursor files.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/Error.h"
#include "formats/ico/IconDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const auto icon = crossmeld::DecodeIconFile(std::span<const std::uint8_t>(data, size));
        crossmeld::FlattenIcon(icon);
    } catch (const crossmeld::Error&) {
    }
    return 0;
}
