#pragma once
// GifDocument: the animated GIF document. One logical screen, an optional global
// colour table, a loop count and an ordered list of frames numbered from 1,
// each an 8-bit indexed image with its own position, timing, transparency
// and palette.
//
// Each frame record owns two surfaces: the XOR surface (8 bits per pixel,
// the frame's palette indices, row 0 at the top) and the AND surface (1 bit
// per pixel, table black then white; white marks transparent pixels).
// Records move whole when frames are reordered, surfaces included, so a
// reference from FrameDIBXOR or FrameDIBAND stays with its frame until the
// frame is removed or the document destroyed.
//
// Frame storage does not exist until the first Destroy or FrameInsert;
// before that every frame operation except FrameInsert fails. After
// Destroy, or once the last frame is removed, the storage holds one blank
// record and FramesCount is 0. A frame number outside the storage (below 1
// or above its last record) raises Error(SubscriptOutOfRange) and leaves
// the document unchanged. Frame numbers and the count are 32-bit: a
// document holds as many frames as memory allows.
//
// Palettes are 256 entries of four bytes: blue, green, red, reserved.

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/ByteWriter.h"
#include "formats/gif/GifProgress.h"
#include "raster/DibSurface.h"

namespace crossmeld {

// The disposal code of a frame as the graphic control extension carries it
// (0 .. 7 under GIF89a). The document stores any value from 0 to 255.
enum class FrameDisposal : std::int32_t {
    Unspecified = 0,
    DoNotDispose = 1,
    RestoreBackground = 2,
    RestorePrevious = 3,
};

class GifDocument {
public:
    static constexpr std::size_t kPaletteBytes = 1024;
    using PaletteBytes = std::span<std::uint8_t, kPaletteBytes>;

    GifDocument() = default;
    ~GifDocument() = default;
    GifDocument(const GifDocument&) = delete;
    GifDocument& operator=(const GifDocument&) = delete;
    GifDocument(GifDocument&&) noexcept = default;
    GifDocument& operator=(GifDocument&&) noexcept = default;

    // Empties the document: screen descriptor, global palette, its sort flag
    // and entry count and the loop count become zero, every surface is
    // released and the storage becomes one blank record. GlobalPaletteExists
    // keeps its value.
    void Destroy();
    // Inserts a frame of width x height at number frame, or at the end when
    // frame is past the last one, with a black 8-bit XOR surface and a black
    // 1-bit AND surface (a size that cannot be made leaves them empty). The
    // first frame also sets the screen size. Error(Overflow) when the count
    // would pass the largest 32-bit number, before anything changes. A
    // frame below 1 with frames present fails after the count has grown.
    void FrameInsert(std::int32_t frame, std::int16_t width, std::int16_t height);
    // Removes the frame and closes the gap. Error(SubscriptOutOfRange) when
    // the document has no frames.
    void FrameRemove(std::int32_t frame);
    // Exchange the records frame - 1 and frame, or frame and frame + 1;
    // both must lie in the storage.
    void FrameMoveUp(std::int32_t frame);
    void FrameMoveDown(std::int32_t frame);

    // Writes the document as a GIF file (see GifWriter.cpp). True when the
    // whole file was written; false on any failure, leaving an existing file
    // of that name as it was. pumpEvents lets pending window events run:
    // once before the file is opened and once per frame.
    bool Save(const std::string& fileName, GifProgress& progress, const std::function<void()>& pumpEvents = {});
    // Writes the same bytes into a writer; pumpEvents runs once per frame.
    // Raises Error on any failure (a palette above 256 entries, a frame
    // without any colour table, a disposal code above 63, a surface wider
    // or taller than 32767, no frame storage, a failed write).
    void WriteTo(ByteWriter& out, GifProgress& progress, const std::function<void()>& pumpEvents = {});

    // Reads a GIF file (see GifReader.cpp). False, with the document empty,
    // for a missing, unreadable or empty file, or one without a GIF87a or
    // GIF89a header. After a valid header reading never fails: what could be
    // read stays in the document.
    bool LoadFromFile(const std::string& fileName);
    // maxImages stops the walk after that many images (a caller that shows
    // only the first frame need not decode the others).
    bool LoadFromStream(std::span<const std::uint8_t> stream,
                        std::int32_t maxImages = std::numeric_limits<std::int32_t>::max());
    // What the last read left out: frames refused for their size (their
    // surfaces stay empty). Empty after a read that took everything.
    const std::vector<std::string>& ReadNotes() const noexcept { return m_readNotes; }
    // The header of the last stream read ("GIF", "87a" or "89a"); blank
    // after Destroy.
    const std::string& Signature() const noexcept { return m_signature; }
    const std::string& Version() const noexcept { return m_version; }
    // True when the last stream read held a looping extension.
    bool LoopExtensionRead() const noexcept { return m_loopExtensionRead; }

    // Builds the frame's AND surface from its XOR surface: white where a
    // pixel holds the transparent index (when the frame uses one), black
    // elsewhere; the XOR surface's colour table becomes the frame's palette
    // with that entry black. See FrameRender.cpp.
    void FrameMask(std::int32_t frame, std::uint8_t transparentIndex);
    // Draws the frame by itself at (left, top) + scale x its position,
    // scale x its size, keeping the target under transparent pixels.
    // With screenCrop the parts right of and below the logical screen are
    // left out.
    void FrameDraw(DeviceContext& dc, std::int32_t frame, std::int16_t left, std::int16_t top, float scale,
                   bool screenCrop);

    // ---- document properties -------------------------------------------
    std::int16_t AnimationLoops() const noexcept { return m_animationLoops; }
    void SetAnimationLoops(std::int16_t loops) noexcept { m_animationLoops = loops; }
    std::int16_t ScreenWidth() const noexcept { return m_screenWidth; }
    void SetScreenWidth(std::int16_t width) noexcept { m_screenWidth = width; }
    std::int16_t ScreenHeight() const noexcept { return m_screenHeight; }
    void SetScreenHeight(std::int16_t height) noexcept { m_screenHeight = height; }
    std::uint8_t ScreenBackgroundColorIndex() const noexcept { return m_screenBackground; }
    void SetScreenBackgroundColorIndex(std::uint8_t index) noexcept { m_screenBackground = index; }
    // (aspect byte + 15) / 64. Setting stores ratio x 64 - 15 rounded half
    // to even; outside 0 .. 255 it raises Error(Overflow), byte unchanged.
    float ScreenPixelAspectRatio() const noexcept;
    void SetScreenPixelAspectRatio(float ratio);
    std::uint8_t ScreenPixelAspectByte() const noexcept { return m_screenAspect; }

    // The 1024 bytes of the global palette; callers copy palette bytes in.
    PaletteBytes GlobalPalette() noexcept { return m_globalPalette; }
    // red + green x 256 + blue x 65536 of a global entry; 0 while
    // GlobalPaletteExists is false.
    std::int32_t GlobalPaletteRGBEntry(std::uint8_t entry) const noexcept;
    bool GlobalPaletteExists() const noexcept { return m_globalPaletteExists; }
    void SetGlobalPaletteExists(bool exists) noexcept { m_globalPaletteExists = exists; }
    bool GlobalPaletteSorted() const noexcept { return m_globalPaletteSorted; }
    void SetGlobalPaletteSorted(bool sorted) noexcept { m_globalPaletteSorted = sorted; }
    std::int16_t GlobalPaletteEntries() const noexcept { return m_globalPaletteEntries; }
    void SetGlobalPaletteEntries(std::int16_t entries) noexcept { m_globalPaletteEntries = entries; }
    std::int32_t FramesCount() const noexcept { return m_framesCount; }

    // ---- frame properties (Error(SubscriptOutOfRange) outside the storage)
    DibSurface& FrameDIBXOR(std::int32_t frame) { return *Record(frame).xorSurface; }
    DibSurface& FrameDIBAND(std::int32_t frame) { return *Record(frame).andSurface; }
    std::int16_t FrameDelay(std::int32_t frame) const { return Record(frame).delay; }
    void SetFrameDelay(std::int32_t frame, std::int16_t delay) { Record(frame).delay = delay; }
    bool FrameInterlaced(std::int32_t frame) const { return Record(frame).interlaced; }
    void SetFrameInterlaced(std::int32_t frame, bool interlaced) { Record(frame).interlaced = interlaced; }
    std::int16_t FrameLeft(std::int32_t frame) const { return Record(frame).left; }
    void SetFrameLeft(std::int32_t frame, std::int16_t left) { Record(frame).left = left; }
    std::int16_t FrameTop(std::int32_t frame) const { return Record(frame).top; }
    void SetFrameTop(std::int32_t frame, std::int16_t top) { Record(frame).top = top; }
    // Stored in 8 bits: outside 0 .. 255 raises Error(Overflow), unchanged.
    FrameDisposal FrameDisposalMethod(std::int32_t frame) const;
    void SetFrameDisposalMethod(std::int32_t frame, FrameDisposal disposal);
    bool FrameUseTransparentColor(std::int32_t frame) const { return Record(frame).useTransparentColor; }
    void SetFrameUseTransparentColor(std::int32_t frame, bool use) { Record(frame).useTransparentColor = use; }
    // Setting keeps the low 8 bits of the index.
    std::uint8_t FrameTransparentColorIndex(std::int32_t frame) const { return Record(frame).transparentIndex; }
    void SetFrameTransparentColorIndex(std::int32_t frame, std::int32_t index);
    bool FrameUserInput(std::int32_t frame) const { return Record(frame).userInput; }
    void SetFrameUserInput(std::int32_t frame, bool userInput) { Record(frame).userInput = userInput; }

    // The frame's 1024-byte palette: its own table in the file when
    // LocalPaletteUsed, and in any case the palette its indices refer to.
    PaletteBytes LocalPalette(std::int32_t frame) { return Record(frame).palette; }
    // red + green x 256 + blue x 65536 of the frame's entry, whatever
    // LocalPaletteUsed says.
    std::int32_t LocalPaletteRGBEntry(std::int32_t frame, std::uint8_t entry) const;
    bool LocalPaletteUsed(std::int32_t frame) const { return Record(frame).localPaletteUsed; }
    void SetLocalPaletteUsed(std::int32_t frame, bool used) { Record(frame).localPaletteUsed = used; }
    bool LocalPaletteSorted(std::int32_t frame) const { return Record(frame).localPaletteSorted; }
    void SetLocalPaletteSorted(std::int32_t frame, bool sorted) { Record(frame).localPaletteSorted = sorted; }
    std::int16_t LocalPaletteEntries(std::int32_t frame) const { return Record(frame).localPaletteEntries; }
    void SetLocalPaletteEntries(std::int32_t frame, std::int16_t entries) {
        Record(frame).localPaletteEntries = entries;
    }

private:
    // One frame. A blank record has empty surfaces and every field zero.
    struct FrameRecord {
        std::unique_ptr<DibSurface> xorSurface = std::make_unique<DibSurface>();
        std::unique_ptr<DibSurface> andSurface = std::make_unique<DibSurface>();
        std::int16_t left = 0;
        std::int16_t top = 0;
        bool interlaced = false;
        bool useTransparentColor = false;
        std::uint8_t transparentIndex = 0;
        std::int16_t delay = 0;  // hundredths of a second
        std::uint8_t disposal = 0;
        bool userInput = false;
        bool localPaletteUsed = false;
        bool localPaletteSorted = false;
        std::int16_t localPaletteEntries = 0;
        std::array<std::uint8_t, kPaletteBytes> palette{};
    };

    // Gives a frame just read its colour tables, its pixels and its mask.
    void BuildFrameImage(std::int32_t frame, std::uint8_t minimumCodeSize, std::span<const std::uint8_t> data);

    FrameRecord& Record(std::int32_t frame);
    const FrameRecord& Record(std::int32_t frame) const;
    static std::int32_t RgbEntry(std::span<const std::uint8_t, kPaletteBytes> palette, std::uint8_t entry) noexcept;

    // Header of the last stream read ("GIF", "87a" / "89a"); blank otherwise.
    std::string m_signature;
    std::string m_version;
    // Logical screen descriptor.
    std::int16_t m_screenWidth = 0;
    std::int16_t m_screenHeight = 0;
    std::uint8_t m_screenFlags = 0;  // as read; Save recomputes it
    std::uint8_t m_screenBackground = 0;
    std::uint8_t m_screenAspect = 0;

    std::int16_t m_animationLoops = 0;
    bool m_loopExtensionRead = false;
    std::vector<std::string> m_readNotes;
    bool m_globalPaletteExists = false;
    bool m_globalPaletteSorted = false;
    std::int16_t m_globalPaletteEntries = 0;
    std::array<std::uint8_t, kPaletteBytes> m_globalPalette{};

    // Records 1 .. n at indices 0 .. n - 1; empty until first created.
    std::vector<FrameRecord> m_frames;
    std::int32_t m_framesCount = 0;
};

}  // namespace crossmeld
