#pragma once

// Words of 18 decimal digits, the radix in which long decimal results
// are multiplied, and the division of a double word by that radix.
#include <cstddef>
#include <cstdint>

namespace cifrovar {

constexpr uint64_t decimal_word = 1000000000000000000ull;  // 10^18
constexpr int decimal_word_digits = 18;

// The words of a number whose log10 is given, for plans of the work of its products.
inline size_t decimal_words_for(double log10_value) {
    return static_cast<size_t>(log10_value / decimal_word_digits) + 1;
}

// hi * 2^64 + lo = q * 10^18 + r for hi < 10^18, by the precomputed reciprocal of the
// normalized divisor (Möller and Granlund), a few multiplications instead of a division.
struct WordDivision {
    uint64_t q, r;
};
inline WordDivision divide_by_word(uint64_t hi, uint64_t lo) {
    constexpr int shift = 4;  // 10^18 has 60 bits
    constexpr uint64_t d = decimal_word << shift;
    constexpr uint64_t v =
        static_cast<uint64_t>(((static_cast<unsigned __int128>(~d) << 64) | ~uint64_t{0}) / d);
    const uint64_t u1 = (hi << shift) | (lo >> (64 - shift));
    const uint64_t u0 = lo << shift;
    unsigned __int128 q = static_cast<unsigned __int128>(v) * u1;
    q += (static_cast<unsigned __int128>(u1 + 1) << 64) | u0;
    uint64_t q1 = static_cast<uint64_t>(q >> 64);
    const uint64_t q0 = static_cast<uint64_t>(q);
    uint64_t r = u0 - q1 * d;
    if (r > q0) {
        --q1;
        r += d;
    }
    if (r >= d) {
        ++q1;
        r -= d;
    }
    return {q1, r >> shift};
}

// x = q * 10^18 + r for x below 10^18 * 2^64.
inline WordDivision divide_by_word(unsigned __int128 x) {
    return divide_by_word(static_cast<uint64_t>(x >> 64), static_cast<uint64_t>(x));
}

}  // namespace cifrovar
