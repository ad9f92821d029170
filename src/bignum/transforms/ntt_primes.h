#pragma once

// Private to the transforms: the three primes below 2^50 with their roots of unity, the
// transforms' size limits, and the scalar modular arithmetic that makes the twiddle tables.
//
// Residues are doubles in (-2p, 2p): a product a * b splits exactly into its rounded value h
// and the error fma(a, b, -h), and the quotient by p rounded from h / p leaves a remainder
// that is again an exact double below p in magnitude.
#include <array>
#include <cmath>
#include <cstdint>

namespace cifrovar::ntt_kernels {

struct Prime {
    uint64_t p;
    uint64_t root;  // of order 2^max_log
};
constexpr int max_log = 27;
constexpr std::array<Prime, 3> primes{{{1125897625141249ull, 852844700813599ull},
                                       {1125896819834881ull, 177746456200385ull},
                                       {1125892793303041ull, 1083320400205454ull}}};
// Transforms of up to this many doubles use tables of their twiddles (64 KiB for each prime
// and direction); longer stages make them on the fly. Tables up to 2^16 were no faster and
// made V(1000000, 500000) peak at 1.57 times the memory of GMP's pipeline instead of 1.23.
constexpr int table_log = 12;
constexpr int max_piece_bits = 62;

inline uint64_t mul_mod(uint64_t a, uint64_t b, uint64_t p) {
    return static_cast<uint64_t>(static_cast<unsigned __int128>(a) * b % p);
}
inline uint64_t pow_mod(uint64_t a, uint64_t e, uint64_t p) {
    uint64_t r = 1;
    for (; e; e >>= 1, a = mul_mod(a, a, p))
        if (e & 1) r = mul_mod(r, a, p);
    return r;
}
// a * b mod p for a, b < p in doubles, as the vectors do it (see above), without the
// division of a 128-bit product: the tables are made at the first product of each process.
inline uint64_t mul_mod_exact_in_doubles(uint64_t a, uint64_t b, uint64_t p) {
    const double x = static_cast<double>(a), y = static_cast<double>(b), m = static_cast<double>(p);
    const double h = x * y;
    const double l = std::fma(x, y, -h);
    const double q = std::nearbyint(h / m);
    double r = std::fma(-q, m, h) + l;
    if (r < 0) r += m;
    if (r >= m) r -= m;
    return static_cast<uint64_t>(r);
}
inline double centred(uint64_t v, uint64_t p) {
    return v > p / 2 ? -static_cast<double>(p - v) : static_cast<double>(v);
}

}  // namespace cifrovar::ntt_kernels
