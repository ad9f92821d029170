#include "engine/batch_progress.h"

#include <string>

#include "engine/calc_state.h"

namespace cifrovar {

BatchProgress::BatchProgress(EngineHooks& hooks, int32_t interval, int64_t counter_before,
                             double spacing)
    : hooks_(hooks),
      interval_(interval),
      shown_(counter_before),
      spacing_(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
          std::chrono::duration<double>(spacing))),
      last_(std::chrono::steady_clock::now()) {}

int64_t BatchProgress::unshown(int64_t counter) const {
    if (interval_ == never_interval) return 0;
    const int64_t multiple = counter / interval_ * interval_;
    return multiple > shown_ ? multiple : 0;
}

void BatchProgress::reached(int64_t counter) {
    const int64_t multiple = unshown(counter);
    if (multiple == 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < spacing_) return;
    last_ = now;
    show(multiple);
}

void BatchProgress::ended(int64_t counter) {
    if (const int64_t multiple = unshown(counter)) show(multiple);
}

void BatchProgress::show(int64_t multiple) {
    shown_ = multiple;
    hooks_.set_status("Výpočet:" + std::to_string(multiple));
}

WorkShare::WorkShare(EngineHooks& hooks, int64_t from_counter, int64_t to_counter, double spacing)
    : hooks_(hooks),
      from_(from_counter),
      to_(to_counter),
      spacing_(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
          std::chrono::duration<double>(spacing))) {}

void WorkShare::tell(double share) {
    const auto now = std::chrono::steady_clock::now();
    if (told_ && now - last_ < spacing_) return;
    last_ = now;
    told_ = true;
    hooks_.show_work_share(from_, to_, share);
}

void WorkShare::end() {
    if (told_) hooks_.show_work_share(from_, to_, -1);
}

}  // namespace cifrovar
