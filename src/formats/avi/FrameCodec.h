#pragma once
// How one stream turns the caller's DIB frames into the chunks stored in the
// file. A codec is started once with the caller's frame format and then
// encodes one frame per call; every frame it makes stands alone (a key frame).

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "formats/avi/CodecChoice.h"
#include "formats/bmp/DibFormat.h"

namespace crossmeld::avi {

class FrameCodec {
public:
    virtual ~FrameCodec() = default;

    // Takes the caller's frame format; raises Error when the codec cannot
    // encode it.
    virtual void Start(const DibFormat& input) = 0;
    // The stream's format block in the file (the strf payload).
    virtual std::vector<std::uint8_t> StoredFormat() const = 0;
    // The handler code of the stream header.
    virtual std::uint32_t Handler() const = 0;
    // Whether chunks hold compressed data ('00dc') rather than DIB rows ('00db').
    virtual bool Compressed() const = 0;
    // Encodes one frame of exactly input.frameSize bytes. The result stays
    // valid until the next call.
    virtual std::span<const std::uint8_t> Encode(std::span<const std::uint8_t> frame) = 0;
};

// The codec of a choice: full frames, or Motion JPEG with the choice's quality.
std::unique_ptr<FrameCodec> MakeFrameCodec(const CodecChoice& choice);

}  // namespace crossmeld::avi
