#pragma once
// The animated GIF output. Each frame is reduced to 8 bits by the caller's
// ColourReducer and LZW-encoded as it arrives; the palette is the halftone
// cube, in adaptive mode the one built on the first frame and kept for the
// rest, in fade mode one built for the whole fade by PreparePalette. One
// global table, frames restore the previous picture, loop forever unless
// told otherwise; each frame shows for the time the frame rate gives it, a
// held frame longer. Optimised, every frame after the first holds only the
// rectangle that changed, its unchanged pixels transparent, drawn over the
// frame before: decoders show the same pictures from fewer bytes. On a sink
// thread the reduction is staged on the caller's thread and the encoding
// runs on the sink's.

#include <array>
#include <cstdint>

#include "colour/ColourReducer.h"
#include "colour/Palette256.h"
#include "export/FrameSink.h"
#include "formats/gif/GifStreamWriter.h"
#include "raster/DibSurface.h"

namespace crossmeld {

struct GifSinkOptions {
    // Frames after the first store their change to the frame before (see
    // FrameDelta) with disposal "do not dispose": decoders show the same
    // pictures. The transparent index is the entry after the palette's
    // colours (the table gains it), or with 256 colours one the frame's
    // changed pixels do not use.
    bool optimize = false;
};

class GifSink final : public StagedSink {
public:
    // The most plays a looping extension can count (32767 after the first).
    static constexpr std::int32_t kMaxPlayCount = 32768;

    // The reducer's InitDitherTables must have run; its palette mode and
    // dither method apply to every frame. It is used until Finish or Abort.
    explicit GifSink(ColourReducer& reducer, GifSinkOptions options = {}) : m_reducer(reducer), m_options(options) {}
    ~GifSink() override { Abort(); }

    bool Begin(const std::filesystem::path& target, const OutputSettings& settings) override;
    void Stage(const FrameView& frame, int slot) override;
    void WriteStaged(int slot) override;
    void Finish() override;
    void Abort() noexcept override;

    // Builds the palette of every frame from the fade's two pictures (the
    // reducer's BuildFadePalette) instead of from the first frame. Between
    // Begin and the first frame (Error(InvalidProcedureCall) otherwise);
    // both must have the output's size.
    void PreparePalette(const FrameView& start, const FrameView& end);

    // The delay of every frame in hundredths of a second: the stream's
    // length in whole milliseconds (N x 1000 / rate, rounded down) shared
    // out over the frames and rounded to milliseconds, then to hundredths
    // (halves to even both times).
    static std::int16_t FrameDelay(std::int32_t frameCount, std::int32_t framesPerSecond);
    // A held frame's delay: the frame delay and the hold in hundredths,
    // rounded halves to even.
    static std::int16_t HeldDelay(std::int16_t delay, double holdSeconds);

private:
    void WriteOptimized(const DibSurface& indices, GifFrameBlock& block);

    ColourReducer& m_reducer;
    GifSinkOptions m_options;
    GifStreamWriter m_writer;
    OutputSettings m_settings;
    std::int16_t m_delay = 0;
    std::int32_t m_staged = 0;   // frames reduced (caller's thread)
    std::int32_t m_written = 0;  // frames written (sink's thread)
    DibSurface m_work;           // the frame in 32 bits, as the reducer takes it
    std::array<DibSurface, kSlots> m_indices;  // frames reduced to palette indices
    std::array<double, kSlots> m_holds{};      // their holds
    Palette256 m_palette;        // the reducer's, built on the first frame
    // The global table as the first frame fixed it, for the screen.
    std::array<std::uint8_t, gif::kPaletteBytes> m_table{};
    std::int16_t m_tableEntries = 0;
    bool m_prepared = false;     // the palette was built by PreparePalette
    // Optimised: the indices on screen after the last frame written, and
    // the changed rectangle of the next.
    DibSurface m_previous;
    DibSurface m_delta;
};

}  // namespace crossmeld
