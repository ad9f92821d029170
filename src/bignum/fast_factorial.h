#pragma once

// N! in pieces that an interrupt can stop between.
#include <atomic>

#include "bignum/big_value.h"
#include "bignum/cancel.h"

namespace cifrovar {

// out = n!. The flag is checked between the large multiplications; when it is raised, the
// computation throws Cancelled and out is not usable.
void fast_factorial(BigValue& out, unsigned long n, const std::atomic<bool>* cancel = nullptr);

// out = n (n - 1) ... (n - k + 1) = C(n, k) k!, for k <= n; fast where GMP's binomial is,
// from k = n / 16 on. Cancellable like fast_factorial.
void fast_variation(BigValue& out, unsigned long n, unsigned long k,
                    const std::atomic<bool>* cancel = nullptr);

}  // namespace cifrovar
