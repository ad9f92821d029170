#pragma once

// Checks a file of the digits of n! against figures found independently of any factorial
// routine (factorial_digits.h).
#include <cstdint>
#include <string>
#include <vector>

namespace cifrovar::bench {

enum class Verdict { ok, mismatch, ambiguous };

struct CheckRow {
    std::string figure;  // what is compared
    std::string expected;
    std::string found;
    Verdict verdict = Verdict::ok;
};

// One row per figure: the digit count, the first digits, the trailing zeros and the last
// digits before them, and a row for a byte that is not a digit when there is one.
std::vector<CheckRow> check_factorial_file(const std::string& path, uint64_t n);

// True when no row is a mismatch; ambiguous rows are neither confirmed nor refuted.
bool all_agree(const std::vector<CheckRow>& rows);

const char* verdict_text(Verdict verdict);

}  // namespace cifrovar::bench
