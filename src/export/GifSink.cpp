#include "export/GifSink.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "base/Error.h"
#include "base/Numeric.h"
#include "formats/gif/FrameDelta.h"

namespace crossmeld {

namespace {

// The screen's pixel aspect byte for square pixels: 1 x 64 - 15.
constexpr std::uint8_t kSquarePixels = 49;

// An optimised frame whose changed rectangle keeps fewer than one pixel in
// this many as it was is also tried without transparency. Ordered and
// undithered fades keep about 85 %, error diffusion about 40 %.
constexpr std::int64_t kTryPlainBelow = 2;

}  // namespace

std::int16_t GifSink::FrameDelay(std::int32_t frameCount, std::int32_t framesPerSecond) {
    if (frameCount <= 0 || framesPerSecond <= 0) throw Error(ErrorKind::DivisionByZero);
    const std::int64_t length = std::int64_t{frameCount} * 1000 / framesPerSecond;
    const auto durationMs = static_cast<std::int32_t>(std::min<std::int64_t>(length, INT32_MAX));
    const std::int32_t delayMs = ToInt32(static_cast<double>(durationMs) / static_cast<double>(frameCount));
    return ToInt16(static_cast<double>(delayMs) / 10.0);
}

std::int16_t GifSink::HeldDelay(std::int16_t delay, double holdSeconds) {
    if (!(holdSeconds >= 0 && holdSeconds <= kMaxHoldSeconds)) throw Error(ErrorKind::InvalidProcedureCall);
    return CheckedInt16(delay + ToInt32(holdSeconds * 100));
}

bool GifSink::Begin(const std::filesystem::path& target, const OutputSettings& settings) {
    Abort();
    // Sizes and timing are checked before the file is made.
    CheckedInt16(settings.width);
    CheckedInt16(settings.height);
    // The looping extension counts the plays after the first.
    if (settings.playCount < 0 || settings.playCount > kMaxPlayCount) throw Error(ErrorKind::InvalidProcedureCall);
    m_delay = FrameDelay(settings.frameCount, settings.framesPerSecond);
    if (!m_work.Create(settings.width, settings.height, 32)) throw Error(ErrorKind::OutOfMemory);
    if (!m_writer.Open(target)) throw OutputWriteFailed();
    if (m_options.optimize && !m_previous.Create(settings.width, settings.height, 8)) throw Error(ErrorKind::OutOfMemory);
    m_settings = settings;
    m_staged = 0;
    m_written = 0;
    m_prepared = false;
    return true;
}

void GifSink::Stage(const FrameView& frame, int slot) {
    CheckFrameFits(frame, m_settings);
    // The work surface is top-down with rows padded to four bytes; a 32-bit
    // row needs no padding. The fourth byte is not read by the reducer and
    // is cleared as a drawn frame leaves it.
    std::uint8_t* work = m_work.Bits();
    const std::uint8_t* in = frame.bgrx.data();
    const std::size_t pixels = frame.bgrx.size() / 4;
    for (std::size_t i = 0; i < pixels; ++i, in += 4, work += 4) {
        work[0] = in[0];
        work[1] = in[1];
        work[2] = in[2];
        work[3] = 0;
    }
    // The first frame builds the palette unless it was prepared; every
    // later one is reduced to it.
    m_holds.at(static_cast<std::size_t>(slot)) = frame.holdSeconds;
    m_reducer.ConvertTo8bpp(m_work, m_indices.at(static_cast<std::size_t>(slot)), m_palette,
                            m_prepared || m_staged > 0);
    if (m_staged == 0) {
        const auto bytes = m_palette.Bytes();
        std::copy(bytes.begin(), bytes.end(), m_table.begin());
        m_tableEntries = m_palette.Entries();
    }
    ++m_staged;
}

void GifSink::WriteStaged(int slot) {
    try {
        if (m_written == 0) {
            GifScreen screen;
            screen.width = static_cast<std::int16_t>(m_settings.width);
            screen.height = static_cast<std::int16_t>(m_settings.height);
            screen.palette = m_table;
            // Optimised, one more (black) entry when there is room: the
            // transparent index.
            screen.paletteEntries =
                static_cast<std::int16_t>(std::min(m_tableEntries + (m_options.optimize ? 1 : 0), 256));
            screen.aspect = kSquarePixels;
            // For ever (0), or the plays after the first; a single play
            // needs no looping extension.
            screen.looping = m_settings.playCount != 1;
            screen.loops = static_cast<std::int16_t>(m_settings.playCount == 0 ? 0 : m_settings.playCount - 1);
            m_writer.WriteScreen(screen);
        }
        GifFrameBlock block;
        block.delay = HeldDelay(m_delay, m_holds.at(static_cast<std::size_t>(slot)));
        const DibSurface& indices = m_indices.at(static_cast<std::size_t>(slot));
        if (m_options.optimize) {
            WriteOptimized(indices, block);
        } else {
            block.disposal = FrameDisposal::RestorePrevious;
            m_writer.WriteFrame(indices, block);
        }
    } catch (const std::exception&) {
        // As a document's save does: any failure while writing is a failed write.
        throw OutputWriteFailed();
    }
    ++m_written;
}

void GifSink::WriteOptimized(const DibSurface& indices, GifFrameBlock& block) {
    block.disposal = FrameDisposal::DoNotDispose;
    if (m_written == 0) {
        m_writer.WriteFrame(indices, block);
    } else {
        IndexRect changed = ChangedRect(m_previous, indices);
        // A frame equal to the one before is still written, as one
        // transparent pixel, so that its time on screen is kept.
        if (changed.width == 0) changed = IndexRect{0, 0, 1, 1};
        // The entry after the palette's colours when there is one, else an
        // index none of the changed pixels has; with neither the rectangle
        // goes as it is.
        const std::optional<std::uint8_t> transparent =
            m_tableEntries < 256 ? std::optional<std::uint8_t>(static_cast<std::uint8_t>(m_tableEntries))
                                 : FreeIndex(m_previous, indices, changed);
        const std::int64_t kept = MakeDeltaFrame(m_previous, indices, changed, transparent, m_delta);
        std::vector<std::uint8_t> data = m_writer.EncodeImage(m_delta);
        block.transparent = transparent.has_value();
        // Where most pixels changed (error diffusion) the scattered
        // transparent ones can cost more than they save: then the plain
        // rectangle is encoded too and the smaller kept.
        if (transparent && kept * kTryPlainBelow < std::int64_t{changed.width} * changed.height) {
            MakeDeltaFrame(m_previous, indices, changed, std::nullopt, m_delta);
            std::vector<std::uint8_t> plain = m_writer.EncodeImage(m_delta);
            if (plain.size() <= data.size()) {
                data = std::move(plain);
                block.transparent = false;
            }
        }
        block.left = static_cast<std::int16_t>(changed.left);
        block.top = static_cast<std::int16_t>(changed.top);
        block.transparentIndex = block.transparent ? *transparent : 0;
        m_writer.WriteEncodedFrame(changed.width, changed.height, data, block);
    }
    const std::size_t bytes = static_cast<std::size_t>(indices.BytesPerScanline()) * static_cast<std::size_t>(indices.Height());
    std::memcpy(m_previous.Bits(), indices.Bits(), bytes);
}

void GifSink::PreparePalette(const FrameView& start, const FrameView& end) {
    if (m_staged != 0 || m_settings.width == 0 || m_reducer.GetPaletteMode() != PaletteMode::Fade)
        throw Error(ErrorKind::InvalidProcedureCall, "A fade's palette is prepared in fade mode before the first frame");
    CheckFrameFits(start, m_settings);
    CheckFrameFits(end, m_settings);
    DibSurface a, b;
    for (auto [view, surface] : {std::pair{&start, &a}, std::pair{&end, &b}}) {
        if (!surface->Create(view->width, view->height, 32)) throw Error(ErrorKind::OutOfMemory);
        // A 32-bit surface's rows are the frame's rows without padding.
        std::memcpy(surface->Bits(), view->bgrx.data(), view->bgrx.size());
    }
    m_reducer.BuildFadePalette(a, b, m_palette);
    m_prepared = true;
}

void GifSink::Finish() {
    if (!m_writer.Finish()) throw OutputWriteFailed();
}

void GifSink::Abort() noexcept {
    m_writer.Abort();
}

}  // namespace crossmeld
