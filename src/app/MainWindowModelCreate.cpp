// The create command: checks the pictures, asks for the output file, and
// hands each frame the engine makes straight to the output's sink, which
// encodes it on a second thread while the engine makes the next one.

#include <optional>

#include "app/CreateRun.h"
#include "app/ErrorReport.h"
#include "app/MainWindowModel.h"
#include "app/NumericText.h"
#include "base/Error.h"
#include "base/FileRoutines.h"
#include "base/Numeric.h"
#include "base/RunStopped.h"
#include "export/SinkThread.h"
#include "morph/PixelTransfer.h"
#include "morph/MeshWarp.h"

namespace crossmeld {

namespace {

// The option's own format first, then the newer ones of its kind.
constexpr const char* kAviFilter =
    "AVI Files (*.avi)|*.avi|MP4 Video, H.264 (*.mp4)|*.mp4|WebM Video, VP9 (*.webm)|*.webm";
constexpr const char* kGifFilter =
    "Animated GIF Files (*.gif)|*.gif|Animated WebP (*.webp)|*.webp|Animated PNG (*.png;*.apng)|*.png;*.apng";

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

void MainWindowModel::CreateFade() {
    CreateRun run;
    // The frame count is read once, when the run checks it; text that cannot
    // be read is read again (and reported) by the step that needs the count.
    std::optional<std::int16_t> count;
    auto imageCount = [&] { return count ? *count : TextToInt16(m_frameCountField.Text()); };
    // A count below 2 has no weight for its last frame; such counts are
    // refused before any work. Text that cannot be read passes here.
    auto countRefused = [&] {
        try {
            count = TextToInt16(m_frameCountField.Text());
            return *count < 2;
        } catch (const Error&) {
            return false;
        }
    };
    // Frames fade from the starting picture (weight 0) to the ending one
    // (weight 1); the weight is divided in double precision, then held in
    // single precision.
    auto weight = [&run] { return FrameWeight(run.Index, run.LastIndex, run.Timing.ease); };
    // A frame the output could not write ends the run with the output's
    // message; the file goes and an older one at the path stays.
    auto writeFailed = [this, &run] {
        run.Pipeline->Abort();
        ShowMessage(run.WriteFailedMessage);
        return Flow::GoTo(242);
    };

    // clang-format off
    const std::vector<Step> checks{
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
    };
    const std::vector<Step> askForOutput{
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
    };
    const std::vector<Step> prepare{
        Do(132, [this] { m_frameCanvas.SetPicture(Picture()); }),
        Do(134, [this] { m_frameCanvas.SetWidth(m_startSource.Width()); }),
        Do(136, [this] { m_frameCanvas.SetHeight(m_startSource.Height()); }),
        Do(138, [&] { MeshWarp::TriangulateMesh(m_startMesh, run.StartList); }),
        Do(140,
           [&] {
               MeshWarp::TriangulateMesh(m_endMesh, run.EndList);
               // Equal meshes make the plain cross-dissolve, whatever their
               // points and the sampling: the regular grid's, to the byte.
               if (run.StartList == run.EndList) {
                   ControlMesh regular = m_startMesh;
                   regular.Columns = kDefaultMeshCells;
                   regular.Rows = kDefaultMeshCells;
                   MeshWarp::BuildMeshGrid(regular);
                   MeshWarp::TriangulateMesh(regular, run.StartList);
                   run.EndList = run.StartList;
               } else {
                   run.Bilinear = m_sampling == MeshWarp::Sampling::Bilinear;
               }
           }),
        Do(142, [this] { m_startPreview.Cls(); }),
        Do(144, [this] { m_endPreview.Cls(); }),
        Do(146, [&] { ReadPixels(m_startSource, run.StartPixels); }),
        Do(148, [&] { ReadPixels(m_endSource, run.EndPixels); }),
        Do(150, [this] { m_progressBar.SetMax(100); }),
    };
    // The loop over i = 0 .. N - 1. A count that cannot be read ends the run
    // here, as a frame that cannot be made does (238, after its one report:
    // the frames after it would fail the same way).
    const std::vector<Step> frames{
        EndsRunOnFailure(If(152,
            [&] {
                run.Index = 0;
                run.Shown = 0;
                run.LastIndex = CheckedInt16(static_cast<std::int32_t>(imageCount()) - 1);
                run.Timing = m_timing;
                run.ShownCount = OutputFrameCount(run.LastIndex + 1, run.Timing.bounce);
                return run.Index <= run.LastIndex;
            },
            Flow::Next(), Flow::GoTo(186))),
        // The output begins once the count is known: its file is made beside
        // the target and, for an AVI, the codec chosen. A rate that cannot be
        // read is reported here, and the run ends as after any output that
        // could not begin.
        Step{153, [&] { return BeginOutput(run) ? Flow::Next() : Flow::GoTo(242); }, Flow::GoTo(242)},
        Step{154,
             [&] {
                 // The window stays usable between frames; a stop asked for
                 // there (Cancel, a close, a signal) ends the run here.
                 m_host.DoEvents();
                 m_host.CheckStop();
                 m_progressBar.SetValue((run.Shown + 1.0) / run.ShownCount * 100.0);
                 return Flow::Next();
             },
             Flow::GoTo(238)},
        EndsRunOnFailure(Do(156,
           [&] {
               MeshWarp::InterpolateTrianglesAt(run.StartList, run.EndList, run.FrameList, weight());
           })),
        EndsRunOnFailure(Do(158, [&] { MeshWarp::PaintTriangleIds(*m_frameCanvas.Context(), run.FrameList); })),
        // The capture follows the painting: the blend reads from it which
        // triangle covers each pixel.
        EndsRunOnFailure(Do(160, [&] { ReadPixels(m_frameCanvas, run.FramePixels); })),
        EndsRunOnFailure(Do(162,
           [&] {
               if (run.Bilinear)
                   MeshWarp::BilinearWarpBlendFrame(run.StartPixels, run.StartList, run.EndPixels, run.EndList,
                                                    run.FramePixels, run.FrameList, weight());
               else
                   run.Warp.WarpBlendFrame(run.StartPixels, run.StartList, run.EndPixels, run.EndList,
                                           run.FramePixels, run.FrameList, weight());
           })),
        EndsRunOnFailure(Do(164, [&] { WritePixels(m_frameCanvas, run.FramePixels); })),
        // The frame goes to the output.
        Step{178,
             [&] {
                 const PixelGrid& grid = run.FramePixels;
                 const std::size_t bytes = 4 * static_cast<std::size_t>(grid.GridWidth()) *
                                           static_cast<std::size_t>(grid.GridHeight());
                 if (grid.Bits.size() != bytes) throw Error(ErrorKind::SubscriptOutOfRange);
                 if (!run.Pipeline) return Flow::Next();
                 try {
                     // The grid is cut to one byte at the next step: its
                     // memory goes to the output as it is.
                     // The start picture's frame comes first, the end
                     // picture's once (in the middle, there and back).
                     const double hold = (run.Shown == 0 ? run.Timing.holdStartSeconds : 0.0) +
                                         (run.Index == run.LastIndex ? run.Timing.holdEndSeconds : 0.0);
                     run.Pipeline->WriteTaking(run.FramePixels.Bits, grid.GridWidth(), grid.GridHeight(), hold);
                 } catch (const OutputWriteFailed&) {
                     return writeFailed();
                 }
                 return Flow::Next();
             },
             Flow::GoTo(238)},
        EndsRunOnFailure(Do(180, [&] { ReleasePixels(run.FramePixels); })),
        EndsRunOnFailure(Do(182, [this] { m_frameCanvas.Refresh(); })),
        EndsRunOnFailure(If(184,
            [&] {
                run.Shown = CheckedAdd(run.Shown, 1);
                if (run.Shown >= run.ShownCount) return false;
                run.Index = EngineFrameAt(run.Shown, run.LastIndex + 1, run.Timing.bounce);
                return true;
            },
            Flow::GoTo(154), Flow::Next())),
        Do(186, [&] { ReleasePixels(run.StartPixels); }),
        Do(188, [&] { ReleasePixels(run.EndPixels); }),
        Do(190, [this] { m_progressBar.SetValue(0); }),
        // The output completes and takes the target's place.
        Step{192,
             [&] {
                 if (!run.Pipeline) return Flow::GoTo(242);
                 try {
                     run.Pipeline->Finish();
                 } catch (const OutputWriteFailed&) {
                     return writeFailed();
                 }
                 return Flow::GoTo(242);
             },
             Flow::GoTo(238)},
    };
    const std::vector<Step> ending{
        // After a frame that could not be made: no output is written.
        Do(238, [&] { if (run.Pipeline) run.Pipeline->Abort(); }, Flow::GoTo(244)),
        Do(242, [this] { ShowMessage("Done."); }),
        Do(244, [this] { SetPointer(MousePointer::Normal); }),
        Do(246, [this] { m_progressBar.SetValue(0); }, Flow::GoTo(252)),
        Do(248, [this] { ShowMessage(SizeMismatchMessage()); }, Flow::GoTo(252)),
        Do(250, [this] { ShowMessage(NoPicturesMessage()); }),
        Do(252, [this] { m_isBusy = false; }, Flow::Return()),
    };
    // clang-format on
    std::vector<Step> steps;
    for (const auto* part : {&checks, &askForOutput, &prepare, &frames, &ending})
        steps.insert(steps.end(), part->begin(), part->end());
    m_lastRunStopped = false;
    try {
        Run("PushButton3_Click", steps);
    } catch (const RunStopped&) {
        EndStoppedRun();
    }
}

void MainWindowModel::EndStoppedRun() {
    // The run's own objects (pixel grids, the output's part file) are gone
    // with the stack. No events run any more: the stop was asked for.
    m_lastRunStopped = true;
    m_progressBar.SetValue(0);
    SetPointer(MousePointer::Normal);
    m_isBusy = false;
}

}  // namespace crossmeld
