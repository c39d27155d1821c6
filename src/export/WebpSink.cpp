#include "export/WebpSink.h"

#include <algorithm>
#include <cmath>

#include <webp/encode.h>
#include <webp/mux.h>

#include "base/Error.h"
#include "base/FileSink.h"
#include "export/FrameTiming.h"

namespace crossmeld {

namespace {

// The encoder's settings for every frame.
WebPConfig FrameConfig(std::int32_t quality) {
    WebPConfig config;
    if (!WebPConfigInit(&config)) throw Error(ErrorKind::InvalidProcedureCall, "The WebP library does not match");
    if (quality >= 100) {
        // Lossless; the quality is then the effort spent on compressing.
        config.lossless = 1;
        config.quality = 75;
    } else {
        config.quality = static_cast<float>(quality);
        // Chroma from a sharper RGB-to-YUV conversion keeps coloured edges.
        config.use_sharp_yuv = 1;
    }
    config.method = 4;
    if (!WebPValidateConfig(&config)) throw Error(ErrorKind::InvalidProcedureCall, "The WebP settings are not valid");
    return config;
}

struct Picture {
    WebPPicture picture;
    Picture() { WebPPictureInit(&picture); }
    ~Picture() { WebPPictureFree(&picture); }
};

struct AssembledData {
    WebPData data;
    AssembledData() { WebPDataInit(&data); }
    ~AssembledData() { WebPDataClear(&data); }
};

[[noreturn]] void EncoderFailed(WebPAnimEncoder* encoder) {
    const char* why = WebPAnimEncoderGetError(encoder);
    throw Error(ErrorKind::InvalidProcedureCall, std::string("The WebP encoder failed: ") + (why ? why : "unknown error"));
}

}  // namespace

void WebpSink::EncoderDeleter::operator()(WebPAnimEncoder* encoder) const noexcept { WebPAnimEncoderDelete(encoder); }

bool WebpSink::Begin(const std::filesystem::path& target, const OutputSettings& settings) {
    Abort();
    CheckOutputSettings(settings);
    CheckEncoderOptions(m_options, kMaxLoops);
    if (settings.width > WEBP_MAX_DIMENSION || settings.height > WEBP_MAX_DIMENSION)
        throw Error(ErrorKind::Overflow, "The frames are too large for a WebP file");
    (void)FrameConfig(QualityOr(m_options, kDefaultQuality));

    WebPAnimEncoderOptions options;
    if (!WebPAnimEncoderOptionsInit(&options))
        throw Error(ErrorKind::InvalidProcedureCall, "The WebP library does not match");
    options.anim_params.loop_count = m_options.loopCount;
    options.anim_params.bgcolor = 0xFF000000;  // opaque black
    options.allow_mixed = 0;
    m_encoder.reset(WebPAnimEncoderNew(settings.width, settings.height, &options));
    if (!m_encoder) throw Error(ErrorKind::OutOfMemory);
    if (!m_file.Create(target)) {
        m_encoder.reset();
        throw OutputWriteFailed();
    }
    m_settings = settings;
    m_written = 0;
    return true;
}

void WebpSink::Write(const FrameView& frame) {
    CheckFrameFits(frame, m_settings);
    if (!m_encoder) throw OutputWriteFailed();
    const WebPConfig config = FrameConfig(QualityOr(m_options, kDefaultQuality));
    Picture picture;
    picture.picture.use_argb = 1;
    picture.picture.width = frame.width;
    picture.picture.height = frame.height;
    if (!WebPPictureImportBGRX(&picture.picture, frame.bgrx.data(), frame.width * 4)) throw Error(ErrorKind::OutOfMemory);
    if (!WebPAnimEncoderAdd(m_encoder.get(), &picture.picture,
                            static_cast<int>(FrameStartMs(m_written, m_settings) + m_heldMs), &config))
        EncoderFailed(m_encoder.get());
    ++m_written;
    // A held frame pushes every later one back.
    m_heldMs += std::llround(1000.0 * std::clamp(frame.holdSeconds, 0.0, kMaxHoldSeconds));
}

void WebpSink::Finish() {
    if (!m_encoder || !m_file.IsOpen()) throw OutputWriteFailed();
    // The end of the last frame gives it its length.
    if (!WebPAnimEncoderAdd(m_encoder.get(), nullptr, static_cast<int>(FrameStartMs(m_written, m_settings) + m_heldMs),
                            nullptr))
        EncoderFailed(m_encoder.get());
    AssembledData assembled;
    if (!WebPAnimEncoderAssemble(m_encoder.get(), &assembled.data)) EncoderFailed(m_encoder.get());
    m_encoder.reset();
    FileSink file(m_file.fd());
    if (!file.write({assembled.data.bytes, assembled.data.size}) || !m_file.Commit()) {
        m_file.Discard();
        throw OutputWriteFailed();
    }
}

void WebpSink::Abort() noexcept {
    m_encoder.reset();
    m_file.Discard();
}

}  // namespace crossmeld
