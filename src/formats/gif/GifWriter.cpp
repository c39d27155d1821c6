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
#include "formats/gif/GifFormat.h"
#include "formats/gif/GifDocument.h"
#include "formats/gif/LzwEncoder.h"

namespace crossmeld {
namespace {

using namespace gif;

void Check(const ByteWriter& out) {
    if (!out.ok()) throw Error(ErrorKind::PathFileAccessError, "The GIF file could not be written");
}

std::uint8_t FlagByte(std::int32_t value, const char* what) {
    if (value < 0 || value > 255) throw Error(ErrorKind::Overflow, std::string("The ") + what + " does not fit a byte");
    return static_cast<std::uint8_t>(value);
}

// The colour table size exponent: the smallest g >= 1 with 2^g >= entries.
std::int32_t TableExponent(std::int16_t entries) {
    if (entries > 256)
        throw Error(ErrorKind::SubscriptOutOfRange,
                    "A colour table of " + std::to_string(entries) + " entries exceeds the 256 of the palette");
    std::int32_t g = 1;
    while ((std::int32_t{1} << g) < entries) ++g;
    return g;
}

// 2^g entries of red, green, blue, zero past the meaningful ones, from a
// palette of blue, green, red, reserved entries.
std::vector<std::uint8_t> ColorTable(std::span<const std::uint8_t, GifDocument::kPaletteBytes> palette,
                                     std::int16_t entries, std::int32_t exponent) {
    std::vector<std::uint8_t> table(static_cast<std::size_t>(3) << exponent, 0);
    for (std::size_t i = 0; static_cast<std::int32_t>(i) < entries; ++i) {
        table[3 * i] = palette[4 * i + 2];
        table[3 * i + 1] = palette[4 * i + 1];
        table[3 * i + 2] = palette[4 * i];
    }
    return table;
}

void WriteHeader(ByteWriter& out, const char* version) {
    const std::uint8_t header[6] = {'G', 'I', 'F', static_cast<std::uint8_t>(version[0]),
                                    static_cast<std::uint8_t>(version[1]), static_cast<std::uint8_t>(version[2])};
    out.bytes(header);
}

void WriteLogicalScreenDescriptor(ByteWriter& out, std::int16_t width, std::int16_t height, std::uint8_t flags,
                                  std::uint8_t background, std::uint8_t aspect) {
    out.i16le(width);
    out.i16le(height);
    out.u8(flags);
    out.u8(background);
    out.u8(aspect);
}

// The application extension "NETSCAPE2.0" carrying the loop count.
void WriteLoopingExtension(ByteWriter& out, std::int16_t loops) {
    static constexpr char kApplication[] = "NETSCAPE2.0";
    out.u8(kExtensionIntroducer);
    out.u8(kApplicationLabel);
    out.u8(11);  // block size: identifier and authentication code
    out.bytes(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(kApplication), 11));
    out.u8(3);  // sub-block size
    out.u8(1);  // sub-block identifier: loop count
    out.i16le(loops);
    out.u8(kBlockTerminator);
}

void WriteGraphicControlExtension(ByteWriter& out, std::uint8_t flags, std::int16_t delay,
                                  std::uint8_t transparentIndex) {
    out.u8(kExtensionIntroducer);
    out.u8(kGraphicControlLabel);
    out.u8(4);  // block size
    out.u8(flags);
    out.i16le(delay);
    out.u8(transparentIndex);
    out.u8(kBlockTerminator);
}

void WriteImageDescriptor(ByteWriter& out, std::int16_t left, std::int16_t top, std::int16_t width,
                          std::int16_t height, std::uint8_t flags) {
    out.u8(kImageSeparator);
    out.i16le(left);
    out.i16le(top);
    out.i16le(width);
    out.i16le(height);
    out.u8(flags);
}

}  // namespace

void GifDocument::WriteTo(ByteWriter& out, GifProgress& progress, const std::function<void()>& pumpEvents) {
    // An empty document is GIF87a unless its blank record asks for transparency.
    WriteHeader(out, m_framesCount > 0 || Record(1).useTransparentColor ? "89a" : "87a");

    std::int32_t g = 0;
    std::vector<std::uint8_t> globalTable;
    if (m_globalPaletteExists) {
        g = TableExponent(m_globalPaletteEntries);
        globalTable = ColorTable(m_globalPalette, m_globalPaletteEntries, g);
    }
    // Global-table flag, colour resolution equal to the table size, sort
    // flag, table size. Kept in the document's screen descriptor.
    m_screenFlags = m_globalPaletteExists ? FlagByte(128 + (g - 1) * 16 + (m_globalPaletteSorted ? 8 : 0) + (g - 1),
                                                     "screen flags byte")
                                          : 0;
    WriteLogicalScreenDescriptor(out, m_screenWidth, m_screenHeight, m_screenFlags, m_screenBackground,
                                 m_screenAspect);
    out.bytes(globalTable);
    if (m_framesCount > 0) WriteLoopingExtension(out, m_animationLoops);
    Check(out);

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
        Check(out);
    }
    out.u8(kTrailer);
    Check(out);
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
