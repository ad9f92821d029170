#pragma once

// Private to the engine: moving a value between GMP and decimal limbs.
#include <atomic>

#include "bignum/big_value.h"
#include "engine/calc_state.h"

namespace cifrovar {

// Writes value into limbs[0 .. count - 1] in radix 10^limb_digits, zeros above the value.
// The value must fit into count limbs. The array is resized to count. When cancel is given
// and turns true, a long conversion throws Cancelled and leaves the limbs unusable.
void value_to_limbs(const BigValue& value, int32_t limb_digits, int64_t count, pole1& limbs,
                    const std::atomic<bool>* cancel = nullptr);

// The value of limbs[0 .. top] in radix 10^limb_digits (every limb in range).
void limbs_to_value(const pole1& limbs, int64_t top, int32_t limb_digits, BigValue& value);

}  // namespace cifrovar
