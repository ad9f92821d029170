#pragma once

#include <optional>

namespace cifrovar {

// The threads that compute, and the nice value they run at. The program's own threads (the
// window's among them) keep the value they started with: Linux lets an unprivileged thread
// lower its priority but never raise it again, so only threads that end with their work take
// a lower one, and the next run can always go back to where the program started.

// Registers the calling thread for its lifetime and gives it the nice value set, if any.
class ComputeThread {
  public:
    ComputeThread();
    ~ComputeThread();
    ComputeThread(const ComputeThread&) = delete;
    ComputeThread& operator=(const ComputeThread&) = delete;

  private:
    int id_;
};

// Gives the nice value to every registered thread and to every thread registered later.
// False when a running thread refused it (raising a thread's priority needs the right to);
// such a thread keeps its value until it ends.
bool set_compute_nice(int nice);

// The nice value set for computing threads, if one was set.
std::optional<int> compute_nice();

// The nice value of the running computing threads, the highest (lowest priority) when they
// differ; nothing when none runs.
std::optional<int> running_compute_nice();

}  // namespace cifrovar
