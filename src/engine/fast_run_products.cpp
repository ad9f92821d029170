#include <algorithm>
#include <bit>
#include <vector>

#include "bignum/fast_factorial.h"
#include "bignum/variation_classes.h"
#include "engine/fast_run.h"
#include "engine/fast_run_sizes.h"

namespace cifrovar {

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

}  // namespace cifrovar
