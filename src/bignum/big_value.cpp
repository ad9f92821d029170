#include "bignum/big_value.h"

#include <cmath>
#include <new>

#include "bignum/internal/gmp_integer.h"

namespace cifrovar {

BigValue::BigValue() { mpz_init(::new (storage_) GmpInteger); }
BigValue::BigValue(unsigned long value) { mpz_init_set_ui(::new (storage_) GmpInteger, value); }
BigValue::BigValue(const BigValue& other) {
    mpz_init_set(::new (storage_) GmpInteger, other.get());
}
BigValue::BigValue(BigValue&& other) noexcept {
    mpz_init(::new (storage_) GmpInteger);
    mpz_swap(get(), other.get());
}
BigValue& BigValue::operator=(const BigValue& other) {
    mpz_set(get(), other.get());
    return *this;
}
BigValue& BigValue::operator=(BigValue&& other) noexcept {
    mpz_swap(get(), other.get());
    return *this;
}
BigValue::~BigValue() { mpz_clear(get()); }
void BigValue::swap(BigValue& other) noexcept { mpz_swap(get(), other.get()); }
void BigValue::release() {
    mpz_clear(get());
    mpz_init(get());
}

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

void assign(BigValue& out, unsigned long value) { mpz_set_ui(out.get(), value); }
void multiply(BigValue& out, const BigValue& a, const BigValue& b) {
    mpz_mul(out.get(), a.get(), b.get());
}
void multiply_small(BigValue& out, const BigValue& a, unsigned long m) {
    mpz_mul_ui(out.get(), a.get(), m);
}
void power(BigValue& out, unsigned long base, unsigned long exponent) {
    mpz_ui_pow_ui(out.get(), base, exponent);
}
void shift_left(BigValue& x, uint64_t bits) {
    mpz_mul_2exp(x.get(), x.get(), static_cast<mp_bitcnt_t>(bits));
}
void divide_exact(BigValue& x, const BigValue& divisor) {
    mpz_divexact(x.get(), x.get(), divisor.get());
}
void binomial(BigValue& out, unsigned long n, unsigned long k) { mpz_bin_uiui(out.get(), n, k); }

int compare(const BigValue& a, const BigValue& b) { return mpz_cmp(a.get(), b.get()); }
int compare(const BigValue& a, unsigned long b) { return mpz_cmp_ui(a.get(), b); }
bool is_zero(const BigValue& v) { return mpz_sgn(v.get()) == 0; }
size_t bit_length(const BigValue& v) { return mpz_sizeinbase(v.get(), 2); }
size_t word_count(const BigValue& v) { return mpz_size(v.get()); }

size_t decimal_length_bound(const BigValue& v) { return mpz_sizeinbase(v.get(), 10); }
char* write_decimal(const BigValue& v, char* text) { return mpz_get_str(text, 10, v.get()); }
void read_decimal(BigValue& v, const char* text) { mpz_set_str(v.get(), text, 10); }

}  // namespace cifrovar
