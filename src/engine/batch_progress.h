#pragma once

// Private to the engine: the progress texts of one batch of steps.
#include <chrono>
#include <cstdint>

#include "engine/hooks.h"

namespace cifrovar {

// Shows "Výpočet:<n>" for the last multiple n of the progress interval that the batch has
// completed: while it runs, for a new multiple at most every `spacing` seconds; when it ends,
// the one it ended at unless that is already shown. An interval of "never" shows none.
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

// Tells the hooks how far a value computed in one go has got towards the counter it is for,
// as a share of its work: at most every `spacing` seconds while it runs, and once more when
// it ends, so that the window can drop the share again.
class WorkShare {
  public:
    WorkShare(EngineHooks& hooks, int64_t from_counter, int64_t to_counter, double spacing);
    // The share done (from the thread that does the work, one call at a time).
    void tell(double share);
    void end();

  private:
    EngineHooks& hooks_;
    const int64_t from_, to_;
    const std::chrono::steady_clock::duration spacing_;
    std::chrono::steady_clock::time_point last_{};
    bool told_ = false;
};

}  // namespace cifrovar
