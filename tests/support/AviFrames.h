#pragma once
// Frames for the AVI tests: a bitmap-information block built field by field,
// DIB pixel bytes in the block's row order (row padding filled with junk that
// must never show), and the pixels a decoder should give back, top row
// first, without padding.

#include <cstdint>
#include <string>
#include <vector>

namespace crossmeld::test {

struct TestFrame {
    std::vector<std::uint8_t> info;      // information header + colour table
    std::vector<std::uint8_t> bits;      // DIB pixel bytes
    std::vector<std::uint8_t> expected;  // decoded pixels in expectedFormat
    std::string expectedFormat;          // ffmpeg pixel format of expected
};

inline void Put16(std::vector<std::uint8_t>& v, std::uint32_t x) {
    v.push_back(static_cast<std::uint8_t>(x));
    v.push_back(static_cast<std::uint8_t>(x >> 8));
}

inline void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}

// The colour of pixel (x, y) (y counted from the top) in frame number seed.
inline void PatternBgr(int x, int y, int seed, std::uint8_t* bgr) {
    bgr[0] = static_cast<std::uint8_t>(x * 37 + y * 11 + seed * 53);
    bgr[1] = static_cast<std::uint8_t>(x * 7 + y * 29 + seed * 17);
    bgr[2] = static_cast<std::uint8_t>(x * x + y * 3 + seed * 91);
}

// bits: 8, 16, 24 or 32. height < 0 makes a top-down frame. An 8-bit frame
// has a colour table of `colours` entries (biClrUsed = colours, or 0 when
// colours is 256 and zeroClrUsed is set).
inline TestFrame MakeFrame(int bits, int width, int height, int seed, int colours = 256, bool zeroClrUsed = false) {
    TestFrame f;
    const int rows = height < 0 ? -height : height;
    const int stride = (width * bits + 31) / 32 * 4;
    const bool paletted = bits == 8;
    Put32(f.info, 40);                                                                  // biSize
    Put32(f.info, static_cast<std::uint32_t>(width));                                   // biWidth
    Put32(f.info, static_cast<std::uint32_t>(height));                                  // biHeight (negative: top-down)
    Put16(f.info, 1);                                                                   // biPlanes
    Put16(f.info, static_cast<std::uint32_t>(bits));                                    // biBitCount
    Put32(f.info, 0);                                                                   // biCompression: kUncompressedRgb
    Put32(f.info, static_cast<std::uint32_t>(stride * rows));                           // biSizeImage
    Put32(f.info, 2835);                                                                // biXPelsPerMeter
    Put32(f.info, 2835);                                                                // biYPelsPerMeter
    Put32(f.info, paletted && !zeroClrUsed ? static_cast<std::uint32_t>(colours) : 0);  // biClrUsed
    Put32(f.info, 0);                                                                   // biClrImportant
    std::vector<std::uint8_t> palette;
    if (paletted) {
        for (int i = 0; i < colours; ++i) {
            palette.push_back(static_cast<std::uint8_t>(i * 3));      // blue
            palette.push_back(static_cast<std::uint8_t>(255 - i));    // green
            palette.push_back(static_cast<std::uint8_t>(i * 7 + 1));  // red
            palette.push_back(0);                                     // reserved
        }
        f.info.insert(f.info.end(), palette.begin(), palette.end());
    }

    f.bits.assign(static_cast<std::size_t>(stride) * rows, 0xEE);  // junk in the row padding
    f.expectedFormat = bits == 16 ? "rgb555le" : "bgr24";
    const int outBytes = bits == 16 ? 2 : 3;
    f.expected.resize(static_cast<std::size_t>(width) * rows * outBytes);
    for (int y = 0; y < rows; ++y) {
        const int stored = height < 0 ? y : rows - 1 - y;
        std::uint8_t* row = f.bits.data() + static_cast<std::size_t>(stored) * stride;
        std::uint8_t* out = f.expected.data() + static_cast<std::size_t>(y) * width * outBytes;
        for (int x = 0; x < width; ++x) {
            std::uint8_t bgr[3];
            PatternBgr(x, y, seed, bgr);
            switch (bits) {
                case 8: {
                    const int index = (x + y * width + seed) % colours;
                    row[x] = static_cast<std::uint8_t>(index);
                    out[3 * x] = palette[4 * index];
                    out[3 * x + 1] = palette[4 * index + 1];
                    out[3 * x + 2] = palette[4 * index + 2];
                    break;
                }
                case 16: {  // x rrrrr ggggg bbbbb, top bit clear
                    const unsigned v = (bgr[2] >> 3) << 10 | (bgr[1] >> 3) << 5 | (bgr[0] >> 3);
                    row[2 * x] = out[2 * x] = static_cast<std::uint8_t>(v);
                    row[2 * x + 1] = out[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
                    break;
                }
                case 24:
                    for (int c = 0; c < 3; ++c) row[3 * x + c] = out[3 * x + c] = bgr[c];
                    break;
                default:  // 32: blue, green, red, unused
                    for (int c = 0; c < 3; ++c) row[4 * x + c] = out[3 * x + c] = bgr[c];
                    row[4 * x + 3] = 0;
                    break;
            }
        }
    }
    return f;
}

}  // namespace crossmeld::test
