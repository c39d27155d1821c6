#pragma once
// Turns frames of four-byte blue-green-red pixels into 8-bit 4:2:0 YCbCr
// with the BT.709 matrix in the limited range (16 .. 235), as the video
// encoders take them. When the coded size is one larger than the frame
// across or down, the last column or row is repeated to fill it.

#include <cstdint>
#include <vector>

#include "export/FrameSink.h"

struct AVFrame;
struct SwsContext;

namespace crossmeld {

class YuvConverter {
public:
    YuvConverter() = default;
    ~YuvConverter();
    YuvConverter(const YuvConverter&) = delete;
    YuvConverter& operator=(const YuvConverter&) = delete;

    // Error(OutOfMemory) when the scaler cannot be made.
    void Create(std::int32_t width, std::int32_t height, std::int32_t codedWidth, std::int32_t codedHeight);
    // Fills a yuv420p frame of the coded size; the frame must fit Create's size.
    void Convert(const FrameView& frame, AVFrame& out);
    void Reset() noexcept;

private:
    SwsContext* m_scaler = nullptr;
    std::int32_t m_width = 0, m_height = 0;
    std::int32_t m_codedWidth = 0, m_codedHeight = 0;
    std::vector<std::uint8_t> m_padded;  // the frame at the coded size, when that differs
};

}  // namespace crossmeld
