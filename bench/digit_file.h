#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cifrovar::bench {

// The figures of a file of plain decimal digits (no header, no line breaks) that can be
// compared with those of n!, read in one pass forward and a short one back from the end.
struct DigitFileFigures {
    uint64_t size = 0;                        // bytes, the digit count when all are digits
    std::optional<uint64_t> first_non_digit;  // offset of the first byte that is not 0-9
    std::string leading;                      // the first 20 bytes (fewer in a shorter file)
    uint64_t trailing_zeros = 0;              // zeros at the end
    std::string last_before_zeros;            // up to 20 bytes before those zeros
    std::vector<uint64_t> residues;           // the digits' value modulo each modulus asked
};

// Throws std::runtime_error when the file cannot be read. The residues are those of the
// digits read as a number (the bytes that are not digits skipped), for moduli below 2^64.
DigitFileFigures read_digit_file(const std::string& path, const std::vector<uint64_t>& moduli = {});

}  // namespace cifrovar::bench
