#pragma once

// Private to the transforms: the number-theoretic transforms over three primes below 2^50 and
// the product of two GMP values through them, written once for any vector width. A file
// built for the instruction set includes this with a Simd type that gives the vector, its
// lane count, its arithmetic and the in-register stages (see ntt_multiply_avx2.cpp).
//
// The parts: ntt_primes.h (the primes and the scalar modular arithmetic), ntt_transforms.h
// (the transform stages), ntt_buffers.h (the transforms' buffers and the split over two
// threads), ntt_binary_product.h (the product of GMP values), ntt_decimal_product.h (the
// product of numbers in decimal words).
#include "bignum/transforms/ntt_binary_product.h"
#include "bignum/transforms/ntt_decimal_product.h"
