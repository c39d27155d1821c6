// Fuzz target for PackedDib: the input as a bitmap file's bytes and as a
// packed DIB. Any Error raised is an expected refusal; anything else (a
// crash, a read outside the input, a huge allocation) is a finding.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "base/Error.h"
#include "base/MessageHost.h"
#include "formats/bmp/PackedDib.h"

namespace {

class SilentHost final : public crossmeld::MessageHost {
public:
    crossmeld::MsgResult MessageBox(const std::string&, crossmeld::MsgIcon, crossmeld::MsgButtons,
                                    const std::string&) override {
        return crossmeld::MsgResult::OK;
    }
};

// Touches every held byte so that a bad size shows up under the sanitizers.
unsigned Checksum(const crossmeld::PackedDib& reader) {
    unsigned sum = 0;
    try {
        for (std::uint8_t b : reader.Bits()) sum += b;
        for (std::uint8_t b : reader.BitmapInfo()) sum += b;
    } catch (const crossmeld::Error&) {
    }
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    SilentHost host;
    volatile unsigned sink = 0;
    {
        crossmeld::PackedDib reader(host);
        try {
            reader.CreateFromFileBytes(input, "fuzz.bmp");
        } catch (const crossmeld::Error&) {
        }
        sink = sink + Checksum(reader);
    }
    {
        crossmeld::PackedDib reader(host);
        try {
            reader.CreateFromPackedDIBPointer(input);
        } catch (const crossmeld::Error&) {
        }
        sink = sink + Checksum(reader);
    }
    return 0;
}
