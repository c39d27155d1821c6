#include "formats/gif/GifDocument.h"

#include <limits>
#include <string>
#include <utility>

#include "base/Error.h"
#include "base/Numeric.h"
#include "formats/gif/GifFormat.h"

namespace crossmeld {

using gif::kMaskTable;

GifDocument::FrameRecord& GifDocument::Record(std::int32_t frame) {
    return const_cast<FrameRecord&>(std::as_const(*this).Record(frame));
}

const GifDocument::FrameRecord& GifDocument::Record(std::int32_t frame) const {
    if (frame < 1 || static_cast<std::size_t>(frame) > m_frames.size())
        throw Error(ErrorKind::SubscriptOutOfRange, "Frame " + std::to_string(frame) + " does not exist");
    return m_frames[static_cast<std::size_t>(frame) - 1];
}

std::int32_t GifDocument::RgbEntry(std::span<const std::uint8_t, kPaletteBytes> palette, std::uint8_t entry) noexcept {
    const std::size_t at = std::size_t{entry} * 4;
    return palette[at + 2] + palette[at + 1] * 256 + palette[at] * 65536;
}

void GifDocument::Destroy() {
    m_signature.clear();
    m_version.clear();
    m_screenWidth = 0;
    m_screenHeight = 0;
    m_screenFlags = 0;
    m_screenBackground = 0;
    m_screenAspect = 0;
    m_globalPalette.fill(0);
    m_globalPaletteSorted = false;
    m_globalPaletteEntries = 0;
    m_animationLoops = 0;
    m_frames.clear();  // releases every surface
    m_frames.emplace_back();
    m_framesCount = 0;
}

void GifDocument::FrameInsert(std::int32_t frame, std::int16_t width, std::int16_t height) {
    if (m_framesCount == std::numeric_limits<std::int32_t>::max())
        throw Error(ErrorKind::Overflow, "A GIF document holds at most 2147483647 frames");
    const std::int32_t previous = m_framesCount;
    ++m_framesCount;
    // The storage becomes the new count of records, the last one blank: a
    // record already there (left by Destroy, or past the last frame read
    // from a file) does not pass its fields on to the new frame.
    m_frames.resize(static_cast<std::size_t>(m_framesCount));
    m_frames.back() = FrameRecord{};

    std::int32_t at = m_framesCount;
    if (previous != 0 && previous >= frame) {
        // Carry the new last record down to frame, one exchange at a time.
        for (std::int32_t k = m_framesCount - 1; k >= frame; --k) FrameMoveDown(k);
        at = frame;
    }

    FrameRecord& record = Record(at);
    if (record.xorSurface->Create(width, height, 8)) record.xorSurface->Cls(0);
    if (record.andSurface->Create(width, height, 1)) {
        record.andSurface->SetPalette(kMaskTable);
        record.andSurface->Cls(0);
    }
    if (m_framesCount == 1) {
        m_screenWidth = width;
        m_screenHeight = height;
    }
}

void GifDocument::FrameRemove(std::int32_t frame) {
    FrameRecord& record = Record(frame);
    if (m_framesCount == 0) throw Error(ErrorKind::SubscriptOutOfRange, "The GIF document has no frames to remove");
    record.xorSurface->Destroy();
    record.andSurface->Destroy();
    const std::int32_t previous = m_framesCount;
    if (frame < previous) m_frames.erase(m_frames.begin() + (frame - 1));
    m_framesCount = previous - 1;
    if (previous < 2) {
        m_frames.clear();
        m_frames.emplace_back();
    } else {
        m_frames.resize(static_cast<std::size_t>(m_framesCount));
    }
}

void GifDocument::FrameMoveUp(std::int32_t frame) {
    FrameRecord& lower = Record(frame);
    FrameRecord& upper = Record(frame - 1);
    std::swap(upper, lower);
}

void GifDocument::FrameMoveDown(std::int32_t frame) {
    FrameRecord& upper = Record(frame);
    if (frame == std::numeric_limits<std::int32_t>::max())
        throw Error(ErrorKind::SubscriptOutOfRange, "Frame 2147483648 does not exist");
    FrameRecord& lower = Record(frame + 1);
    std::swap(upper, lower);
}

float GifDocument::ScreenPixelAspectRatio() const noexcept {
    return (static_cast<float>(m_screenAspect) + 15.0f) / 64.0f;
}

void GifDocument::SetScreenPixelAspectRatio(float ratio) {
    m_screenAspect = ToByte(static_cast<double>(ratio) * 64.0 - 15.0);
}

std::int32_t GifDocument::GlobalPaletteRGBEntry(std::uint8_t entry) const noexcept {
    return m_globalPaletteExists ? RgbEntry(m_globalPalette, entry) : 0;
}

FrameDisposal GifDocument::FrameDisposalMethod(std::int32_t frame) const {
    return static_cast<FrameDisposal>(Record(frame).disposal);
}

void GifDocument::SetFrameDisposalMethod(std::int32_t frame, FrameDisposal disposal) {
    FrameRecord& record = Record(frame);
    const auto value = static_cast<std::int32_t>(disposal);
    if (value < 0 || value > 255)
        throw Error(ErrorKind::Overflow, "Disposal method " + std::to_string(value) + " does not fit a byte");
    record.disposal = static_cast<std::uint8_t>(value);
}

void GifDocument::SetFrameTransparentColorIndex(std::int32_t frame, std::int32_t index) {
    Record(frame).transparentIndex = static_cast<std::uint8_t>(index & 0xFF);
}

std::int32_t GifDocument::LocalPaletteRGBEntry(std::int32_t frame, std::uint8_t entry) const {
    return RgbEntry(Record(frame).palette, entry);
}

}  // namespace crossmeld
