#include "app/MainWindowModel.h"

#include "app/AppRoutines.h"
#include "app/MeshEditor.h"
#include "app/NumericText.h"
#include "base/FileRoutines.h"
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
    picture.SetBorderStyle(BoxBorder::None);
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
    box.SetBorderStyle(BoxBorder::None);
    box.SetAutoSize(true);
}

}  // namespace

MainWindowModel::MainWindowModel(Host& host, SettingsStore& settings, avi::CodecChooser& codecs, std::string programFolder)
    : m_host(host),
      m_settings(settings),
      m_codecs(codecs),
      m_programFolder(std::move(programFolder)),
      m_caption(kDisplayName),
      m_appTitle(kDisplayName),
      m_backColor(kDesignBackColor),
      m_startPictureButton("1. Load Starting Image", 8, 8, 180, 28),
      m_endPictureButton("2. Load Ending Image", 536, 8, 180, 28),
      m_createFadeButton("3. Start Creating Fade File", 536, 441, 256, 44),
      m_samplePairButton("Load Sample/Example Images", 800, 441, 256, 44),
      m_clearStartButton("Clear", 464, 8, 64, 28),
      m_clearEndButton("Clear", 992, 8, 64, 28),
      m_outputFrame("Output", 8, 433, 200, 80),
      m_frameCountFrame("Number Of Frames", 216, 433, 140, 52),
      m_fpsFrame("Frames Per Second:", 364, 433, 140, 52),
      m_frameCountField("10", 10, 20, 120, 22),
      m_fpsField("5", 10, 20, 120, 22),
      m_aviOption("Save As AVI", true, 10, 22, 180, 20),
      m_gifOption("Save As Animated GIF", false, 10, 48, 180, 20),
      m_progressBar(host, 216, 493, 840, 20),
      m_formHost(
          host, m_progressBar, [this](MousePointer pointer) { SetPointer(pointer); }, m_appTitle) {
    for (Frame* frame : {&m_outputFrame, &m_frameCountFrame, &m_fpsFrame}) frame->SetBackColor(kDesignBackColor);
    m_aviOption.SetBackColor(kDesignBackColor);
    m_gifOption.SetBackColor(kDesignBackColor);
    OptionButton::Join(m_aviOption, m_gifOption);
    m_aviOption.SetClickHandler([this] { AviOptionClicked(); });
    m_gifOption.SetClickHandler([this] { GifOptionClicked(); });
    m_frameCountField.SetChangeHandler([this] { FrameCountFieldEdited(); });
    m_fpsField.SetChangeHandler([this] { FpsFieldEdited(); });

    SetUpPane(m_startScrollArea, 8);
    SetUpPane(m_endScrollArea, 536);
    SetUpShownPicture(m_startPreview);
    SetUpShownPicture(m_endPreview);
    SetUpBars(m_startHorizontalScroll, m_startVerticalScroll, m_startPaneCorner);
    SetUpBars(m_endHorizontalScroll, m_endVerticalScroll, m_endPaneCorner);

    SetUpHiddenCopy(m_startSource);
    SetUpHiddenCopy(m_endSource);
    // The frame canvas: keeps what is drawn on it, black where nothing is,
    // filled shapes without an outline.
    m_frameCanvas.SetVisible(false);
    m_frameCanvas.SetBorderStyle(BoxBorder::None);
    m_frameCanvas.SetAutoRedraw(true);
    m_frameCanvas.SetBackColor(Rgb(0, 0, 0));
    m_frameCanvas.SetDrawStyle(BoxDrawStyle::Transparent);
    m_saveCanvas.SetVisible(false);
    m_saveCanvas.SetBorderStyle(BoxBorder::None);
    m_meshEditor = std::make_unique<MeshEditor>(*this, m_formHost, settings);
}

MainWindowModel::~MainWindowModel() = default;

PictureBox& MainWindowModel::SourcePicture(Side side) {
    return side == Side::Start ? m_startSource : m_endSource;
}

void MainWindowModel::Run(const std::string& handler, std::span<const Step> steps) {
    std::vector<StepRecord> trace = RunSteps(m_formHost, handler, steps);
    m_lastRun = std::move(trace);
}

void MainWindowModel::ShowMessage(const std::string& text) {
    m_formHost.MessageBox(text, MsgIcon::None, MsgButtons::OK, m_appTitle);
}

void MainWindowModel::SetPointer(MousePointer pointer) {
    m_pointer = pointer;
    m_host.SetMousePointer(pointer);
}

void MainWindowModel::Load() {
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
        Do(128, [&] { m_aviOption.SetValue(readOption(kKeyOption1, "1")); }),
        Do(130, [&] { m_gifOption.SetValue(readOption(kKeyOption2, "0")); }),
        Do(132, [&] { m_frameCountField.SetText(readText(kKeyImageCount, "10")); }),
        Do(134, [&] { m_fpsField.SetText(readText(kKeyFps, "5")); }),
        Do(136, [this] { m_endPreview.SetScaleMode(PictureBox::kPixels); }),
        Do(138, [this] { m_startPreview.SetScaleMode(PictureBox::kPixels); }),
        Do(140, [this] { m_saveCanvas.SetScaleMode(PictureBox::kPixels); }),
        Do(142, [this] { m_endScrollArea.SetScaleMode(PictureBox::kPixels); }),
        Do(144, [this] { m_startScrollArea.SetScaleMode(PictureBox::kPixels); }),
        Do(146, [this] { m_startSource.SetScaleMode(PictureBox::kPixels); }),
        Do(148, [this] { m_endSource.SetScaleMode(PictureBox::kPixels); }),
        Do(150, [this] { m_frameCanvas.SetScaleMode(PictureBox::kPixels); }),
        Do(152, [this] { m_gifReducer.InitDitherTables(); }),
        Do(154, [this] { m_gifReducer.SetPaletteMode(PaletteMode::Halftone); }),
        Do(156, [this] { m_gifReducer.SetDitherMethod(DitherMethod::None); }),
    };
    // clang-format on
    Run("Form_Load", steps);
}

void MainWindowModel::QueryClose() {
    // clang-format off
    const std::vector<Step> steps{
        Do(102, [this] { m_host.DoEvents(); }),
        Do(104, [this] { m_host.DoEvents(); }),
    };
    // clang-format on
    Run("Form_QueryUnload", steps);
}

void MainWindowModel::Close() {
    // Nothing is saved and no temporary file is removed here.
    m_ended = true;
}

void MainWindowModel::PointerOverButton() {
    if (m_pointer != MousePointer::Hourglass && m_pointer != MousePointer::Custom) SetPointer(MousePointer::Custom);
}

void MainWindowModel::PointerOverWindow() {
    if (m_pointer != MousePointer::Hourglass && m_pointer != MousePointer::Normal) SetPointer(MousePointer::Normal);
}

void MainWindowModel::PointerOverFrame() {
    PointerOverWindow();
}

}  // namespace crossmeld
