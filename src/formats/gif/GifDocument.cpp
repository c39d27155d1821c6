#include "formats/gif/GifDocument.h"

#include <limits>
#include <string>
#include <utility>

#include "base/Error.h"
#include "base/Numeric.h"
#include "formats/gif/GifFormat.h"

namespace crossmeld {

using gif::kMaskTable;

GifDocument::FrameRecord& GifDocument::Record(std::int32_t nFrame) {
    return const_cast<FrameRecord&>(std::as_const(*this).Record(nFrame));
}

const GifDocument::FrameRecord& GifDocument::Record(std::int32_t nFrame) const {
    if (nFrame < 1 || static_cast<std::size_t>(nFrame) > m_frames.size())
        throw Error(ErrorKind::SubscriptOutOfRange, "Frame " + std::to_string(nFrame) + " does not exist");
    return m_frames[static_cast<std::size_t>(nFrame) - 1];
}

std::int32_t GifDocument::RgbEntry(std::span<const std::uint8_t, kPaletteBytes> palette, std::uint8_t nEntry) noexcept {
    const std::size_t at = std::size_t{nEntry} * 4;
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

void GifDocument::FrameInsert(std::int32_t nFrame, std::int16_t Width, std::int16_t Height) {
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
    if (previous != 0 && previous >= nFrame) {
        // Carry the new last record down to nFrame, one exchange at a time.
        for (std::int32_t k = m_framesCount - 1; k >= nFrame; --k) FrameMoveDown(k);
        at = nFrame;
    }

    FrameRecord& frame = Record(at);
    if (frame.xorSurface->Create(Width, Height, 8)) frame.xorSurface->Cls(0);
    if (frame.andSurface->Create(Width, Height, 1)) {
        frame.andSurface->SetPalette(kMaskTable);
        frame.andSurface->Cls(0);
    }
    if (m_framesCount == 1) {
        m_screenWidth = Width;
        m_screenHeight = Height;
    }
}

void GifDocument::FrameRemove(std::int32_t nFrame) {
    FrameRecord& frame = Record(nFrame);
    if (m_framesCount == 0) throw Error(ErrorKind::SubscriptOutOfRange, "The GIF document has no frames to remove");
    frame.xorSurface->Destroy();
    frame.andSurface->Destroy();
    const std::int32_t previous = m_framesCount;
    if (nFrame < previous) m_frames.erase(m_frames.begin() + (nFrame - 1));
    m_framesCount = previous - 1;
    if (previous < 2) {
        m_frames.clear();
        m_frames.emplace_back();
    } else {
        m_frames.resize(static_cast<std::size_t>(m_framesCount));
    }
}

void GifDocument::FrameMoveUp(std::int32_t nFrame) {
    FrameRecord& lower = Record(nFrame);
    FrameRecord& upper = Record(nFrame - 1);
    std::swap(upper, lower);
}

void GifDocument::FrameMoveDown(std::int32_t nFrame) {
    FrameRecord& upper = Record(nFrame);
    if (nFrame == std::numeric_limits<std::int32_t>::max())
        throw Error(ErrorKind::SubscriptOutOfRange, "Frame 2147483648 does not exist");
    FrameRecord& lower = Record(nFrame + 1);
    std::swap(upper, lower);
}

float GifDocument::ScreenPixelAspectRatio() const noexcept {
    return (static_cast<float>(m_screenAspect) + 15.0f) / 64.0f;
}

void GifDocument::ScreenPixelAspectRatio(float New_ScreenPixelAspectRatio) {
    m_screenAspect = ToByte(static_cast<double>(New_ScreenPixelAspectRatio) * 64.0 - 15.0);
}

std::int32_t GifDocument::GlobalPaletteRGBEntry(std::uint8_t nEntry) const noexcept {
    return m_globalPaletteExists ? RgbEntry(m_globalPalette, nEntry) : 0;
}

FrameDisposal GifDocument::FrameDisposalMethod(std::int32_t nFrame) const {
    return static_cast<FrameDisposal>(Record(nFrame).disposal);
}

void GifDocument::FrameDisposalMethod(std::int32_t nFrame, FrameDisposal New_DisposalMethod) {
    FrameRecord& frame = Record(nFrame);
    const auto value = static_cast<std::int32_t>(New_DisposalMethod);
    if (value < 0 || value > 255)
        throw Error(ErrorKind::Overflow, "Disposal method " + std::to_string(value) + " does not fit a byte");
    frame.disposal = static_cast<std::uint8_t>(value);
}

void GifDocument::FrameTransparentColorIndex(std::int32_t nFrame, std::int32_t New_TransparentColorIndex) {
    Record(nFrame).transparentIndex = static_cast<std::uint8_t>(New_TransparentColorIndex & 0xFF);
}

std::int32_t GifDocument::LocalPaletteRGBEntry(std::int32_t nFrame, std::uint8_t nEntry) const {
    return RgbEntry(Record(nFrame).palette, nEntry);
}

}  // namespace crossmeld
