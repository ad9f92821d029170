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

// Writes the calculation in `state` (limbs current) to path: into a temporary file in the same
// folder, flushed, then renamed over path. Throws FileError; a failure leaves an existing file
// at path byte-identical and no temporary file behind. Used directly by backups.
void write_calculation_file(const CalcState& state, const std::string& path);

// The same for the engine's current calculation (materialised first).
void write_calculation_file(Engine& engine, const std::string& path);

// Replaces the engine's calculation with the file's (the caller has run new_calculation()).
// Throws FileError for a file that cannot be opened, is shorter than its layout or fails the
// validation; nothing beyond what the file can hold is allocated.
void read_calculation_file(Engine& engine, const std::string& path);

}  // namespace cifrovar
