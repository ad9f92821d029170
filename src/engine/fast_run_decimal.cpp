#include <cmath>

#include "bignum/decimal_binomial.h"
#include "bignum/decimal_factorial.h"
#include "bignum/fast_multiply.h"
#include "bignum/mapped_blocks.h"
#include "engine/fast_run.h"
#include "engine/fast_run_sizes.h"
#include "engine/limb_conversion.h"

namespace cifrovar {

namespace {

// From this size on a power computed in decimal words costs less than converting it from
// binary.
constexpr double decimal_power_from_bits = 1 << 22;

}  // namespace

bool FastRun::nothing_but_steps_pending() const {
    return decimal_transforms_available() && products_.empty() && divisors_.empty() &&
           pending_shift_ == 0;
}

// The exponent of the power held, st.pocitadlo, when the value held is the base to the steps
// before the pending ones, as a run from a fresh start leaves it; -1 otherwise.
int64_t FastRun::power_exponent_held(const CalcState& st) const {
    if (rule_.calc_kind != kind::powers || binary_form() != Held::Binary::in_value ||
        rule_.base < 2)
        return -1;
    const int64_t before = int64_t{st.pocitadlo} - power_steps_;
    if (before < 0) return -1;
    const double bits = static_cast<double>(before) * std::log2(rule_.base);
    if (std::fabs(static_cast<double>(bit_length(value_)) - bits) > 2) return -1;
    BigValue expected;
    power(expected, static_cast<unsigned long>(rule_.base), static_cast<unsigned long>(before));
    return compare(expected, value_) == 0 ? st.pocitadlo : -1;
}

// A coefficient that GMP computed afresh is computed again from its primes in decimal words
// when that spares a long conversion.
bool FastRun::binomial_pays_in_decimal() const {
    if (rule_.calc_kind != kind::combinations || binary_form() != Held::Binary::binomial ||
        !nothing_but_steps_pending())
        return false;
    const double bits = binomial_bits(static_cast<uint32_t>(rule_.elements), held_->step);
    return binomial_from_primes_pays(static_cast<double>(rule_.elements), bits);
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
    const DecimalNumber& decimal = *held_->decimal;
    // Combinations have grown the limbs with their batches.
    if (rule_.calc_kind != kind::combinations)
        grow_for_products(st, decimal.log10(),
                          [&](int64_t e) { return decimal.at_least(last_factor_, e); });
    decimal_to_limbs(decimal, st.limb_digits, int64_t{st.top_index} + 1, st.vysledek);
    if (!keep) forget_decimal();
}

double FastRun::materialize_work(const CalcState& st) const {
    if (!held_ || held_->in_limbs || held_->decimal || !power_pays_in_decimal(st)) return 0;
    return decimal_power_work(static_cast<unsigned long>(rule_.base),
                              static_cast<unsigned long>(st.pocitadlo));
}

void FastRun::forget_decimal() {
    if (held_) held_->decimal.reset();
}

void FastRun::compute_power_digits(const CalcState& st, const std::atomic<bool>* cancel) {
    if (!held_ || held_->in_limbs || held_->decimal || !power_pays_in_decimal(st)) return;
    const KeptBlocksReleasedAtEnd released;
    // The steps stay pending on the value held, which the binary route multiplies in.
    DecimalNumber power_words;
    decimal_power(power_words, static_cast<unsigned long>(rule_.base),
                  static_cast<unsigned long>(st.pocitadlo), cancel);
    held_->decimal = std::move(power_words);
}

void FastRun::take_back_power_steps(CalcState& st, int64_t counter) {
    const int64_t steps = st.pocitadlo - counter;
    power_steps_ -= steps;
    steps_since_growth_ -= steps;
    st.pocitadlo = static_cast<int32_t>(counter);
}

void FastRun::materialize(CalcState& st, const std::atomic<bool>* cancel, bool keep_decimal) {
    if (!held_ || held_->in_limbs) return;
    const KeptBlocksReleasedAtEnd released;
    compute_power_digits(st, cancel);
    // Until the value is computed the limbs keep the step they held; from the first limb
    // written they hold none until the last.
    if (held_->decimal) {
        limbs_rewritten();
        write_decimal_limbs(st, keep_decimal && goes_in_steps_kind());
    } else if (binomial_pays_in_decimal()) {
        // The top index has grown with the batches; only the digits are wanted.
        DecimalNumber coefficient;
        decimal_binomial(coefficient, static_cast<unsigned long>(rule_.elements),
                         static_cast<unsigned long>(held_->step), cancel);
        limbs_rewritten();
        decimal_to_limbs(coefficient, st.limb_digits, int64_t{st.top_index} + 1, st.vysledek);
    } else {
        settle();
        if (rule_.calc_kind != kind::combinations) grow_for_products(st);
        limbs_rewritten();
        value_to_limbs(value_, st.limb_digits, int64_t{st.top_index} + 1, st.vysledek, cancel);
    }
    held_->in_limbs = true;
    limbs_hold(st);
}

}  // namespace cifrovar
