// The create command: checks the pictures, asks for the output file, makes
// the frame files in the temporary folder and runs the output stage.

#include "app/CreateRun.h"
#include "app/ErrorReport.h"
#include "app/Form1.h"
#include "app/NumericText.h"
#include "base/Error.h"
#include "base/FileRoutines.h"
#include "base/Numeric.h"
#include "base/RunStopped.h"
#include "colour/mDither8bpp.h"
#include "export/HostImportProgress.h"
#include "export/WriteFramesToAvi.h"
#include "export/mAVIImp.h"
#include "formats/LoadPicture.h"
#include "formats/avi/AviFile.h"
#include "formats/gif/GifProgress.h"
#include "formats/gif/cGIF.h"
#include "morph/TransferPixelGrid.h"
#include "morph/modMorphImage.h"

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

std::string Form1::FramePattern() const {
    return m_tempFolder + "/Morph_*.bmp";
}

std::string Form1::FrameFile(std::int32_t index) const {
    return m_tempFolder + "/Morph_" + std::to_string(index) + ".bmp";
}

std::string Form1::TempAviFile() const {
    return m_tempFolder + "/temp.avi";
}

// The GIF output: the frame files become a temporary AVI, the AVI's frames
// are reduced to the palette and imported into the window's GIF document,
// and the document is saved to the chosen file. Continues at 236, except
// after a failed import, which ends the command at once.
std::vector<Step> Form1::GifOutputSteps(CreateRun& run) {
    auto imageCount = [this] { return TextToInt16(m_text1.Text()); };
    auto pump = [this] { m_host.DoEvents(); };
    // clang-format off
    return {
        Do(202, [] { vfw::AVIFileInit(); }),
        Do(204,
           [this, imageCount] {
               AviOutputContext context{m_formHost, m_rawCodec, m_picSave, imageCount, m_tempFolder};
               WriteFramesToAvi(context, TempAviFile(), TextToInt16(m_txtFps.Text()));
           }),
        Do(206, [] { vfw::AVIFileExit(); }),
        Do(208, [this] { m_prbDetecting.SetValue(0); }),
        Do(210, [this] { mDither8bpp::SetDitherMethod(m_gifDitherMethod); }),
        Do(212,
           [this] {
               if (!m_gifDoc) m_gifDoc = std::make_shared<cGIF>();
               m_gifDoc->Destroy();
           }),
        If(214,
           [this] {
               HostImportProgress progress(m_formHost);
               return !ImportAviToGif(TempAviFile(), *m_gifDoc, progress);
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

void Form1::SetGifReduction(std::int32_t paletteMode, std::int32_t ditherMethod) {
    mDither8bpp::SetPaletteMode(paletteMode);
    m_gifDitherMethod = ditherMethod;
}

void Form1::PushButton3_Click() {
    CreateRun run;
    auto imageCount = [this] { return TextToInt16(m_text1.Text()); };
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
        If(104, [this] { return HasPicture(m_picOrgStart) && HasPicture(m_picOrgEnd); }, Flow::Next(),
            Flow::GoTo(250)),
        If(106,
            [this] {
                return static_cast<float>(m_picOrgEnd.ScaleWidth()) == static_cast<float>(m_picOrgStart.ScaleWidth()) &&
                       static_cast<float>(m_picOrgEnd.ScaleHeight()) == static_cast<float>(m_picOrgStart.ScaleHeight());
            },
            Flow::Next(), Flow::GoTo(248)),
        Do(108, [this] { m_commonDialog1.FileName.clear(); }),
        Do(110, [this] { m_commonDialog1.DialogTitle = "Select Image"; }),
        If(112, [this] { return m_option1.Value(); }, Flow::Next(), Flow::GoTo(116)),
        Do(114, [this] { m_commonDialog1.Filter = kAviFilter; }, Flow::GoTo(120)),
        If(116, [this] { return m_option2.Value(); }, Flow::Next(), Flow::GoTo(120)),
        Do(118, [this] { m_commonDialog1.Filter = kGifFilter; }),
        // The fade may not replace one of its own pictures: the dialog asks
        // for another name.
        Do(120,
           [this] {
               m_commonDialog1.Protected.clear();
               for (int side : {0, 1})
                   if (!SourcePath(side).empty()) m_commonDialog1.Protected.push_back(SourcePath(side));
               m_formHost.ShowSave(m_commonDialog1);
           }),
        If(122, [this] { return m_commonDialog1.FileName.empty(); }, Flow::GoTo(252), Flow::Next()),
        Do(124, [&] { run.OutputPath = m_commonDialog1.FileName; }),
        Do(126, [this] { SetPointer(MousePointer::Hourglass); }),
        Do(130, [&] { DeleteFiles(FramePattern(), pump); }),
        Do(132, [this] { m_morphT.SetPicture(Picture()); }),
        Do(134, [this] { m_morphT.SetWidth(m_poriginal1.Width()); }),
        Do(136, [this] { m_morphT.SetHeight(m_poriginal1.Height()); }),
        Do(138, [&] { modMorphImage::TriangulateMesh(m_startMesh, run.StartList); }),
        Do(140, [&] { modMorphImage::TriangulateMesh(m_endMesh, run.EndList); }),
        Do(142, [this] { m_picOrgStart.Cls(); }),
        Do(144, [this] { m_picOrgEnd.Cls(); }),
        Do(146, [&] { TransferPixelGrid(m_poriginal1, run.StartPixels, 1); }),
        Do(148, [&] { TransferPixelGrid(m_poriginal2, run.EndPixels, 1); }),
        Do(150, [this] { m_prbDetecting.SetMax(100); }),
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
                 m_prbDetecting.SetValue((run.Index + 1.0) / static_cast<double>(imageCount()) * 100.0);
                 return Flow::Next();
             },
             Flow::GoTo(238)},
        EndsRunOnFailure(Do(156,
           [&] {
               modMorphImage::InterpolateTriangles(run.StartList, run.EndList, run.FrameList, run.Index, run.LastIndex);
           })),
        EndsRunOnFailure(Do(158, [&] { modMorphImage::PaintTriangleIds(*m_morphT.hDC(), run.FrameList); })),
        // The capture follows the painting: the blend reads from it which
        // triangle covers each pixel.
        EndsRunOnFailure(Do(160, [&] { TransferPixelGrid(m_morphT, run.FramePixels, 1); })),
        EndsRunOnFailure(Do(162,
           [&] {
               run.Warp.WarpBlendFrame(run.StartPixels, run.StartList, run.EndPixels, run.EndList,
                                             run.FramePixels, run.FrameList, weight());
           })),
        EndsRunOnFailure(Do(164, [&] { TransferPixelGrid(m_morphT, run.FramePixels, 2); })),
        EndsRunOnFailure(Do(178, [&] { SavePicture(m_morphT.Image(), FrameFile(run.Index)); })),
        EndsRunOnFailure(Do(180, [&] { TransferPixelGrid(m_morphT, run.FramePixels, 3); })),
        EndsRunOnFailure(Do(182, [this] { m_morphT.Refresh(); })),
        EndsRunOnFailure(If(184,
            [&] {
                run.Index = CheckedAdd(run.Index, 1);
                return run.Index <= run.LastIndex;
            },
            Flow::GoTo(154), Flow::Next())),
        Do(186, [&] { TransferPixelGrid(m_poriginal1, run.StartPixels, 3); }),
        Do(188, [&] { TransferPixelGrid(m_poriginal2, run.EndPixels, 3); }),
        Do(190, [this] { m_prbDetecting.SetValue(0); }),
        // The AVI output.
        If(192, [this] { return m_option1.Value(); }, Flow::Next(), Flow::GoTo(200)),
        Do(194, [] { vfw::AVIFileInit(); }),
        Do(196,
           [&] {
               AviOutputContext context{m_formHost, m_codecs, m_picSave, imageCount, m_tempFolder};
               WriteFramesToAvi(context, run.OutputPath, TextToInt16(m_txtFps.Text()));
           }),
        Do(198, [] { vfw::AVIFileExit(); }, Flow::GoTo(236)),
        // The GIF output.
        If(200, [this] { return m_option2.Value(); }, Flow::Next(), Flow::GoTo(236)),
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
        Do(246, [this] { m_prbDetecting.SetValue(0); }, Flow::GoTo(252)),
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

void Form1::EndStoppedRun() {
    // The run's own objects (pixel grids, the output's part file) are gone
    // with the stack; its files in the temporary folder go here. No events
    // run any more: the stop was asked for.
    DeleteFiles(FramePattern(), nullptr);
    DeleteFiles(TempAviFile(), nullptr);
    if (m_gifDoc) m_gifDoc->Destroy();
    m_lastRunStopped = true;
    m_prbDetecting.SetValue(0);
    SetPointer(MousePointer::Normal);
    m_isBusy = false;
}

}  // namespace crossmeld
