#include "formats/avi/MjpegEncoder.h"

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/Error.h"
#include "formats/avi/Fourcc.h"
#include "formats/jpeg/JpegErrorManager.h"

namespace crossmeld::avi {
namespace {

struct Compressor {
    Compressor() {
        std::memset(&cinfo, 0, sizeof cinfo);
        std::memset(&err, 0, sizeof err);
        cinfo.err = jpeg_std_error(&err.pub);
        err.pub.error_exit = JpegOnError;
        err.pub.output_message = [](j_common_ptr) {};
    }
    ~Compressor() {
        jpeg_destroy_compress(&cinfo);  // safe on a struct never created
        std::free(buffer);              // jpeg_mem_dest's buffer
    }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    jpeg_compress_struct cinfo;
    JpegErrorManager err;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
};

// Each argument is plain data not changed between setjmp and a longjmp.
// nextRow fills the buffer with the y-th row from the top as BGR triples.
template <typename NextRow>
bool Compress(Compressor& c, const DibFormat& f, int quality, JSAMPROW buffer, NextRow nextRow) {
    if (setjmp(c.err.jump)) return false;
    jpeg_create_compress(&c.cinfo);
    jpeg_mem_dest(&c.cinfo, &c.buffer, &c.size);
    c.cinfo.image_width = static_cast<JDIMENSION>(f.width);
    c.cinfo.image_height = static_cast<JDIMENSION>(f.height);
    c.cinfo.input_components = 3;
    c.cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c.cinfo);
    jpeg_set_quality(&c.cinfo, quality, TRUE);
    // Full-resolution chroma: with subsampled chroma the colours depend on
    // each decoder's upsampling, and some do it coarsely.
    for (int i = 0; i < c.cinfo.num_components; ++i) {
        c.cinfo.comp_info[i].h_samp_factor = 1;
        c.cinfo.comp_info[i].v_samp_factor = 1;
    }
    jpeg_start_compress(&c.cinfo, TRUE);
    while (c.cinfo.next_scanline < c.cinfo.image_height) {
        nextRow(static_cast<std::int32_t>(c.cinfo.next_scanline));
        jpeg_write_scanlines(&c.cinfo, &buffer, 1);
    }
    jpeg_finish_compress(&c.cinfo);
    return true;
}

}  // namespace

int JpegQuality(std::optional<std::uint32_t> quality) noexcept {
    if (!quality || *quality == 0) return kDefaultJpegQuality;
    const std::uint32_t hundredths = *quality > 10000 ? 10000 : *quality;
    const int q = static_cast<int>((hundredths + 50) / 100);
    return q < 1 ? 1 : q;
}

void MjpegEncoder::Start(const DibFormat& input) {
    if (input.width > kMaxJpegSide || input.height > kMaxJpegSide)
        throw Error(ErrorKind::InvalidPicture, "Motion JPEG frames are at most 65500 pixels wide and high");
    m_format = input;
    m_rowBuffer.assign(static_cast<std::size_t>(input.width) * 3, 0);
}

std::vector<std::uint8_t> MjpegEncoder::StoredFormat() const {
    const std::uint64_t size =
        static_cast<std::uint64_t>(m_format.width) * static_cast<std::uint64_t>(m_format.height) * 3;
    const auto sizeImage = static_cast<std::uint32_t>(size > 0xFFFFFFFFu ? 0xFFFFFFFFu : size);
    return BuildStoredFormat(m_format, kHandlerMjpg, 24, sizeImage, false);
}

std::uint32_t MjpegEncoder::Handler() const {
    return kHandlerMjpg;
}

std::span<const std::uint8_t> MjpegEncoder::Encode(std::span<const std::uint8_t> frame) {
    Compressor c;
    const DibFormat& f = m_format;
    auto nextRow = [&](std::int32_t y) { RowToBgr(f, frame.subspan(f.RowOffset(y), f.stride), m_rowBuffer.data()); };
    if (!Compress(c, f, m_quality, m_rowBuffer.data(), nextRow))
        throw Error(ErrorKind::InvalidPicture, std::string("JPEG encoder: ") + c.err.message);
    m_jpeg.assign(c.buffer, c.buffer + c.size);
    return m_jpeg;
}

}  // namespace crossmeld::avi
