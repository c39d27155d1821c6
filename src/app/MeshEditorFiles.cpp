// Opening and saving mesh files from the window.

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>

#include "app/MeshEditor.h"
#include "base/ReplacingFile.h"

namespace crossmeld {

namespace {

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// One chosen file: the dialog answers several with NULs between them.
std::optional<std::string> OneFile(const std::string& answer) {
    if (answer.empty() || answer.find('\0') != std::string::npos) return std::nullopt;
    return answer;
}

}  // namespace

bool MeshEditor::OpenMesh() {
    FinishDrag();
    if (!CanEdit()) return false;
    FileDialogState dialog;
    dialog.DialogTitle = "Open Mesh";
    dialog.Filter = kMeshFilter;
    m_host.ShowOpen(dialog);
    if (dialog.FileName.empty()) return false;
    const auto file = OneFile(dialog.FileName);
    if (!file) {
        Tell("Select one mesh file only.");
        return false;
    }
    return OpenMeshFile(*file);
}

bool MeshEditor::OpenMeshFile(const std::string& path) {
    FinishDrag();
    if (!CanEdit()) return false;
    const MeshPoints before = m_form.Meshes();
    try {
        m_form.SetMeshes(ReadMeshFile(path));
    } catch (const std::exception& e) {
        // SetMeshes checks the size before it changes anything.
        Tell("Cannot open the mesh " + path + ":\r\n" + e.what());
        return false;
    }
    return Commit(before);
}

bool MeshEditor::SaveMesh() {
    FinishDrag();
    if (!CanEdit()) return false;
    FileDialogState dialog;
    dialog.DialogTitle = "Save Mesh";
    dialog.Filter = kMeshFilter;
    dialog.FileName = "mesh.json";
    dialog.DefaultExtension = "json";
    m_host.ShowSave(dialog);
    const auto file = OneFile(dialog.FileName);
    if (!file) return false;
    return SaveMeshFile(*file);
}

bool MeshEditor::SaveMeshFile(const std::string& path) {
    FinishDrag();
    if (!CanEdit()) return false;
    const std::string text = WriteMeshFile(m_form.Meshes());
    ReplacingFile file;
    if (!file.Create(path) || !WriteAll(file.fd(), text) || !file.Commit()) {
        const int error = errno;
        file.Discard();
        Tell("Cannot save the mesh to " + path + ":\r\n" + std::strerror(error));
        return false;
    }
    return true;
}

}  // namespace crossmeld
