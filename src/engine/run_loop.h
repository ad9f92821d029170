#pragma once

// Private to the engine: the loop that all four calculations share.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/engine.h"
#include "engine/fast_run.h"
#include "engine/pending_backup.h"

namespace cifrovar {

struct RunPlan {
    StepRule rule;
    int64_t end_counter = 0;  // the loop runs while pocitadlo < end_counter
    char backup_letter = 'm';
    int32_t backup_offset = 0;  // steps completed = pocitadlo - backup_offset
};

class RunLoop {
  public:
    RunLoop(Engine& engine, FastRun& fast, const RunPlan& plan);
    ~RunLoop() { collect_backup(); }
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;
    // Runs the steps; returns when the target is reached, after an interrupt (finished) or after
    // a reported run-time error. A growth failure leaves as Evlastni.
    void run();

  private:
    void steps();
    bool kernel_step();
    bool fast_batch();
    bool use_fast();
    // Runs work that reads the limbs, as a batch when they are long.
    void over_limbs(const std::function<void()>& work);
    // Converts the value for a backup and starts writing it; the write goes on meanwhile.
    void write_backup();
    // Brings the limbs up to date for a backup.
    void convert_for_backup();
    // Computes the digits of a power whose batch from the counter before has ended where they
    // are wanted, as a part of the batch.
    void power_digits(int32_t before);
    // Waits for a backup being written and counts it when it was written.
    void collect_backup();
    std::chrono::steady_clock::time_point batch_deadline() const;
    // Whether a computation in one go interrupted with the given work done goes on to the
    // step it keeps next, of those whose work is in kept_work.
    std::function<bool(double)> step_in_hand_nearly_done(std::vector<double> kept_work) const;
    [[noreturn]] void growth_failed(int32_t completed_counter);
    // Ends the run after an allocation failed anywhere in its work, keeping the step the limbs
    // hold.
    [[noreturn]] void out_of_memory();
    void limbs_hold_counter() { fast_.limbs_hold(st_); }
    // Whether the step reached is one whose backup the interval asks for.
    bool backup_due() const {
        return e_.settings.zalohy.falls_on(st_.pocitadlo - plan_.backup_offset);
    }

    Engine& e_;
    CalcState& st_;
    FastRun& fast_;
    RunPlan plan_;
    std::chrono::steady_clock::time_point started_;
    bool kernel_only_ = false;
    bool trust_checked_ = false;
    PendingBackup backup_;
};

}  // namespace cifrovar
