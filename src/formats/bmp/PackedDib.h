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
#include "formats/bmp/BitmapInfoHeader.h"

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

    // The information header's fields as signed numbers: the 16-bit ones
    // sign-extended, the 32-bit ones taken as two's complement.
    std::int32_t BitCount() const noexcept { return static_cast<std::int16_t>(m_info.bitCount); }
    std::int32_t Height() const noexcept { return m_info.height; }
    std::int32_t Width() const noexcept { return m_info.width; }
    std::int32_t Compression() const noexcept { return static_cast<std::int32_t>(m_info.compression); }
    std::int32_t SizeInfoHeader() const noexcept { return static_cast<std::int32_t>(m_info.size); }
    std::int32_t SizeImage() const noexcept { return static_cast<std::int32_t>(m_info.sizeImage); }
    std::int32_t Planes() const noexcept { return static_cast<std::int16_t>(m_info.planes); }
    std::int32_t ClrImportant() const noexcept { return static_cast<std::int32_t>(m_info.colorsImportant); }
    std::int32_t ClrUsed() const noexcept { return static_cast<std::int32_t>(m_info.colorsUsed); }
    std::int32_t XPPM() const noexcept { return m_info.xPelsPerMeter; }
    std::int32_t YPPM() const noexcept { return m_info.yPelsPerMeter; }
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
    // Field types follow the record: 16-bit fields read back sign-extended.
    struct FileHeader {
        std::int16_t bfType = 0;
        std::int32_t bfSize = 0;
        std::int16_t bfReserved1 = 0;
        std::int16_t bfReserved2 = 0;
        std::int32_t bfOffBits = 0;
    };

    static FileHeader ParseFileHeader(std::span<const std::uint8_t> bytes);
    void ShowNotBitmap(const std::string& name);

    MessageHost& m_host;
    std::optional<std::vector<std::uint8_t>> m_bits;
    std::optional<std::vector<std::uint8_t>> m_bitmapInfo;
    BitmapInfoHeader m_info;
    FileHeader m_file;
};

}  // namespace crossmeld
