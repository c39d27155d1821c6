#pragma once
// Reading AVI files: the first video stream of a file, with its header, its
// format block and where each of its frames lies.
//
//   auto opened = avi::Reader::OpenFile(path);
//   if (opened.result != avi::OpenResult::Ok) ...;
//   opened.reader->FrameCount(); opened.reader->SampleTimeMs(sample);
//   ... frames through AviFrameReader.h ...
//
// Opening reads the headers and the index only; frame data is read on
// demand, so files of any size (OpenDML files past 1 GiB among them) open
// quickly and use little memory. Files written by our writer (full frames,
// Motion JPEG, OpenDML parts) and by other writers are read. Nothing here
// throws; a broken file gives a failure result, never a crash or a hang.
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
#include <string>
#include <vector>

#include "formats/avi/AviIndex.h"
#include "formats/avi/AviSource.h"
#include "formats/avi/AviTypes.h"

namespace crossmeld::avi {

enum class OpenResult {
    Ok,
    CannotOpen,     // the path is not a readable regular file
    NotAvi,         // not an AVI file, or its headers are broken
    NoVideoStream,  // an AVI file without a video stream
    TooManyFrames,  // more than kMaxAviFrames frames, or no memory to index them
};

class FrameReader;

class Reader {
public:
    // The reader, or why there is none.
    struct Opened {
        OpenResult result = OpenResult::CannotOpen;
        std::shared_ptr<Reader> reader;  // set exactly when result is Ok
    };

    static Opened OpenFile(const std::string& path) noexcept;
    // The same from the bytes of a file held in memory (tests, fuzzing).
    static Opened OpenBytes(std::vector<std::uint8_t> bytes) noexcept;

    // The stream header. length is the number of frames found (whatever the
    // file's header says); an empty frame rectangle is replaced by the
    // format's size.
    const StreamHeader& Header() const noexcept { return m_info; }
    // The stream format block (strf payload).
    std::span<const std::uint8_t> Format() const noexcept { return m_format; }
    // The number of frames (at most kMaxAviFrames).
    std::int32_t FrameCount() const noexcept { return static_cast<std::int32_t>(m_frames.size()); }
    // The sample number of the first frame (the header's start, at most the
    // largest 32-bit value); frames are numbered from it.
    std::int32_t Start() const noexcept;

    // The time in milliseconds at which a sample begins, the sample first
    // limited to Start() ... Start() + FrameCount(): sample x scale x 1000 /
    // rate, rounded down while the stream has fewer than 1000 samples a
    // second and up otherwise. -1 for a rate of 0; times beyond 32 bits give
    // the largest value.
    std::int32_t SampleTimeMs(std::int32_t sample) const noexcept;

private:
    friend class FrameReader;

    Reader(std::unique_ptr<AviSource> source, int streamNumber)
        : m_source(std::move(source)), m_chunks(streamNumber) {}

    // Raises Error: InvalidPicture when the file is not an AVI file or its
    // headers are broken, OutOfMemory for more than kMaxAviFrames frames.
    // Null when the file has no video stream.
    static std::shared_ptr<Reader> Open(std::unique_ptr<AviSource> source);
    static Opened OpenSource(std::unique_ptr<AviSource> source) noexcept;

    // The frame whose picture frame k shows: k itself, or for an empty chunk
    // the last earlier frame that has data; nothing when there is none.
    std::optional<std::uint32_t> PictureOf(std::uint32_t k) const noexcept;
    // The data size of frame k's chunk, from its chunk header (never more
    // than the index says); nothing when that header is not one of the
    // stream's chunks or the data runs past the end of the file.
    std::optional<std::uint32_t> ChunkSize(std::uint32_t k);
    // Reads the first out.size() data bytes of frame k's chunk.
    bool ReadChunk(std::uint32_t k, std::span<std::uint8_t> out);

    std::unique_ptr<AviSource> m_source;
    StreamChunks m_chunks;
    StreamHeader m_info;
    std::vector<std::uint8_t> m_format;
    std::vector<AviFrameEntry> m_frames;
    std::vector<std::uint32_t> m_pictureOf;  // kNoPicture when no frame with data precedes
};

}  // namespace crossmeld::avi
