#include "export/GifExport.h"

#include <algorithm>

#include "base/Error.h"
#include "base/Numeric.h"
#include "colour/ColourReducer.h"
#include "colour/Palette256.h"
#include "formats/avi/AviFrameReader.h"
#include "formats/avi/AviReader.h"
#include "formats/bmp/DrawPackedDib.h"
#include "raster/DibSurface.h"

namespace crossmeld {
namespace {

// Milliseconds per frame, rounded half to even. A stream without frames
// has no delay: the division by zero is raised.
std::int32_t FrameDelayMs(const avi::Reader& stream, std::int32_t frameCount) {
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

std::int32_t StreamDurationMs(const avi::Reader& stream) {
    const std::int32_t end = CheckedAdd(stream.Start(), stream.FrameCount());
    return stream.SampleTimeMs(end);
}

bool ImportAviIntoGif(const std::string& fileName, GifDocument& doc, ImportProgress& progress,
                      ColourReducer& reducer) {
    const auto opened = avi::Reader::OpenFile(fileName);
    if (opened.result != avi::OpenResult::Ok) return false;
    const avi::Reader& stream = *opened.reader;
    const auto frames = avi::FrameReader::Create(opened.reader);
    if (!frames) return false;

    const std::int32_t frameCount = stream.FrameCount();
    progress.SetMax(frameCount);
    const std::int32_t delayMs = FrameDelayMs(stream, frameCount);
    // The rectangle's right and bottom are taken as the size, whatever its
    // left and top.
    const std::int32_t width = stream.Header().frameRect.right;
    const std::int32_t height = stream.Header().frameRect.bottom;
    DibSurface work;
    work.Create(width, height, 32);
    Palette256 palette;

    bool failed = false;
    for (std::int32_t frame = 1; frame <= frameCount; ++frame) {
        doc.FrameInsert(frame, CheckedInt16(width), CheckedInt16(height));
        // Frames are fetched at positions 0, 1, ... (not from the stream's start).
        const auto dib = frames->Frame(frame - 1);
        if (dib.empty()) {
            failed = true;  // the frame just inserted stays, unfilled
            break;
        }
        progress.SetValue(frame);
        progress.DoEvents();
        // A work surface that could not be made has no context: nothing is
        // drawn, and the reduction below refuses the empty surface.
        if (DeviceContext* dc = work.Context())
            DrawPackedDib(*dc, Rect{0, 0, work.Width(), work.Height()}, dib);
        // The first frame builds the palette; every later one is reduced to it.
        reducer.ConvertTo8bpp(work, doc.FrameDIBXOR(frame), palette, frame > 1);
        CopyPaletteEntries(palette, doc.LocalPalette(frame));
        doc.SetFrameDisposalMethod(frame, FrameDisposal::RestorePrevious);
        doc.SetFrameDelay(frame, ToInt16(static_cast<double>(delayMs) / 10.0));
    }

    doc.SetScreenWidth(CheckedInt16(width));
    doc.SetScreenHeight(CheckedInt16(height));
    doc.SetScreenPixelAspectRatio(1.0f);
    doc.SetGlobalPaletteExists(true);
    doc.SetGlobalPaletteEntries(palette.Entries());
    CopyPaletteEntries(palette, doc.GlobalPalette());
    progress.SetValue(0);
    return !failed;
}

}  // namespace crossmeld
