#pragma once
// Writes an animated GIF one frame at a time, for outputs that cannot hold
// every frame: the screen (header, logical screen descriptor, global colour
// table, looping extension) once, then each frame as it comes, then the
// trailer. The bytes are those GifDocument::Save writes for the same
// screen and frames drawn with the global table. The file is written beside
// its target and takes its place only at Finish; until then, and after
// Abort or a failure, a file already at the target stays as it was.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "base/BufferedSink.h"
#include "base/ByteWriter.h"
#include "base/FileSink.h"
#include "base/ReplacingFile.h"
#include "formats/gif/GifBlocks.h"
#include "formats/gif/GifDocument.h"

namespace crossmeld {

class DibSurface;

struct GifScreen {
    std::int16_t width = 0;
    std::int16_t height = 0;
    std::span<const std::uint8_t> palette;  // 256 entries of blue, green, red, reserved
    std::int16_t paletteEntries = 0;                          // 1 .. 256
    std::uint8_t background = 0;
    std::uint8_t aspect = 0;  // the descriptor's byte
    bool looping = true;      // writes the looping extension
    std::int16_t loops = 0;   // its count of plays after the first; 0: forever
};

struct GifFrameBlock {
    std::int16_t delay = 0;  // hundredths of a second
    FrameDisposal disposal = FrameDisposal::Unspecified;
    std::int16_t left = 0;
    std::int16_t top = 0;
    // Pixels of this index leave what is on screen showing.
    bool transparent = false;
    std::uint8_t transparentIndex = 0;
};

class GifStreamWriter {
public:
    GifStreamWriter() = default;
    GifStreamWriter(const GifStreamWriter&) = delete;
    GifStreamWriter& operator=(const GifStreamWriter&) = delete;

    // Creates the temporary file beside the target; false when it cannot.
    bool Open(const std::filesystem::path& target);
    // Error(PathFileAccessError) when a write fails; the errors of the
    // blocks (a table of more than 256 entries) as GifDocument::Save raises them.
    void WriteScreen(const GifScreen& screen);
    // One 8-bit surface of palette indices, rows from the top, drawn with
    // the global table at the block's left and top.
    void WriteFrame(const DibSurface& indices, const GifFrameBlock& block);
    // The image data WriteFrame would write for the surface (minimum code
    // size, LZW sub-blocks, terminator), to weigh encodings before writing.
    std::vector<std::uint8_t> EncodeImage(const DibSurface& indices) const;
    // A frame of width x height pixels whose image data EncodeImage made.
    void WriteEncodedFrame(std::int32_t width, std::int32_t height, std::span<const std::uint8_t> data,
                           const GifFrameBlock& block);
    // Writes the trailer and puts the file in the target's place; false
    // when that fails (the target then stays as it was).
    bool Finish();
    // Removes the temporary file.
    void Abort() noexcept;

private:
    void WriteFrameHeader(std::int32_t width, std::int32_t height, const GifFrameBlock& block);
    static void WriteImageData(ByteWriter& out, const DibSurface& indices, std::int32_t tableExponent);

    ReplacingFile m_file;
    std::unique_ptr<FileSink> m_fileSink;
    std::unique_ptr<BufferedSink> m_buffer;
    std::unique_ptr<ByteWriter> m_out;
    std::int32_t m_tableExponent = 0;
};

}  // namespace crossmeld
