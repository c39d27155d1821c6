// GifDocument::Save and GifDocument::WriteTo: the document as a GIF file. Header, logical
// screen descriptor, global colour table, the looping application extension,
// then per frame a graphic control extension, an image descriptor, an
// optional local colour table and the LZW image data, then the trailer. All
// multi-byte numbers are 16-bit little-endian.

#include <string>
#include <vector>

#include "base/BufferedSink.h"
#include "base/Error.h"
#include "base/FileSink.h"
#include "base/Numeric.h"
#include "base/ReplacingFile.h"
#include "formats/gif/GifBlocks.h"
#include "formats/gif/GifFormat.h"
#include "formats/gif/GifDocument.h"
#include "formats/gif/LzwEncoder.h"

namespace crossmeld {

using namespace gif;

void GifDocument::WriteTo(ByteWriter& out, GifProgress& progress, const std::function<void()>& pumpEvents) {
    // An empty document is GIF87a unless its blank record asks for transparency.
    WriteHeader(out, m_framesCount > 0 || Record(1).useTransparentColor ? "89a" : "87a");

    std::int32_t g = 0;
    std::vector<std::uint8_t> globalTable;
    if (m_globalPaletteExists) {
        g = TableExponent(m_globalPaletteEntries);
        globalTable = ColorTable(m_globalPalette, m_globalPaletteEntries, g);
    }
    // Kept in the document's screen descriptor.
    m_screenFlags = m_globalPaletteExists ? ScreenFlags(g, m_globalPaletteSorted) : 0;
    WriteLogicalScreenDescriptor(out, m_screenWidth, m_screenHeight, m_screenFlags, m_screenBackground,
                                 m_screenAspect);
    out.bytes(globalTable);
    if (m_framesCount > 0) WriteLoopingExtension(out, m_animationLoops);
    CheckWritten(out);

    progress.SetTotal(m_framesCount);
    for (std::int32_t k = 1; k <= m_framesCount; ++k) {
        progress.SetValue(k);
        if (pumpEvents) pumpEvents();
        const FrameRecord& frame = Record(k);

        // The disposal code is not masked to its three bits: a code above
        // 63 does not fit the byte and fails the save.
        const std::uint8_t controlFlags =
            FlagByte(frame.disposal * 4 + (frame.userInput ? 2 : 0) + (frame.useTransparentColor ? 1 : 0),
                     "graphic control flags byte");
        WriteGraphicControlExtension(out, controlFlags, frame.delay,
                                     frame.useTransparentColor ? frame.transparentIndex : std::uint8_t{0});

        std::int32_t l = 0;
        std::vector<std::uint8_t> localTable;
        if (frame.localPaletteUsed) {
            l = TableExponent(frame.localPaletteEntries);
            localTable = ColorTable(frame.palette, frame.localPaletteEntries, l);
        }
        // Without a local table the size field comes from the global table;
        // the sort bit follows LocalPaletteSorted either way.
        const std::int32_t sizeField = frame.localPaletteUsed ? l - 1 : g - 1;
        if (sizeField < 0)
            throw Error(ErrorKind::Overflow,
                        "Frame " + std::to_string(k) + " has no colour table: neither a local nor a global one");
        const std::uint8_t imageFlags =
            FlagByte(sizeField + (frame.localPaletteSorted ? 32 : 0) + (frame.interlaced ? 64 : 0) +
                         (frame.localPaletteUsed ? 128 : 0),
                     "image flags byte");
        const DibSurface& pixels = *frame.xorSurface;
        WriteImageDescriptor(out, frame.left, frame.top, CheckedInt16(pixels.Width()), CheckedInt16(pixels.Height()),
                             imageFlags);
        out.bytes(localTable);

        // The table size in force, at least 2; a frame holding indices past
        // a small table gets a size that carries them.
        const std::int32_t exponent = frame.localPaletteUsed ? l : g;
        const std::uint8_t minimumCodeSize =
            LzwEncoder::MinimumCodeSizeFor(pixels, static_cast<std::uint8_t>(exponent > 1 ? exponent : 2));
        out.u8(minimumCodeSize);
        LzwEncoder::EncodeFrame(out, pixels, static_cast<std::uint8_t>(minimumCodeSize + 1), frame.interlaced);
        out.u8(kBlockTerminator);
        CheckWritten(out);
    }
    out.u8(kTrailer);
    CheckWritten(out);
}

bool GifDocument::Save(const std::string& fileName, GifProgress& progress, const std::function<void()>& pumpEvents) {
    // Pending events run first, where the old file used to be deleted. The
    // file is written beside its target under a temporary name and replaces
    // the target only once complete, so a failed save leaves no partial file
    // and an existing file as it was.
    if (pumpEvents) pumpEvents();
    try {
        ReplacingFile file;
        if (!file.Create(fileName)) return false;
        FileSink fileSink(file.fd());
        BufferedSink sink(fileSink);
        ByteWriter out(sink);
        WriteTo(out, progress, pumpEvents);
        if (!sink.Flush()) return false;
        return file.Commit();
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace crossmeld
