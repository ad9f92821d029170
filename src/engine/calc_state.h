#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bignum/limb_array.h"

namespace cifrovar {

// A limb array: least significant limb first, radix limb_base.
using pole1 = LimbArray;

// The calculation kinds as the window's pages number them.
namespace kind {
constexpr int32_t start_page = 0;
constexpr int32_t powers = 1;
constexpr int32_t factorial = 2;
constexpr int32_t variations = 3;
constexpr int32_t combinations = 4;
}  // namespace kind

// "Never" for the progress and backup intervals. Exponents given in hexadecimal go past two
// billion steps, so the runs test for it rather than count on never reaching it.
constexpr int32_t never_interval = 1000000000;

// The single calculation state of the process. After a run that went through GMP batches,
// vysledek and top_index are current only once Engine::materialize() has run.
struct CalcState {
    pole1 vysledek;  // the result limbs
    pole1 pomoc;     // raw products of one step; as long as vysledek whenever the kernel steps
    int64_t top_index = 100;  // 64 bits: results of billions of digits outgrow 2^31 limbs
    int32_t limb_digits = 4;
    int32_t limb_base = 10000;
    int32_t multiplier_limbs[4] = {0, 0, 0, 0};
    int32_t multiplier_top = 0;
    int64_t x = 0;  // limb position of the running pass (logged after an overflow)
    int32_t y = 0;  // multiplier position of the running multiplication

    int32_t calc_kind = kind::start_page;
    int32_t pocitadlo = 1;
    std::atomic<bool> interrupt_flag{false};
    int32_t backup_counter = 1;
    bool error_reported = false;

    // The stored operands, the values the last run was started with (targets written back).
    int32_t moc_zaklad = 0;
    int32_t moc_exponent = 0;
    int32_t fkt_zadani = 0;
    int32_t vrc_trida = 0;
    int32_t vrc_prvky = 0;
    int32_t kmb_trida = 0;
    int32_t kmb_prvky = 0;
};

// An interval that the window may change while a batch reads it on its worker thread.
class SharedInterval {
  public:
    SharedInterval(int32_t value = never_interval) : value_(value) {}  // NOLINT: a plain value
    SharedInterval(const SharedInterval& other) : value_(other.get()) {}
    SharedInterval& operator=(const SharedInterval& other) { return *this = other.get(); }
    SharedInterval& operator=(int32_t value) {
        value_.store(value, std::memory_order_relaxed);
        return *this;
    }
    operator int32_t() const { return get(); }  // NOLINT: reads as the plain value
    int32_t get() const { return value_.load(std::memory_order_relaxed); }
    // Whether a count of steps falls on the interval; no count does on "never".
    bool falls_on(int64_t steps) const {
        const int32_t interval = get();
        return interval != never_interval && steps % interval == 0;
    }

  private:
    std::atomic<int32_t> value_;
};

// Settings the run reads afresh between steps.
struct RunSettings {
    SharedInterval ukaz_stav = 1000;         // progress interval in steps
    SharedInterval zalohy = never_interval;  // backup interval in steps
    std::string adresar;                     // working directory for backups
    bool autotext = true;                    // show the result when a run ends
    bool nuly_na_konci = true;               // cut trailing zero limbs when rendering
    bool opened_at_startup = false;          // the result display is left to the viewer's creation
    // Memory a run may count on, in bytes; 0 = CIFROVAR_MEMORY_LIMIT, or else what the machine
    // has available now.
    int64_t memory_limit = 0;
};

// Where the run switches from the step-by-step kernel to batches computed with GMP.
struct FastPathOptions {
    // The kernel runs while top_index is at most this; 0 forces batches from the first step,
    // a negative value forces the kernel for the whole run.
    int32_t basecase_top_index = 200;
    // A batch of steps ends after at least this many seconds, or after 10 % of the run so far.
    double min_batch_seconds = 1.0;
    // Upper bound on the steps of one batch (0 = no bound); tests use it to place boundaries.
    int32_t max_batch_steps = 0;
    // Inside a batch a progress text comes at most this often, so that a long batch keeps the
    // status moving without flooding the window with texts.
    double progress_seconds = 0.5;
    // An interrupt lets a computation in one go keep the step in hand first when the rest of
    // it takes at most this share of the run's time so far (the interrupt may take a tenth).
    double interrupt_grace = 0.07;
};

}  // namespace cifrovar
