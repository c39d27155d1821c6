#include "cli/StopSignals.h"

#include <csignal>

namespace crossmeld::cli {

namespace {

volatile std::sig_atomic_t g_received = 0;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];

extern "C" void NoteSignal(int signal) {
    g_received = signal;
    // The next one takes the default action: a user who presses Ctrl-C twice
    // does not wait for the cleanup.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
}

}  // namespace

StopSignals::StopSignals() {
    g_received = 0;
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i) {
        ::sigaction(kSignals[i], nullptr, &g_previous[i]);
        // A signal ignored on entry stays ignored (nohup, background jobs).
        if (g_previous[i].sa_handler != SIG_IGN) ::sigaction(kSignals[i], &action, nullptr);
    }
}

StopSignals::~StopSignals() {
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
}

int StopSignals::Received() noexcept { return g_received; }

}  // namespace crossmeld::cli
