#pragma once
// Full frames: the DIB rows stored as they are, bottom row first. Top-down
// frames are turned over on the way, so the file always holds the usual
// bottom-up layout with a positive height.

#include "formats/avi/FrameCodec.h"

namespace crossmeld::avi {

class RawFrameCodec final : public FrameCodec {
public:
    void Start(const DibFormat& input) override { m_format = input; }
    std::vector<std::uint8_t> StoredFormat() const override;
    std::uint32_t Handler() const override;
    bool Compressed() const override { return false; }
    std::span<const std::uint8_t> Encode(std::span<const std::uint8_t> frame) override;

private:
    DibFormat m_format;
    std::vector<std::uint8_t> m_flipped;
};

}  // namespace crossmeld::avi
