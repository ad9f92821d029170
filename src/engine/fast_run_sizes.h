#pragma once

// Private to the fast route: the sizes at which it changes its way, and the estimates of the
// values' sizes it compares with them.
#include <cmath>
#include <cstdint>

namespace cifrovar {

// Variations from this size on are computed in one go in decimal words, where the processor
// has the transforms.
constexpr double long_variation_bits = 1 << 22;

// From this size on a variation computed in one go goes through classes that double, each
// kept on the way; the doubling costs more than the direct route, which a shorter one takes.
constexpr double variation_in_classes_bits = 1 << 26;

// GMP's binomial C(n, k) takes its fast route only for k above n / 16, and is quadratic from
// there down: C(10000000, 625000) took 13 s, one class more 0.05 s.
inline bool gmp_binomial_is_fast(int64_t n, int64_t k) { return 16 * k > n; }

// log2 of V(n, k) = n! / (n - k)!.
inline double variation_bits(int64_t n, int64_t k) {
    const double nd = static_cast<double>(n), kd = static_cast<double>(k);
    return (std::lgamma(nd + 1) - std::lgamma(nd - kd + 1)) / std::log(2.0);
}

inline double binomial_bits(uint32_t n, int64_t k) {
    const double nk = static_cast<double>(n) - static_cast<double>(k);
    return (std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(nk + 1.0)) / std::log(2.0);
}

// Steps per chunk of a product run: small enough that the interrupt is seen often, large
// enough that the product tree of a chunk amortises its calls.
constexpr int64_t chunk_steps = 2048;

// From this size on a coefficient computed in decimal words costs less than GMP's and the
// conversion of its result.
constexpr double decimal_binomial_from_bits = 1 << 18;

// Whether C(n, k) of this many bits is computed from its primes in decimal words: from
// decimal_binomial_from_bits on, where sieving every odd number up to n pays, n at most twice
// the coefficient's bits.
inline bool binomial_from_primes_pays(double n, double bits) {
    return bits >= decimal_binomial_from_bits && n <= 2 * bits;
}

}  // namespace cifrovar
