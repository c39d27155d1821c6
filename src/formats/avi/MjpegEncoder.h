#pragma once
// Motion JPEG: every frame becomes one complete baseline JPEG (JFIF, 4:4:4,
// with its own Huffman tables) made by libjpeg-turbo from the frame's
// pixels. The stream's format names 'MJPG' with 24 bits per pixel.

#include <cstdint>
#include <optional>

#include "formats/avi/FrameCodec.h"

namespace crossmeld::avi {

// JPEG quality used when the choice asks for the default.
inline constexpr int kDefaultJpegQuality = 85;
// Largest side a JPEG can describe.
inline constexpr std::int32_t kMaxJpegSide = 65500;

// The JPEG quality (1 ... 100) for a choice's quality of 0 ... 10000:
// hundredths rounded half up; larger values count as 10000; none or 0
// gives the default.
int JpegQuality(std::optional<std::uint32_t> quality) noexcept;

class MjpegEncoder final : public FrameCodec {
public:
    explicit MjpegEncoder(int jpegQuality) : m_quality(jpegQuality) {}

    // Raises Error for frames wider or taller than a JPEG allows.
    void Start(const DibFormat& input) override;
    std::vector<std::uint8_t> StoredFormat() const override;
    std::uint32_t Handler() const override;
    bool Compressed() const override { return true; }
    // Raises Error when libjpeg fails.
    std::span<const std::uint8_t> Encode(std::span<const std::uint8_t> frame) override;

private:
    int m_quality;
    DibFormat m_format;
    std::vector<std::uint8_t> m_rowBuffer;
    std::vector<std::uint8_t> m_jpeg;
};

}  // namespace crossmeld::avi
