#include <algorithm>
#include <cmath>

#include "engine/fast_run.h"
#include "engine/fast_run_sizes.h"

namespace cifrovar {

namespace {

// GMP's binomial of this many bits takes about half a second here (C(30000000, 15000000)
// 0.48 s), which a batch may take.
constexpr double afresh_binomial_bits = 1 << 25;

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
        put_off_binary(Held::Binary::binomial, b);
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

}  // namespace cifrovar
