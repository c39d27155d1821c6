// BitmapInfoHeader: every field at its offset, read and written back, and
// a short input refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "base/ByteWriter.h"
#include "base/Error.h"
#include "formats/bmp/BitmapInfoHeader.h"
#include "support/Expect.h"

using namespace crossmeld;
using crossmeld::test::ExpectError;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Each field holds bytes of its own, high bits set where a sign could show.
const Bytes kHeader = {
    0x7C, 0x00, 0x00, 0x00,  // size 124
    0x01, 0x02, 0x03, 0x04,  // width
    0xF0, 0xFF, 0xFF, 0xFF,  // height -16: top-down
    0x01, 0x80,              // planes
    0x18, 0x90,              // bit count
    0x03, 0x00, 0x00, 0x80,  // compression
    0x11, 0x22, 0x33, 0x94,  // image size
    0x13, 0x0B, 0x00, 0x00,  // 2835 pixels per metre
    0xFE, 0xFF, 0xFF, 0xFF,  // -2
    0x00, 0x01, 0x00, 0x00,  // 256 colours used
    0x10, 0x00, 0x00, 0xA0,  // colours important
};

TEST(BitmapInfoHeader, ReadsEveryFieldAtItsOffset) {
    const BitmapInfoHeader h = ParseBitmapInfoHeader(kHeader);
    EXPECT_EQ(h.size, 124u);
    EXPECT_EQ(h.width, 0x04030201);
    EXPECT_EQ(h.height, -16);
    EXPECT_EQ(h.planes, 0x8001u);
    EXPECT_EQ(h.bitCount, 0x9018u);
    EXPECT_EQ(h.compression, 0x80000003u);
    EXPECT_EQ(h.sizeImage, 0x94332211u);
    EXPECT_EQ(h.xPelsPerMeter, 2835);
    EXPECT_EQ(h.yPelsPerMeter, -2);
    EXPECT_EQ(h.colorsUsed, 256u);
    EXPECT_EQ(h.colorsImportant, 0xA0000010u);
}

TEST(BitmapInfoHeader, WritesBackTheBytesItRead) {
    VectorSink sink;
    ByteWriter out(sink);
    WriteBitmapInfoHeader(out, ParseBitmapInfoHeader(kHeader));
    EXPECT_EQ(sink.bytes(), kHeader);
}

TEST(BitmapInfoHeader, ReadsOnlyTheFirst40BytesAndRefusesFewer) {
    Bytes longer = kHeader;
    longer.insert(longer.end(), {0xFF, 0xFF, 0xFF, 0xFF});  // a colour mask of a longer header
    EXPECT_EQ(ParseBitmapInfoHeader(longer).colorsImportant, 0xA0000010u);

    const Bytes shorter(kHeader.begin(), kHeader.end() - 1);
    ExpectError(ErrorKind::InvalidPicture, [&] { ParseBitmapInfoHeader(shorter); });
}

}  // namespace
