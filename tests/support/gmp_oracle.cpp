#include "support/gmp_oracle.h"

#include <cstring>

namespace cifrovar::testing {

namespace {

// An mpz_t that clears itself.
struct Value {
    mpz_t v;
    Value() { mpz_init(v); }
    ~Value() { mpz_clear(v); }
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;
};

}  // namespace

std::string decimal_text(mpz_srcptr value) {
    std::string text(mpz_sizeinbase(value, 10) + 2, '\0');
    mpz_get_str(text.data(), 10, value);
    text.resize(std::strlen(text.c_str()));
    return text;
}

std::string factorial_text(unsigned long n) {
    Value f;
    mpz_fac_ui(f.v, n);
    return decimal_text(f.v);
}

std::string power_text(unsigned long base, unsigned long exponent) {
    Value p;
    mpz_ui_pow_ui(p.v, base, exponent);
    return decimal_text(p.v);
}

std::string binomial_text(unsigned long n, unsigned long k) {
    Value c;
    mpz_bin_uiui(c.v, n, k);
    return decimal_text(c.v);
}

std::string variations_text(unsigned long k, unsigned long n) {
    // C(n, k) k! rather than n! / (n - k)!, so that a small class of a huge n costs little.
    Value product, k_factorial;
    mpz_bin_uiui(product.v, n, k);
    mpz_fac_ui(k_factorial.v, k);
    mpz_mul(product.v, product.v, k_factorial.v);
    return decimal_text(product.v);
}

}  // namespace cifrovar::testing
