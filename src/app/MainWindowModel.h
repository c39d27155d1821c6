#pragma once
// MainWindowModel: the main window as a toolkit-free model. It holds every element of
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
#include <optional>
#include <string>
#include <vector>

#include "app/FormHost.h"
#include "app/OutputOptions.h"
#include "export/OutputFormat.h"
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
#include "colour/ColourReducer.h"
#include "formats/avi/CodecChooser.h"
#include "morph/BilinearWarp.h"
#include "morph/ControlMesh.h"
#include "morph/FadeTiming.h"
#include "morph/MeshFile.h"
#include "raster/Picture.h"
#include "raster/PictureBox.h"

namespace crossmeld {

class MeshEditor;

// The two pictures of a fade: the one it starts from and the one it ends on.
enum class Side { Start, End };

class MainWindowModel {
public:
    static constexpr std::int32_t kClientWidth = 1064;
    static constexpr std::int32_t kClientHeight = 521;

    // The program folder holds the samples, the cursor and the skin file.
    MainWindowModel(Host& host, SettingsStore& settings, avi::CodecChooser& codecs, std::string programFolder = ProgramFolder());
    ~MainWindowModel();
    MainWindowModel(const MainWindowModel&) = delete;
    MainWindowModel& operator=(const MainWindowModel&) = delete;

    // ---- Handlers -------------------------------------------------------
    void Load();
    // Never cancels the close.
    void QueryClose();
    // Ends the program: the front end closes once Ended() is true.
    void Close();

    // Pointer feedback: over a command button the custom hand, over the
    // window's background or a frame the normal pointer; never while the
    // hourglass shows.
    void PointerOverButton();
    void PointerOverWindow();
    void PointerOverFrame();

    void ChooseStartPicture();  // choose the starting picture
    void ChooseEndPicture();  // choose the ending picture
    void CreateFade();  // create the fade file
    void LoadSamplePair();  // load the sample pair
    void ClearStartPicture();  // clear the start preview
    void ClearEndPicture();  // clear the end preview

    void FrameCountFieldEdited();
    void FpsFieldEdited();
    void FrameCountFieldLeft();
    void FpsFieldLeft();
    void AviOptionClicked();
    void GifOptionClicked();

    // ---- Shared routines --------------------------------------------------
    void SetAppTitle();
    void ApplySkin();
    void ResetControlMeshes();
    void LayoutStartPane();
    void LayoutEndPane();

    // The colour reduction of the GIF output: the palette mode, set on the
    // GIF stage's reducer at once, and the dither method the GIF stage sets
    // on it before its import. The window keeps the start-up choice,
    // halftone and ordered; the command line may pick.
    void SetGifReduction(PaletteMode paletteMode, DitherMethod ditherMethod);
    // Whether the GIF output stores each later frame as its change to the
    // one before (GifSinkOptions::optimize); off at start-up.
    void SetGifOptimize(bool optimize) noexcept { m_gifOptimize = optimize; }
    bool GifOptimize() const noexcept { return m_gifOptimize; }
    // The GIF stage's reducer, as the start-up and the stage leave it.
    ColourReducer& GifReducer() noexcept { return m_gifReducer; }

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
    // The file of the picture loaded on a side as it was given; the
    // sample's path after the sample pair; empty when that side has no
    // picture loaded or was cleared.
    const std::string& SourcePath(Side side) const;
    // The steps of the handler run that finished last.
    const std::vector<StepRecord>& LastRun() const noexcept { return m_lastRun; }

    ControlMesh& StartMesh() noexcept { return m_startMesh; }
    ControlMesh& EndMesh() noexcept { return m_endMesh; }
    // The two control meshes as a mesh file holds them.
    MeshPoints Meshes() const;
    // Replaces both control meshes and redraws their overlays. Raises Error
    // (invalid picture, naming both sizes) when the mesh was made for
    // pictures of another size than the start preview's.
    void SetMeshes(const MeshPoints& mesh);
    // Redraws both overlays after the meshes were changed in place.
    void RedrawMeshOverlays();
    // Dragging points, undo and redo, mesh size and mesh files.
    MeshEditor& MeshEditing() noexcept { return *m_meshEditor; }
    // How frames read the pictures once a point has moved (bilinear at
    // first); equal meshes make the plain cross-dissolve either way.
    void SetSampling(MeshWarp::Sampling sampling) noexcept { m_sampling = sampling; }
    MeshWarp::Sampling Sampling() const noexcept { return m_sampling; }
    // The fade's timing: easing, there and back, held first and last
    // frames, plays of an animation. The first start's: none of them.
    void SetTiming(const FadeTiming& timing) noexcept { m_timing = timing; }
    const FadeTiming& Timing() const noexcept { return m_timing; }
    // The output's format. Without one set (the window) the chosen file's
    // extension may pick a newer format of the chosen option's kind (.mp4,
    // .webm for videos; .webp, .png, .apng for animations); any other name
    // gets the option's own AVI or GIF. The command line sets it.
    void SetOutputFormat(std::optional<OutputFormat> format) noexcept { m_outputFormat = format; }
    OutputFormat FormatFor(const std::string& path) const;
    // The quality of lossy outputs, 0 .. 100; -1 takes each format's default.
    void SetQuality(std::int32_t quality) noexcept { m_quality = quality; }
    // The timing and the GIF's reduction as one set of options.
    OutputOptions CurrentOutputOptions() const;
    void ApplyOutputOptions(const OutputOptions& options);
    // The window's stored options: applied at its start, stored when the
    // user changes them. The command line uses neither.
    void LoadStoredOutputOptions() { ApplyOutputOptions(ReadOutputOptions(m_settings)); }
    void StoreOutputOptions(const OutputOptions& options) {
        ApplyOutputOptions(options);
        SaveOutputOptions(m_settings, options);
    }

    // ---- Elements ---------------------------------------------------------
    CommandButton& StartPictureButton() noexcept { return m_startPictureButton; }
    CommandButton& EndPictureButton() noexcept { return m_endPictureButton; }
    CommandButton& CreateFadeButton() noexcept { return m_createFadeButton; }
    CommandButton& SamplePairButton() noexcept { return m_samplePairButton; }
    CommandButton& ClearStartButton() noexcept { return m_clearStartButton; }
    CommandButton& ClearEndButton() noexcept { return m_clearEndButton; }
    TextField& FrameCountField() noexcept { return m_frameCountField; }
    TextField& FpsField() noexcept { return m_fpsField; }
    OptionButton& AviOption() noexcept { return m_aviOption; }
    OptionButton& GifOption() noexcept { return m_gifOption; }
    Frame& OutputFrame() noexcept { return m_outputFrame; }  // "Output"
    Frame& FrameCountFrame() noexcept { return m_frameCountFrame; }  // "Number Of Frames"
    Frame& FpsFrame() noexcept { return m_fpsFrame; }  // "Frames Per Second:"
    Frame& StartPaneCorner() noexcept { return m_startPaneCorner; }  // corner of the start pane
    Frame& EndPaneCorner() noexcept { return m_endPaneCorner; }  // corner of the end pane
    PictureBox& StartScrollArea() noexcept { return m_startScrollArea; }
    PictureBox& EndScrollArea() noexcept { return m_endScrollArea; }
    PictureBox& StartPreview() noexcept { return m_startPreview; }
    PictureBox& EndPreview() noexcept { return m_endPreview; }
    ScrollBar& StartHorizontalScroll() noexcept { return m_startHorizontalScroll; }
    ScrollBar& StartVerticalScroll() noexcept { return m_startVerticalScroll; }
    ScrollBar& EndHorizontalScroll() noexcept { return m_endHorizontalScroll; }
    ScrollBar& EndVerticalScroll() noexcept { return m_endVerticalScroll; }
    // The picture loaded on a side, at its own size (hidden).
    PictureBox& SourcePicture(Side side);
    PictureBox& FrameCanvas() noexcept { return m_frameCanvas; }
    PictureBox& SaveCanvas() noexcept { return m_saveCanvas; }
    ProgressBar& Progress() noexcept { return m_progressBar; }
    FileDialogState& FileDialog() noexcept { return m_fileDialog; }

private:
    struct CreateRun;

    void Run(const std::string& handler, std::span<const Step> steps);
    // An OK box with the application title.
    void ShowMessage(const std::string& text);
    void SetPointer(MousePointer pointer);
    void SaveValue(std::string_view key, const std::string& value);
    void CheckNumeric(TextField& field, FocusTarget target);
    // The picture choice shared by StartPictureButton and EndPictureButton.
    std::vector<Step> ChoosePictureSteps(PictureBox& shown, PictureBox& original, PictureBox& other,
                                         void (MainWindowModel::*layout)());
    std::vector<Step> ClearPreviewSteps(PictureBox& shown);
    // Begins the chosen output for the run (see the create command).
    bool BeginOutput(CreateRun& run);
    // Removes what a stopped create command left and makes the window usable.
    void EndStoppedRun();

    Host& m_host;
    SettingsStore& m_settings;
    avi::CodecChooser& m_codecs;
    std::string m_programFolder;

    std::string m_caption;
    std::string m_appTitle;
    ColorRef m_backColor;
    MousePointer m_pointer = MousePointer::Normal;
    Picture m_mouseIcon;
    bool m_isBusy = false;
    bool m_lastRunStopped = false;
    bool m_ended = false;
    std::vector<StepRecord> m_lastRun;

    CommandButton m_startPictureButton;
    CommandButton m_endPictureButton;
    CommandButton m_createFadeButton;
    CommandButton m_samplePairButton;
    CommandButton m_clearStartButton;
    CommandButton m_clearEndButton;
    Frame m_outputFrame;
    Frame m_frameCountFrame;
    Frame m_fpsFrame;
    Frame m_startPaneCorner;
    Frame m_endPaneCorner;
    TextField m_frameCountField;
    TextField m_fpsField;
    OptionButton m_aviOption;
    OptionButton m_gifOption;
    PictureBox m_startScrollArea;
    PictureBox m_endScrollArea;
    PictureBox m_startPreview;
    PictureBox m_endPreview;
    ScrollBar m_startHorizontalScroll{ScrollBar::Orientation::Horizontal};
    ScrollBar m_startVerticalScroll{ScrollBar::Orientation::Vertical};
    ScrollBar m_endHorizontalScroll{ScrollBar::Orientation::Horizontal};
    ScrollBar m_endVerticalScroll{ScrollBar::Orientation::Vertical};
    PictureBox m_startSource;
    PictureBox m_endSource;
    PictureBox m_frameCanvas;
    PictureBox m_saveCanvas;
    ProgressBar m_progressBar;
    FileDialogState m_fileDialog;
    FormHost m_formHost;

    std::string m_startPath;  // see SourcePath
    std::string m_endPath;
    ControlMesh m_startMesh;
    ControlMesh m_endMesh;
    MeshWarp::Sampling m_sampling = MeshWarp::Sampling::Bilinear;
    FadeTiming m_timing;
    std::optional<OutputFormat> m_outputFormat;
    std::int32_t m_quality = -1;
    // The GIF stage's colour reduction: its tables are made at start-up,
    // its adaptive palette lookup lasts from a run's first frame to its last.
    ColourReducer m_gifReducer;
    DitherMethod m_gifDitherMethod = DitherMethod::Ordered;
    std::unique_ptr<MeshEditor> m_meshEditor;
    bool m_gifOptimize = false;
};

}  // namespace crossmeld
