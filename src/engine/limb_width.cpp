#include "engine/limb_width.h"

#include "engine/calc_state.h"

namespace cifrovar {

LimbWidth limb_width_for(int32_t calc_kind, int32_t base) {
    if (calc_kind != kind::powers || base < 2 || base > 9999) return {4, 10000};
    if (base == 2) return {9, 1000000000};
    if (base <= 9) return {8, 100000000};
    if (base <= 99) return {7, 10000000};
    if (base <= 999) return {6, 1000000};
    return {5, 100000};
}

}  // namespace cifrovar
