#pragma once
// The command line's Host: message boxes go to standard error exactly as the
// window would show them ("Done." is held back: the job prints it on standard
// output once it has seen the file written), the file dialog answers with the
// path given on the command line, the codec dialog with the codec named
// there, progress is a line on the terminal, and a stop signal stops the run.

#include <cstdio>
#include <string>
#include <vector>

#include "base/Host.h"
#include "formats/avi/CodecChooser.h"

namespace crossmeld::cli {

struct ShownMessage {
    std::string text;
    MsgIcon icon;
};

class CliHost final : public Host, public avi::CodecChooser {
public:
    // quality: 0 .. 100 for Motion JPEG, or -1 for the codec's default.
    CliHost(std::FILE* err, bool progress, avi::Codec codec, std::int32_t quality = -1);

    MsgResult MessageBox(const std::string& text, MsgIcon icon, MsgButtons buttons,
                         const std::string& caption) override;
    void ShowOpen(FileDialogState& state) override;
    // "warning: FILE: message" on its own line of standard error.
    void Warn(const std::string& text) override;
    // No events to run; the only thing to look at is a stop signal.
    void DoEvents() override { CheckStop(); }
    // Raises RunStopped once an interrupt, termination or hang-up signal came.
    void CheckStop() override;
    void SetMousePointer(MousePointer) override {}
    void SetFocus(FocusTarget) override {}
    void SetProgressMax(double maximum) override;
    void SetProgressValue(double value) override;
    bool ChooseCodec(avi::CodecChoice& choice) override;

    // The answer the next file dialog gives ("" = cancelled).
    void SetNextFileName(std::string name) { m_nextFileName = std::move(name); }
    const std::vector<ShownMessage>& messages() const noexcept { return m_messages; }
    // Ends the progress line, if one is showing.
    void FinishProgress();

private:
    void DrawProgress();

    std::FILE* m_err;
    bool m_progress;
    avi::Codec m_codec;
    std::int32_t m_quality;
    std::string m_nextFileName;
    std::vector<ShownMessage> m_messages;
    double m_max = 100;
    double m_value = 0;
    int m_shownPercent = -1;
    bool m_lineOpen = false;
};

// A message box text as a terminal shows it: carriage return + line feed,
// and a carriage return alone, become line feeds.
std::string TerminalText(const std::string& text);

}  // namespace crossmeld::cli
