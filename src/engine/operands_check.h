#pragma once

// Private to the engine: reading and checking the operands at the start of a run.
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "engine/hooks.h"

namespace cifrovar {

// Converts the fields in order; raises "Zadání nemá číselný tvar !" for the first that does not
// convert and "Zadání nesmí být záporné !" when any value is negative. Nothing is stored here:
// the caller stores the operands only after all its checks have passed.
std::vector<int32_t> read_operands(EngineHooks& hooks, std::initializer_list<Field> fields);

}  // namespace cifrovar
