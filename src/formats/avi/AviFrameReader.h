#pragma once
// The frames of a reader's video stream as packed DIBs (information header,
// colour table, pixels), ready for DrawPackedDib:
//
//   auto frames = avi::FrameReader::Create(reader);   // null: no decoder
//   std::span<const std::uint8_t> dib = frames->Frame(reader->Start() + k);
//
// Full frames (1, 4, 8, 16, 24 or 32 bits per pixel, uncompressed) come in
// their own depth and row order (biHeight negative for top-down rows);
// Motion JPEG frames come as 24-bit bottom-up DIBs, except a frame that
// claims more than 1024 pixels per byte of its data (far beyond what
// Huffman-coded JPEG can reach), which is not delivered. The pixel bytes of
// a full frame are its chunk's first bytes: rows padded to four bytes, or,
// when the chunk is too short for that but holds every row unpadded (as
// some writers store them), those rows padded here.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "formats/avi/AviReader.h"
#include "formats/avi/MjpegDecoder.h"
#include "formats/bmp/DibLayout.h"

namespace crossmeld::avi {

class FrameReader {
public:
    // A frame reader for the stream, or null when its format is neither
    // uncompressed nor Motion JPEG (or its header is broken). The frame
    // reader keeps the stream open for as long as it lives.
    static std::unique_ptr<FrameReader> Create(std::shared_ptr<Reader> reader) noexcept;

    // The frame at a sample position (from the reader's Start() on), valid
    // until the next call or the end of this object; empty when the frame
    // cannot be delivered (no such position, data missing or broken).
    std::span<const std::uint8_t> Frame(std::int32_t position) noexcept;

private:
    FrameReader(std::shared_ptr<Reader> reader, const DibLayout& out, bool mjpeg,
                std::vector<std::uint8_t> headerAndTable);

    std::span<const std::uint8_t> Get(std::int32_t position);
    std::span<std::uint8_t> Pixels();
    bool ReadFullFrame(std::uint32_t k);
    bool DecodeJpeg(std::uint32_t k);

    std::shared_ptr<Reader> m_reader;
    DibLayout m_out;  // of the delivered frames
    bool m_mjpeg;
    std::vector<std::uint8_t> m_dib;  // header, colour table, pixels
    std::size_t m_pixelsAt;
    std::vector<std::uint8_t> m_chunk;       // compressed data, or rows without padding
    std::optional<std::uint32_t> m_current;  // the frame whose picture m_dib holds
    MjpegDecoder m_jpeg;
};

}  // namespace crossmeld::avi
