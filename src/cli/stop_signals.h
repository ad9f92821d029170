#pragma once

// SIGINT, SIGTERM and SIGHUP as the command-line tool takes them: the first one asks the run
// to stop at its next step, as Ctrl+C does, so that --save keeps the step reached.
#include <atomic>

namespace cifrovar::cli {

// Installs the handler for SIGINT, SIGTERM and SIGHUP. A SIGTERM or SIGHUP that the caller
// ignored (nohup) stays ignored.
void install_stop_signals();

// Whether one of the signals came.
bool stop_requested();

// The shell's convention for a program that a signal ended: 128 plus the first signal's number.
int stopped_status();

// While it lives, a stop signal also sets the flag (the engine's interrupt flag). It must end
// before the flag does: the handler stores through the pointer it keeps, and a store into the
// stack frame of an object that is gone lands in whatever frame uses that memory next.
class StopSignalTarget {
  public:
    explicit StopSignalTarget(std::atomic<bool>& flag);
    ~StopSignalTarget();
    StopSignalTarget(const StopSignalTarget&) = delete;
    StopSignalTarget& operator=(const StopSignalTarget&) = delete;
};

}  // namespace cifrovar::cli
