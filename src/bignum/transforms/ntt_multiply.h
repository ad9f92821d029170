#pragma once

// Private to the library: multiplication of large values by number-theoretic transforms over
// three primes below 2^50, in double precision with AVX-512 or with AVX2 and FMA.
#include <gmp.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cifrovar {

// result = a * b, with the transforms shared by two threads when two_threads; false (result
// untouched) when either is zero, the product is too long for the transform lengths or the
// processor has neither instruction set.
bool ntt_multiply(mpz_t result, const mpz_t a, const mpz_t b, bool two_threads);

// Whether this processor runs each instruction set's transforms: AVX-512 (F and DQ) with FMA,
// AVX2 with FMA.
bool runs_avx512();
bool runs_avx2();

// The same for each instruction set; each is built for its own, so only call it where the
// processor has been found able to run it.
bool ntt_multiply_avx512(mpz_t result, const mpz_t a, const mpz_t b, bool two_threads);
bool ntt_multiply_avx2(mpz_t result, const mpz_t a, const mpz_t b, bool two_threads);

// out = a * b in la + lb words for numbers in words of 18 decimal digits, least significant
// first (a and b may be the same, out neither), by the transforms of the widest vectors this
// processor has; false when the product is too long for the transforms or the processor has
// neither instruction set.
bool decimal_multiply(std::vector<uint64_t>& out, const uint64_t* a, size_t la, const uint64_t* b,
                      size_t lb, bool two_threads);
// The same for each instruction set, as above.
bool decimal_multiply_avx512(std::vector<uint64_t>& out, const uint64_t* a, size_t la,
                             const uint64_t* b, size_t lb, bool two_threads);
bool decimal_multiply_avx2(std::vector<uint64_t>& out, const uint64_t* a, size_t la,
                           const uint64_t* b, size_t lb, bool two_threads);

// Decimal products with a factor of at most this many words are made row by row: the
// transforms do not pay for them.
constexpr size_t decimal_row_by_row_words = 32;
// Whether decimal_multiply takes a product of la words by lb (on a processor that has the
// transforms).
bool decimal_product_fits(size_t la, size_t lb);
// The bytes decimal_multiply holds beside the factors at its peak, on two threads: the
// product's words and the transforms' buffers; 0 when the product does not fit.
double decimal_transform_bytes(size_t la, size_t lb, bool square);

}  // namespace cifrovar
