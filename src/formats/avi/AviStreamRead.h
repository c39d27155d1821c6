#pragma once
// The video-file library's calls for reading a stream of an AVI file, with
// Video for Windows' names, arguments and results:
//
//   AVIStreamOpenFromFile(stream, path, kStreamTypeVideo, 0, OF_SHARE_EXCLUSIVE, nullptr);
//   AVIStreamLength(stream); AVIStreamStart(stream);
//   AVIStreamSampleToTime(stream, AVIStreamStart(stream) + AVIStreamLength(stream));
//   AVIStreamInfo(stream, info, sizeof info);
//   ... frames through AviGetFrame.h ...
//   AVIStreamRelease(stream);
//
// Files written by our writer (full frames, Motion JPEG, OpenDML parts) and
// by other writers are read; see AviReader.h for what is accepted. No call
// throws; a broken file gives a failure status, never a crash or a hang.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/avi/AviFile.h"

namespace crossmeld::avi {

// Opens the streamIndex-th stream (from 0) of the type (type 0: of any
// type) for reading. mode must be a read mode (OF_READ with share flags;
// AVIERR_READONLY for a write mode) and handlerClass null. Results:
// AVIERR_FILEOPEN when the path is not a readable regular file,
// AVIERR_BADFORMAT when it is not an AVI file or its headers are broken,
// AVIERR_NODATA when it has no such stream, AVIERR_MEMORY when the stream
// has more frames than can be indexed.
AviStatus AVIStreamOpenFromFile(AviStreamHandle& stream, const std::string& path, std::uint32_t type,
                                std::int32_t streamIndex, std::uint32_t mode, const void* handlerClass) noexcept;

// The same from the bytes of a file held in memory (tests, fuzzing).
AviStatus AviStreamOpenFromBytes(AviStreamHandle& stream, std::vector<std::uint8_t> bytes, std::uint32_t type,
                                 std::int32_t streamIndex) noexcept;

// The number of frames, and the sample number of the first one (the
// header's start); frames are numbered from the start. -1 for a handle
// that is not a reading stream.
std::int32_t AVIStreamLength(const AviStreamHandle& stream) noexcept;
std::int32_t AVIStreamStart(const AviStreamHandle& stream) noexcept;

// The time in milliseconds at which a sample begins, the sample first
// limited to start ... start + length: sample x scale x 1000 / rate,
// rounded down while the stream has fewer than 1000 samples a second and
// up otherwise. -1 for a handle that is not a reading stream or a rate of 0;
// times beyond 32 bits give the largest value.
std::int32_t AVIStreamSampleToTime(const AviStreamHandle& stream, std::int32_t sample) noexcept;

// Copies the stream header (the first `size` bytes of it) into info:
// AVIERR_BUFFERTOOSMALL when size is below the record's 140 bytes (the part
// that fits is copied), AVIERR_BADPARAM for a negative size.
AviStatus AVIStreamInfo(const AviStreamHandle& stream, StreamHeader& info, std::int32_t size) noexcept;

}  // namespace crossmeld::avi
