// GifDocument::LoadFromFile and GifDocument::LoadFromStream: the block walk of GIF87a and
// GIF89a files. After a valid header the reader is lenient: a step that
// runs past the end of the data is skipped and reading goes on, so a
// truncated file keeps every frame read before the cut.

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "base/FileRoutines.h"
#include "formats/gif/GifFormat.h"
#include "formats/gif/GifDocument.h"
#include "formats/gif/LzwDecoder.h"

namespace crossmeld {

namespace {

using namespace gif;

// Largest file read whole into memory.
constexpr std::int64_t kMaxFileBytes = std::int64_t{1} << 31;
// Limits checked before a frame's surfaces are allocated, in pixels: the
// largest frame; the largest sum of all frames, which is also held to
// 64 Mi plus 4096 per byte of the file, so that a small file cannot claim
// much memory with many frames; and frames larger than kSmallFrame whose
// data could not fill them even at LZW's best (see MostPixelsFrom). A
// small frame is always kept, so that a file cut short keeps its last frame
// partly decoded.
constexpr std::int64_t kMaxFramePixels = std::int64_t{1} << 28;
constexpr std::int64_t kMaxDocumentPixels = std::int64_t{1} << 31;
constexpr std::int64_t kSmallFrame = 16384;
// What a frame's record (its palette copy and surface headers, about 3 KB)
// counts against the document's budget before any pixel.
constexpr std::int64_t kFrameRecordPixels = 4096;

// Runs one step of the walk; a step that reads past the end is skipped.
template <typename F>
void Step(F&& step) {
    try {
        step();
    } catch (const Error&) {
    }
}

// Appends the contents of a chain of sub-blocks, the position starting on
// the first size byte and left on the terminating zero. A chain may be
// empty: a first size byte of 0 is already the terminator.
void ReadSubBlocks(const ByteReader& in, std::size_t& position, std::vector<std::uint8_t>& data) {
    data.clear();
    for (;;) {
        const std::size_t n = in.peek(position);
        if (n == 0) return;
        const std::size_t available = std::min(n, in.size() - std::min(in.size(), position + 1));
        const auto block = in.data().subspan(position + 1, available);
        data.insert(data.end(), block.begin(), block.end());
        position += n + 1;
        if (position >= in.size()) return;
    }
}

// Passes over a chain of sub-blocks, the position starting on the label byte
// before it and left on the byte before the terminating zero: the last data
// byte, or the label itself when the chain is empty.
void SkipSubBlocks(const ByteReader& in, std::size_t& position) {
    for (;;) {
        const std::size_t n = in.peek(position + 1);
        if (n == 0) return;
        position += n + 1;
        if (position + 1 >= in.size()) return;
    }
}

// Red, green, blue triples of the stream into blue, green, red, reserved.
void ReadColourTable(const ByteReader& in, std::size_t& position, std::int32_t entries,
                     std::span<std::uint8_t, GifDocument::kPaletteBytes> palette) {
    for (std::int32_t i = 0; i < entries; ++i) {
        const std::size_t at = position + 3 * static_cast<std::size_t>(i);
        Step([&] { palette[4 * i + 2] = in.peek(at); });
        Step([&] { palette[4 * i + 1] = in.peek(at + 1); });
        Step([&] { palette[4 * i] = in.peek(at + 2); });
    }
    position += 3 * static_cast<std::size_t>(entries);
}

std::int16_t Le16(const ByteReader& in, std::size_t at) {
    return static_cast<std::int16_t>(in.peek(at) | (in.peek(at + 1) << 8));
}

// The most pixels that data of this many bytes can produce. Codes are at
// least minimum code size + 1 bits wide. After a clear the j-th code stands
// for at most j pixels (each new string is an older one plus a pixel), and
// no string is longer than the dictionary is deep.
std::int64_t MostPixelsFrom(std::size_t dataBytes, std::int32_t minimumCodeSize) {
    constexpr std::int64_t kLongest = 4096;
    const std::int64_t codes = static_cast<std::int64_t>(dataBytes) * 8 / (minimumCodeSize + 1);
    if (codes <= kLongest) return codes * (codes + 1) / 2;
    return kLongest * (kLongest + 1) / 2 + (codes - kLongest) * kLongest;
}

}  // namespace

bool GifDocument::LoadFromFile(const std::string& fileName) {
    const RegularFileRead file = ReadRegularFile(fileName, kMaxFileBytes);
    // A read that failed part way keeps what came before the failure.
    const bool read =
        file.status == RegularFileRead::Status::Read || file.status == RegularFileRead::Status::ReadFailed;
    if (!read || file.bytes.empty()) {
        Destroy();
        return false;
    }
    return LoadFromStream(file.bytes);
}

bool GifDocument::LoadFromStream(std::span<const std::uint8_t> stream, std::int32_t maxImages) {
    Destroy();
    m_loopExtensionRead = false;
    m_readNotes.clear();
    if (stream.size() < 6) return false;
    const std::string signature(stream.begin(), stream.begin() + 3);
    if (signature != "GIF") return false;
    m_signature = signature;
    const std::string version(stream.begin() + 3, stream.begin() + 6);
    if (version != "87a" && version != "89a") {
        Destroy();
        return false;
    }
    m_version = version;

    const ByteReader in(stream);
    Step([&] { m_screenWidth = Le16(in, 6); });
    Step([&] { m_screenHeight = Le16(in, 8); });
    Step([&] { m_screenFlags = in.peek(10); });
    Step([&] { m_screenBackground = in.peek(11); });
    Step([&] { m_screenAspect = in.peek(12); });
    std::size_t position = 13;

    m_globalPaletteExists = (m_screenFlags & 0x80) != 0;
    if (m_globalPaletteExists) {
        m_globalPaletteSorted = (m_screenFlags & 0x08) != 0;
        m_globalPaletteEntries = static_cast<std::int16_t>(1 << ((m_screenFlags & 7) + 1));
        ReadColourTable(in, position, m_globalPaletteEntries, m_globalPalette);
    }

    std::int32_t images = 0;
    std::int64_t documentPixels = 0;
    const std::int64_t documentBudget =
        std::min(kMaxDocumentPixels, (std::int64_t{1} << 26) + 4096 * static_cast<std::int64_t>(stream.size()));
    std::vector<std::uint8_t> data;
    // Storage grows to at least n records, keeping those it has.
    auto grow = [&](std::size_t n) {
        if (m_frames.size() < n) m_frames.resize(n);
    };

    while (position < stream.size()) {
        const std::uint8_t block = stream[position];
        if (block == kExtensionIntroducer) {
            ++position;
            std::uint8_t label = 0;
            Step([&] { label = in.peek(position); });
            if (label == kGraphicControlLabel) {
                ++position;
                grow(static_cast<std::size_t>(images) + 1);
                FrameRecord& next = m_frames[static_cast<std::size_t>(images)];
                const std::size_t at = position;
                position += 5;
                // The block size byte is not examined: four data bytes follow.
                std::uint8_t flags = 0;
                Step([&] { flags = in.peek(at + 1); });
                Step([&] { next.delay = Le16(in, at + 2); });
                next.disposal = static_cast<std::uint8_t>((flags & 0x1C) >> 2);
                next.userInput = (flags & 0x02) != 0;
                next.useTransparentColor = (flags & 0x01) != 0;
                if (next.useTransparentColor) Step([&] { next.transparentIndex = in.peek(at + 4); });
            } else if (label == kApplicationLabel) {
                ++position;
                std::string identifier;
                for (std::size_t k = 1; k <= 11 && position + k < stream.size(); ++k)
                    identifier += static_cast<char>(stream[position + k]);
                position += 12;
                Step([&] {
                    ReadSubBlocks(in, position, data);
                    // Sub-block identifier 1, then the count; a shorter block
                    // carries no count.
                    if (identifier == "NETSCAPE2.0" && data.size() >= 3) {
                        m_loopExtensionRead = true;
                        const std::int32_t loops = data[1] + data[2] * 256;
                        if (loops <= std::numeric_limits<std::int16_t>::max())
                            m_animationLoops = static_cast<std::int16_t>(loops);
                    }
                });
            } else {
                Step([&] { SkipSubBlocks(in, position); });
            }
        } else if (block == kImageSeparator) {
            ++position;
            if (images == std::numeric_limits<std::int32_t>::max()) break;  // no number for more frames
            // A frame's record costs memory whatever its size: a file of
            // many tiny frames ends where its document budget does.
            if (documentPixels + kFrameRecordPixels > documentBudget) {
                m_readNotes.push_back("frames from " + std::to_string(images + 1) +
                                      " on are not read: the document would be larger than a document may be");
                break;
            }
            documentPixels += kFrameRecordPixels;
            ++images;
            grow(static_cast<std::size_t>(images));
            FrameRecord& frame = m_frames[static_cast<std::size_t>(images) - 1];
            const std::size_t at = position;
            position += 9;
            std::int32_t width = 0, height = 0;
            std::uint8_t flags = 0;
            Step([&] { frame.left = Le16(in, at); });
            Step([&] { frame.top = Le16(in, at + 2); });
            Step([&] { width = static_cast<std::uint16_t>(Le16(in, at + 4)); });
            Step([&] { height = static_cast<std::uint16_t>(Le16(in, at + 6)); });
            Step([&] { flags = in.peek(at + 8); });
            frame.interlaced = (flags & 0x40) != 0;
            frame.localPaletteUsed = (flags & 0x80) != 0;
            if (frame.localPaletteUsed) {
                frame.localPaletteSorted = (flags & 0x20) != 0;
                frame.localPaletteEntries = static_cast<std::int16_t>(1 << ((flags & 7) + 1));
                ReadColourTable(in, position, frame.localPaletteEntries, frame.palette);
            } else {
                frame.localPaletteSorted = m_globalPaletteSorted;
                frame.localPaletteEntries = m_globalPaletteEntries;
                frame.palette = m_globalPalette;
            }
            std::int32_t minimumCodeSize = 0;
            bool haveCodeSize = false;
            Step([&] {
                minimumCodeSize = in.peek(position);
                haveCodeSize = true;
            });
            ++position;
            data.clear();
            Step([&] { ReadSubBlocks(in, position, data); });

            // Sizes are checked before anything is allocated.
            const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
            if (pixels > kMaxFramePixels || documentPixels + pixels > documentBudget) {
                m_readNotes.push_back("frame " + std::to_string(images) + " (" + std::to_string(width) + " x " +
                                      std::to_string(height) + ") is larger than a frame may be");
            } else if (pixels > kSmallFrame &&
                       (!haveCodeSize || pixels > MostPixelsFrom(data.size(), minimumCodeSize))) {
                m_readNotes.push_back("frame " + std::to_string(images) + " (" + std::to_string(width) + " x " +
                                      std::to_string(height) + ") has far too little data for its size");
            } else {
                documentPixels += pixels;
                frame.xorSurface = std::make_unique<DibSurface>();
                frame.andSurface = std::make_unique<DibSurface>();
                Step([&] { frame.xorSurface->Create(width, height, 8); });
                Step([&] { frame.andSurface->Create(width, height, 1); });
                BuildFrameImage(images, static_cast<std::uint8_t>(minimumCodeSize), data);
            }
            if (images >= maxImages) break;
        } else if (block == kTrailer) {
            break;
        }
        ++position;
    }
    m_framesCount = images;
    return true;
}

void GifDocument::BuildFrameImage(std::int32_t frame, std::uint8_t minimumCodeSize,
                                  std::span<const std::uint8_t> data) {
    FrameRecord& record = Record(frame);
    std::array<std::uint8_t, kPaletteBytes> palette = record.palette;
    if (record.useTransparentColor) {
        const std::size_t entry = 4 * static_cast<std::size_t>(record.transparentIndex);
        palette[entry] = palette[entry + 1] = palette[entry + 2] = 0;
    }
    record.xorSurface->SetPalette(palette);
    record.andSurface->SetPalette(kMaskTable);
    LzwDecoder::DecodeFrame(*record.xorSurface, record.interlaced, minimumCodeSize, data);
    if (record.useTransparentColor) FrameMask(frame, record.transparentIndex);
}

}  // namespace crossmeld
