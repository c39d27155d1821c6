#pragma once
// The pieces of an animated PNG that libpng does not write: the animation
// control (acTL), each frame's control (fcTL) and the frame data of the
// frames after the first (fdAT), plus the chunk framing they share with
// PNG: a big-endian length, the type, the data and the CRC-32 of type and
// data.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace crossmeld::apng {

inline constexpr std::array<std::uint8_t, 8> kPngSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// A chunk with its length and CRC, ready to write.
std::vector<std::uint8_t> Chunk(const char (&type)[5], std::span<const std::uint8_t> data);

// acTL: the number of frames and of plays (0 = forever).
std::vector<std::uint8_t> AnimationControl(std::uint32_t frames, std::uint32_t plays);

// fcTL of a frame covering the whole canvas that replaces it entirely (no
// disposal, no blending) and shows for delayNumerator / delayDenominator s.
std::vector<std::uint8_t> FrameControl(std::uint32_t sequence, std::uint32_t width, std::uint32_t height,
                                       std::uint16_t delayNumerator, std::uint16_t delayDenominator);

// fdAT: the sequence number, then the compressed data of one IDAT.
std::vector<std::uint8_t> FrameData(std::uint32_t sequence, std::span<const std::uint8_t> idat);

// One chunk of a PNG file as a view into its bytes.
struct ChunkView {
    std::string type;
    std::span<const std::uint8_t> data;
    std::span<const std::uint8_t> whole;  // length, type, data and CRC
};

// The chunks of a whole PNG file, after the signature. Error(InvalidPicture)
// when the bytes are not a signature and complete chunks.
std::vector<ChunkView> SplitChunks(std::span<const std::uint8_t> png);

}  // namespace crossmeld::apng
