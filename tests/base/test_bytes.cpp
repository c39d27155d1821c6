// The bounds-checked reader and the writer that every file format goes through.
#include <gtest/gtest.h>

#include <vector>

#include "base/ByteReader.h"
#include "base/ByteWriter.h"
#include "base/Error.h"
#include "support/Expect.h"

using namespace crossmeld;
using crossmeld::test::FailingSink;

namespace {

TEST(ByteReader, ReadsLittleAndBigEndianFields) {
    const std::vector<std::uint8_t> data = {0x42, 0x4D, 0x36, 0x00, 0x0C, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0x12, 0x34};
    ByteReader r(data);
    EXPECT_EQ(r.u8(), 0x42);
    EXPECT_EQ(r.u8(), 0x4D);
    EXPECT_EQ(r.u32le(), 0x000C0036u);
    EXPECT_EQ(r.i32le(), -2);
    EXPECT_EQ(r.u16be(), 0x1234);
    EXPECT_TRUE(r.atEnd());
    r.seek(6);
    EXPECT_EQ(r.i16le(), -2);
    EXPECT_EQ(r.position(), 8u);
    EXPECT_EQ(r.remaining(), 4u);
    EXPECT_EQ(r.peek(0), 0x42);
}

TEST(ByteReader, EveryReadPastTheEndRaisesAndLeavesThePositionAlone) {
    const std::vector<std::uint8_t> data = {1, 2, 3};
    ByteReader r(data);
    r.skip(2);
    EXPECT_THROW(r.u16le(), Error);
    EXPECT_EQ(r.position(), 2u);
    EXPECT_THROW(r.u32le(), Error);
    EXPECT_THROW(r.bytes(2), Error);
    EXPECT_THROW(r.skip(2), Error);
    EXPECT_THROW(r.seek(4), Error);
    EXPECT_THROW(r.peek(3), Error);
    EXPECT_NO_THROW(r.seek(3));
    EXPECT_THROW(r.u8(), Error);
    // A huge length must not wrap around the bounds check.
    r.seek(1);
    EXPECT_THROW(r.bytes(SIZE_MAX), Error);
    EXPECT_THROW(r.skip(SIZE_MAX - 0), Error);
}

TEST(ByteReader, FailureKindIsChosenByTheParser) {
    const std::vector<std::uint8_t> data = {1};
    ByteReader picture(data);
    picture.skip(1);
    try {
        picture.u8();
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::InvalidPicture);
    }
    ByteReader file(data, ErrorKind::InputPastEndOfFile);
    file.skip(1);
    try {
        file.u8();
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 62);
    }
}

TEST(ByteWriter, WritesLittleEndianAndCounts) {
    VectorSink sink;
    ByteWriter w(sink);
    w.fourcc("RIFF");
    w.u32le(0x01020304);
    w.u16le(0xBEEF);
    w.i32le(-1);
    w.zeros(3);
    const std::vector<std::uint8_t> want = {'R', 'I', 'F', 'F', 4, 3, 2, 1, 0xEF, 0xBE, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0};
    EXPECT_EQ(sink.bytes(), want);
    EXPECT_EQ(w.written(), want.size());
    EXPECT_TRUE(w.ok());
}

TEST(ByteWriter, StopsAtTheFirstFailedWrite) {
    FailingSink sink(5);
    ByteWriter w(sink);
    w.u32le(1);
    w.u16le(2);  // would pass the limit
    w.u8(3);     // dropped after the failure
    EXPECT_FALSE(w.ok());
    EXPECT_EQ(w.written(), 4u);
}

}  // namespace
