#pragma once

#include <stdexcept>
#include <string>

#include "files/replacing_file.h"

namespace cifrovar {

class Engine;
struct CalcState;

// A calculation file that cannot be read or written.
struct FileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Writes the calculation in `state` (limbs current; calc_kind one of the four kinds) to path as a
// ReplacingFile does, under its rules: backups write with own_name. Throws FileError; a failure
// leaves no temporary file behind and an existing file at path byte-identical, unless it was
// being written in place. Used directly by backups.
void write_calculation_file(const CalcState& state, const std::string& path,
                            const ReplaceRules& rules = {});

// The same for the engine's current calculation (materialised first).
void write_calculation_file(Engine& engine, const std::string& path);

// Replaces the engine's calculation with the file's (the caller has run new_calculation()):
// kind, operands (stored and shown in the fields), counter, top_index, limb width and limbs;
// afterwards interrupt_flag is set, so the next run continues it. Throws FileError for a file
// that cannot be opened, is no regular file (a FIFO fails at once) or is shorter than its layout,
// and for one the engine could not continue: a negative operand, a class above the number of
// elements, a top_index below 2, or a limb outside 0 .. limb_base - 1. Nothing beyond what the file
// can hold is allocated; after a failure the caller runs new_calculation() again.
void read_calculation_file(Engine& engine, const std::string& path);

}  // namespace cifrovar
