#pragma once

#include <optional>
#include <string>

#include "engine/calc_state.h"

namespace cifrovar {

// The name proposed for saving the current calculation, without extension, from the stored
// operands: powers base+"na"+exponent (2na1000), factorial n+"!" (100!), variations
// "v"+k+"t"+n+"p" (v3t10p), combinations "k"+k+"t"+n+"p" (k3t10p); nothing for any other kind.
std::optional<std::string> default_file_name(const CalcState& state);

}  // namespace cifrovar
