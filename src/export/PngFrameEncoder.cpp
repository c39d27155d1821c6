#include "export/PngFrameEncoder.h"

#include <png.h>

#include <csetjmp>

#include "base/Error.h"

namespace crossmeld {

namespace {

void Append(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

// libpng leaves through longjmp on errors, so nothing here has a destructor
// to skip: the rows and output belong to the caller. Returns false on an
// error.
bool EncodeRows(png_structp png, png_infop info, std::int32_t width, std::int32_t height, png_bytepp rows,
                std::vector<std::uint8_t>* out) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, out, Append, NoFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

}  // namespace

const std::vector<std::uint8_t>& PngFrameEncoder::Encode(const FrameView& frame) {
    const std::size_t pixels = static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height);
    m_rgb.resize(pixels * 3);
    const std::uint8_t* in = frame.bgrx.data();
    std::uint8_t* out = m_rgb.data();
    for (std::size_t i = 0; i < pixels; ++i, in += 4, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(frame.height));
    for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = m_rgb.data() + y * static_cast<std::size_t>(frame.width) * 3;

    m_png.clear();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw Error(ErrorKind::OutOfMemory);
    }
    const bool ok = EncodeRows(png, info, frame.width, frame.height, rows.data(), &m_png);
    png_destroy_write_struct(&png, &info);
    if (!ok) throw Error(ErrorKind::InvalidPicture, "libpng could not encode the frame");
    return m_png;
}

}  // namespace crossmeld
