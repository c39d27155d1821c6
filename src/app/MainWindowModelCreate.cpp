// The create command: checks the pictures, asks for the output file, makes
// the frame files in the temporary folder and runs the output stage.

#include "app/CreateRun.h"
#include "app/ErrorReport.h"
#include "app/MainWindowModel.h"
#include "app/NumericText.h"
#include "base/Error.h"
#include "base/FileRoutines.h"
#include "base/Numeric.h"
#include "base/RunStopped.h"
#include "export/HostImportProgress.h"
#include "export/AviExport.h"
#include "export/GifExport.h"
#include "formats/LoadPicture.h"
#include "formats/gif/GifProgress.h"
#include "formats/gif/GifDocument.h"
#include "morph/PixelTransfer.h"
#include "morph/MeshWarp.h"

namespace crossmeld {

namespace {

constexpr const char* kAviFilter = "AVI Files (*.avi)|*.avi";
constexpr const char* kGifFilter = "Animated GIF Files (*.gif)|*.gif";

bool HasPicture(const PictureBox& box) {
    return box.Picture().Handle() != 0;
}

std::string SizeMismatchMessage() {
    return "The two pictures are not of the same size.\r\n\r\nPictures must be the same size to morph. "
           "Please contact " +
           std::string(kSupportAddress) + " if you have any questions.";
}

// A step of the frame loop: a failure ends the run (at 238) after its report.
Step EndsRunOnFailure(Step step) {
    step.onFailure = Flow::GoTo(238);
    return step;
}

std::string NoPicturesMessage() {
    return "Please select two pictures to morph. Please contact " + std::string(kSupportAddress) +
           " if you have any questions.";
}

}  // namespace

std::string MainWindowModel::FramePattern() const {
    return m_tempFolder + "/Morph_*.bmp";
}

std::string MainWindowModel::FrameFile(std::int32_t index) const {
    return m_tempFolder + "/Morph_" + std::to_string(index) + ".bmp";
}

std::string MainWindowModel::TempAviFile() const {
    return m_tempFolder + "/temp.avi";
}

// The GIF output: the frame files become a temporary AVI, the AVI's frames
// are reduced to the palette and imported into the window's GIF document,
// and the document is saved to the chosen file. Continues at 236, except
// after a failed import, which ends the command at once.
std::vector<Step> MainWindowModel::GifOutputSteps(CreateRun& run) {
    auto imageCount = [this] { return TextToInt16(m_frameCountField.Text()); };
    auto pump = [this] { m_host.DoEvents(); };
    // clang-format off
    return {
        Do(202, [] {}),  // nothing to set up: the line keeps its number
        Do(204,
           [this, imageCount] {
               AviOutputContext context{m_formHost, m_rawCodec, m_saveCanvas, imageCount, m_tempFolder};
               ExportAvi(context, TempAviFile(), TextToInt16(m_fpsField.Text()));
           }),
        Do(206, [] {}),
        Do(208, [this] { m_progressBar.SetValue(0); }),
        Do(210, [this] { m_gifReducer.SetDitherMethod(m_gifDitherMethod); }),
        Do(212,
           [this] {
               if (!m_gifDoc) m_gifDoc = std::make_shared<GifDocument>();
               m_gifDoc->Destroy();
           }),
        If(214,
           [this] {
               HostImportProgress progress(m_formHost);
               return !ImportAviIntoGif(TempAviFile(), *m_gifDoc, progress, m_gifReducer);
           },
           Flow::Next(), Flow::GoTo(220)),
        Do(216, [this, pump] { DeleteFiles(TempAviFile(), pump); }),
        Do(218, [this] { ShowMessage("Unexpected error creating GIF file."); }, Flow::GoTo(244)),
        If(220, [this] { return m_gifDoc->FramesCount() == 0; }, Flow::Next(), Flow::GoTo(224)),
        Do(222, [this] { ShowMessage("Nothing to save"); }, Flow::GoTo(234)),
        Do(224, [this] { m_host.DoEvents(); }),
        Do(226, [this] { SetPointer(MousePointer::Hourglass); }),
        If(228,
           [this, &run, pump] {
               HostGifProgress progress(m_formHost);
               return !m_gifDoc->Save(run.OutputPath, progress, pump);
           },
           Flow::Next(), Flow::GoTo(234)),
        Do(230, [this] { SetPointer(MousePointer::Normal); }),
        Do(232, [this] { ShowMessage("Unexpected error saving GIF file."); }),
        Do(234, [this, pump] { DeleteFiles(TempAviFile(), pump); }),
    };
    // clang-format on
}

void MainWindowModel::SetGifReduction(PaletteMode paletteMode, DitherMethod ditherMethod) {
    m_gifReducer.SetPaletteMode(paletteMode);
    m_gifDitherMethod = ditherMethod;
}

void MainWindowModel::CreateFade() {
    CreateRun run;
    auto imageCount = [this] { return TextToInt16(m_frameCountField.Text()); };
    auto pump = [this] { m_host.DoEvents(); };
    // A count below 2 has no weight for its last frame; such counts are
    // refused before any work. Text that cannot be read passes here and is
    // reported by the steps that read it.
    auto countRefused = [&] {
        try {
            return imageCount() < 2;
        } catch (const Error&) {
            return false;
        }
    };
    // Frames fade from the starting picture (weight 0) to the ending one
    // (weight 1); the weight is divided in double precision, then held in
    // single precision.
    auto weight = [&run] {
        if (run.LastIndex == 0) throw Error(ErrorKind::DivisionByZero);
        return ToSingle(static_cast<double>(run.Index) / static_cast<double>(run.LastIndex));
    };

    // clang-format off
    std::vector<Step> steps{
        If(100, [this] { return m_isBusy; }, Flow::Return(), Flow::Next()),
        Do(102, [this] { m_isBusy = true; }),
        Step{102,
             [&] {
                 if (!countRefused()) return Flow::Next();
                 ShowMessage("The number of frames must be 2 or more.");
                 return Flow::GoTo(252);
             },
             Flow::Next()},
        If(104, [this] { return HasPicture(m_startPreview) && HasPicture(m_endPreview); }, Flow::Next(),
            Flow::GoTo(250)),
        If(106,
            [this] {
                return static_cast<float>(m_endPreview.ScaleWidth()) == static_cast<float>(m_startPreview.ScaleWidth()) &&
                       static_cast<float>(m_endPreview.ScaleHeight()) == static_cast<float>(m_startPreview.ScaleHeight());
            },
            Flow::Next(), Flow::GoTo(248)),
        Do(108, [this] { m_fileDialog.FileName.clear(); }),
        Do(110, [this] { m_fileDialog.DialogTitle = "Select Image"; }),
        If(112, [this] { return m_aviOption.Value(); }, Flow::Next(), Flow::GoTo(116)),
        Do(114, [this] { m_fileDialog.Filter = kAviFilter; }, Flow::GoTo(120)),
        If(116, [this] { return m_gifOption.Value(); }, Flow::Next(), Flow::GoTo(120)),
        Do(118, [this] { m_fileDialog.Filter = kGifFilter; }),
        // The fade may not replace one of its own pictures: the dialog asks
        // for another name.
        Do(120,
           [this] {
               m_fileDialog.Protected.clear();
               for (Side side : {Side::Start, Side::End})
                   if (!SourcePath(side).empty()) m_fileDialog.Protected.push_back(SourcePath(side));
               m_formHost.ShowSave(m_fileDialog);
           }),
        If(122, [this] { return m_fileDialog.FileName.empty(); }, Flow::GoTo(252), Flow::Next()),
        Do(124, [&] { run.OutputPath = m_fileDialog.FileName; }),
        Do(126, [this] { SetPointer(MousePointer::Hourglass); }),
        Do(130, [&] { DeleteFiles(FramePattern(), pump); }),
        Do(132, [this] { m_frameCanvas.SetPicture(Picture()); }),
        Do(134, [this] { m_frameCanvas.SetWidth(m_startSource.Width()); }),
        Do(136, [this] { m_frameCanvas.SetHeight(m_startSource.Height()); }),
        Do(138, [&] { MeshWarp::TriangulateMesh(m_startMesh, run.StartList); }),
        Do(140, [&] { MeshWarp::TriangulateMesh(m_endMesh, run.EndList); }),
        Do(142, [this] { m_startPreview.Cls(); }),
        Do(144, [this] { m_endPreview.Cls(); }),
        Do(146, [&] { ReadPixels(m_startSource, run.StartPixels); }),
        Do(148, [&] { ReadPixels(m_endSource, run.EndPixels); }),
        Do(150, [this] { m_progressBar.SetMax(100); }),
        // The loop over i = 0 .. N - 1. A count that cannot be read ends the
        // run here, as a frame that cannot be made does.
        EndsRunOnFailure(If(152,
            [&] {
                run.Index = 0;
                run.LastIndex = CheckedInt16(static_cast<std::int32_t>(imageCount()) - 1);
                return run.Index <= run.LastIndex;
            },
            Flow::Next(), Flow::GoTo(186))),
        // The loop body. A frame that cannot be made ends the run after its
        // one report (238): the frames after it would fail the same way.
        Step{154,
             [&] {
                 m_host.CheckStop();
                 m_progressBar.SetValue((run.Index + 1.0) / static_cast<double>(imageCount()) * 100.0);
                 return Flow::Next();
             },
             Flow::GoTo(238)},
        EndsRunOnFailure(Do(156,
           [&] {
               MeshWarp::InterpolateTriangles(run.StartList, run.EndList, run.FrameList, run.Index, run.LastIndex);
           })),
        EndsRunOnFailure(Do(158, [&] { MeshWarp::PaintTriangleIds(*m_frameCanvas.Context(), run.FrameList); })),
        // The capture follows the painting: the blend reads from it which
        // triangle covers each pixel.
        EndsRunOnFailure(Do(160, [&] { ReadPixels(m_frameCanvas, run.FramePixels); })),
        EndsRunOnFailure(Do(162,
           [&] {
               run.Warp.WarpBlendFrame(run.StartPixels, run.StartList, run.EndPixels, run.EndList,
                                             run.FramePixels, run.FrameList, weight());
           })),
        EndsRunOnFailure(Do(164, [&] { WritePixels(m_frameCanvas, run.FramePixels); })),
        EndsRunOnFailure(Do(178, [&] { SavePicture(m_frameCanvas.Image(), FrameFile(run.Index)); })),
        EndsRunOnFailure(Do(180, [&] { ReleasePixels(run.FramePixels); })),
        EndsRunOnFailure(Do(182, [this] { m_frameCanvas.Refresh(); })),
        EndsRunOnFailure(If(184,
            [&] {
                run.Index = CheckedAdd(run.Index, 1);
                return run.Index <= run.LastIndex;
            },
            Flow::GoTo(154), Flow::Next())),
        Do(186, [&] { ReleasePixels(run.StartPixels); }),
        Do(188, [&] { ReleasePixels(run.EndPixels); }),
        Do(190, [this] { m_progressBar.SetValue(0); }),
        // The AVI output.
        If(192, [this] { return m_aviOption.Value(); }, Flow::Next(), Flow::GoTo(200)),
        Do(194, [] {}),  // nothing to set up: the line keeps its number
        Do(196,
           [&] {
               AviOutputContext context{m_formHost, m_codecs, m_saveCanvas, imageCount, m_tempFolder};
               ExportAvi(context, run.OutputPath, TextToInt16(m_fpsField.Text()));
           }),
        Do(198, [] {}, Flow::GoTo(236)),
        // The GIF output.
        If(200, [this] { return m_gifOption.Value(); }, Flow::Next(), Flow::GoTo(236)),
    };
    // clang-format on
    for (Step& step : GifOutputSteps(run)) steps.push_back(std::move(step));
    // clang-format off
    const std::vector<Step> ending{
        Do(236, [&] { DeleteFiles(FramePattern(), pump); }, Flow::GoTo(242)),
        // After a frame that could not be made: its files go, no output is written.
        Do(238, [&] { DeleteFiles(FramePattern(), pump); }, Flow::GoTo(244)),
        Do(242, [this] { ShowMessage("Done."); }),
        Do(244, [this] { SetPointer(MousePointer::Normal); }),
        Do(246, [this] { m_progressBar.SetValue(0); }, Flow::GoTo(252)),
        Do(248, [this] { ShowMessage(SizeMismatchMessage()); }, Flow::GoTo(252)),
        Do(250, [this] { ShowMessage(NoPicturesMessage()); }),
        Do(252, [this] { m_isBusy = false; }, Flow::Return()),
    };
    // clang-format on
    steps.insert(steps.end(), ending.begin(), ending.end());
    m_lastRunStopped = false;
    try {
        Run("PushButton3_Click", steps);
    } catch (const RunStopped&) {
        EndStoppedRun();
    }
}

void MainWindowModel::EndStoppedRun() {
    // The run's own objects (pixel grids, the output's part file) are gone
    // with the stack; its files in the temporary folder go here. No events
    // run any more: the stop was asked for.
    DeleteFiles(FramePattern(), nullptr);
    DeleteFiles(TempAviFile(), nullptr);
    if (m_gifDoc) m_gifDoc->Destroy();
    m_lastRunStopped = true;
    m_progressBar.SetValue(0);
    SetPointer(MousePointer::Normal);
    m_isBusy = false;
}

}  // namespace crossmeld
