// PackedDib: bitmap files held exactly as stored, packed DIBs, the reader's
// messages and the refusals of headers that ask for more than the file has.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/Error.h"
#include "formats/bmp/PackedDib.h"
#include "support/RecordingMessageHost.h"
#include "support/TestSupport.h"

using namespace crossmeld;
using crossmeld::test::ReadBytes;
using crossmeld::test::RecordingMessageHost;
using crossmeld::test::TempDir;
using crossmeld::test::WriteBytes;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

struct Info {
    std::uint32_t size = 40;
    std::int32_t width = 2;
    std::int32_t height = 2;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 16;
    std::int32_t xppm = 2835;
    std::int32_t yppm = 2836;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
};

Bytes InfoHeader(const Info& i) {
    Bytes b;
    Put32(b, i.size);
    Put32(b, static_cast<std::uint32_t>(i.width));
    Put32(b, static_cast<std::uint32_t>(i.height));
    Put16(b, i.planes);
    Put16(b, i.bitCount);
    Put32(b, i.compression);
    Put32(b, i.sizeImage);
    Put32(b, static_cast<std::uint32_t>(i.xppm));
    Put32(b, static_cast<std::uint32_t>(i.yppm));
    Put32(b, i.clrUsed);
    Put32(b, i.clrImportant);
    return b;
}

// A file: "BM", bfSize, reserved 0/0, bfOffBits, the information header, the
// colour table and the pixel bytes, in that order.
Bytes BitmapFile(const Info& info, const Bytes& table, const Bytes& pixels, std::uint32_t offBits = 0,
                 std::uint16_t type = 0x4D42) {
    const std::uint32_t offset = offBits ? offBits : static_cast<std::uint32_t>(54 + table.size());
    Bytes b;
    Put16(b, type);
    Put32(b, static_cast<std::uint32_t>(54 + table.size() + pixels.size()));
    Put16(b, 0);
    Put16(b, 0);
    Put32(b, offset);
    Bytes ih = InfoHeader(info);
    b.insert(b.end(), ih.begin(), ih.end());
    b.insert(b.end(), table.begin(), table.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

Bytes Sequence(std::size_t n, std::uint8_t start = 1) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(start + i);
    return b;
}

Bytes AsVector(std::span<const std::uint8_t> s) { return Bytes(s.begin(), s.end()); }

std::size_t OpenDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

void ExpectRangeError(auto fn) {
    try {
        fn();
        ADD_FAILURE() << "no range error raised";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 9);
    }
}

class PackedDibFile : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const Bytes& bytes) {
        const auto path = m_dir / name;
        WriteBytes(path, bytes);
        return path.string();
    }

    TempDir m_dir;
    RecordingMessageHost m_host;
    PackedDib m_reader{m_host};
};

TEST_F(PackedDibFile, NeverLoadedObjectHasZeroHeadersAndNoArrays) {
    EXPECT_EQ(m_reader.BitCount(), 0);
    EXPECT_EQ(m_reader.SizeImage(), 0);
    EXPECT_EQ(m_reader.FileType(), 0);
    EXPECT_EQ(m_reader.BitOffset(), 0);
    ExpectRangeError([&] { m_reader.PointerToBits(); });
    ExpectRangeError([&] { m_reader.PointerToBitmapInfo(); });
    ExpectRangeError([&] { m_reader.SizeBitmapInfo(); });
}

TEST_F(PackedDibFile, TwentyFourBitFileGivesFortyByteInfoBlockAndEveryField) {
    Info info;
    info.width = 3;
    info.height = -2;
    info.sizeImage = 24;
    info.clrUsed = 7;
    info.clrImportant = 5;
    info.compression = 0;
    const Bytes pixels = Sequence(24);
    const Bytes file = BitmapFile(info, {}, pixels);
    ASSERT_TRUE(m_reader.CreateFromFile(Write("a.bmp", file)));
    EXPECT_TRUE(m_host.messages.empty());
    EXPECT_EQ(m_reader.SizeBitmapInfo(), 40);
    EXPECT_EQ(AsVector(m_reader.BitmapInfo()), Bytes(file.begin() + 14, file.begin() + 54));
    EXPECT_EQ(AsVector(m_reader.Bits()), pixels);
    EXPECT_EQ(m_reader.PointerToBits(), m_reader.Bits().data());
    EXPECT_EQ(m_reader.FileType(), 19778);
    EXPECT_EQ(m_reader.SizeFileHeader(), 78);
    EXPECT_EQ(m_reader.BitOffset(), 54);
    EXPECT_EQ(m_reader.SizeInfoHeader(), 40);
    EXPECT_EQ(m_reader.Width(), 3);
    EXPECT_EQ(m_reader.Height(), -2);
    EXPECT_EQ(m_reader.Planes(), 1);
    EXPECT_EQ(m_reader.BitCount(), 24);
    EXPECT_EQ(m_reader.Compression(), 0);
    EXPECT_EQ(m_reader.SizeImage(), 24);
    EXPECT_EQ(m_reader.XPPM(), 2835);
    EXPECT_EQ(m_reader.YPPM(), 2836);
    EXPECT_EQ(m_reader.ClrUsed(), 7);
    EXPECT_EQ(m_reader.ClrImportant(), 5);
}

TEST_F(PackedDibFile, EightBitFileWith256EntriesGives1064ByteBlock) {
    Info info;
    info.bitCount = 8;
    info.width = 4;
    info.sizeImage = 8;
    const Bytes table = Sequence(1024, 7);
    const Bytes file = BitmapFile(info, table, Sequence(8, 200));
    ASSERT_TRUE(m_reader.CreateFromFile(Write("p.bmp", file)));
    EXPECT_EQ(m_reader.BitOffset(), 1078);
    EXPECT_EQ(m_reader.SizeBitmapInfo(), 1064);
    EXPECT_EQ(AsVector(m_reader.BitmapInfo()), Bytes(file.begin() + 14, file.begin() + 1078));
    EXPECT_EQ(AsVector(m_reader.Bits()), Sequence(8, 200));
}

TEST_F(PackedDibFile, SizeImageAloneDecidesThePixelByteCount) {
    Info info;
    info.sizeImage = 10;  // the file holds 16 pixel bytes
    ASSERT_TRUE(m_reader.CreateFromFile(Write("small.bmp", BitmapFile(info, {}, Sequence(16)))));
    EXPECT_EQ(AsVector(m_reader.Bits()), Sequence(10));

    info.sizeImage = 21;  // five bytes past the end of the file read as zero
    ASSERT_TRUE(m_reader.CreateFromFile(Write("large.bmp", BitmapFile(info, {}, Sequence(16)))));
    Bytes expected = Sequence(16);
    expected.resize(21, 0);
    EXPECT_EQ(AsVector(m_reader.Bits()), expected);
}

TEST_F(PackedDibFile, NonBitmapFileIsRefusedWithItsNameAndOnlyTheFileHeaderReplaced) {
    Info info;
    ASSERT_TRUE(m_reader.CreateFromFile(Write("good.bmp", BitmapFile(info, {}, Sequence(16)))));
    // A GIF file given a .bmp name.
    const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x3B};
    const std::string name = Write("fake.bmp", gif);
    EXPECT_FALSE(m_reader.CreateFromFile(name));
    ASSERT_EQ(m_host.messages.size(), 1u);
    EXPECT_EQ(m_host.messages[0].text, "File is not a supported bitmap format:\r\n" + name);
    EXPECT_EQ(m_host.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(m_host.messages[0].buttons, MsgButtons::OK);
    EXPECT_EQ(m_host.messages[0].caption, "");
    EXPECT_EQ(m_reader.FileType(), 0x4947);  // "GI"
    EXPECT_EQ(m_reader.SizeImage(), 16);
    EXPECT_EQ(AsVector(m_reader.Bits()), Sequence(16));
    EXPECT_EQ(m_reader.SizeBitmapInfo(), 40);
}

TEST_F(PackedDibFile, EmptyAndTinyFilesAreNotBitmaps) {
    for (const Bytes& content : {Bytes{}, Bytes{'B'}}) {
        m_host.messages.clear();
        const std::string name = Write("tiny.bmp", content);
        EXPECT_FALSE(m_reader.CreateFromFile(name));
        ASSERT_EQ(m_host.messages.size(), 1u);
        EXPECT_EQ(m_host.messages[0].text, "File is not a supported bitmap format:\r\n" + name);
    }
}

TEST_F(PackedDibFile, MissingFileIsReportedAndChangesNothing) {
    const std::string name = (m_dir / "none.bmp").string();
    EXPECT_FALSE(m_reader.CreateFromFile(name));
    ASSERT_EQ(m_host.messages.size(), 1u);
    EXPECT_EQ(m_host.messages[0].text, "File does not exist:\r\n" + name);
    EXPECT_EQ(m_host.messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(m_host.messages[0].buttons, MsgButtons::OK);
    EXPECT_EQ(m_reader.FileType(), 0);
}

TEST_F(PackedDibFile, FileThatCannotBeOpenedIsReportedAsLocked) {
    // Root reads any ordinary file, but not a write-only kernel setting.
    std::string name = "/proc/sys/vm/compact_memory";
    if (geteuid() != 0) {
        name = Write("locked.bmp", BitmapFile(Info{}, {}, Sequence(16)));
        chmod(name.c_str(), 0);
    }
    if (std::FILE* f = std::fopen(name.c_str(), "rb")) {
        std::fclose(f);
        GTEST_SKIP() << "no file here refuses reading";
    } else if (errno != EACCES) {
        GTEST_SKIP() << "no file here refuses reading with a permission error";
    }
    EXPECT_FALSE(m_reader.CreateFromFile(name));
    ASSERT_EQ(m_host.messages.size(), 1u);
    EXPECT_EQ(m_host.messages[0].text, "File is locked - cannot access:\r\n" + name);
    EXPECT_EQ(m_host.messages[0].icon, MsgIcon::Critical);
}

TEST_F(PackedDibFile, ZeroSizeImageRaisesRangeErrorAfterReplacingTheHeaders) {
    Info info;
    info.sizeImage = 0;
    info.width = 9;
    const std::string name = Write("zero.bmp", BitmapFile(info, {}, Sequence(16)));
    const std::size_t before = OpenDescriptors();
    ExpectRangeError([&] { m_reader.CreateFromFile(name); });
    EXPECT_EQ(OpenDescriptors(), before) << "the file was left open";
    EXPECT_EQ(m_reader.FileType(), 19778);
    EXPECT_EQ(m_reader.Width(), 9);
    ExpectRangeError([&] { m_reader.PointerToBits(); });
}

TEST_F(PackedDibFile, OffsetWithoutRoomForAnInfoBlockRaisesRangeErrorAfterReadingPixels) {
    Info info;
    info.sizeImage = 4;
    const Bytes file = BitmapFile(info, {}, Sequence(16), /*offBits=*/14);
    const std::size_t before = OpenDescriptors();
    ExpectRangeError([&] { m_reader.CreateFromFile(Write("off14.bmp", file)); });
    EXPECT_EQ(OpenDescriptors(), before) << "the file was left open";
    // The pixel bytes were read from offset 14: the information header.
    EXPECT_EQ(AsVector(m_reader.Bits()), Bytes(file.begin() + 14, file.begin() + 18));
    ExpectRangeError([&] { m_reader.SizeBitmapInfo(); });
}

struct OversizeCase {
    const char* what;
    std::uint32_t sizeImage;
    std::uint32_t offBits;
    bool accepted;
};

class PackedDibOversize : public PackedDibFile, public ::testing::WithParamInterface<OversizeCase> {};

// The file below holds 16 pixel bytes after offset 54 (70 bytes in all).
TEST_P(PackedDibOversize, HeadersAskingForFarMoreThanTheFileHoldsAreRefused) {
    Info previous;
    previous.sizeImage = 4;
    ASSERT_TRUE(m_reader.CreateFromFile(Write("prev.bmp", BitmapFile(previous, {}, Sequence(4, 90)))));
    m_host.messages.clear();

    Info info;
    info.sizeImage = GetParam().sizeImage;
    const std::string name = Write("big.bmp", BitmapFile(info, {}, Sequence(16), GetParam().offBits));
    const bool loaded = m_reader.CreateFromFile(name);
    EXPECT_EQ(loaded, GetParam().accepted);
    if (GetParam().accepted) {
        EXPECT_TRUE(m_host.messages.empty());
        EXPECT_EQ(m_reader.Bits().size(), GetParam().sizeImage);
    } else {
        ASSERT_EQ(m_host.messages.size(), 1u);
        EXPECT_EQ(m_host.messages[0].text, "File is not a supported bitmap format:\r\n" + name);
        // The previous pixels and information header are kept.
        EXPECT_EQ(m_reader.SizeImage(), 4);
        EXPECT_EQ(AsVector(m_reader.Bits()), Sequence(4, 90));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Limits, PackedDibOversize,
    ::testing::Values(OversizeCase{"within slack", 16 + PackedDib::kSlackBytes, 54, true},
                      OversizeCase{"one past slack", 16 + PackedDib::kSlackBytes + 1, 54, false},
                      OversizeCase{"largest positive", 0x7FFFFFFF, 54, false},
                      OversizeCase{"offset past end, pixels within slack", 100, 70 + 1000, true},
                      OversizeCase{"offset far past end", 16, 0x7FFFFFF0, false}),
    [](const auto& info) {
        std::string n = info.param.what;
        for (char& c : n)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

TEST_F(PackedDibFile, OffsetPastTheEndReadsZeroPixelsAndAZeroPaddedBlock) {
    Info info;
    info.sizeImage = 8;
    const Bytes file = BitmapFile(info, {}, Sequence(16), /*offBits=*/100);
    ASSERT_TRUE(m_reader.CreateFromFile(Write("far.bmp", file)));
    EXPECT_EQ(AsVector(m_reader.Bits()), Bytes(8, 0));
    Bytes block(file.begin() + 14, file.end());
    block.resize(86, 0);
    EXPECT_EQ(AsVector(m_reader.BitmapInfo()), block);
}

struct PackedCase {
    std::uint16_t bitCount;
    std::int32_t width;
    std::uint32_t sizeImage;
};

class PackedDibPacked : public PackedDibFile, public ::testing::WithParamInterface<PackedCase> {};

TEST_P(PackedDibPacked, WritesAFileOfSizeImagePlus54Bytes) {
    Info info;
    info.bitCount = GetParam().bitCount;
    info.width = GetParam().width;
    info.sizeImage = GetParam().sizeImage;
    Bytes packed = InfoHeader(info);
    const Bytes pixels = Sequence(GetParam().sizeImage, 3);
    packed.insert(packed.end(), pixels.begin(), pixels.end());
    packed.push_back(0xEE);  // a byte beyond biSizeImage is not taken

    ASSERT_TRUE(m_reader.CreateFromPackedDIBPointer(packed));
    EXPECT_EQ(m_reader.SizeBitmapInfo(), 40);
    EXPECT_EQ(m_reader.BitOffset(), 54);
    const std::string path = (m_dir / "packed.bmp").string();
    EXPECT_TRUE(m_reader.WriteToFile(path));
    const Bytes file = ReadBytes(path);
    const std::size_t total = GetParam().sizeImage + 54;
    ASSERT_EQ(file.size(), total);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    const std::uint32_t stated = file[2] | (file[3] << 8) | (file[4] << 16) | (static_cast<std::uint32_t>(file[5]) << 24);
    EXPECT_EQ(stated, total);
    EXPECT_EQ(Bytes(file.begin() + 6, file.begin() + 14), (Bytes{0, 0, 0, 0, 54, 0, 0, 0}));
    EXPECT_EQ(Bytes(file.begin() + 14, file.begin() + 54), Bytes(packed.begin(), packed.begin() + 40));
    EXPECT_EQ(Bytes(file.begin() + 54, file.end()), pixels);
}

INSTANTIATE_TEST_SUITE_P(Depths, PackedDibPacked,
                         ::testing::Values(PackedCase{16, 3, 16}, PackedCase{24, 2, 16}, PackedCase{32, 5, 40}));

TEST_F(PackedDibFile, PackedDibRefusals) {
    Info info;
    info.bitCount = 8;
    Bytes packed = InfoHeader(info);
    packed.resize(40 + 16, 1);
    EXPECT_FALSE(m_reader.CreateFromPackedDIBPointer(packed));
    EXPECT_EQ(m_reader.BitCount(), 8);  // the header is taken before the test
    ExpectRangeError([&] { m_reader.PointerToBits(); });

    info.bitCount = 0x8018;  // negative as a 16-bit field
    packed = InfoHeader(info);
    packed.resize(56, 1);
    EXPECT_FALSE(m_reader.CreateFromPackedDIBPointer(packed));
    EXPECT_EQ(m_reader.BitCount(), -32744);

    info.bitCount = 24;
    info.sizeImage = 0;
    packed = InfoHeader(info);
    EXPECT_FALSE(m_reader.CreateFromPackedDIBPointer(packed));

    info.sizeImage = 17;  // one byte more than the span holds
    packed = InfoHeader(info);
    packed.resize(56, 1);
    EXPECT_FALSE(m_reader.CreateFromPackedDIBPointer(packed));
    ExpectRangeError([&] { m_reader.PointerToBits(); });

    info.width = 77;
    packed = InfoHeader(info);
    packed.resize(39);  // too short for the header: nothing is taken
    EXPECT_FALSE(m_reader.CreateFromPackedDIBPointer(packed));
    EXPECT_NE(m_reader.Width(), 77);
    EXPECT_TRUE(m_host.messages.empty());
}

TEST_F(PackedDibFile, WritingReplacesTheWholeFileAndFailsWhereItCannotWrite) {
    Info info;
    ASSERT_TRUE(m_reader.CreateFromFile(Write("src.bmp", BitmapFile(info, {}, Sequence(16)))));
    const std::string path = Write("longer.bmp", Bytes(100, 0xAB));
    EXPECT_TRUE(m_reader.WriteToFile(path));
    const Bytes file = ReadBytes(path);
    ASSERT_EQ(file.size(), 70u);  // 14 + 40 + 16: the old tail is gone
    EXPECT_EQ(Bytes(file.begin() + 54, file.end()), Sequence(16));
    EXPECT_FALSE(m_reader.WriteToFile((m_dir / "no" / "such" / "dir.bmp").string()));
}

// Header facts of the public bitmap suite, read with Python's struct module.
struct SuiteFile {
    const char* name;
    std::int32_t offBits;
    std::int32_t sizeImage;
    std::int32_t bitCount;
    std::int32_t height;
    std::int32_t infoSize;
};

class PackedDibSuite : public PackedDibFile, public ::testing::WithParamInterface<SuiteFile> {};

TEST_P(PackedDibSuite, LoadAndWriteBackGivesTheSameBytesUpToThePixelEnd) {
    CROSSMELD_REQUIRE_TESTDATA();
    const auto source = crossmeld::test::TestDataDir() / "bmp" / "good" / GetParam().name;
    ASSERT_TRUE(m_reader.CreateFromFile(source.string()));
    EXPECT_EQ(m_reader.BitOffset(), GetParam().offBits);
    EXPECT_EQ(m_reader.SizeImage(), GetParam().sizeImage);
    EXPECT_EQ(m_reader.BitCount(), GetParam().bitCount);
    EXPECT_EQ(m_reader.Width(), 127);
    EXPECT_EQ(m_reader.Height(), GetParam().height);
    EXPECT_EQ(m_reader.SizeInfoHeader(), GetParam().infoSize);
    EXPECT_EQ(m_reader.SizeBitmapInfo(), GetParam().offBits - 14);

    const auto copy = m_dir / "copy.bmp";
    EXPECT_TRUE(m_reader.WriteToFile(copy.string()));
    const Bytes original = ReadBytes(source);
    const Bytes written = ReadBytes(copy);
    const std::size_t end = static_cast<std::size_t>(GetParam().offBits + GetParam().sizeImage);
    ASSERT_GE(written.size(), end);
    ASSERT_GE(original.size(), end);
    EXPECT_EQ(Bytes(written.begin(), written.begin() + static_cast<std::ptrdiff_t>(end)),
              Bytes(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(end)));
}

INSTANTIATE_TEST_SUITE_P(
    Bmpsuite, PackedDibSuite,
    ::testing::Values(SuiteFile{"pal8.bmp", 1062, 8192, 8, 64, 40}, SuiteFile{"rgb24.bmp", 54, 24576, 24, 64, 40},
                      SuiteFile{"pal4.bmp", 102, 4096, 4, 64, 40}, SuiteFile{"pal1.bmp", 62, 1024, 1, 64, 40},
                      SuiteFile{"rgb32.bmp", 54, 32512, 32, 64, 40},
                      SuiteFile{"pal8topdown.bmp", 1062, 8192, 8, -64, 40},
                      SuiteFile{"pal8v5.bmp", 1146, 8192, 8, 64, 124}),
    [](const auto& info) {
        std::string n = info.param.name;
        return n.substr(0, n.find('.'));
    });

}  // namespace
