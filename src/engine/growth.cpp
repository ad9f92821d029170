#include "engine/growth.h"

#include <algorithm>

namespace cifrovar {

int64_t grown_top_index(int64_t top, int32_t limb_digits, double log10_value, double log_error,
                        const std::function<bool(int64_t)>& exact) {
    // Level j is the limb top - 2 + 100 j: the value reaching it triggers the (j+1)-th growth.
    auto level_reached = [&](int64_t j) {
        const int64_t exponent = (int64_t{top} - 2 + 100 * j) * limb_digits;
        const double e = static_cast<double>(exponent);
        if (log10_value > e + log_error) return true;
        if (log10_value < e - log_error) return false;
        return exact(exponent);
    };
    const double limbs = log10_value / limb_digits - (top - 2);
    int64_t j = std::max<int64_t>(0, static_cast<int64_t>(std::floor(limbs / 100.0)) + 1);
    while (j > 0 && !level_reached(j - 1)) --j;
    while (level_reached(j)) ++j;
    return top + 100 * j;
}

}  // namespace cifrovar
