// The GIF output of the create command: the temporary AVI, the import into
// the window's document, the saved file as other programs read it, and the
// ways the stage ends.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/MainWindowModel.h"
#include "colour/ColourReducer.h"
#include "formats/LoadPicture.h"
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

// What PIL reads of a GIF: frame count, loop, and per frame the duration and
// the colours of the first and the last pixel.
const char* const kPilScript = R"(import sys
from PIL import Image
im = Image.open(sys.argv[1])
print(im.format, im.size[0], im.size[1], im.n_frames, im.info.get('loop', -1))
for k in range(im.n_frames):
    im.seek(k)
    rgb = im.convert('RGB')
    first = rgb.getpixel((0, 0))
    last = rgb.getpixel((im.size[0] - 1, im.size[1] - 1))
    print(im.info.get('duration', -1), *first, *last)
)";

class CreateGif : public test::FormTest {
protected:
    CreateGif() {
        form.Load();
        form.GifOption().SetValue(true);
    }

    // Cube colours (levels of 51) come through the ordered dither unchanged.
    void LoadPair(std::int32_t w, std::int32_t h) {
        FormTest::LoadPair(inputs.path(), w, h, Rgb(0, 51, 255), Rgb(204, 153, 0));
    }

    std::string ReadWithPil(const fs::path& file) {
        const fs::path script = inputs / "read.py";
        if (!fs::exists(script)) std::ofstream(script) << kPilScript;
        std::string out;
        EXPECT_EQ(test::RunCommand("/usr/bin/python3 " + test::Quote(script) + " " + test::Quote(file), &out), 0)
            << out;
        return out;
    }

    test::TempDir inputs;
};

TEST_F(CreateGif, WritesALoopingGifWithTheDelayOfTheFrameRate) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    LoadPair(20, 10);
    form.FrameCountField().SetText("4");
    form.FpsField().SetText("8");  // 125 ms per frame: 12.5 hundredths, to even 12
    const fs::path output = inputs / "fade.gif";
    host.QueueFile(output.string());
    form.CreateFade();

    EXPECT_EQ(host.MessageTexts(), (std::vector<std::string>{"Done."}));
    EXPECT_EQ(host.codecDialogs, 0) << "a GIF asks for no codec";
    EXPECT_TRUE(fs::is_empty(temp.path()));
    EXPECT_FALSE(form.IsBusy());
    EXPECT_EQ(form.Pointer(), MousePointer::Normal);
    EXPECT_EQ(form.Progress().Value(), 0);

    std::istringstream pil(ReadWithPil(output));
    std::string format;
    int w, h, n, loop;
    pil >> format >> w >> h >> n >> loop;
    EXPECT_EQ(format, "GIF");
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 10);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(loop, 0) << "loops for ever";
    std::vector<std::array<int, 7>> frames(4);
    for (auto& f : frames)
        for (int& v : f) pil >> v;
    for (const auto& f : frames) EXPECT_EQ(f[0], 120);
    EXPECT_EQ((std::array<int, 6>{frames[0][1], frames[0][2], frames[0][3], frames[0][4], frames[0][5], frames[0][6]}),
              (std::array<int, 6>{0, 51, 255, 0, 51, 255}));
    EXPECT_EQ((std::array<int, 6>{frames[3][1], frames[3][2], frames[3][3], frames[3][4], frames[3][5], frames[3][6]}),
              (std::array<int, 6>{204, 153, 0, 204, 153, 0}));

    // The bar went over the frames once, in percent, and ends at 0.
    EXPECT_EQ(host.progressMax, (std::vector<double>{100}));
    EXPECT_EQ(host.progressValues, (std::vector<double>{25, 50, 75, 100, 0, 0}));
}

TEST_F(CreateGif, ASecondRunStartsFromAnEmptyDocument) {
    LoadPair(8, 6);
    form.FrameCountField().SetText("5");
    host.QueueFile((inputs / "first.gif").string());
    form.CreateFade();
    form.FrameCountField().SetText("2");
    const fs::path second = inputs / "second.gif";
    host.QueueFile(second.string());
    form.CreateFade();
    EXPECT_EQ(host.MessageTexts(), (std::vector<std::string>{"Done.", "Done."}));
    std::istringstream pil(ReadWithPil(second));
    std::string format;
    int w, h, n;
    pil >> format >> w >> h >> n;
    EXPECT_EQ(n, 2);
}

TEST_F(CreateGif, AFailedSaveIsReportedAndTheCommandEndsWithDone) {
    LoadPair(8, 6);
    form.FrameCountField().SetText("2");
    host.QueueFile((inputs / "no such folder" / "fade.gif").string());
    form.CreateFade();
    EXPECT_EQ(host.MessageTexts(), (std::vector<std::string>{"Unexpected error saving GIF file.", "Done."}));
    EXPECT_EQ(host.messages[0].caption, "Crossmeld");
    EXPECT_EQ(form.Pointer(), MousePointer::Normal);
}

TEST_F(CreateGif, AnUnreadableFrameRateIsReportedWhereTheOutputBegins) {
    LoadPair(8, 6);
    form.FrameCountField().SetText("2");
    form.FpsField().SetText("fast");
    const fs::path output = inputs / "fade.gif";
    host.QueueFile(output.string());
    form.CreateFade();
    EXPECT_EQ(FailedLines(), (std::vector<std::int32_t>{153}));
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text,
              "Type mismatch\r\nin Crossmeld2021/08/31.Form1.PushButton3_Click at line 153\r\r" + kRequest);
    EXPECT_EQ(host.messages[1].text, "Done.");
    EXPECT_FALSE(fs::exists(output));
}

TEST_F(CreateGif, TheCommandLinesReductionChoiceReachesTheGif) {
    CROSSMELD_REQUIRE_PROGRAM("/usr/bin/python3");
    // Grey 60 lies between the cube levels 51 and 102. At (0, 0) the ordered
    // dither's threshold 3 lifts it to 60 + 26 - 3 = 83, level 2 (102);
    // without dither every pixel takes the nearer level 1 (51).
    WriteBitmap(inputs / "start.bmp", 8, 6, Rgb(60, 60, 60));
    WriteBitmap(inputs / "end.bmp", 8, 6, Rgb(60, 60, 60));
    host.QueueFile((inputs / "start.bmp").string());
    host.QueueFile((inputs / "end.bmp").string());
    form.ChooseStartPicture();
    form.ChooseEndPicture();
    form.FrameCountField().SetText("2");
    auto firstPixel = [&](const fs::path& output) {
        host.QueueFile(output.string());
        form.CreateFade();
        std::istringstream pil(ReadWithPil(output));
        std::string format;
        int w, h, n, loop, delay, r, g, b;
        pil >> format >> w >> h >> n >> loop >> delay >> r >> g >> b;
        return std::array<int, 3>{r, g, b};
    };
    EXPECT_EQ(firstPixel(inputs / "ordered.gif"), (std::array<int, 3>{102, 102, 102}));
    form.SetGifReduction(PaletteMode::Halftone, DitherMethod::None);
    EXPECT_EQ(firstPixel(inputs / "plain.gif"), (std::array<int, 3>{51, 51, 51}));
    form.SetGifReduction(PaletteMode::Halftone, DitherMethod::Ordered);
}

}  // namespace
}  // namespace crossmeld
