#pragma once

// Private to the engine: values compared by their residues modulo the prime 2^61 - 1, so that
// limbs from outside can be checked against the value they claim in one pass over them.
#include <cstdint>

#include "engine/calc_state.h"

namespace cifrovar {

// limbs[0 .. top] in radix 10^limb_digits, modulo 2^61 - 1.
uint64_t limbs_residue(const pole1& limbs, int64_t top, int32_t limb_digits);

// top (top - 1) ... (top - count + 1), count <= top, modulo 2^61 - 1.
uint64_t falling_product_residue(uint64_t top, uint64_t count);

}  // namespace cifrovar
