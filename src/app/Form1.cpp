#include "app/Form1.h"

#include "app/AppRoutines.h"
#include "app/NumericText.h"
#include "base/Error.h"
#include "base/FileRoutines.h"
#include "colour/mDither8bpp.h"
#include "formats/LoadPicture.h"

namespace crossmeld {

namespace {

// The window's own background and that of its frames and option buttons,
// until a skin says otherwise.
constexpr ColorRef kDesignBackColor = Rgb(255, 255, 255);

// The preview panes' outer size and the inner area left by their border.
constexpr std::int32_t kPaneWidth = 520;
constexpr std::int32_t kPaneHeight = 385;
constexpr std::int32_t kPaneInnerWidth = kPaneWidth - 4;
constexpr std::int32_t kPaneInnerHeight = kPaneHeight - 4;

void SetUpPane(PictureBox& pane, std::int32_t left) {
    pane.Move(left, 42, kPaneWidth, kPaneHeight);  // border 1: 2 pixels on every side
}

void SetUpShownPicture(PictureBox& picture) {
    picture.SetBorderStyle(0);
    picture.Move(0, 0, kPaneInnerWidth, kPaneInnerHeight);
}

// The bars and the corner square keep this state until the first layout.
void SetUpBars(ScrollBar& horizontal, ScrollBar& vertical, Frame& corner) {
    const std::int32_t t = kScrollBarThickness;
    horizontal.Move(0, kPaneInnerHeight - t, kPaneInnerWidth - t, t);
    vertical.Move(kPaneInnerWidth - t, 0, t, kPaneInnerHeight - t);
    corner.Move(kPaneInnerWidth - t, kPaneInnerHeight - t, t, t);
    horizontal.SetVisible(false);
    vertical.SetVisible(false);
    corner.SetVisible(false);
}

void SetUpHiddenCopy(PictureBox& box) {
    box.SetVisible(false);
    box.SetBorderStyle(0);
    box.SetAutoSize(true);
}

}  // namespace

Form1::Form1(Host& host, SettingsStore& settings, vfw::CodecChooser& codecs, std::string programFolder,
             std::string tempFolder)
    : m_host(host),
      m_settings(settings),
      m_codecs(codecs),
      m_programFolder(std::move(programFolder)),
      m_tempFolder(std::move(tempFolder)),
      m_caption(kDisplayName),
      m_appTitle(kDisplayName),
      m_backColor(kDesignBackColor),
      m_pushButton1("1. Load Starting Image", 8, 8, 180, 28),
      m_pushButton2("2. Load Ending Image", 536, 8, 180, 28),
      m_pushButton3("3. Start Creating Fade File", 536, 441, 256, 44),
      m_pushButton4("Load Sample/Example Images", 800, 441, 256, 44),
      m_pushButton5("Clear", 464, 8, 64, 28),
      m_pushButton6("Clear", 992, 8, 64, 28),
      m_frame1("Output", 8, 433, 200, 80),
      m_frame2("Number Of Frames", 216, 433, 140, 52),
      m_frame3("Frames Per Second:", 364, 433, 140, 52),
      m_text1("10", 10, 20, 120, 22),
      m_txtFps("5", 10, 20, 120, 22),
      m_option1("Save As AVI", true, 10, 22, 180, 20),
      m_option2("Save As Animated GIF", false, 10, 48, 180, 20),
      m_prbDetecting(host, 216, 493, 840, 20),
      m_formHost(
          host, m_prbDetecting, [this](MousePointer pointer) { SetPointer(pointer); }, m_appTitle) {
    for (Frame* frame : {&m_frame1, &m_frame2, &m_frame3}) frame->SetBackColor(kDesignBackColor);
    m_option1.SetBackColor(kDesignBackColor);
    m_option2.SetBackColor(kDesignBackColor);
    OptionButton::Join(m_option1, m_option2);
    m_option1.SetClickHandler([this] { Option1_Click(); });
    m_option2.SetClickHandler([this] { Option2_Click(); });
    m_text1.SetChangeHandler([this] { Text1_Change(); });
    m_txtFps.SetChangeHandler([this] { txtFPS_Change(); });

    SetUpPane(m_picScrollStart, 8);
    SetUpPane(m_picScrollEnd, 536);
    SetUpShownPicture(m_picOrgStart);
    SetUpShownPicture(m_picOrgEnd);
    SetUpBars(m_hscrPicStart, m_vscrPicStart, m_frame4);
    SetUpBars(m_hscrPicEnd, m_vscrPicEnd, m_frame5);

    SetUpHiddenCopy(m_poriginal1);
    SetUpHiddenCopy(m_poriginal2);
    // The frame canvas: keeps what is drawn on it, black where nothing is,
    // filled shapes without an outline.
    m_morphT.SetVisible(false);
    m_morphT.SetBorderStyle(0);
    m_morphT.SetAutoRedraw(true);
    m_morphT.SetBackColor(Rgb(0, 0, 0));
    m_morphT.SetDrawStyle(PictureBox::kDrawTransparent);
    m_picSave.SetVisible(false);
    m_picSave.SetBorderStyle(0);
}

Form1::~Form1() = default;

PictureBox& Form1::Poriginal(std::int32_t index) {
    if (index == 1) return m_poriginal1;
    if (index == 2) return m_poriginal2;
    throw Error(ErrorKind::SubscriptOutOfRange);
}

void Form1::Run(const std::string& handler, std::span<const Step> steps) {
    std::vector<StepRecord> trace = RunSteps(m_formHost, handler, steps);
    m_lastRun = std::move(trace);
}

void Form1::ShowMessage(const std::string& text) {
    m_formHost.MessageBox(text, MsgIcon::None, MsgButtons::OK, m_appTitle);
}

void Form1::SetPointer(MousePointer pointer) {
    m_pointer = pointer;
    m_host.SetMousePointer(pointer);
}

void Form1::Form_Load() {
    const std::string cursorFile = m_programFolder + std::string(kCursorFile);
    auto readOption = [this](std::string_view key, const char* fallback) {
        return TextToBoolean(m_settings.GetSetting(std::string(kSettingsApp), std::string(kSettingsSection),
                                                   std::string(key), fallback));
    };
    auto readText = [this](std::string_view key, const char* fallback) {
        return m_settings.GetSetting(std::string(kSettingsApp), std::string(kSettingsSection), std::string(key),
                                     fallback);
    };
    // clang-format off
    const std::vector<Step> steps{
        Do(102, [this] { ApplySkin(); }), Do(104, [this] { m_caption = std::string(kDisplayName); }),
        // The window icon is the front end's own resource.
        Do(104, [this] { SetAppTitle(); }),
        If(106, [&] { return FileExists(cursorFile); }, Flow::Next(), Flow::GoTo(128)),
        Do(108, [&] { m_mouseIcon = LoadPicture(cursorFile); }),
        Do(128, [&] { m_option1.SetValue(readOption(kKeyOption1, "1")); }),
        Do(130, [&] { m_option2.SetValue(readOption(kKeyOption2, "0")); }),
        Do(132, [&] { m_text1.SetText(readText(kKeyImageCount, "10")); }),
        Do(134, [&] { m_txtFps.SetText(readText(kKeyFps, "5")); }),
        Do(136, [this] { m_picOrgEnd.SetScaleMode(PictureBox::kPixels); }),
        Do(138, [this] { m_picOrgStart.SetScaleMode(PictureBox::kPixels); }),
        Do(140, [this] { m_picSave.SetScaleMode(PictureBox::kPixels); }),
        Do(142, [this] { m_picScrollEnd.SetScaleMode(PictureBox::kPixels); }),
        Do(144, [this] { m_picScrollStart.SetScaleMode(PictureBox::kPixels); }),
        Do(146, [this] { m_poriginal1.SetScaleMode(PictureBox::kPixels); }),
        Do(148, [this] { m_poriginal2.SetScaleMode(PictureBox::kPixels); }),
        Do(150, [this] { m_morphT.SetScaleMode(PictureBox::kPixels); }),
        Do(152, [] { mDither8bpp::InitDitherTables(); }),
        Do(154, [] { mDither8bpp::SetPaletteMode(0); }),
        Do(156, [] { mDither8bpp::SetDitherMethod(0); }),
    };
    // clang-format on
    Run("Form_Load", steps);
}

void Form1::Form_QueryUnload() {
    // clang-format off
    const std::vector<Step> steps{
        Do(100, [this] { ReleaseGifDoc(); }),
        Do(102, [this] { m_host.DoEvents(); }),
        Do(104, [this] { m_host.DoEvents(); }),
    };
    // clang-format on
    Run("Form_QueryUnload", steps);
}

void Form1::Form_Unload() {
    // Nothing is saved and no temporary file is removed here.
    m_ended = true;
}

void Form1::PushButton_MouseMove() {
    if (m_pointer != MousePointer::Hourglass && m_pointer != MousePointer::Custom) SetPointer(MousePointer::Custom);
}

void Form1::Form_MouseMove() {
    if (m_pointer != MousePointer::Hourglass && m_pointer != MousePointer::Normal) SetPointer(MousePointer::Normal);
}

void Form1::Frame_MouseMove() {
    Form_MouseMove();
}

}  // namespace crossmeld
