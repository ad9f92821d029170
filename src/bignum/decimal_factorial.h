#pragma once

// Factorials and powers computed in decimal words, for results long
// enough that their conversion from binary would cost more than their arithmetic.
#include <atomic>
#include <functional>

#include "bignum/decimal_number.h"

namespace cifrovar {

// Told each value that a long computation holds on its way, in increasing order of step: the
// step (m for m!, the class for a variation) and its value, valid only during the call.
using StepValue = std::function<void(unsigned long step, const DecimalNumber& value)>;

// How a factorial tells its levels, and a level whose value is known already.
struct FactorialLevels {
    StepValue level;                      // m! for each level m = n / 2, n / 4, ... below n
    unsigned long seed_n = 0;             // a level whose value seed holds, if seed is given
    const DecimalNumber* seed = nullptr;  // taken instead of computing seed_n! again
};

// out = n!, by halving: n! = (m!)^2 C(n, m) for m = n / 2. When cancel turns true meanwhile,
// Cancelled is thrown within one product.
void decimal_factorial(DecimalNumber& out, unsigned long n,
                       const std::atomic<bool>* cancel = nullptr,
                       const FactorialLevels* levels = nullptr);

// The work that decimal_factorial(out, n) counts into the progress of its thread, as the
// lengths of its products give it (see work_progress.h); less the levels up to seed_n when
// that is one of its levels.
double decimal_factorial_work(unsigned long n, unsigned long seed_n = 0);

// log10 of n!, from the gamma function.
double log10_factorial(double n);

// Whether decimal_factorial's level n takes its binomial C(n, n / 2) from its primes in
// decimal words on both threads; otherwise from GMP's binomial, converted on one thread beside
// the square.
bool factorial_binomial_from_primes(unsigned long n);

// Whether decimal_variation(out, n, k) takes C(n, k) from its primes in decimal words, where
// that is fast; otherwise from GMP's binomial, converted.
bool variation_binomial_from_primes(unsigned long n, unsigned long k);

// out = n (n - 1) ... (n - k + 1) = C(n, k) k! for k <= n, likewise cancellable; fast where
// the binomial comes from its primes. k_factorial, when given, holds k! already.
void decimal_variation(DecimalNumber& out, unsigned long n, unsigned long k,
                       const std::atomic<bool>* cancel = nullptr,
                       const DecimalNumber* k_factorial = nullptr);

// The same for decimal_variation(out, n, k), with k! given or not.
double decimal_variation_work(unsigned long n, unsigned long k, bool k_factorial_given = false);

// out = base^exponent for 1 <= base < 10^18, likewise cancellable.
void decimal_power(DecimalNumber& out, unsigned long base, unsigned long exponent,
                   const std::atomic<bool>* cancel = nullptr);

// The same for decimal_power(out, base, exponent): its squarings' products.
double decimal_power_work(unsigned long base, unsigned long exponent);

}  // namespace cifrovar
