// Choosing the two pictures: the load commands, the sample pair, the two
// Clear commands, the control meshes and the pane layouts.

#include <memory>

#include "app/AppRoutines.h"
#include "app/MainWindowModel.h"
#include "app/MeshEditor.h"
#include "base/Numeric.h"
#include "formats/LoadPicture.h"
#include "morph/MeshOverlay.h"
#include "morph/MeshWarp.h"

namespace crossmeld {

namespace {

constexpr const char* kSelectImageTitle = "Select Image";
constexpr const char* kPictureFilter =
    "All Supported Image (*.bmp;*.dib;*.jpg;*.jpeg;*.gif;*.wmf;*.emf)|*.bmp;*.dib;*.jpg;*.jpeg;*.gif;*.wmf;*.emf";

bool HasPicture(const PictureBox& box) {
    return box.Picture().Handle() != 0;
}

// The dialog returns several chosen files as one text, separated by NULs.
std::vector<std::string> SplitAtNul(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t nul = text.find('\0', start);
        pieces.push_back(text.substr(start, nul == std::string::npos ? std::string::npos : nul - start));
        if (nul == std::string::npos) break;
        start = nul + 1;
    }
    return pieces;
}

// Loads a picture and passes each warning of its decoder to the host as
// "FILE: warning", FILE as it was given.
Picture LoadAndWarn(Host& host, const std::string& path) {
    LoadedPicture loaded = LoadPictureWithWarnings(path);
    for (const std::string& warning : loaded.warnings) host.Warn(path + ": " + warning);
    return std::move(loaded.picture);
}

}  // namespace

const std::string& MainWindowModel::SourcePath(Side side) const {
    return side == Side::Start ? m_startPath : m_endPath;
}

std::vector<Step> MainWindowModel::ChoosePictureSteps(PictureBox& shown, PictureBox& original, PictureBox& other,
                                            void (MainWindowModel::*layout)()) {
    // The run's own data lives as long as the steps that use it.
    auto pieces = std::make_shared<std::vector<std::string>>();
    auto name = std::make_shared<std::string>();
    FileDialogState& dialog = m_fileDialog;
    std::string& source = &original == &m_startSource ? m_startPath : m_endPath;
    // clang-format off
    return {
        Do(100, [&dialog] { dialog.FileName.clear(); }),
        Do(102, [&dialog] { dialog.DialogTitle = kSelectImageTitle; }),
        Do(104, [&dialog] { dialog.Filter = kPictureFilter; }),
        Do(106, [this, &dialog] { m_formHost.ShowOpen(dialog); }),
        If(108, [&dialog] { return dialog.FileName.empty(); }, Flow::Return(), Flow::Next()),
        Do(110, [&dialog, pieces] { *pieces = SplitAtNul(dialog.FileName); }),
        If(112, [pieces] { return pieces->size() > 1; }, Flow::GoTo(128), Flow::Next()),
        Do(114, [pieces, name] { *name = pieces->at(0); }),
        Do(116, [this, &shown, name] { shown.SetPicture(LoadAndWarn(m_formHost, *name)); }),
        Do(118, [&original, &source, name] { original.SetPicture(LoadPicture(*name)); source = *name; }),
        Do(120, [&shown] { shown.SetAutoSize(true); }),
        Do(122, [this, layout] { (this->*layout)(); }),
        If(124, [&other] { return !HasPicture(other); }, Flow::Return(), Flow::Next()),
        Do(126, [this] { ResetControlMeshes(); }, Flow::Return()),
        Do(128, [this] { ShowMessage("Select one picture only."); }, Flow::Return()),
    };
    // clang-format on
}

void MainWindowModel::ChooseStartPicture() {
    Run("PushButton1_Click", ChoosePictureSteps(m_startPreview, m_startSource, m_endPreview, &MainWindowModel::LayoutStartPane));
}

void MainWindowModel::ChooseEndPicture() {
    Run("PushButton2_Click", ChoosePictureSteps(m_endPreview, m_endSource, m_startPreview, &MainWindowModel::LayoutEndPane));
}

void MainWindowModel::LoadSamplePair() {
    std::string startPath, endPath;
    // clang-format off
    const std::vector<Step> steps{
        Do(100, [&] { startPath = m_programFolder + std::string(kSampleStart); }),
        Do(102, [&] { m_startPreview.SetPicture(LoadAndWarn(m_formHost, startPath)); }),
        Do(104, [&] { m_startSource.SetPicture(LoadPicture(startPath)); m_startPath = startPath; }),
        Do(106, [this] { m_startPreview.SetAutoSize(true); }),
        Do(108, [this] { LayoutStartPane(); }),
        If(110, [this] { return HasPicture(m_endPreview); }, Flow::Next(), Flow::GoTo(114)),
        Do(112, [this] { ResetControlMeshes(); }),
        Do(114, [&] { endPath = m_programFolder + std::string(kSampleEnd); }),
        Do(116, [&] { m_endPreview.SetPicture(LoadAndWarn(m_formHost, endPath)); }),
        Do(118, [&] { m_endSource.SetPicture(LoadPicture(endPath)); m_endPath = endPath; }),
        Do(120, [this] { m_endPreview.SetAutoSize(true); }),
        Do(122, [this] { LayoutEndPane(); }),
        If(124, [this] { return HasPicture(m_startPreview); }, Flow::Next(), Flow::GoTo(128)),
        Do(126, [this] { ResetControlMeshes(); }),
        Do(128,
           [this] {
               ShowMessage(
                   "Pictures must have the similar height and width dimensions for this software to work. "
                   "Look at these examples.");
           }),
    };
    // clang-format on
    Run("PushButton4_Click", steps);
}

std::vector<Step> MainWindowModel::ClearPreviewSteps(PictureBox& shown) {
    // Only the shown picture changes: the full-size copy, the layout and the
    // meshes stay, and the blank counts as a picture. The side no longer
    // shows a file of the user's, so its source path is forgotten.
    auto path = std::make_shared<std::string>();
    std::string& source = &shown == &m_startPreview ? m_startPath : m_endPath;
    // clang-format off
    return {
        Do(100, [this, path, &source] { source.clear(); *path = m_programFolder + std::string(kSampleBlank); }),
        Do(102, [&shown, path] { shown.SetPicture(LoadPicture(*path)); }),
    };
    // clang-format on
}

void MainWindowModel::ClearStartPicture() {
    Run("PushButton5_Click", ClearPreviewSteps(m_startPreview));
}

void MainWindowModel::ClearEndPicture() {
    Run("PushButton6_Click", ClearPreviewSteps(m_endPreview));
}

void MainWindowModel::ResetControlMeshes() {
    m_startMesh.LineColor = 0xFFFFFF;
    m_startMesh.PointColor = 255;
    m_startMesh.Columns = kDefaultMeshCells;
    m_startMesh.Rows = kDefaultMeshCells;
    m_startMesh.PointRadius = 5;
    m_startMesh.Width = ToInt32(m_startPreview.ScaleWidth());
    m_startMesh.Height = ToInt32(m_startPreview.ScaleHeight());
    // The end mesh takes the start preview's size too; the create command's
    // size check refuses pictures that differ.
    m_endMesh = m_startMesh;
    MeshWarp::BuildMeshGrid(m_startMesh);
    MeshWarp::DrawMeshOverlay(m_startPreview, m_startMesh, 1);
    MeshWarp::BuildMeshGrid(m_endMesh);
    MeshWarp::DrawMeshOverlay(m_endPreview, m_endMesh, 1);
    // Meshes edited earlier for this pair come back (and are drawn again).
    m_meshEditor->PicturesChanged();
}

MeshPoints MainWindowModel::Meshes() const {
    return MeshPointsOf(m_startMesh, m_endMesh);
}

void MainWindowModel::SetMeshes(const MeshPoints& mesh) {
    CheckMeshSize(mesh, ToInt32(m_startPreview.ScaleWidth()), ToInt32(m_startPreview.ScaleHeight()));
    ApplyMeshPoints(mesh, m_startMesh, m_endMesh);
    RedrawMeshOverlays();
}

void MainWindowModel::RedrawMeshOverlays() {
    MeshWarp::DrawMeshOverlay(m_startPreview, m_startMesh, 1);
    MeshWarp::DrawMeshOverlay(m_endPreview, m_endMesh, 1);
}

void MainWindowModel::LayoutStartPane() {
    LayoutPane(PreviewPane{m_startScrollArea, m_startPreview, m_startHorizontalScroll, m_startVerticalScroll, m_startPaneCorner});
}

void MainWindowModel::LayoutEndPane() {
    LayoutPane(PreviewPane{m_endScrollArea, m_endPreview, m_endHorizontalScroll, m_endVerticalScroll, m_endPaneCorner});
}

}  // namespace crossmeld
