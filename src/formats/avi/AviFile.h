#pragma once
// The video-file library's calls for writing AVI files, with Video for Windows'
// names, arguments and order of use:
//
//   AVIFileInit();
//   AVIFileOpen(file, path, OF_WRITE | OF_CREATE, nullptr);
//   AVIFileCreateStream(file, stream, info);          // info.type 'vids'
//   AVISaveOptions(chooser, flags, 1, &stream, &optionsPointer);  // 1 = confirmed
//   AVIMakeCompressedStream(compressed, stream, optionsPointer, nullptr);
//   AVIStreamSetFormat(compressed, 0, bitmapInfo, bitmapInfoSize);
//   AVIStreamWrite(compressed, k - 1, 1, bits, sizeImage, AVIIF_KEYFRAME, nullptr, nullptr);  // per frame
//   AVIStreamRelease(stream); AVIStreamRelease(compressed); AVIFileRelease(file);
//   AVIFileExit();
//
// Every call returns a status (0 = success, AviStatus.h) and never throws.
// The file is written beside the path under a temporary name and takes the
// path's place at AVIFileRelease, and only when a stream format was set and
// no write failed; otherwise an older file at the path stays untouched.
// Handles are shared references: a handle dropped without its release call
// frees its object all the same, and a file never released is not committed.

#include <cstdint>
#include <memory>
#include <string>

#include "formats/avi/AviStatus.h"
#include "formats/avi/AviTypes.h"
#include "formats/avi/CodecChooser.h"
#include "formats/avi/Fourcc.h"

namespace crossmeld::avi {

class AviWriter;
class AviStream;
class AviReader;
struct AviHandleAccess;
struct AviReadAccess;

// A file handle: null until AVIFileOpen succeeds, null again after
// AVIFileRelease.
class AviFileHandle {
public:
    explicit operator bool() const noexcept { return m_object != nullptr; }

private:
    friend struct AviHandleAccess;
    std::shared_ptr<AviWriter> m_object;
};

// A stream handle: null until created (or opened for reading, see
// AviStreamRead.h), null again after AVIStreamRelease. It holds a writing
// stream or a reading stream, never both.
class AviStreamHandle {
public:
    explicit operator bool() const noexcept { return m_object != nullptr || m_reader != nullptr; }

private:
    friend struct AviHandleAccess;
    friend struct AviReadAccess;
    std::shared_ptr<AviStream> m_object;
    std::shared_ptr<AviReader> m_reader;
};

// Library use is counted; an AVIFileExit without a matching AVIFileInit does
// nothing. The calls work whatever the count (nothing needs setting up).
void AVIFileInit() noexcept;
void AVIFileExit() noexcept;
int AviLibraryUseCount() noexcept;

// Opens a new file for writing. mode must hold OF_CREATE and OF_WRITE (or
// OF_READWRITE); handlerClass must be null. AVIERR_FILEOPEN when the
// temporary file cannot be made beside the path (missing or read-only
// folder, the path names a folder).
AviStatus AVIFileOpen(AviFileHandle& file, const std::string& path, std::uint32_t mode,
                      const void* handlerClass) noexcept;

// Adds the file's one video stream (type 'vids', nonzero scale and rate).
AviStatus AVIFileCreateStream(const AviFileHandle& file, AviStreamHandle& stream, const StreamHeader& info) noexcept;

// Asks the chooser for each stream's codec, starting from the options
// records. Returns 1 when every choice was confirmed (options then carry
// type 'vids' and AVICOMPRESSF_VALID), 0 when one was cancelled, and an
// error status for bad arguments. A null chooser confirms the options as
// they are (full frames when the handler is 0).
AviStatus AVISaveOptions(CodecChooser* chooser, std::uint32_t flags, std::int32_t streamCount,
                         const AviStreamHandle* streams, AviCompressOptions** options) noexcept;
AviStatus AVISaveOptionsFree(std::int32_t streamCount, AviCompressOptions** options) noexcept;

// A stream that writes into source's file stream through the codec of the
// options (AVIERR_NOCOMPRESSOR for a handler other than 0, 'DIB ', 'MJPG').
AviStatus AVIMakeCompressedStream(AviStreamHandle& compressed, const AviStreamHandle& source,
                                  const AviCompressOptions* options, const void* handlerClass) noexcept;

// Sets the frame format once, at position 0: a bitmap-information block of
// 8, 16, 24 or 32 bits per pixel, uncompressed (AVIERR_BADFORMAT otherwise).
// Setting the same block again succeeds; another one is refused.
AviStatus AVIStreamSetFormat(const AviStreamHandle& stream, std::int32_t position, const std::uint8_t* format,
                             std::int32_t formatSize) noexcept;

// Appends one frame: exactly the DIB pixel bytes the format describes (more
// bytes are ignored, fewer refused with AVIERR_BADSIZE). Frames are stored
// in the order written whatever start says, each as a key frame. Any failure
// keeps the file from replacing the path at AVIFileRelease.
AviStatus AVIStreamWrite(const AviStreamHandle& stream, std::int32_t start, std::int32_t samples,
                         const std::uint8_t* data, std::int32_t bytes, std::uint32_t flags,
                         std::int32_t* samplesWritten, std::int32_t* bytesWritten) noexcept;

// Releases a writing or a reading stream.
AviStatus AVIStreamRelease(AviStreamHandle& stream) noexcept;

// Completes the file and puts it at the path: 0 when committed,
// AVIERR_NODATA when no format was ever set (nothing committed),
// AVIERR_FILEWRITE when a write failed or the file could not be completed.
AviStatus AVIFileRelease(AviFileHandle& file) noexcept;

}  // namespace crossmeld::avi
