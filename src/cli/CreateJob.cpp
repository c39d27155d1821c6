#include "cli/CreateJob.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/Form1.h"
#include "cli/CliHost.h"
#include "imaging/video/Fourcc.h"
#include "platform/Folders.h"
#include "platform/SettingsStore.h"

namespace crossmeld::cli {

namespace {

namespace fs = std::filesystem;

// A temporary folder of this run's own, so that parallel runs never share
// frame files; removed with everything in it when the run ends.
class PrivateTempFolder {
public:
    PrivateTempFolder() {
        std::string pattern = TempFolder() + "/crossmeld-XXXXXX";
        if (::mkdtemp(pattern.data())) m_path = pattern;
    }
    ~PrivateTempFolder() {
        std::error_code ec;
        if (!m_path.empty()) fs::remove_all(m_path, ec);
    }
    PrivateTempFolder(const PrivateTempFolder&) = delete;
    PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;
    const std::string& path() const noexcept { return m_path; }

private:
    std::string m_path;
};

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

bool ShowedFailure(const CliHost& host, std::size_t from) {
    for (std::size_t i = from; i < host.messages().size(); ++i)
        if (host.messages()[i].icon == MsgIcon::Exclamation || host.messages()[i].icon == MsgIcon::Critical)
            return true;
    return false;
}

}  // namespace

int RunCreateJob(const CreateOptions& options, std::FILE* out, std::FILE* err) {
    PrivateTempFolder temp;
    if (temp.path().empty()) {
        std::fprintf(err, "crossmeld-cli: cannot make a temporary folder in %s\n", TempFolder().c_str());
        return 1;
    }
    ::setenv("TEMP", temp.path().c_str(), 1);

    const bool progress = !options.quiet && ::isatty(::fileno(err));
    CliHost host(err, progress, options.codec, out);
    MemorySettingsStore settings;  // the window's stored settings are neither read nor written
    Form1 form(host, settings, host, ProgramFolder(), temp.path());

    form.Form_Load();
    form.Text1().SetText(std::to_string(options.frames));
    form.txtFPS().SetText(std::to_string(options.fps));
    if (options.gif) {
        form.SetGifReduction(options.paletteMode, options.ditherMethod);
        form.Option2().SetValue(true);
    } else {
        form.Option1().SetValue(true);
    }

    if (options.start && options.end) {
        host.SetNextFileName(*options.start);
        form.PushButton1_Click();
        host.SetNextFileName(*options.end);
        form.PushButton2_Click();
    } else {
        form.PushButton4_Click();
    }
    if (ShowedFailure(host, 0)) return 1;

    const FileStamp before = Stamp(options.output);
    const std::size_t shown = host.messages().size();
    host.SetNextFileName(options.output);
    form.PushButton3_Click();
    host.FinishProgress();

    bool done = false;
    bool other = false;
    for (std::size_t i = shown; i < host.messages().size(); ++i) {
        if (host.messages()[i].text == "Done.") done = true;
        else other = true;
    }
    const FileStamp after = Stamp(options.output);
    const bool written = after.exists && !(after == before);
    if (done && !other && written) return 0;
    if (done && !written && !other)
        std::fprintf(err, "crossmeld-cli: %s was not written\n", options.output.c_str());
    return 1;
}

}  // namespace crossmeld::cli
