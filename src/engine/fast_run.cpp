#include "engine/fast_run.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <vector>

#include "bignum/decimal_binomial.h"
#include "bignum/decimal_factorial.h"
#include "bignum/decimal_word.h"
#include "bignum/fast_factorial.h"
#include "bignum/fast_multiply.h"
#include "bignum/mapped_blocks.h"
#include "bignum/variation_classes.h"
#include "bignum/work_progress.h"
#include "engine/growth.h"
#include "engine/limb_conversion.h"
#include "engine/residue_check.h"

namespace cifrovar {

namespace {

// Variations from this size on are computed in one go in decimal words, where the processor
// has the transforms.
constexpr double long_variation_bits = 1 << 22;

// From this size on a variation computed in one go goes through classes that double, each
// kept on the way; the doubling costs more than the direct route, which a shorter one takes.
constexpr double variation_in_classes_bits = 1 << 26;

// GMP's binomial C(n, k) takes its fast route only for k above n / 16, and is quadratic from
// there down: C(10000000, 625000) took 13 s, one class more 0.05 s.
bool gmp_binomial_is_fast(int64_t n, int64_t k) { return 16 * k > n; }

// log2 of V(n, k) = n! / (n - k)!.
double variation_bits(int64_t n, int64_t k) {
    const double nd = static_cast<double>(n), kd = static_cast<double>(k);
    return (std::lgamma(nd + 1) - std::lgamma(nd - kd + 1)) / std::log(2.0);
}

// Steps per chunk of a product run: small enough that the interrupt is seen often, large
// enough that the product tree of a chunk amortises its calls.
constexpr int64_t chunk_steps = 2048;

// value * mult >= div * 10^exp10, exactly.
bool at_least(const BigValue& value, uint64_t mult, uint64_t div, int64_t exp10) {
    BigValue left, right;
    multiply_small(left, value, mult);
    power(right, 10, static_cast<unsigned long>(exp10));
    multiply_small(right, right, div);
    return compare(left, right) >= 0;
}

// How far a sum of logarithms of the given total size may be off.
double log_error(double magnitude) { return 1e-12 * magnitude + 1e-9; }

}  // namespace

void FastRun::begin(const CalcState& st, const StepRule& rule) {
    rule_ = rule;
    if (holding_) return;
    // A trusted factorial or variation that goes on in one go is read from the limbs in
    // decimal words when it is needed, and computed afresh in binary when that is needed.
    if (value_trusted && goes_in_steps_kind() && decimal_transforms_available() &&
        st.pocitadlo > 1) {
        value_.release();
        lazy_counter_ = st.pocitadlo;
    } else {
        limbs_to_value(st.vysledek, st.top_index, st.limb_digits, value_);
        lazy_counter_ = 0;
    }
    products_.clear();
    divisors_.clear();
    power_steps_ = 0;
    lazy_binomial_ = -1;
    pending_shift_ = 0;
    steps_since_growth_ = 0;
    growth_base_top_ = st.top_index;
    holding_ = true;
    limbs_current_ = true;
}

void FastRun::drop() {
    holding_ = false;
    count_factorial_.words.clear();
    count_factorial_.words.shrink_to_fit();
    count_factorial_n_ = 0;
    limbs_current_ = false;
    value_.release();
    lazy_counter_ = 0;
    lazy_binomial_ = -1;
    forget_decimal();
    products_.clear();
    divisors_.clear();
    power_steps_ = 0;
    pending_shift_ = 0;
    steps_since_growth_ = 0;
}

int64_t FastRun::advance(CalcState& st, int64_t end_counter, int64_t max_steps,
                         std::chrono::steady_clock::time_point deadline,
                         const StepsReached& reached) {
    if (max_steps <= 0) max_steps = std::numeric_limits<int64_t>::max();
    reached_ = &reached;
    const int64_t end =
        end_counter - st.pocitadlo > max_steps ? st.pocitadlo + max_steps : end_counter;
    if (goes_in_steps(st, end)) {
        const int64_t steps = advance_in_steps(st, end);
        reached_ = nullptr;
        return steps;
    }
    limbs_current_ = false;
    forget_decimal();
    int64_t steps = 0;
    switch (rule_.calc_kind) {
        case kind::powers:
            steps = advance_powers(st, end_counter, max_steps);
            break;
        case kind::combinations:
            steps = advance_combinations(st, end_counter, max_steps, deadline);
            break;
        default:
            steps = advance_products(st, end_counter, max_steps, deadline);
            break;
    }
    reached_ = nullptr;
    return steps;
}

// A power needs no work per step: base^steps is computed in one go when the limbs are read.
int64_t FastRun::advance_powers(CalcState& st, int64_t end_counter, int64_t max_steps) {
    const int64_t steps = std::min(end_counter - st.pocitadlo, max_steps);
    st.pocitadlo = static_cast<int32_t>(st.pocitadlo + steps);
    power_steps_ += steps;
    steps_since_growth_ += steps;
    last_factor_ = static_cast<uint32_t>(rule_.base);
    return steps;
}

// Factorials and long variations are computed in one go from a trusted value with nothing
// else pending. Shorter variations keep their products of factors.
bool FastRun::counts_ahead(int64_t target) const {
    if (!value_trusted || !products_.empty() || pending_shift_ != 0) return false;
    if (rule_.calc_kind == kind::factorial) return true;
    return rule_.calc_kind == kind::variations &&
           variation_bits(rule_.elements, target - 1) >= long_variation_bits;
}

// The factor of the step that led to the counter.
uint32_t FastRun::last_factor_at(int64_t counter) const {
    return static_cast<uint32_t>(
        rule_.calc_kind == kind::factorial ? counter : int64_t{rule_.elements} - counter + 2);
}

// counter! for factorials; V(n, counter - 1) for variations, whose counter stands one above
// the class reached.
void FastRun::counted_value(BigValue& out, int64_t counter) const {
    if (rule_.calc_kind == kind::factorial)
        return fast_factorial(out, static_cast<unsigned long>(counter));
    const auto n = static_cast<unsigned long>(rule_.elements);
    const auto k = static_cast<unsigned long>(counter - 1);
    if (gmp_binomial_is_fast(n, k)) return fast_variation(out, n, k);
    binary_falling_product(out, n, k);
}

int64_t FastRun::advance_products(CalcState& st, int64_t end_counter, int64_t max_steps,
                                  std::chrono::steady_clock::time_point deadline) {
    int64_t steps = 0;
    std::vector<uint32_t> factors;
    while (st.pocitadlo < end_counter && steps < max_steps) {
        const int64_t m = std::min({chunk_steps, end_counter - st.pocitadlo, max_steps - steps});
        factors.resize(static_cast<size_t>(m));
        for (int64_t j = 0; j < m; ++j) {
            const int64_t counter = int64_t{st.pocitadlo} + j;  // before the step
            factors[j] = static_cast<uint32_t>(rule_.calc_kind == kind::factorial
                                                   ? counter + 1
                                                   : int64_t{rule_.elements} - counter + 1);
        }
        last_factor_ = factors.back();
        // Powers of two are kept apart as a shift count; the products get smaller by that much.
        for (uint32_t& f : factors) {
            const int zeros = std::countr_zero(f);
            f >>= zeros;
            pending_shift_ += zeros;
        }
        BigValue chunk;
        product_of(chunk, factors.data(), factors.size());
        products_.push(std::move(chunk), deadline);
        st.pocitadlo = static_cast<int32_t>(st.pocitadlo + m);
        steps += m;
        steps_since_growth_ += m;
        tell_reached(st.pocitadlo);
        if (std::chrono::steady_clock::now() >= deadline) break;
    }
    return steps;
}

namespace {

// GMP's binomial of this many bits takes about half a second here (C(30000000, 15000000)
// 0.48 s), which a batch may take.
constexpr double afresh_binomial_bits = 1 << 25;

double binomial_bits(uint32_t n, int64_t k) {
    const double nk = static_cast<double>(n) - static_cast<double>(k);
    return (std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(nk + 1.0)) / std::log(2.0);
}

}  // namespace

// Each batch multiplies by C(n, b) / C(n, a); the divisions wait with the products until the
// limbs are read, which is exact because the value is a binomial coefficient.
int64_t FastRun::advance_combinations(CalcState& st, int64_t end_counter, int64_t max_steps,
                                      std::chrono::steady_clock::time_point deadline) {
    const auto started = std::chrono::steady_clock::now();
    const uint32_t n = static_cast<uint32_t>(rule_.elements);
    const int64_t peak = n / 2;
    const int64_t a = int64_t{st.pocitadlo} - 1;
    if (combination_budget_ <= 0)
        combination_budget_ =
            std::max<int64_t>(1024, static_cast<int64_t>(2e7 / std::log10(n + 10.0)));
    int64_t b = a + std::min({end_counter - 1 - a, combination_budget_, max_steps});
    // A batch stays on one side of the largest coefficient, so its largest value is at an end.
    const bool rising = a < peak;
    if (rising) b = std::min(b, peak + 1);
    if (b <= a) return 0;
    if (!rising) grow_for_combinations(st, 1, 1);
    // Where GMP's binomial is fast and most of the way from class 0 is still ahead, computing
    // the coefficient afresh costs little more.
    const bool afresh = value_trusted && products_.empty() && divisors_.empty();
    auto binomial_pays = [&](int64_t to) { return 4 * a <= to && gmp_binomial_is_fast(n, to); };
    if (afresh && binomial_pays(b)) {
        // The budget is sized for ratios; GMP's binomial costs far less for the same steps
        // (0.13 s for C(10000000, 5000000)), so the batch goes on while its result stays short.
        int64_t far = a + std::min(end_counter - 1 - a, max_steps);
        if (rising) far = std::min(far, peak + 1);
        if (far > b && binomial_pays(far) && binomial_bits(n, far) <= afresh_binomial_bits) b = far;
    }
    if (afresh && binomial_pays(b)) {
        // Computed when needed: in decimal words, if the limbs are read next, costs less than
        // GMP's binomial and its conversion.
        value_.release();
        lazy_binomial_ = b;
    } else {
        push_ratio(n, a, b, deadline);
    }
    // The value before the last step is C(n, b-1) = C(n, b) * b / (n - b + 1).
    if (rising) grow_for_combinations(st, static_cast<uint64_t>(b), uint64_t{n} - b + 1);
    st.pocitadlo = static_cast<int32_t>(b + 1);
    // The next batch aims at two thirds of the time allowed, judged by this one.
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    const std::chrono::duration<double> allowed = deadline - started;
    const double scale =
        std::clamp(0.67 * allowed.count() / std::max(took.count(), 1e-6), 0.25, 2.0);
    combination_budget_ = std::max<int64_t>(1, static_cast<int64_t>(combination_budget_ * scale));
    return b - a;
}

void FastRun::ensure_value() {
    if (lazy_binomial_ >= 0) {
        binomial(value_, static_cast<unsigned long>(rule_.elements),
                 static_cast<unsigned long>(lazy_binomial_));
        lazy_binomial_ = -1;
    }
    if (lazy_counter_ == 0) return;
    counted_value(value_, lazy_counter_);
    lazy_counter_ = 0;
}

// C(n, b) / C(n, a) goes into the pending products and divisors in parts, each told when done,
// so that a long batch shows how far it has come. A part costs a pass over the primes up to b
// besides its own product, so parts are sized by time rather than kept small.
namespace {

int64_t first_part_steps(int64_t steps, double part_seconds,
                         std::chrono::steady_clock::time_point deadline) {
    const std::chrono::duration<double> allowed = deadline - std::chrono::steady_clock::now();
    const double share = std::min(1.0, part_seconds / std::max(allowed.count(), 1e-3));
    return std::max<int64_t>(1, static_cast<int64_t>(static_cast<double>(steps) * share));
}

}  // namespace

void FastRun::push_ratio(uint32_t n, int64_t a, int64_t b,
                         std::chrono::steady_clock::time_point deadline) {
    const double part_seconds = reached_ != nullptr ? reached_->part_seconds : 1.0;
    for (int64_t from = a; from < b;) {
        // Until a part has been timed, the batch's share of its time allowed sets the part:
        // each part costs a pass over the primes and cancels less between its numerator and
        // denominator, so a batch that may take no longer than one part stays whole.
        if (part_steps_ == 0) part_steps_ = first_part_steps(b - from, part_seconds, deadline);
        const int64_t to = std::min(b, from + std::max(part_steps_, chunk_steps));
        const auto started = std::chrono::steady_clock::now();
        BigValue numerator, denominator;
        ratio_.compute(n, static_cast<uint32_t>(from), static_cast<uint32_t>(to), numerator,
                       denominator);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        const double scale = std::clamp(part_seconds / std::max(took.count(), 1e-6), 0.25, 2.0);
        part_steps_ = std::max<int64_t>(chunk_steps, static_cast<int64_t>((to - from) * scale));
        products_.push(std::move(numerator), deadline);
        if (compare(denominator, 1) != 0) divisors_.push(std::move(denominator), deadline);
        from = to;
        tell_reached(to + 1);  // the counter stands one above the class reached
    }
}

void FastRun::settle() {
    ensure_value();
    if (power_steps_ > 0) {
        BigValue power_of_base;
        power(power_of_base, static_cast<unsigned long>(rule_.base),
              static_cast<unsigned long>(power_steps_));
        multiply(value_, value_, power_of_base);
        power_steps_ = 0;
    }
    products_.multiply_into(value_);
    if (pending_shift_ > 0) {
        shift_left(value_, static_cast<uint64_t>(pending_shift_));
        pending_shift_ = 0;
    }
    if (!divisors_.empty()) {
        BigValue divisor(1);
        divisors_.multiply_into(divisor);
        divide_exact(value_, divisor);
    }
}

// The products only grow, so the largest value before a step is the one before the last step.
void FastRun::grow_for_products(CalcState& st) {
    ensure_value();
    grow_for_products(st, log10_of(value_),
                      [&](int64_t e) { return at_least(value_, 1, last_factor_, e); });
}

void FastRun::grow_for_products(CalcState& st, double log10_value,
                                const std::function<bool(int64_t)>& at_least) {
    if (steps_since_growth_ > 0) {
        const double log_before_last = log10_value - std::log10(static_cast<double>(last_factor_));
        st.top_index = grown_top_index(growth_base_top_, st.limb_digits, log_before_last,
                                       log_error(log_before_last), at_least);
    }
    growth_base_top_ = st.top_index;
    steps_since_growth_ = 0;
}

// Grows for the value (pending products and divisors included) times mult / div.
void FastRun::grow_for_combinations(CalcState& st, uint64_t mult, uint64_t div) {
    const double held =
        lazy_binomial_ >= 0
            ? binomial_bits(static_cast<uint32_t>(rule_.elements), lazy_binomial_) * std::log10(2.0)
            : log10_of(value_);
    const double up = products_.log10_product(), down = divisors_.log10_product();
    const double log_value = held + up - down + std::log10(static_cast<double>(mult)) -
                             std::log10(static_cast<double>(div));
    st.top_index = grown_top_index(st.top_index, st.limb_digits, log_value,
                                   log_error(std::fabs(held) + up + down), [&](int64_t e) {
                                       settle();
                                       return at_least(value_, mult, div, e);
                                   });
}

namespace {

// From these sizes on the decimal route is faster than converting the binary result.
constexpr unsigned long decimal_factorial_from = 1ul << 15;
constexpr double decimal_power_from_bits = 1 << 22;
constexpr double decimal_binomial_from_bits = 1 << 18;

}  // namespace

bool FastRun::nothing_but_steps_pending() const {
    return decimal_transforms_available() && products_.empty() && divisors_.empty() &&
           pending_shift_ == 0;
}

// The exponent of the power held, st.pocitadlo, when the value held is the base to the steps
// before the pending ones, as a run from a fresh start leaves it; -1 otherwise.
int64_t FastRun::power_exponent_held(const CalcState& st) const {
    if (rule_.calc_kind != kind::powers || lazy_counter_ != 0 || rule_.base < 2) return -1;
    const int64_t before = int64_t{st.pocitadlo} - power_steps_;
    if (before < 0) return -1;
    const double bits = static_cast<double>(before) * std::log2(rule_.base);
    if (std::fabs(static_cast<double>(bit_length(value_)) - bits) > 2) return -1;
    BigValue expected;
    power(expected, static_cast<unsigned long>(rule_.base), static_cast<unsigned long>(before));
    return compare(expected, value_) == 0 ? st.pocitadlo : -1;
}

// A coefficient that GMP computed afresh is computed again from its primes in decimal words
// when that spares a long conversion. Every odd number up to n is sieved and visited, which
// pays while n is at most twice the coefficient's bits.
bool FastRun::binomial_pays_in_decimal() const {
    if (rule_.calc_kind != kind::combinations || lazy_binomial_ < 0 || !nothing_but_steps_pending())
        return false;
    const double bits = binomial_bits(static_cast<uint32_t>(rule_.elements), lazy_binomial_);
    return bits >= decimal_binomial_from_bits && static_cast<double>(rule_.elements) <= 2 * bits;
}

bool FastRun::power_pays_in_decimal(const CalcState& st) const {
    if (!nothing_but_steps_pending() || power_steps_ == 0 || rule_.calc_kind != kind::powers ||
        rule_.base < 2)
        return false;
    const double bits = static_cast<double>(st.pocitadlo) * std::log2(rule_.base);
    return bits >= decimal_power_from_bits && power_exponent_held(st) > 0;
}

// The decimal result goes straight into the limbs; it is kept beside them only while a run
// is to multiply on from it.
void FastRun::write_decimal_limbs(CalcState& st, bool keep) {
    // Combinations have grown the limbs with their batches.
    if (rule_.calc_kind != kind::combinations)
        grow_for_products(st, decimal_.log10(),
                          [&](int64_t e) { return decimal_.at_least(last_factor_, e); });
    decimal_to_limbs(decimal_, st.limb_digits, int64_t{st.top_index} + 1, st.vysledek);
    if (!keep) forget_decimal();
}

void FastRun::forget_decimal() {
    decimal_held_ = false;
    decimal_.words.clear();
    decimal_.words.shrink_to_fit();
}

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
    return decimal_held_ ||
           (limbs_current_ && st.vysledek.size() > static_cast<size_t>(st.top_index));
}

const DecimalNumber& FastRun::held_in_decimal(const CalcState& st) {
    if (!decimal_held_) {
        limbs_to_decimal(st.vysledek, st.top_index, st.limb_digits, decimal_);
        decimal_held_ = true;
    }
    return decimal_;
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
        kept_ = value;
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
    decimal_ = std::move(value);
    decimal_held_ = true;
    value_.release();
    limbs_current_ = false;
    st.pocitadlo = static_cast<int32_t>(counter);
    if (rule_.calc_kind == kind::combinations) {
        const int64_t b = counter - 1;
        const auto n = static_cast<uint64_t>(rule_.elements);
        lazy_binomial_ = b;
        // Rising, the value before the last step is the largest the limbs had to hold.
        if (b <= rule_.elements / 2 + 1)
            grow_for_combinations(st, static_cast<uint64_t>(b), n - static_cast<uint64_t>(b) + 1);
        return;
    }
    lazy_counter_ = counter;
    steps_since_growth_ += counter - start;
    last_factor_ = last_factor_at(counter);
}

void FastRun::materialize(CalcState& st, const std::atomic<bool>* cancel, bool keep_decimal) {
    if (!holding_ || limbs_current_) return;
    const KeptBlocksReleasedAtEnd released;
    if (!decimal_held_ && power_pays_in_decimal(st)) {
        // The steps stay pending on the value held, which the binary route multiplies in.
        decimal_power(decimal_, static_cast<unsigned long>(rule_.base),
                      static_cast<unsigned long>(st.pocitadlo), cancel);
        decimal_held_ = true;
    }
    // Until the value is computed the limbs keep the step they held; from the first limb
    // written they hold none until the last.
    if (decimal_held_) {
        limbs_rewritten();
        write_decimal_limbs(st, keep_decimal && goes_in_steps_kind());
    } else if (binomial_pays_in_decimal()) {
        // The top index has grown with the batches; only the digits are wanted.
        decimal_binomial(decimal_, static_cast<unsigned long>(rule_.elements),
                         static_cast<unsigned long>(lazy_binomial_), cancel);
        limbs_rewritten();
        decimal_to_limbs(decimal_, st.limb_digits, int64_t{st.top_index} + 1, st.vysledek);
        forget_decimal();
    } else {
        settle();
        if (rule_.calc_kind != kind::combinations) grow_for_products(st);
        limbs_rewritten();
        value_to_limbs(value_, st.limb_digits, int64_t{st.top_index} + 1, st.vysledek, cancel);
    }
    limbs_current_ = true;
    limbs_hold(st);
}

bool FastRun::verify_binomial(const CalcState& st, int32_t elements) {
    BigValue expected, denominator;
    ratio_.compute(static_cast<uint32_t>(elements), 0, static_cast<uint32_t>(st.pocitadlo - 1),
                   expected, denominator);
    divide_exact(expected, denominator);
    settle();
    return compare(expected, value_) == 0;
}

bool FastRun::verify_product(const CalcState& st, const StepRule& rule) {
    if (st.pocitadlo < 1 || st.vysledek.size() <= static_cast<size_t>(st.top_index)) return false;
    uint64_t expected = 0;
    if (rule.calc_kind == kind::factorial) {
        expected = falling_product_residue(static_cast<uint64_t>(st.pocitadlo),
                                           static_cast<uint64_t>(st.pocitadlo));
    } else if (rule.calc_kind == kind::variations && rule.elements >= st.pocitadlo - 1) {
        expected = falling_product_residue(static_cast<uint64_t>(rule.elements),
                                           static_cast<uint64_t>(st.pocitadlo - 1));
    } else {
        return false;
    }
    return limbs_residue(st.vysledek, st.top_index, st.limb_digits) == expected;
}

}  // namespace cifrovar
