#include "export/ApngSink.h"

#include <algorithm>
#include <cmath>

#include <cstdint>

#include "base/BufferedSink.h"
#include "base/Error.h"
#include "base/FileSink.h"
#include "export/ApngChunks.h"

namespace crossmeld {

ApngSink::ApngSink(EncoderOptions options) : m_options(options) {}

ApngSink::~ApngSink() { Abort(); }

bool ApngSink::Begin(const std::filesystem::path& target, const OutputSettings& settings) {
    Abort();
    CheckOutputSettings(settings);
    CheckEncoderOptions(m_options, INT32_MAX);
    // libpng's limit on a side, which also keeps the rows' sizes in range.
    if (settings.width > 1000000 || settings.height > 1000000)
        throw Error(ErrorKind::Overflow, "The frames are too large for a PNG file");
    if (!m_file.Create(target)) throw OutputWriteFailed();
    m_fileSink = std::make_unique<FileSink>(m_file.fd());
    m_buffer = std::make_unique<BufferedSink>(*m_fileSink);
    m_settings = settings;
    m_written = 0;
    m_sequence = 0;
    return true;
}

void ApngSink::Put(std::span<const std::uint8_t> bytes) {
    if (!m_buffer->write(bytes)) throw OutputWriteFailed();
}

void ApngSink::Write(const FrameView& frame) {
    CheckFrameFits(frame, m_settings);
    if (!m_buffer) throw OutputWriteFailed();
    if (m_written >= m_settings.frameCount)
        throw Error(ErrorKind::InvalidProcedureCall, "More frames than the animated PNG announced");
    const auto chunks = apng::SplitChunks(m_encoder.Encode(frame));
    const auto width = static_cast<std::uint32_t>(frame.width);
    const auto height = static_cast<std::uint32_t>(frame.height);
    const auto rate = static_cast<std::uint16_t>(m_settings.framesPerSecond);
    if (m_written == 0) {
        // libpng's header chunks, then the animation's control before the
        // first image data.
        Put(apng::kPngSignature);
        for (const auto& chunk : chunks) {
            if (chunk.type == "IDAT" || chunk.type == "IEND") break;
            Put(chunk.whole);
        }
        Put(apng::AnimationControl(static_cast<std::uint32_t>(m_settings.frameCount),
                                   static_cast<std::uint32_t>(m_options.loopCount)));
    }
    // A frame lasts 1/rate seconds; a held one longer, in milliseconds.
    if (frame.holdSeconds > 0) {
        const double ms = 1000.0 / m_settings.framesPerSecond + 1000.0 * std::min(frame.holdSeconds, kMaxHoldSeconds);
        Put(apng::FrameControl(m_sequence++, width, height, static_cast<std::uint16_t>(std::lround(ms)), 1000));
    } else {
        Put(apng::FrameControl(m_sequence++, width, height, 1, rate));
    }
    for (const auto& chunk : chunks) {
        if (chunk.type != "IDAT") continue;
        if (m_written == 0) Put(chunk.whole);
        else Put(apng::FrameData(m_sequence++, chunk.data));
    }
    ++m_written;
}

void ApngSink::Finish() {
    if (!m_buffer) throw OutputWriteFailed();
    if (m_written != m_settings.frameCount)
        throw Error(ErrorKind::InvalidProcedureCall, "Fewer frames than the animated PNG announced");
    Put(apng::Chunk("IEND", {}));
    if (!m_buffer->Flush() || !m_file.Commit()) {
        Abort();
        throw OutputWriteFailed();
    }
    m_buffer.reset();
    m_fileSink.reset();
}

void ApngSink::Abort() noexcept {
    m_buffer.reset();
    m_fileSink.reset();
    m_file.Discard();
}

}  // namespace crossmeld
