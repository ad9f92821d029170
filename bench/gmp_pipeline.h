#pragma once

#include <cstddef>
#include <cstdint>
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

// Computes the case with plain GMP and writes its decimal digits to path in one write, with no
// newline. Returns the number of digits written; throws std::runtime_error when the file fails.
std::size_t gmp_write_decimal(const BenchCase& bench_case, const std::string& path);

}  // namespace cifrovar::bench
