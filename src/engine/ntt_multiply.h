#pragma once

// Private to the engine: multiplication of large values by number-theoretic transforms over
// three primes below 2^50, in double precision with AVX-512. Its file is compiled for
// AVX-512, so only call it where fast_multiply has found the processor able to run it.
#include <gmp.h>

namespace cifrovar {

// result = a * b, with the transforms shared by two threads when two_threads; false (result
// untouched) when either is zero or the product is too long for the transform lengths.
bool ntt_multiply(mpz_t result, const mpz_t a, const mpz_t b, bool two_threads);

}  // namespace cifrovar
