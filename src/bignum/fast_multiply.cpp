#include "bignum/fast_multiply.h"

#include <cstddef>

#include "bignum/internal/gmp_integer.h"
#include "bignum/transforms/ntt_multiply.h"

namespace cifrovar {

namespace {

enum class Vectors { none, avx2, avx512 };

Vectors vectors_here() {
    static const Vectors found = [] {
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
            __builtin_cpu_supports("fma"))
            return Vectors::avx512;
        if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return Vectors::avx2;
        return Vectors::none;
    }();
    return found;
}

// From about this many bits of product on, the transforms beat GMP's own multiplication on
// one thread (measured with AVX-512: 0.66 of its time at 16 Mbit, 0.45 from 60 Mbit on);
// below, the power-of-two transform lengths waste too much.
constexpr size_t transform_from_bits = size_t{1} << 24;
// With AVX2 the transforms gain less (0.64 of GMP's time from 100 Mbit on, 0.8 at 30 Mbit),
// and a division by its reciprocal costs two products besides the reciprocal's share: it
// beat GMP's division from quotients of 32 Mbit on (1000000! 0.81 of GMP's pipeline with
// them from 8 Mbit, 0.71 from 32 Mbit).
constexpr size_t inverse_from_bits_avx2 = size_t{1} << 26;

}  // namespace

bool ntt_available() { return vectors_here() != Vectors::none; }

bool decimal_transforms_available() { return vectors_here() != Vectors::none; }

bool ntt_multiply(mpz_t result, const mpz_t a, const mpz_t b, bool two_threads) {
    switch (vectors_here()) {
        case Vectors::avx512:
            return ntt_multiply_avx512(result, a, b, two_threads);
        case Vectors::avx2:
            return ntt_multiply_avx2(result, a, b, two_threads);
        case Vectors::none:
            break;
    }
    return false;
}

bool divisions_by_inverse_pay_for(size_t product_bits) {
    switch (vectors_here()) {
        case Vectors::avx512:
            return product_bits >= transform_from_bits;
        case Vectors::avx2:
            return product_bits >= inverse_from_bits_avx2;
        case Vectors::none:
            break;
    }
    return false;
}

bool transforms_pay_for(size_t product_bits) {
    return product_bits >= transform_from_bits && ntt_available();
}

void fast_multiply(BigValue& result, const BigValue& a, const BigValue& b, bool two_threads) {
    if (transforms_pay_for(bit_length(a) + bit_length(b)) &&
        ntt_multiply(result.get(), a.get(), b.get(), two_threads))
        return;
    multiply(result, a, b);
}

}  // namespace cifrovar
