#pragma once

// Private to the engine: the kernel's growth of the limb arrays, reproduced from the value.
#include <cmath>
#include <cstdint>
#include <functional>

namespace cifrovar {

// The kernel grows the arrays by 100 limbs before a step whenever one of the three top limbs is
// non-zero, and never shrinks them. Given the largest value that stood before a step since
// top_index was `top`, this is the top_index the kernel arrives at. The value is known by its
// log10 (to within `log_error`); exact(e) answers "value >= 10^e" where the log cannot tell.
int64_t grown_top_index(int64_t top, int32_t limb_digits, double log10_value, double log_error,
                        const std::function<bool(int64_t)>& exact);

}  // namespace cifrovar
