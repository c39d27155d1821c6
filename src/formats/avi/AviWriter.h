#pragma once
// Writes an AVI file of one video stream:
//
//   avi::Writer writer;
//   writer.Open(path);                        // a temporary file beside path
//   writer.Start(format, framesPerSecond, codec);
//   writer.WriteFrame(pixels);                // once per frame
//   writer.Finish();                          // completes it; it takes path's place
//
// Every call returns a result and never throws. A file put in the path's
// place is always complete: a writer that is aborted, destroyed before
// Finish, or that met a failure on the way removes its temporary file and
// leaves whatever stood at the path as it was.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

#include "base/FileSink.h"
#include "base/ReplacingFile.h"
#include "formats/avi/AviLayout.h"
#include "formats/avi/CodecChoice.h"
#include "formats/avi/FrameCodec.h"
#include "formats/bmp/DibFormat.h"

namespace crossmeld::avi {

enum class WriteResult {
    Ok,
    CannotCreate,    // no temporary file could be made beside the target
    BadFormat,       // the frame format (or a rate of 0) cannot be written with the codec
    WrongFrameSize,  // fewer pixel bytes than the format describes
    EncodeFailed,    // the codec could not encode a frame
    WriteFailed,     // a write failed (a full disk), or the file could not take the target's place
    OutOfMemory,
    OutOfOrder,  // a call before Open or Start, a second Open or Start, or any call after Finish or Abort
};

// A short English description of a result ("the file could not be written", ...).
const char* WriteResultText(WriteResult result) noexcept;

class Writer {
public:
    // riffLimit is the largest size of one RIFF before the file goes on in
    // OpenDML parts (smaller values let tests see several parts).
    explicit Writer(std::uint64_t riffLimit = AviLayout::kRiffLimit) noexcept : m_riffLimit(riffLimit) {}
    ~Writer() { Abort(); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Makes the temporary file beside target. CannotCreate when the folder
    // is missing or read-only, or the target is a folder.
    WriteResult Open(const std::filesystem::path& target) noexcept;

    // Starts the stream with the frame format, a bitmap-information block
    // (information header and colour table) of 8, 16, 24 or 32 bits per
    // pixel, uncompressed, and writes the headers. The stream header's
    // frame rectangle is the frame size, its suggested buffer size the
    // frame's pixel bytes until frames are written. A refused format
    // (BadFormat) leaves the writer open for another Start.
    WriteResult Start(std::span<const std::uint8_t> format, std::uint32_t framesPerSecond,
                      const CodecChoice& codec) noexcept;

    // Appends one frame, stored as a key frame: the DIB pixel bytes the
    // format describes, in its row order. Bytes past the frame's size are
    // not stored. After a failed frame the file cannot be finished: later
    // frames and Finish give that first failure again.
    WriteResult WriteFrame(std::span<const std::uint8_t> pixels) noexcept;

    // Completes the file and puts it in the target's place. The writer is
    // done whatever the result; on a failure the target stays as it was.
    WriteResult Finish() noexcept;

    // Removes the temporary file; the target stays as it was.
    void Abort() noexcept;

private:
    enum class State { New, Open, Started, Done };

    WriteResult Fail(WriteResult result) noexcept;

    std::uint64_t m_riffLimit;
    State m_state = State::New;
    ReplacingFile m_file;
    std::unique_ptr<FileSink> m_sink;
    std::unique_ptr<FrameCodec> m_codec;
    DibFormat m_input;
    std::optional<AviLayout> m_layout;
    std::optional<WriteResult> m_failure;  // the first failure that spoilt the file
};

}  // namespace crossmeld::avi
