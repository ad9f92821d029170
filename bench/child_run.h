#pragma once

// One measured piece of work in a child process of its own: its peak resident memory is then
// its own, not the high-water mark of everything the benchmark ran before, and a crash or an
// out-of-memory kill ends only the child.
#include <cstdint>
#include <functional>
#include <string>

namespace cifrovar::bench {

// What the work hands back to the parent.
struct ChildResult {
    double seconds = 0;   // timed by the work itself, so that the fork is not counted
    int64_t count = 0;    // whatever the work counts, such as the digits it wrote
    std::string message;  // why the work stopped short of its goal; empty when it completed
};

struct ChildReport {
    enum class End { returned, failed, killed };
    End end = End::failed;
    ChildResult result;  // End::returned: what the work returned
    std::string error;   // End::failed: an exception's message, or the exit status
    int signal = 0;      // End::killed: the signal that ended the child
    int64_t peak_rss_bytes = 0;
};

// Runs work in a forked child and waits for it. An exception from work ends the child as
// failed with its message. Throws std::runtime_error when the child cannot be started.
ChildReport run_in_child(const std::function<ChildResult()>& work);

// "killed by signal 9 (Killed)", "failed: <error>" or "completed"/the work's message.
std::string describe_end(const ChildReport& report);

}  // namespace cifrovar::bench
