#pragma once

// Products of large values by the fastest route this processor has.
#include <cstddef>

#include "bignum/big_value.h"

namespace cifrovar {

// Whether the processor runs the vectorised transforms of ntt_multiply.
bool ntt_available();

// Whether it multiplies numbers in decimal words by the transforms, which are built for AVX2
// with FMA (every processor with AVX-512 has them as well); without them those products go
// through binary and computing in decimal words does not pay.
bool decimal_transforms_available();

// The bytes a product of numbers in decimal words, la words by lb (a square's when square),
// holds beside its factors at its peak: its words and the transforms' or halves' scratch.
double decimal_product_bytes(size_t la, size_t lb, bool square);

// Whether a decimal product of la words by lb is taken in halves: both factors longer than
// row by row, the transforms here, and the product too long for them. The route, the work
// planned for it and the memory reckoned for it all ask this.
bool decimal_product_in_halves(size_t la, size_t lb);

// Whether fast_multiply takes the transforms for a product of this many bits.
bool transforms_pay_for(size_t product_bits);

// Whether a division whose quotient times the divisor makes a product of this many bits is
// done faster by a reciprocal and two products through the transforms than by GMP.
bool divisions_by_inverse_pay_for(size_t product_bits);

// result = a * b (any of them may be the same value). Long products go through the
// transforms, on two threads when two_threads; the rest, and every product on a processor
// without AVX-512 or AVX2, through GMP.
void fast_multiply(BigValue& result, const BigValue& a, const BigValue& b,
                   bool two_threads = false);

}  // namespace cifrovar
