#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/calc_state.h"
#include "engine/hooks.h"

namespace cifrovar {

class FastRun;

// The calculation engine: the single calculation state, its run frame and the four routines.
// The user interface reaches it through run(), new_calculation(), interrupt() and the state.
class Engine {
  public:
    explicit Engine(EngineHooks& hooks);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    CalcState st;
    RunSettings settings;
    FastPathOptions fast;

    // The run dispatcher: runs the routine of st.calc_kind. Input errors leave it as Evlastni.
    void run();
    // Resets the state for a fresh calculation (the fields show "0", the window is ready).
    void new_calculation();
    // Ends a run: writes the reached step back, marks the calculation continuable, finished
    // state, automatic result display.
    void finish();
    // Asks a running calculation to stop at its next step boundary. Safe from any thread.
    void interrupt() { st.interrupt_flag = true; }
    // The error reporter: logs the text; the fatal kinds also end the calculation and the program.
    void report_error(const std::string& text);

    // Brings st.vysledek and st.top_index up to date with a value held by the batch arithmetic.
    // Everything that reads the limbs or top_index (rendering, calculation files, the digit
    // count) calls it first; it costs nothing when they are current. When memory runs out for
    // the value, the calculation ends as a run out of memory does, at the step the limbs hold,
    // and the memory message is raised as an input error (Evlastni); the limbs are then current.
    void materialize();
    // The digits of the value of the step reached, reckoned from its logarithm without
    // computing it (floor(log10) + 1, as near as a double gets); 0 where the value is not
    // reckoned so (combinations, the start page).
    double digits_reckoned() const;
    // The work materialize() counts beyond turning words into limbs (see work_progress.h):
    // above 0 when it computes the value itself.
    double materialize_work() const;
    // Tells the engine that the limbs were replaced from outside (a calculation file was read).
    void limbs_replaced();

    EngineHooks& hooks() { return hooks_; }

    // Used by the calculation routines.
    void compute_powers();
    void compute_factorial();
    void compute_variations();
    void compute_combinations();

  private:
    friend class RunLoop;
    // The common start of factorial, variations and combinations, whose fresh result is 1:
    // busy state, the fresh value unless the run continues, then the steps up to end_counter.
    void run_from_one(int32_t calc_kind, int32_t elements, int64_t end_counter, char backup_letter,
                      int32_t backup_offset);
    // After an allocation failed: gives up the value held beyond the limbs and sets the state to
    // the step they hold, or to the first step when they were being rewritten and hold none.
    // Returns that step's counter.
    int32_t fall_back_to_limbs();
    // Ends the calculation at completed_counter for lack of memory: finished, logged, and the
    // memory message raised.
    [[noreturn]] void memory_failed(int32_t completed_counter);
    EngineHooks& hooks_;
    std::unique_ptr<FastRun> fast_run_;
};

}  // namespace cifrovar
