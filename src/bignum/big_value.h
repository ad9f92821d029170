#pragma once

// Private to the engine: a GMP integer with value semantics.
#include <gmp.h>

#include <cstdint>
#include <utility>

namespace cifrovar {

class BigValue {
  public:
    BigValue() { mpz_init(v_); }
    explicit BigValue(unsigned long value) { mpz_init_set_ui(v_, value); }
    BigValue(const BigValue& other) { mpz_init_set(v_, other.v_); }
    BigValue(BigValue&& other) noexcept {
        mpz_init(v_);
        mpz_swap(v_, other.v_);
    }
    BigValue& operator=(const BigValue& other) {
        mpz_set(v_, other.v_);
        return *this;
    }
    BigValue& operator=(BigValue&& other) noexcept {
        mpz_swap(v_, other.v_);
        return *this;
    }
    ~BigValue() { mpz_clear(v_); }

    mpz_ptr get() { return v_; }
    mpz_srcptr get() const { return v_; }
    void swap(BigValue& other) noexcept { mpz_swap(v_, other.v_); }
    // Frees the digits, keeping a valid zero.
    void release() {
        mpz_clear(v_);
        mpz_init(v_);
    }

  private:
    mpz_t v_;
};

// log10 of a positive value, accurate to about 1e-15 of the exponent.
double log10_of(const BigValue& v);

// The product of the factors f[0 .. count - 1] (each below 2^32), by binary splitting.
void product_of(BigValue& out, const uint32_t* f, size_t count);

}  // namespace cifrovar
