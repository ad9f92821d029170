#pragma once

// Private to the library: reciprocals of long divisors by Newton's iteration, so that a
// division by the same divisor costs two products.
#include "bignum/big_value.h"
#include "bignum/internal/gmp_integer.h"

namespace cifrovar {

// out = 2^power / d (d > 0) to within a few units, for a quotient of any length; Newton's
// steps multiply through fast_multiply, on two threads when two_threads.
void approximate_reciprocal(BigValue& out, const BigValue& d, mp_bitcnt_t power,
                            bool two_threads = false);

}  // namespace cifrovar
