#include "export/VideoSink.h"

#include <mutex>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include "base/Error.h"
#include "base/ReplacingFile.h"
#include "export/YuvConverter.h"

namespace crossmeld {

namespace {

std::string Describe(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

[[noreturn]] void EncoderFailed(const VideoProfile& profile, int code) {
    throw Error(ErrorKind::InvalidProcedureCall,
                std::string("The ") + profile.encoder + " encoder failed: " + Describe(code));
}

// The encoders report their statistics on the log; only errors go there.
void QuietLibraries() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

struct Dictionary {
    AVDictionary* entries = nullptr;
    ~Dictionary() { av_dict_free(&entries); }
    void Set(const char* key, const std::string& value) { av_dict_set(&entries, key, value.c_str(), 0); }
};

}  // namespace

// Everything one output holds; freed in reverse order of making.
struct VideoSink::Encoder {
    AVCodecContext* codec = nullptr;
    AVFormatContext* muxer = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    YuvConverter converter;
    ReplacingFile file;
    std::int64_t written = 0;

    ~Encoder() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        if (muxer) {
            avio_closep(&muxer->pb);
            avformat_free_context(muxer);
        }
        avcodec_free_context(&codec);
        file.Discard();
    }
};

VideoSink::VideoSink(VideoFormat format, EncoderOptions options) : m_profile(ProfileOf(format)), m_options(options) {}

VideoSink::~VideoSink() { Abort(); }

bool VideoSink::Begin(const std::filesystem::path& target, const OutputSettings& settings) {
    Abort();
    CheckOutputSettings(settings);
    CheckEncoderOptions(m_options, INT32_MAX);
    QuietLibraries();
    auto e = std::make_unique<Encoder>();
    const CodedSize coded = CodedSizeOf(m_profile, settings.width, settings.height);

    // The encoder first: when it cannot start, no file is made.
    const AVCodec* codec = avcodec_find_encoder_by_name(m_profile.encoder);
    if (!codec) EncoderFailed(m_profile, AVERROR_ENCODER_NOT_FOUND);
    if (avformat_alloc_output_context2(&e->muxer, nullptr, m_profile.muxer, nullptr) < 0 || !e->muxer)
        throw Error(ErrorKind::OutOfMemory);
    e->codec = avcodec_alloc_context3(codec);
    e->frame = av_frame_alloc();
    e->packet = av_packet_alloc();
    if (!e->codec || !e->frame || !e->packet) throw Error(ErrorKind::OutOfMemory);
    AVCodecContext& c = *e->codec;
    c.width = coded.width;
    c.height = coded.height;
    c.sample_aspect_ratio = AVRational{1, 1};
    c.pix_fmt = AV_PIX_FMT_YUV420P;
    c.time_base = AVRational{1, settings.framesPerSecond};
    c.framerate = AVRational{settings.framesPerSecond, 1};
    c.color_primaries = AVCOL_PRI_BT709;
    c.color_trc = AVCOL_TRC_BT709;
    c.colorspace = AVCOL_SPC_BT709;
    c.color_range = AVCOL_RANGE_MPEG;
    c.thread_count = 2;
    c.bit_rate = 0;  // constant quality, no bit-rate target
    if (e->muxer->oformat->flags & AVFMT_GLOBALHEADER) c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Dictionary encoderOptions;
    encoderOptions.Set("crf", std::to_string(ConstantRateFactor(m_profile, QualityOr(m_options, m_profile.defaultQuality))));
    for (const auto& [name, value] : m_profile.tuning)
        if (name) encoderOptions.Set(name, value);
    if (const int rc = avcodec_open2(e->codec, codec, &encoderOptions.entries); rc < 0) EncoderFailed(m_profile, rc);

    e->stream = avformat_new_stream(e->muxer, nullptr);
    if (!e->stream) throw Error(ErrorKind::OutOfMemory);
    if (avcodec_parameters_from_context(e->stream->codecpar, e->codec) < 0) throw Error(ErrorKind::OutOfMemory);
    e->stream->time_base = c.time_base;
    e->stream->avg_frame_rate = c.framerate;

    e->frame->format = c.pix_fmt;
    e->frame->width = c.width;
    e->frame->height = c.height;
    if (av_frame_get_buffer(e->frame, 0) < 0) throw Error(ErrorKind::OutOfMemory);
    e->converter.Create(settings.width, settings.height, coded.width, coded.height);

    // The part file is made beside the target, then opened again by name:
    // the fast start reads it back by that name to move the index.
    if (!e->file.Create(target)) throw OutputWriteFailed();
    const std::string url = "file:" + e->file.TemporaryPath().string();
    e->muxer->url = av_strdup(url.c_str());
    if (!e->muxer->url) throw Error(ErrorKind::OutOfMemory);
    if (avio_open(&e->muxer->pb, url.c_str(), AVIO_FLAG_WRITE) < 0) throw OutputWriteFailed();
    // No random segment identifier or library version in the file: the same
    // frames give the same bytes.
    e->muxer->flags |= AVFMT_FLAG_BITEXACT;
    Dictionary muxerOptions;
    if (m_profile.fastStart) muxerOptions.Set("movflags", "+faststart");
    if (avformat_write_header(e->muxer, &muxerOptions.entries) < 0) throw OutputWriteFailed();

    m_settings = settings;
    m_encoder = std::move(e);
    return true;
}

void VideoSink::Write(const FrameView& frame) {
    CheckFrameFits(frame, m_settings);
    if (!m_encoder) throw OutputWriteFailed();
    Encoder& e = *m_encoder;
    // A held frame is sent again for each frame time of its hold (the
    // encoder may still hold the last one sent, so each goes in anew).
    const std::int32_t times = 1 + HoldRepeats(frame.holdSeconds, m_settings.framesPerSecond);
    for (std::int32_t i = 0; i < times; ++i) {
        if (av_frame_make_writable(e.frame) < 0) throw Error(ErrorKind::OutOfMemory);
        e.converter.Convert(frame, *e.frame);
        e.frame->pts = e.written++;
        if (const int rc = avcodec_send_frame(e.codec, e.frame); rc < 0) EncoderFailed(m_profile, rc);
        Drain(false);
    }
}

void VideoSink::Drain(bool flushing) {
    Encoder& e = *m_encoder;
    for (;;) {
        const int rc = avcodec_receive_packet(e.codec, e.packet);
        if ((rc == AVERROR(EAGAIN) && !flushing) || rc == AVERROR_EOF) return;
        if (rc < 0) EncoderFailed(m_profile, rc);
        // Every frame lasts one frame time.
        if (e.packet->duration <= 0) e.packet->duration = 1;
        e.packet->stream_index = e.stream->index;
        av_packet_rescale_ts(e.packet, e.codec->time_base, e.stream->time_base);
        if (av_interleaved_write_frame(e.muxer, e.packet) < 0) throw OutputWriteFailed();
    }
}

void VideoSink::Finish() {
    if (!m_encoder) throw OutputWriteFailed();
    Encoder& e = *m_encoder;
    if (const int rc = avcodec_send_frame(e.codec, nullptr); rc < 0) EncoderFailed(m_profile, rc);
    Drain(true);
    if (av_write_trailer(e.muxer) < 0 || e.muxer->pb->error < 0) throw OutputWriteFailed();
    if (avio_closep(&e.muxer->pb) < 0 || !e.file.Commit()) throw OutputWriteFailed();
    m_encoder.reset();
}

void VideoSink::Abort() noexcept { m_encoder.reset(); }

}  // namespace crossmeld
