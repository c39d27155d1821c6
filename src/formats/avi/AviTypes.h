#pragma once
// The records and flag values that callers of the video-file library fill
// and pass: the stream header, the compression options, and the flags of
// the calls. Every record value-initialises to zero, like the zero-filled
// records callers start from.

#include <cstdint>

namespace crossmeld::avi {

// File open modes (AVIFileOpen).
inline constexpr std::uint32_t OF_READ = 0x0000;
inline constexpr std::uint32_t OF_WRITE = 0x0001;
inline constexpr std::uint32_t OF_READWRITE = 0x0002;
inline constexpr std::uint32_t OF_SHARE_EXCLUSIVE = 0x0010;
inline constexpr std::uint32_t OF_CREATE = 0x1000;

// Sample flags (AVIStreamWrite) and index entry flags.
inline constexpr std::uint32_t AVIIF_KEYFRAME = 0x10;

// Main header flags.
inline constexpr std::uint32_t AVIF_HASINDEX = 0x10;
inline constexpr std::uint32_t AVIF_ISINTERLEAVED = 0x100;

// Codec dialog flags (AVISaveOptions): which extra choices it offers.
inline constexpr std::uint32_t ICMF_CHOOSE_KEYFRAME = 0x1;
inline constexpr std::uint32_t ICMF_CHOOSE_DATARATE = 0x2;

// Compression option flags.
inline constexpr std::uint32_t AVICOMPRESSF_INTERLEAVE = 0x1;
inline constexpr std::uint32_t AVICOMPRESSF_DATARATE = 0x2;
inline constexpr std::uint32_t AVICOMPRESSF_KEYFRAMES = 0x4;
inline constexpr std::uint32_t AVICOMPRESSF_VALID = 0x8;

// Quality values run from 0 to 10000; this one asks for the codec's default.
inline constexpr std::uint32_t ICQUALITY_DEFAULT = 0xFFFFFFFFu;
inline constexpr std::uint32_t ICQUALITY_HIGH = 10000;

struct FrameRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// The stream header a caller gives when it adds a stream.
struct StreamHeader {
    std::uint32_t type = 0;
    std::uint32_t handler = 0;
    std::uint32_t flags = 0;
    std::uint32_t caps = 0;
    std::uint16_t priority = 0;
    std::uint16_t language = 0;
    std::uint32_t scale = 0;
    std::uint32_t rate = 0;  // rate / scale = samples per second
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    std::uint32_t initialFrames = 0;
    std::uint32_t suggestedBufferSize = 0;
    std::uint32_t quality = 0;
    std::uint32_t sampleSize = 0;
    FrameRect frameRect;
    std::uint32_t editCount = 0;
    std::uint32_t formatChangeCount = 0;
    char name[64] = {};
};

// What the codec dialog chose. handler 0 or 'DIB ' stores full frames,
// 'MJPG' Motion JPEG; quality (0 ... 10000) sets the JPEG quality.
struct AviCompressOptions {
    std::uint32_t type = 0;
    std::uint32_t handler = 0;
    std::uint32_t dwKeyFrameEvery = 0;
    std::uint32_t quality = 0;
    std::uint32_t dwBytesPerSecond = 0;
    std::uint32_t flags = 0;
    std::uint32_t dwInterleaveEvery = 0;
};

}  // namespace crossmeld::avi
