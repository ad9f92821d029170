#pragma once

// Private to the engine: whether a run's result can fit into memory at all. On Linux an
// allocation rarely fails; the out-of-memory killer ends the process instead, and the work is
// lost. So a run that could not hold its result stops at once, while its state is intact.
#include <cstdint>
#include <string>

#include "engine/calc_state.h"

namespace cifrovar {

struct StepRule;

// Decimal digits of the largest value a run holds on its way to end_counter.
double peak_digits(const CalcState& st, const StepRule& rule, int64_t end_counter);

// The bytes a run to end_counter needs at its peak, for the route it takes: the limbs it holds
// and makes, and the values, products and conversions on the way; INT64_MAX beyond any
// machine. batch_steps: the steps of a batch between backups, 0 for
// none; each batch goes on from the limbs of the one before.
int64_t memory_for_run(const CalcState& st, const StepRule& rule, int64_t end_counter,
                       int64_t batch_steps = 0);

// What the system says about the memory this process may still obtain; -1 for a limit that
// is not set or could not be read.
struct MemoryFigures {
    int64_t machine_available = -1;  // MemAvailable
    int64_t resident = 0;            // what the process holds now (VmRSS)
    int64_t address_space = 0;       // VmSize, counted against RLIMIT_AS
    int64_t address_space_limit = -1;
    int64_t data = 0;  // VmData, counted against RLIMIT_DATA
    int64_t data_limit = -1;
    // The least room (memory.max - memory.current) of the process's cgroup and those above it.
    int64_t cgroup_room = -1;
};

// Reads the figures from root + "/proc" and root + "/sys/fs/cgroup" (root "" for the real
// ones) and the resource limits of this process.
MemoryFigures read_memory_figures(const std::string& root = "");

// The bytes the process may hold at its peak by these figures: what it holds plus the least
// of the rooms left by the machine, its resource limits and its cgroup.
int64_t memory_within(const MemoryFigures& figures);

// The bytes a run may count on: the given limit; without one (0) the environment's
// CIFROVAR_MEMORY_LIMIT; without that memory_within() of the real figures.
int64_t memory_available(int64_t limit);

}  // namespace cifrovar
