#include "formats/png/PngDecoder.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "base/PictureLimits.h"

namespace crossmeld {
namespace {

struct ReadState {
    explicit ReadState(std::span<const std::uint8_t> file) : reader(file) {}
    ByteReader reader;
    char message[256] = {};
};

// libpng must not see a C++ exception: errors jump back to the setjmp in the
// calling frame (png_longjmp), after the message has been kept.
[[noreturn]] void OnError(png_structp png, png_const_charp message) {
    auto* state = static_cast<ReadState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message ? message : "PNG error");
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void ReadData(png_structp png, png_bytep out, png_size_t length) {
    auto* state = static_cast<ReadState*>(png_get_io_ptr(png));
    if (!state->reader.has(length)) png_error(png, "unexpected end of file");
    std::memcpy(out, state->reader.bytes(length).data(), length);
}

struct PngReader {
    explicit PngReader(std::span<const std::uint8_t> file) : state(file) {}
    ~PngReader() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    [[noreturn]] void Fail() const {
        throw Error(ErrorKind::InvalidPicture, state.message[0] ? state.message : "PNG decoder stopped early");
    }

    ReadState state;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool alpha = false;
    bool interlaced = false;
};

// Reads the chunks before the image data and sets up the conversion to 8-bit
// blue, green, red (and alpha where the file has transparency). Each setjmp
// target below holds only plain locals that are not changed after setjmp.
bool ReadHeader(PngReader& r) {
    if (setjmp(png_jmpbuf(r.png))) return false;
    png_set_read_fn(r.png, &r.state, ReadData);
    png_set_user_limits(r.png, kMaxPictureSide, kMaxPictureSide);
    // A CRC error in any chunk, critical or ancillary, refuses the file.
    png_set_crc_action(r.png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    png_read_info(r.png, r.info);

    int depth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(r.png, r.info, &r.width, &r.height, &depth, &colorType, &interlace, nullptr, nullptr);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(r.png);
    if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(r.png);
    if (png_get_valid(r.png, r.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(r.png);
    if (depth == 16) png_set_strip_16(r.png);  // keeps the high byte
    if (!(colorType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(r.png);
    png_set_bgr(r.png);
    if (interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);

    const int channels = png_get_channels(r.png, r.info);
    if ((channels != 3 && channels != 4) || png_get_bit_depth(r.png, r.info) != 8 ||
        png_get_rowbytes(r.png, r.info) != std::size_t{r.width} * static_cast<std::size_t>(channels))
        png_error(r.png, "unexpected PNG pixel layout");
    r.alpha = channels == 4;
    r.interlaced = interlace != PNG_INTERLACE_NONE;
    return true;
}

// Rows go straight into their destination: the surface for opaque pictures,
// a blue-green-red-alpha buffer otherwise.
bool ReadImage(PngReader& r, png_bytep* rows) {
    if (setjmp(png_jmpbuf(r.png))) return false;
    png_read_image(r.png, rows);
    return true;
}

bool ReadRow(PngReader& r, png_bytep row) {
    if (setjmp(png_jmpbuf(r.png))) return false;
    png_read_row(r.png, row, nullptr);
    return true;
}

inline std::uint8_t OverWhite(unsigned c, unsigned a) { return static_cast<std::uint8_t>((c * a + 255 * (255 - a) + 127) / 255); }

void FlattenRow(const std::uint8_t* bgra, std::uint8_t* bgr, png_uint_32 width) {
    for (png_uint_32 x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        const unsigned a = bgra[3];
        if (a == 255) {
            bgr[0] = bgra[0], bgr[1] = bgra[1], bgr[2] = bgra[2];
        } else {
            bgr[0] = OverWhite(bgra[0], a), bgr[1] = OverWhite(bgra[1], a), bgr[2] = OverWhite(bgra[2], a);
        }
    }
}

}  // namespace

bool HasPngSignature(std::span<const std::uint8_t> bytes) {
    constexpr std::array<std::uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    return bytes.size() >= kSignature.size() && std::equal(kSignature.begin(), kSignature.end(), bytes.begin());
}

std::shared_ptr<Surface> DecodePng(std::span<const std::uint8_t> file, std::int64_t maxPixels) {
    PngReader r(file);
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r.state, OnError, OnWarning);
    if (!r.png) throw Error(ErrorKind::OutOfMemory, "cannot create the PNG decoder");
    r.info = png_create_info_struct(r.png);
    if (!r.info) throw Error(ErrorKind::OutOfMemory, "cannot create the PNG decoder");
    if (!ReadHeader(r)) r.Fail();
    CheckPictureSize(r.width, r.height, maxPixels);

    const auto width = static_cast<std::int32_t>(r.width);
    const auto height = static_cast<std::int32_t>(r.height);
    auto surface = Surface::Create(width, height, 24);
    if (!surface) throw Error(ErrorKind::OutOfMemory, "not enough memory for the picture");

    if (!r.alpha) {
        std::vector<png_bytep> rows(r.height);
        for (std::int32_t y = 0; y < height; ++y) rows[static_cast<std::size_t>(y)] = surface->row(y);
        if (!ReadImage(r, rows.data())) r.Fail();
    } else if (!r.interlaced) {
        std::vector<std::uint8_t> row(std::size_t{r.width} * 4);
        for (std::int32_t y = 0; y < height; ++y) {
            if (!ReadRow(r, row.data())) r.Fail();
            FlattenRow(row.data(), surface->row(y), r.width);
        }
    } else {
        // Interlaced passes fill every row several times: keep the whole image.
        const std::size_t rowBytes = std::size_t{r.width} * 4;
        std::vector<std::uint8_t> image(rowBytes * r.height);
        std::vector<png_bytep> rows(r.height);
        for (std::size_t y = 0; y < r.height; ++y) rows[y] = image.data() + y * rowBytes;
        if (!ReadImage(r, rows.data())) r.Fail();
        for (std::int32_t y = 0; y < height; ++y)
            FlattenRow(rows[static_cast<std::size_t>(y)], surface->row(y), r.width);
    }
    return surface;
}

}  // namespace crossmeld
