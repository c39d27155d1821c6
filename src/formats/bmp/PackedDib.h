#pragma once
// PackedDib: one bitmap exactly as a Windows bitmap file stores it -- the file
// header, the bitmap-information block (information header plus colour
// table) and the raw pixel bytes -- so that the AVI writer can hand a format
// block and a pixel buffer to the video library unchanged. It never
// converts, decodes or validates pixel data: biSizeImage alone decides how
// many pixel bytes are held, and bfOffBits how long the information block is.
//
// The reader shows its own messages (through the MessageHost it is given)
// and reports success through its result.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/MessageHost.h"

namespace crossmeld {

class PackedDib {
public:
    // How far a header may ask for more bytes than the file holds. Bytes
    // beyond the end of the file read as zero up to this slack; a header
    // asking for more is refused (see CreateFromFileBytes).
    static constexpr std::uint64_t kSlackBytes = 64 * 1024;

    explicit PackedDib(MessageHost& host) : m_host(host) {}

    // Loads a bitmap file. Shows a message and returns false when the file
    // is missing, cannot be opened, or is not a bitmap file. A biSizeImage
    // below 1, or a bfOffBits below 15, raises Error(SubscriptOutOfRange).
    bool CreateFromFile(const std::string& name);
    // The part of CreateFromFile after the file has been read: parses the
    // file's bytes; name is only used in messages.
    bool CreateFromFileBytes(std::span<const std::uint8_t> file, const std::string& name);
    // Loads a packed DIB: a 40-byte information header immediately followed
    // by biSizeImage pixel bytes. False (showing nothing) below 16 bits per
    // pixel, without pixel bytes, or when the input is too short for either.
    bool CreateFromPackedDIBPointer(std::span<const std::uint8_t> packed);
    // Writes file header, information block and pixel bytes as the whole
    // file (created or replaced). False when the file cannot be written;
    // a partly written file is removed.
    bool WriteToFile(const std::string& name) const;

    std::int32_t BitCount() const noexcept { return m_info.biBitCount; }
    std::int32_t Height() const noexcept { return m_info.biHeight; }
    std::int32_t Width() const noexcept { return m_info.biWidth; }
    std::int32_t Compression() const noexcept { return m_info.biCompression; }
    std::int32_t SizeInfoHeader() const noexcept { return m_info.biSize; }
    std::int32_t SizeImage() const noexcept { return m_info.biSizeImage; }
    std::int32_t Planes() const noexcept { return m_info.biPlanes; }
    std::int32_t ClrImportant() const noexcept { return m_info.biClrImportant; }
    std::int32_t ClrUsed() const noexcept { return m_info.biClrUsed; }
    std::int32_t XPPM() const noexcept { return m_info.biXPelsPerMeter; }
    std::int32_t YPPM() const noexcept { return m_info.biYPelsPerMeter; }
    std::int32_t FileType() const noexcept { return m_file.bfType; }
    std::int32_t SizeFileHeader() const noexcept { return m_file.bfSize; }
    std::int32_t BitOffset() const noexcept { return m_file.bfOffBits; }

    // Valid until the next load or the end of the object. Before the first
    // load these raise Error(SubscriptOutOfRange).
    const std::uint8_t* PointerToBits() const { return Bits().data(); }
    const std::uint8_t* PointerToBitmapInfo() const { return BitmapInfo().data(); }
    std::int32_t SizeBitmapInfo() const { return static_cast<std::int32_t>(BitmapInfo().size()); }
    // The same memory as spans.
    std::span<const std::uint8_t> Bits() const;
    std::span<const std::uint8_t> BitmapInfo() const;

private:
    // Field types follow the records: 16-bit fields read back sign-extended.
    struct InfoHeader {
        std::int32_t biSize = 0;
        std::int32_t biWidth = 0;
        std::int32_t biHeight = 0;
        std::int16_t biPlanes = 0;
        std::int16_t biBitCount = 0;
        std::int32_t biCompression = 0;
        std::int32_t biSizeImage = 0;
        std::int32_t biXPelsPerMeter = 0;
        std::int32_t biYPelsPerMeter = 0;
        std::int32_t biClrUsed = 0;
        std::int32_t biClrImportant = 0;
    };
    struct FileHeader {
        std::int16_t bfType = 0;
        std::int32_t bfSize = 0;
        std::int16_t bfReserved1 = 0;
        std::int16_t bfReserved2 = 0;
        std::int32_t bfOffBits = 0;
    };

    static InfoHeader ParseInfoHeader(std::span<const std::uint8_t> bytes);
    static FileHeader ParseFileHeader(std::span<const std::uint8_t> bytes);
    void ShowNotBitmap(const std::string& name);

    MessageHost& m_host;
    std::optional<std::vector<std::uint8_t>> m_bits;
    std::optional<std::vector<std::uint8_t>> m_bitmapInfo;
    InfoHeader m_info;
    FileHeader m_file;
};

}  // namespace crossmeld
