#include "engine/fast_run.h"

#include <limits>

#include "bignum/fast_multiply.h"
#include "engine/limb_conversion.h"
#include "engine/residue_check.h"

namespace cifrovar {

void FastRun::begin(const CalcState& st, const StepRule& rule) {
    rule_ = rule;
    if (held_) return;
    // A trusted factorial or variation that goes on in one go is read from the limbs in
    // decimal words when it is needed, and computed afresh in binary when that is needed.
    const bool counted =
        value_trusted && goes_in_steps_kind() && decimal_transforms_available() && st.pocitadlo > 1;
    // Out of memory in the conversion, nothing is held yet.
    if (!counted) limbs_to_value(st.vysledek, st.top_index, st.limb_digits, value_);
    products_.clear();
    divisors_.clear();
    power_steps_ = 0;
    pending_shift_ = 0;
    steps_since_growth_ = 0;
    growth_base_top_ = st.top_index;
    held_.emplace();
    if (counted) put_off_binary(Held::Binary::counted, st.pocitadlo);
}

void FastRun::drop() {
    held_.reset();
    count_factorial_.words.clear();
    count_factorial_.words.shrink_to_fit();
    count_factorial_n_ = 0;
    value_.release();
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
    drop_copies();
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

void FastRun::put_off_binary(Held::Binary form, int64_t step) {
    value_.release();
    held_->binary = form;
    held_->step = step;
}

void FastRun::ensure_value() {
    const Held::Binary form = binary_form();
    if (form == Held::Binary::in_value) return;
    if (form == Held::Binary::binomial) {
        binomial(value_, static_cast<unsigned long>(rule_.elements),
                 static_cast<unsigned long>(held_->step));
    } else {
        counted_value(value_, held_->step);
    }
    held_->binary = Held::Binary::in_value;
}

void FastRun::drop_copies() {
    if (!held_) return;
    held_->in_limbs = false;
    held_->decimal.reset();
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
