#pragma once

// FLINT's product (flint_mpn_mul, which takes its fft_small transforms for long operands) as
// the reference the transforms are measured against, where the build found FLINT.
#include "bignum/big_value.h"

namespace cifrovar::bench {

bool flint_available();

// result = a * b (both positive) by FLINT on this many threads; false without FLINT.
bool flint_multiply(BigValue& result, const BigValue& a, const BigValue& b, int threads);

}  // namespace cifrovar::bench
