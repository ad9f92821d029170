#pragma once

#include <stdexcept>
#include <string>

namespace cifrovar {

class Engine;
struct CalcState;

// A calculation file that cannot be read or written.
struct FileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Writes the calculation in `state` (limbs current; calc_kind one of the four kinds) to path: into
// a temporary file in the same folder, flushed, then renamed over path. Throws FileError; a failure
// leaves an existing file at path byte-identical and no temporary file behind. Used directly by
// backups.
void write_calculation_file(const CalcState& state, const std::string& path);

// The same for the engine's current calculation (materialised first).
void write_calculation_file(Engine& engine, const std::string& path);

// Replaces the engine's calculation with the file's (the caller has run new_calculation()):
// kind, operands (stored and shown in the fields), counter, top_index, limb width and limbs;
// afterwards interrupt_flag is set, so the next run continues it. Throws FileError for a file
// that cannot be opened or is shorter than its layout, and for one the engine could not
// continue: a negative operand, a class above the number of elements, a top_index below 2, or a
// limb outside 0 .. limb_base - 1. Nothing beyond what the file can hold is allocated; after a
// failure the caller runs new_calculation() again.
void read_calculation_file(Engine& engine, const std::string& path);

}  // namespace cifrovar
