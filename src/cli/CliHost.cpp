#include "cli/CliHost.h"

#include "base/RunStopped.h"
#include "cli/StopSignals.h"

namespace crossmeld::cli {

std::string TerminalText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

CliHost::CliHost(std::FILE* err, bool progress, avi::Codec codec, std::int32_t quality)
    : m_err(err), m_progress(progress), m_codec(codec), m_quality(quality) {}

MsgResult CliHost::MessageBox(const std::string& text, MsgIcon icon, MsgButtons, const std::string&) {
    FinishProgress();
    m_messages.push_back({text, icon});
    if (text == "Done.") return MsgResult::OK;
    std::fprintf(m_err, "%s\n", TerminalText(text).c_str());
    std::fflush(m_err);
    return MsgResult::OK;
}

void CliHost::ShowOpen(FileDialogState& state) {
    state.FileName = m_nextFileName;
    m_nextFileName.clear();
}

void CliHost::Warn(const std::string& text) {
    FinishProgress();
    std::fprintf(m_err, "warning: %s\n", text.c_str());
    std::fflush(m_err);
}

void CliHost::CheckStop() {
    if (StopSignals::Received() != 0) throw RunStopped();
}

bool CliHost::ChooseCodec(avi::CodecChoice& choice) {
    choice.codec = m_codec;
    // Motion JPEG's quality runs to 10000; none asks for the codec's default.
    choice.quality.reset();
    if (m_quality >= 0) choice.quality = static_cast<std::uint32_t>(m_quality) * 100;
    return true;
}

void CliHost::SetProgressMax(double maximum) {
    m_max = maximum;
    m_shownPercent = -1;
    DrawProgress();
}

void CliHost::SetProgressValue(double value) {
    m_value = value;
    DrawProgress();
}

void CliHost::DrawProgress() {
    if (!m_progress || m_max <= 0) return;
    double fraction = m_value / m_max;
    if (fraction < 0) fraction = 0;
    if (fraction > 1) fraction = 1;
    const int percent = static_cast<int>(fraction * 100.0);
    if (percent == m_shownPercent) return;
    m_shownPercent = percent;
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    std::fprintf(m_err, "\r[%.*s%*s] %3d%%", filled, "##############################", kWidth - filled, "", percent);
    std::fflush(m_err);
    m_lineOpen = true;
}

void CliHost::FinishProgress() {
    if (!m_lineOpen) return;
    std::fprintf(m_err, "\r%*s\r", 40, "");
    std::fflush(m_err);
    m_lineOpen = false;
}

}  // namespace crossmeld::cli
