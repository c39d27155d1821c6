// Fuzz target: the AVI reading side as the GIF import uses it. The bytes are
// opened as a file's first video stream; every frame (the first 64) is
// fetched as a packed DIB and drawn onto a small 32-bit surface. The calls
// never throw; a failure result or an empty frame is an expected answer,
// anything else (a crash, a hang, a huge allocation) is a finding.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "formats/avi/AviFrameReader.h"
#include "formats/avi/AviReader.h"
#include "formats/bmp/DrawPackedDib.h"
#include "raster/DeviceContext.h"

namespace {
volatile std::uint32_t g_sink;
constexpr std::int32_t kMaxFrames = 64;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace crossmeld;
    auto opened = avi::Reader::OpenBytes(std::vector<std::uint8_t>(data, data + size));
    if (opened.result != avi::OpenResult::Ok) return 0;
    const std::int32_t start = opened.reader->Start();
    const std::int32_t length = opened.reader->FrameCount();
    const auto Position = [start](std::int64_t k) {
        return static_cast<std::int32_t>(std::min<std::int64_t>(start + k, INT32_MAX));
    };
    std::uint32_t sum = static_cast<std::uint32_t>(opened.reader->SampleTimeMs(Position(length)));
    sum += opened.reader->Header().frameRect.right;

    auto frames = avi::FrameReader::Create(std::move(opened.reader));  // keeps the stream open
    if (frames) {
        DeviceContext target(Surface::Create(8, 6, 32));
        const std::int32_t count = std::min(length, kMaxFrames);
        for (std::int32_t k = 0; k < count; ++k) {
            const auto dib = frames->Frame(Position(k));
            if (dib.empty()) continue;
            DrawPackedDib(target, Rect{0, 0, 8, 6}, dib);
            // Part of the source only, and unscaled, as other callers draw.
            DrawPackedDib(target, Rect{1, 1, 4, 3}, dib, Rect{1, 1, 4, 3});
        }
        for (std::int32_t y = 0; y < 6; ++y)
            for (std::int32_t x = 0; x < 8; ++x) sum += target.surface()->GetPixel(x, y);
    }
    g_sink = sum;
    return 0;
}
