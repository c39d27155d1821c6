#pragma once
// The object behind an AviStreamHandle opened for reading: one stream of an
// AVI file, with its header, its format block and where each of its frames
// lies. Opening reads the headers and the index only; frame data is read
// on demand, so files of any size (OpenDML files past 1 GiB among them)
// open quickly and use little memory.
//
// What a reader accepts beyond the letter of the format, so that files from
// other writers and damaged files still give what they hold:
// - A RIFF or movie list whose size is 0 (a writer stopped before it could
//   fill the size in) extends to the end of the file.
// - Without a usable index, the frames are those found by walking the movie
//   lists; a last chunk cut short stays in the count and fails when read.
//   An index that lists chunks out of file order, twice or overlapping is
//   not usable (AviIndex.h).
// - A chunk of 0 bytes repeats the frame before it.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "formats/avi/AviIndex.h"
#include "formats/avi/AviSource.h"
#include "formats/avi/AviTypes.h"

namespace crossmeld::avi {

class AviReader {
public:
    // Opens the streamIndex-th stream of the type (type 0: of any type),
    // counted from 0. Returns null when the file has no such stream. Raises
    // Error: InvalidPicture when the file is not an AVI file or its headers
    // are broken, OutOfMemory for more than kMaxAviFrames frames.
    static std::shared_ptr<AviReader> Open(std::unique_ptr<AviSource> source, std::uint32_t type,
                                           std::int32_t streamIndex);

    // The stream header. length is the number of frames found; an empty
    // frame rectangle is replaced by the format's size.
    const StreamHeader& Info() const noexcept { return m_info; }
    // The stream format block (strf payload).
    std::span<const std::uint8_t> Format() const noexcept { return m_format; }
    std::uint32_t FrameCount() const noexcept { return static_cast<std::uint32_t>(m_frames.size()); }

    // The frame whose picture frame k shows: k itself, or for an empty chunk
    // the last earlier frame that has data; nothing when there is none.
    std::optional<std::uint32_t> PictureOf(std::uint32_t k) const noexcept;
    // The data size of frame k's chunk, from its chunk header (never more
    // than the index says); nothing when that header is not one of the
    // stream's chunks or the data runs past the end of the file.
    std::optional<std::uint32_t> ChunkSize(std::uint32_t k);
    // Reads the first out.size() data bytes of frame k's chunk.
    bool ReadChunk(std::uint32_t k, std::span<std::uint8_t> out);

private:
    AviReader(std::unique_ptr<AviSource> source, int streamNumber)
        : m_source(std::move(source)), m_chunks(streamNumber) {}

    std::unique_ptr<AviSource> m_source;
    StreamChunks m_chunks;
    StreamHeader m_info;
    std::vector<std::uint8_t> m_format;
    std::vector<AviFrameEntry> m_frames;
    std::vector<std::uint32_t> m_pictureOf;  // kNoPicture when no frame with data precedes
};

}  // namespace crossmeld::avi
