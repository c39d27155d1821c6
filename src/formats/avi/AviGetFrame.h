#pragma once
// The frame reader of a reading stream: every frame as a packed DIB
// (information header, colour table, pixels), ready for DrawDibDraw:
//
//   GetFrameHandle frames = AVIStreamGetFrameOpen(stream, nullptr);
//   std::span<const std::uint8_t> dib = AVIStreamGetFrame(frames, position);
//   AVIStreamGetFrameClose(frames);
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
#include <span>

#include "formats/avi/AviFile.h"

namespace crossmeld::avi {

class AviFrameReader;

// Null until AVIStreamGetFrameOpen succeeds, null again after
// AVIStreamGetFrameClose.
class GetFrameHandle {
public:
    explicit operator bool() const noexcept { return m_object != nullptr; }

private:
    friend struct GetFrameAccess;
    std::shared_ptr<AviFrameReader> m_object;
};

// A frame reader for a reading stream, or null: for a handle that is not a
// reading stream, a format this library cannot decode, or a wanted format
// other than null (frames come only in the formats above). The reader keeps
// the stream open until it is closed.
GetFrameHandle AVIStreamGetFrameOpen(const AviStreamHandle& stream, const std::uint8_t* wantedFormat) noexcept;

// The frame at a sample position (from AVIStreamStart on) as a packed DIB,
// valid until the next call on this reader or its close; empty when the
// frame cannot be delivered (no such position, data missing or broken).
std::span<const std::uint8_t> AVIStreamGetFrame(const GetFrameHandle& frames, std::int32_t position) noexcept;

// 0, or AVIERR_BADHANDLE for a null handle.
AviStatus AVIStreamGetFrameClose(GetFrameHandle& frames) noexcept;

}  // namespace crossmeld::avi
