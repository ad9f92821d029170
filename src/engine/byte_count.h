#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cifrovar {

// A byte count written as digits with an optional suffix K, M or G (powers of 1024), as the
// memory limit is given on the command line and in CIFROVAR_MEMORY_LIMIT. Nothing for any
// other text or a count beyond 64 bits.
std::optional<int64_t> parse_byte_count(const std::string& text);

}  // namespace cifrovar
