#include "export/GifExport.h"

#include <algorithm>

#include "base/Error.h"
#include "base/Numeric.h"
#include "colour/ColourReducer.h"
#include "colour/Palette256.h"
#include "formats/avi/AviGetFrame.h"
#include "formats/avi/AviStreamRead.h"
#include "formats/avi/DrawDib.h"
#include "raster/DibSurface.h"

namespace crossmeld {
namespace {

// Read mode, shared exclusively.
constexpr std::uint32_t kOpenShareExclusive = 16;
// The stream information record as callers pass its size.
constexpr std::int32_t kStreamInfoSize = 140;

// The video library and the handles of one import. Whatever is still open
// when the import leaves, normally or through an error, is closed here in
// the order the import closes it itself: frame reader, stream, drawing
// handle, library.
class ImportHandles {
public:
    ImportHandles() noexcept { avi::AVIFileInit(); }
    ~ImportHandles() {
        if (frames) avi::AVIStreamGetFrameClose(frames);
        if (stream) avi::AVIStreamRelease(stream);
        if (drawing) avi::DrawDibClose(drawing);
        avi::AVIFileExit();
    }
    ImportHandles(const ImportHandles&) = delete;
    ImportHandles& operator=(const ImportHandles&) = delete;

    avi::HDRAWDIB drawing;
    avi::AviStreamHandle stream;
    avi::GetFrameHandle frames;
};

// Milliseconds per frame, rounded half to even. A stream without frames
// has no delay: the division by zero is raised.
std::int32_t FrameDelayMs(const avi::AviStreamHandle& stream, std::int32_t frameCount) {
    const std::int32_t duration = StreamDurationMs(stream);
    if (frameCount == 0) throw Error(ErrorKind::DivisionByZero);
    return ToInt32(static_cast<double>(duration) / static_cast<double>(frameCount));
}

// Copies the palette's entries in use (4 bytes each, the byte count held
// in 16 bits) into a 1024-byte colour table. A palette never built has no
// entries and copies nothing.
void CopyPaletteEntries(const Palette256& palette, GifDocument::PaletteBytes target) {
    const std::int16_t bytes = CheckedInt16(std::int32_t{palette.Entries()} * 4);
    if (bytes <= 0) return;
    if (static_cast<std::size_t>(bytes) > target.size()) throw Error(ErrorKind::SubscriptOutOfRange);
    const auto source = palette.Bytes();
    std::copy_n(source.begin(), bytes, target.begin());
}

}  // namespace

std::int32_t StreamDurationMs(const avi::AviStreamHandle& stream) {
    const std::int32_t end = CheckedAdd(avi::AVIStreamStart(stream), avi::AVIStreamLength(stream));
    return avi::AVIStreamSampleToTime(stream, end);
}

bool ImportAviIntoGif(const std::string& fileName, GifDocument& doc, ImportProgress& progress,
                      ColourReducer& reducer) {
    ImportHandles h;
    h.drawing = avi::DrawDibOpen();
    if (!h.drawing) return false;
    const avi::AviStatus opened =
        avi::AVIStreamOpenFromFile(h.stream, fileName, avi::kStreamTypeVideo, 0, kOpenShareExclusive, nullptr);
    if (opened < 0 || !h.stream) return false;
    h.frames = avi::AVIStreamGetFrameOpen(h.stream, nullptr);
    if (!h.frames) return false;

    const std::int32_t frameCount = avi::AVIStreamLength(h.stream);
    progress.SetMax(frameCount);
    const std::int32_t delayMs = FrameDelayMs(h.stream, frameCount);
    avi::StreamHeader info;
    avi::AVIStreamInfo(h.stream, info, kStreamInfoSize);
    // The rectangle's right and bottom are taken as the size, whatever its
    // left and top.
    const std::int32_t width = info.frameRect.right;
    const std::int32_t height = info.frameRect.bottom;
    DibSurface work;
    work.Create(width, height, 32);
    Palette256 palette;

    bool failed = false;
    for (std::int32_t frame = 1; frame <= frameCount; ++frame) {
        doc.FrameInsert(frame, CheckedInt16(width), CheckedInt16(height));
        const auto dib = avi::AVIStreamGetFrame(h.frames, frame - 1);
        if (dib.empty()) {
            failed = true;  // the frame just inserted stays, unfilled
            break;
        }
        progress.SetValue(frame);
        progress.DoEvents();
        // A work surface that could not be made has no context: nothing is
        // drawn, and the reduction below refuses the empty surface.
        if (DeviceContext* dc = work.Context())
            avi::DrawDibDraw(h.drawing, *dc, 0, 0, work.Width(), work.Height(), dib, {}, 0, 0, -1, -1, 0);
        // The first frame builds the palette; every later one is reduced to it.
        reducer.ConvertTo8bpp(work, doc.FrameDIBXOR(frame), palette, frame > 1);
        CopyPaletteEntries(palette, doc.LocalPalette(frame));
        doc.SetFrameDisposalMethod(frame, FrameDisposal::RestorePrevious);
        doc.SetFrameDelay(frame, ToInt16(static_cast<double>(delayMs) / 10.0));
    }
    avi::AVIStreamGetFrameClose(h.frames);

    doc.SetScreenWidth(CheckedInt16(width));
    doc.SetScreenHeight(CheckedInt16(height));
    doc.SetScreenPixelAspectRatio(1.0f);
    doc.SetGlobalPaletteExists(true);
    doc.SetGlobalPaletteEntries(palette.Entries());
    CopyPaletteEntries(palette, doc.GlobalPalette());
    progress.SetValue(0);

    avi::AVIStreamRelease(h.stream);
    avi::DrawDibClose(h.drawing);
    return !failed;
}

}  // namespace crossmeld
