#pragma once
// The records and flag values that callers of the video-file library fill
// and pass: the stream header, the compression options, and the flags of
// the calls. Every record value-initialises to zero, like the zero-filled
// records callers start from.

#include <cstdint>

namespace crossmeld::vfw {

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

struct AviRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// The stream header a caller gives when it adds a stream.
struct AviStreamInfo {
    std::uint32_t fccType = 0;
    std::uint32_t fccHandler = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwCaps = 0;
    std::uint16_t wPriority = 0;
    std::uint16_t wLanguage = 0;
    std::uint32_t dwScale = 0;
    std::uint32_t dwRate = 0;  // dwRate / dwScale = samples per second
    std::uint32_t dwStart = 0;
    std::uint32_t dwLength = 0;
    std::uint32_t dwInitialFrames = 0;
    std::uint32_t dwSuggestedBufferSize = 0;
    std::uint32_t dwQuality = 0;
    std::uint32_t dwSampleSize = 0;
    AviRect rcFrame;
    std::uint32_t dwEditCount = 0;
    std::uint32_t dwFormatChangeCount = 0;
    char szName[64] = {};
};

// What the codec dialog chose. fccHandler 0 or 'DIB ' stores full frames,
// 'MJPG' Motion JPEG; dwQuality (0 ... 10000) sets the JPEG quality.
struct AviCompressOptions {
    std::uint32_t fccType = 0;
    std::uint32_t fccHandler = 0;
    std::uint32_t dwKeyFrameEvery = 0;
    std::uint32_t dwQuality = 0;
    std::uint32_t dwBytesPerSecond = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwInterleaveEvery = 0;
};

}  // namespace crossmeld::vfw
