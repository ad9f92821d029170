#pragma once

#include <cstdint>
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

// The most digits a calculation file holds in limbs of limb_digits: its top index is a 32-bit
// record, while a calculation of more limbs can still be computed, shown and written as text.
int64_t most_digits_in_file(int32_t limb_digits);

// Writes the calculation in `state` (limbs current; calc_kind one of the four kinds) to path as a
// ReplacingFile does, under its rules: backups write with own_name. Throws FileError; a failure
// leaves no temporary file behind and an existing file at path byte-identical, unless it was
// being written in place; a calculation of more limbs than the file's top index counts fails
// before anything is written. Used directly by backups.
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
