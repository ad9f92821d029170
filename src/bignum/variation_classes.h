#pragma once

// Long variations computed through classes that double, so that a long
// computation holds a variation of a smaller class at every moment after its first levels,
// and a product of consecutive numbers in decimal words.
#include <atomic>

#include "bignum/decimal_factorial.h"

namespace cifrovar {

// out = top (top - 1) ... (top - count + 1), count <= top: decimal_variation where its
// binomial comes from the primes, with count! taken from count_factorial when given; else a
// product tree in decimal words. Cancellable like decimal_factorial.
void decimal_falling_product(DecimalNumber& out, unsigned long top, unsigned long count,
                             const std::atomic<bool>* cancel = nullptr,
                             const DecimalNumber* count_factorial = nullptr);

// The same in binary, by a product tree, for a value needed in binary where GMP's binomial
// is slow.
void binary_falling_product(BigValue& out, unsigned long top, unsigned long count);

// Whether decimal_falling_product(out, top, count) takes count! (given, or computed itself).
bool falling_product_takes_factorial(unsigned long top, unsigned long count);

// The work that decimal_falling_product counts.
double decimal_falling_product_work(unsigned long top, unsigned long count,
                                    bool count_factorial_given = false);

// The chain of classes starts where the next class would take a direct computation some
// tenths of a second: below, the doubling would cost more than it keeps (its binomials walk
// the primes up to n).
constexpr double variation_chain_from_bits = 1 << 25;

// out = V(n, k) = n (n - 1) ... (n - k + 1) through the classes h = k >> i, smallest first:
// V(n, b) = V(n, h) V(n - h, b - h) for the next class b = 2h or 2h + 1, whose factor needs
// h!, which the levels of (k / 2)! give in the same order. The first class is computed
// directly, the smallest whose next class has chain_from_bits. classes(h, V(n, h)) hears each
// class below k on the way. Cancellable like decimal_factorial.
void decimal_variation_in_classes(DecimalNumber& out, unsigned long n, unsigned long k,
                                  const StepValue& classes,
                                  const std::atomic<bool>* cancel = nullptr,
                                  double chain_from_bits = variation_chain_from_bits);

// The work that decimal_variation_in_classes counts.
double decimal_variation_in_classes_work(unsigned long n, unsigned long k);

}  // namespace cifrovar
