#pragma once
// The codec dialog behind AVISaveOptions. The desktop window shows a real
// dialog offering the codecs below, the command line answers with the codec
// named on it, tests with a scripted answer.

#include <array>
#include <cstdint>

#include "formats/avi/AviTypes.h"
#include "formats/avi/Fourcc.h"

namespace crossmeld::avi {

struct CodecDescription {
    std::uint32_t handler;
    const char* name;
};

// The codecs the library can write, in the order a dialog lists them.
inline constexpr std::array<CodecDescription, 2> kAviCodecs{{
    {kHandlerDib, "Full Frames (Uncompressed)"},
    {kHandlerMjpg, "Motion JPEG"},
}};

class CodecChooser {
public:
    virtual ~CodecChooser() = default;
    // Shows the choice for one stream, starting from the options' current
    // values. Returns true and fills the options when the user confirms,
    // false when the choice is cancelled.
    virtual bool ChooseCodec(AviCompressOptions& options) = 0;
};

// A chooser that always confirms the same codec and quality.
class FixedCodecChooser final : public CodecChooser {
public:
    explicit FixedCodecChooser(std::uint32_t handler, std::uint32_t quality = ICQUALITY_DEFAULT)
        : m_handler(handler), m_quality(quality) {}
    bool ChooseCodec(AviCompressOptions& options) override {
        options.handler = m_handler;
        options.quality = m_quality;
        return true;
    }

private:
    std::uint32_t m_handler;
    std::uint32_t m_quality;
};

}  // namespace crossmeld::avi
