#include "formats/bmp/PackedDib.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "base/ByteReader.h"
#include "base/ByteWriter.h"
#include "base/Error.h"
#include "base/Numeric.h"

namespace crossmeld {

namespace {

constexpr std::int16_t kBitmapType = 19778;  // "BM"
constexpr std::size_t kFileHeaderSize = 14;

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Fills out with the bytes of file from offset on; whatever lies beyond the
// end of the file reads as zero.
void CopyPadded(std::span<const std::uint8_t> file, std::uint64_t offset, std::span<std::uint8_t> out) {
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    if (offset >= file.size()) return;
    ByteReader reader(file);
    reader.seek(static_cast<std::size_t>(offset));
    reader.read(out.first(std::min(out.size(), reader.remaining())));
}

// The description of an open failure other than a refused permission.
std::string OpenFailureDescription(int error) {
    switch (error) {
        case ENOENT: return DefaultDescription(ErrorKind::FileNotFound);
        case ENOTDIR:
        case ENAMETOOLONG: return DefaultDescription(ErrorKind::PathNotFound);
        default: return DefaultDescription(ErrorKind::PathFileAccessError);
    }
}

std::vector<std::uint8_t> ReadAll(std::FILE* f) {
    std::vector<std::uint8_t> bytes;
    std::array<std::uint8_t, 64 * 1024> chunk;
    for (;;) {
        const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), f);
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
        if (n < chunk.size()) break;
    }
    if (std::ferror(f)) throw Error(ErrorKind::PathFileAccessError);
    return bytes;
}

}  // namespace

PackedDib::FileHeader PackedDib::ParseFileHeader(std::span<const std::uint8_t> bytes) {
    ByteReader r(bytes);
    FileHeader h;
    h.bfType = r.i16le();
    h.bfSize = r.i32le();
    h.bfReserved1 = r.i16le();
    h.bfReserved2 = r.i16le();
    h.bfOffBits = r.i32le();
    return h;
}

void PackedDib::ShowNotBitmap(const std::string& name) {
    m_host.MessageBox(std::string("File is not a supported bitmap format:") + kLineBreak + name, MsgIcon::Information,
                      MsgButtons::OK, "");
}

bool PackedDib::CreateFromFile(const std::string& name) {
    // A zero-length file exists; only a failing length query means "missing".
    std::error_code ec;
    static_cast<void>(std::filesystem::file_size(name, ec));
    if (ec) {
        m_host.MessageBox(std::string("File does not exist:") + kLineBreak + name, MsgIcon::Critical, MsgButtons::OK,
                          "");
        return false;
    }

    std::vector<std::uint8_t> bytes;
    {
        errno = 0;
        FileHandle file(std::fopen(name.c_str(), "rb"));
        if (!file) {
            const int error = errno;
            if (error == EACCES || error == EPERM)
                m_host.MessageBox(std::string("File is locked - cannot access:") + kLineBreak + name,
                                  MsgIcon::Critical, MsgButtons::OK, "");
            else
                m_host.MessageBox(OpenFailureDescription(error), MsgIcon::Information, MsgButtons::OK, "");
            return false;
        }
        // The file is closed here, before any header is looked at, so no
        // error raised while parsing can leave it open.
        bytes = ReadAll(file.get());
    }
    return CreateFromFileBytes(bytes, name);
}

bool PackedDib::CreateFromFileBytes(std::span<const std::uint8_t> file, const std::string& name) {
    std::array<std::uint8_t, kFileHeaderSize> fileHeader;
    CopyPadded(file, 0, fileHeader);
    m_file = ParseFileHeader(fileHeader);
    if (m_file.bfType != kBitmapType) {
        ShowNotBitmap(name);
        return false;
    }

    std::array<std::uint8_t, kBitmapInfoHeaderSize> infoHeader;
    CopyPadded(file, kFileHeaderSize, infoHeader);
    const BitmapInfoHeader info = ParseBitmapInfoHeader(infoHeader);
    // biSizeImage is taken as a signed number: from 2 GiB on it is negative.
    const auto sizeImage = static_cast<std::int32_t>(info.sizeImage);
    const std::int32_t offBits = m_file.bfOffBits;

    // A header asking for far more bytes than the file holds is refused
    // before anything is allocated. It is refused like a file that is not a
    // bitmap -- message, false, only the file header replaced -- rather than
    // with a raised error: the AVI writer tests this flag for its first
    // frame and shows its own message after ours, and for later frames it
    // keeps the previous frame's pixels, which stay intact this way.
    const std::uint64_t size = file.size();
    if (sizeImage >= 1 && offBits >= 0) {
        const std::uint64_t present = static_cast<std::uint64_t>(offBits) < size ? size - offBits : 0;
        if (static_cast<std::uint64_t>(sizeImage) > present + kSlackBytes) {
            ShowNotBitmap(name);
            return false;
        }
    }
    if (offBits > static_cast<std::int32_t>(kFileHeaderSize) &&
        static_cast<std::uint64_t>(offBits) > std::max<std::uint64_t>(size, kFileHeaderSize) + kSlackBytes) {
        ShowNotBitmap(name);
        return false;
    }

    m_info = info;
    // Sizing an array of 0 .. biSizeImage - 1 fails for a size below 1, and
    // the information block needs bfOffBits above 14; both are range errors
    // raised to the caller with the headers already replaced.
    if (sizeImage < 1 || offBits < 0) throw Error(ErrorKind::SubscriptOutOfRange);
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(sizeImage));
    CopyPadded(file, static_cast<std::uint64_t>(offBits), bits);
    m_bits = std::move(bits);

    if (offBits < static_cast<std::int32_t>(kFileHeaderSize) + 1) throw Error(ErrorKind::SubscriptOutOfRange);
    std::vector<std::uint8_t> block(static_cast<std::size_t>(offBits) - kFileHeaderSize);
    CopyPadded(file, kFileHeaderSize, block);
    m_bitmapInfo = std::move(block);
    return true;
}

bool PackedDib::CreateFromPackedDIBPointer(std::span<const std::uint8_t> packed) {
    ByteReader reader(packed);
    if (!reader.has(kBitmapInfoHeaderSize)) return false;
    std::span<const std::uint8_t> header = reader.bytes(kBitmapInfoHeaderSize);
    m_info = ParseBitmapInfoHeader(header);
    // Signed, as the accessors give them: a bit count from 32768 on, or a
    // pixel size from 2 GiB on, is negative and refused.
    const std::int32_t sizeImage = SizeImage();
    if (BitCount() < 16 || sizeImage <= 0) return false;
    const auto pixelCount = static_cast<std::size_t>(sizeImage);
    if (!reader.has(pixelCount)) return false;
    const std::int32_t fileSize = CheckedAdd(sizeImage, 54);

    std::span<const std::uint8_t> pixels = reader.bytes(pixelCount);
    m_bits.emplace(pixels.begin(), pixels.end());
    // Only the information header is carried: no colour table.
    m_bitmapInfo.emplace(header.begin(), header.end());
    m_file = FileHeader{kBitmapType, fileSize, 0, 0, 54};
    return true;
}

bool PackedDib::WriteToFile(const std::string& name) const {
    VectorSink sink;
    ByteWriter out(sink);
    out.i16le(m_file.bfType);
    out.i32le(m_file.bfSize);
    out.i16le(m_file.bfReserved1);
    out.i16le(m_file.bfReserved2);
    out.i32le(m_file.bfOffBits);
    if (m_bitmapInfo) out.bytes(*m_bitmapInfo);
    if (m_bits) out.bytes(*m_bits);

    // The file is replaced by exactly these bytes; a write that fails
    // leaves no partial file.
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    std::span<const std::uint8_t> rest = sink.bytes();
    bool written = true;
    while (!rest.empty()) {
        const ssize_t n = ::write(fd, rest.data(), rest.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            written = false;
            break;
        }
        rest = rest.subspan(static_cast<std::size_t>(n));
    }
    // Only a regular file of ours is removed, never a device or a pipe.
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (::close(fd) != 0) written = false;
    if (!written && regular) ::unlink(name.c_str());
    return written;
}

std::span<const std::uint8_t> PackedDib::Bits() const {
    if (!m_bits) throw Error(ErrorKind::SubscriptOutOfRange);
    return *m_bits;
}

std::span<const std::uint8_t> PackedDib::BitmapInfo() const {
    if (!m_bitmapInfo) throw Error(ErrorKind::SubscriptOutOfRange);
    return *m_bitmapInfo;
}

}  // namespace crossmeld
