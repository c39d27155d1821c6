#pragma once
// Interrupt (SIGINT), termination (SIGTERM) and hang-up (SIGHUP) signals stop
// the command line's run cleanly: the handler only notes the signal; the run
// notices it at its next stop check, unwinds (its part files and temporary
// folder go with it) and the program exits with 128 + the signal's number, as
// shells expect. A second signal of the same kind ends the program at once;
// a signal that was ignored when the program started (nohup) stays ignored.

namespace crossmeld::cli {

// Catches the three signals for as long as it lives.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The signal received since construction, or 0.
    static int Received() noexcept;
};

// The exit status for a run stopped by a signal: 128 + its number.
inline int ExitStatusFor(int signal) noexcept { return 128 + signal; }

}  // namespace crossmeld::cli
