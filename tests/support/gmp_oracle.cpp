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
    Value top, bottom;
    mpz_fac_ui(top.v, n);
    mpz_fac_ui(bottom.v, n - k);
    mpz_divexact(top.v, top.v, bottom.v);
    return decimal_text(top.v);
}

}  // namespace cifrovar::testing
