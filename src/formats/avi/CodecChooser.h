#pragma once
// The codec question of the AVI output. The desktop window shows a real
// dialog offering the codecs below, the command line answers with the codec
// named on it, tests with a scripted answer.

#include <array>
#include <cstdint>
#include <optional>

#include "formats/avi/CodecChoice.h"

namespace crossmeld::avi {

struct CodecDescription {
    Codec codec;
    const char* name;
};

// The codecs the writer can store, in the order a dialog lists them.
inline constexpr std::array<CodecDescription, 2> kAviCodecs{{
    {Codec::FullFrames, "Full Frames (Uncompressed)"},
    {Codec::MotionJpeg, "Motion JPEG"},
}};

class CodecChooser {
public:
    virtual ~CodecChooser() = default;
    // Asks for the codec, starting from the choice's current values.
    // Returns true and fills the choice when the user confirms, false when
    // the question is cancelled.
    virtual bool ChooseCodec(CodecChoice& choice) = 0;
};

// A chooser that always confirms the same codec and quality.
class FixedCodecChooser final : public CodecChooser {
public:
    explicit FixedCodecChooser(Codec codec, std::optional<std::uint32_t> quality = std::nullopt)
        : m_choice{codec, quality} {}
    bool ChooseCodec(CodecChoice& choice) override {
        choice = m_choice;
        return true;
    }

private:
    CodecChoice m_choice;
};

}  // namespace crossmeld::avi
