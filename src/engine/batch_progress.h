#pragma once

// Private to the engine: the progress texts of one batch of steps.
#include <chrono>
#include <cstdint>

#include "engine/hooks.h"

namespace cifrovar {

// Shows "Výpočet:<n>" for the last multiple n of the progress interval that the batch has
// completed: while it runs, for a new multiple at most every `spacing` seconds; when it ends,
// the one it ended at unless that is already shown.
class BatchProgress {
  public:
    BatchProgress(EngineHooks& hooks, int32_t interval, int64_t counter_before, double spacing);
    // The batch has completed the steps up to counter (from the thread that runs it).
    void reached(int64_t counter);
    // The batch has ended at counter.
    void ended(int64_t counter);

  private:
    // The last multiple of the interval up to counter, or 0 when it is already shown.
    int64_t unshown(int64_t counter) const;
    void show(int64_t multiple);

    EngineHooks& hooks_;
    const int64_t interval_;
    int64_t shown_;  // the counter before the batch, then the multiple shown last
    const std::chrono::steady_clock::duration spacing_;
    std::chrono::steady_clock::time_point last_;
};

}  // namespace cifrovar
