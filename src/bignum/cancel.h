#pragma once

// Stopping long arithmetic between its pieces.
#include <atomic>
#include <stdexcept>

namespace cifrovar {

// A long computation stopped because its cancel flag was raised; its result is not usable.
class Cancelled : public std::runtime_error {
  public:
    Cancelled() : std::runtime_error("computation cancelled") {}
};

// Throws Cancelled when the flag is given and raised.
inline void stop_if_cancelled(const std::atomic<bool>* cancel) {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) throw Cancelled();
}

}  // namespace cifrovar
