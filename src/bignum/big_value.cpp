#include "bignum/big_value.h"

#include <cmath>

namespace cifrovar {

double log10_of(const BigValue& v) {
    long exponent = 0;
    const double mantissa = mpz_get_d_2exp(&exponent, v.get());
    return std::log10(mantissa) + static_cast<double>(exponent) * std::log10(2.0);
}

namespace {

// Below this many factors a straight loop of word products beats splitting.
constexpr size_t leaf_factors = 32;

// Packs as many factors as fit into one machine word before each multiplication.
void leaf_product(mpz_ptr out, const uint32_t* f, size_t count) {
    mpz_set_ui(out, 1);
    unsigned __int128 word = 1;
    for (size_t i = 0; i < count; ++i) {
        const unsigned __int128 next = word * f[i];
        if (next >> 64) {
            mpz_mul_ui(out, out, static_cast<unsigned long>(word));
            word = f[i];
        } else {
            word = next;
        }
    }
    mpz_mul_ui(out, out, static_cast<unsigned long>(word));
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
