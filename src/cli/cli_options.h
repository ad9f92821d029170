#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "engine/calc_state.h"
#include "engine/hooks.h"

namespace cifrovar::cli {

enum class Progress { automatic, on, off };

// What the command line asks for.
struct CliOptions {
    int32_t calc_kind = 0;              // one of cifrovar::kind
    std::vector<std::string> operands;  // exactly as typed, in the order of operand_fields()
    std::string output;                 // empty or "-": standard output
    bool header = false;
    bool trim = true;
    int wrap = 0;  // 0: no wrapping
    bool digits_only = false;
    Progress progress = Progress::automatic;

    // open FILE [--to TARGET]: calc_kind and operands stay empty, the file brings them.
    bool open = false;
    std::string open_path;
    std::optional<std::string> target;  // exactly as typed, like an operand

    std::string save_path;            // empty: the calculation is not saved
    int32_t zalohy = never_interval;  // backup interval in steps
    std::string workdir = ".";        // backups and the error log
    bool log = false;                 // "Logovat chyby"
    int64_t memory_limit = 0;         // 0: what the machine has available
};

struct ParseOutcome {
    std::optional<CliOptions> options;  // empty: end at once with exit_code
    int exit_code = 0;
};

inline constexpr int exit_usage = 2;

// Parses argv. Help goes to out, usage errors to err (exit code exit_usage).
ParseOutcome parse_cli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// The edit fields that receive the operands of a calculation kind, in command-line order.
std::vector<Field> operand_fields(int32_t calc_kind);

}  // namespace cifrovar::cli
