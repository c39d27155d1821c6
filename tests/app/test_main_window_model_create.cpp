// The create command: refusals, the file dialog, the frames with their blend
// weights (read back from the AVI it writes), progress and pointer, the busy
// guard, the AVI output.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "app/MainWindowModel.h"
#include "base/Error.h"
#include "base/RunStopped.h"
#include "formats/avi/AviFrameReader.h"
#include "formats/avi/AviReader.h"
#include "formats/bmp/DibLayout.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedHost.h"
#include "support/TestSupport.h"

namespace crossmeld {
namespace {

namespace fs = std::filesystem;
using test::kRequest;
using test::RecordingSettingsStore;
using test::ScriptedHost;
using test::WriteBitmap;

const std::string kNoPictures =
    "Please select two pictures to morph. Please contact support@crossmeld.example if you have any questions.";
const std::string kSizeMismatch =
    "The two pictures are not of the same size.\r\n\r\nPictures must be the same size to morph. Please contact "
    "support@crossmeld.example if you have any questions.";

// A frame of the written AVI: its size and its one colour ("mixed" when it
// has several).
struct ShownFrame {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::string colour;
};

// Every frame of a full-frame (24-bit) AVI.
std::vector<ShownFrame> ReadFrames(const fs::path& file) {
    std::vector<ShownFrame> out;
    auto opened = avi::Reader::OpenFile(file.string());
    if (!opened.reader) return out;
    auto frames = avi::FrameReader::Create(opened.reader);
    if (!frames) return out;
    for (std::int32_t k = 0; k < static_cast<std::int32_t>(opened.reader->FrameCount()); ++k) {
        const auto dib = frames->Frame(opened.reader->Start() + static_cast<std::int32_t>(k));
        const DibLayout layout = ReadDibLayout(dib);
        ShownFrame f{layout.width, layout.height, ""};
        const std::uint8_t* pixels = dib.data() + layout.headerSize;
        const std::size_t stride = (static_cast<std::size_t>(f.width) * 3 + 3) & ~std::size_t{3};
        for (std::int32_t y = 0; y < f.height && f.colour != "mixed"; ++y)
            for (std::int32_t x = 0; x < f.width; ++x) {
                const std::uint8_t* p = pixels + y * stride + 3 * x;
                const std::string c = "r" + std::to_string(p[2]) + " g" + std::to_string(p[1]) + " b" +
                                      std::to_string(p[0]);
                if (f.colour.empty()) f.colour = c;
                if (c != f.colour) f.colour = "mixed";
            }
        out.push_back(f);
    }
    return out;
}

class Create : public test::FormTest {
protected:
    Create() {
        form.Load();
        form.AviOption().SetValue(true);  // full frames, read back to check them
        host.codec = avi::Codec::FullFrames;
    }

    void LoadPair(std::int32_t w, std::int32_t h, ColorRef start, ColorRef end, std::int32_t endWidth = 0) {
        FormTest::LoadPair(inputs.path(), w, h, start, end, endWidth);
    }

    // The frames of the run that wrote the file.
    std::vector<ShownFrame> Frames(const std::string& name) const { return ReadFrames(inputs / name); }
    // Nothing of the run is left beside the output or in the temporary folder.
    bool AnythingLeft() const {
        for (const auto& e : fs::directory_iterator(inputs.path()))
            if (e.path().filename().string().find(".part") != std::string::npos) return true;
        return !fs::is_empty(temp.path());
    }

    test::TempDir inputs;
};

TEST_F(Create, WithoutPicturesAsksForTwo) {
    form.CreateFade();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, kNoPictures);
    EXPECT_EQ(host.messages[0].caption, "Crossmeld");
    EXPECT_EQ(host.messages[0].buttons, MsgButtons::OK);
    EXPECT_EQ(host.messages[0].icon, MsgIcon::None);
    EXPECT_TRUE(host.dialogsShown.empty());
    EXPECT_FALSE(form.IsBusy());
    EXPECT_EQ(Lines(), (std::vector<std::int32_t>{100, 102, 102, 104, 250, 252}));
}

TEST_F(Create, WithOnePictureAsksForTwo) {
    WriteBitmap(inputs / "start.bmp", 8, 8, Rgb(1, 1, 1));
    host.QueueFile((inputs / "start.bmp").string());
    form.ChooseStartPicture();
    form.CreateFade();
    EXPECT_EQ(host.MessageTexts(), (std::vector<std::string>{kNoPictures}));
    EXPECT_TRUE(host.dialogsShown.size() == 1u);  // only the picture's own dialog
}

TEST_F(Create, PicturesOfDifferentSizesAreRefused) {
    LoadPair(10, 8, Rgb(1, 1, 1), Rgb(2, 2, 2), 11);
    form.CreateFade();
    EXPECT_EQ(host.MessageTexts(), (std::vector<std::string>{kSizeMismatch}));
    EXPECT_EQ(host.dialogsShown.size(), 2u);
    EXPECT_FALSE(form.IsBusy());
    EXPECT_EQ(Lines(), (std::vector<std::int32_t>{100, 102, 102, 104, 106, 248, 252}));
}

TEST_F(Create, CancelledDialogEndsSilently) {
    LoadPair(10, 8, Rgb(1, 1, 1), Rgb(2, 2, 2));
    form.AviOption().SetValue(true);
    form.FileDialog().FileName = "earlier";
    form.CreateFade();
    ASSERT_EQ(host.dialogsShown.size(), 3u);
    const FileDialogState& shown = host.dialogsShown.back();
    EXPECT_EQ(shown.FileName, "");
    EXPECT_EQ(shown.DialogTitle, "Select Image");
    EXPECT_EQ(shown.Filter, "AVI Files (*.avi)|*.avi|MP4 Video, H.264 (*.mp4)|*.mp4|WebM Video, VP9 (*.webm)|*.webm");
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.pointers.empty());
    EXPECT_FALSE(form.IsBusy());
    EXPECT_EQ(Lines(), (std::vector<std::int32_t>{100, 102, 102, 104, 106, 108, 110, 112, 114, 120, 122, 252}));
}

TEST_F(Create, FilterFollowsTheOutputChoice) {
    LoadPair(10, 8, Rgb(1, 1, 1), Rgb(2, 2, 2));
    form.GifOption().SetValue(true);
    form.CreateFade();
    EXPECT_EQ(host.dialogsShown.back().Filter,
              "Animated GIF Files (*.gif)|*.gif|Animated WebP (*.webp)|*.webp|Animated PNG (*.png;*.apng)|*.png;*.apng");
    // With neither option set the filter keeps its value.
    form.GifOption().SetValue(false);
    form.FileDialog().Filter = "kept";
    form.CreateFade();
    EXPECT_EQ(host.dialogsShown.back().Filter, "kept");
    EXPECT_EQ(Lines(), (std::vector<std::int32_t>{100, 102, 102, 104, 106, 108, 110, 112, 116, 120, 122, 252}));
}

class CountBelowTwo : public Create, public testing::WithParamInterface<const char*> {};

TEST_P(CountBelowTwo, IsRefusedBeforeAnyWork) {
    LoadPair(10, 8, Rgb(1, 1, 1), Rgb(2, 2, 2));
    form.FrameCountField().SetText(GetParam());
    form.CreateFade();
    ASSERT_EQ(host.MessageTexts(), (std::vector<std::string>{"The number of frames must be 2 or more."}));
    EXPECT_EQ(host.messages[0].caption, "Crossmeld");
    EXPECT_EQ(host.dialogsShown.size(), 2u);
    EXPECT_FALSE(form.IsBusy());
    EXPECT_EQ(Lines(), (std::vector<std::int32_t>{100, 102, 102, 252}));
}

INSTANTIATE_TEST_SUITE_P(Counts, CountBelowTwo, testing::Values("1", "0", "-5", "0.5", "1.4", "5e-1", "-32768"));

TEST_F(Create, TwoFramesAreTheTwoPictures) {
    LoadPair(10, 8, Rgb(10, 200, 51), Rgb(23, 100, 0));
    form.FrameCountField().SetText("2");
    host.QueueFile((inputs / "fade.avi").string());
    form.CreateFade();
    const auto frames = Frames("fade.avi");
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].colour, "r10 g200 b51");
    EXPECT_EQ(frames[1].colour, "r23 g100 b0");
    EXPECT_EQ(frames[0].width, 10);
    EXPECT_EQ(frames[0].height, 8);
    EXPECT_EQ(host.MessageTexts(), (std::vector<std::string>{"Done."}));
    EXPECT_EQ(host.messages[0].caption, "Crossmeld");
    EXPECT_EQ(host.progressMax, (std::vector<double>{100}));
    EXPECT_EQ(host.progressValues, (std::vector<double>{50, 100, 0, 0}));
    EXPECT_EQ(form.Progress().Max(), 100);
    EXPECT_EQ(form.Progress().Value(), 0);
    EXPECT_EQ(host.pointers, (std::vector<MousePointer>{MousePointer::Hourglass, MousePointer::Normal}));
    EXPECT_EQ(form.Pointer(), MousePointer::Normal);
    EXPECT_FALSE(form.IsBusy());
    EXPECT_FALSE(AnythingLeft());
    // The canvas took the picture's size and holds the last frame; the
    // overlay is gone from the previews.
    EXPECT_EQ(form.FrameCanvas().ScaleWidth(), 10);
    EXPECT_EQ(form.FrameCanvas().Image().bitmap()->GetPixel(3, 3), Rgb(23, 100, 0));
    EXPECT_EQ(form.FrameCanvas().RefreshCount(), 2);
    EXPECT_EQ(form.StartPreview().Image().bitmap()->GetPixel(0, 0), Rgb(10, 200, 51));
    EXPECT_TRUE(FailedLines().empty());
    EXPECT_EQ(Lines().back(), 252);
}

TEST_F(Create, WithNeitherOutputTheFramesAreMadeAndNothingIsWritten) {
    LoadPair(10, 8, Rgb(10, 200, 51), Rgb(23, 100, 0));
    form.AviOption().SetValue(false);
    form.FrameCountField().SetText("3");
    host.QueueFile((inputs / "fade.avi").string());
    form.CreateFade();
    EXPECT_EQ(host.MessageTexts(), (std::vector<std::string>{"Done."}));
    EXPECT_EQ(host.codecDialogs, 0);
    EXPECT_FALSE(fs::exists(inputs / "fade.avi"));
    EXPECT_FALSE(AnythingLeft());
    EXPECT_EQ(form.FrameCanvas().RefreshCount(), 3);
}

TEST_F(Create, ThreeFramesMixHalfAndHalfInTheMiddle) {
    LoadPair(12, 9, Rgb(10, 200, 51), Rgb(23, 100, 0));
    form.FrameCountField().SetText("3");
    host.QueueFile((inputs / "fade").string());
    form.CreateFade();
    const auto frames = Frames("fade");
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].colour, "r10 g200 b51");
    // 23 x 0.5 + 10 x 0.5 = 16.5 -> 16; 100 x 0.5 + 200 x 0.5 = 150;
    // 0 x 0.5 + 51 x 0.5 = 25.5 -> 26 (halves to even).
    EXPECT_EQ(frames[1].colour, "r16 g150 b26");
    EXPECT_EQ(frames[2].colour, "r23 g100 b0");
    ASSERT_EQ(host.progressValues.size(), 5u);
    EXPECT_DOUBLE_EQ(host.progressValues[0], 100.0 / 3);
    EXPECT_DOUBLE_EQ(host.progressValues[1], 200.0 / 3);
    EXPECT_DOUBLE_EQ(host.progressValues[2], 100);
    EXPECT_EQ(host.MessageTexts(), (std::vector<std::string>{"Done."}));
}

TEST_F(Create, HalvesOfTheCountRoundToEven) {
    LoadPair(6, 5, Rgb(0, 0, 0), Rgb(255, 255, 255));
    form.FrameCountField().SetText("2.5");  // reads as 2
    host.QueueFile((inputs / "two").string());
    form.CreateFade();
    EXPECT_EQ(Frames("two").size(), 2u);
    form.FrameCountField().SetText("3.5");  // reads as 4
    host.QueueFile((inputs / "four").string());
    form.CreateFade();
    EXPECT_EQ(Frames("four").size(), 4u);
}

TEST_F(Create, SecondPressWhileEventsRunDoesNothing) {
    LoadPair(10, 8, Rgb(10, 200, 51), Rgb(23, 100, 0));
    form.FrameCountField().SetText("2");
    host.QueueFile((inputs / "fade").string());
    int presses = 0;
    bool busySeen = false;
    host.onDoEvents = [&] {
        if (presses++ == 0) {
            busySeen = form.IsBusy();
            form.CreateFade();
            // The hourglass stays while the mouse moves.
            form.PointerOverButton();
            form.PointerOverWindow();
            EXPECT_EQ(form.Pointer(), MousePointer::Hourglass);
        }
    };
    form.CreateFade();
    EXPECT_TRUE(busySeen);
    EXPECT_EQ(host.dialogsShown.size(), 3u);
    EXPECT_EQ(host.MessageTexts(), (std::vector<std::string>{"Done."}));
    EXPECT_EQ(host.pointers, (std::vector<MousePointer>{MousePointer::Hourglass, MousePointer::Normal}));
    EXPECT_EQ(Frames("fade").size(), 2u);
    EXPECT_FALSE(form.IsBusy());
}

TEST_F(Create, EventsRunOncePerFrame) {
    LoadPair(10, 8, Rgb(1, 2, 3), Rgb(4, 5, 6));
    form.FrameCountField().SetText("4");
    host.QueueFile((inputs / "fade").string());
    int pumps = 0;
    host.onDoEvents = [&] { ++pumps; };
    form.CreateFade();
    EXPECT_EQ(pumps, 4);
    EXPECT_EQ(Frames("fade").size(), 4u);
    EXPECT_FALSE(AnythingLeft());
}

TEST_F(Create, UnreadableCountIsReportedByTheStepsThatReadIt) {
    LoadPair(10, 8, Rgb(1, 2, 3), Rgb(4, 5, 6));
    form.FrameCountField().SetText("40000");
    host.QueueFile((inputs / "fade").string());
    form.CreateFade();
    // The loop entry fails: one report, the run ends without an output.
    EXPECT_EQ(FailedLines(), (std::vector<std::int32_t>{152}));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text,
              "Overflow\r\nin Crossmeld2021/08/31.Form1.PushButton3_Click at line 152\r\r" + kRequest);
    EXPECT_EQ(host.codecDialogs, 0);
    EXPECT_FALSE(fs::exists(inputs / "fade"));
    EXPECT_FALSE(AnythingLeft());
    EXPECT_FALSE(form.IsBusy());
}

TEST_F(Create, AFrameThatCannotBeMadeEndsTheRunWithOneReport) {
    LoadPair(10, 8, Rgb(1, 2, 3), Rgb(4, 5, 6));
    form.FrameCountField().SetText("30");
    test::WriteBytes(inputs / "fade.avi", {9, 9});
    host.QueueFile((inputs / "fade.avi").string());
    // The third frame fails while events run between frames (as memory
    // running out would): one report, and no frame after it.
    int pumps = 0;
    host.onDoEvents = [&] {
        if (++pumps == 3) throw Error(ErrorKind::OutOfMemory);
    };
    form.CreateFade();
    EXPECT_EQ(FailedLines(), (std::vector<std::int32_t>{154}));
    EXPECT_EQ(pumps, 3);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.find("PushButton3_Click at line 154"), std::string::npos);
    EXPECT_EQ(test::ReadBytes(inputs / "fade.avi"), (std::vector<std::uint8_t>{9, 9}));
    EXPECT_FALSE(AnythingLeft());
    EXPECT_FALSE(form.IsBusy());
    EXPECT_EQ(form.Pointer(), MousePointer::Normal);
}

TEST_F(Create, AStopRequestEndsTheRunWithoutAReportAndLeavesNothing) {
    LoadPair(10, 8, Rgb(1, 2, 3), Rgb(4, 5, 6));
    form.FrameCountField().SetText("30");
    form.AviOption().SetValue(true);
    test::WriteBytes(inputs / "old.avi", {9, 9});
    host.QueueFile((inputs / "old.avi").string());
    // The stop comes while the frames are being written into the file.
    int pumps = 0;
    host.onDoEvents = [&] {
        if (++pumps == 5) throw RunStopped();
    };
    form.CreateFade();
    EXPECT_TRUE(form.LastRunStopped());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(test::ReadBytes(inputs / "old.avi"), (std::vector<std::uint8_t>{9, 9}));
    for (const auto& e : fs::directory_iterator(inputs.path())) EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos);
    EXPECT_FALSE(AnythingLeft());
    EXPECT_FALSE(form.IsBusy());
    EXPECT_EQ(form.Pointer(), MousePointer::Normal);
    // The next run works as ever.
    host.onDoEvents = nullptr;
    host.QueueFile((inputs / "old.avi").string());
    form.CreateFade();
    EXPECT_FALSE(form.LastRunStopped());
    EXPECT_EQ(host.MessageTexts(), (std::vector<std::string>{"Done."}));
}

class CreateAvi : public Create {
protected:
    CreateAvi() {
        form.AviOption().SetValue(true);
        host.codec = avi::Codec::FullFrames;
    }
};

TEST_F(CreateAvi, WritesTheFramesToTheExactPath) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/ffprobe");
    LoadPair(16, 12, Rgb(10, 200, 51), Rgb(23, 100, 0));
    form.FrameCountField().SetText("3");
    form.FpsField().SetText("7");
    const fs::path output = inputs / "movie";  // no extension is added
    host.QueueFile(output.string());
    form.CreateFade();
    EXPECT_EQ(host.MessageTexts(), (std::vector<std::string>{"Done."}));
    EXPECT_EQ(host.codecDialogs, 1);
    ASSERT_TRUE(fs::exists(output));
    EXPECT_FALSE(fs::exists(inputs / "movie.avi"));
    EXPECT_FALSE(AnythingLeft());
    std::string probe;
    ASSERT_EQ(test::Run("/usr/bin/ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                        "stream=width,height,nb_read_frames,r_frame_rate -of csv=p=0 " +
                            test::Quote(output),
                        &probe),
              0);
    EXPECT_EQ(probe, "16,12,7/1,3\n");
    // The bar went over the frames once, in percent.
    EXPECT_EQ(host.progressMax, (std::vector<double>{100}));
    EXPECT_EQ(form.Progress().Max(), 100);
    EXPECT_EQ(host.progressValues.back(), 0);
    // Frame 1 decoded by ffmpeg is the half-and-half mix.
    std::string middle;
    ASSERT_EQ(test::Run("/usr/bin/ffmpeg -v error -i " + test::Quote(output) +
                            " -vf 'select=eq(n\\,1)' -vframes 1 -f rawvideo -pix_fmt rgb24 -",
                        &middle),
              0);
    ASSERT_EQ(middle.size(), 16u * 12u * 3u);
    EXPECT_EQ(static_cast<unsigned char>(middle[0]), 16);
    EXPECT_EQ(static_cast<unsigned char>(middle[1]), 150);
    EXPECT_EQ(static_cast<unsigned char>(middle[2]), 26);
}

TEST_F(CreateAvi, UnreadableFrameRateIsReportedWhereTheOutputBegins) {
    LoadPair(8, 8, Rgb(1, 2, 3), Rgb(4, 5, 6));
    form.FrameCountField().SetText("2");
    form.FpsField().SetText("fast");
    host.QueueFile((inputs / "movie.avi").string());
    form.CreateFade();
    EXPECT_EQ(FailedLines(), (std::vector<std::int32_t>{153}));
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text,
              "Type mismatch\r\nin Crossmeld2021/08/31.Form1.PushButton3_Click at line 153\r\r" + kRequest);
    EXPECT_EQ(host.codecDialogs, 0);
    EXPECT_EQ(host.messages[1].text, "Done.");
    EXPECT_FALSE(fs::exists(inputs / "movie.avi"));
}

TEST_F(CreateAvi, WriterMessagesCarryTheApplicationTitle) {
    LoadPair(8, 8, Rgb(1, 2, 3), Rgb(4, 5, 6));
    form.FrameCountField().SetText("2");
    host.QueueFile((inputs / "no such folder" / "movie.avi").string());
    form.CreateFade();
    ASSERT_EQ(host.MessageTexts(), (std::vector<std::string>{"There was an error writing the file.", "Done."}));
    EXPECT_EQ(host.messages[0].caption, "Crossmeld");
    EXPECT_EQ(host.messages[0].buttons, MsgButtons::OK);
}

TEST_F(CreateAvi, CancelledCodecChoiceStillEndsWithDone) {
    LoadPair(8, 8, Rgb(1, 2, 3), Rgb(4, 5, 6));
    form.FrameCountField().SetText("2");
    host.confirmCodec = false;
    host.QueueFile((inputs / "movie.avi").string());
    form.CreateFade();
    EXPECT_EQ(host.codecDialogs, 1);
    EXPECT_EQ(host.MessageTexts(), (std::vector<std::string>{"Done."}));
    EXPECT_TRUE(FailedLines().empty());
    EXPECT_FALSE(form.IsBusy());
}

}  // namespace
}  // namespace crossmeld
