#include "bignum/decimal_factorial.h"

#include <bit>
#include <cmath>

#include "bignum/cancel.h"
#include "bignum/decimal_binomial.h"
#include "bignum/decimal_word.h"
#include "bignum/internal/gmp_integer.h"
#include "bignum/internal/large_blocks.h"
#include "bignum/internal/side_by_side.h"
#include "bignum/work_progress.h"

namespace cifrovar {

namespace {

// Below this GMP's own factorial and its conversion are the faster way (100000! took 0.52 of
// GMP's pipeline from 2^15 on, 1.0 from 2^17 on).
constexpr unsigned long whole_below = 1ul << 15;

// A power of this many bits GMP computes and converts faster than squarings in decimal.
constexpr unsigned long binary_power_bits = 1ul << 20;

// From here on a level computes its binomial from the primes in decimal words on both
// threads and then squares on both, instead of GMP's binomial and its conversion beside the
// square on one (10000000!: 1.7 s against 1.9 s; 1000000!: 0.19 s against 0.16 s). It is
// then also interrupted and counted while the binomial is computed, which took 4.7 s of the
// top level of 100000000! in GMP.
constexpr unsigned long binomial_from_primes_from = 1ul << 22;

}  // namespace

// n! = (m!)^2 * C(n, m), times m + 1 when n is odd, for m = n / 2. The binomial has about n
// bits against n log2 n for n!, so computing it costs a small part of the level.
void decimal_factorial(DecimalNumber& out, unsigned long n, const std::atomic<bool>* cancel,
                       const FactorialLevels* levels) {
    stop_if_cancelled(cancel);
    if (levels != nullptr && levels->seed != nullptr && n == levels->seed_n) {
        out = *levels->seed;
        return;
    }
    if (n < whole_below) {
        BigValue f;
        mpz_fac_ui(f.get(), n);
        return to_decimal(out, f);
    }
    return_large_blocks_to_system();
    const unsigned long m = n / 2;
    decimal_factorial(out, m, cancel, levels);
    if (levels != nullptr && levels->level) levels->level(m, out);
    stop_if_cancelled(cancel);
    DecimalNumber binomial;
    if (!factorial_binomial_from_primes(n)) {
        side_by_side(
            [&] {
                BigValue b;
                mpz_bin_uiui(b.get(), n, m);
                if (n % 2 != 0) mpz_mul_ui(b.get(), b.get(), m + 1);
                to_decimal(binomial, b, cancel);
            },
            [&] { multiply(out, out, out); });
    } else {
        decimal_binomial(binomial, n, m, cancel);
        if (n % 2 != 0) multiply_small(binomial, m + 1);
        multiply(out, out, out, true);
    }
    stop_if_cancelled(cancel);
    multiply(out, out, binomial, true);
}

double log10_factorial(double n) { return std::lgamma(n + 1) / std::log(10.0); }

// From n/16 on, C(n, k) from its primes in decimal words costs less than GMP's binomial and
// its conversion (C(999999999, 62500000): 9.6 s against 14.9 s and 18.7 s), and it can be
// interrupted and counts its progress. Below, where GMP's binomial is slow, it still pays
// while the walk over the odd numbers up to n costs little against the variation's bits.
bool factorial_binomial_from_primes(unsigned long n) { return n >= binomial_from_primes_from; }

bool variation_binomial_from_primes(unsigned long n, unsigned long k) {
    if (16 * k >= n) return true;
    const double nd = static_cast<double>(n);
    const double bits =
        (log10_factorial(nd) - log10_factorial(nd - static_cast<double>(k))) / std::log10(2.0);
    return nd <= 8 * bits;
}

double decimal_factorial_work(unsigned long n, unsigned long seed_n) {
    if (n < whole_below || n == seed_n) return 0;
    const unsigned long m = n / 2;
    // (m!)^2 times C(n, m), or times C(n, m) (m + 1) = n! / (m!)^2 when n is odd
    const double half = log10_factorial(m);
    const size_t half_words = decimal_words_for(half);
    const size_t binomial_words = decimal_words_for(log10_factorial(n) - 2 * half);
    const double binomial = factorial_binomial_from_primes(n) ? decimal_binomial_work(n, m) : 0;
    return decimal_factorial_work(m, seed_n) + binomial +
           decimal_product_work(half_words, half_words, true) +
           decimal_product_work(2 * half_words, binomial_words, false);
}

void decimal_variation(DecimalNumber& out, unsigned long n, unsigned long k,
                       const std::atomic<bool>* cancel, const DecimalNumber* k_factorial) {
    DecimalNumber binomial;
    if (variation_binomial_from_primes(n, k)) {
        decimal_binomial(binomial, n, k, cancel);
    } else {
        BigValue b;
        mpz_bin_uiui(b.get(), n, k);
        to_decimal(binomial, b, cancel);
    }
    DecimalNumber computed;
    if (k_factorial == nullptr) {
        decimal_factorial(computed, k, cancel);
        k_factorial = &computed;
    }
    stop_if_cancelled(cancel);
    multiply(out, *k_factorial, binomial, true);
}

double decimal_variation_work(unsigned long n, unsigned long k, bool k_factorial_given) {
    const double factorial = log10_factorial(k);
    const double binomial = log10_factorial(n) - factorial - log10_factorial(n - k);
    return (variation_binomial_from_primes(n, k) ? decimal_binomial_work(n, k) : 0) +
           (k_factorial_given ? 0 : decimal_factorial_work(k)) +
           decimal_product_work(decimal_words_for(factorial), decimal_words_for(binomial), false);
}

// The exponent's leading bits are raised in binary while the power stays short; the rest
// are taken by squarings in decimal, each followed by a multiplication by the base for a
// set bit.
namespace {

// The exponent's bits left for the squarings in decimal: those below the leading ones that
// keep the power within binary_power_bits.
int bits_squared_in_decimal(unsigned long base, unsigned long exponent) {
    const double base_bits = std::bit_width(base);
    int low_bits = std::bit_width(exponent);
    while (low_bits > 0 &&
           static_cast<double>(exponent >> (low_bits - 1)) * base_bits <= binary_power_bits)
        --low_bits;
    return low_bits;
}

}  // namespace

double decimal_power_work(unsigned long base, unsigned long exponent) {
    const double digits_per_unit = std::log10(static_cast<double>(base));
    double work = 0;
    for (int bit = bits_squared_in_decimal(base, exponent) - 1; bit >= 0; --bit) {
        const size_t words =
            decimal_words_for(digits_per_unit * static_cast<double>(exponent >> (bit + 1)));
        work += decimal_product_work(words, words, true);
        if ((exponent >> bit) & 1) work += word_products_work(2.0 * static_cast<double>(words));
    }
    return work;
}

void decimal_power(DecimalNumber& out, unsigned long base, unsigned long exponent,
                   const std::atomic<bool>* cancel) {
    stop_if_cancelled(cancel);
    const int low_bits = bits_squared_in_decimal(base, exponent);
    BigValue head;
    mpz_ui_pow_ui(head.get(), base, exponent >> low_bits);
    to_decimal(out, head, cancel);
    head.release();
    return_large_blocks_to_system();
    for (int bit = low_bits - 1; bit >= 0; --bit) {
        stop_if_cancelled(cancel);
        multiply(out, out, out, true);
        if ((exponent >> bit) & 1)
            multiply_small(out, base, word_products_work(static_cast<double>(out.words.size())));
    }
}

}  // namespace cifrovar
