#include "formats/avi/MjpegDecoder.h"

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <array>
#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include "base/Error.h"
#include "formats/jpeg/JpegErrorManager.h"

namespace crossmeld::avi {
namespace {

constexpr long kMaxDecoderMemory = 1L << 30;

// One Huffman table as a DHT segment gives it: 16 code counts, then values.
struct HuffmanTable {
    std::array<UINT8, 17> bits{};  // bits[0] unused, as in libjpeg
    std::array<UINT8, 256> values{};
};

// The standard tables: DC and AC for luminance (slot 0) and chrominance
// (slot 1). libjpeg's compressor sets exactly these up by default, so they
// are taken from there rather than copied out by hand.
struct StandardTables {
    HuffmanTable dc[2];
    HuffmanTable ac[2];
    bool ok = false;
};

void CopyTable(const JHUFF_TBL* from, HuffmanTable& to) {
    std::memcpy(to.bits.data(), from->bits, to.bits.size());
    std::memcpy(to.values.data(), from->huffval, to.values.size());
}

bool FillStandardTables(jpeg_compress_struct& c, JpegErrorManager& err, StandardTables& t) {
    if (setjmp(err.jump)) return false;
    jpeg_create_compress(&c);
    c.in_color_space = JCS_RGB;
    c.input_components = 3;
    jpeg_set_defaults(&c);
    for (int i = 0; i < 2; ++i) {
        if (!c.dc_huff_tbl_ptrs[i] || !c.ac_huff_tbl_ptrs[i]) return false;
        CopyTable(c.dc_huff_tbl_ptrs[i], t.dc[i]);
        CopyTable(c.ac_huff_tbl_ptrs[i], t.ac[i]);
    }
    return true;
}

const StandardTables& Standard() {
    static const StandardTables tables = [] {
        StandardTables t;
        jpeg_compress_struct c;
        JpegErrorManager err;
        std::memset(&c, 0, sizeof c);
        std::memset(&err, 0, sizeof err);
        c.err = jpeg_std_error(&err.pub);
        err.pub.error_exit = JpegOnError;
        err.pub.output_message = [](j_common_ptr) {};
        t.ok = FillStandardTables(c, err, t);
        jpeg_destroy_compress(&c);
        return t;
    }();
    return tables;
}

// Gives every empty Huffman slot a sequential frame can use its standard
// table.
void AddMissingTables(j_decompress_ptr cinfo) {
    const StandardTables& t = Standard();
    if (!t.ok || cinfo->progressive_mode || cinfo->arith_code) return;
    for (int i = 0; i < 2; ++i) {
        for (auto [slot, table] : {std::pair{&cinfo->dc_huff_tbl_ptrs[i], &t.dc[i]},
                                   std::pair{&cinfo->ac_huff_tbl_ptrs[i], &t.ac[i]}}) {
            if (*slot) continue;
            *slot = jpeg_alloc_huff_table(reinterpret_cast<j_common_ptr>(cinfo));
            std::memcpy((*slot)->bits, table->bits.data(), table->bits.size());
            std::memcpy((*slot)->huffval, table->values.data(), table->values.size());
            (*slot)->sent_table = FALSE;
        }
    }
}

}  // namespace

struct MjpegDecoder::State : JpegDecompressor {
    [[noreturn]] void Fail(const char* fallback) const {
        throw Error(ErrorKind::InvalidPicture,
                    std::string("Motion JPEG frame: ") + (err.message[0] ? err.message : fallback));
    }

    bool created = false;
    bool headerRead = false;
};

namespace {

using Decompressor = MjpegDecoder::State;

// Each setjmp target below holds only plain locals that are not changed
// between setjmp and a possible longjmp.
bool ReadFrameHeader(Decompressor& d, const std::uint8_t* data, std::size_t size) {
    if (setjmp(d.err.jump)) return false;
    if (!d.created) {
        jpeg_create_decompress(&d.cinfo);
        d.created = true;
        d.cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
        d.cinfo.progress = &d.progress;
    } else {
        jpeg_abort_decompress(&d.cinfo);
    }
    jpeg_mem_src(&d.cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&d.cinfo, TRUE) != JPEG_HEADER_OK) {
        std::snprintf(d.err.message, sizeof d.err.message, "the frame holds no JPEG image");
        return false;
    }
    AddMissingTables(&d.cinfo);
    d.cinfo.out_color_space = JCS_EXT_BGR;
    return true;
}

bool DecodeRows(Decompressor& d, JSAMPROW* rows) {
    if (setjmp(d.err.jump)) return false;
    jpeg_start_decompress(&d.cinfo);
    if (d.cinfo.output_components != 3) {
        std::snprintf(d.err.message, sizeof d.err.message, "the frame's colours cannot be shown as RGB");
        return false;
    }
    const JDIMENSION height = d.cinfo.output_height;
    while (d.cinfo.output_scanline < height) {
        if (jpeg_read_scanlines(&d.cinfo, rows + d.cinfo.output_scanline, height - d.cinfo.output_scanline) == 0)
            break;  // only a suspending source returns no rows; ours never does
    }
    return d.cinfo.output_scanline == height;
}

}  // namespace

MjpegDecoder::MjpegDecoder() : m_state(std::make_unique<State>()) {}

MjpegDecoder::~MjpegDecoder() = default;

void MjpegDecoder::ReadHeader(std::span<const std::uint8_t> jpeg) {
    State& d = *m_state;
    d.headerRead = false;
    d.err.message[0] = '\0';
    if (!ReadFrameHeader(d, jpeg.data(), jpeg.size())) d.Fail("no JPEG header");
    if (d.cinfo.image_width > 0x7FFFFFFF || d.cinfo.image_height > 0x7FFFFFFF) d.Fail("the image is too large");
    d.headerRead = true;
}

std::int32_t MjpegDecoder::Width() const noexcept {
    return m_state->headerRead ? static_cast<std::int32_t>(m_state->cinfo.image_width) : 0;
}

std::int32_t MjpegDecoder::Height() const noexcept {
    return m_state->headerRead ? static_cast<std::int32_t>(m_state->cinfo.image_height) : 0;
}

void MjpegDecoder::Decode(std::span<std::uint8_t> pixels, std::size_t stride) {
    State& d = *m_state;
    if (!d.headerRead) d.Fail("no header was read");
    d.headerRead = false;  // one decode per header
    const auto width = static_cast<std::size_t>(d.cinfo.image_width);
    const auto height = static_cast<std::size_t>(d.cinfo.image_height);
    if (stride < 3 * width || pixels.size() / stride < height)
        throw Error(ErrorKind::InvalidPicture, "Motion JPEG frame: the target rows do not fit");
    std::vector<JSAMPROW> rows(height);
    for (std::size_t y = 0; y < height; ++y) rows[y] = pixels.data() + (height - 1 - y) * stride;
    if (!DecodeRows(d, rows.data())) d.Fail("the decoder stopped early");
}

}  // namespace crossmeld::avi
