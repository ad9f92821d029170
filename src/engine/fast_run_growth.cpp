#include <cmath>

#include "engine/fast_run.h"
#include "engine/fast_run_sizes.h"
#include "engine/growth.h"

namespace cifrovar {

namespace {

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
        binary_form() == Held::Binary::binomial
            ? binomial_bits(static_cast<uint32_t>(rule_.elements), held_->step) * std::log10(2.0)
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

}  // namespace cifrovar
