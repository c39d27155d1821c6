#pragma once
// Decodes one Motion JPEG frame with libjpeg-turbo into the pixel rows of a
// 24-bit bottom-up DIB. Motion JPEG frames often leave out the Huffman
// tables and rely on the standard ones (those of the JPEG standard's annex
// K, which libjpeg also writes by default); a frame that does not define a
// table it needs gets the standard table for that slot.

#include <cstdint>
#include <memory>
#include <span>

namespace crossmeld::avi {

// One frame's decoder: the header first, so that the caller can check the
// size before it provides the pixel rows, then the rows.
class MjpegDecoder {
public:
    MjpegDecoder();
    ~MjpegDecoder();
    MjpegDecoder(const MjpegDecoder&) = delete;
    MjpegDecoder& operator=(const MjpegDecoder&) = delete;

    // Reads the header of a frame (kept by reference until Decode). Raises
    // Error(InvalidPicture) with libjpeg's message when there is no usable
    // JPEG header.
    void ReadHeader(std::span<const std::uint8_t> jpeg);
    std::int32_t Width() const noexcept;
    std::int32_t Height() const noexcept;

    // Decodes the frame into pixels: Height() rows of stride bytes (blue,
    // green, red triples), the bottom row first. Raises Error(InvalidPicture)
    // when the rows do not fit or the frame cannot be decoded; data errors
    // that libjpeg recovers from (a frame cut short is finished in grey) are
    // accepted.
    void Decode(std::span<std::uint8_t> pixels, std::size_t stride);

    struct State;  // libjpeg's objects; opaque

private:
    std::unique_ptr<State> m_state;
};

}  // namespace crossmeld::avi
