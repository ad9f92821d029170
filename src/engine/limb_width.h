#pragma once

#include <cstdint>

namespace cifrovar {

// The radix of a calculation's limbs: powers of a base from 2 to 9999 use the widest limbs for
// which one multiplication by the base cannot overflow 32 bits; everything else 4 digits.
struct LimbWidth {
    int32_t digits;
    int32_t radix;
};

LimbWidth limb_width_for(int32_t calc_kind, int32_t base);

}  // namespace cifrovar
