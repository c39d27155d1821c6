#include "cli/CreateJob.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/MainWindowModel.h"
#include "base/FileRoutines.h"
#include "base/Folders.h"
#include "base/SettingsStore.h"
#include "cli/CliHost.h"
#include "cli/StopSignals.h"
#include "formats/avi/Fourcc.h"
#include "morph/MeshFile.h"

namespace crossmeld::cli {

namespace {

namespace fs = std::filesystem;

// Identity of the file at a path, to tell whether the run wrote it.
struct FileStamp {
    bool exists = false;
    ino_t inode = 0;
    timespec modified{};
    friend bool operator==(const FileStamp& a, const FileStamp& b) {
        return a.exists == b.exists && a.inode == b.inode && a.modified.tv_sec == b.modified.tv_sec &&
               a.modified.tv_nsec == b.modified.tv_nsec;
    }
};

FileStamp Stamp(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    return {true, st.st_ino, st.st_mtim};
}

// "crossmeld-cli: mesh file FILE: RULE", or the reader's own text when it
// already names the file (one that cannot be read).
void ReportMeshError(std::FILE* err, const std::string& path, const Error& e) {
    std::string text = e.description();
    const std::string prefix = "mesh file: ";
    if (text.find(path) == std::string::npos && text.rfind(prefix, 0) == 0)
        text = "mesh file " + path + ": " + text.substr(prefix.size());
    std::fprintf(err, "crossmeld-cli: %s\n", text.c_str());
}

bool ShowedFailure(const CliHost& host, std::size_t from) {
    for (std::size_t i = from; i < host.messages().size(); ++i)
        if (host.messages()[i].icon == MsgIcon::Exclamation || host.messages()[i].icon == MsgIcon::Critical)
            return true;
    return false;
}

}  // namespace

int RunCreateJob(const CreateOptions& options, std::FILE* out, std::FILE* err) {
    StopSignals signals;
    const bool progress = !options.quiet && ::isatty(::fileno(err));
    CliHost host(err, progress, options.codec, options.quality);
    MemorySettingsStore settings;  // the window's stored settings are neither read nor written
    MainWindowModel form(host, settings, host, ProgramFolder());

    // A mesh file is read and checked before any picture is loaded.
    std::optional<MeshPoints> mesh;
    if (options.mesh) {
        try {
            mesh = ReadMeshFile(*options.mesh);
        } catch (const Error& e) {
            ReportMeshError(err, *options.mesh, e);
            return 1;
        }
    }

    form.Load();
    form.SetSampling(options.sampling);
    form.SetTiming(options.timing);
    form.FrameCountField().SetText(std::to_string(options.frames));
    form.FpsField().SetText(std::to_string(options.fps));
    // Videos go through the AVI option, animations through the GIF option.
    const bool animation = options.format == OutputFormat::Gif || options.format == OutputFormat::WebP ||
                           options.format == OutputFormat::Apng;
    if (animation) {
        form.SetGifReduction(options.paletteMode, options.ditherMethod);
        form.SetGifOptimize(options.optimize);
        form.GifOption().SetValue(true);
    } else {
        form.AviOption().SetValue(true);
    }
    form.SetOutputFormat(options.format);
    form.SetQuality(options.quality);

    if (options.start && options.end) {
        host.SetNextFileName(*options.start);
        form.ChooseStartPicture();
        host.SetNextFileName(*options.end);
        form.ChooseEndPicture();
    } else {
        form.LoadSamplePair();
    }
    if (ShowedFailure(host, 0)) return 1;
    if (StopSignals::Received() != 0) return ExitStatusFor(StopSignals::Received());
    if (mesh) {
        try {
            form.SetMeshes(*mesh);
        } catch (const Error& e) {
            ReportMeshError(err, *options.mesh, e);
            return 1;
        }
    }
    // The fade never replaces one of its own pictures.
    for (const std::string& input : {form.SourcePath(Side::Start), form.SourcePath(Side::End)}) {
        if (!input.empty() && SameFile(options.output, input)) {
            std::fprintf(err, "crossmeld-cli: %s is one of the pictures being faded; choose another output file\n",
                         options.output.c_str());
            return 1;
        }
    }

    const FileStamp before = Stamp(options.output);
    const std::size_t shown = host.messages().size();
    host.SetNextFileName(options.output);
    form.CreateFade();
    host.FinishProgress();
    if (form.LastRunStopped()) {
        std::fprintf(err, "crossmeld-cli: stopped; %s was not written\n", options.output.c_str());
        return ExitStatusFor(StopSignals::Received());
    }

    bool done = false;
    bool other = false;
    for (std::size_t i = shown; i < host.messages().size(); ++i) {
        if (host.messages()[i].text == "Done.") done = true;
        else other = true;
    }
    const FileStamp after = Stamp(options.output);
    const bool written = after.exists && !(after == before);
    if (done && !other && written) {
        std::fprintf(out, "Done.\n");
        std::fflush(out);
        return 0;
    }
    if (done && !written && !other)
        std::fprintf(err, "crossmeld-cli: %s was not written\n", options.output.c_str());
    return 1;
}

}  // namespace crossmeld::cli
