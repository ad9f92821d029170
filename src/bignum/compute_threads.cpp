#include "bignum/compute_threads.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <vector>

namespace cifrovar {

namespace {

struct Registry {
    std::mutex lock;
    std::vector<int> threads;  // thread ids
    std::optional<int> nice;
};

Registry& registry() {
    static Registry r;
    return r;
}

bool set_thread_nice(int thread, int nice) {
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(thread), nice) == 0;
}

std::optional<int> thread_nice(int thread) {
    // -1 is a valid nice value, so only errno tells a failure apart.
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
    if (nice == -1 && errno != 0) return std::nullopt;
    return nice;
}

}  // namespace

ComputeThread::ComputeThread() : id_(static_cast<int>(::gettid())) {
    Registry& r = registry();
    const std::lock_guard hold(r.lock);
    r.threads.push_back(id_);
    // A thread started before the value changed may still carry the old one.
    if (r.nice) set_thread_nice(id_, *r.nice);
}

ComputeThread::~ComputeThread() {
    Registry& r = registry();
    const std::lock_guard hold(r.lock);
    r.threads.erase(std::find(r.threads.begin(), r.threads.end(), id_));
}

bool set_compute_nice(int nice) {
    Registry& r = registry();
    const std::lock_guard hold(r.lock);
    r.nice = nice;
    bool all = true;
    for (const int thread : r.threads) all = set_thread_nice(thread, nice) && all;
    return all;
}

std::optional<int> compute_nice() {
    Registry& r = registry();
    const std::lock_guard hold(r.lock);
    return r.nice;
}

std::optional<int> running_compute_nice() {
    Registry& r = registry();
    const std::lock_guard hold(r.lock);
    std::optional<int> lowest;
    for (const int thread : r.threads) {
        const std::optional<int> nice = thread_nice(thread);
        if (nice && (!lowest || *nice > *lowest)) lowest = nice;
    }
    return lowest;
}

}  // namespace cifrovar
