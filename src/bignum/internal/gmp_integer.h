#pragma once

// Private to the library: GMP's view of a BigValue. Its storage holds GMP's integer, and a
// pointer to it converts to the mpz_ptr that GMP's functions take.
#include <gmp.h>

#include "bignum/big_value.h"

namespace cifrovar {

struct GmpInteger : __mpz_struct {};

static_assert(sizeof(GmpInteger) == 16 && alignof(GmpInteger) <= 8,
              "BigValue's storage is sized for GMP's integer");

}  // namespace cifrovar
