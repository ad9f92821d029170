#pragma once

#include <cstdint>
#include <optional>

#include "engine/hooks.h"

namespace cifrovar {

// The edit field that holds the target of a calculation kind (the exponent, n or the class),
// the one field that stays editable between runs; nothing for the start page.
std::optional<Field> target_field(int32_t calc_kind);

}  // namespace cifrovar
