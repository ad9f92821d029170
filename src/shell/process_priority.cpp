#include "shell/process_priority.h"

#include <sys/resource.h>

#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <system_error>
#include <thread>

#include "bignum/compute_threads.h"

namespace cifrovar {

namespace {

struct ClassNice {
    int priority_class;
    int nice;
};

// From the highest priority to the lowest.
constexpr ClassNice classes[] = {
    {256, -20}, {128, -10}, {32768, -5}, {32, 0}, {16384, 5}, {64, 19},
};

// -1 is a valid nice value, so only errno tells a failure apart.
std::optional<int> own_nice() {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    if (nice == -1 && errno != 0) return std::nullopt;
    return nice;
}

// Whether a thread started from here may take the nice value: tried on a thread of its own,
// which inherits this thread's value and rights and ends with the answer.
bool within_reach(int nice) {
    bool allowed = false;
    try {
        std::thread probe(
            [&allowed, nice] { allowed = ::setpriority(PRIO_PROCESS, 0, nice) == 0; });
        probe.join();
    } catch (const std::system_error&) {
        return false;
    }
    return allowed;
}

}  // namespace

std::optional<int> nice_of_class(int priority_class) {
    for (const ClassNice& c : classes) {
        if (c.priority_class == priority_class) return c.nice;
    }
    return std::nullopt;
}

int class_of_nice(int nice) {
    const ClassNice* best = std::begin(classes);
    for (const ClassNice& c : classes) {
        if (std::abs(c.nice - nice) < std::abs(best->nice - nice)) best = &c;
    }
    return best->priority_class;
}

bool set_priority_class(int priority_class) {
    const std::optional<int> nice = nice_of_class(priority_class);
    if (!nice || !within_reach(*nice)) return false;
    // A running thread that cannot be raised again takes the class with the next run.
    set_compute_nice(*nice);
    return true;
}

std::optional<int> current_priority_class() {
    std::optional<int> nice = running_compute_nice();
    // A new thread that may not take the value set keeps the one it inherits from here.
    if (!nice) nice = compute_nice();
    if (nice && !within_reach(*nice)) nice.reset();
    if (!nice) nice = own_nice();
    if (!nice) return std::nullopt;
    return class_of_nice(*nice);
}

std::optional<int> own_priority_class() {
    const std::optional<int> nice = own_nice();
    if (!nice) return std::nullopt;
    return class_of_nice(*nice);
}

}  // namespace cifrovar
