#include "shell/process_priority.h"

#include <sys/resource.h>

#include <cerrno>
#include <cstdlib>
#include <iterator>

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
    if (!nice) return false;
    return ::setpriority(PRIO_PROCESS, 0, *nice) == 0;
}

std::optional<int> current_priority_class() {
    // -1 is a valid nice value, so only errno tells a failure apart.
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    if (nice == -1 && errno != 0) return std::nullopt;
    return class_of_nice(nice);
}

}  // namespace cifrovar
