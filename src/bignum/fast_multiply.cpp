#include "bignum/fast_multiply.h"

#include <algorithm>
#include <cstddef>

#include "bignum/internal/gmp_integer.h"
#include "bignum/internal/product_in_halves.h"
#include "bignum/transforms/ntt_multiply.h"

namespace cifrovar {

namespace {

enum class Vectors { none, avx2, avx512 };

Vectors vectors_here() {
    static const Vectors found = runs_avx512() ? Vectors::avx512
                                 : runs_avx2() ? Vectors::avx2
                                               : Vectors::none;
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

// result = a * b through the transforms where they pay; a product too long for their lengths
// (about 4 Gbit) in halves that are, instead of GMP's own product on one thread, which took
// most of the time of results of billions of digits.
void product(mpz_ptr result, mpz_srcptr a, mpz_srcptr b, bool two_threads) {
    const size_t bits = mpz_sizeinbase(a, 2) + mpz_sizeinbase(b, 2);
    if (!transforms_pay_for(bits) || mpz_sgn(a) == 0 || mpz_sgn(b) == 0)
        return mpz_mul(result, a, b);
    if (ntt_multiply(result, a, b, two_threads)) return;
    multiply_in_halves(result, a, b, [two_threads](mpz_ptr out, mpz_srcptr x, mpz_srcptr y) {
        product(out, x, y, two_threads);
    });
}

}  // namespace

bool runs_avx512() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
           __builtin_cpu_supports("fma");
}

bool runs_avx2() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }

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

bool decimal_multiply(std::vector<uint64_t>& out, const uint64_t* a, size_t la, const uint64_t* b,
                      size_t lb, bool two_threads) {
    switch (vectors_here()) {
        case Vectors::avx512:
            return decimal_multiply_avx512(out, a, la, b, lb, two_threads);
        case Vectors::avx2:
            return decimal_multiply_avx2(out, a, la, b, lb, two_threads);
        case Vectors::none:
            break;
    }
    return false;
}

bool decimal_product_in_halves(size_t la, size_t lb) {
    return std::min(la, lb) > decimal_row_by_row_words && decimal_transforms_available() &&
           !decimal_product_fits(la, lb);
}

double decimal_product_bytes(size_t la, size_t lb, bool square) {
    if (std::min(la, lb) <= decimal_row_by_row_words || !decimal_transforms_available())
        return static_cast<double>(sizeof(uint64_t) * (la + lb));
    if (decimal_product_in_halves(la, lb))
        return bytes_in_halves(la, lb, decimal_product_bytes, square);
    return decimal_transform_bytes(la, lb, square);
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
    product(result.get(), a.get(), b.get(), two_threads);
}

}  // namespace cifrovar
