// Memory of the outputs does not grow with the frame count: every
// allocation of this test program is counted, and a whole output of 100
// frames must need no more at its peak than one of 20.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "export/AviSink.h"
#include "colour/ColourReducer.h"
#include "export/GifSink.h"
#include "export/SinkThread.h"
#include "formats/avi/CodecChooser.h"
#include "support/TestSupport.h"

namespace {

std::atomic<std::size_t> g_live{0};
std::atomic<std::size_t> g_peak{0};

void* Allocate(std::size_t size) {
    // The size is kept in front of the block so that delete can count it.
    void* block = std::malloc(size + 16);
    if (!block) throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    const std::size_t live = g_live += size;
    std::size_t peak = g_peak.load();
    while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
    }
    return static_cast<char*>(block) + 16;
}

void Release(void* p) noexcept {
    if (!p) return;
    void* block = static_cast<char*>(p) - 16;
    g_live -= *static_cast<std::size_t*>(block);
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace crossmeld {
namespace {

using test::TempDir;

constexpr std::int32_t kWidth = 96, kHeight = 64;

// The peak of live heap bytes while one output of count frames is made.
std::size_t PeakBytes(FrameSink& sink, const std::filesystem::path& target, std::int32_t count) {
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(kWidth) * kHeight * 4);
    const std::size_t before = g_live;
    g_peak = before;
    {
        SinkThread thread(sink);
        EXPECT_TRUE(thread.Begin(target, OutputSettings{kWidth, kHeight, count, 10}));
        for (std::int32_t k = 0; k < count; ++k) {
            for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 31 + k * 5);
            thread.Write(FrameView{kWidth, kHeight, frame});
        }
        thread.Finish();
    }
    EXPECT_TRUE(std::filesystem::exists(target));
    return g_peak - before;
}

TEST(SinkMemory, GifAndAviPeaksDoNotGrowWithTheFrameCount) {
    TempDir dir;
    ColourReducer reducer;
    reducer.InitDitherTables();
    reducer.SetPaletteMode(PaletteMode::Adaptive);
    reducer.SetDitherMethod(DitherMethod::Ordered);
    GifSink gif(reducer);
    const std::size_t gif20 = PeakBytes(gif, dir / "20.gif", 20);
    const std::size_t gif100 = PeakBytes(gif, dir / "100.gif", 100);
    EXPECT_LE(gif100, gif20 + 4096) << "20 frames: " << gif20 << " bytes, 100 frames: " << gif100;

    avi::FixedCodecChooser raw(avi::Codec::FullFrames);
    AviSink avi(raw);
    const std::size_t avi20 = PeakBytes(avi, dir / "20.avi", 20);
    const std::size_t avi100 = PeakBytes(avi, dir / "100.avi", 100);
    // The index keeps 16 bytes per frame until the file is finished.
    EXPECT_LE(avi100, avi20 + 80 * 64 + 4096) << "20 frames: " << avi20 << " bytes, 100 frames: " << avi100;
}

}  // namespace
}  // namespace crossmeld
