#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

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
