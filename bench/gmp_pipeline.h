#pragma once

#include <cstddef>
#include <string>

#include "bench_case.h"

namespace cifrovar::bench {

// Computes the case with plain GMP and writes its decimal digits to path in one write, with no
// newline. Returns the number of digits written; throws std::runtime_error when the file fails.
std::size_t gmp_write_decimal(const BenchCase& bench_case, const std::string& path);

}  // namespace cifrovar::bench
