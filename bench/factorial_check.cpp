#include "factorial_check.h"

#include <algorithm>
#include <iterator>
#include <thread>

#include "digit_file.h"
#include "factorial_digits.h"

namespace cifrovar::bench {
namespace {

CheckRow compare(std::string figure, std::string expected, std::string found, bool ambiguous) {
    Verdict verdict = expected == found ? Verdict::ok : Verdict::mismatch;
    // A figure that cannot be decided neither confirms nor refutes the file.
    if (ambiguous) verdict = Verdict::ambiguous;
    return {std::move(figure), std::move(expected), std::move(found), verdict};
}

}  // namespace

std::vector<CheckRow> check_factorial_file(const std::string& path, uint64_t n) {
    const std::vector<uint64_t> primes(std::begin(residue_primes), std::end(residue_primes));
    const DigitFileFigures file = read_digit_file(path, primes);
    const LeadingFigures leading = factorial_leading_figures(n);
    const uint64_t zeros = factorial_trailing_zeros(n);

    std::vector<CheckRow> rows;
    if (file.first_non_digit) {
        rows.push_back({"bytes", "digits only",
                        "other byte at " + std::to_string(*file.first_non_digit),
                        Verdict::mismatch});
    }
    rows.push_back(compare("digit count", std::to_string(leading.digit_count),
                           std::to_string(file.size), leading.count_ambiguous));
    rows.push_back(compare("first digits", leading.leading, file.leading,
                           leading.leading_ambiguous || leading.count_ambiguous));
    rows.push_back(compare("trailing zeros", std::to_string(zeros),
                           std::to_string(file.trailing_zeros), false));
    const std::string last = factorial_last_digits(n, leading.digit_count);
    rows.push_back(compare("last digits before the zeros", last, file.last_before_zeros,
                           leading.count_ambiguous && last.size() < edge_digits));
    // The three loops of modular products take a core each for a billion factors.
    uint64_t expected[3];
    std::thread second([&] { expected[1] = factorial_residue(n, primes[1]); });
    std::thread third([&] { expected[2] = factorial_residue(n, primes[2]); });
    expected[0] = factorial_residue(n, primes[0]);
    second.join();
    third.join();
    for (std::size_t i = 0; i < primes.size(); ++i) {
        rows.push_back(compare("residue mod " + std::to_string(primes[i]),
                               std::to_string(expected[i]), std::to_string(file.residues[i]),
                               false));
    }
    return rows;
}

bool all_agree(const std::vector<CheckRow>& rows) {
    return std::none_of(rows.begin(), rows.end(),
                        [](const CheckRow& row) { return row.verdict == Verdict::mismatch; });
}

const char* verdict_text(Verdict verdict) {
    switch (verdict) {
        case Verdict::ok:
            return "OK";
        case Verdict::mismatch:
            return "MISMATCH";
        case Verdict::ambiguous:
            return "ambiguous";
    }
    return "";
}

}  // namespace cifrovar::bench
