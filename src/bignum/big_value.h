#pragma once

// Non-negative integers of any length in binary, with value semantics. GMP holds their digits;
// the library's own sources reach it through bignum/internal/gmp_integer.h, everyone else
// through the operations below, so that no user of the library depends on GMP's header.
#include <cstddef>
#include <cstdint>

namespace cifrovar {

// GMP's integer, complete only where bignum/internal/gmp_integer.h is included.
struct GmpInteger;

class BigValue {
  public:
    BigValue();
    explicit BigValue(unsigned long value);
    BigValue(const BigValue& other);
    BigValue(BigValue&& other) noexcept;
    BigValue& operator=(const BigValue& other);
    BigValue& operator=(BigValue&& other) noexcept;
    ~BigValue();

    // GMP's integer, for the library's own sources.
    GmpInteger* get() { return reinterpret_cast<GmpInteger*>(storage_); }
    const GmpInteger* get() const { return reinterpret_cast<const GmpInteger*>(storage_); }
    void swap(BigValue& other) noexcept;
    // Frees the digits, keeping a valid zero.
    void release();

  private:
    // GMP's integer is two ints and a pointer, constructed here by the library.
    alignas(8) unsigned char storage_[16];
};

// log10 of a positive value, accurate to about 1e-15 of the exponent.
double log10_of(const BigValue& v);

// The product of the factors f[0 .. count - 1] (each below 2^32), by binary splitting.
void product_of(BigValue& out, const uint32_t* f, size_t count);

// ---- Arithmetic by GMP alone (fast_multiply.h has the long products) ----

void assign(BigValue& out, unsigned long value);
// out = a * b.
void multiply(BigValue& out, const BigValue& a, const BigValue& b);
// out = a * m.
void multiply_small(BigValue& out, const BigValue& a, unsigned long m);
// out = base^exponent.
void power(BigValue& out, unsigned long base, unsigned long exponent);
// x = x * 2^bits.
void shift_left(BigValue& x, uint64_t bits);
// x = x / divisor, which must divide x.
void divide_exact(BigValue& x, const BigValue& divisor);
// out = n! / (k! (n - k)!).
void binomial(BigValue& out, unsigned long n, unsigned long k);

// Negative, zero or positive as a is less than, equal to or greater than b.
int compare(const BigValue& a, const BigValue& b);
int compare(const BigValue& a, unsigned long b);
bool is_zero(const BigValue& v);
// The bits of the value (1 for zero).
size_t bit_length(const BigValue& v);
// The 64-bit words of its digits (0 for zero).
size_t word_count(const BigValue& v);

// ---- Decimal text ----

// Its decimal digits, or one more (1 for zero).
size_t decimal_length_bound(const BigValue& v);
// Writes its digits and a NUL into text, which has room for decimal_length_bound(v) + 1 bytes;
// returns the text.
char* write_decimal(const BigValue& v, char* text);
// v = the number the decimal digits of text (NUL-terminated) make.
void read_decimal(BigValue& v, const char* text);

}  // namespace cifrovar
