#pragma once

#include <cstdint>

#include "engine/calc_state.h"

namespace cifrovar {

// Thrown when the limb arrays cannot be grown.
struct GrowthFailure {};

// Sets the length of vysledek and pomoc, keeping limbs and filling new ones with 0.
// Throws GrowthFailure when the memory cannot be had; the arrays are then unchanged.
void set_limb_count(CalcState& st, int64_t count);

// Grows the arrays by 100 limbs when one of the three top limbs is non-zero.
void ensure_headroom(CalcState& st);

// Puts value into multiplier_limbs[0] and carries it upward for the given number of passes.
void split_factor(CalcState& st, int32_t value, int passes);

// vysledek *= multiplier_limbs[0 .. multiplier_top]. Returns false when a 32-bit sum
// overflowed (x and y then name the addition); vysledek is unchanged in that case.
bool multiply_step(CalcState& st);

// The number of split passes a non-power factor needs: one keeps every raw product below 2^31
// for factors below 10^9 (all nine-digit decimals); larger hexadecimal operands need two.
int factor_passes(int32_t factor);

}  // namespace cifrovar
