#pragma once

// GMP's own functions as an oracle, independent of the engine, for the values tests expect.
#include <gmp.h>

#include <string>

#include "bignum/internal/gmp_integer.h"

namespace cifrovar::testing {

std::string decimal_text(mpz_srcptr value);
std::string factorial_text(unsigned long n);
std::string power_text(unsigned long base, unsigned long exponent);
std::string binomial_text(unsigned long n, unsigned long k);
// n (n-1) ... (n-k+1)
std::string variations_text(unsigned long k, unsigned long n);

}  // namespace cifrovar::testing
