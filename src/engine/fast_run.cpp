#include "engine/fast_run.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/decimal_binomial.h"
#include "engine/decimal_factorial.h"
#include "engine/fast_factorial.h"
#include "engine/growth.h"
#include "engine/limb_conversion.h"

namespace cifrovar {

namespace {

// Variations from this size on are counted ahead and, where the processor has the
// transforms, computed in decimal words.
constexpr double long_variation_bits = 1 << 22;

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
    mpz_mul_ui(left.get(), value.get(), mult);
    mpz_ui_pow_ui(right.get(), 10, static_cast<unsigned long>(exp10));
    mpz_mul_ui(right.get(), right.get(), div);
    return mpz_cmp(left.get(), right.get()) >= 0;
}

// How far a sum of logarithms of the given total size may be off.
double log_error(double magnitude) { return 1e-12 * magnitude + 1e-9; }

}  // namespace

void FastRun::begin(const CalcState& st, const StepRule& rule) {
    rule_ = rule;
    if (holding_) return;
    limbs_to_value(st.vysledek, st.top_index, st.limb_digits, value_);
    products_.clear();
    divisors_.clear();
    power_steps_ = 0;
    counted_target_ = 0;
    lazy_counter_ = 0;
    lazy_binomial_ = -1;
    pending_shift_ = 0;
    steps_since_growth_ = 0;
    growth_base_top_ = st.top_index;
    holding_ = true;
    limbs_current_ = true;
}

void FastRun::drop() {
    holding_ = false;
    limbs_current_ = false;
    value_.release();
    lazy_counter_ = 0;
    lazy_binomial_ = -1;
    forget_decimal();
    products_.clear();
    divisors_.clear();
    power_steps_ = 0;
    counted_target_ = 0;
    pending_shift_ = 0;
    steps_since_growth_ = 0;
}

int64_t FastRun::advance(CalcState& st, int64_t end_counter, int64_t max_steps,
                         std::chrono::steady_clock::time_point deadline,
                         const StepsReached& reached) {
    if (max_steps <= 0) max_steps = std::numeric_limits<int64_t>::max();
    limbs_current_ = false;
    forget_decimal();
    reached_ = &reached;
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

// Factorials, and long variations whose binomial GMP computes fast (above n/16), are
// counted ahead from a trusted value with nothing else pending. Shorter variations keep their
// products of factors, which an interrupt does not take back.
bool FastRun::counts_ahead(int64_t target) const {
    if (!value_trusted || !products_.empty() || pending_shift_ != 0) return false;
    if (rule_.calc_kind == kind::factorial) return true;
    return rule_.calc_kind == kind::variations &&
           gmp_binomial_is_fast(rule_.elements, target - 1) &&
           variation_bits(rule_.elements, target - 1) >= long_variation_bits;
}

// The factor of the step that led to the counter.
uint32_t FastRun::last_factor_at(int64_t counter) const {
    return static_cast<uint32_t>(
        rule_.calc_kind == kind::factorial ? counter : int64_t{rule_.elements} - counter + 2);
}

// counter! for factorials; V(n, counter - 1) for variations, whose counter stands one above
// the class reached.
void FastRun::counted_value(BigValue& out, int64_t counter, const std::atomic<bool>* cancel) const {
    if (rule_.calc_kind == kind::factorial)
        return fast_factorial(out, static_cast<unsigned long>(counter), cancel);
    fast_variation(out, static_cast<unsigned long>(rule_.elements),
                   static_cast<unsigned long>(counter - 1), cancel);
}

void FastRun::counted_value_in_decimal(DecimalNumber& out, int64_t counter,
                                       const std::atomic<bool>* cancel) const {
    if (rule_.calc_kind == kind::factorial)
        return decimal_factorial(out, static_cast<unsigned long>(counter), cancel);
    decimal_variation(out, static_cast<unsigned long>(rule_.elements),
                      static_cast<unsigned long>(counter - 1), cancel);
}

int64_t FastRun::advance_products(CalcState& st, int64_t end_counter, int64_t max_steps,
                                  std::chrono::steady_clock::time_point deadline) {
    const int64_t ahead = std::min(end_counter - st.pocitadlo, max_steps);
    if (counts_ahead(st.pocitadlo + ahead)) {
        // The value is the calculation's own for its counter, so the steps need no work now:
        // the value of the step reached is computed in one go when the limbs are read,
        // several times faster than the product of the factors.
        if (counted_target_ == 0) {
            settled_counter_ = st.pocitadlo;
            settled_growth_steps_ = steps_since_growth_;
        }
        st.pocitadlo = static_cast<int32_t>(st.pocitadlo + ahead);
        counted_target_ = st.pocitadlo;
        steps_since_growth_ += ahead;
        last_factor_ = last_factor_at(st.pocitadlo);
        return ahead;
    }
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

bool FastRun::complete_counted(CalcState& st, const std::atomic<bool>* cancel) {
    if (counted_target_ == 0) return true;
    if (counted_pays_in_decimal()) {
        try {
            counted_value_in_decimal(decimal_, counted_target_, cancel);
        } catch (const Cancelled&) {
            forget_decimal();
            take_back_counted(st);
            return false;
        }
        // The step reached is settled, its value in binary made only when needed.
        decimal_held_ = true;
        value_.release();
        settled_counter_ = static_cast<int32_t>(counted_target_);
        lazy_counter_ = counted_target_;
        counted_target_ = 0;
        return true;
    }
    BigValue value;
    try {
        counted_value(value, counted_target_, cancel);
    } catch (const Cancelled&) {
        take_back_counted(st);
        return false;
    }
    value_.swap(value);
    lazy_counter_ = 0;
    counted_target_ = 0;
    return true;
}

double FastRun::counted_work() const {
    if (counted_target_ == 0 || !counted_pays_in_decimal()) return 0;
    const auto target = static_cast<unsigned long>(counted_target_);
    if (rule_.calc_kind == kind::factorial) return decimal_factorial_work(target);
    return decimal_variation_work(static_cast<unsigned long>(rule_.elements), target - 1);
}

// Back to the last step whose value is held, so that nothing long is left pending.
void FastRun::take_back_counted(CalcState& st) {
    st.pocitadlo = settled_counter_;
    steps_since_growth_ = settled_growth_steps_;
    last_factor_ = last_factor_at(settled_counter_);
    counted_target_ = 0;
}

void FastRun::ensure_value() {
    if (lazy_binomial_ >= 0) {
        mpz_bin_uiui(value_.get(), static_cast<unsigned long>(rule_.elements),
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
        if (mpz_cmp_ui(denominator.get(), 1) != 0) divisors_.push(std::move(denominator), deadline);
        from = to;
        tell_reached(to + 1);  // the counter stands one above the class reached
    }
}

void FastRun::settle() {
    if (counted_target_ > 0) {
        counted_value(value_, counted_target_);
        counted_target_ = 0;
        lazy_counter_ = 0;
    }
    ensure_value();
    if (power_steps_ > 0) {
        BigValue power;
        mpz_ui_pow_ui(power.get(), static_cast<unsigned long>(rule_.base),
                      static_cast<unsigned long>(power_steps_));
        mpz_mul(value_.get(), value_.get(), power.get());
        power_steps_ = 0;
    }
    products_.multiply_into(value_);
    if (pending_shift_ > 0) {
        mpz_mul_2exp(value_.get(), value_.get(), static_cast<mp_bitcnt_t>(pending_shift_));
        pending_shift_ = 0;
    }
    if (!divisors_.empty()) {
        BigValue divisor(1);
        divisors_.multiply_into(divisor);
        mpz_divexact(value_.get(), value_.get(), divisor.get());
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

bool FastRun::counted_pays_in_decimal() const {
    if (!nothing_but_steps_pending() || power_steps_ != 0) return false;
    if (rule_.calc_kind == kind::factorial)
        return static_cast<unsigned long>(counted_target_) >= decimal_factorial_from;
    return variation_bits(rule_.elements, counted_target_ - 1) >= long_variation_bits;
}

// The exponent of the power held, st.pocitadlo, when the value held is the base to the steps
// before the pending ones, as a run from a fresh start leaves it; -1 otherwise.
int64_t FastRun::power_exponent_held(const CalcState& st) const {
    if (rule_.calc_kind != kind::powers || counted_target_ != 0 || lazy_counter_ != 0 ||
        rule_.base < 2)
        return -1;
    const int64_t before = int64_t{st.pocitadlo} - power_steps_;
    if (before < 0) return -1;
    const double bits = static_cast<double>(before) * std::log2(rule_.base);
    if (std::fabs(static_cast<double>(mpz_sizeinbase(value_.get(), 2)) - bits) > 2) return -1;
    BigValue expected;
    mpz_ui_pow_ui(expected.get(), static_cast<unsigned long>(rule_.base),
                  static_cast<unsigned long>(before));
    return mpz_cmp(expected.get(), value_.get()) == 0 ? st.pocitadlo : -1;
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

// The decimal result goes straight into the limbs; it is not kept beside them.
void FastRun::write_decimal_limbs(CalcState& st) {
    grow_for_products(st, decimal_.log10(),
                      [&](int64_t e) { return decimal_.at_least(last_factor_, e); });
    decimal_to_limbs(decimal_, st.limb_digits, int64_t{st.top_index} + 1, st.vysledek);
    forget_decimal();
}

void FastRun::forget_decimal() {
    decimal_held_ = false;
    decimal_.words.clear();
    decimal_.words.shrink_to_fit();
}

void FastRun::materialize(CalcState& st, const std::atomic<bool>* cancel) {
    if (!holding_ || limbs_current_) return;
    if (!complete_counted(st, cancel)) throw Cancelled();
    if (!decimal_held_ && power_pays_in_decimal(st)) {
        // The steps stay pending on the value held, which the binary route multiplies in.
        decimal_power(decimal_, static_cast<unsigned long>(rule_.base),
                      static_cast<unsigned long>(st.pocitadlo), cancel);
        decimal_held_ = true;
    }
    if (decimal_held_) {
        write_decimal_limbs(st);
        limbs_current_ = true;
        return;
    }
    if (binomial_pays_in_decimal()) {
        // The top index has grown with the batches; only the digits are wanted.
        decimal_binomial(decimal_, static_cast<unsigned long>(rule_.elements),
                         static_cast<unsigned long>(lazy_binomial_), cancel);
        decimal_to_limbs(decimal_, st.limb_digits, int64_t{st.top_index} + 1, st.vysledek);
        forget_decimal();
        limbs_current_ = true;
        return;
    }
    settle();
    if (rule_.calc_kind != kind::combinations) grow_for_products(st);
    value_to_limbs(value_, st.limb_digits, int64_t{st.top_index} + 1, st.vysledek, cancel);
    limbs_current_ = true;
}

bool FastRun::verify_binomial(const CalcState& st, int32_t elements) {
    BigValue expected, denominator;
    ratio_.compute(static_cast<uint32_t>(elements), 0, static_cast<uint32_t>(st.pocitadlo - 1),
                   expected, denominator);
    mpz_divexact(expected.get(), expected.get(), denominator.get());
    settle();
    return mpz_cmp(expected.get(), value_.get()) == 0;
}

}  // namespace cifrovar
