#pragma once

// Binomial coefficients computed in decimal words from their prime
// factors, for coefficients long enough that their conversion from binary would cost more
// than their arithmetic.
#include <atomic>

#include "bignum/decimal_number.h"

namespace cifrovar {

// out = C(n, k) for k <= n. When cancel turns true meanwhile, Cancelled is thrown.
void decimal_binomial(DecimalNumber& out, unsigned long n, unsigned long k,
                      const std::atomic<bool>* cancel = nullptr);

// The work that decimal_binomial(out, n, k) counts into the progress of its thread: its
// segments of primes, then its top product (see work_progress.h).
double decimal_binomial_work(unsigned long n, unsigned long k);

}  // namespace cifrovar
