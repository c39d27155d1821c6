#pragma once
// Writing AVI files in tests the way the fade's AVI output does: open the
// target, start the stream with the first frame's format, write every
// frame, finish. Each call's result is kept for the tests that look at them.

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <span>
#include <vector>

#include "formats/avi/AviWriter.h"
#include "support/AviFrames.h"

namespace crossmeld::avi {

// gtest prints results by name.
inline void PrintTo(WriteResult result, std::ostream* os) {
    *os << WriteResultText(result);
}

}  // namespace crossmeld::avi

namespace crossmeld::test {

struct AviWriteLog {
    avi::WriteResult open = avi::WriteResult::OutOfOrder;
    avi::WriteResult start = avi::WriteResult::OutOfOrder;  // OutOfOrder: not reached
    std::vector<avi::WriteResult> writes;
    avi::WriteResult finish = avi::WriteResult::OutOfOrder;

    // Ok when every call succeeded, else the first failure.
    avi::WriteResult Result() const {
        if (open != avi::WriteResult::Ok) return open;
        if (start != avi::WriteResult::Ok) return start;
        for (avi::WriteResult w : writes)
            if (w != avi::WriteResult::Ok) return w;
        return finish;
    }
};

// Writes count frames; pixelsAt(k) gives frame k's pixel bytes. Every frame
// is written even after a failure, so that tests see what later calls give.
template <typename PixelsAt>
AviWriteLog WriteAviFrames(const std::filesystem::path& path, std::span<const std::uint8_t> format, std::size_t count,
                           std::uint32_t fps, const avi::CodecChoice& codec, PixelsAt pixelsAt,
                           std::uint64_t riffLimit = avi::AviLayout::kRiffLimit) {
    AviWriteLog log;
    avi::Writer writer(riffLimit);
    log.open = writer.Open(path);
    if (log.open != avi::WriteResult::Ok) return log;
    log.start = writer.Start(format, fps, codec);
    if (log.start != avi::WriteResult::Ok) return log;
    for (std::size_t k = 0; k < count; ++k) {
        const auto& pixels = pixelsAt(k);
        log.writes.push_back(writer.WriteFrame(std::span<const std::uint8_t>(pixels)));
    }
    log.finish = writer.Finish();
    return log;
}

inline AviWriteLog WriteAviFrames(const std::filesystem::path& path, const std::vector<TestFrame>& frames,
                                  std::uint32_t fps, const avi::CodecChoice& codec) {
    return WriteAviFrames(path, frames.at(0).info, frames.size(), fps, codec,
                          [&](std::size_t k) -> const std::vector<std::uint8_t>& { return frames[k].bits; });
}

}  // namespace crossmeld::test
