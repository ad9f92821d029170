#include "engine/fast_run.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "engine/limb_conversion.h"

namespace cifrovar {

namespace {

// Steps per chunk of a product run: small enough that the interrupt is seen often, large
// enough that the product tree of a chunk amortises its calls.
constexpr int64_t chunk_steps = 2048;

// Does lhs * lhs_mult reach rhs_mult * 10^exp10? Decided by logarithms unless the two sides
// are too close to tell, then exactly.
bool reaches(const BigValue& lhs, uint64_t lhs_mult, uint64_t rhs_mult, int64_t exp10) {
    const double left = log10_of(lhs) + std::log10(static_cast<double>(lhs_mult));
    const double right = std::log10(static_cast<double>(rhs_mult)) + static_cast<double>(exp10);
    const double margin = 1e-9 * std::max(1.0, std::fabs(left)) + 1e-9;
    if (left > right + margin) return true;
    if (left < right - margin) return false;
    BigValue l, r;
    mpz_mul_ui(l.get(), lhs.get(), lhs_mult);
    mpz_ui_pow_ui(r.get(), 10, static_cast<unsigned long>(exp10));
    mpz_mul_ui(r.get(), r.get(), rhs_mult);
    return mpz_cmp(l.get(), r.get()) >= 0;
}

// The kernel grows the arrays by 100 limbs before a step whenever one of the three top limbs
// is non-zero, and never shrinks them. Given the largest value that stood before a step since
// top_index was `top` (as lhs * lhs_mult / rhs_mult), this is the top_index it arrives at.
int32_t grown_top_index(int32_t top, int32_t limb_digits, const BigValue& lhs, uint64_t lhs_mult,
                        uint64_t rhs_mult) {
    auto level_reached = [&](int64_t j) {
        const int64_t limb = int64_t{top} - 2 + 100 * j;
        return reaches(lhs, lhs_mult, rhs_mult, limb * limb_digits);
    };
    const double digits = log10_of(lhs) + std::log10(static_cast<double>(lhs_mult)) -
                          std::log10(static_cast<double>(rhs_mult));
    int64_t j = std::max<int64_t>(0, static_cast<int64_t>(
                                         std::floor((digits / limb_digits - (top - 2)) / 100.0)) + 1);
    while (j > 0 && !level_reached(j - 1)) --j;
    while (level_reached(j)) ++j;
    return static_cast<int32_t>(int64_t{top} + 100 * j);
}

int64_t legendre(int64_t n, int64_t p) {
    int64_t count = 0;
    while (n > 0) {
        n /= p;
        count += n;
    }
    return count;
}

std::vector<uint32_t> primes_up_to(uint32_t limit) {
    std::vector<uint32_t> primes;
    if (limit < 2) return primes;
    std::vector<bool> composite(static_cast<size_t>(limit) + 1, false);
    for (uint64_t i = 2; i <= limit; ++i) {
        if (composite[i]) continue;
        primes.push_back(static_cast<uint32_t>(i));
        for (uint64_t j = i * i; j <= limit; j += i) composite[j] = true;
    }
    return primes;
}

// value *= C(n, b) / C(n, a), exactly, for a <= b <= n and value a multiple of what the division
// needs (value = C(n, a) times anything). The factors n-a .. n-b+1 are freed of the primes of
// b!/a! first, so the products stay near the size of the result.
void apply_binomial_ratio(BigValue& value, uint32_t n, uint32_t a, uint32_t b) {
    if (b <= a) return;
    const uint64_t lo = uint64_t{n} - b + 1, hi = uint64_t{n} - a;
    std::vector<uint32_t> entries(b - a);
    for (size_t j = 0; j < entries.size(); ++j) entries[j] = static_cast<uint32_t>(hi - j);
    BigValue leftover(1);
    for (const uint32_t p : primes_up_to(b)) {
        int64_t count = legendre(b, p) - legendre(a, p);
        for (uint64_t pk = p; count > 0 && pk <= hi; pk *= p) {
            for (uint64_t v = (lo + pk - 1) / pk * pk; v <= hi && count > 0; v += pk, --count)
                entries[hi - v] /= p;
        }
        if (count > 0) {
            BigValue power;
            mpz_ui_pow_ui(power.get(), p, static_cast<unsigned long>(count));
            mpz_mul(leftover.get(), leftover.get(), power.get());
        }
    }
    BigValue numerator;
    product_of(numerator, entries.data(), entries.size());
    mpz_mul(value.get(), value.get(), numerator.get());
    if (mpz_cmp_ui(leftover.get(), 1) != 0) mpz_divexact(value.get(), value.get(), leftover.get());
}

}  // namespace

void FastRun::begin(const CalcState& st, const StepRule& rule) {
    rule_ = rule;
    if (holding_) return;
    limbs_to_value(st.vysledek, st.top_index, st.limb_digits, start_value_);
    partials_.clear();
    power_steps_ = 0;
    steps_since_growth_ = 0;
    growth_base_top_ = st.top_index;
    holding_ = true;
    limbs_current_ = true;
}

void FastRun::drop() {
    holding_ = false;
    limbs_current_ = false;
    start_value_.release();
    partials_.clear();
    power_steps_ = 0;
    pending_shift_ = 0;
    steps_since_growth_ = 0;
}

int64_t FastRun::advance(CalcState& st, int64_t end_counter, int64_t max_steps,
                         std::chrono::steady_clock::time_point deadline) {
    if (max_steps <= 0) max_steps = std::numeric_limits<int64_t>::max();
    limbs_current_ = false;
    if (rule_.calc_kind == kind::powers) {
        const int64_t steps = std::min(end_counter - st.pocitadlo, max_steps);
        st.pocitadlo = static_cast<int32_t>(st.pocitadlo + steps);
        power_steps_ += steps;
        steps_since_growth_ += steps;
        last_factor_ = static_cast<uint32_t>(rule_.base);
        return steps;
    }
    if (rule_.calc_kind == kind::combinations)
        return advance_combinations(st, end_counter, max_steps, deadline);
    return advance_products(st, end_counter, max_steps, deadline);
}

void FastRun::push_partial(BigValue&& value) {
    partials_.push_back(Partial{std::move(value), 0});
    while (partials_.size() >= 2 && partials_[partials_.size() - 2].rank == partials_.back().rank) {
        Partial top = std::move(partials_.back());
        partials_.pop_back();
        mpz_mul(partials_.back().value.get(), partials_.back().value.get(), top.value.get());
        ++partials_.back().rank;
    }
}

void FastRun::collapse_into(BigValue& out) {
    while (partials_.size() >= 2) {
        Partial top = std::move(partials_.back());
        partials_.pop_back();
        mpz_mul(partials_.back().value.get(), partials_.back().value.get(), top.value.get());
    }
    if (!partials_.empty()) {
        mpz_mul(out.get(), out.get(), partials_.back().value.get());
        partials_.clear();
    }
}

// The largest n whose factorial GMP computes within the given time, from its measured growth
// (about 0.1 s for 10^6! and 2.4 s for 10^7! on a 2020s desktop core); a slower machine merely
// stretches one batch by that factor.
int64_t factorial_within(double seconds) {
    if (seconds <= 0) return 0;
    return static_cast<int64_t>(1e6 * std::pow(seconds / 0.1, 1 / 1.4));
}

int64_t FastRun::advance_products(CalcState& st, int64_t end_counter, int64_t max_steps,
                                  std::chrono::steady_clock::time_point deadline) {
    std::vector<uint32_t> factors;
    int64_t steps = 0;
    if (rule_.calc_kind == kind::factorial && value_trusted && partials_.empty()) {
        // The value is pocitadlo! itself, so GMP's factorial, much faster than a product of the
        // factors, may replace it outright while that fits into the batch.
        const std::chrono::duration<double> left = deadline - std::chrono::steady_clock::now();
        const int64_t n = std::min({end_counter, st.pocitadlo + std::min(max_steps, end_counter),
                                    factorial_within(left.count())});
        if (n > st.pocitadlo + chunk_steps) {
            mpz_fac_ui(start_value_.get(), static_cast<unsigned long>(n));
            pending_shift_ = 0;
            steps = n - st.pocitadlo;
            steps_since_growth_ += steps;
            last_factor_ = static_cast<uint32_t>(n);
            st.pocitadlo = static_cast<int32_t>(n);
            if (std::chrono::steady_clock::now() >= deadline) return steps;
        }
    }
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
        push_partial(std::move(chunk));
        st.pocitadlo = static_cast<int32_t>(st.pocitadlo + m);
        steps += m;
        steps_since_growth_ += m;
        if (std::chrono::steady_clock::now() >= deadline) break;
    }
    return steps;
}

int64_t FastRun::advance_combinations(CalcState& st, int64_t end_counter, int64_t max_steps,
                                      std::chrono::steady_clock::time_point deadline) {
    const auto started = std::chrono::steady_clock::now();
    const uint32_t n = static_cast<uint32_t>(rule_.elements);
    const int64_t peak = n / 2;
    const int64_t a = int64_t{st.pocitadlo} - 1;
    if (combination_budget_ <= 0)
        combination_budget_ = std::max<int64_t>(1024, static_cast<int64_t>(2e7 / std::log10(n + 10.0)));
    int64_t b = a + std::min({end_counter - 1 - a, combination_budget_, max_steps});
    // A batch stays on one side of the largest coefficient, so its largest value is at an end.
    const bool rising = a < peak;
    if (rising) b = std::min(b, peak + 1);
    if (b <= a) return 0;
    if (!rising)
        st.top_index = grown_top_index(st.top_index, st.limb_digits, start_value_, 1, 1);
    // GMP's binomial is fast from n/16 on (and quadratic below); a trusted value may be replaced.
    if (value_trusted && 16 * b >= int64_t{n})
        mpz_bin_uiui(start_value_.get(), n, static_cast<unsigned long>(b));
    else
        apply_binomial_ratio(start_value_, n, static_cast<uint32_t>(a), static_cast<uint32_t>(b));
    if (rising)
        st.top_index = grown_top_index(st.top_index, st.limb_digits, start_value_,
                                       static_cast<uint64_t>(b), uint64_t{n} - b + 1);
    st.pocitadlo = static_cast<int32_t>(b + 1);
    steps_since_growth_ += b - a;
    const auto took = std::chrono::steady_clock::now() - started;
    const auto allowed = deadline - started;
    if (took * 4 < allowed)
        combination_budget_ *= 2;
    else if (took > allowed)
        combination_budget_ = std::max<int64_t>(1, combination_budget_ / 2);
    return b - a;
}

void FastRun::grow_for_products(CalcState& st, const BigValue& value) {
    if (steps_since_growth_ > 0)
        st.top_index = grown_top_index(growth_base_top_, st.limb_digits, value, 1, last_factor_);
    growth_base_top_ = st.top_index;
    steps_since_growth_ = 0;
}

void FastRun::materialize(CalcState& st) {
    if (!holding_ || limbs_current_) return;
    if (rule_.calc_kind == kind::powers && power_steps_ > 0) {
        BigValue power;
        mpz_ui_pow_ui(power.get(), static_cast<unsigned long>(rule_.base),
                      static_cast<unsigned long>(power_steps_));
        mpz_mul(start_value_.get(), start_value_.get(), power.get());
        power_steps_ = 0;
    } else {
        collapse_into(start_value_);
        mpz_mul_2exp(start_value_.get(), start_value_.get(), static_cast<mp_bitcnt_t>(pending_shift_));
        pending_shift_ = 0;
    }
    if (rule_.calc_kind == kind::combinations) {
        steps_since_growth_ = 0;
    } else {
        grow_for_products(st, start_value_);
    }
    value_to_limbs(start_value_, st.limb_digits, int64_t{st.top_index} + 1, st.vysledek);
    limbs_current_ = true;
}

bool FastRun::verify_binomial(const CalcState& st, int32_t elements) {
    BigValue expected(1);
    apply_binomial_ratio(expected, static_cast<uint32_t>(elements), 0,
                         static_cast<uint32_t>(st.pocitadlo - 1));
    return mpz_cmp(expected.get(), start_value_.get()) == 0;
}

}  // namespace cifrovar
