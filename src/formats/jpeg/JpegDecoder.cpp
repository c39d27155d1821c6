#include "formats/jpeg/JpegDecoder.h"

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>
#include <csetjmp>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "base/Error.h"
#include "base/PictureLimits.h"
#include "formats/jpeg/JpegErrorManager.h"
#include "formats/jpeg/JpegOrientation.h"

namespace crossmeld {
namespace {

// libjpeg's own working memory (coefficient buffers of progressive files).
constexpr long kMaxDecoderMemory = 2L << 30;

struct Decompressor : JpegDecompressor {
    [[noreturn]] void Fail() const { throw Error(ErrorKind::InvalidPicture, err.message); }
};

// (255 - C) x (255 - K) / 255 rounded, with the stored (inverted) samples:
// the stored values are 255 - C and 255 - K. The product over 255 is rounded
// with the exact shift form of (v + 127) / 255.
inline std::uint8_t InkToLight(unsigned storedInk, unsigned storedBlack) {
    unsigned ink = 255 - storedInk;
    unsigned t = ink * storedBlack + 128;
    unsigned covered = ((t >> 8) + t) >> 8;
    return static_cast<std::uint8_t>(storedBlack - covered);
}

void CmykRowToBgr(const JSAMPLE* cmyk, std::uint8_t* bgr, JDIMENSION width) {
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        unsigned k = cmyk[3];
        bgr[0] = InkToLight(cmyk[2], k);
        bgr[1] = InkToLight(cmyk[1], k);
        bgr[2] = InkToLight(cmyk[0], k);
    }
}

// Each setjmp target below holds only plain locals that are not changed
// between setjmp and a possible longjmp.
bool ReadHeader(Decompressor& d, std::span<const std::uint8_t> file) {
    if (setjmp(d.err.jump)) return false;
    jpeg_create_decompress(&d.cinfo);
    d.cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    d.cinfo.progress = &d.progress;
    jpeg_mem_src(&d.cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&d.cinfo, TRUE);
    const bool cmyk = d.cinfo.jpeg_color_space == JCS_CMYK || d.cinfo.jpeg_color_space == JCS_YCCK;
    d.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_calc_output_dimensions(&d.cinfo);
    return true;
}

bool DecodeRows(Decompressor& d, JSAMPROW* rows, JSAMPLE* cmykRow) {
    if (setjmp(d.err.jump)) return false;
    jpeg_start_decompress(&d.cinfo);
    const JDIMENSION height = d.cinfo.output_height;
    while (d.cinfo.output_scanline < height) {
        const JDIMENSION y = d.cinfo.output_scanline;
        if (cmykRow) {
            if (jpeg_read_scanlines(&d.cinfo, &cmykRow, 1) != 1) break;
            CmykRowToBgr(cmykRow, rows[y], d.cinfo.output_width);
        } else if (jpeg_read_scanlines(&d.cinfo, rows + y, height - y) == 0) {
            break;  // only a suspending source returns no rows; ours never does
        }
    }
    // The rest of the file after the last row is not examined: a picture whose
    // rows are all decoded is kept even when garbage follows them.
    return d.cinfo.output_scanline == height;
}

// At most this many distinct warning texts are kept per file: a hostile file
// could otherwise produce one text per damaged restart interval.
constexpr std::size_t kMaxWarnings = 8;

// The distinct warning texts of one file, in the order libjpeg gave them.
struct WarningList {
    std::vector<std::string> texts;
    // Once the file has ended early, libjpeg reads an end-of-image marker of
    // its own in place of the missing data, and every later warning ("premature
    // end of data segment", "found marker 0xd9 instead of RSTn") is that same
    // damage told again: only the first is kept.
    bool ended = false;
};

void KeepWarning(void* context, int code, const char* text) noexcept {
    auto& list = *static_cast<WarningList*>(context);
    if (list.ended) return;
    list.ended = code == JWRN_JPEG_EOF;
    try {
        const bool seen = std::find(list.texts.begin(), list.texts.end(), text) != list.texts.end();
        if (!seen && list.texts.size() < kMaxWarnings) list.texts.emplace_back(text);
    } catch (...) {
        // Out of memory for a note: the picture matters more.
    }
}

std::shared_ptr<Surface> Decode(std::span<const std::uint8_t> file, std::int64_t maxPixels,
                                WarningList* warnings) {
    Decompressor d;
    if (warnings) {
        d.err.onWarning = KeepWarning;
        d.err.warningContext = warnings;
    }
    if (!ReadHeader(d, file)) d.Fail();
    // Checked before jpeg_start_decompress, which allocates the buffers.
    CheckPictureSize(d.cinfo.image_width, d.cinfo.image_height, maxPixels);

    const JDIMENSION width = d.cinfo.output_width;
    const JDIMENSION height = d.cinfo.output_height;
    auto surface = Surface::Create(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height), 24);
    if (!surface) throw Error(ErrorKind::OutOfMemory, "not enough memory for the picture");
    std::vector<JSAMPROW> rows(height);
    for (JDIMENSION y = 0; y < height; ++y) rows[y] = surface->row(static_cast<std::int32_t>(y));
    std::vector<JSAMPLE> cmykRow;
    if (d.cinfo.out_color_space == JCS_CMYK) cmykRow.resize(std::size_t{width} * 4);

    if (!DecodeRows(d, rows.data(), cmykRow.empty() ? nullptr : cmykRow.data())) {
        if (d.err.message[0] == '\0') std::snprintf(d.err.message, sizeof d.err.message, "JPEG decoder stopped early");
        d.Fail();
    }
    return surface;
}

}  // namespace

std::shared_ptr<Surface> DecodeJpeg(std::span<const std::uint8_t> file, std::int64_t maxPixels) {
    return Decode(file, maxPixels, nullptr);
}

JpegPicture DecodeJpegPicture(std::span<const std::uint8_t> file, std::int64_t maxPixels) {
    JpegPicture picture;
    WarningList warnings;
    auto surface = Decode(file, maxPixels, &warnings);
    picture.warnings = std::move(warnings.texts);
    picture.orientation = ReadJpegOrientation(file);
    picture.surface = OrientSurface(std::move(surface), picture.orientation);
    if (!picture.surface) throw Error(ErrorKind::OutOfMemory, "not enough memory for the picture");
    return picture;
}

}  // namespace crossmeld
