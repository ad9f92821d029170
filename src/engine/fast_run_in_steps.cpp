#include <algorithm>
#include <cmath>
#include <vector>

#include "bignum/cancel.h"
#include "bignum/decimal_binomial.h"
#include "bignum/decimal_factorial.h"
#include "bignum/decimal_word.h"
#include "bignum/fast_multiply.h"
#include "bignum/mapped_blocks.h"
#include "bignum/variation_classes.h"
#include "bignum/work_progress.h"
#include "engine/fast_run.h"
#include "engine/fast_run_sizes.h"

namespace cifrovar {

namespace {

// From this size on a factorial is computed in decimal words rather than converted from
// binary.
constexpr unsigned long decimal_factorial_from = 1ul << 15;

}  // namespace

int64_t FastRun::in_steps_end(const CalcState& st, int64_t end_counter) const {
    // A batch of combinations stays on one side of the largest coefficient, whose size the
    // limbs must reach on the way.
    const int64_t peak = rule_.elements / 2;
    if (rule_.calc_kind == kind::combinations && st.pocitadlo - 1 < peak)
        return std::min(end_counter, peak + 2);
    return end_counter;
}

bool FastRun::goes_in_steps(const CalcState& st, int64_t end_counter) const {
    end_counter = in_steps_end(st, end_counter);
    if (rule_.calc_kind == kind::combinations) return binomial_in_one_go(st, end_counter);
    if (!goes_in_steps_kind() || end_counter <= st.pocitadlo || !decimal_transforms_available() ||
        !counts_ahead(end_counter) || power_steps_ != 0)
        return false;
    if (rule_.calc_kind == kind::factorial)
        return static_cast<unsigned long>(end_counter) >= decimal_factorial_from;
    return variation_bits(rule_.elements, end_counter - 1) >= long_variation_bits;
}

// A coefficient from a trusted value is computed afresh from its primes in decimal words where
// GMP's binomial is fast (its binary value is then taken from GMP when needed) and the classes
// to go are not so few that the ratio from the class held costs less.
bool FastRun::binomial_in_one_go(const CalcState& st, int64_t end_counter) const {
    const int64_t a = int64_t{st.pocitadlo} - 1, b = end_counter - 1;
    const uint32_t n = static_cast<uint32_t>(rule_.elements);
    if (b <= a || !decimal_transforms_available() || !value_trusted || !products_.empty() ||
        !divisors_.empty() || !gmp_binomial_is_fast(n, b) ||
        binomial_bits(n, b) < decimal_binomial_from_bits)
        return false;
    return 16 * (b - a) >= std::min<int64_t>(b, n - b);
}

namespace {

// The step of a value as the computations name it: m for m!, the class for a variation or a
// coefficient, whose counter stands one above it; and back.
unsigned long step_of(int32_t calc_kind, int64_t counter) {
    return static_cast<unsigned long>(calc_kind == kind::factorial ? counter : counter - 1);
}

int64_t counter_of(int32_t calc_kind, unsigned long step) {
    return calc_kind == kind::factorial ? int64_t(step) : int64_t(step) + 1;
}

// Whether end_counter! needs start! on the way: start is one of its levels end >> j.
bool is_level_of(int64_t start, int64_t end) {
    for (int64_t level = end / 2; level >= start && level > 0; level /= 2)
        if (level == start) return true;
    return false;
}

// The level end! is computed from when start! is held (held) and is one of its levels; 0 for
// none, so that the factorial is computed from the bottom.
unsigned long seed_level(bool held, int64_t start, int64_t end) {
    return held && is_level_of(start, end) ? static_cast<unsigned long>(start) : 0;
}

}  // namespace

// The cheaper of computing the value afresh (from a level it has, when that is held) and going
// on from the value held: the product of the steps to come, then its product with the value.
namespace {

struct InStepsPlan {
    bool from_held = false;
    double work = 0;
};

// held: whether the value of start is at hand to go on from.
InStepsPlan plan_in_steps(int32_t calc_kind, unsigned long elements, int64_t start, int64_t end,
                          bool held) {
    const unsigned long a = step_of(calc_kind, start), b = step_of(calc_kind, end);
    const unsigned long top = calc_kind == kind::factorial ? b : elements - a;
    const double held_log10 = calc_kind == kind::factorial
                                  ? std::lgamma(a + 1.0) / std::log(10.0)
                                  : variation_bits(elements, a) * std::log10(2.0);
    const double rest_log10 =
        (std::lgamma(top + 1.0) - std::lgamma(top - (b - a) + 1.0)) / std::log(10.0);
    InStepsPlan afresh;
    if (calc_kind == kind::factorial) {
        afresh.work = decimal_factorial_work(b, seed_level(held, start, end));
    } else {
        afresh.work = variation_bits(elements, b) >= variation_in_classes_bits
                          ? decimal_variation_in_classes_work(elements, b)
                          : decimal_falling_product_work(elements, b);
    }
    // Going on from the value held keeps no step on the way: it is taken only where the step
    // held is at least half the way, so that an interrupt meanwhile keeps a step that took at
    // least about half the time spent, or where the steps to come are few.
    if (a < 2 || !held || 2 * a < b) return afresh;
    InStepsPlan from_held{true, decimal_falling_product_work(top, b - a) +
                                    decimal_product_work(decimal_words_for(held_log10),
                                                         decimal_words_for(rest_log10), false)};
    if (16 * (b - a) < b) return from_held;
    return from_held.work < afresh.work ? from_held : afresh;
}

}  // namespace

// The limbs are lent to a backup being written while the next batch runs.
bool FastRun::value_at_hand(const CalcState& st) const {
    return held_ && (held_->decimal ||
                     (held_->in_limbs && st.vysledek.size() > static_cast<size_t>(st.top_index)));
}

const DecimalNumber& FastRun::held_in_decimal(const CalcState& st) {
    if (!held_->decimal) {
        DecimalNumber words;
        limbs_to_decimal(st.vysledek, st.top_index, st.limb_digits, words);
        held_->decimal = std::move(words);
    }
    return *held_->decimal;
}

bool FastRun::in_steps_from_held(const CalcState& st, int64_t end_counter) const {
    if (rule_.calc_kind == kind::combinations) return false;
    return plan_in_steps(rule_.calc_kind, static_cast<unsigned long>(rule_.elements), st.pocitadlo,
                         end_counter, value_at_hand(st))
        .from_held;
}

double FastRun::in_steps_work(const CalcState& st, int64_t end_counter) const {
    if (!goes_in_steps(st, end_counter)) return 0;
    end_counter = in_steps_end(st, end_counter);
    if (rule_.calc_kind == kind::combinations)
        return decimal_binomial_work(static_cast<unsigned long>(rule_.elements),
                                     static_cast<unsigned long>(end_counter - 1));
    return plan_in_steps(rule_.calc_kind, static_cast<unsigned long>(rule_.elements), st.pocitadlo,
                         end_counter, value_at_hand(st))
        .work;
}

// A factorial computed afresh keeps its levels (end / 2, end / 4, ...) above the step it began
// at; any other computation in one go keeps only its end.
std::vector<double> FastRun::kept_step_work(const CalcState& st, int64_t end_counter) const {
    if (!goes_in_steps(st, end_counter)) return {};
    end_counter = in_steps_end(st, end_counter);
    std::vector<double> work;
    if (rule_.calc_kind == kind::factorial && !in_steps_from_held(st, end_counter)) {
        const unsigned long seed = seed_level(value_at_hand(st), st.pocitadlo, end_counter);
        for (int64_t level = end_counter / 2; level > st.pocitadlo; level /= 2)
            work.push_back(decimal_factorial_work(static_cast<unsigned long>(level), seed));
        std::reverse(work.begin(), work.end());
    }
    work.push_back(in_steps_work(st, end_counter));
    return work;
}

// The value of end_counter in one go. An interrupt, or a stop asked for at a step kept, ends
// the batch at the last step kept (or where it began), so that the counter always names a
// value held.
int64_t FastRun::advance_in_steps(CalcState& st, int64_t end_counter) {
    const KeptBlocksReleasedAtEnd released;
    end_counter = in_steps_end(st, end_counter);
    const int64_t start = st.pocitadlo;
    kept_counter_ = 0;
    // The limbs hold the largest coefficient passed, before the next batch goes down from it.
    if (rule_.calc_kind == kind::combinations && start - 1 >= rule_.elements / 2)
        grow_for_combinations(st, 1, 1);
    DecimalNumber result;
    int64_t reached = end_counter;
    try {
        if (in_steps_from_held(st, end_counter)) {
            compute_from_held(result, st, end_counter);
        } else {
            compute_afresh(result, st, end_counter);
        }
    } catch (const Cancelled&) {
        reached = kept_counter_;
        result = std::move(kept_);
    }
    kept_ = DecimalNumber{};
    if (reached > 0) hold_decimal(st, start, reached, std::move(result));
    return st.pocitadlo - start;
}

void FastRun::compute_from_held(DecimalNumber& out, const CalcState& st, int64_t end_counter) {
    const std::atomic<bool>* cancel = reached_ != nullptr ? reached_->cancel : nullptr;
    const DecimalNumber& held = held_in_decimal(st);
    const unsigned long a = step_of(rule_.calc_kind, st.pocitadlo);
    const unsigned long b = step_of(rule_.calc_kind, end_counter);
    const unsigned long top =
        rule_.calc_kind == kind::factorial ? b : static_cast<unsigned long>(rule_.elements) - a;
    // Backups at a fixed interval make every batch take as many steps: its factorial is kept.
    const DecimalNumber* count_factorial = nullptr;
    if (falling_product_takes_factorial(top, b - a)) {
        if (count_factorial_n_ != b - a) {
            count_factorial_n_ = 0;
            decimal_factorial(count_factorial_, b - a, cancel);
            count_factorial_n_ = b - a;
        }
        count_factorial = &count_factorial_;
    }
    decimal_falling_product(out, top, b - a, cancel, count_factorial);
    stop_if_cancelled(cancel);
    multiply(out, held, out, true);
}

void FastRun::compute_afresh(DecimalNumber& out, CalcState& st, int64_t end_counter) {
    const std::atomic<bool>* cancel = reached_ != nullptr ? reached_->cancel : nullptr;
    // Each step on the way replaces the one kept before, if it is further.
    const StepValue keep = [&](unsigned long step, const DecimalNumber& value) {
        const int64_t counter = counter_of(rule_.calc_kind, step);
        if (counter <= st.pocitadlo || counter >= end_counter) return;
        // The copy counts its work and may end in Cancelled, which must leave the step kept
        // before whole.
        copy_counted(kept_, value);
        kept_counter_ = counter;
        st.pocitadlo = static_cast<int32_t>(counter);
        if (reached_ == nullptr) return;
        if (reached_->kept) reached_->kept(counter);
        if (reached_->stop_here && reached_->stop_here()) throw Cancelled();
    };
    const unsigned long b = step_of(rule_.calc_kind, end_counter);
    if (rule_.calc_kind == kind::combinations)
        return decimal_binomial(out, static_cast<unsigned long>(rule_.elements), b, cancel);
    if (rule_.calc_kind == kind::factorial) {
        FactorialLevels levels;
        levels.level = keep;
        levels.seed_n = seed_level(value_at_hand(st), st.pocitadlo, end_counter);
        if (levels.seed_n != 0) levels.seed = &held_in_decimal(st);
        return decimal_factorial(out, b, cancel, &levels);
    }
    const auto n = static_cast<unsigned long>(rule_.elements);
    if (variation_bits(n, b) >= variation_in_classes_bits)
        return decimal_variation_in_classes(out, n, b, keep, cancel);
    decimal_falling_product(out, n, b, cancel);
}

void FastRun::hold_decimal(CalcState& st, int64_t start, int64_t counter, DecimalNumber&& value) {
    held_->decimal = std::move(value);
    held_->in_limbs = false;
    st.pocitadlo = static_cast<int32_t>(counter);
    if (rule_.calc_kind == kind::combinations) {
        const int64_t b = counter - 1;
        const auto n = static_cast<uint64_t>(rule_.elements);
        put_off_binary(Held::Binary::binomial, b);
        // Rising, the value before the last step is the largest the limbs had to hold.
        if (b <= rule_.elements / 2 + 1)
            grow_for_combinations(st, static_cast<uint64_t>(b), n - static_cast<uint64_t>(b) + 1);
        return;
    }
    put_off_binary(Held::Binary::counted, counter);
    steps_since_growth_ += counter - start;
    last_factor_ = last_factor_at(counter);
}

}  // namespace cifrovar
