#include "cli/stop_signals.h"

#include <signal.h>
#include <unistd.h>

namespace cifrovar::cli {

namespace {

constexpr int exit_interrupted = 130;

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler stores to it");
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free, "the signal handler reads it");

// The first of SIGINT, SIGTERM and SIGHUP that came; 0 while none has.
std::atomic<int> stop_signal{0};
// The flag of the live StopSignalTarget; null while there is none.
std::atomic<std::atomic<bool>*> stop_target{nullptr};

extern "C" void on_stop_signal(int signal_number) {
    int none = 0;
    if (stop_signal.compare_exchange_strong(none, signal_number)) {
        if (std::atomic<bool>* const flag = stop_target.load()) flag->store(true);
        return;
    }
    // The second Ctrl+C does not wait for the next step boundary. A SIGTERM or SIGHUP that
    // follows asks again for the stop already under way, which still saves what was reached.
    if (signal_number == SIGINT) ::_exit(exit_interrupted);
}

}  // namespace

void install_stop_signals() {
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    for (const int signal_number : {SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        if (::sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal_number, &action, nullptr);
    }
}

bool stop_requested() { return stop_signal.load() != 0; }

int stopped_status() { return 128 + stop_signal.load(); }

StopSignalTarget::StopSignalTarget(std::atomic<bool>& flag) { stop_target.store(&flag); }

// A handler on this thread runs wholly before this store or after it; the tool's other
// threads (the arithmetic's second one, a backup's writer) end before the engine does.
StopSignalTarget::~StopSignalTarget() { stop_target.store(nullptr); }

}  // namespace cifrovar::cli
