#pragma once

// Private to the engine: whether a run's result can fit into memory at all. On Linux an
// allocation rarely fails; the out-of-memory killer ends the process instead, and the work is
// lost. So a run that could not hold its result stops at once, while its state is intact.
#include <cstdint>

#include "engine/calc_state.h"
#include "engine/fast_run.h"

namespace cifrovar {

// The bytes a run to end_counter needs at its peak: the limbs, the GMP value and what the
// conversion between them takes, for the largest value on the way.
int64_t memory_for_run(const CalcState& st, const StepRule& rule, int64_t end_counter);

// The bytes a run may count on: the given limit; without one (0) the environment's
// CIFROVAR_MEMORY_LIMIT; without that what the machine has available plus what this process
// already holds.
int64_t memory_available(int64_t limit);

}  // namespace cifrovar
