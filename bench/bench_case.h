#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cifrovar::bench {

enum class Operation { power, factorial, variations, combinations };

// One calculation with its operands. power: a^n; factorial: n!; variations and combinations:
// class k out of n elements.
struct BenchCase {
    std::string name;
    Operation op = Operation::factorial;
    uint32_t a = 0;  // base (power), n (factorial), class k (variations, combinations)
    uint32_t b = 0;  // exponent (power), elements n (variations, combinations); unused otherwise
};

// Reads a case written as the tables name them: "N!", "A^B", "C(N,K)" or "V(N,K)" with N the
// elements and K the class; spaces are ignored. Operands go up to 2^31 - 1, as the engine's
// fields convert them. Nothing for any other text.
std::optional<BenchCase> parse_case(const std::string& text);

// The case's name with its punctuation replaced, for file names.
std::string file_stem(const BenchCase& bench_case);

}  // namespace cifrovar::bench
