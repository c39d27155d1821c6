// Fuzz target: the AVI reading side as the GIF import uses it. The bytes are
// opened as a file's first video stream; every frame (the first 64) is
// fetched as a packed DIB and drawn onto a small 32-bit surface. The calls
// never throw; a failure status or an empty frame is an expected answer,
// anything else (a crash, a hang, a huge allocation) is a finding.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "formats/avi/AviGetFrame.h"
#include "formats/avi/AviStreamRead.h"
#include "formats/avi/DrawDib.h"
#include "raster/DeviceContext.h"

namespace {
volatile std::uint32_t g_sink;
constexpr std::int32_t kMaxFrames = 64;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace crossmeld;
    using namespace crossmeld::avi;
    AviStreamHandle stream;
    if (AviStreamOpenFromBytes(stream, std::vector<std::uint8_t>(data, data + size), kStreamTypeVideo, 0) < 0)
        return 0;
    const std::int32_t start = AVIStreamStart(stream);
    const std::int32_t length = AVIStreamLength(stream);
    StreamHeader info;
    AVIStreamInfo(stream, info, sizeof info);
    const auto Position = [start](std::int64_t k) {
        return static_cast<std::int32_t>(std::min<std::int64_t>(start + k, INT32_MAX));
    };
    std::uint32_t sum = static_cast<std::uint32_t>(AVIStreamSampleToTime(stream, Position(length)));

    GetFrameHandle frames = AVIStreamGetFrameOpen(stream, nullptr);
    AVIStreamRelease(stream);  // the frame reader keeps the stream open
    if (frames) {
        auto surface = Surface::Create(8, 6, 32);
        DeviceContext target(std::move(surface));
        HDRAWDIB hdd = DrawDibOpen();
        const std::int32_t count = std::min(length, kMaxFrames);
        for (std::int32_t k = 0; k < count; ++k) {
            const auto dib = AVIStreamGetFrame(frames, Position(k));
            if (dib.empty()) continue;
            DrawDibDraw(hdd, target, 0, 0, 8, 6, dib, {}, 0, 0, -1, -1, 0);
            // Part of the source only, and unscaled, as other callers draw.
            DrawDibDraw(hdd, target, 1, 1, -1, -1, dib, {}, 1, 1, 3, 2, 0);
        }
        for (std::int32_t y = 0; y < 6; ++y)
            for (std::int32_t x = 0; x < 8; ++x) sum += target.surface()->GetPixel(x, y);
        DrawDibClose(hdd);
        AVIStreamGetFrameClose(frames);
    }
    g_sink = sum;
    return 0;
}
