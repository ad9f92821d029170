#pragma once

// Private to the engine: advancing a calculation in batches of steps with GMP while keeping
// every observable (limbs, top_index, counter) equal to what the step-by-step kernel gives.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "bignum/big_value.h"
#include "bignum/decimal_number.h"
#include "engine/binomial_ratio.h"
#include "engine/calc_state.h"
#include "engine/product_counter.h"

namespace cifrovar {

// What the steps of one calculation multiply by.
struct StepRule {
    int32_t calc_kind = kind::start_page;
    int32_t base = 0;      // powers
    int32_t elements = 0;  // variations and combinations
};

// Whom a batch tells how far it has come while it runs, and how often it would like to hear.
struct StepsReached {
    // Called with the counter after each part of the batch whose steps are all in the value
    // held, on the thread that runs the batch.
    std::function<void(int64_t counter)> tell;
    // Work that would otherwise run longer without telling (combinations) is cut into parts
    // of about this many seconds.
    double part_seconds = 1.0;
    // A factorial or variation computed in one go keeps the steps it holds on the way: each
    // is told here as it is kept, and the batch ends there when stop_here() says so.
    std::function<void(int64_t counter)> kept;
    std::function<bool()> stop_here;
    // Raised, it ends such a computation at the last step kept.
    const std::atomic<bool>* cancel = nullptr;
};

// What the value a FastRun holds is and where it is at hand. Its binary form is the run's
// binary value, or is put off while a computation in one go or GMP's binomial gives it when
// needed; the limbs and the decimal words show the whole value, everything pending taken in.
// (At namespace scope: as a nested class with member initializers it could not be held in a
// std::optional member of the class that encloses it.)
struct FastRunHeld {
    enum class Binary : uint8_t {
        in_value,  // the binary value is it
        counted,   // counted_value() of step (factorials, variations)
        binomial,  // C(n, step) (combinations)
    };
    Binary binary = Binary::in_value;
    int64_t step = 0;                      // the counter or class of a form put off
    bool in_limbs = true;                  // the limbs show it
    std::optional<DecimalNumber> decimal;  // it in decimal words
};

class FastRun {
  public:
    // True while the batch arithmetic holds a value (possibly newer than the limbs).
    bool holds_value() const { return held_.has_value(); }
    // True when the value is the calculation's own for its counter (pocitadlo!, C(n, pocitadlo-1)
    // and so on), as every run from a fresh start leaves it; false for limbs from outside. Only
    // a trusted value may be recomputed from scratch instead of multiplied on, and only a
    // trusted coefficient may have its divisions put off.
    bool value_trusted = true;

    // Takes the value over from the limbs unless it already holds it.
    void begin(const CalcState& st, const StepRule& rule);
    // Advances st.pocitadlo towards end_counter in whole steps until end_counter is reached or
    // the deadline has passed; returns the number of steps made. st.pocitadlo is updated (and
    // top_index for combinations); the limbs are left to materialize().
    int64_t advance(CalcState& st, int64_t end_counter, int64_t max_steps,
                    std::chrono::steady_clock::time_point deadline,
                    const StepsReached& reached = {});
    // Writes the value held into st.vysledek and sets st.top_index as the kernel would have.
    // When cancel turns true meanwhile, Cancelled is thrown; the value is still held and the
    // limbs stay out of date. A run that goes on after a backup keeps a value held in decimal
    // words beside the limbs, to multiply on from it.
    void materialize(CalcState& st, const std::atomic<bool>* cancel = nullptr,
                     bool keep_decimal = false);
    // The work materialize() counts into the progress of its thread beyond turning words into
    // limbs: a power put off until its digits are wanted is computed there.
    double materialize_work(const CalcState& st) const;
    // Computes that power's digits beforehand, so that materialize() only writes them into the
    // limbs. When cancel turns true meanwhile, Cancelled is thrown and nothing has changed.
    void compute_power_digits(const CalcState& st, const std::atomic<bool>* cancel);
    // Takes a power's steps put off since counter back, so that st.pocitadlo is counter again.
    void take_back_power_steps(CalcState& st, int64_t counter);
    // Whether a batch up to end_counter computes the value of its end in one go, keeping the
    // steps it holds on the way (factorials, long variations).
    bool goes_in_steps(const CalcState& st, int64_t end_counter) const;
    // The counter such a batch ends at, for a batch up to end_counter.
    int64_t in_steps_end(const CalcState& st, int64_t end_counter) const;
    // The work such a batch counts into the progress of its thread by the time it keeps each
    // step on the way, rising, the last being its end's: the whole batch's work. Empty for a
    // batch not in one go.
    std::vector<double> kept_step_work(const CalcState& st, int64_t end_counter) const;
    // Forgets the value (the limbs changed by other means).
    void drop();
    // Forgets the value for a fresh calculation, whose value is its own again. Its limbs are
    // about to be written.
    void restart() {
        drop();
        value_trusted = true;
        limbs_counter_ = -1;
    }
    // The step whose value the limbs hold, beyond the run that wrote them: what a calculation
    // falls back to when memory runs out for the value held. -1 while the limbs are being
    // rewritten and hold no step.
    int32_t limbs_counter() const { return limbs_counter_; }
    // That step's top_index; the batches of combinations grow top_index ahead of the limbs.
    int64_t limbs_top() const { return limbs_top_; }
    // Records that the limbs now hold the value of st.pocitadlo.
    void limbs_hold(const CalcState& st) {
        limbs_counter_ = st.pocitadlo;
        limbs_top_ = st.top_index;
    }
    void limbs_rewritten() { limbs_counter_ = -1; }
    // Checks that the limbs of a combinations calculation are C(n, pocitadlo - 1).
    bool verify_binomial(const CalcState& st, int32_t elements);
    // Checks that the limbs of a factorial or variation are its value for st.pocitadlo.
    static bool verify_product(const CalcState& st, const StepRule& rule);

  private:
    // The work a batch in one go up to end_counter counts; 0 for a batch not in one go.
    double in_steps_work(const CalcState& st, int64_t end_counter) const;
    int64_t advance_powers(CalcState& st, int64_t end_counter, int64_t max_steps);
    int64_t advance_products(CalcState& st, int64_t end_counter, int64_t max_steps,
                             std::chrono::steady_clock::time_point deadline);
    int64_t advance_combinations(CalcState& st, int64_t end_counter, int64_t max_steps,
                                 std::chrono::steady_clock::time_point deadline);
    void push_ratio(uint32_t n, int64_t a, int64_t b,
                    std::chrono::steady_clock::time_point deadline);
    void tell_reached(int64_t counter) const {
        if (reached_ != nullptr && reached_->tell) reached_->tell(counter);
    }
    void grow_for_products(CalcState& st);
    // The same for a value known by its log10 and by at_least(e): value >= last factor * 10^e.
    void grow_for_products(CalcState& st, double log10_value,
                           const std::function<bool(int64_t)>& at_least);
    // Long factorials and powers from a fresh start are computed in decimal words, which go
    // to the limbs without a conversion from binary.
    bool nothing_but_steps_pending() const;
    bool power_pays_in_decimal(const CalcState& st) const;
    bool binomial_pays_in_decimal() const;
    int64_t power_exponent_held(const CalcState& st) const;
    void write_decimal_limbs(CalcState& st, bool keep);
    bool goes_in_steps_kind() const {
        return rule_.calc_kind == kind::factorial || rule_.calc_kind == kind::variations;
    }
    bool counts_ahead(int64_t target) const;
    uint32_t last_factor_at(int64_t counter) const;
    void counted_value(BigValue& out, int64_t counter) const;
    // The batch of goes_in_steps(): from the value held by the product of the steps to come,
    // or afresh through steps it keeps on the way.
    int64_t advance_in_steps(CalcState& st, int64_t end_counter);
    bool in_steps_from_held(const CalcState& st, int64_t end_counter) const;
    bool binomial_in_one_go(const CalcState& st, int64_t end_counter) const;
    bool value_at_hand(const CalcState& st) const;
    void compute_afresh(DecimalNumber& out, CalcState& st, int64_t end_counter);
    void compute_from_held(DecimalNumber& out, const CalcState& st, int64_t end_counter);
    void grow_for_combinations(CalcState& st, uint64_t mult, uint64_t div);
    // Multiplies and divides in everything pending, so value_ is the exact current value.
    void settle();

    using Held = FastRunHeld;
    Held::Binary binary_form() const { return held_ ? held_->binary : Held::Binary::in_value; }
    // The transitions of the value held besides begin(), drop() and materialize().
    void put_off_binary(Held::Binary form, int64_t step);
    // A value put off is computed in binary only when it is needed.
    void ensure_value();
    // The value changes in binary: the limbs and the decimal words no longer show it.
    void drop_copies();
    // Holds value, in decimal words, as the value of counter, reached from the counter start.
    void hold_decimal(CalcState& st, int64_t start, int64_t counter, DecimalNumber&& value);
    // The value in decimal words, read from the limbs unless it is held so already.
    const DecimalNumber& held_in_decimal(const CalcState& st);
    void forget_decimal();

    StepRule rule_;
    // Empty while no value is held. The pending products, divisors, power steps and shift stay
    // beside it rather than in it: they multiply (divide) value_ whatever its binary form,
    // settle() takes them in alike after ensure_value(), and begin() and drop() clear them.
    std::optional<Held> held_;
    BigValue value_;                  // the value, times the pending products, over the divisors
    ProductCounter products_;         // pending factors
    ProductCounter divisors_;         // pending divisors (combinations)
    int64_t power_steps_ = 0;         // powers: steps not yet multiplied in
    int64_t pending_shift_ = 0;       // products: powers of two not yet multiplied in
    int64_t steps_since_growth_ = 0;  // steps since top_index was last brought up to date
    uint32_t last_factor_ = 1;        // factor of the last step (products)
    int64_t growth_base_top_ = 0;     // top_index the pending growth counts from
    int64_t combination_budget_ = 0;  // steps per combinations batch, adapted to the time taken
    int64_t part_steps_ = 0;          // steps per part of a combinations batch, likewise
    const StepsReached* reached_ = nullptr;  // set for the time of advance()
    BinomialRatio ratio_;
    DecimalNumber kept_;          // the last step kept by advance_in_steps(), while it runs
    int64_t kept_counter_ = 0;    // its counter (0: none yet)
    int32_t limbs_counter_ = -1;  // see limbs_counter()
    int64_t limbs_top_ = 0;
    // The factorial of the steps of the last batch that went on from the value held.
    DecimalNumber count_factorial_;
    unsigned long count_factorial_n_ = 0;
};

}  // namespace cifrovar
