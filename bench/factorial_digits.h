#pragma once

// Figures of n! found without computing n!: the digit count and the leading digits from
// log10(n!) = lnΓ(n + 1) / ln 10 in 256-bit floating point, the trailing zeros from the powers
// of 5 up to n, and the last digits before those zeros from a product modulo 10^20 with the
// factors 2 and 5 taken out. They check a result file of hundreds of millions of digits in
// seconds to minutes, against arithmetic that shares nothing with the engine.
#include <cstdint>
#include <string>

namespace cifrovar::bench {

// How many of the first and last digits are reported.
inline constexpr int edge_digits = 20;

struct LeadingFigures {
    uint64_t digit_count = 0;
    bool count_ambiguous = false;    // log10(n!) lies too close to an integer to decide
    std::string leading;             // the first min(20, digit_count) digits
    bool leading_ambiguous = false;  // the digits after them are 99999 or 00000
};

// The digit count and the leading digits of n!. Below 10^60 the floating-point value is close
// enough to round to n! itself, so small n are never ambiguous.
LeadingFigures factorial_leading_figures(uint64_t n);

// The number of trailing zeros of n!: the factors 5 in 1 .. n, as there are more factors 2.
uint64_t factorial_trailing_zeros(uint64_t n);

// The last digits of n! before its trailing zeros: n! / 10^z mod 10^20, as 20 digits with
// leading zeros, or all of n! / 10^z when that has fewer digits (digit_count is that of n!).
// A loop over 1 .. n, for n below 2^60.
std::string factorial_last_digits(uint64_t n, uint64_t digit_count);

// Three primes above 2^60 (2^61 - 1, 2^62 - 57, 2^63 - 25): residues modulo them find a
// wrong digit anywhere in the middle, which the figures above do not see.
inline constexpr uint64_t residue_primes[3] = {2305843009213693951ull, 4611686018427387847ull,
                                               9223372036854775783ull};

// n! mod p, by a plain loop of products modulo p.
uint64_t factorial_residue(uint64_t n, uint64_t p);

}  // namespace cifrovar::bench
