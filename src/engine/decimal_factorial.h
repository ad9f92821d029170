#pragma once

// Private to the engine: factorials and powers computed in decimal words, for results long
// enough that their conversion from binary would cost more than their arithmetic.
#include <atomic>

#include "engine/decimal_number.h"

namespace cifrovar {

// out = n!. When cancel turns true meanwhile, Cancelled is thrown after the current level.
void decimal_factorial(DecimalNumber& out, unsigned long n,
                       const std::atomic<bool>* cancel = nullptr);

// The work that decimal_factorial(out, n) counts into the progress of its thread, as the
// lengths of its products give it (see work_progress.h).
double decimal_factorial_work(unsigned long n);

// out = n (n - 1) ... (n - k + 1) = C(n, k) k! for k <= n, likewise cancellable; fast where
// GMP's binomial is, from k = n / 16 on.
void decimal_variation(DecimalNumber& out, unsigned long n, unsigned long k,
                       const std::atomic<bool>* cancel = nullptr);

// The same for decimal_variation(out, n, k).
double decimal_variation_work(unsigned long n, unsigned long k);

// out = base^exponent for 1 <= base < 10^18, likewise cancellable.
void decimal_power(DecimalNumber& out, unsigned long base, unsigned long exponent,
                   const std::atomic<bool>* cancel = nullptr);

}  // namespace cifrovar
