#pragma once
// Form1: the main window as a toolkit-free model. It holds every element of
// the window (buttons, fields, option buttons, frames, picture boxes, scroll
// bars, progress bar, file dialog state), the window's state (pointer, busy
// flag, control meshes, GIF document) and every handler. Front ends show the
// elements and call the handlers; the model reaches the user only through
// the Host.
//
// Positions: the window's own elements relative to its client area; option
// buttons and text fields relative to their frame; scroll bars, corner
// frames and the shown pictures relative to their pane's inner area.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/FormHost.h"
#include "app/StepRunner.h"
#include "app/controls/CommandButton.h"
#include "app/controls/Frame.h"
#include "app/controls/OptionButton.h"
#include "app/controls/Panes.h"
#include "app/controls/ProgressBar.h"
#include "app/controls/ScrollBar.h"
#include "app/controls/TextField.h"
#include "base/Folders.h"
#include "base/Host.h"
#include "base/SettingsStore.h"
#include "formats/avi/CodecChooser.h"
#include "morph/ControlMesh.h"
#include "raster/Picture.h"
#include "raster/PictureBox.h"

namespace crossmeld {

class cGIF;  // the animated GIF document of the GIF output stage

class Form1 {
public:
    static constexpr std::int32_t kClientWidth = 1064;
    static constexpr std::int32_t kClientHeight = 521;

    // The program folder holds the samples, the cursor and the skin file;
    // the temporary folder the frame files.
    Form1(Host& host, SettingsStore& settings, vfw::CodecChooser& codecs, std::string programFolder = ProgramFolder(),
          std::string tempFolder = TempFolder());
    ~Form1();
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // ---- Handlers -------------------------------------------------------
    void Form_Load();
    // Never cancels the close.
    void Form_QueryUnload();
    // Ends the program: the front end closes once Ended() is true.
    void Form_Unload();

    // Pointer feedback: over a command button the custom hand, over the
    // window's background or a frame the normal pointer; never while the
    // hourglass shows.
    void PushButton_MouseMove();
    void Form_MouseMove();
    void Frame_MouseMove();

    void PushButton1_Click();  // choose the starting picture
    void PushButton2_Click();  // choose the ending picture
    void PushButton3_Click();  // create the fade file
    void PushButton4_Click();  // load the sample pair
    void PushButton5_Click();  // clear the start preview
    void PushButton6_Click();  // clear the end preview

    void Text1_Change();
    void txtFPS_Change();
    void Text1_LostFocus();
    void txtFPS_LostFocus();
    void Option1_Click();
    void Option2_Click();

    // ---- Shared routines --------------------------------------------------
    void SetAppTitle();
    void ApplySkin();
    void ReleaseGifDoc();
    void ResetControlMeshes();
    void LayoutStartPane();
    void LayoutEndPane();

    // The colour reduction of the GIF output: the palette mode (0 the
    // 216-colour cube, 1 adaptive) and the dither method the GIF stage sets
    // before its import (0 none, 1 ordered, 2 diffusion). The window keeps
    // the start-up choice, cube and ordered; the command line may pick.
    void SetGifReduction(std::int32_t paletteMode, std::int32_t ditherMethod);

    // ---- Window state -----------------------------------------------------
    const std::string& Caption() const noexcept { return m_caption; }
    const std::string& AppTitle() const noexcept { return m_appTitle; }
    ColorRef BackColor() const noexcept { return m_backColor; }
    MousePointer Pointer() const noexcept { return m_pointer; }
    // The custom pointer image (HAND-M.CUR); empty when none was loaded.
    const Picture& MouseIcon() const noexcept { return m_mouseIcon; }
    bool IsBusy() const noexcept { return m_isBusy; }
    // Whether the last create command was stopped by the user (RunStopped)
    // rather than run to its end.
    bool LastRunStopped() const noexcept { return m_lastRunStopped; }
    bool Ended() const noexcept { return m_ended; }
    const std::string& ProgramFolderPath() const noexcept { return m_programFolder; }
    const std::string& TempFolderPath() const noexcept { return m_tempFolder; }
    // The file of the picture loaded on a side (0 start, 1 end) as it was
    // given; the sample's path after the sample pair; empty when that side
    // has no picture loaded or was cleared. Other sides raise
    // Error(SubscriptOutOfRange).
    const std::string& SourcePath(int side) const;
    // The steps of the handler run that finished last.
    const std::vector<StepRecord>& LastRun() const noexcept { return m_lastRun; }

    ControlMesh& StartMesh() noexcept { return m_startMesh; }
    ControlMesh& EndMesh() noexcept { return m_endMesh; }
    bool HasGifDoc() const noexcept { return static_cast<bool>(m_gifDoc); }

    // ---- Elements ---------------------------------------------------------
    CommandButton& PushButton1() noexcept { return m_pushButton1; }
    CommandButton& PushButton2() noexcept { return m_pushButton2; }
    CommandButton& PushButton3() noexcept { return m_pushButton3; }
    CommandButton& PushButton4() noexcept { return m_pushButton4; }
    CommandButton& PushButton5() noexcept { return m_pushButton5; }
    CommandButton& PushButton6() noexcept { return m_pushButton6; }
    TextField& Text1() noexcept { return m_text1; }
    TextField& txtFPS() noexcept { return m_txtFps; }
    OptionButton& Option1() noexcept { return m_option1; }
    OptionButton& Option2() noexcept { return m_option2; }
    Frame& Frame1() noexcept { return m_frame1; }  // "Output"
    Frame& Frame2() noexcept { return m_frame2; }  // "Number Of Frames"
    Frame& Frame3() noexcept { return m_frame3; }  // "Frames Per Second:"
    Frame& Frame4() noexcept { return m_frame4; }  // corner of the start pane
    Frame& Frame5() noexcept { return m_frame5; }  // corner of the end pane
    PictureBox& PicScrollStart() noexcept { return m_picScrollStart; }
    PictureBox& PicScrollEnd() noexcept { return m_picScrollEnd; }
    PictureBox& PicOrgStart() noexcept { return m_picOrgStart; }
    PictureBox& PicOrgEnd() noexcept { return m_picOrgEnd; }
    ScrollBar& HscrPicStart() noexcept { return m_hscrPicStart; }
    ScrollBar& VscrPicStart() noexcept { return m_vscrPicStart; }
    ScrollBar& HscrPicEnd() noexcept { return m_hscrPicEnd; }
    ScrollBar& VscrPicEnd() noexcept { return m_vscrPicEnd; }
    // Index 1 (start) or 2 (end); others raise Error(SubscriptOutOfRange).
    PictureBox& Poriginal(std::int32_t index);
    PictureBox& MorphT() noexcept { return m_morphT; }
    PictureBox& picSave() noexcept { return m_picSave; }
    ProgressBar& prbDetecting() noexcept { return m_prbDetecting; }
    FileDialogState& CommonDialog1() noexcept { return m_commonDialog1; }

private:
    struct CreateRun;

    void Run(const std::string& handler, std::span<const Step> steps);
    // An OK box with the application title.
    void ShowMessage(const std::string& text);
    void SetPointer(MousePointer pointer);
    void SaveValue(std::string_view key, const std::string& value);
    void CheckNumeric(TextField& field, FocusTarget target);
    // The picture choice shared by PushButton1 and PushButton2.
    std::vector<Step> ChoosePictureSteps(PictureBox& shown, PictureBox& original, PictureBox& other,
                                         void (Form1::*layout)());
    std::vector<Step> ClearPreviewSteps(PictureBox& shown);
    // The GIF output stage (lines 200 to 234 of the create command).
    std::vector<Step> GifOutputSteps(CreateRun& run);
    std::string TempAviFile() const;
    std::string FramePattern() const;
    std::string FrameFile(std::int32_t index) const;
    // Removes what a stopped create command left and makes the window usable.
    void EndStoppedRun();

    Host& m_host;
    SettingsStore& m_settings;
    vfw::CodecChooser& m_codecs;
    std::string m_programFolder;
    std::string m_tempFolder;

    std::string m_caption;
    std::string m_appTitle;
    ColorRef m_backColor;
    MousePointer m_pointer = MousePointer::Normal;
    Picture m_mouseIcon;
    bool m_isBusy = false;
    bool m_lastRunStopped = false;
    bool m_ended = false;
    std::vector<StepRecord> m_lastRun;

    CommandButton m_pushButton1;
    CommandButton m_pushButton2;
    CommandButton m_pushButton3;
    CommandButton m_pushButton4;
    CommandButton m_pushButton5;
    CommandButton m_pushButton6;
    Frame m_frame1;
    Frame m_frame2;
    Frame m_frame3;
    Frame m_frame4;
    Frame m_frame5;
    TextField m_text1;
    TextField m_txtFps;
    OptionButton m_option1;
    OptionButton m_option2;
    PictureBox m_picScrollStart;
    PictureBox m_picScrollEnd;
    PictureBox m_picOrgStart;
    PictureBox m_picOrgEnd;
    ScrollBar m_hscrPicStart{ScrollBar::Orientation::Horizontal};
    ScrollBar m_vscrPicStart{ScrollBar::Orientation::Vertical};
    ScrollBar m_hscrPicEnd{ScrollBar::Orientation::Horizontal};
    ScrollBar m_vscrPicEnd{ScrollBar::Orientation::Vertical};
    PictureBox m_poriginal1;
    PictureBox m_poriginal2;
    PictureBox m_morphT;
    PictureBox m_picSave;
    ProgressBar m_prbDetecting;
    FileDialogState m_commonDialog1;
    FormHost m_formHost;

    std::string m_sourcePaths[2];  // see SourcePath
    ControlMesh m_startMesh;
    ControlMesh m_endMesh;
    // Created by the GIF output stage the first time it runs; kept until the
    // window closes.
    std::shared_ptr<cGIF> m_gifDoc;
    std::int32_t m_gifDitherMethod = 1;
    // The GIF stage's temporary AVI holds full frames: it is read back at
    // once, so a lossy codec would only cost quality, and no codec question
    // is asked for it.
    vfw::FixedCodecChooser m_rawCodec{vfw::kHandlerDib};
};

}  // namespace crossmeld
