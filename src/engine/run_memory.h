#pragma once

#include <cstdint>
#include <string>

namespace cifrovar {

class Engine;

// The bytes the memory guard reckons the run prepared in the engine (its kind, its operand
// fields and its current limbs) needs at its peak: the figure a run compares with what is
// available before its first step. Reads the fields as a run does and raises the same input
// errors for operands a run would refuse; changes nothing in the engine.
int64_t estimated_run_memory(Engine& engine);

// The same with what the guard compares it with, for telling a refused run what it would need.
struct RunSize {
    int64_t bytes = 0;
    int64_t available = 0;
};
RunSize estimated_run_size(Engine& engine);

// What a run refused for lack of memory would need, in a line of its own after the message:
// "Výpočet potřebuje odhadem N MiB paměti, k dispozici je M MiB."
std::string refusal_figures(const RunSize& size);

}  // namespace cifrovar
