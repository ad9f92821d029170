#include "engine/big_value.h"

#include <cmath>

namespace cifrovar {

double log10_of(const BigValue& v) {
    long exponent = 0;
    const double mantissa = mpz_get_d_2exp(&exponent, v.get());
    return std::log10(mantissa) + static_cast<double>(exponent) * std::log10(2.0);
}

namespace {

// Below this many factors a straight loop of word products beats splitting.
constexpr size_t leaf_factors = 16;

void leaf_product(mpz_ptr out, const uint32_t* f, size_t count) {
    mpz_set_ui(out, 1);
    size_t i = 0;
    for (; i + 1 < count; i += 2) mpz_mul_ui(out, out, static_cast<unsigned long>(f[i]) * f[i + 1]);
    if (i < count) mpz_mul_ui(out, out, f[i]);
}

}  // namespace

void product_of(BigValue& out, const uint32_t* f, size_t count) {
    if (count <= leaf_factors) {
        leaf_product(out.get(), f, count);
        return;
    }
    const size_t half = count / 2;
    BigValue right;
    product_of(out, f, half);
    product_of(right, f + half, count - half);
    mpz_mul(out.get(), out.get(), right.get());
}

}  // namespace cifrovar
