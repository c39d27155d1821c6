// The MP4 and WebM outputs as players get them: what ffprobe reads from the
// stream and container, the frames ffmpeg decodes back against the frames
// given, the colour matrix, odd sizes, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <map>
#include <sstream>

#include "base/Error.h"
#include "export/VideoSink.h"
#include "support/Animations.h"
#include "support/SinkChecks.h"
#include "support/TestSupport.h"

namespace crossmeld::test {
namespace {

// ffprobe's key=value lines for the first video stream and the container.
std::map<std::string, std::string> Probe(const fs::path& file) {
    std::string text;
    RunCommand("/usr/bin/ffprobe -v error -count_frames -select_streams v:0 -show_entries "
               "stream=codec_name,pix_fmt,width,height,r_frame_rate,nb_read_frames,color_range,color_space,"
               "color_transfer,color_primaries:format=duration -of default=nw=1 " +
                   Quote(file),
               &text);
    std::map<std::string, std::string> fields;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (const auto eq = line.find('='); eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
    return fields;
}

// The types of the top-level boxes of an MP4 file, in order.
std::vector<std::string> TopLevelBoxes(const std::vector<std::uint8_t>& file) {
    std::vector<std::string> types;
    std::size_t at = 0;
    while (at + 8 <= file.size()) {
        std::uint64_t size = std::uint64_t{file[at]} << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        types.emplace_back(reinterpret_cast<const char*>(&file[at + 4]), 4);
        if (size == 1 && at + 16 <= file.size()) {
            size = 0;
            for (int i = 0; i < 8; ++i) size = size << 8 | file[at + 8 + i];
        }
        if (size < 8) break;
        at += size;
    }
    return types;
}

struct FormatCase {
    const char* name;
    VideoFormat format;
    int fps;
    const char* codec;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class VideoSinkFormat : public ::testing::TestWithParam<FormatCase> {};

// The photographs' fade at the default quality: tags, count, rate and
// length as the brief for players needs them, and every frame above 35 dB.
TEST_P(VideoSinkFormat, TheDefaultQualityFadeProbesRightAndDecodesAbove35Db) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffprobe");
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    const FormatCase& c = GetParam();
    const FrameSet fade = PhotoFade(16);
    ASSERT_FALSE(fade.bgrx.empty());
    TempDir dir;
    const fs::path out = dir / (std::string("fade.") + c.name);
    VideoSink sink(c.format);
    EncodeFrames(sink, out, fade, c.fps);
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{out.filename().string()});

    auto probe = Probe(out);
    EXPECT_EQ(probe["codec_name"], c.codec);
    EXPECT_EQ(probe["pix_fmt"], "yuv420p");
    EXPECT_EQ(probe["width"], "320");
    EXPECT_EQ(probe["height"], "368");
    EXPECT_EQ(probe["r_frame_rate"], std::to_string(c.fps) + "/1");
    EXPECT_EQ(probe["nb_read_frames"], "16");
    EXPECT_EQ(probe["color_range"], "tv");
    EXPECT_EQ(probe["color_space"], "bt709");
    EXPECT_EQ(probe["color_transfer"], "bt709");
    EXPECT_EQ(probe["color_primaries"], "bt709");
    EXPECT_NEAR(std::stod(probe["duration"].empty() ? "0" : probe["duration"]), 16.0 / c.fps, 0.002);

    const auto decoded = DecodeFramesWithFfmpeg(out, "rgb24", std::size_t{320} * 368 * 3);
    ASSERT_EQ(decoded.size(), 16u);
    double worst = 99, sum = 0;
    for (std::size_t k = 0; k < decoded.size(); ++k) {
        const double psnr = Psnr(decoded[k], fade.bgrx[k]);
        EXPECT_GE(psnr, 35.0) << "frame " << k;
        worst = std::min(worst, psnr);
        sum += psnr;
    }
    std::cout << c.name << ": " << fs::file_size(out) << " bytes, PSNR mean " << sum / 16 << " dB, worst " << worst
              << " dB\n";
}

INSTANTIATE_TEST_SUITE_P(Formats, VideoSinkFormat,
                         ::testing::Values(FormatCase{"mp4", VideoFormat::Mp4H264, 30, "h264"},
                                           FormatCase{"webm", VideoFormat::WebMVp9, 1, "vp9"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The same frames give the same bytes (no random identifiers, a fixed
// thread count).
TEST(VideoSinkFile, Mp4HasItsIndexBeforeTheFramesForAFastStartAndBothRepeatExactly) {
    const FrameSet fade = GradientFade(64, 48, 6);
    TempDir dir;
    for (const char* name : {"a.mp4", "b.mp4", "a.webm", "b.webm"}) {
        VideoSink sink(fs::path(name).extension() == ".mp4" ? VideoFormat::Mp4H264 : VideoFormat::WebMVp9);
        EncodeFrames(sink, dir / name, fade, 12);
    }
    EXPECT_EQ(ReadBytes(dir / "a.mp4"), ReadBytes(dir / "b.mp4"));
    EXPECT_EQ(ReadBytes(dir / "a.webm"), ReadBytes(dir / "b.webm"));
    const auto boxes = TopLevelBoxes(ReadBytes(dir / "a.mp4"));
    const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
    const auto mdat = std::find(boxes.begin(), boxes.end(), "mdat");
    ASSERT_NE(moov, boxes.end());
    ASSERT_NE(mdat, boxes.end());
    EXPECT_LT(moov, mdat);
}

// Flat red and flat grey-blue frames decoded without any conversion: the
// BT.709 limited-range values worked out by hand (BT.601 gives red Y 81).
// Red: Y = 16 + 219 x 0.2126 = 62.6, Cb = 128 - 224 x 0.2126 / 1.8556 =
// 102.3, Cr = 240. (64, 128, 192): E = 0.2126 x 64 + 0.7152 x 128 + 0.0722 x
// 192 = 119.02, Y = 16 + 219 x E / 255 = 118.2, Cb = 128 + 224 x (192 - E) /
// 255 / 1.8556 = 162.6, Cr = 128 + 224 x (64 - E) / 255 / 1.5748 = 97.3.
TEST(VideoSinkColour, FlatFramesGetTheBt709LimitedRangeValues) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffmpeg");
    struct Colour {
        std::uint8_t r, g, b;
        int y, cb, cr;
    };
    const Colour colours[] = {{255, 0, 0, 63, 102, 240}, {64, 128, 192, 118, 163, 97}};
    constexpr int w = 32, h = 16;
    for (VideoFormat format : {VideoFormat::Mp4H264, VideoFormat::WebMVp9}) {
        TempDir dir;
        const fs::path out = dir / (format == VideoFormat::Mp4H264 ? "flat.mp4" : "flat.webm");
        FrameSet frames{w, h, {}};
        for (const Colour& c : colours) {
            std::vector<std::uint8_t> frame;
            for (int i = 0; i < w * h; ++i) frame.insert(frame.end(), {c.b, c.g, c.r, 0});
            frames.bgrx.push_back(frame);
        }
        VideoSink sink(format);
        EncodeFrames(sink, out, frames, 5);
        const auto decoded = DecodeFramesWithFfmpeg(out, "yuv420p", w * h * 3 / 2);
        ASSERT_EQ(decoded.size(), 2u);
        for (std::size_t k = 0; k < 2; ++k) {
            const auto& f = decoded[k];
            // The middle of each plane, away from the edges.
            EXPECT_NEAR(f[8 * w + 16], colours[k].y, 1) << "frame " << k;
            EXPECT_NEAR(f[w * h + 4 * (w / 2) + 8], colours[k].cb, 1) << "frame " << k;
            EXPECT_NEAR(f[w * h * 5 / 4 + 4 * (w / 2) + 8], colours[k].cr, 1) << "frame " << k;
        }
    }
}

// H.264 stores 4:2:0 in even sizes: 37 x 23 becomes 38 x 24, the last
// column and row repeated. VP9 keeps 37 x 23.
TEST(VideoSinkOddSize, Mp4PadsByRepeatingTheLastColumnAndRowWebmKeepsTheSize) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffprobe");
    const FrameSet fade = GradientFade(37, 23, 4);
    for (auto [format, name, w, h] : {std::tuple{VideoFormat::Mp4H264, "odd.mp4", 38, 24},
                                      std::tuple{VideoFormat::WebMVp9, "odd.webm", 37, 23}}) {
        TempDir dir;
        VideoSink sink(format);
        EncodeFrames(sink, dir / name, fade, 8);
        auto probe = Probe(dir / name);
        EXPECT_EQ(probe["width"], std::to_string(w)) << name;
        EXPECT_EQ(probe["height"], std::to_string(h)) << name;
        EXPECT_EQ(probe["nb_read_frames"], "4") << name;
        const auto decoded = DecodeFramesWithFfmpeg(dir / name, "rgb24", std::size_t(w) * h * 3);
        ASSERT_EQ(decoded.size(), 4u) << name;
        for (std::size_t k = 0; k < 4; ++k) {
            // The picture as given: the decoded frame cut to 37 x 23, and
            // the given frame padded to the decoded size.
            std::vector<std::uint8_t> cut, padded;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int sx = std::min(x, 36), sy = std::min(y, 22);
                    const auto* p = &fade.bgrx[k][(std::size_t(sy) * 37 + sx) * 4];
                    padded.insert(padded.end(), {p[0], p[1], p[2], 0});
                    if (x < 37 && y < 23) cut.insert(cut.end(), &decoded[k][(std::size_t(y) * w + x) * 3],
                                                         &decoded[k][(std::size_t(y) * w + x) * 3 + 3]);
                }
            EXPECT_GE(Psnr(decoded[k], padded), 35.0) << name << " frame " << k;
            EXPECT_GE(Psnr(cut, fade.bgrx[k]), 35.0) << name << " frame " << k;
        }
    }
}

struct VideoSinkFailure : ExistingOutput {
    VideoSinkFailure() : ExistingOutput("fade.mp4") {}
    FrameSet fade = GradientFade(64, 48, 6);
};

TEST_F(VideoSinkFailure, AbortAtAnyPointLeavesNothingAndKeepsTheOldFile) {
    for (VideoFormat format : {VideoFormat::Mp4H264, VideoFormat::WebMVp9}) {
        for (int frames = 0; frames <= 6; frames += 3) {
            VideoSink sink(format);
            ASSERT_TRUE(sink.Begin(old, OutputSettings{64, 48, 6, 10}));
            for (int k = 0; k < frames; ++k) sink.Write(FrameView{64, 48, fade.bgrx[k]});
            sink.Abort();
            sink.Abort();
            ExpectOnlyTheOldFile(std::to_string(frames) + " frames");
        }
    }
    // A sink dropped without Finish cleans up as well.
    {
        VideoSink sink(VideoFormat::Mp4H264);
        ASSERT_TRUE(sink.Begin(old, OutputSettings{64, 48, 6, 10}));
        sink.Write(FrameView{64, 48, fade.bgrx[0]});
    }
    ExpectOnlyTheOldFile("destroyed");
}

TEST_F(VideoSinkFailure, AMissingFolderOrAFullDiskIsAFailedWrite) {
    VideoSink sink(VideoFormat::Mp4H264);
    EXPECT_THROW(sink.Begin(dir / "missing" / "fade.mp4", OutputSettings{64, 48, 6, 10}), OutputWriteFailed);
    ExpectOnlyTheOldFile("missing folder");

    // Half the file's size stops the frames; one byte less than its size
    // lets them through but not the index (or its move to the front).
    for (VideoFormat format : {VideoFormat::Mp4H264, VideoFormat::WebMVp9}) {
        TempDir scratch;
        VideoSink whole(format);
        EncodeFrames(whole, scratch / "whole", fade, 10);
        const auto size = static_cast<rlim_t>(fs::file_size(scratch / "whole"));
        for (rlim_t limit : {size / 2, size - 1}) {
            VideoSink video(format);
            EXPECT_TRUE(FailsWithFileLimit(video, old, fade, 10, limit)) << "limit " << limit << " of " << size;
            ExpectOnlyTheOldFile("limit " + std::to_string(limit));
        }
    }
}

// Settings the encoders cannot take are refused before a file is made.
TEST_F(VideoSinkFailure, SettingsOrSizesTheEncoderRefusesLeaveNoFile) {
    for (OutputSettings bad : {OutputSettings{64, 48, 6, 0}, OutputSettings{64, 48, 6, 31}, OutputSettings{0, 48, 6, 10},
                               OutputSettings{64, 48, 0, 10}}) {
        VideoSink sink(VideoFormat::Mp4H264);
        EXPECT_THROW(sink.Begin(old, bad), Error);
    }
    for (int quality : {-2, 101}) {
        VideoSink sink(VideoFormat::WebMVp9, EncoderOptions{quality, 0});
        EXPECT_THROW(sink.Begin(old, OutputSettings{64, 48, 6, 10}), Error);
    }
    // Wider than VP9's 16 bits of width: the encoder itself fails to start.
    VideoSink vp9(VideoFormat::WebMVp9);
    EXPECT_THROW(vp9.Begin(old, OutputSettings{70000, 2, 6, 10}), Error);
    ExpectOnlyTheOldFile("refused");
}

}  // namespace
}  // namespace crossmeld::test
